#include "cli/commands.h"
#include "cli/fleet.h"
#include "cli/ports.h"

#include <QJsonArray>

namespace kr4720::cli {

void reportPorts(const std::vector<PortTask>& tasks, const std::vector<PortResult>& results,
                 const Console& console, const QString& doneText) {
    QJsonArray list;
    for (std::size_t i = 0; i < results.size(); ++i) {
        const PortResult& result = results[i];
        const QString& label = tasks[i].label;
        QJsonArray differences;
        for (const Difference& difference : result.differences) {
            differences.append(QJsonObject{{QStringLiteral("channel"), difference.channel},
                                           {QStringLiteral("field"), difference.field},
                                           {QStringLiteral("radio"), difference.radio},
                                           {QStringLiteral("file"), difference.file}});
            // The emergency channel's fields and the squelch level name themselves.
            console.result(
                QStringLiteral("%1  %2%3  对讲机 %4  文件 %5")
                    .arg(label,
                         difference.channel > 16
                             ? QString()
                             : QStringLiteral("信道 %1  ").arg(difference.channel),
                         difference.field,
                         difference.radio.isEmpty() ? QStringLiteral("(空)") : difference.radio,
                         difference.file.isEmpty() ? QStringLiteral("(空)") : difference.file));
        }
        // A port that stopped did not fail: its message says what it did. One
        // that failed after its whole write has the new set, and must say so.
        QString line = label + QStringLiteral("  ");
        if (result.code == kOk) {
            line += doneText;
        } else if (result.code < kStopped) {
            line +=
                (result.written ? QStringLiteral("已写入，核对失败：") : QStringLiteral("失败：")) +
                result.message;
        } else {
            line += result.message;
        }
        // Also after a failed write: a radio cut off in the middle holds part
        // of the new set, and the backup is what it held before.
        if (!result.backupPath.isEmpty()) {
            line += QStringLiteral("（备份 %1）").arg(result.backupPath);
        }
        console.result(line);
        if (result.code != kOk) {
            console.recordFailure(line);
            if (!result.detail.isEmpty() && !console.json()) {
                console.raw(
                    QStringLiteral("  %1: %2\n").arg(label, indentedLines(result.detail, 4)));
            }
        }
        QJsonObject entry{{QStringLiteral("port"), label},
                          {QStringLiteral("device"), tasks[i].device},
                          {QStringLiteral("ok"), result.code == kOk},
                          {QStringLiteral("exitCode"), result.code},
                          {QStringLiteral("message"), result.message},
                          {QStringLiteral("detail"), result.detail},
                          {QStringLiteral("written"), result.written}};
        if (!result.backupPath.isEmpty()) {
            entry.insert(QStringLiteral("backup"), result.backupPath);
        }
        if (!result.differences.empty()) {
            entry.insert(QStringLiteral("differences"), differences);
        }
        list.append(entry);
    }
    console.document(QJsonObject{{QStringLiteral("ports"), list}});
}

int runOnEveryPort(const Options& options, PortTask task, const Console& console,
                   platform::LineTrace* trace, const QString& doneText) {
    const std::vector<PortName> ports = resolvePorts(options.ports, console, trace, true);
    if (ports.empty()) {
        return kFailed;
    }
    std::vector<PortTask> tasks;
    for (const PortName& port : ports) {
        task.device = port.device;
        task.label = port.label;
        task.trace = trace;
        tasks.push_back(task);
    }
    const std::vector<PortResult> results = runFleet(tasks, console);
    reportPorts(tasks, results, console, doneText);
    return combinedCode(results);
}

} // namespace kr4720::cli
