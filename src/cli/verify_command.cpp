#include "cli/commands.h"

namespace kr4720::cli {

int runVerify(const Options& options, const Console& console, platform::LineTrace* trace) {
    if (options.files.size() != 1 || options.ports.isEmpty()) {
        console.failure(QStringLiteral("用法：kr4720-cli verify -p PORT FILE"));
        return kBadUsage;
    }
    const auto loaded = loadArgument(options.files[0], options.format, console);
    if (!loaded) {
        return kBadUsage;
    }
    PortTask task;
    task.kind = PortTask::Kind::Verify;
    task.expected = loaded->set;
    task.compareSquelch = loaded->hasSquelch;
    task.compareEmergency = loaded->hasEmergency;
    return runOnEveryPort(options, task, console, trace, QStringLiteral("与文件相同"));
}

} // namespace kr4720::cli
