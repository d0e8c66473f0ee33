#include "cli/commands.h"
#include "cli/fleet.h"
#include "cli/ports.h"

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
    const std::vector<PortName> ports = resolvePorts(options.ports, console, trace);
    if (ports.empty()) {
        return kFailed;
    }
    std::vector<PortTask> tasks;
    for (const PortName& port : ports) {
        PortTask task;
        task.kind = PortTask::Kind::Verify;
        task.device = port.device;
        task.label = port.label;
        task.trace = trace;
        task.expected = loaded->set;
        task.compareSquelch = loaded->hasSquelch;
        task.compareEmergency = loaded->hasEmergency;
        tasks.push_back(task);
    }
    const std::vector<PortResult> results = runFleet(tasks, console);
    reportPorts(tasks, results, console, QStringLiteral("与文件相同"));
    return combinedCode(results);
}

} // namespace kr4720::cli
