#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/tone_tables.h"
#include "radio_link/serial_link.h"
#include "radio_link/transfer_parts.h"

#include <chrono>
#include <cstdint>
#include <string>

namespace kr4720::radio_link {

// Writing the channel set to the radio: "A", a 500 ms pause on Timer4, then
// one record per Timer1 tick: the 16 channel rows in table order and the
// emergency record with the squelch level. The window delivers the ticks.
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
    };

    // The pause after "A" (Timer4) and the spacing of the records (Timer1).
    static constexpr std::chrono::milliseconds kPauseAfterStart{500};
    static constexpr std::chrono::milliseconds kRecordSpacing{100};

    explicit WriteSequence(Parts parts) : p_(parts) {}

    // The menu command. Refused while a write runs; refused with a message
    // when the port is closed or a record cannot be encoded, before anything
    // is sent or changed.
    void start();
    void onTimer4();
    void onTimer1();

    bool isRunning() const { return running_; }
    std::int16_t sendStep() const { return sendStep_; }

private:
    void sendChannel();
    void sendEmergency();
    bool send(const std::string& record);
    void goToRow(int row);
    void finish();
    void abort(TransferMessage message, const std::string& detail);
    std::string firstUnencodableField();

    Parts p_;
    std::int16_t sendStep_ = 0;
    bool running_ = false;
};

} // namespace kr4720::radio_link
