#include "channel_data/channel_set.h"
#include "channel_data/data_error.h"

#include <gtest/gtest.h>

using namespace kr4720;

// A new set is what fresh stores and a fresh window hold.
TEST(ChannelSetCursor, WalksANewSetsRowsByPositionAndFailsWithoutACurrentRecord) {
    ChannelSet set;
    EXPECT_EQ(set.rows[0], (ChannelRow{"1", {}, {}, {}, {}, {}, {}, {}, {}, {}}));
    EXPECT_EQ(set.rows[15][0], "16");
    EXPECT_EQ(set.emergency, (EmergencyRow{"", "", "off"}));
    EXPECT_EQ(set.squelch, " 3");
    ChannelSetCursor cursor(set);
    EXPECT_THROW(cursor.field(1), DataError); // no MoveFirst yet
    cursor.MoveFirst();
    cursor.MoveNext();
    cursor.setField(4, "145.50000");
    EXPECT_EQ(set.rows[1][4], "145.50000");
    EXPECT_THROW(cursor.setField(10, "x"), DataError);
    EXPECT_THROW(cursor.field(-1), DataError);

    set.rows[15][9] = "on";
    const auto rows = CollectChannelRows(cursor);
    EXPECT_EQ(rows, set.rows);
    EXPECT_EQ(cursor.currentRow(), kChannelCount);
    EXPECT_THROW(cursor.field(0), DataError); // past the last row
    EXPECT_THROW(cursor.MoveNext(), DataError);
}

TEST(ChannelSetEmergencyCursor, ChangesOnlyThroughEditAndSave) {
    ChannelSet set;
    ChannelSetEmergencyCursor cursor(set);
    EXPECT_THROW(cursor.setField(0, "450"), DataError);
    cursor.Edit();
    cursor.setField(0, "450");
    EXPECT_EQ(cursor.field(0), "450");
    cursor.MoveFirst(); // leaving the record drops the change
    EXPECT_EQ(set.emergency[0], "");
    cursor.Edit();
    cursor.setField(2, "on");
    EXPECT_THROW(cursor.setField(3, "x"), DataError);
    cursor.saveRecord();
    EXPECT_EQ(set.emergency, (EmergencyRow{"", "", "on"}));
    EXPECT_THROW(cursor.saveRecord(), DataError);
}
