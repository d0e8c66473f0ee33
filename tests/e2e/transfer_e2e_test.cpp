#include "main_window/channel_grid.h"
#include "main_window/start_window.h"
#include "platform/serial_port.h"
#include "platform/sqlite_stores.h"
#include "support/channel_rows.h"
#include "support/message_recorder.h"
#include "support/temp_folder.h"
#include "virtual_radio/virtual_radio.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>

#include <gtest/gtest.h>

using namespace kr4720;
using main_window::StartWindow;
using namespace std::chrono_literals;

namespace {

// The real main window on real SQLite files, talking to the virtual radio
// over a real pseudo-terminal.
class TransferEndToEnd : public ::testing::Test {
protected:
    void startRadio(VirtualRadio::Options options) {
        radio = std::make_unique<VirtualRadio>(std::move(options));
        radio->start();
        qputenv("KR4720_COM1", QByteArray::fromStdString(radio->devicePath()));
        window = std::make_unique<StartWindow>(main_window::StartWindowOptions{folder.path()});
        window->startUp();
    }
    void TearDown() override {
        window.reset();
        radio.reset();
        qunsetenv("KR4720_COM1");
    }
    static VirtualRadio::Options fast() {
        VirtualRadio::Options options;
        options.pace = false;
        return options;
    }
    bool pumpUntil(const std::function<bool()>& done, int milliseconds = 5000) {
        QElapsedTimer timer;
        timer.start();
        while (!done() && timer.elapsed() < milliseconds) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            QThread::msleep(2);
        }
        return done();
    }
    QString status() { return window->findChild<QLabel*>("Label2")->text(); }
    QComboBox* combo8() { return window->findChild<QComboBox*>("Combo8"); }
    void setRow(int row, const std::vector<FieldValue>& fields) {
        setChannelRow(window->channelCursor(), row, fields);
    }
    void write() {
        window->writeChannels();
        ASSERT_TRUE(pumpUntil([&] { return !window->writeSequence().isRunning(); }));
    }
    FieldValue stored(int row, int field) {
        window->channelCursor().storePending();
        return window->channelCursor().value(row, field);
    }

    TempFolder folder;
    MessageRecorder messages;
    std::unique_ptr<VirtualRadio> radio;
    std::unique_ptr<StartWindow> window;
};

const std::string kEmpty(32, '0');

} // namespace

TEST_F(TransferEndToEnd, TheHandshakeShowsTheRadioIsReady) {
    startRadio(fast());
    EXPECT_TRUE(pumpUntil([&] { return status() == "对讲机就绪..."; }));
    EXPECT_GE(radio->pollsAnswered(), 1);
    EXPECT_FALSE(window->timer3().isActive());
}

TEST_F(TransferEndToEnd, AWritePutsAAndTheSeventeenRecordsOnTheLine) {
    startRadio(fast());
    ASSERT_TRUE(pumpUntil([&] { return status() == "对讲机就绪..."; }));
    setRow(0, {"435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"});
    setRow(2, {"146.12500", "", "023", "146.72500", "", "754", "del", "1", "on"});
    setRow(15, {"438.00625", "250.3", "", "438.00625", "100.0", "", "add", "2", "off"});
    window->emergencyCursor().Edit();
    window->emergencyCursor().setField(0, std::string("450.00000"));
    window->emergencyCursor().setField(1, std::string("460.00000"));
    window->emergencyCursor().setField(2, std::string("off"));
    window->emergencyCursor().saveRecord();
    radio->clearLog();

    write();
    ASSERT_TRUE(radio->waitFor([](const auto& c) { return c.completeWrites == 1; }, 2000ms));

    // Written out by hand from the record rules.
    std::vector<std::string> expected(17, kEmpty);
    expected[0] = "01000050993800000000000050437006";
    // 146.125 - 45.05 = 101.075 -> 10107500 -> 00751010; code 023 -> 0155;
    // del + on -> 3; BCL 1; 146.725 -> 14672500 -> 00256714; code 754 -> 5355.
    expected[2] = "03000075101001553100002567145355";
    // 438.00625 - 45.05 = 392.95625 -> 39295625 -> 25562939; 250.3 -> 0325;
    // BCL 2; 438.00625 -> 43800625 -> 25068043; 100.0 -> 0010.
    expected[15] = "1000"
                   "25562939"
                   "0325"
                   "0200"
                   "25068043"
                   "0010";
    expected[16] = "00030050494000000000000000460000";
    std::string line = "A";
    for (const auto& record : expected) {
        line += record;
    }
    EXPECT_EQ(radio->receivedBytes().substr(0, line.size()), line);
    auto memory = radio->memory();
    EXPECT_EQ(std::vector<std::string>(memory.begin(), memory.end()), expected);
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_TRUE(pumpUntil([&] { return status() == "对讲机就绪..."; }));
}

TEST_F(TransferEndToEnd, AChannelSetWrittenAndReadBackComesOutTheSame) {
    startRadio(fast());
    setRow(0, {"435.00000", "88.5", "", "435.00000", "88.5", "", "add", "off", "off"});
    setRow(1, {"146.12500", "", "023", "146.72500", "", "754", "del", "1", "on"});
    setRow(4, {"145.50000", "", "", "", "", "", " ", " ", " "});
    setRow(7, {"499.99375", "67.0", "", "130.00000", "", "244", "add", "2", "on"});
    combo8()->setEditText("5");
    write();
    ASSERT_TRUE(radio->waitFor([](const auto& c) { return c.completeWrites == 1; }, 2000ms));

    // Scramble the working copy, then read the radio back into it.
    for (int row = 0; row < 16; ++row) {
        setRow(row, {"400", "", "", "400", "", "", "del", "2", "on"});
    }
    combo8()->setEditText(" 3");
    window->readChannels();

    EXPECT_TRUE(messages.messages.isEmpty());
    const std::vector<std::vector<FieldValue>> expected = {
        {"435", "88.5", "", "435", "88.5", "", "add", "off", "off"},
        {"146.125", "", "023", "146.725", "", "754", "del", "1", "on"},
        {"", "", "", "", "", "", "", "", ""},
        {"", "", "", "", "", "", "", "", ""},
        {"145.5", "", "", "", "", "", "add", "off", "off"},
        {"", "", "", "", "", "", "", "", ""},
        {"", "", "", "", "", "", "", "", ""},
        {"499.99375", "67", "", "130", "", "244", "add", "2", "on"},
    };
    for (int row = 0; row < static_cast<int>(expected.size()); ++row) {
        for (int field = 1; field <= 9; ++field) {
            EXPECT_EQ(stored(row, field),
                      expected[static_cast<std::size_t>(row)][static_cast<std::size_t>(field - 1)])
                << "row " << row + 1 << " field " << field;
        }
    }
    EXPECT_EQ(combo8()->currentText(), "5");
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_TRUE(window->timer3().isActive());
}

TEST_F(TransferEndToEnd, NoAnswerGivesTheReadErrorAndChangesNothing) {
    auto options = fast();
    options.noAnswer = true;
    startRadio(options);
    setRow(3, {"438.50000"});
    QElapsedTimer timer;
    timer.start();
    window->readChannels();
    EXPECT_GE(timer.elapsed(), 1000);
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].text, "读数错误！！");
    EXPECT_EQ(messages.messages[0].title, "错误警告 ");
    EXPECT_EQ(messages.messages[0].icon, platform::MessageIcon::Information);
    EXPECT_EQ(stored(3, 1), "438.50000");
    EXPECT_EQ(stored(0, 1), std::nullopt);
    EXPECT_EQ(window->channelCursor().currentRow(), 0);
    EXPECT_TRUE(window->timer3().isActive());
}

TEST_F(TransferEndToEnd, AReplyThatStopsAfterChannelFiveUpdatesRowsOneToFiveOnly) {
    auto options = fast();
    options.stopAfterRecords = 6; // the leading record and channels 1 to 5
    startRadio(options);
    for (int row = 0; row < 16; ++row) {
        setRow(row, {"400.00000"});
    }
    window->readChannels();
    EXPECT_EQ(messages.texts(), QStringList{"读数错误！！"});
    EXPECT_EQ(stored(0, 1), "438.5");
    EXPECT_EQ(stored(4, 1), "136.025");
    for (int row = 5; row < 16; ++row) {
        EXPECT_EQ(stored(row, 1), "400.00000") << row;
    }
    EXPECT_EQ(window->channelCursor().currentRow(), 5);
    EXPECT_EQ(window->grid()->currentIndex().row(), 5);
    EXPECT_EQ(combo8()->currentText(), " 3");
}

TEST_F(TransferEndToEnd, CharactersWaitingBeforeTheReadDoNotShiftTheRecords) {
    startRadio(fast());
    ASSERT_TRUE(pumpUntil([&] { return status() == "对讲机就绪..."; }));
    radio->sendRaw("C7X");
    QThread::msleep(50);
    window->readChannels();
    EXPECT_TRUE(messages.messages.isEmpty());
    EXPECT_EQ(stored(0, 1), "438.5");
    EXPECT_EQ(stored(0, 2), "88.5");
    EXPECT_EQ(combo8()->currentText(), "3");
}

TEST_F(TransferEndToEnd, ALineClosedMidTransferGivesAMessageAndNoCrash) {
    auto options = fast();
    options.closeAfterRecords = 4;
    startRadio(options);
    window->readChannels();
    ASSERT_EQ(messages.messages.size(), 1);
    EXPECT_EQ(messages.messages[0].title, "系统信息");
    EXPECT_EQ(stored(2, 1), "145.5");
    EXPECT_FALSE(window->serialPort().isOpen());

    // With the port gone, a write and a read say so and change nothing.
    messages.messages.clear();
    window->writeChannels();
    window->readChannels();
    EXPECT_EQ(messages.messages.size(), 2);
    EXPECT_EQ(stored(0, 0), "1");
    EXPECT_EQ(stored(5, 1), std::nullopt);
}
