#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/tone_tables.h"
#include "radio_link/record_codec.h"
#include "radio_link/serial_link.h"
#include "radio_link/transfer_parts.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <string>

namespace kr4720::radio_link {

// Where an OutOfRange detail's value sits and what it is, as the messages
// show it: "信道 5：发哑音 67.05", "紧急信道：收频率 54.45405", "静噪级别 12".
std::string UnsendableValueText(const MessageDetail& detail);

// Writing the channel set to the radio: "A", a 500 ms pause on Timer4, then
// one record per Timer1 tick: the 16 channel rows in table order and the
// emergency record with the squelch level. The window delivers the ticks.
//
// Once "A" is on the line the radio gets 17 whole records. Everything is read,
// checked and stored before "A"; afterwards each record is built from the row
// as it is at its tick, and a row that can no longer be read or encoded (a
// database failure, an edit the record cannot carry) goes out as it was
// checked. A squelch text that cannot be sent is replaced by the level checked
// before "A", and the user is told so when the write ends. Only a lost line
// stops a write early. The cursor stays where it is while the records go out.
// A line that fell silent too long between two parts of the write (a frozen
// or starved computer) is told when it ends: the radio may have given it up.
class WriteSequence {
public:
    struct Parts {
        SerialLink& link;
        ChannelCursor& channels;
        EmergencyCursor& emergency;
        const DcsCodes& codes;
        TransferDisplay& display;
        Timer& timer1;
        Timer& timer3;
        Timer& timer4;
        Clock& clock;
    };

    // The pause after "A" (Timer4) and the spacing of the records (Timer1).
    static constexpr std::chrono::milliseconds kPauseAfterStart{500};
    static constexpr std::chrono::milliseconds kRecordSpacing{100};
    // Silence on the line longer than this, after "A" or a record, is told.
    static constexpr std::chrono::milliseconds kLongestSilence{1500};

    explicit WriteSequence(Parts parts) : p_(parts) {}

    // The menu command. Refused while a write runs; refused with a message
    // when the port is closed, a record cannot be encoded or the channel store
    // cannot keep row 1's number, before anything is sent.
    void start();
    void onTimer4();
    void onTimer1();

    bool isRunning() const { return running_; }
    std::int16_t sendStep() const { return sendStep_; }

private:
    // Reads and encodes every record as a write would send it now; false
    // with the message shown when one cannot be sent.
    bool checkRecords();
    void sendChannel();
    void sendEmergency();
    bool send(const std::string& record);
    void finish();
    void abort(TransferMessage message);

    Parts p_;
    std::int16_t sendStep_ = 0;
    bool running_ = false;
    // What was checked before "A", sent in place of what can no longer be.
    std::array<std::string, kChannelCount> checkedRecords_;
    EmergencyRow checkedEmergency_;
    std::string checkedSquelch_;
    // The squelch level sent instead of an unsendable text, or empty.
    std::string replacedSquelch_;
    Clock::TimePoint lastSent_;
    std::chrono::milliseconds longestSilence_{0};
};

} // namespace kr4720::radio_link
