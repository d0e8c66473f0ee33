#include "channel_data/channel_cursor.h"

#include "channel_data/data_error.h"

namespace kr4720 {

ChannelRow ChannelCursor::row(int index) const {
    ChannelRow fields;
    for (int field = 0; field < kChannelFieldCount; ++field) {
        fields[static_cast<std::size_t>(field)] = value(index, field);
    }
    return fields;
}

void ChannelCursor::replaceRows(const std::array<ChannelRow, kChannelCount>& rows) {
    MoveFirst();
    for (const ChannelRow& row : rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            setField(field, row[static_cast<std::size_t>(field)]);
        }
        MoveNext();
    }
    MoveFirst();
}

void ChannelCursor::replaceRowsAndEmergency(const std::array<ChannelRow, kChannelCount>& rows,
                                            EmergencyCursor& emergency,
                                            const EmergencyRow& fields) {
    std::array<ChannelRow, kChannelCount> before;
    for (int index = 0; index < kChannelCount; ++index) {
        before[static_cast<std::size_t>(index)] = row(index);
    }
    replaceRows(rows);
    try {
        emergency.Edit();
        for (int field = 0; field < kEmergencyFieldCount; ++field) {
            emergency.setField(field, fields[static_cast<std::size_t>(field)]);
        }
        emergency.saveRecord();
    } catch (const DataError&) {
        emergency.MoveFirst();
        replaceRows(before);
        throw;
    }
}

} // namespace kr4720
