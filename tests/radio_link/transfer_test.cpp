#include "channel_data/channel_set.h"
#include "radio_link/handshake.h"
#include "radio_link/radio_image.h"
#include "radio_link/read_sequence.h"
#include "radio_link/write_records.h"
#include "radio_link/write_sequence.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

#include <optional>

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

// A line that answers "B" with `reply`, one character a millisecond.
class FakeLink : public SerialLink {
public:
    explicit FakeLink(FakeClock& clock) : clock_(clock) {}

    bool isOpen() const override { return open; }
    void setTextMode() override { ++textModeSets; }
    bool output(std::string_view text) override {
        if (open) {
            sent += text;
            replyFrom = text == "B" ? std::optional(clock_.current) : replyFrom;
        }
        return open;
    }
    int inBufferCount() override { return static_cast<int>(arrived().size()); }
    std::string input() override {
        std::string c = arrived().substr(0, 1);
        waiting.erase(0, c.size());
        return c;
    }
    void discardInput() override { arrived().clear(); }
    bool waitForInput(std::chrono::milliseconds timeout) override {
        if (!arrived().empty()) {
            return true;
        }
        if (!replyFrom || replied == reply.size() || nextArrival() > clock_.current + timeout) {
            clock_.current += timeout;
            open = open && !(closeWhenDrained && replied == reply.size());
            return false;
        }
        clock_.current = nextArrival();
        return true;
    }

    bool open = true;
    bool closeWhenDrained = false;
    std::string sent;
    std::string waiting;
    std::string reply;
    int textModeSets = 0;

private:
    Clock::TimePoint nextArrival() const { return *replyFrom + 1ms * replied; }
    std::string& arrived() {
        while (replyFrom && replied < reply.size() && nextArrival() <= clock_.current) {
            waiting += reply[replied++];
        }
        return waiting;
    }
    FakeClock& clock_;
    std::optional<Clock::TimePoint> replyFrom;
    std::size_t replied = 0;
};

class FakeTimer : public Timer {
public:
    void start() override { active = true; }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    bool active = false;
};

class FakeDisplay : public TransferDisplay {
public:
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int value) override { progress.push_back(value); }
    std::string squelchText() const override { return squelch; }
    void setSquelchText(const std::string& text) override { squelch = text; }
    void showMessage(TransferMessage message, const MessageDetail& detail) override {
        messages.push_back(message);
        details.push_back(detail);
        // The write has ended by the time it reports a replaced squelch level.
        endedBeforeMessage.push_back(timer3 != nullptr && timer3->isActive());
    }
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<TransferMessage> messages;
    std::vector<MessageDetail> details;
    std::vector<bool> endedBeforeMessage;
    const Timer* timer3 = nullptr;
    std::string squelch = " 3";
};

struct Rig {
    Rig() {
        codes.fill();
        timer3.active = true;
        display.timer3 = &timer3;
    }
    WriteSequence writer() {
        return WriteSequence({link, *table, emergency, codes, display, timer1, timer3, timer4});
    }
    ReadSequence reader() {
        return ReadSequence({link, channels, emergency, codes, display, timer3, clock});
    }

    FakeClock clock;
    FakeLink link{clock};
    ChannelSet set;
    ChannelSetCursor channels{set};
    ChannelSetEmergencyCursor emergency{set};
    // A table whose stores can fail as a locked database's do, for the tests
    // that point `table` at it.
    MemoryChannelCursor lockable;
    ChannelCursor* table = &channels;
    DcsCodes codes;
    FakeDisplay display;
    FakeTimer timer1, timer3, timer4;
};

using Row = ChannelRow;
using Messages = std::vector<TransferMessage>;
std::string zeroRecords(std::size_t count) {
    return std::string(32 * count, '0');
}

// A leading record, 435 / 435 MHz tx 67.0; then 451.175 MHz with code 023 and
// 406.125 MHz with code 754, scan del, beat on, BCL 2; empty channels; and the
// emergency record with squelch 7, 450 / 460 MHz, beat on.
const std::string kReply = zeroRecords(1) + "01000050993800000000000050437006" +
                           "02000025614001553200002561405355" + zeroRecords(14) +
                           "00070050494000001000000000460000";

// 0, 6, ... up to `last`, then the bar reset to 0.
std::vector<int> progressUpTo(int last) {
    std::vector<int> progress;
    for (int step = 0; step <= last; step += 6) {
        progress.push_back(step);
    }
    progress.push_back(0);
    return progress;
}

// Starts a write and lets `ticks` records go out.
void writeRecords(WriteSequence& writer, int ticks) {
    writer.start();
    writer.onTimer4();
    for (int tick = 0; tick < ticks; ++tick) {
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
    rig.set.rows[0] = {"7", "435.00000", {}, {}, "435.00000", "67.0", {}, "add", "off", "off"};
    rig.set.rows[9] = {"10", "145.5", "88.5", "", "145.5", "88.5", "", "del", "2", "on"};
    rig.set.emergency = {"450.00000", "460.00000", "off"};
    auto writer = rig.writer();

    writer.start();
    EXPECT_EQ(rig.link.sent, "A");
    EXPECT_EQ(rig.link.textModeSets, 1);
    EXPECT_FALSE(rig.timer3.active || rig.timer1.active);
    EXPECT_TRUE(rig.timer4.active);
    EXPECT_EQ(rig.set.rows[0][0], "1"); // channel numbers are renumbered first
    writer.onTimer4();
    EXPECT_FALSE(rig.timer4.active);
    EXPECT_TRUE(rig.timer1.active);
    EXPECT_EQ(rig.display.statuses.back(), "正在传送数据,,,,,,,");

    std::vector<int> steps;
    while (rig.timer1.active && steps.size() < 40) {
        steps.push_back(writer.sendStep());
        writer.onTimer1();
    }
    EXPECT_EQ(steps.size(), 17u);
    EXPECT_EQ(steps.back(), 96);
    EXPECT_EQ(writer.sendStep(), 0);
    EXPECT_FALSE(writer.isRunning());

    EXPECT_EQ(rig.link.sent, "A01000050993800000000000050437006" + zeroRecords(8) +
                                 "0A000050041085083200000055148508" + zeroRecords(6) +
                                 "00030050494000000000000000460000");
    EXPECT_EQ(rig.display.progress, progressUpTo(96));
    EXPECT_EQ(rig.display.statuses.back(), "");
    EXPECT_TRUE(rig.timer3.active);
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_TRUE(rig.display.messages.empty());
}

TEST(WriteSequence, SendsRowsInTableOrderWhateverRowTheUserSelects) {
    Rig rig;
    for (std::size_t row = 0; row < 16; ++row) {
        rig.set.rows[row][1] = std::to_string(400 + row);
    }
    auto writer = rig.writer();
    writeRecords(writer, 1);
    rig.channels.MoveFirst(); // the user clicks row 13 between ticks
    for (int row = 0; row < 12; ++row) {
        rig.channels.MoveNext();
    }
    writeRecords(writer, 20); // a second start while running is ignored
    ASSERT_EQ(rig.link.sent.size(), 1u + 17 * 32);
    for (std::size_t row = 0; row < 16; ++row) {
        EXPECT_EQ(std::stoul(rig.link.sent.substr(1 + 32 * row, 2), nullptr, 16), row + 1);
    }
}

TEST(WriteSequence, RefusesWithoutSendingOrChangingAnything) {
    Rig rig;
    auto writer = rig.writer();
    rig.link.open = false;
    rig.set.rows[0][0] = "9";
    writer.start();
    EXPECT_EQ(rig.display.messages, Messages{TransferMessage::PortNotOpen});

    // The message names the channel, the field and the value that cannot be sent.
    rig.link.open = true;
    for (const auto& [squelch, receive, channel, field, value] :
         {std::tuple("12", "145.5", 17, "静噪级别", "12"),
          std::tuple("3", "145.000001", 5, "接收频率", "145.000001")}) {
        rig.display.squelch = squelch;
        rig.set.rows[4][1] = receive;
        writer.start();
        EXPECT_EQ(rig.display.messages.back(), TransferMessage::OutOfRange);
        EXPECT_EQ(rig.display.details.back().channel, channel);
        EXPECT_EQ(rig.display.details.back().field, field);
        EXPECT_EQ(rig.display.details.back().value, value);
    }
    EXPECT_EQ(rig.display.messages.size(), 3u);
    EXPECT_EQ(rig.link.sent, "");
    EXPECT_EQ(rig.set.rows[0][0], "9");
    EXPECT_TRUE(rig.timer3.active);
    EXPECT_FALSE(rig.timer4.active || rig.timer1.active);
}

TEST(WriteSequence, StoresRowOnesNumberBeforeAOrSendsNothing) {
    Rig rig;
    rig.table = &rig.lockable;
    rig.lockable.rows[0][0] = "9";
    rig.lockable.storeFails = true;
    auto writer = rig.writer();
    writer.start();
    EXPECT_EQ(rig.display.messages, Messages{TransferMessage::DataFailure});
    EXPECT_EQ(rig.display.details.back().text, "database is locked");
    EXPECT_EQ(rig.link.sent, "");
    EXPECT_FALSE(writer.isRunning());
    EXPECT_TRUE(rig.timer3.active);

    // A locked store with nothing to store does not stop a write.
    rig.lockable.rows[0][0] = "1";
    rig.lockable.dirty = false;
    writeRecords(writer, 17);
    EXPECT_EQ(rig.link.sent.size(), 1u + 17 * 32);
}

TEST(WriteSequence, EditsAndALockedStoreAfterADoNotStopTheRecords) {
    Rig rig;
    rig.table = &rig.lockable;
    for (std::size_t row = 0; row < 16; ++row) {
        rig.lockable.rows[row][1] = "400";
    }
    auto writer = rig.writer();
    writeRecords(writer, 2);
    // Another program locks the database; the user edits rows not yet sent,
    // one of them into a value no record can carry.
    rig.lockable.storeFails = true;
    rig.lockable.moveTo(4);
    rig.lockable.setField(1, std::string("145.5"));
    rig.lockable.rows[9][1] = "145.000001";
    for (int tick = 2; tick < 16; ++tick) {
        writer.onTimer1();
    }
    // Nothing was stored while records went out.
    EXPECT_EQ(rig.lockable.failedStores, 0);
    writer.onTimer1();
    EXPECT_FALSE(writer.isRunning());
    EXPECT_TRUE(rig.display.messages.empty());
    ASSERT_EQ(rig.link.sent.size(), 1u + 17 * 32);
    const auto receiveField = [&](int row) { return rig.link.sent.substr(1 + 32 * row + 4, 8); };
    EXPECT_EQ(receiveField(4), "00500410");      // 145.5 as edited
    EXPECT_EQ(receiveField(9), receiveField(8)); // 400 as checked before "A"
    EXPECT_TRUE(rig.timer3.active);
}

TEST(WriteSequence, AnUnsendableSquelchEditSendsTheCheckedLevelAndSaysSo) {
    for (const auto& [typed, sent, replaced] :
         {std::tuple("12", '3', true), std::tuple("5", '5', false)}) {
        Rig rig;
        auto writer = rig.writer();
        writeRecords(writer, 16);
        rig.display.squelch = typed;
        writer.onTimer1();
        EXPECT_FALSE(writer.isRunning());
        ASSERT_EQ(rig.link.sent.size(), 1u + 17 * 32) << typed;
        EXPECT_EQ(rig.link.sent[1 + 16 * 32 + 3], sent) << typed;
        if (replaced) {
            EXPECT_EQ(rig.display.messages, Messages{TransferMessage::SquelchReplaced});
            EXPECT_EQ(rig.display.details.back().text, "3");
            EXPECT_TRUE(rig.display.endedBeforeMessage.back());
        } else {
            EXPECT_TRUE(rig.display.messages.empty()) << typed;
        }
        EXPECT_EQ(rig.display.progress.back(), 0);
        EXPECT_TRUE(rig.timer3.active);
    }
}

TEST(WriteSequence, EndsWithAMessageWhenTheLineGoesMidWrite) {
    Rig rig;
    auto writer = rig.writer();
    writeRecords(writer, 1);
    rig.link.open = false;
    writer.onTimer1();
    EXPECT_EQ(rig.display.messages.back(), TransferMessage::LineLost);
    EXPECT_FALSE(writer.isRunning());
    EXPECT_EQ(writer.sendStep(), 0);
    EXPECT_FALSE(rig.timer1.active);
    EXPECT_TRUE(rig.timer3.active);
}

TEST(ReadSequence, DecodesEveryRecordIntoItsRowTheEmergencyRowAndTheSquelchBox) {
    Rig rig;
    rig.set.rows[5][7] = "keep";
    rig.link.reply = kReply;
    rig.link.waiting = "C"; // a late handshake answer must not shift the records
    rig.reader().run();

    EXPECT_TRUE(rig.display.messages.empty());
    EXPECT_EQ(rig.link.sent, "B");
    EXPECT_EQ(rig.set.rows[0], (Row{"1", "435", "", "", "435", "67", "", "add", "off", "off"}));
    EXPECT_EQ(rig.set.rows[1],
              (Row{"2", "451.175", "", "023", "406.125", "", "754", "del", "2", "on"}));
    // An empty channel empties fields 1 to 9, the flags too.
    EXPECT_EQ(rig.set.rows[5], (Row{"6", "", "", "", "", "", "", "", "", ""}));
    EXPECT_EQ(rig.display.squelch, "7");
    EXPECT_EQ(rig.set.emergency, (std::array<FieldValue, 3>{"450", "460", "on"}));
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_EQ(rig.display.progress, progressUpTo(90));
    EXPECT_EQ(rig.display.statuses, std::vector<std::string>{""});
    EXPECT_TRUE(rig.timer3.active);
}

TEST(ReadSequence, ATimeOutAtAnyRecordKeepsWhatCameBeforeAndNothingAfter) {
    for (int received = 0; received < 18; ++received) {
        Rig rig;
        for (auto& row : rig.set.rows) {
            row[1] = "999";
        }
        rig.set.emergency[0] = "old";
        rig.link.reply = kReply.substr(0, 32 * static_cast<std::size_t>(received) + 5);
        rig.reader().run();

        ASSERT_EQ(rig.display.messages, Messages{TransferMessage::ReadTimeout}) << received;
        const int updated = std::max(0, received - 1);
        for (int row = 0; row < 16; ++row) {
            EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(row)][1] == "999", row >= updated)
                << received << ' ' << row;
        }
        // A failing emergency record leaves row 16 current, not the end of the table.
        EXPECT_EQ(rig.channels.currentRow(), std::min(updated, 15)) << received;
        EXPECT_EQ(rig.set.emergency[0], "old");
        EXPECT_EQ(rig.display.squelch, " 3");
        EXPECT_TRUE(rig.timer3.active);
        EXPECT_EQ(rig.display.progress.back(), 0);
        // The failing record had one second from the start of its collection,
        // not from its last character.
        const auto waited = rig.clock.current - Clock::TimePoint{};
        EXPECT_GE(waited, 1000ms + 20ms) << received;
        EXPECT_LT(waited, 1000ms + 23ms + 32ms * received) << received;
    }
}

TEST(ReadSequence, ALostLineOrAClosedPortEndsTheReadWithAMessage) {
    Rig rig;
    rig.link.reply = kReply.substr(0, 32 * 6);
    rig.link.closeWhenDrained = true;
    rig.reader().run();
    EXPECT_EQ(rig.display.messages, Messages{TransferMessage::LineLost});
    EXPECT_EQ(rig.set.rows[4][1], "");
    EXPECT_EQ(rig.set.rows[5][1], std::nullopt);
    EXPECT_TRUE(rig.timer3.active);

    Rig closed;
    closed.link.open = false;
    closed.reader().run();
    EXPECT_EQ(closed.display.messages, Messages{TransferMessage::PortNotOpen});
    EXPECT_EQ(closed.channels.currentRow(), -1);
    EXPECT_TRUE(closed.timer3.active);
}

namespace {

// A set that uses every kind of field the records carry.
ChannelSet variedSet() {
    ChannelSet set;
    set.rows[0] = {"7", "435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"};
    set.rows[1] = {"2", "145.5", "", "023", "146.1", "", "754", "del", "2", "on"};
    set.rows[2] = {"3", "438.00625", "88.5", "", "430", "", "", "", " ", "on"};
    set.rows[15] = {"16", "130", "250.3", "023", "500", "100.0", "", "del", "1", "off"};
    set.emergency = {"450.00000", "460.00000", "on"};
    set.squelch = " 5";
    return set;
}

} // namespace

TEST(RadioImage, HoldsExactlyWhatTheWriteSends) {
    Rig rig;
    rig.set = variedSet();
    rig.display.squelch = rig.set.squelch;
    const RadioImageEncoding encoding = EncodeRadioImage(rig.set, rig.codes);
    ASSERT_TRUE(encoding.ok());
    auto writer = rig.writer();
    writeRecords(writer, 17);
    std::string records;
    for (const std::string& record : *encoding.image) {
        records += record;
    }
    EXPECT_EQ(rig.link.sent, "A" + records);
}

TEST(RadioImage, RefusesWhatTheWriteRefusesNamingChannelAndField) {
    struct Case {
        int row;
        int field;
        const char* value;
        int channel;
        const char* name;
    } const cases[] = {
        {4, 1, "145.000001", 5, "接收频率"},
        {15, 5, "1000.0", 16, "发哑音"},
        {-1, 1, "1000", 17, "发频率"},
        {-1, -1, "12", 17, "静噪级别"},
    };
    for (const Case& c : cases) {
        Rig rig;
        rig.set = variedSet();
        if (c.field < 0) {
            rig.set.squelch = c.value;
        } else if (c.row < 0) {
            rig.set.emergency[static_cast<std::size_t>(c.field)] = c.value;
        } else {
            rig.set.rows[static_cast<std::size_t>(c.row)][static_cast<std::size_t>(c.field)] =
                c.value;
        }
        rig.display.squelch = rig.set.squelch;
        const RadioImageEncoding encoding = EncodeRadioImage(rig.set, rig.codes);
        EXPECT_FALSE(encoding.ok());
        EXPECT_EQ(encoding.channel, c.channel);
        EXPECT_EQ(encoding.field, c.name);
        rig.writer().start();
        ASSERT_EQ(rig.display.details.size(), 1u);
        EXPECT_EQ(rig.display.details.back().field, c.name);
        EXPECT_EQ(rig.link.sent, "");
    }
}

TEST(RadioImage, DecodesAsTheReadStores) {
    Rig rig;
    rig.set = variedSet();
    rig.set.rows[4][7] = "keep"; // a flag character the read leaves alone keeps what was there
    RadioImage image = *EncodeRadioImage(variedSet(), rig.codes).image;
    image[4] = "05"
               "00"
               "00509938"
               "0000"
               "7"
               "0"
               "00"
               "00005043"
               "0000";
    const ChannelSet before = rig.set;
    rig.link.reply = zeroRecords(1);
    for (const std::string& record : image) {
        rig.link.reply += record;
    }
    rig.reader().run();
    ASSERT_TRUE(rig.display.messages.empty());
    ChannelSet decoded = DecodeRadioImage(image, rig.codes, before);
    EXPECT_EQ(decoded.squelch, rig.display.squelch);
    decoded.squelch = rig.set.squelch; // the read puts the level in the squelch box
    EXPECT_EQ(decoded, rig.set);
    EXPECT_EQ(decoded.rows[4][7], "keep");
}

TEST(ReadSequence, AReplyThatCannotBeWhatTheRadioSentChangesNothing) {
    std::string lowercase = kReply;
    lowercase[kReply.size() - 1] = 'a';
    const std::vector<std::pair<const char*, std::string>> replies = {
        {"stray C before", "C" + kReply},
        {"stray 0 before", "0" + kReply},
        {"character after", kReply + "0"},
        {"NUL bytes", std::string(kReply.size(), '\0')},
        {"0xFF bytes", std::string(kReply.size(), '\xFF')},
        {"letters", std::string(kReply.size(), 'Z')},
        {"one lower-case digit", lowercase},
    };
    for (const auto& [name, reply] : replies) {
        Rig rig;
        for (auto& row : rig.set.rows) {
            row[1] = "999";
        }
        rig.set.emergency[0] = "old";
        rig.link.reply = reply;
        rig.reader().run();

        EXPECT_EQ(rig.display.messages, Messages{TransferMessage::BadReply}) << name;
        for (int row = 0; row < 16; ++row) {
            EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(row)][1], "999") << name << ' ' << row;
        }
        EXPECT_EQ(rig.set.emergency[0], "old") << name;
        EXPECT_EQ(rig.display.squelch, " 3") << name;
        EXPECT_EQ(rig.channels.currentRow(), 0) << name;
        // The bar moved as the records came in.
        EXPECT_EQ(rig.display.progress, progressUpTo(90)) << name;
        EXPECT_TRUE(rig.timer3.active) << name;
    }
}

TEST(ReadSequence, ATimeOutAfterANonHexRecordKeepsOnlyTheChannelsBeforeIt) {
    Rig rig;
    for (auto& row : rig.set.rows) {
        row[1] = "999";
    }
    std::string reply = kReply.substr(0, 32 * 4);
    reply[32 * 3 + 5] = 'Z'; // channel 3
    rig.link.reply = reply;
    rig.reader().run();
    EXPECT_EQ(rig.display.messages, Messages{TransferMessage::ReadTimeout});
    EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(0)][1], "435");
    EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(1)][1], "451.175");
    EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(2)][1], "999");
    EXPECT_EQ(rig.channels.currentRow(), 2);
}

TEST(WriteRecords, AreExactlyWhatTheWriteSendsAndWhatTheRecorderSaw) {
    Rig rig;
    rig.set = variedSet();
    rig.set.rows[0][0] = "7";  // sent as channel 1
    rig.set.rows[2][0] = "12"; // other rows keep their own number
    rig.display.squelch = rig.set.squelch;
    const std::optional<RadioImage> expected =
        RecordsToWrite(rig.channels, rig.emergency, rig.codes, rig.set.squelch);
    ASSERT_TRUE(expected);
    EXPECT_EQ(rig.channels.currentRow(), 0);

    SentRecorder recorder(rig.link);
    WriteSequence writer({recorder, rig.channels, rig.emergency, rig.codes, rig.display, rig.timer1,
                          rig.timer3, rig.timer4});
    writeRecords(writer, 16);
    EXPECT_FALSE(recorder.image()); // not yet whole
    writer.onTimer1();
    EXPECT_EQ(recorder.image(), expected);
    std::string records;
    for (const std::string& record : *expected) {
        records += record;
    }
    EXPECT_EQ(rig.link.sent, "A" + records);
    EXPECT_EQ(expected->at(2).substr(0, 2), "0C");

    rig.set.squelch = "12";
    EXPECT_FALSE(RecordsToWrite(rig.channels, rig.emergency, rig.codes, rig.set.squelch));
}
