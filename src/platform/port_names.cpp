#include "platform/port_names.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSerialPortInfo>

#include <algorithm>
#include <future>

#ifndef Q_OS_WIN
#include "platform/account.h"

#include <fcntl.h>
#include <grp.h>
#include <unistd.h>
#endif

namespace kr4720::platform {
namespace {

// Digit runs compare as numbers: ttyUSB2 before ttyUSB10, usb-0:2 before usb-0:10.
bool naturalLess(const QString& a, const QString& b) {
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a[i].isDigit() && b[j].isDigit()) {
            const qsizetype startA = i;
            const qsizetype startB = j;
            while (i < a.size() && a[i].isDigit()) {
                ++i;
            }
            while (j < b.size() && b[j].isDigit()) {
                ++j;
            }
            // Leading zeros aside, a longer number is the bigger one.
            const QString numberA = a.mid(startA, i - startA).remove(QRegularExpression("^0+"));
            const QString numberB = b.mid(startB, j - startB).remove(QRegularExpression("^0+"));
            if (numberA.size() != numberB.size()) {
                return numberA.size() < numberB.size();
            }
            if (numberA != numberB) {
                return numberA < numberB;
            }
            continue;
        }
        if (a[i] != b[j]) {
            return a[i] < b[j];
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

#ifndef Q_OS_WIN
// The file opened for a port name: a path as it stands, a relative path to an
// existing file as the file (SerialPort opens it so), any other name in /dev.
QString devicePath(const QString& device) {
    const bool path = device.startsWith('/') || device.startsWith(QLatin1String("./")) ||
                      device.startsWith(QLatin1String("../"));
    if (path) {
        return device;
    }
    if (device.contains('/') && QFileInfo::exists(device)) {
        return QFileInfo(device).absoluteFilePath();
    }
    return QStringLiteral("/dev/") + device;
}

// Whether the account is a member of the group in the group database while
// this process is not: it was added after the login.
bool joinedSinceLogin(gid_t group) {
    std::vector<gid_t> session(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    session.resize(static_cast<std::size_t>(
        std::max(::getgroups(static_cast<int>(session.size()), session.data()), 0)));
    const auto account = currentAccount();
    if (!account || ::getegid() == group || std::ranges::find(session, group) != session.end()) {
        return false;
    }
    // Asked first for the number of the account's groups, then for them.
    int count = 0;
    ::getgrouplist(account->name.c_str(), account->group, nullptr, &count);
    std::vector<gid_t> listed(static_cast<std::size_t>(count));
    if (::getgrouplist(account->name.c_str(), account->group, listed.data(), &count) < 0) {
        return false;
    }
    return std::ranges::find(listed, group) != listed.end();
}
#endif

} // namespace

QString cableChip(quint16 vendor, quint16 product) {
    struct Chip {
        quint16 vendor;
        quint16 product;
        const char* name;
    };
    static constexpr Chip kChips[] = {{0x1a86, 0x7523, "CH340"},  {0x1a86, 0x5523, "CH341"},
                                      {0x1a86, 0x55d4, "CH9102"}, {0x067b, 0x2303, "PL2303"},
                                      {0x067b, 0x23a3, "PL2303"}, {0x10c4, 0xea60, "CP210x"},
                                      {0x0403, 0x6001, "FTDI"},   {0x0403, 0x6015, "FTDI"}};
    for (const Chip& chip : kChips) {
        if (chip.vendor == vendor && chip.product == product) {
            return QString::fromLatin1(chip.name);
        }
    }
    return {};
}

QString usbIdText(quint16 vendor, quint16 product) {
    return QStringLiteral("%1:%2")
        .arg(vendor, 4, 16, QLatin1Char('0'))
        .arg(product, 4, 16, QLatin1Char('0'));
}

QHash<QString, QString> byPathNames(const QString& folder) {
    QHash<QString, QString> names;
    const QFileInfoList links = QDir(folder).entryInfoList(QDir::System | QDir::Files);
    for (const QFileInfo& link : links) {
        if (link.isSymLink()) {
            names.insert(link.canonicalFilePath(), link.fileName());
        }
    }
    return names;
}

namespace {

QList<PortEntry> lookUpPortEntries() {
    const QHash<QString, QString> byPathOf = byPathNames(QStringLiteral("/dev/serial/by-path"));
    QList<PortEntry> entries;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString device = info.systemLocation();
        entries.append({device, info.hasVendorIdentifier(),
                        byPathOf.value(QFileInfo(device).canonicalFilePath()),
                        !cableChip(info.vendorIdentifier(), info.productIdentifier()).isEmpty()});
    }
    return entries;
}

std::future<QList<PortEntry>>& entriesAhead() {
    static std::future<QList<PortEntry>> entries;
    return entries;
}

} // namespace

void lookUpPortsAhead() {
    if (qEnvironmentVariableIsEmpty("KR4720_COM1")) {
        entriesAhead() = std::async(std::launch::async, lookUpPortEntries);
    }
}

QList<PortEntry> availablePortEntries() {
    if (entriesAhead().valid()) {
        return entriesAhead().get();
    }
    return lookUpPortEntries();
}

QString portDeviceName(int portNumber, const QList<PortEntry>& ports) {
    const QByteArray variable = "KR4720_COM" + QByteArray::number(portNumber);
    const QString configured = qEnvironmentVariable(variable.constData());
    if (!configured.isEmpty()) {
        return configured;
    }
#ifdef Q_OS_WIN
    Q_UNUSED(ports);
    return QStringLiteral("COM%1").arg(portNumber);
#else
    QList<PortEntry> cables;
    std::copy_if(ports.begin(), ports.end(), std::back_inserter(cables),
                 [](const PortEntry& entry) { return entry.usb; });
    std::sort(cables.begin(), cables.end(), [](const PortEntry& a, const PortEntry& b) {
        if (a.knownCable != b.knownCable) {
            return a.knownCable;
        }
        if (a.byPath.isEmpty() != b.byPath.isEmpty()) {
            return !a.byPath.isEmpty();
        }
        if (a.byPath != b.byPath) {
            return naturalLess(a.byPath, b.byPath);
        }
        return naturalLess(a.device, b.device);
    });
    const qsizetype index = portNumber - 1;
    if (index >= 0 && index < cables.size()) {
        return cables[index].device;
    }
    return QStringLiteral("/dev/ttyS%1").arg(index - cables.size());
#endif
}

QString portDeviceName(int portNumber) {
#ifdef Q_OS_WIN
    return portDeviceName(portNumber, {});
#else
    // The variable decides alone: no need to ask the system for its ports.
    if (qEnvironmentVariableIsEmpty(("KR4720_COM" + QByteArray::number(portNumber)).constData())) {
        return portDeviceName(portNumber, availablePortEntries());
    }
    return portDeviceName(portNumber, {});
#endif
}

#ifndef Q_OS_WIN
namespace {

// Whether the path opens as a terminal; true when it cannot be told.
bool isTerminal(const QString& path) {
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return true;
    }
    const bool terminal = ::isatty(fd) == 1;
    ::close(fd);
    return terminal;
}

} // namespace
#endif

bool heldByAnotherProgram(const QString& device, QSerialPort::SerialPortError error) {
#ifdef Q_OS_WIN
    Q_UNUSED(device);
    return error == QSerialPort::PermissionError;
#else
    return error == QSerialPort::PermissionError &&
           ::access(QFile::encodeName(devicePath(device)).constData(), R_OK | W_OK) == 0;
#endif
}

QString portOpenFailureDetail(const QString& device, QSerialPort::SerialPortError error,
                              const QString& reason) {
    // The system's "Permission denied" (Qt's "Permission error while locking")
    // would send the user after a permission that is there.
    if (heldByAnotherProgram(device, error)) {
        return QStringLiteral("设备 %1 正被其它程序使用，请先关闭那个程序").arg(device);
    }
    QString detail = QStringLiteral("设备 %1：%2").arg(device, reason);
#ifndef Q_OS_WIN
    if (error != QSerialPort::PermissionError) {
        // A directory, a plain file or /dev/null: the system's reason alone
        // ("Inappropriate ioctl for device") says nothing to a dealer.
        if (error != QSerialPort::DeviceNotFoundError && !isTerminal(devicePath(device))) {
            detail += QStringLiteral("\n这个设备不是串行端口，请选择写频线所在的端口");
        }
        return detail;
    }
    // Joining the device's group helps only when that group may read and
    // write it; root's group is never the answer.
    const QFileInfo info(devicePath(device));
    const QString group = info.group(); // empty when it cannot be looked up
    const bool groupMayUse = !group.isEmpty() && group != QLatin1String("root") &&
                             info.permission(QFile::ReadGroup | QFile::WriteGroup);
    if (groupMayUse && joinedSinceLogin(info.groupId())) {
        // Joined already: the group comes with the next login.
        detail +=
            QStringLiteral("\n当前用户已在 %1 组中，但还没有重新登录，请注销后重新登录").arg(group);
    } else if (groupMayUse) {
        detail += QStringLiteral("\n当前用户不能使用这个设备，请把自己加入 %1 组后重新登录："
                                 "sudo usermod -aG %1 $USER")
                      .arg(group);
    } else {
        detail += QStringLiteral("\n当前用户没有使用这个设备的权限，请系统管理员给予读写权限");
    }
#endif
    return detail;
}

} // namespace kr4720::platform
