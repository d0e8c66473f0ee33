#include "radio_link/handshake.h"
#include "radio_link/read_sequence.h"
#include "radio_link/write_sequence.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

#include <deque>

using namespace kr4720;
using namespace kr4720::radio_link;
using namespace std::chrono_literals;

namespace {

// Time that passes only when the code under test waits.
class FakeClock : public Clock {
public:
    TimePoint now() const override { return current; }
    void sleepFor(std::chrono::microseconds duration) override { current += duration; }
    TimePoint current{};
};

// A line whose incoming characters arrive on a schedule of fake time.
class FakeLink : public SerialLink {
public:
    explicit FakeLink(FakeClock& clock) : clock_(clock) {}

    bool isOpen() const override { return open; }
    void setTextMode() override { ++textModeSets; }
    bool output(std::string_view text) override {
        if (!open) {
            return false;
        }
        sent += text;
        if (text == "B" && !reply.empty()) {
            arrive(reply, 0ms);
        }
        return true;
    }
    int inBufferCount() override {
        release();
        return static_cast<int>(waiting.size());
    }
    std::string input() override {
        release();
        if (waiting.empty()) {
            return {};
        }
        std::string c(1, waiting.front());
        waiting.erase(0, 1);
        return c;
    }
    void discardInput() override {
        release();
        waiting.clear();
    }
    bool waitForInput(std::chrono::milliseconds timeout) override {
        ++waits;
        release();
        if (!waiting.empty()) {
            return true;
        }
        if (scheduled.empty() || scheduled.front().first > clock_.current + timeout) {
            clock_.current += timeout;
            if (closeWhenDrained && scheduled.empty()) {
                open = false;
            }
            return false;
        }
        clock_.current = scheduled.front().first;
        release();
        return true;
    }
    // Characters that arrive `delay` after now, one millisecond apart.
    void arrive(const std::string& text, std::chrono::milliseconds delay) {
        auto at = clock_.current + delay;
        for (char c : text) {
            scheduled.emplace_back(at, c);
            at += 1ms;
        }
    }

    bool open = true;
    bool closeWhenDrained = false;
    std::string sent;
    std::string waiting;
    std::string reply; // sent back when "B" goes out
    int textModeSets = 0;
    int waits = 0;

private:
    void release() {
        while (!scheduled.empty() && scheduled.front().first <= clock_.current) {
            waiting += scheduled.front().second;
            scheduled.pop_front();
        }
    }
    FakeClock& clock_;
    std::deque<std::pair<Clock::TimePoint, char>> scheduled;
};

class FakeTimer : public Timer {
public:
    void start() override {
        active = true;
        ++starts;
    }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    bool active = false;
    int starts = 0;
};

class FakeDisplay : public TransferDisplay {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int value) override { progress.push_back(value); }
    std::string squelchText() const override { return squelch; }
    void setSquelchText(const std::string& text) override { squelch = text; }
    void showMessage(TransferMessage message, const std::string& detail) override {
        messages.push_back(message);
        details.push_back(detail);
    }
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<TransferMessage> messages;
    std::vector<std::string> details;
    std::string squelch = " 3";
};

struct Rig {
    Rig() {
        codes.fill();
        timer3.active = true;
    }
    WriteSequence writer() {
        return WriteSequence({link, channels, emergency, codes, display, timer1, timer3, timer4});
    }
    ReadSequence reader() {
        return ReadSequence({link, channels, emergency, codes, display, timer3, clock});
    }
    void setRow(int row, std::initializer_list<const char*> fields) {
        int i = 1;
        for (const char* f : fields) {
            channels.rows[static_cast<std::size_t>(row)][static_cast<std::size_t>(i++)] =
                f ? FieldValue(f) : std::nullopt;
        }
    }

    FakeClock clock;
    FakeLink link{clock};
    MemoryChannelCursor channels;
    MemoryEmergencyCursor emergency;
    DcsCodes codes;
    FakeDisplay display;
    FakeTimer timer1, timer3, timer4;
};

const std::string kZeros(32, '0');

void runWrite(Rig& rig, WriteSequence& writer) {
    writer.start();
    ASSERT_TRUE(rig.timer4.active);
    writer.onTimer4();
    for (int tick = 0; tick < 40 && rig.timer1.active; ++tick) {
        writer.onTimer1();
    }
}

} // namespace

TEST(Handshake, PollsWithCUntilATickTakesTheRadiosC) {
    Rig rig;
    RadioReadyHandshake handshake(rig.link, rig.display, rig.timer3);
    handshake.tick();
    EXPECT_EQ(rig.link.sent, "C");
    rig.link.waiting = "XC";
    handshake.tick(); // takes X, polls again
    EXPECT_EQ(rig.link.sent, "CC");
    EXPECT_TRUE(rig.display.statuses.empty());
    handshake.tick(); // takes C
    EXPECT_EQ(rig.link.sent, "CC");
    EXPECT_EQ(rig.display.statuses, std::vector<std::string>{"对讲机就绪..."});
    EXPECT_FALSE(rig.timer3.active);

    rig.link.open = false;
    rig.timer3.active = true;
    handshake.tick();
    EXPECT_EQ(rig.link.sent, "CC");
    EXPECT_TRUE(rig.timer3.active);
}

TEST(WriteSequence, SendsAAndSeventeenRecordsWithProgressAndHandsBackToTheHandshake) {
    Rig rig;
    rig.channels.rows[0][0] = "7";
    rig.setRow(0,
               {"435.00000", nullptr, nullptr, "435.00000", "67.0", nullptr, "add", "off", "off"});
    rig.setRow(9, {"145.5", "88.5", "", "145.5", "88.5", "", "del", "2", "on"});
    rig.emergency.stored = {std::string("450.00000"), std::string("460.00000"), std::string("off")};
    auto writer = rig.writer();

    writer.start();
    EXPECT_EQ(rig.link.sent, "A");
    EXPECT_EQ(rig.link.textModeSets, 1);
    EXPECT_FALSE(rig.timer3.active);
    EXPECT_TRUE(rig.timer4.active);
    EXPECT_FALSE(rig.timer1.active);
    EXPECT_EQ(rig.channels.rows[0][0], "1");
    writer.onTimer4();
    EXPECT_FALSE(rig.timer4.active);
    EXPECT_TRUE(rig.timer1.active);
    EXPECT_EQ(rig.display.statuses.back(), "正在传送数据,,,,,,,");

    std::vector<int> steps;
    while (rig.timer1.active) {
        steps.push_back(writer.sendStep());
        writer.onTimer1();
    }
    EXPECT_EQ(steps.size(), 17u);
    EXPECT_EQ(steps.back(), 96);
    EXPECT_EQ(writer.sendStep(), 0);
    EXPECT_FALSE(writer.isRunning());

    std::string expected = "A01000050993800000000000050437006";
    for (int row = 2; row <= 16; ++row) {
        expected += row == 10 ? "0A000050041085083200000055148508" : kZeros;
    }
    expected += "00030050494000000000000000460000";
    EXPECT_EQ(rig.link.sent, expected);

    std::vector<int> progress;
    for (int step = 0; step <= 96; step += 6) {
        progress.push_back(step);
    }
    progress.push_back(0);
    EXPECT_EQ(rig.display.progress, progress);
    EXPECT_EQ(rig.display.statuses.back(), "");
    EXPECT_TRUE(rig.timer3.active);
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_TRUE(rig.display.messages.empty());
}

TEST(WriteSequence, SendsRowsInTableOrderWhateverRowTheUserSelects) {
    Rig rig;
    for (int row = 0; row < 16; ++row) {
        rig.channels.rows[static_cast<std::size_t>(row)][1] = std::to_string(400 + row);
    }
    auto writer = rig.writer();
    writer.start();
    writer.onTimer4();
    writer.onTimer1();
    rig.channels.moveTo(12); // the user clicks row 13 between ticks
    writer.onTimer1();
    EXPECT_EQ(rig.link.sent.substr(1 + 32, 2), "02");
    while (rig.timer1.active) {
        writer.onTimer1();
    }
    for (int row = 0; row < 16; ++row) {
        char number[3];
        std::snprintf(number, sizeof number, "%02X", row + 1);
        EXPECT_EQ(rig.link.sent.substr(1 + 32 * static_cast<std::size_t>(row), 2), number) << row;
    }
}

TEST(WriteSequence, RefusesWithoutSendingOrChangingAnything) {
    Rig rig;
    auto writer = rig.writer();

    rig.link.open = false;
    rig.channels.rows[0][0] = "9";
    writer.start();
    EXPECT_EQ(rig.display.messages, std::vector<TransferMessage>{TransferMessage::PortNotOpen});
    EXPECT_EQ(rig.channels.rows[0][0], "9");
    EXPECT_TRUE(rig.timer3.active);

    rig.link.open = true;
    rig.display.squelch = "12";
    writer.start();
    EXPECT_EQ(rig.display.messages.back(), TransferMessage::OutOfRange);
    EXPECT_EQ(rig.display.details.back(), "静噪级别");
    EXPECT_EQ(rig.link.sent, "");
    EXPECT_EQ(rig.channels.rows[0][0], "9");
    EXPECT_TRUE(rig.timer3.active);
    EXPECT_FALSE(rig.timer4.active);

    rig.display.squelch = "3";
    rig.setRow(4, {"145.000001"});
    writer.start();
    EXPECT_EQ(rig.display.details.back(), "接收频率");
    EXPECT_EQ(rig.link.sent, "");

    rig.setRow(4, {"145.5"});
    writer.start();
    EXPECT_EQ(rig.link.sent, "A");
    writer.start(); // a second write while the first runs is refused
    writer.onTimer4();
    writer.onTimer1();
    EXPECT_EQ(rig.link.sent.size(), 33u);
}

TEST(WriteSequence, EndsWithAMessageWhenTheSquelchBreaksOrTheLineGoesMidWrite) {
    Rig rig;
    auto writer = rig.writer();
    runWrite(rig, writer);
    const std::size_t fullWrite = rig.link.sent.size();
    EXPECT_EQ(fullWrite, 545u);

    rig.link.sent.clear();
    writer.start();
    writer.onTimer4();
    for (int tick = 0; tick < 16; ++tick) {
        writer.onTimer1();
    }
    rig.display.squelch = "12";
    writer.onTimer1();
    EXPECT_EQ(rig.display.messages.back(), TransferMessage::OutOfRange);
    EXPECT_EQ(rig.link.sent.size(), 1u + 16 * 32);
    EXPECT_FALSE(writer.isRunning());
    EXPECT_EQ(writer.sendStep(), 0);
    EXPECT_EQ(rig.display.progress.back(), 0);
    EXPECT_TRUE(rig.timer3.active);

    rig.display.squelch = "3";
    rig.link.sent.clear();
    writer.start();
    writer.onTimer4();
    writer.onTimer1();
    rig.link.open = false;
    writer.onTimer1();
    EXPECT_EQ(rig.display.messages.back(), TransferMessage::LineLost);
    EXPECT_FALSE(writer.isRunning());
    EXPECT_FALSE(rig.timer1.active);
}

namespace {

const std::string kLeading(32, '0');
const std::string kChannel1 = "01000050993800000000000050437006"; // 435 / 435 tx 67.0
// 451.175 MHz with code 023, 406.125 MHz with code 754, scan del, beat on, BCL 2.
const std::string kChannel2 = "02000025614001553200002561405355";
// Squelch 7, 450 / 460 MHz, beat on.
const std::string kEmergency = "00070050494000001000000000460000";

std::string fullReply() {
    std::string reply = kLeading + kChannel1 + kChannel2;
    for (int i = 3; i <= 16; ++i) {
        reply += kZeros;
    }
    return reply + kEmergency;
}

} // namespace

TEST(ReadSequence, DecodesEveryRecordIntoItsRowTheEmergencyRowAndTheSquelchBox) {
    Rig rig;
    rig.channels.rows[5][7] = "keep";
    rig.link.reply = fullReply();
    rig.link.waiting = "C"; // a late handshake answer must not shift the records
    auto reader = rig.reader();
    reader.run();

    EXPECT_TRUE(rig.display.messages.empty());
    EXPECT_EQ(rig.link.sent, "B");
    const auto& r1 = rig.channels.rows[0];
    EXPECT_EQ(r1[1], "435");
    EXPECT_EQ(r1[2], "");
    EXPECT_EQ(r1[4], "435");
    EXPECT_EQ(r1[5], "67");
    EXPECT_EQ(r1[7], "add");
    EXPECT_EQ(r1[8], "off");
    EXPECT_EQ(r1[9], "off");
    EXPECT_EQ(r1[0], "1");
    const auto& r2 = rig.channels.rows[1];
    EXPECT_EQ(r2[1], "451.175");
    EXPECT_EQ(r2[3], "023");
    EXPECT_EQ(r2[4], "406.125");
    EXPECT_EQ(r2[6], "754");
    EXPECT_EQ(r2[7], "del");
    EXPECT_EQ(r2[8], "2");
    EXPECT_EQ(r2[9], "on");
    // An empty channel empties fields 1 to 9, the flags too.
    EXPECT_EQ(rig.channels.rows[5][7], "");
    EXPECT_EQ(rig.display.squelch, "7");
    EXPECT_EQ(rig.emergency.stored[0], "450");
    EXPECT_EQ(rig.emergency.stored[1], "460");
    EXPECT_EQ(rig.emergency.stored[2], "on");
    EXPECT_EQ(rig.channels.currentRow(), 0);

    std::vector<int> progress;
    for (int step = 0; step <= 90; step += 6) {
        progress.push_back(step);
    }
    progress.push_back(0);
    EXPECT_EQ(rig.display.progress, progress);
    EXPECT_EQ(rig.display.statuses, std::vector<std::string>{""});
    EXPECT_TRUE(rig.timer3.active);
}

TEST(ReadSequence, ATimeOutAtAnyRecordKeepsWhatCameBeforeAndNothingAfter) {
    for (int received = 0; received < 18; ++received) {
        Rig rig;
        for (auto& row : rig.channels.rows) {
            row[1] = "999";
        }
        rig.emergency.stored[0] = "old";
        rig.link.reply = fullReply().substr(0, 32 * static_cast<std::size_t>(received) + 5);
        auto reader = rig.reader();
        const auto startedAt = rig.clock.current;
        reader.run();

        ASSERT_EQ(rig.display.messages, std::vector<TransferMessage>{TransferMessage::ReadTimeout})
            << received;
        const int updated = std::max(0, received - 1);
        for (int row = 0; row < 16; ++row) {
            EXPECT_EQ(rig.channels.rows[static_cast<std::size_t>(row)][1] == "999", row >= updated)
                << received << ' ' << row;
        }
        EXPECT_EQ(rig.channels.currentRow(), updated) << received;
        EXPECT_EQ(rig.emergency.stored[0], "old");
        EXPECT_EQ(rig.display.squelch, " 3");
        EXPECT_TRUE(rig.timer3.active);
        EXPECT_EQ(rig.display.progress.back(), 0);
        // The failing record had one second from the start of its collection.
        const auto waited = rig.clock.current - startedAt;
        EXPECT_GE(waited, 1000ms + 20ms) << received;
        EXPECT_LT(waited, 1000ms + 30ms + 1ms * (32 * received + 5)) << received;
    }
}

TEST(ReadSequence, ALostLineOrAClosedPortEndsTheReadWithAMessage) {
    Rig rig;
    rig.link.reply = fullReply().substr(0, 32 * 6);
    rig.link.closeWhenDrained = true;
    auto reader = rig.reader();
    reader.run();
    EXPECT_EQ(rig.display.messages, std::vector<TransferMessage>{TransferMessage::LineLost});
    EXPECT_EQ(rig.channels.rows[4][1], "");
    EXPECT_EQ(rig.channels.rows[5][1], std::nullopt);
    EXPECT_TRUE(rig.timer3.active);

    Rig closed;
    closed.link.open = false;
    auto idle = closed.reader();
    idle.run();
    EXPECT_EQ(closed.display.messages, std::vector<TransferMessage>{TransferMessage::PortNotOpen});
    EXPECT_EQ(closed.channels.currentRow(), -1);
    EXPECT_TRUE(closed.timer3.active);
}
