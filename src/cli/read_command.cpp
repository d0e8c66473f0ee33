#include "cli/commands.h"
#include "cli/fleet.h"
#include "cli/ports.h"

namespace kr4720::cli {

int runRead(const Options& options, const Console& console, platform::LineTrace* trace) {
    if (!options.files.isEmpty()) {
        console.failure(QStringLiteral("用法：kr4720-cli read -p PORT [-o FILE]"));
        return kBadUsage;
    }
    if (options.ports.size() != 1) {
        console.failure(QStringLiteral("read 需要正好一个 -p PORT"));
        return kBadUsage;
    }
    const QString out = options.output.value_or(QStringLiteral("-"));
    const auto target = argumentFormat(out, options.format, true, console);
    if (!target) {
        return kBadUsage;
    }
    if (const QString failure = out == QLatin1String("-") ? QString() : checkSaveFile(out);
        !failure.isEmpty()) {
        console.failure(failure);
        return kBadUsage;
    }
    const std::vector<PortName> ports = resolvePorts(options.ports, console, trace);
    if (ports.size() != 1) {
        if (ports.size() > 1) {
            console.failure(QStringLiteral("找到不止一台对讲机，请用 -p 指定一个端口"));
        }
        return ports.empty() ? kFailed : kBadUsage;
    }
    PortTask task;
    task.kind = PortTask::Kind::Read;
    task.device = ports[0].device;
    task.label = ports[0].label;
    task.trace = trace;
    const std::vector<PortResult> results = runFleet({task}, console);
    const PortResult& result = results[0];
    if (result.code != kOk) {
        console.failure(task.label + QStringLiteral("：") + result.message, result.detail);
        return result.code;
    }
    if (*target == FileFormat::Table) {
        console.result(tableText(result.radioSet));
        console.document(setJson(result.radioSet));
        return kOk;
    }
    if (!putSet(out, *target, result.radioSet, console, result.image ? &*result.image : nullptr)) {
        return kBadUsage;
    }
    warnWhatIsLost(*target, result.radioSet, true, true, console);
    if (out != QLatin1String("-")) {
        console.note(QStringLiteral("已读出 %1，保存到 %2").arg(task.label, out));
    }
    QJsonObject document = setJson(result.radioSet);
    document.insert(QStringLiteral("port"), task.label);
    document.insert(QStringLiteral("output"), out);
    console.document(document);
    return kOk;
}

} // namespace kr4720::cli
