#include "channel_data/channel_set.h"

#include "channel_data/data_error.h"

namespace kr4720 {
namespace {

std::size_t fieldIndex(int index, int count) {
    if (index < 0 || index >= count) {
        throw DataError("no such field");
    }
    return static_cast<std::size_t>(index);
}

} // namespace

ChannelSet::ChannelSet()
    : emergency{std::string(), std::string(), std::string("off")}, squelch(" 3") {
    for (std::size_t i = 0; i < rows.size(); ++i) {
        rows[i][channel_field::kNumber] = std::to_string(i + 1);
    }
}

void ChannelSetCursor::MoveFirst() {
    current_ = 0;
}

void ChannelSetCursor::MoveNext() {
    currentFields(); // moving on from no record fails as it does on the table
    ++current_;
}

FieldValue ChannelSetCursor::field(int index) const {
    return currentFields()[fieldIndex(index, kChannelFieldCount)];
}

void ChannelSetCursor::setField(int index, const FieldValue& value) {
    currentFields()[fieldIndex(index, kChannelFieldCount)] = value;
}

ChannelRow& ChannelSetCursor::currentFields() const {
    if (current_ < 0 || current_ >= kChannelCount) {
        throw DataError("no current record");
    }
    return set_.rows[static_cast<std::size_t>(current_)];
}

void ChannelSetEmergencyCursor::MoveFirst() {
    // Leaving the record throws away a change that was not saved.
    editing_ = false;
}

void ChannelSetEmergencyCursor::Edit() {
    buffer_ = set_.emergency;
    editing_ = true;
}

FieldValue ChannelSetEmergencyCursor::field(int index) const {
    return (editing_ ? buffer_ : set_.emergency)[fieldIndex(index, kEmergencyFieldCount)];
}

void ChannelSetEmergencyCursor::setField(int index, const FieldValue& value) {
    if (!editing_) {
        throw DataError("the record is not open for change");
    }
    buffer_[fieldIndex(index, kEmergencyFieldCount)] = value;
}

void ChannelSetEmergencyCursor::saveRecord() {
    if (!editing_) {
        throw DataError("the record is not open for change");
    }
    set_.emergency = buffer_;
    editing_ = false;
}

std::array<ChannelRow, kChannelCount> CollectChannelRows(ChannelCursor& cursor) {
    std::array<ChannelRow, kChannelCount> rows;
    cursor.MoveFirst();
    for (ChannelRow& row : rows) {
        for (int field = 0; field < kChannelFieldCount; ++field) {
            row[static_cast<std::size_t>(field)] = cursor.field(field);
        }
        cursor.MoveNext();
    }
    return rows;
}

std::array<ChannelRow, kChannelCount> ShownChannelRows(const ChannelCursor& cursor) {
    std::array<ChannelRow, kChannelCount> rows;
    for (int index = 0; index < kChannelCount; ++index) {
        rows[static_cast<std::size_t>(index)] = cursor.row(index);
    }
    return rows;
}

} // namespace kr4720
