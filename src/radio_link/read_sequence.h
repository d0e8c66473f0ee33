#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/tone_tables.h"
#include "radio_link/serial_link.h"
#include "radio_link/transfer_parts.h"

#include <chrono>
#include <optional>
#include <string>

namespace kr4720::radio_link {

// Reading the channel set from the radio: "B", then 18 records (a leading
// record that is dropped, 16 channel records, the emergency record), each
// decoded into its row as soon as it is complete. Runs to its end in one call.
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

    explicit ReadSequence(Parts parts) : p_(parts) {}

    void run();

    enum class Failure { TimedOut, LineLost };
    // The next 32 received characters, or why they did not come.
    std::optional<std::string> CollectRecord(Failure& failure);

private:
    void end();

    Parts p_;
};

} // namespace kr4720::radio_link
