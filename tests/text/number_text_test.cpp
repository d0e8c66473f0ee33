#include "text/number_text.h"

#include <gtest/gtest.h>

using namespace kr4720::text;

TEST(LeadingNumberValue, ReadsTheLeadingDecimalNumber) {
    EXPECT_DOUBLE_EQ(leadingNumberValue("145.5"), 145.5);
    EXPECT_DOUBLE_EQ(leadingNumberValue(" 1 2 3"), 123);
    EXPECT_DOUBLE_EQ(leadingNumberValue("\t4\n5"), 45);
    EXPECT_DOUBLE_EQ(leadingNumberValue("-2.5e2xyz"), -250);
    EXPECT_DOUBLE_EQ(leadingNumberValue("+7"), 7);
    EXPECT_DOUBLE_EQ(leadingNumberValue("3E"), 3);
    EXPECT_DOUBLE_EQ(leadingNumberValue("1.5.6"), 1.5);
    EXPECT_DOUBLE_EQ(leadingNumberValue("88.5Hz"), 88.5);
    EXPECT_DOUBLE_EQ(leadingNumberValue("023"), 23);
}

TEST(LeadingNumberValue, TextsWithoutANumberGiveZero) {
    for (const char* text : {"off", "on", "del", " ", "", "F", "-", ".", "E5", "&"}) {
        EXPECT_EQ(leadingNumberValue(text), 0.0) << '"' << text << '"';
    }
}

TEST(LeadingNumberValue, ReadsHexadecimalAndOctalPrefixes) {
    EXPECT_EQ(leadingNumberValue("&H1F"), 31);
    EXPECT_EQ(leadingNumberValue("&hff"), 255);
    EXPECT_EQ(leadingNumberValue("&O17"), 15);
    EXPECT_EQ(leadingNumberValue("&O19"), 1);
    EXPECT_EQ(leadingNumberValue("&HG"), 0);
}

TEST(LeadingNumberValue, HugeExponentsDoNotBecomeInfinite) {
    EXPECT_GT(leadingNumberValue("1E999"), 1e300);
    EXPECT_EQ(leadingNumberValue("1E-999"), 0.0);
}

TEST(ShortestNumberText, WritesAtMostFifteenDigitsWithoutTrailingZeros) {
    EXPECT_EQ(shortestNumberText(406.125 + 45.05), "451.175");
    EXPECT_EQ(shortestNumberText(400), "400");
    EXPECT_EQ(shortestNumberText(670 / 10.0), "67");
    EXPECT_EQ(shortestNumberText(885 / 10.0), "88.5");
    EXPECT_EQ(shortestNumberText(0), "0");
    EXPECT_EQ(shortestNumberText(-0.0), "0");
    EXPECT_EQ(shortestNumberText(0.000125), "0.000125");
    EXPECT_EQ(shortestNumberText(1e20), "100000000000000000000");
    EXPECT_EQ(shortestNumberText(-12.5), "-12.5");
    EXPECT_EQ(shortestNumberText(1.0 / 3.0), "0.333333333333333");
}

TEST(FiveDecimalText, FormatsWithFiveDecimalsAndNoLeadingZero) {
    EXPECT_EQ(fiveDecimalText(146.125), "146.12500");
    EXPECT_EQ(fiveDecimalText(145.5), "145.50000");
    EXPECT_EQ(fiveDecimalText(435), "435.00000");
    EXPECT_EQ(fiveDecimalText(0.5), ".50000");
    EXPECT_EQ(fiveDecimalText(0), ".00000");
    EXPECT_EQ(fiveDecimalText(145.000006), "145.00001");
    EXPECT_EQ(fiveDecimalText(999.999996), "1000.00000");
    EXPECT_EQ(fiveDecimalText(-3.25), "-3.25000");
    EXPECT_EQ(fiveDecimalText(435.0125), "435.01250");
}

TEST(ScaledWholeNumber, LosesNoUnitToBinaryRounding) {
    EXPECT_EQ(scaledWholeNumber(435.0125, 5), 43501250);
    EXPECT_EQ(scaledWholeNumber(145.05, 5), 14505000);
    EXPECT_EQ(scaledWholeNumber(67.0, 1), 670);
    EXPECT_EQ(scaledWholeNumber(250.3, 1), 2503);
    EXPECT_EQ(scaledWholeNumber(0, 5), 0);
    EXPECT_EQ(scaledWholeNumber(-1.5, 1), -15);
    EXPECT_EQ(scaledWholeNumber(145.000001, 5), std::nullopt);
    EXPECT_EQ(scaledWholeNumber(1e30, 5), std::nullopt);
    for (int n = 13000000; n <= 50000000; n += 625) {
        const double megahertz = n / 100000.0;
        ASSERT_EQ(scaledWholeNumber(megahertz, 5), n) << n;
    }
}

TEST(IsDecimalNumberText, AcceptsOnlyWholePlainNumbers) {
    for (const char* text : {"1", "-1", "+2.5", "023", "1.", ".5", "1E5", "2.5e-3"}) {
        EXPECT_TRUE(isDecimalNumberText(text)) << text;
    }
    for (const char* text : {"", " 1", "1 ", "abc", "1E", "1.2.3", "&H1F", "-", "."}) {
        EXPECT_FALSE(isDecimalNumberText(text)) << text;
    }
}
