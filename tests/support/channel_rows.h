#pragma once

#include "platform/sqlite_stores.h"

#include <vector>

// Fills fields 1, 2, ... of a channel row through the window's cursor, then
// goes back to row 1 so that the row is stored.
inline void setChannelRow(kr4720::platform::SqliteChannelTable& cursor, int row,
                          const std::vector<kr4720::FieldValue>& fields) {
    cursor.moveTo(row);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        cursor.setField(static_cast<int>(i) + 1, fields[i]);
    }
    cursor.MoveFirst();
}
