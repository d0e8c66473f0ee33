#include "platform/port_names.h"
#include "support/temp_folder.h"

#include <QFile>

#include <gtest/gtest.h>

#include <grp.h>
#include <sys/stat.h>

using kr4720::platform::portDeviceName;
using kr4720::platform::PortEntry;
using kr4720::platform::portOpenFailureDetail;

TEST(PortNames, PortNumbersMapToUsbCablesFirstThenTheBuiltInPorts) {
    const PortEntry ttyS0{"/dev/ttyS0", false, ""};
    const PortEntry ttyS1{"/dev/ttyS1", false, ""};
    struct Case {
        const char* name;
        QList<PortEntry> ports;
        const char* com1Variable; // KR4720_COM1, or null for unset
        QStringList expected;     // ports 1, 2 and 3
    } const cases[] = {
        {"no cable", {ttyS0, ttyS1}, nullptr, {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"}},
        {"nothing at all", {}, nullptr, {"/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS2"}},
        {"one cable",
         {ttyS0, {"/dev/ttyUSB0", true, ""}, ttyS1},
         nullptr,
         {"/dev/ttyUSB0", "/dev/ttyS0", "/dev/ttyS1"}},
        {"two cables by device name",
         {{"/dev/ttyUSB10", true, ""}, ttyS0, {"/dev/ttyUSB2", true, ""}},
         nullptr,
         {"/dev/ttyUSB2", "/dev/ttyUSB10", "/dev/ttyS0"}},
        {"by-path order first, then the rest by name",
         {{"/dev/ttyUSB0", true, "pci-0000:00:14.0-usb-0:10:1.0-port0"},
          {"/dev/ttyACM0", true, ""},
          {"/dev/ttyUSB1", true, "pci-0000:00:14.0-usb-0:2:1.0-port0"}},
         nullptr,
         {"/dev/ttyUSB1", "/dev/ttyUSB0", "/dev/ttyACM0"}},
        {"the variable wins",
         {{"/dev/ttyUSB0", true, ""}},
         "/tmp/radio",
         {"/tmp/radio", "/dev/ttyS0", "/dev/ttyS1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.com1Variable) {
            qputenv("KR4720_COM1", c.com1Variable);
        }
        QStringList devices;
        for (int port = 1; port <= 3; ++port) {
            devices << portDeviceName(port, c.ports);
        }
        EXPECT_EQ(devices, c.expected);
        qunsetenv("KR4720_COM1");
    }
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

TEST(PortNames, AFailedOpenNamesTheDeviceTheReasonAndForPermissionTheGroup) {
    TempFolder folder;
    folder.write("ttyUSB0", "");
    const QString device = folder.file("ttyUSB0");
    struct stat status {};
    ASSERT_EQ(::stat(QFile::encodeName(device).constData(), &status), 0);
    const QString group = QString::fromLocal8Bit(::getgrgid(status.st_gid)->gr_name);

    EXPECT_EQ(portOpenFailureDetail(device, QSerialPort::DeviceNotFoundError,
                                    "No such file or directory"),
              "设备 " + device + "：No such file or directory");
    const QString denied =
        portOpenFailureDetail(device, QSerialPort::PermissionError, "Permission denied");
    EXPECT_TRUE(denied.startsWith("设备 " + device + "：Permission denied\n"))
        << denied.toStdString();
    EXPECT_TRUE(denied.contains("加入 " + group + " 组")) << denied.toStdString();
    EXPECT_TRUE(denied.endsWith("sudo usermod -aG " + group + " $USER")) << denied.toStdString();
}
