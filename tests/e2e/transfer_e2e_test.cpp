#include "aux_windows/port_dialog.h"
#include "main_window/emergency_window.h"
#include "platform/file_dialog.h"
#include "platform/message_box.h"
#include "platform/serial_port.h"
#include "platform/window_stop.h"
#include "radio_link/radio_image.h"
#include "support/pseudo_terminal.h"
#include "support/sqlite_peek.h"
#include "support/window_fixture.h"
#include "virtual_radio/virtual_radio.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>

#include <gmock/gmock.h>

#include <csignal>

using namespace kr4720;
using namespace std::chrono_literals;
using platform::MessageIcon;

namespace {

// The real main window on real SQLite files, talking to the virtual radio
// over a real pseudo-terminal.
class TransferEndToEnd : public WindowFixture {
protected:
    void SetUp() override { qputenv("KR4720_TRACE", QFile::encodeName(folder.file("trace.txt"))); }
    void TearDown() override {
        WindowFixture::TearDown();
        qunsetenv("KR4720_TRACE");
    }
    // A fresh radio and a window on it (on its link when it has one); the
    // database files stay.
    void startRadio(const std::function<void(VirtualRadio::Options&)>& adjust = [](auto&) {}) {
        window.reset();
        radio.reset();
        messages.messages.clear();
        VirtualRadio::Options options;
        options.pace = false;
        adjust(options);
        radio = std::make_unique<VirtualRadio>(std::move(options));
        radio->start();
        start(radio->options().linkPath.empty() ? radio->devicePath() : radio->options().linkPath);
    }
    // Starts a write and returns once `records` records have gone out.
    void writeUntil(int records) {
        window->writeChannels();
        ASSERT_TRUE(pumpUntil([&] { return window->writeSequence().sendStep() >= 6 * records; }));
    }
    // Waits until the write has ended and the radio holds `writes` complete ones.
    void finishWrite(int writes = 1) {
        ASSERT_TRUE(pumpUntil([&] { return !window->writeSequence().isRunning(); }));
        ASSERT_TRUE(radio->waitFor([&](const auto& c) { return c.completeWrites == writes; }, 2s));
    }
    bool ready() {
        return pumpUntil([&] { return child<QLabel>("Label2")->text() == "对讲机就绪..."; });
    }
    QComboBox* combo8() { return child<QComboBox>("Combo8"); }
    // The names of the backups saved so far that end in `suffix`.
    QStringList backups(const QString& suffix) const {
        return QDir(folder.file("kr4720/backups")).entryList({"*" + suffix}, QDir::Files);
    }
    std::string backup(const QString& name) const {
        return folder.read("kr4720/backups/" + name).toStdString();
    }

    std::unique_ptr<VirtualRadio> radio;
};

} // namespace

TEST_F(TransferEndToEnd, AWriteSendsKeepsAndReadsBackTheChannelSet) {
    startRadio();
    ASSERT_TRUE(ready());
    EXPECT_FALSE(window->timer3().isActive());

    // A value the radio cannot take is named on the second line, what shows
    // as a blank spelled out, and nothing is sent.
    setRow(15, {"145.50000", "", "", "145.50000", "67.0\xC2\xA0"});
    window->writeChannels();
    messages.expectOne("数据超出范围 ！！", "错误警告 ", MessageIcon::Information,
                       "信道 16：发哑音 67.0<U+00A0>");

    setRow(0, {"435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"});
    setRow(2, {"146.12500", "", "023", "146.72500", "", "754", "del", "1", "on"});
    setRow(4, {"146.00000", "", "", "", "", "", " ", " ", " "});
    setRow(15, {"438.00625", "250.3", "", "438.00625", "100.0", "", "add", "2", "off"});
    combo8()->setEditText("5");
    // A typo still open in a cell is refused by the range check, and the
    // write, which would send that channel empty, does not start.
    typeInto(1, 1, "4385");
    window->writeChannels();
    messages.expectOne("数据超出范围 ！！", "错误警告 ", MessageIcon::Information);
    // An empty beat field sends 1.
    window->emergencyCursor().Edit();
    for (const auto& [field, text] : {std::pair(0, "450"), {1, "460.5"}, {2, ""}}) {
        window->emergencyCursor().setField(field, std::string(text));
    }
    window->emergencyCursor().saveRecord();
    // Row 1's number cannot be stored (the database is locked): the write is
    // refused before "A".
    window->channelCursor().moveTo(0);
    window->channelCursor().setField(0, std::string("9"));
    window->channelCursor().storePending();
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    window->writeChannels();
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), {"DROP TRIGGER busy"}));
    messages.expectOne("数据库操作失败", "错误警告 ", MessageIcon::Information,
                       "database is locked");
    EXPECT_FALSE(window->writeSequence().isRunning());
    radio->clearLog();
    window->writeChannels();
    // Kept as the write starts, before its first record is sent.
    const auto written = backups("-write.img");
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(radio->receivedBytes().find('0'), std::string::npos);
    // Row 5 edited before its tick goes out as edited; the backup is kept again.
    setRow(4, {"145.50000", "", "", "", "", "", " ", " ", " "});
    finishWrite();
    // Neither refused write reached the radio; row 1's number is stored as 1.
    EXPECT_EQ(radio->counters().writesStarted, 1);
    EXPECT_EQ(value(0, 0), "1");

    // Written out by hand from the record rules.
    radio_link::RadioImage expected;
    expected.fill(std::string(32, '0'));
    expected[0] = "01000050993800000000000050437006";
    // 146.125 - 45.05 = 101.075 -> 10107500 -> 00751010; code 023 -> 0155;
    // del + on -> 3; BCL 1; 146.725 -> 14672500 -> 00256714; code 754 -> 5355.
    expected[2] = "03000075101001553100002567145355";
    expected[4] = "05000050041000000000000000000000";
    // 438.00625 - 45.05 = 392.95625 -> 39295625 -> 25562939; 250.3 -> 0325;
    // BCL 2; 438.00625 -> 43800625 -> 25068043; 100.0 -> 0010.
    expected[15] = "10002556293903250200250680430010";
    // Squelch 5; 450 - 45.05 = 404.95 -> 00504940; beat 1; 460.5 -> 00000546.
    expected[16] = "00050050494000001000000005460000";
    const std::string records = radio_link::RadioImageText(expected);
    std::string line = "A" + records;
    std::erase(line, '\n');
    EXPECT_EQ(radio->receivedBytes().substr(0, line.size()), line);
    EXPECT_EQ(backup(written[0]), records);
    EXPECT_EQ(backups("-write.img"), written);
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join('|').toStdString();
    EXPECT_TRUE(ready());

    // Scramble the working copy, then read the radio back into it; characters
    // waiting on the line before the read do not shift the records.
    for (int row = 0; row < 16; ++row) {
        setRow(row, {"400", "", "", "400", "", "", "del", "2", "on"});
    }
    combo8()->setEditText(" 3");
    radio->sendRaw("C7X");
    QThread::msleep(50);
    // An open emergency window shows the emergency channel read, not what it held.
    QWidget* text1 =
        main_window::EmergencyWindow::open(window->emergencyCursor())->findChild<QWidget*>("Text1");
    text1->setProperty("text", "400");
    // A key typed while the read keeps the thread is not typed into the grid after it.
    auto* grid = window->grid();
    grid->setCurrentIndex(grid->model()->index(3, 1));
    QCoreApplication::postEvent(grid,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_9, Qt::NoModifier, "9"));
    window->readChannels();
    QApplication::processEvents();
    EXPECT_EQ(grid->indexWidget(grid->currentIndex()), nullptr); // no editor with "9"
    EXPECT_EQ(text1->property("text"), "450");
    delete text1->window();
    EXPECT_TRUE(messages.messages.isEmpty());
    std::vector<std::vector<FieldValue>> rows(16, std::vector<FieldValue>(9, ""));
    rows[0] = {"435", "", "", "435", "67", "", "add", "off", "off"};
    rows[2] = {"146.125", "", "023", "146.725", "", "754", "del", "1", "on"};
    rows[4] = {"145.5", "", "", "", "", "", "add", "off", "off"};
    rows[15] = {"438.00625", "250.3", "", "438.00625", "100", "", "add", "2", "off"};
    for (int row = 0; row < 16; ++row) {
        EXPECT_EQ(rowValues(row), rows[std::size_t(row)]) << "row " << row + 1;
    }
    EXPECT_EQ(combo8()->currentText(), "5");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_TRUE(window->timer3().isActive());
    const auto read = backups("-read.img");
    ASSERT_EQ(read.size(), 1);
    EXPECT_THAT(read[0].toStdString(),
                testing::MatchesRegex("[0-9]{4}(-[0-9]{2}){2}_[0-9]{2}(-[0-9]{2}){2}-read\\.img"));
    EXPECT_EQ(backup(read[0]), records);
    // A whole reply the database refuses is kept all the same, before the
    // message: the program may not outlive the box.
    QFile::remove(folder.file("kr4720/backups/" + read[0]));
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    QList<qsizetype> backedUp;
    messages.record([&] { backedUp << backups("-read.img").size(); });
    window->readChannels();
    EXPECT_EQ(backedUp, (QList<qsizetype>{1, 1}));
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), {"DROP TRIGGER busy"}));
    const auto kept = backups("-read.img");
    ASSERT_EQ(kept.size(), 1);
    EXPECT_EQ(messages.texts(),
              (QStringList{"数据库操作失败", "读出的数据已保存在备份文件 " +
                                                 folder.file("kr4720/backups/" + kept[0])}));
    messages.messages.clear();

    // A backup that cannot be saved (a file where the folder should be) is
    // told after the transfer, which still succeeds.
    folder.write("blocked", "");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.file("blocked")));
    QList<bool> writeRunning;
    messages.record([&] { writeRunning << window->writeSequence().isRunning(); });
    window->writeChannels();
    finishWrite(2);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(writeRunning, QList<bool>{false});
    EXPECT_TRUE(messages.messages[0].text.startsWith("备份文件 " + folder.file("blocked")));
    EXPECT_TRUE(messages.messages[0].text.endsWith("无法保存（数据传送不受影响）"));
    // The folder and the system's reason.
    const QString reason = messages.messages[0].informativeText;
    EXPECT_TRUE(reason.startsWith("无法创建文件夹 ") && !reason.section("：", 1).isEmpty())
        << reason.toStdString();
    messages.messages.clear();
    setRow(0, {"400.00000"});
    window->readChannels();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_TRUE(messages.messages[0].text.startsWith("备份文件 "));
    EXPECT_EQ(value(0, 1), "435");
    // When the database refuses the reply too, nothing holds it: said so.
    messages.messages.clear();
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    window->readChannels();
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), {"DROP TRIGGER busy"}));
    ASSERT_EQ(messages.messages.size(), 2);
    EXPECT_TRUE(messages.messages[1].text.contains("也无法保存，读出的数据没有保存"));
    // A read refused before "B" backs up nothing, not the last reply again
    // (its backup would be told as failing here).
    messages.messages.clear();
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    window->channelCursor().moveTo(3); // an edit in row 4 that cannot be stored
    window->channelCursor().setField(1, std::string("401.00000"));
    window->readChannels();
    EXPECT_EQ(messages.texts(), QStringList{"数据库操作失败"});
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), {"DROP TRIGGER busy"}));
}

// Once "A" is sent the radio gets all 17 records: a squelch level typed
// meanwhile is sent when it can be, otherwise the one checked at the start;
// a port switch and a file are refused; exit waits for the end. A cable pulled
// while the line is idle is told and closes the port until OK on it.
TEST_F(TransferEndToEnd, AWriteRunsToItsEndAndAPulledCableClosesThePortUntilOk) {
    PseudoTerminal com2;
    qputenv("KR4720_COM2", QByteArray::fromStdString(com2.path()));
    const std::string link = folder.file("radio").toStdString();
    startRadio([&](auto& o) { o.linkPath = link; });
    // A channel file whose rows differ from the table's.
    setRow(11, {"147.00000"});
    const QString file = folder.file("other.doc");
    platform::CommonDialog::setHandler([&](const auto&) { return std::optional(file); });
    window->SaveChannelFile();
    setRow(11, {"148.00000"});

    writeUntil(4);
    const auto* bar = child<QProgressBar>("ProgressBar1");
    EXPECT_GT(bar->value(), 0);
    combo8()->setEditText("12");
    child<QAction>("端口")->trigger();
    QWidget* dialog = aux_windows::PortDialog::instance();
    ASSERT_NE(dialog, nullptr);
    dialog->findChild<QRadioButton*>("Option2")->setChecked(true);
    dialog->findChild<QPushButton*>("OKButton")->click();
    child<QAction>("打开")->trigger();
    finishWrite();
    EXPECT_EQ(bar->value(), 0);
    platform::CommonDialog::setHandler({});
    dialog->close();
    EXPECT_EQ(radio->memory()[11].substr(4, 8), "00502910"); // 148 - 45.05 = 102.95
    EXPECT_EQ(radio->memory()[16][3], '3');
    EXPECT_EQ(com2.readAvailable(), "");
    EXPECT_EQ(window->serialPort().portNumber(), 1);
    EXPECT_EQ(value(11, 1), "148.00000");
    const QString running = "正在传送数据，请等传送结束后再操作 ";
    EXPECT_EQ(messages.texts(),
              (QStringList{running, running, "静噪级别超出范围，已写入原来的静噪级别 3 "}));
    EXPECT_EQ(messages.messages[0].title, "系统信息");
    EXPECT_EQ(messages.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(messages.messages[2].title, "错误警告 ");

    // A typo entered during a write, its message still open when the write
    // ends: the cell it was typed into is cleared, and no other row.
    messages.messages.clear();
    setRow(0, {"145.50000"});
    combo8()->setEditText("3");
    writeUntil(2);
    messages.record([&] { pumpUntil([&] { return !window->writeSequence().isRunning(); }); });
    typeInto(13, 1, "600");
    QTest::keyClick(window->grid()->focusWidget(), Qt::Key_Return);
    finishWrite(2);
    EXPECT_EQ(messages.texts(), QStringList{"数据超出范围 ！！"});
    EXPECT_EQ(value(13, 1), "");
    EXPECT_EQ(value(0, 1), "145.50000");
    // Text still open in a cell as the write ends goes into its row, and the
    // grid stands where the cursor is. The radio did not get it: said so.
    writeUntil(2);
    typeInto(9, 1, "145.5");
    finishWrite(3);
    EXPECT_EQ(window->grid()->currentIndex().row(), window->channelCursor().currentRow());
    EXPECT_EQ(messages.texts().last(), "信道 10 在写入时改动，改动没有写入对讲机，请重新写入 ");
    // An exit asked for during a write and refused at its end (否: a row that
    // cannot be stored) is not carried out when the next write ends.
    messages.answer = false;
    writeUntil(2);
    window->channelCursor().setField(1, "150");
    ASSERT_TRUE(lockChannelTable(folder.file("tw8810.mdb")));
    child<QAction>("退出")->trigger();
    finishWrite(4);
    ASSERT_TRUE(runSql(folder.file("tw8810.mdb"), {"DROP TRIGGER busy"}));
    writeUntil(2);
    finishWrite(5);
    EXPECT_TRUE(window->isVisible());

    // The cable pulled while the line is idle: told, the ready text goes and
    // the port is closed.
    messages.messages.clear();
    ASSERT_TRUE(ready());
    radio->stop();
    ASSERT_TRUE(pumpUntil([&] { return !messages.messages.isEmpty(); }));
    messages.expectOne("串行端口连接中断", "系统信息", MessageIcon::Exclamation,
                       QString::fromStdString(link));
    EXPECT_EQ(child<QLabel>("Label2")->text(), "");
    EXPECT_FALSE(window->serialPort().isOpen());
    // With the port gone, a write and a read say so and change nothing.
    window->writeChannels();
    window->readChannels();
    const QString closed = "串行端口没有打开，请先选择端口 ";
    EXPECT_EQ(messages.texts(), (QStringList{closed, closed}));
    EXPECT_EQ(value(11, 1), "148.00000");
    // Plugged back in: OK on the same port opens it again.
    messages.messages.clear();
    radio->start();
    child<QAction>("端口")->trigger();
    aux_windows::PortDialog::instance()->findChild<QPushButton*>("OKButton")->click();
    EXPECT_TRUE(window->serialPort().isOpen());
    ASSERT_TRUE(ready());

    // Exit during a write waits for its end, and sends text still being typed.
    writeUntil(8);
    combo8()->setEditText("5");
    typeInto(12, 1, "152");
    child<QAction>("退出")->trigger();
    EXPECT_TRUE(window->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !window->isVisible(); }, 3000));
    finishWrite(6);
    EXPECT_EQ(radio->memory()[16][3], '5');
    EXPECT_EQ(radio->memory()[12].substr(4, 8), "00506910"); // 152 - 45.05 = 106.95
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.texts().join('|').toStdString();

    // So does a stop signal, and the real message box of a line lost
    // meanwhile does not wait for a click.
    startRadio();
    platform::closeOnStopSignal(window.get());
    platform::setMessageHandler({});
    writeUntil(4);
    std::raise(SIGTERM);
    radio->stop();
    EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }, 3000));
    // Nor does the box of a row that cannot be stored as the window closes.
    pumpUntil([] { return false; }, 100); // the last try of that close runs out
    window->show();
    ASSERT_TRUE(runSql(
        folder.file("tw8810.mdb"),
        {"CREATE TRIGGER busy BEFORE UPDATE ON 信道表 BEGIN SELECT RAISE(ABORT, 'x'); END"}));
    window->channelCursor().setField(1, "150");
    platform::closeOnStopSignal(window.get());
    EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }, 3000));
    // One that comes during a read closes the window after the read, not
    // beneath it: the read's message would keep a hidden program running.
    startRadio([](auto& options) { options.noAnswer = true; });
    messages.record();
    platform::closeOnStopSignal(window.get());
    window->readChannels();
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(pumpUntil([&] { return !window->isVisible(); }, 3000));
}

// A failed read keeps no backup. A reply that cannot be the radio's changes
// nothing; one that stops early or whose line goes keeps the channels before
// it and leaves the cursor on the first one missing.
TEST_F(TransferEndToEnd, AFailedReadKeepsOnlyTheChannelsBeforeTheFailure) {
    const std::tuple<const char*, std::function<void(VirtualRadio::Options&)>, int> cases[] = {
        {"stray C", [](auto& o) { o.strayBeforeReply = "C"; }, 0},
        {"NUL bytes", [](auto& o) { o.replyInstead = std::string(18 * 32, '\0'); }, 0},
        {"character after", [](auto& o) { o.strayAfterReply = "0"; }, 0},
        // The leading record and channels 1 to 5.
        {"stops after channel 5", [](auto& o) { o.stopAfterRecords = 6; }, 5},
    };
    // A line that goes after channel 3 is told and closes the port.
    startRadio([](auto& o) { o.closeAfterRecords = 4; });
    window->readChannels();
    messages.expectOne("串行端口连接中断，数据传送没有完成 ", "系统信息", MessageIcon::Exclamation);
    EXPECT_EQ(value(2, 1), "145.5");
    EXPECT_EQ(value(3, 1), std::nullopt);
    EXPECT_FALSE(window->serialPort().isOpen());

    const char* demo[] = {"438.5", "439.125", "145.5", "446.00625", "136.025"};
    for (const auto& [name, adjust, kept] : cases) {
        SCOPED_TRACE(name);
        startRadio(adjust);
        for (int row = 0; row < 16; ++row) {
            setRow(row, {"400.00000", "67.0"});
        }
        window->emergencyCursor().Edit();
        window->emergencyCursor().setField(0, std::string("450.00000"));
        window->emergencyCursor().saveRecord();
        combo8()->setEditText("7");
        window->readChannels();
        messages.expectOne("读数错误！！", "错误警告 ", MessageIcon::Information);
        EXPECT_TRUE(backups("-read.img").isEmpty());
        for (int row = 0; row < 16; ++row) {
            EXPECT_EQ(value(row, 1), row < kept ? demo[row] : "400.00000") << row;
        }
        EXPECT_EQ(value(15, 2), "67.0");
        EXPECT_EQ(window->channelCursor().currentRow(), kept);
        EXPECT_EQ(window->emergencyCursor().field(0), "450.00000");
        EXPECT_EQ(combo8()->currentText(), "7");
        EXPECT_TRUE(window->timer3().isActive());
    }
    // A cable pulled while the read's own message is open is told after it.
    platform::setMessageHandler([&](const platform::Message& message) {
        messages.messages.append(message);
        radio->stop();
        return pumpUntil([&] { return !window->serialPort().isOpen(); });
    });
    window->readChannels();
    EXPECT_EQ(messages.texts(), (QStringList{"读数错误！！", "串行端口连接中断"}));
}

TEST_F(TransferEndToEnd, PollsNobodyAnswersAreFoldedIntoALineASecond) {
    startRadio([](auto& options) { options.noAnswer = true; });
    pumpUntil([&] { return radio->counters().bytesReceived >= 15; });
    window.reset(); // the trace is complete once the window is gone
    const auto lines = QString::fromUtf8(folder.read("trace.txt")).split('\n', Qt::SkipEmptyParts);
    // 15 polls in about 1.5 s: the first, one a second later counting those
    // between, and the count of the last ones when the trace ends.
    EXPECT_LE(lines.size(), 3) << lines.join("\n").toStdString();
    for (const QString& line : lines) {
        EXPECT_TRUE(line.contains(" -> 43  |C|")) << line.toStdString();
    }
}

// A trace that stops (a full disk) is told after a transfer, and only once.
TEST_F(TransferEndToEnd, ATraceThatStopsIsToldOnceAfterATransfer) {
    qputenv("KR4720_TRACE", "/dev/full");
    startRadio();
    ASSERT_TRUE(ready() && messages.messages.isEmpty());
    window->readChannels();
    window->readChannels();
    messages.expectOne("无法继续写入线路记录文件 /dev/full，记录不完整", "错误警告 ",
                       MessageIcon::Information, "空间");
}

// Started with its output closed (`>&- 2>&-`, as some launchers start it) the
// program stays up: what it writes to standard error must not reach the pipe
// that tells it to stop.
TEST(WindowProgram, StartedWithItsOutputClosedRunsUntilStopped) {
    const TempFolder folder;
    const PseudoTerminal port;
    QProcess program;
    program.setWorkingDirectory(folder.path());
    // Without XDG_RUNTIME_DIR Qt warns on standard error.
    program.start("/bin/sh", {"-c", R"(unset XDG_RUNTIME_DIR; KR4720_COM1="$1" exec "$0" >&- 2>&-)",
                              KR4720_APP, QString::fromStdString(port.path())});
    EXPECT_FALSE(program.waitForFinished(3000));
    program.terminate();
    EXPECT_TRUE(program.waitForFinished(20000) && program.exitCode() == 128 + SIGTERM);
}

// Without a display, or with one that cannot be reached (a `sudo`, an ssh
// session that is gone), the program says so and ends.
TEST(WindowProgram, WithoutAReachableDisplaySaysWhyAndEnds) {
    for (const auto& [display, platform, text] :
         {std::tuple{"", "", "没有设置 DISPLAY"},
          std::tuple{":4719", "xcb", "无法连接图形界面（DISPLAY=:4719）"}}) {
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_QPA_PLATFORM", platform);
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("DISPLAY", display);
        program.setProcessEnvironment(environment);
        program.start(KR4720_APP, {});
        ASSERT_TRUE(program.waitForFinished(20000));
        EXPECT_EQ(program.exitCode(), 1);
        EXPECT_TRUE(QString::fromUtf8(program.readAllStandardError()).contains(text)) << display;
    }
}
