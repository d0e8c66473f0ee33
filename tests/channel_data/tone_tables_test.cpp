#include "channel_data/tone_tables.h"

#include <gtest/gtest.h>

using namespace kr4720;

TEST(DcsCodes, FilledTableHoldsTheCodesAtTheirIndexes) {
    DcsCodes codes;
    EXPECT_EQ(codes.entry(1), "");
    codes.fill();
    EXPECT_EQ(codes.entry(0), "");
    EXPECT_EQ(codes.entry(1), "023");
    EXPECT_EQ(codes.entry(21), "134");
    EXPECT_EQ(codes.entry(83), "754");
    for (int i = 84; i <= 100; ++i) {
        EXPECT_EQ(codes.entry(i), "") << i;
    }
    EXPECT_EQ(codes.entry(101), "");
    EXPECT_EQ(codes.entry(-1), "");
}

TEST(FindDcsIndex, FindsEveryCodeAndNothingElse) {
    DcsCodes codes;
    codes.fill();
    EXPECT_EQ(FindDcsIndex(codes, "023"), 1);
    EXPECT_EQ(FindDcsIndex(codes, "754"), 83);
    EXPECT_EQ(FindDcsIndex(codes, "244"), 34);
    EXPECT_EQ(FindDcsIndex(codes, "506"), 62);
    EXPECT_EQ(FindDcsIndex(codes, "23"), 0);
    EXPECT_EQ(FindDcsIndex(codes, "036"), 0);
    for (int i = 1; i <= 83; ++i) {
        EXPECT_EQ(FindDcsIndex(codes, codes.entry(i)), i);
    }
}

TEST(PickLists, HoldTheirEntriesInOrderWithTheBlanks) {
    const auto receiveTones = receiveTonePickList();
    ASSERT_EQ(receiveTones.size(), 43u);
    EXPECT_EQ(receiveTones.front(), "67.0");
    EXPECT_EQ(receiveTones[1], "69.3");
    EXPECT_EQ(receiveTones[38], "250.3");
    EXPECT_EQ(std::vector<std::string>(receiveTones.begin() + 39, receiveTones.end()),
              (std::vector<std::string>{" ", " ", "", "  "}));
    EXPECT_EQ(transmitTonePickList().size(), 41u);
    const auto receiveCodes = receiveCodePickList();
    ASSERT_EQ(receiveCodes.size(), 86u);
    const auto transmitCodes = transmitCodePickList();
    ASSERT_EQ(transmitCodes.size(), 85u);
    DcsCodes codes;
    codes.fill();
    for (int i = 1; i <= 83; ++i) {
        EXPECT_EQ(receiveCodes[static_cast<std::size_t>(i - 1)], codes.entry(i));
        EXPECT_EQ(transmitCodes[static_cast<std::size_t>(i - 1)], codes.entry(i));
    }
    EXPECT_EQ(receiveCodes.back(), " ");
    EXPECT_EQ(transmitCodes.back(), " ");
}
