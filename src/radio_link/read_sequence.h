#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/tone_tables.h"
#include "radio_link/serial_link.h"
#include "radio_link/transfer_parts.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kr4720::radio_link {

// Reading the channel set from the radio: "B", then 18 records (a leading
// record that is dropped, 16 channel records, the emergency record). Runs to
// its end in one call. The records are stored only once the whole reply is
// in and can be what the radio sent: 32 characters "0"-"9" and "A"-"F" each,
// and nothing more arriving just after the last. A reply that stops early
// stores the channels before the record that did not come, unless a record
// shows that a character was lost or added on the way.
class ReadSequence {
public:
    struct Parts {
        SerialLink& link;
        ChannelCursor& channels;
        EmergencyCursor& emergency;
        const DcsCodes& codes;
        TransferDisplay& display;
        Timer& timer3;
        Clock& clock;
    };

    static constexpr std::chrono::milliseconds kPauseBeforeRequest{20};
    static constexpr std::chrono::milliseconds kPauseAfterRequest{2};
    static constexpr std::chrono::milliseconds kRecordTimeout{1000};
    // A character within this time after the 18th record means the reply was
    // shifted by noise. At 9600 baud the next one would come about 1 ms later;
    // a USB cable may hold it back for its latency timer (16 ms on FTDI chips).
    static constexpr std::chrono::milliseconds kQuietAfterReply{30};
    static constexpr std::size_t kReplyRecords = kChannelCount + 2;

    explicit ReadSequence(Parts parts) : p_(parts) {}

    void run();
    bool isRunning() const { return running_; }

    enum class Failure { TimedOut, LineLost };
    // Collects the next 32 received characters into `record`; false, with
    // what did come in `record`, when they did not all come, and why.
    bool CollectRecord(std::string& record, Failure& failure);

private:
    // Stores the channel records that follow the leading one, and with a
    // whole reply the emergency record and the squelch level too. False, with
    // the message shown, when the store refused a change: then nothing of a
    // whole reply is kept.
    bool store(const std::vector<std::string>& records);
    void end();

    Parts p_;
    bool running_ = false;
};

} // namespace kr4720::radio_link
