#pragma once

#include "channel_data/channel_layout.h"
#include "channel_data/field_value.h"

#include <array>

namespace kr4720 {

using ChannelRow = std::array<FieldValue, kChannelFieldCount>;
using EmergencyRow = std::array<FieldValue, kEmergencyFieldCount>;

class EmergencyCursor;

// The shared cursor over the 16 rows of the channel table (Adodc1). The grid's
// selected row and the cursor's current row are one and the same. A changed
// row is stored when the cursor leaves it. Every operation throws DataError
// when the store fails or there is no current record (after MoveNext past the
// last row).
class ChannelCursor {
public:
    virtual ~ChannelCursor() = default;

    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;
    // The current row, 0 for the first; the row count once past the last row.
    virtual int currentRow() const = 0;
    virtual FieldValue field(int index) const = 0;
    // Field `index` of row `row` without moving: the current row's with its
    // pending change, any other row's as stored.
    virtual FieldValue value(int row, int index) const = 0;
    // All fields of row `index` as value() gives them.
    ChannelRow row(int index) const;
    // Null is stored as Null: a channel file value with no characters clears a field.
    virtual void setField(int index, const FieldValue& value) = 0;
    // Stores the change pending in the current row now instead of when the
    // cursor leaves it. Nothing to do for a cursor that stores every change at once.
    virtual void storePending() {}

    // Stores fields 1 to 9 of rows 1 to 16 (the channel numbers stay) and ends
    // on row 1: what a channel file or an import does to the table. Stores
    // that can fail part-way store all the rows or, throwing DataError, none.
    // This plain walk is for stores that cannot refuse a single row and not
    // the next (a table held in memory).
    virtual void replaceRows(const std::array<ChannelRow, kChannelCount>& rows);
    // Stores what a whole reply of the radio holds: the rows as replaceRows
    // does, and `fields` into `emergency`. Both or, throwing DataError,
    // neither: the new channels beside the old emergency channel would go to
    // the radio on the next write. This walk puts the rows back when the
    // emergency row is refused; a store that can, keeps both in one commit.
    virtual void replaceRowsAndEmergency(const std::array<ChannelRow, kChannelCount>& rows,
                                         EmergencyCursor& emergency, const EmergencyRow& fields);
};

// The cursor over the one-row emergency table (Data1). Every change follows
// Edit, field sets, saveRecord. Throws DataError as ChannelCursor does.
class EmergencyCursor {
public:
    virtual ~EmergencyCursor() = default;

    virtual void MoveFirst() = 0;
    virtual void Edit() = 0;
    virtual FieldValue field(int index) const = 0;
    virtual void setField(int index, const FieldValue& value) = 0;
    virtual void saveRecord() = 0;
};

} // namespace kr4720
