#include "cli/ports.h"

#include "cli/fleet.h"
#include "platform/port_names.h"
#include "platform/serial_port.h"
#include "platform/stop_signals.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QSerialPortInfo>

#include <algorithm>

namespace kr4720::cli {
namespace {

// "ttyUSB0" for /dev/ttyUSB0, "pts-3" for /dev/pts/3, the file name elsewhere.
QString labelOf(const QString& device) {
    QString label =
        device.startsWith(QLatin1String("/dev/")) ? device.mid(5) : QFileInfo(device).fileName();
    label.replace(QLatin1Char('/'), QLatin1Char('-'));
    return label.isEmpty() ? QStringLiteral("port") : label;
}

// Adds a port unless its device is already there under this or another name
// (a link such as /dev/serial/by-id/...): one radio written by two jobs at
// once would get both jobs' records mixed.
void addPort(std::vector<PortName>& ports, const PortName& port) {
    const QString real = QFileInfo(port.device).canonicalFilePath();
    if (std::none_of(ports.begin(), ports.end(), [&](const PortName& p) {
            return p.device == port.device ||
                   (!real.isEmpty() && QFileInfo(p.device).canonicalFilePath() == real);
        })) {
        ports.push_back(port);
    }
}

} // namespace

PortName resolvePort(const QString& text) {
    QString device = text;
    const QString upper = text.toUpper();
    if (upper == QLatin1String("COM1") || upper == QLatin1String("COM2")) {
        device = platform::portDeviceName(upper.back().digitValue());
    }
#ifndef Q_OS_WIN
    // A name is looked for in /dev, as the serial port opens it: "pts/3" is
    // /dev/pts/3 unless the current folder has such a path.
    else if (!text.contains(QLatin1Char('/')) ||
             (!text.startsWith(QLatin1Char('/')) && !QFileInfo::exists(text))) {
        device = QStringLiteral("/dev/") + text;
    }
#endif
    return {.device = device, .label = labelOf(device), .named = true};
}

std::vector<PortName> candidatePorts() {
    // One look at the system's ports serves the list and the COM mapping.
    const QList<platform::PortEntry> entries = platform::availablePortEntries();
    std::vector<PortName> ports;
    for (const platform::PortEntry& entry : entries) {
        addPort(ports, {entry.device, labelOf(entry.device), entry.usb && !entry.knownCable});
    }
    for (int number = 1; number <= 2; ++number) {
        const QString device = platform::portDeviceName(number, entries);
        if (QFileInfo::exists(device)) {
            addPort(ports, {device, labelOf(device)});
        }
    }
    return ports;
}

std::vector<PortName> detectRadios(const std::vector<PortName>& ports, const Console& console,
                                   platform::LineTrace* trace, bool reportFailures, int* code,
                                   std::vector<PortName>* refused) {
    std::vector<PortTask> tasks;
    for (const PortName& port : ports) {
        PortTask task;
        task.kind = PortTask::Kind::Detect;
        task.device = port.device;
        task.label = port.label;
        task.trace = trace;
        tasks.push_back(task);
    }
    const Console silent(console.json(), true);
    const std::vector<PortResult> results = runFleet(tasks, silent);
    std::vector<PortName> found;
    bool portLeft = false;
    for (std::size_t i = 0; i < results.size(); ++i) {
        // A radio may be on a port another program holds, or on one the user
        // named that could not be opened.
        const bool held = results[i].refused && !ports[i].otherDevice;
        portLeft = portLeft || held || (ports[i].named && results[i].code == kPortUnavailable);
        if (results[i].answered) {
            found.push_back(ports[i]);
        } else if (refused != nullptr && held) {
            refused->push_back(ports[i]); // told by the command's own line for it
        } else if (reportFailures || held) {
            console.failure(ports[i].label + QStringLiteral("：") + results[i].message,
                            results[i].detail);
        }
    }
    if (code != nullptr) {
        *code = found.empty() ? std::max(static_cast<int>(kFailed), combinedCode(results))
                : portLeft    ? kPortUnavailable
                              : kOk;
    }
    return found;
}

std::vector<PortName> resolvePorts(const QStringList& given, const Console& console,
                                   platform::LineTrace* trace, bool keepRefused) {
    std::vector<PortName> ports;
    for (const QString& text : given) {
        if (text.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
            console.note(QStringLiteral("正在查找对讲机..."));
            std::vector<PortName> refused;
            auto found = detectRadios(candidatePorts(), console, trace, false, nullptr,
                                      keepRefused ? &refused : nullptr);
            if (found.empty() && refused.empty() && platform::stopSignal() == 0) {
                console.failure(QStringLiteral("没有找到应答的对讲机"),
                                QStringLiteral("检查写频线和对讲机电源，或用 -p 指定端口"));
            }
            found.insert(found.end(), refused.begin(), refused.end());
            for (const PortName& port : found) {
                addPort(ports, port);
            }
        } else {
            addPort(ports, resolvePort(text));
        }
    }
    return ports;
}

int runPorts(const Options& options, const Console& console) {
    if (!options.files.isEmpty()) {
        console.failure(QStringLiteral("用法：kr4720-cli ports"));
        return kBadUsage;
    }
    QJsonArray list;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString id =
            info.hasVendorIdentifier() && info.hasProductIdentifier()
                ? platform::usbIdText(info.vendorIdentifier(), info.productIdentifier())
                : QString();
        const QString chip = platform::cableChip(info.vendorIdentifier(), info.productIdentifier());
        list.append(QJsonObject{{QStringLiteral("device"), info.systemLocation()},
                                {QStringLiteral("usbId"), id},
                                {QStringLiteral("manufacturer"), info.manufacturer()},
                                {QStringLiteral("description"), info.description()},
                                {QStringLiteral("cableChip"), chip}});
        QString line = info.systemLocation().leftJustified(16) + QLatin1Char(' ') +
                       (id.isEmpty() ? QStringLiteral("-") : id).leftJustified(9) +
                       QLatin1Char(' ') + info.manufacturer();
        if (!info.description().isEmpty()) {
            line += QStringLiteral(" / ") + info.description();
        }
        if (!chip.isEmpty()) {
            line += QStringLiteral("  [写频线芯片 %1]").arg(chip);
        }
        console.result(line.trimmed());
    }
    if (list.isEmpty()) {
        console.result(QStringLiteral("没有找到串行端口"));
    }
    QJsonObject mapping;
    for (int number = 1; number <= 2; ++number) {
        const QString device = platform::portDeviceName(number);
        mapping.insert(QStringLiteral("COM%1").arg(number), device);
        console.result(QStringLiteral("COM%1 = %2").arg(number).arg(device));
    }
    console.document(
        QJsonObject{{QStringLiteral("ports"), list}, {QStringLiteral("com"), mapping}});
    return kOk;
}

int runDetect(const Options& options, const Console& console, platform::LineTrace* trace) {
    if (!options.files.isEmpty()) {
        console.failure(QStringLiteral("用法：kr4720-cli detect [-p PORT]..."),
                        QStringLiteral("端口要用 -p 给出：-p %1").arg(options.files[0]));
        return kBadUsage;
    }
    std::vector<PortName> ports;
    const bool named = !options.ports.isEmpty();
    if (named) {
        for (const QString& text : options.ports) {
            if (text.compare(QLatin1String("auto"), Qt::CaseInsensitive) == 0) {
                for (const PortName& port : candidatePorts()) {
                    addPort(ports, port);
                }
            } else {
                addPort(ports, resolvePort(text));
            }
        }
    } else {
        ports = candidatePorts();
    }
    int code = kOk;
    const auto found = detectRadios(ports, console, trace, named, &code);
    QJsonArray list;
    for (const PortName& port : found) {
        list.append(port.device);
        console.result(port.device);
    }
    if (found.empty() && platform::stopSignal() == 0) {
        console.failure(QStringLiteral("没有找到应答的对讲机"));
    }
    console.document({{QStringLiteral("radios"), list}});
    return code;
}

} // namespace kr4720::cli
