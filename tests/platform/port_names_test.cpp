#include "platform/port_names.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <unistd.h>

using kr4720::platform::portDeviceName;
using kr4720::platform::PortEntry;
using kr4720::platform::portOpenFailureDetail;

TEST(PortNames, PortNumbersMapToUsbCablesFirstThenTheBuiltInPorts) {
    const PortEntry s0{"/dev/ttyS0", false, ""}, s1{"/dev/ttyS1", false, ""};
    const PortEntry usb0{"/dev/ttyUSB0", true, ""};
    // The devices found, and what ports 1, 2 and 3 lead to.
    const std::pair<QList<PortEntry>, QString> cases[] = {
        {{s0, s1}, "/dev/ttyS0 /dev/ttyS1 /dev/ttyS2"}, // no cable
        {{s0, usb0, s1}, "/dev/ttyUSB0 /dev/ttyS0 /dev/ttyS1"},
        // Two cables by device name; then by-path order first, the rest by name.
        {{{"/dev/ttyUSB10", true, ""}, s0, {"/dev/ttyUSB2", true, ""}},
         "/dev/ttyUSB2 /dev/ttyUSB10 /dev/ttyS0"},
        {{{"/dev/ttyUSB0", true, "pci-0000:00:14.0-usb-0:10:1.0-port0"},
          {"/dev/ttyACM0", true, ""},
          {"/dev/ttyUSB1", true, "pci-0000:00:14.0-usb-0:2:1.0-port0"}},
         "/dev/ttyUSB1 /dev/ttyUSB0 /dev/ttyACM0"},
        // A cable's chip before a laptop's modem.
        {{{"/dev/ttyUSB0", true, "usb-0:4"}, {"/dev/ttyUSB3", true, "", true}},
         "/dev/ttyUSB3 /dev/ttyUSB0 /dev/ttyS0"}};
    const auto devices = [](const QList<PortEntry>& ports) {
        return QStringList{portDeviceName(1, ports), portDeviceName(2, ports),
                           portDeviceName(3, ports)}
            .join(' ');
    };
    for (const auto& [ports, expected] : cases) {
        EXPECT_EQ(devices(ports), expected);
    }
    EXPECT_EQ(kr4720::platform::cableChip(0x1a86, 0x7523), "CH340");
    EXPECT_EQ(kr4720::platform::cableChip(0x1a86, 0x7524), "");
    EXPECT_EQ(kr4720::platform::usbIdText(0x067b, 0x00a3), "067b:00a3");
    qputenv("KR4720_COM1", "/tmp/radio"); // the variable wins
    EXPECT_EQ(devices({usb0}), "/tmp/radio /dev/ttyS0 /dev/ttyS1");
    qunsetenv("KR4720_COM1");
}

TEST(PortNames, TheByPathFolderGivesEachDeviceItsSocketName) {
    TempFolder folder;
    folder.write("ttyFAKE0", "");
    const QString link = folder.file("pci-0000:00:14.0-usb-0:3:1.0-port0");
    ASSERT_TRUE(QFile::link(folder.file("ttyFAKE0"), link));
    EXPECT_EQ(
        kr4720::platform::byPathNames(folder.path()),
        (QHash<QString, QString>{{folder.file("ttyFAKE0"), "pci-0000:00:14.0-usb-0:3:1.0-port0"}}));
}

TEST(PortNames, AFailedOpenSaysWhetherAnotherProgramHoldsTheDeviceOrWhichGroupToJoin) {
    TempFolder folder;
    folder.write("ttyUSB0", "");
    const QString device = folder.file("ttyUSB0");
    const QString group = QFileInfo(device).group();

    EXPECT_EQ(portOpenFailureDetail(device, QSerialPort::DeviceNotFoundError,
                                    "No such file or directory"),
              "设备 " + device + "：No such file or directory");
    // A plain file is no serial port; a terminal that fails to open is.
    EXPECT_EQ(portOpenFailureDetail(device, QSerialPort::OpenError, "Inappropriate ioctl"),
              "设备 " + device +
                  "：Inappropriate ioctl\n这个设备不是串行端口，请选择写频线所在的端口");
    const PseudoTerminal terminal;
    const QString tty = QString::fromStdString(terminal.path());
    EXPECT_EQ(portOpenFailureDetail(tty, QSerialPort::OpenError, "I/O error"),
              "设备 " + tty + "：I/O error");
    // A device the user may open is held by another program; root may open any.
    EXPECT_EQ(portOpenFailureDetail(device, QSerialPort::PermissionError, "Permission denied"),
              "设备 " + device + " 正被其它程序使用，请先关闭那个程序");
    // A relative path names the file there, not one under /dev.
    const QString here = QDir::currentPath();
    QDir::setCurrent(folder.path() + "/..");
    const QString relative = QFileInfo(folder.path()).fileName() + "/ttyUSB0";
    EXPECT_TRUE(portOpenFailureDetail(relative, QSerialPort::PermissionError, "Permission denied")
                    .endsWith("请先关闭那个程序"));
    QDir::setCurrent(here);
    QFile::setPermissions(device, QFile::ReadGroup | QFile::WriteGroup);
    if (::geteuid() != 0 && group != "root") {
        EXPECT_EQ(portOpenFailureDetail(device, QSerialPort::PermissionError, "Permission denied"),
                  "设备 " + device +
                      "：Permission denied\n当前用户不能使用这个设备，请把自己加入 " + group +
                      " 组后重新登录：sudo usermod -aG " + group + " $USER");
        QFile::setPermissions(device, {});
        EXPECT_TRUE(portOpenFailureDetail(device, QSerialPort::PermissionError, "Permission denied")
                        .endsWith("请系统管理员给予读写权限"));
    }
}
