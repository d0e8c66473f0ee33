#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"

#include <array>
#include <vector>

// An in-memory channel table of any row count, with move and change counters,
// for tests that need a table other than the 16 rows of a ChannelSet.
class MemoryChannelCursor : public kr4720::ChannelCursor {
public:
    using Row = std::array<kr4720::FieldValue, kr4720::kChannelFieldCount>;

    explicit MemoryChannelCursor(int rowCount = kr4720::kChannelCount)
        : rows(static_cast<std::size_t>(rowCount)) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            rows[i][0] = std::to_string(i + 1);
        }
    }

    void MoveFirst() override { moveTo(0); }
    void MoveNext() override {
        check();
        moveTo(current + 1);
    }
    int currentRow() const override { return current; }
    kr4720::FieldValue field(int index) const override {
        check();
        return rows.at(static_cast<std::size_t>(current)).at(static_cast<std::size_t>(index));
    }
    void setField(int index, const kr4720::FieldValue& value) override {
        check();
        rows.at(static_cast<std::size_t>(current)).at(static_cast<std::size_t>(index)) = value;
        ++changes;
    }
    kr4720::FieldValue& at(int row, int field) {
        return rows.at(static_cast<std::size_t>(row)).at(static_cast<std::size_t>(field));
    }
    void moveTo(int row) {
        current = row;
        ++moves;
    }

    std::vector<Row> rows;
    int current = -1;
    int moves = 0;
    int changes = 0;

private:
    void check() const {
        if (current < 0 || current >= static_cast<int>(rows.size())) {
            throw kr4720::DataError("no current record");
        }
    }
};
