#include "channel_data/channel_edits.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

using namespace kr4720;

TEST(NormalisedFrequency, MovesTypedFrequenciesOntoTheRaster) {
    const std::vector<std::pair<double, std::string>> cases = {
        {145.5, "145.50000"},    {145.00625, "145.00625"}, {145.005, "145.00500"},
        {145.0123, "145.01000"}, {438.0031, "438.00000"},  {130, "130.00000"},
        {500, "500.00000"},      {146.12500, "146.12500"}, {499.99999, "499.99500"},
        {438.00624, "438.00500"}};
    for (const auto& [typed, stored] : cases) {
        EXPECT_EQ(normalisedFrequency(typed), stored) << typed;
    }
    for (double refused : {129.99, 500.001, 0.0, -145.5, 1e300}) {
        EXPECT_EQ(normalisedFrequency(refused), std::nullopt) << refused;
    }
}

TEST(AfterFrequencyEdit, ReceiveColumnChecksCopiesOrEmpties) {
    MemoryChannelCursor cursor;
    cursor.MoveFirst();
    int messages = 0;
    const auto show = [&] { ++messages; };

    cursor.setField(1, std::string("145.0123"));
    afterFrequencyEdit(cursor, 1, show);
    EXPECT_EQ(cursor.field(1), "145.01000");
    EXPECT_EQ(cursor.field(4), "145.01000");

    cursor.setField(1, std::string("abc"));
    afterFrequencyEdit(cursor, 1, show);
    EXPECT_EQ(cursor.field(1), "");
    EXPECT_EQ(cursor.field(4), "");
    EXPECT_EQ(messages, 0);

    cursor.setField(4, std::string("146.00000"));
    cursor.setField(1, std::string("500.001"));
    afterFrequencyEdit(cursor, 1, show);
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(cursor.field(1), "");
    EXPECT_EQ(cursor.field(4), "146.00000");

    cursor.setField(1, std::nullopt);
    afterFrequencyEdit(cursor, 1, show);
    EXPECT_EQ(cursor.field(1), "");
    EXPECT_EQ(cursor.field(4), "");
}

TEST(AfterFrequencyEdit, TransmitColumnNeedsAReceiveFrequencyAndLeavesItAlone) {
    MemoryChannelCursor cursor;
    cursor.MoveFirst();
    int messages = 0;
    const auto show = [&] { ++messages; };

    cursor.setField(4, std::string("145.5"));
    afterFrequencyEdit(cursor, 4, show);
    EXPECT_EQ(cursor.field(4), "");
    EXPECT_EQ(messages, 0);

    cursor.setField(1, std::string("145.50000"));
    cursor.setField(4, std::string("145.0123"));
    afterFrequencyEdit(cursor, 4, show);
    EXPECT_EQ(cursor.field(4), "145.01000");
    EXPECT_EQ(cursor.field(1), "145.50000");

    cursor.setField(4, std::string("129.99"));
    afterFrequencyEdit(cursor, 4, show);
    EXPECT_EQ(messages, 1);
    EXPECT_EQ(cursor.field(4), "");
    EXPECT_EQ(cursor.field(1), "145.50000");

    // Other columns are not checked; with no current record the check ends quietly.
    cursor.setField(2, std::string("xyz"));
    afterFrequencyEdit(cursor, 2, show);
    EXPECT_EQ(cursor.field(2), "xyz");
    cursor.current = 16;
    EXPECT_NO_THROW(afterFrequencyEdit(cursor, 1, show));
}

TEST(ApplyPick, EachPickerWritesItsFieldsOfTheCurrentRecord) {
    MemoryChannelCursor cursor;
    cursor.moveTo(4);
    cursor.setField(3, std::string("023"));
    cursor.setField(6, std::string("754"));
    applyPick(cursor, Picker::Combo1, "88.5");
    EXPECT_EQ(cursor.rows[4][2], "88.5");
    EXPECT_EQ(cursor.rows[4][5], "88.5");
    EXPECT_EQ(cursor.rows[4][3], "");
    EXPECT_EQ(cursor.rows[4][6], "");

    applyPick(cursor, Picker::Combo4, "754");
    EXPECT_EQ(cursor.rows[4][2], "88.5");
    EXPECT_EQ(cursor.rows[4][5], "");
    EXPECT_EQ(cursor.rows[4][6], "754");

    applyPick(cursor, Picker::Combo2, "244");
    EXPECT_EQ(cursor.rows[4][3], "244");
    EXPECT_EQ(cursor.rows[4][6], "244");
    EXPECT_EQ(cursor.rows[4][2], "");
    EXPECT_EQ(cursor.rows[4][5], "");

    applyPick(cursor, Picker::Combo3, "67.0");
    EXPECT_EQ(cursor.rows[4][5], "67.0");
    EXPECT_EQ(cursor.rows[4][6], "");
    EXPECT_EQ(cursor.rows[4][3], "244");

    applyPick(cursor, Picker::Combo5, "del");
    applyPick(cursor, Picker::Combo6, "2");
    applyPick(cursor, Picker::Combo7, "  ");
    EXPECT_EQ(cursor.rows[4][7], "del");
    EXPECT_EQ(cursor.rows[4][8], "2");
    EXPECT_EQ(cursor.rows[4][9], "  ");
    for (int row : {0, 3, 5}) {
        EXPECT_EQ(cursor.rows[static_cast<std::size_t>(row)][2], std::nullopt);
    }
}
