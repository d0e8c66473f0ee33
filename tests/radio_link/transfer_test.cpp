#include "channel_data/channel_set.h"
#include "radio_link/handshake.h"
#include "radio_link/radio_image.h"
#include "radio_link/read_sequence.h"
#include "radio_link/write_records.h"
#include "radio_link/write_sequence.h"
#include "support/dcs_codes.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace kr4720;
using namespace kr4720::radio_link;
using namespace std::chrono_literals;
using enum TransferMessage;

namespace {

// A line and its clock, whose time passes only when the code under test waits.
// It answers "B" with `reply`, one character a millisecond.
struct FakeLine : SerialLink, Clock {
    TimePoint now() const override { return current; }
    void sleepFor(std::chrono::microseconds duration) override { current += duration; }
    bool isOpen() const override { return open; }
    void setTextMode() override { ++textModeSets; }
    bool output(std::string_view text) override {
        if (open) {
            sent += text;
            replyFrom = text == "B" ? current : replyFrom;
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
        if (reply.empty() || replyFrom > current + timeout) {
            current += timeout;
            open = open && !(closeWhenDrained && reply.empty());
            return false;
        }
        current = replyFrom;
        return true;
    }
    // Moves what has come of the reply by now to `waiting`.
    std::string& arrived() {
        for (; !reply.empty() && replyFrom <= current; replyFrom += 1ms) {
            waiting += reply.front();
            reply.erase(0, 1);
        }
        return waiting;
    }

    TimePoint current{}, replyFrom = TimePoint::max();
    bool open = true, closeWhenDrained = false;
    std::string sent, waiting, reply;
    int textModeSets = 0;
};

struct FakeTimer : Timer {
    explicit FakeTimer(bool running = false) : active(running) {}
    void start() override { active = true; }
    void stop() override { active = false; }
    bool isActive() const override { return active; }
    bool active;
};

struct FakeDisplay : TransferDisplay {
    explicit FakeDisplay(const Timer& handshakeTimer) : timer3(handshakeTimer) {}
    void setStatus(const std::string& text) override { statuses.push_back(text); }
    void setProgress(int value) override { progress.push_back(value); }
    std::string squelchText() const override { return squelch; }
    void setSquelchText(const std::string& text) override { squelch = text; }
    void showMessage(TransferMessage message, const MessageDetail& detail) override {
        messages.push_back(message);
        details.push_back(detail);
        // Whether the transfer had ended, handing back to the handshake, before it spoke.
        endedBeforeMessage.push_back(timer3.isActive());
    }
    const Timer& timer3;
    std::vector<std::string> statuses;
    std::vector<int> progress;
    std::vector<TransferMessage> messages;
    std::vector<MessageDetail> details;
    std::vector<bool> endedBeforeMessage;
    std::string squelch = " 3";
};

struct Rig {
    // A write on `line` (the fake line if none) from `table` (the set's rows if none).
    WriteSequence writer(SerialLink* line = nullptr, ChannelCursor* table = nullptr) {
        return WriteSequence({line != nullptr ? *line : link, table != nullptr ? *table : channels,
                              emergency, codes, display, timer1, timer3, timer4, link});
    }
    ReadSequence reader() {
        return ReadSequence({link, channels, emergency, codes, display, timer3, link});
    }

    FakeLine link;
    ChannelSet set;
    ChannelSetCursor channels{set};
    ChannelSetEmergencyCursor emergency{set};
    const DcsCodes& codes = filledDcsCodes();
    FakeTimer timer1, timer3{true}, timer4; // the handshake's Timer3 runs
    FakeDisplay display{timer3};
};

using Messages = std::vector<TransferMessage>;
std::string zeroRecords(std::size_t count) {
    return std::string(32 * count, '0');
}

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

// A set that uses every kind of field the records carry.
ChannelSet variedSet() {
    ChannelSet set;
    set.rows[0] = {"7", "435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"};
    set.rows[1] = {"2", "145.5", "", "065", "146.1", "", "754", "del", "2", "on"};
    set.rows[2] = {"3", "438.00625", "88.5", "", "430", "", "", "", " ", "on"};
    set.rows[15] = {"16", "130", "250.3", "023", "500", "100.0", "", "del", "1", "off"};
    set.emergency = {"450.00000", "460.00000", "on"};
    set.squelch = " 5";
    return set;
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
    handshake.tick(); // takes C
    EXPECT_EQ(rig.link.sent, "CC");
    EXPECT_EQ(rig.display.statuses, std::vector<std::string>{"对讲机就绪..."});
    EXPECT_FALSE(rig.timer3.active);
}

// The image numbers every row by its place; the write sends row 1 as channel 1,
// whatever number it had, and the other rows with their own number, as the
// recorder of a write sees.
TEST(WriteSequence, SendsAAndSeventeenRecordsInTableOrderAndHandsBackToTheHandshake) {
    Rig rig;
    rig.set.rows[0] = {"300", "435.00000", {}, {}, "435.00000", "67.0", {}, "add", "off", "off"};
    rig.set.rows[9] = {"12", "145.5", "88.5", "", "145.5", "", "023", "del", "2", "on"};
    rig.set.emergency = {"450.00000", "460.00000", "off"};
    RadioImage records;
    records.fill(zeroRecords(1));
    records[0] = "01000050993800000000000050437006";
    records[9] = "0A000050041085083200000055140155";
    records[16] = "00030050494000000000000000460000";
    EXPECT_EQ(EncodeRadioImage(rig.set, rig.codes).image, records);
    records[9].replace(0, 2, "0C");
    EXPECT_EQ(RecordsToWrite(rig.channels, rig.emergency, rig.codes, " 3"), records);
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_FALSE(RecordsToWrite(rig.channels, rig.emergency, rig.codes, "12"));
    SentRecorder recorder(rig.link);
    auto writer = rig.writer(&recorder);

    writer.start();
    EXPECT_EQ(rig.link.sent, "A");
    EXPECT_EQ(rig.link.textModeSets, 1);
    EXPECT_TRUE(rig.timer4.active && !rig.timer3.active && !rig.timer1.active);
    EXPECT_EQ(rig.set.rows[0][0], "1"); // channel numbers are renumbered first
    writer.onTimer4();
    EXPECT_TRUE(rig.timer1.active && !rig.timer4.active);
    EXPECT_EQ(rig.display.statuses.back(), "正在传送数据,,,,,,,");

    for (int tick = 0; tick < 17; ++tick) {
        EXPECT_FALSE(recorder.image()); // not yet whole
        writer.onTimer1();
        if (tick == 0) {
            // The user clicks row 13 and starts a second write: neither changes what is sent.
            for (int row = 0; row < 12; ++row) {
                rig.channels.MoveNext();
            }
            writer.start();
        }
    }
    EXPECT_FALSE(writer.isRunning() || rig.timer1.active);
    EXPECT_EQ(writer.sendStep(), 0);
    EXPECT_EQ(recorder.image(), records);
    EXPECT_EQ(rig.link.sent, "A" + std::accumulate(records.begin(), records.end(), std::string()));
    EXPECT_EQ(rig.display.progress, progressUpTo(96));
    EXPECT_EQ(rig.display.statuses.back(), "");
    EXPECT_TRUE(rig.timer3.active);
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_TRUE(rig.display.messages.empty());
}

// The radio image refuses the same values, naming the same channel and field.
TEST(WriteSequence, RefusesWithoutSendingOrChangingAnythingNamingChannelFieldAndValue) {
    // Channel 17 is the emergency row, with the squelch level as its fourth field.
    for (const auto& [channel, field, value, name] :
         {std::tuple(1, 1, "145.000001", "接收频率"), std::tuple(16, 5, "1000.0", "发哑音"),
          std::tuple(17, 1, "1000", "发频率"), std::tuple(17, 3, "12", "静噪级别")}) {
        Rig rig;
        rig.set = variedSet();
        FieldValue squelch = rig.set.squelch;
        (channel < 17 ? rig.set.rows[channel - 1][field]
                      : (field < 3 ? rig.set.emergency[field] : squelch)) = value;
        rig.set.squelch = rig.display.squelch = *squelch;
        const RadioImageEncoding encoding = EncodeRadioImage(rig.set, rig.codes);
        EXPECT_FALSE(encoding.ok());
        EXPECT_EQ(std::pair(encoding.channel, encoding.field),
                  std::pair(channel, std::string(name)));
        rig.writer().start();
        ASSERT_EQ(rig.display.messages, Messages{OutOfRange});
        const MessageDetail& detail = rig.display.details.back();
        EXPECT_EQ(std::tuple(detail.channel, detail.field, detail.value),
                  std::tuple(channel, std::string(name), std::string(value)));
        EXPECT_EQ(rig.link.sent, "");
        EXPECT_EQ(rig.set.rows[0][0], "7");
        EXPECT_TRUE(rig.timer3.active && !rig.timer4.active && !rig.timer1.active);
    }
}

TEST(WriteSequence, StoresRowOnesNumberBeforeAAndNoStoreOrEditAfterItStopsTheRecords) {
    Rig rig;
    MemoryChannelCursor table; // its stores can fail as a locked database's do
    for (auto& row : table.rows) {
        row[1] = "400";
    }
    table.rows[0][0] = "9";
    table.storeFails = true;
    auto writer = rig.writer(nullptr, &table);
    writer.start();
    EXPECT_EQ(rig.display.messages, Messages{DataFailure});
    EXPECT_EQ(rig.display.details.back().text, "database is locked");
    EXPECT_EQ(rig.link.sent, "");
    EXPECT_FALSE(writer.isRunning());
    EXPECT_TRUE(rig.timer3.active);

    // A locked store with nothing to store does not stop a write. Then the user
    // edits rows not yet sent, one of them into a value no record can carry,
    // and one row can no longer be read.
    rig.display.messages.clear();
    table.rows[0][0] = "1";
    table.dirty = false;
    writeRecords(writer, 2);
    table.moveTo(4);
    table.setField(1, std::string("145.5"));
    table.rows[9][1] = "145.000001";
    table.unreadableRow = 11;
    for (int tick = 2; tick < 16; ++tick) {
        writer.onTimer1();
    }
    // Nothing was stored while records went out.
    EXPECT_EQ(table.failedStores, 1);
    writer.onTimer1();
    EXPECT_FALSE(writer.isRunning());
    EXPECT_TRUE(rig.display.messages.empty());
    ASSERT_EQ(rig.link.sent.size(), 1u + 17 * 32);
    const auto receiveField = [&](int row) { return rig.link.sent.substr(1 + 32 * row + 4, 8); };
    EXPECT_EQ(receiveField(4), "00500410");      // 145.5 as edited
    EXPECT_EQ(receiveField(9), receiveField(8)); // 400 as checked before "A"
    EXPECT_EQ(receiveField(11), receiveField(8));
    EXPECT_TRUE(rig.timer3.active);
}

// A squelch edit the record cannot carry sends the level checked before "A" and
// says so once the write has ended; only a lost line ends a write early, with
// its own message.
// A silence before the last record, as a frozen computer leaves, is told when
// it is over 1.5 s, and not after a lost line.
TEST(WriteSequence, AnUnsendableSquelchEditSendsTheCheckedLevelALongSilenceIsToldALostLineEnds) {
    for (const auto& [typed, open, silence, squelch, messages, detail] :
         {std::tuple("12", true, 0, "3", Messages{SquelchReplaced}, "3"),
          std::tuple("5", true, 1500, "5", Messages{}, ""),
          std::tuple("5", true, 1690, "5", Messages{LongSilence}, "1.6"),
          std::tuple("12", false, 1690, "", Messages{LineLost}, "")}) {
        SCOPED_TRACE(typed + std::string(open ? "" : ", line lost"));
        Rig rig;
        auto writer = rig.writer();
        writeRecords(writer, 16);
        rig.display.squelch = typed;
        rig.link.open = open;
        rig.link.current += std::chrono::milliseconds(silence);
        writer.onTimer1();
        EXPECT_FALSE(writer.isRunning() || rig.timer1.active);
        EXPECT_EQ(writer.sendStep(), 0);
        // The emergency record, empty but for the squelch level: the last sent.
        EXPECT_EQ(rig.link.sent.substr(1 + 16 * 32),
                  *squelch ? "000" + std::string(squelch) + std::string(28, '0') : "");
        EXPECT_EQ(rig.display.messages, messages);
        EXPECT_EQ(rig.display.details.empty() ? "" : rig.display.details.back().text, detail);
        EXPECT_TRUE(messages != Messages{SquelchReplaced} || rig.display.endedBeforeMessage.back());
        EXPECT_EQ(rig.display.progress.back(), 0);
        EXPECT_TRUE(rig.timer3.active);
    }
}

// Each record goes into its row as the radio image decodes it; a flag character
// the read leaves alone keeps what was there.
TEST(ReadSequence, DecodesEveryRecordIntoItsRowTheEmergencyRowAndTheSquelchBox) {
    Rig rig;
    rig.set = variedSet();
    rig.set.rows[0][7] = "keep";
    rig.set.rows[4][7] = "keep";
    RadioImage image = *EncodeRadioImage(variedSet(), rig.codes).image;
    // Flag 7: scan and beat unset, so the rows keep their own.
    image[0] = "01000050993800007000000050430000";
    image[4] = "05000050993800007000000050430000";
    const ChannelSet before = rig.set;
    rig.link.reply = zeroRecords(1) + std::accumulate(image.begin(), image.end(), std::string());
    rig.link.waiting = "C"; // a late handshake answer must not shift the records
    ReadSequence reader = rig.reader();
    reader.run();

    EXPECT_TRUE(rig.display.messages.empty());
    EXPECT_EQ(rig.link.sent, "B");
    ChannelSet decoded = DecodeRadioImage(image, rig.codes, before);
    EXPECT_EQ(decoded.squelch, rig.display.squelch);
    decoded.squelch = rig.set.squelch; // the read puts the level in the squelch box
    EXPECT_EQ(decoded, rig.set);
    EXPECT_EQ(decoded.rows[4][7], "keep");
    EXPECT_EQ(rig.channels.currentRow(), 0);
    EXPECT_EQ(rig.display.progress, progressUpTo(90));
    EXPECT_EQ(rig.display.statuses, std::vector<std::string>{""});
    EXPECT_TRUE(rig.timer3.active && !reader.isRunning());
}

// A time-out or a lost line keeps the whole sound channels before the failing
// record; a reply that cannot be what the radio sent changes nothing.
TEST(ReadSequence, AFailedReadKeepsOnlyTheSoundChannelsBeforeTheFailure) {
    // A leading record, 435 / 435 MHz tx 67.0; then 451.175 MHz with code 023 and
    // 406.125 MHz with code 754, scan del, beat on, BCL 2; empty channels; channel
    // 16 as channel 1; and the emergency record with squelch 7, 450 / 460 MHz, beat on.
    const std::string reply =
        zeroRecords(1) + "01000050993800000000000050437006" + "02000025614001553200002561405355" +
        zeroRecords(13) + "10000050993800000000000050437006" + "00070050494000001000000000460000";
    std::string nonHex = reply.substr(0, 32 * 4);
    nonHex[32 * 3 + 5] = 'Z'; // channel 3
    // Hex letters where the radio keeps decimal digits: a frequency, a tone,
    // the squelch level.
    std::string garbled = reply;
    garbled[32 + 4] = 'F';
    std::string garbledTone = reply;
    garbledTone[32 + 13] = 'B';
    std::string garbledCode = reply; // index 0x5A: no code
    garbledCode[64 + 29] = 'A';
    std::string garbledSquelch = reply;
    garbledSquelch[32 * 17 + 3] = 'A';
    // What comes, the message, how many rows are kept. A lost line closes once
    // its characters have come.
    std::vector<std::tuple<std::string, std::string, TransferMessage, int>> cases = {
        {"non-hex channel 3", nonHex, ReadTimeout, 2},
        {"line lost", reply.substr(0, 32 * 6), LineLost, 5},
        {"stray C, then line lost", "C" + reply.substr(0, 32 * 6), LineLost, 0},
        {"stray C before", "C" + reply, BadReply, 0},
        {"lower-case digit first", "a" + reply.substr(1), BadReply, 0},
        {"character after", reply + "0", BadReply, 0},
        {"NUL bytes", std::string(reply.size(), '\0'), BadReply, 0},
        {"0xFF bytes", std::string(reply.size(), '\xFF'), BadReply, 0},
        {"letters", std::string(reply.size(), 'Z'), BadReply, 0},
        {"one lower-case digit", reply.substr(0, reply.size() - 1) + "a", BadReply, 0},
        {"hex letter in a frequency", garbled, BadReply, 0},
        {"hex letter in a tone", garbledTone, BadReply, 0},
        {"hex letter in channel 16's tone", std::string(reply).replace(32 * 16 + 13, 1, "B"),
         BadReply, 0},
        {"hex letter in the flags", std::string(reply).replace(32 + 16, 1, "C"), BadReply, 0},
        {"hex letter in the squelch level", garbledSquelch, BadReply, 0},
        {"code index past the 83", garbledCode, BadReply, 0},
        {"receive code index 84", std::string(reply).replace(64 + 12, 2, "54"), BadReply, 0},
        {"hex letter in channel 3, then a time-out",
         reply.substr(0, 32 * 4 + 5).replace(32 * 3 + 6, 1, "E"), ReadTimeout, 2},
        {"channel 1 out of place, then a time-out",
         reply.substr(0, 32 * 4 + 5).replace(32 + 2, 1, "7"), ReadTimeout, 0},
        // A character lost in a channel's transmit fields shows only in the
        // channel number after it, or in the emergency record's zeros.
        {"lost in channel 1", reply.substr(0, 32 * 4).erase(32 + 25, 1), LineLost, 0},
        {"lost in channel 2", std::string(reply).erase(64 + 25, 1), ReadTimeout, 0},
        // A character added and one lost keep the reply's length.
        {"added in channel 2, lost at the end", std::string(reply).insert(64 + 5, "5").erase(576),
         BadReply, 0},
        {"a channel record as the emergency record",
         std::string(reply).replace(32 * 17, 32, reply.substr(32, 32)), BadReply, 0}};
    for (int received = 0; received < 18; ++received) {
        cases.push_back({"time-out after " + std::to_string(received),
                         reply.substr(0, 32 * static_cast<std::size_t>(received) + 5), ReadTimeout,
                         std::max(0, received - 1)});
    }
    for (const auto& [name, comes, message, kept] : cases) {
        SCOPED_TRACE(name);
        Rig rig;
        for (auto& row : rig.set.rows) {
            row[1] = "999";
        }
        rig.set.emergency[0] = "old";
        rig.link.reply = comes;
        rig.link.closeWhenDrained = message == LineLost;
        rig.reader().run();

        ASSERT_EQ(rig.display.messages, Messages{message});
        for (int row = 0; row < 16; ++row) {
            EXPECT_EQ(rig.set.rows[static_cast<std::size_t>(row)][1] == "999", row >= kept) << row;
        }
        // A failing emergency record leaves row 16 current, not the end of the table.
        EXPECT_EQ(rig.channels.currentRow(), std::min(kept, 15));
        EXPECT_EQ(rig.set.emergency[0], "old");
        EXPECT_EQ(rig.display.squelch, " 3");
        EXPECT_TRUE(rig.timer3.active);
        // The bar moved as the records came in.
        const int records = std::min(static_cast<int>(comes.size() / 32), 17);
        EXPECT_EQ(rig.display.progress, progressUpTo(6 * (records - 2)));
        if (message == ReadTimeout) {
            // The failing record had one second from the start of its collection,
            // not from its last character.
            const auto waited = rig.link.current - Clock::TimePoint{};
            EXPECT_GE(waited, 1000ms + 20ms);
            EXPECT_LT(waited, 1000ms + 23ms + 32ms * records);
        }
    }
}

// A store that refuses is told once, and a whole reply is kept whole or not at
// all: an emergency table that refuses puts the channels back. A read that
// ends before a whole channel has come stores nothing.
TEST(ReadSequence, AStoreThatRefusesSaysSoOnceAndKeepsNothingOfTheReply) {
    struct RefusingEmergency : ChannelSetEmergencyCursor {
        using ChannelSetEmergencyCursor::ChannelSetEmergencyCursor;
        void saveRecord() override { throw DataError("database is locked"); }
    };
    for (const auto& [records, channelsRefused, message] :
         {std::tuple{std::size_t{18}, true, DataFailure},
          {std::size_t{4}, true, DataFailure},
          {std::size_t{18}, false, DataFailure},
          {std::size_t{1}, true, ReadTimeout}}) {
        SCOPED_TRACE(std::to_string(records) + (channelsRefused ? " channels" : " emergency"));
        Rig rig;
        MemoryChannelCursor table;
        table.storeFails = channelsRefused;
        table.at(2, 1) = "999";
        RefusingEmergency refusing(rig.set);
        EmergencyCursor& emergency = channelsRefused ? rig.emergency : refusing;
        rig.link.reply = zeroRecords(records);
        ReadSequence({rig.link, table, emergency, rig.codes, rig.display, rig.timer3, rig.link})
            .run();
        EXPECT_EQ(rig.display.messages, Messages{message});
        EXPECT_EQ(table.at(2, 1), "999");
        EXPECT_EQ(rig.set.emergency, ChannelSet().emergency);
        EXPECT_EQ(rig.display.squelch, " 3");
    }
}

TEST(ClosedPort, NeitherTheHandshakeNorATransferUsesIt) {
    Rig rig;
    rig.link.open = false;
    rig.link.waiting = "C";
    RadioReadyHandshake(rig.link, rig.display, rig.timer3).tick();
    rig.set.rows[0][0] = "9";
    rig.writer().start();
    rig.reader().run();
    EXPECT_EQ(rig.display.messages, (Messages{PortNotOpen, PortNotOpen}));
    EXPECT_EQ(rig.set.rows[0][0], "9");
    EXPECT_EQ(rig.channels.currentRow(), -1);
    EXPECT_TRUE(rig.timer3.active);
}
