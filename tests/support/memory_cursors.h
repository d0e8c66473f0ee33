#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"

#include <array>
#include <vector>

// An in-memory channel table of any row count, for tests that need a table other
// than the 16 rows of a ChannelSet. A change is stored when the cursor leaves its
// row; with storeFails set, storing a changed row throws as a locked database
// does (counted in failedStores), and unreadableRow cannot be read.
class MemoryChannelCursor : public kr4720::ChannelCursor {
public:
    using Row = std::array<kr4720::FieldValue, kr4720::kChannelFieldCount>;

    explicit MemoryChannelCursor(int rowCount = kr4720::kChannelCount)
        : rows(static_cast<std::size_t>(rowCount)) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i][0] = std::to_string(i + 1);
        }
    }

    void MoveFirst() override {
        leaveRow();
        current = 0;
    }
    void MoveNext() override {
        check();
        leaveRow();
        ++current;
    }
    void storePending() override { leaveRow(); }
    int currentRow() const override { return current; }
    kr4720::FieldValue field(int index) const override {
        check();
        return rows.at(static_cast<std::size_t>(current)).at(static_cast<std::size_t>(index));
    }
    kr4720::FieldValue value(int row, int index) const override {
        if (row == unreadableRow) {
            throw kr4720::DataError("disk I/O error");
        }
        return rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(index));
    }
    void setField(int index, const kr4720::FieldValue& value) override {
        check();
        at(current, index) = value;
        dirty = true;
    }
    kr4720::FieldValue& at(int row, int field) {
        return rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(field));
    }
    void moveTo(int row) { current = row; } // without storing a change

    std::vector<Row> rows;
    int current = -1;
    bool dirty = false;
    bool storeFails = false;
    int unreadableRow = -1; // value() of this row throws as a failing database does
    int failedStores = 0;

private:
    void leaveRow() {
        if (dirty && storeFails && current >= 0) {
            ++failedStores;
            throw kr4720::DataError("database is locked");
        }
        dirty = false;
    }
    void check() const {
        if (current < 0 || current >= static_cast<int>(rows.size())) {
            throw kr4720::DataError("no current record");
        }
    }
};
