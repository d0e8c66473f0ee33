#include "radio_link/write_records.h"

#include "channel_data/channel_layout.h"
#include "channel_data/channel_set.h"

namespace kr4720::radio_link {

std::optional<RadioImage> RecordsToWrite(ChannelCursor& channels, EmergencyCursor& emergency,
                                         const DcsCodes& codes, std::string_view squelch) {
    std::array<ChannelRow, kChannelCount> rows = CollectChannelRows(channels);
    channels.MoveFirst();
    rows[0][channel_field::kNumber].emplace("1");
    RadioImage image;
    for (std::size_t row = 0; row < rows.size(); ++row) {
        EncodedRecord record = EncodeChannelRecord(rows[row], codes);
        if (!record.ok()) {
            return std::nullopt;
        }
        image[row] = std::move(record.record);
    }
    emergency.MoveFirst();
    EmergencyRow emergencyRow;
    for (int field = 0; field < kEmergencyFieldCount; ++field) {
        emergencyRow[static_cast<std::size_t>(field)] = emergency.field(field);
    }
    EncodedRecord record = EncodeEmergencyRecord(emergencyRow, squelch);
    if (!record.ok()) {
        return std::nullopt;
    }
    image[kChannelCount] = std::move(record.record);
    return image;
}

} // namespace kr4720::radio_link
