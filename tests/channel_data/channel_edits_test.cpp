#include "channel_data/channel_edits.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

using namespace kr4720;

TEST(NormalisedFrequency, MovesTypedFrequenciesOntoTheRaster) {
    const std::vector<std::pair<double, std::string>> cases = {
        {145.5, "145.50000"},     {145.00625, "145.00625"}, {145.005, "145.00500"},
        {145.0123, "145.01000"},  {438.0031, "438.00000"},  {130, "130.00000"},
        {500, "500.00000"},       {146.12500, "146.12500"}, {499.99999, "499.99500"},
        {438.00624, "438.00500"}, {438.500005, "438.50000"}};
    for (const auto& [typed, stored] : cases) {
        EXPECT_EQ(normalisedFrequency(typed), stored) << typed;
    }
    for (double refused : {129.99, 500.001, 0.0, -145.5, 1e300}) {
        EXPECT_EQ(normalisedFrequency(refused), std::nullopt) << refused;
    }
}

TEST(AfterFrequencyEdit, ChecksTheEditedFrequencyColumn) {
    // Column 1 is normalised and copied to column 4, or emptied together with it when it is
    // empty; column 4 needs a receive frequency and leaves it alone. Out of range or a typo, only
    // the edited column is emptied, before the message. Other columns are not checked.
    // The edited column, the receive and transmit frequencies before and after, the messages.
    const std::vector<std::tuple<int, FieldValue, FieldValue, FieldValue, FieldValue, int>> cases =
        {{1, "145.0123", {}, "145.01000", "145.01000", 0},
         {1, "abc", "145.01000", "", "145.01000", 1},
         {1, "146。525", {}, "", {}, 1},
         {1, "145.5\n146", {}, "", {}, 1}, // two pasted lines
         {1, " 4 38.5\r\n", {}, "438.50000", "438.50000", 0},
         {1, "0", "145.01000", "", "", 0},
         {1, {}, "145.01000", "", "", 0},
         {1, "500.001", "146.00000", "", "146.00000", 1},
         {4, {}, "145.5", {}, "", 0},
         {4, "145.50000", "145.0123", "145.50000", "145.01000", 0},
         {4, "145.50000", "129.99", "145.50000", "", 1},
         {4, "145.50000", "145,525", "145.50000", "", 1},
         {2, "abc", "129.99", "abc", "129.99", 0}};
    for (const auto& [column, receive, transmit, receiveAfter, transmitAfter, messages] : cases) {
        MemoryChannelCursor cursor;
        cursor.MoveFirst();
        cursor.setField(1, receive);
        cursor.setField(4, transmit);
        int shown = 0;
        afterFrequencyEdit(cursor, column, [&] { shown += cursor.field(column) == ""; });
        EXPECT_EQ(std::tuple(cursor.field(1), cursor.field(4), shown),
                  std::tuple(receiveAfter, transmitAfter, messages))
            << column << ' ' << receive.value_or("-") << ' ' << transmit.value_or("-");
    }
    // With no current record the check ends quietly.
    MemoryChannelCursor cursor;
    cursor.current = 16;
    EXPECT_NO_THROW(afterFrequencyEdit(cursor, 1, [] {}));
}

TEST(ApplyPick, EachPickerWritesItsFieldsOfTheCurrentRecord) {
    // Fields 2 to 9 of the current record after each pick, in order: a tone clears the codes on
    // its side(s), a code clears the tones.
    const std::vector<std::tuple<Picker, std::string, std::vector<FieldValue>>> steps = {
        {Picker::Combo1, "88.5", {"88.5", "", {}, "88.5", "", {}, {}, {}}},
        {Picker::Combo4, "754", {"88.5", "", {}, "", "754", {}, {}, {}}},
        {Picker::Combo2, "244", {"", "244", {}, "", "244", {}, {}, {}}},
        {Picker::Combo3, "67.0", {"", "244", {}, "67.0", "", {}, {}, {}}},
        {Picker::Combo5, "del", {"", "244", {}, "67.0", "", "del", {}, {}}},
        {Picker::Combo6, "2", {"", "244", {}, "67.0", "", "del", "2", {}}},
        {Picker::Combo7, "  ", {"", "244", {}, "67.0", "", "del", "2", "  "}}};
    MemoryChannelCursor cursor;
    cursor.moveTo(4);
    cursor.setField(3, std::string("023"));
    cursor.setField(6, std::string("754"));
    for (const auto& [picker, text, fields] : steps) {
        applyPick(cursor, picker, text);
        EXPECT_EQ(std::vector<FieldValue>(cursor.rows[4].begin() + 2, cursor.rows[4].end()), fields)
            << text;
    }
    EXPECT_EQ(cursor.rows[3], MemoryChannelCursor().rows[3]); // other rows stay as they were
    EXPECT_EQ(cursor.rows[5], MemoryChannelCursor().rows[5]);
}
