#include "platform/line_trace.h"
#include "platform/serial_port.h"
#include "support/pseudo_terminal.h"
#include "support/temp_folder.h"

#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

using kr4720::platform::SerialPort;

TEST(SerialPort, TalksOverAPseudoTerminalOneCharacterPerTakeAndReportsAMissingDevice) {
    PseudoTerminal pty;
    qputenv("KR4720_COM1", QByteArray::fromStdString(pty.path()));
    SerialPort port;
    TempFolder folder;
    kr4720::platform::LineTrace trace;
    folder.write("trace.txt", "an earlier run\n");
    ASSERT_TRUE(trace.open(folder.file("trace.txt")).isEmpty());
    port.setTrace(&trace);
    ASSERT_TRUE(port.open()) << port.errorText().toStdString();
    EXPECT_FALSE(port.setPortNumber(2));
    // The device held under one name is refused under another (a link to it).
    ASSERT_TRUE(QFile::link(QString::fromStdString(pty.path()), folder.file("link")));
    SerialPort other;
    other.setDeviceName(folder.file("link"));
    EXPECT_FALSE(other.open());
    EXPECT_TRUE(port.output("AB"));
    QThread::msleep(20);
    EXPECT_EQ(pty.readAvailable(), "AB");
    // Polls repeated within a second fold into one more line that counts them.
    EXPECT_TRUE(port.output("A") && port.output("A") && port.output("A"));

    pty.send("C\x7f");
    EXPECT_TRUE(port.waitForInput(std::chrono::milliseconds(500)));
    QThread::msleep(20);
    EXPECT_EQ(port.inBufferCount(), 2);
    EXPECT_EQ(port.input(), "C");
    EXPECT_EQ(port.input(), "\x7f");
    EXPECT_EQ(port.input(), "");
    EXPECT_FALSE(port.waitForInput(std::chrono::milliseconds(30)));
    // The last burst is in the trace once the line is quiet, not only when more comes.
    QTest::qWait(60);
    const QByteArray text = folder.read("trace.txt");
    EXPECT_TRUE(text.contains(" -> 41  |A|  [1 more before this one]\n")) << text.toStdString();
    EXPECT_TRUE(text.contains(" <- 43 7f  |C.|\n"));
    EXPECT_TRUE(text.startsWith("an earlier run\n"));
    // A line that cannot be written (a full disk) is told, not lost in silence.
    kr4720::platform::LineTrace full;
    ASSERT_TRUE(full.open("/dev/full").isEmpty());
    full.record("ttyS0", kr4720::platform::LineTrace::Direction::Sent, "A");
    EXPECT_FALSE(full.failure().isEmpty());
    // A FIFO nobody reads is refused at once, not waited on for good.
    ASSERT_EQ(::mkfifo(folder.file("fifo").toLocal8Bit().constData(), 0600), 0);
    EXPECT_EQ(full.open(folder.file("fifo")), "没有程序在读这个管道");
    EXPECT_EQ(full.open(folder.file("plan.DOC")), "记录文件不能是信道文件（.img、.doc、.csv）");
    folder.write("plan.img", "");
    ASSERT_TRUE(QFile::link(folder.file("plan.img"), folder.file("trace.log")));
    EXPECT_EQ(full.open(folder.file("trace.log")), "记录文件不能是信道文件（.img、.doc、.csv）");

    pty.send("late");
    QThread::msleep(20);
    port.discardInput();
    EXPECT_EQ(port.inBufferCount(), 0);
    // A device that never stops sending: only the newest 64 KiB wait.
    for (const char c : std::string(16, 'o') + std::string(17, 'n')) {
        pty.send(std::string(4096, c));
        QTest::qWait(5);
        port.inBufferCount();
    }
    EXPECT_EQ(port.inBufferCount(), 65536);
    EXPECT_EQ(port.input(), "n");
    port.discardInput();

    port.close();
    EXPECT_FALSE(port.output("A"));
    EXPECT_EQ(port.input(), "");

    // A missing device does not open; another number can then be chosen.
    qputenv("KR4720_COM1", "/nonexistent/tty");
    EXPECT_FALSE(port.open());
    EXPECT_FALSE(port.isOpen());
    EXPECT_TRUE(port.openFailureDetail().startsWith("设备 /nonexistent/tty："));
    EXPECT_TRUE(port.setPortNumber(2));
    EXPECT_EQ(port.portNumber(), 2);
    qunsetenv("KR4720_COM1");
}
