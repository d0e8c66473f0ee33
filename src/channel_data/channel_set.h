#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/field_value.h"

#include <array>
#include <string>

// One whole channel set held in memory: the 16 channel rows, the emergency row
// and the squelch text. It is what the command-line program, the file formats
// and the backups pass around; the cursors below let the read, the write, the
// channel file and the edits run on it exactly as they run on the databases.
namespace kr4720 {

struct ChannelSet {
    // Row n holds channel n + 1; a fresh set numbers its rows "1" to "16" and
    // leaves every other field Null.
    std::array<ChannelRow, kChannelCount> rows;
    // A fresh set has empty frequencies and 拍频 "off".
    EmergencyRow emergency;
    // The text of the squelch box, " 3" in a fresh set as in a fresh window.
    std::string squelch;

    ChannelSet();
    bool operator==(const ChannelSet&) const = default;
};

// The channel cursor over a set's rows, with the rules of the real store:
// rows by position, DataError when there is no current record.
class ChannelSetCursor : public ChannelCursor {
public:
    explicit ChannelSetCursor(ChannelSet& set) : set_(set) {}

    void MoveFirst() override;
    void MoveNext() override;
    int currentRow() const override { return current_; }
    FieldValue field(int index) const override;
    FieldValue value(int row, int index) const override {
        return set_.rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(index));
    }
    void setField(int index, const FieldValue& value) override;

private:
    ChannelRow& currentFields() const;

    ChannelSet& set_;
    int current_ = -1;
};

// The emergency cursor over a set's emergency row: Edit, field sets and
// saveRecord, as on the real store.
class ChannelSetEmergencyCursor : public EmergencyCursor {
public:
    explicit ChannelSetEmergencyCursor(ChannelSet& set) : set_(set) {}

    void MoveFirst() override;
    void Edit() override;
    FieldValue field(int index) const override;
    void setField(int index, const FieldValue& value) override;
    void saveRecord() override;

private:
    ChannelSet& set_;
    EmergencyRow buffer_;
    bool editing_ = false;
};

// Fields 0 to 9 of rows 1 to 16 as the cursor shows them, from row 1 on; the
// cursor is left after row 16. Throws DataError.
std::array<ChannelRow, kChannelCount> CollectChannelRows(ChannelCursor& cursor);

// The 16 rows as the grid shows them, read without moving: the current row
// with its pending change, which a database that stopped storing refused.
std::array<ChannelRow, kChannelCount> ShownChannelRows(const ChannelCursor& cursor);

} // namespace kr4720
