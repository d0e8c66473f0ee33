#include "channel_data/channel_cursor.h"

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

} // namespace kr4720
