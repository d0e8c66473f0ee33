#include "text/number_text.h"
#include "text/visible_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>

using namespace kr4720::text;

// The leading number of any text, 0 without one; whole plain numbers only.
TEST(NumberTextReading, LeadingNumberValueAndDecimalNumberText) {
    const std::vector<std::pair<const char*, double>> cases = {
        {"145.5", 145.5}, {" 1 2 3", 123}, {"\t4\n5", 45},   {"-2.5e2xyz", -250}, {"+7", 7},
        {"3E", 3},        {"1.5.6", 1.5},  {"88.5Hz", 88.5}, {"023", 23},         {"&HFA", 250},
        {"&hff", 255},    {"&O107", 71},   {"&o18", 1}};
    for (const auto& [text, value] : cases) {
        EXPECT_DOUBLE_EQ(leadingNumberValue(text), value) << '"' << text << '"';
    }
    for (const char* text :
         {"off", "on", "del", " ", "", "F", "-", ".", "E5", "&", "&HG", "1E-999"}) {
        EXPECT_EQ(leadingNumberValue(text), 0.0) << '"' << text << '"';
    }
    const double huge = leadingNumberValue("1E999"); // stays finite
    EXPECT_TRUE(std::isfinite(huge) && huge > 1e300) << huge;

    for (const char* text : {"1", "-1", "+2.5", "023", "1.", ".5", "1E5", "2.5e-3"}) {
        EXPECT_TRUE(isDecimalNumberText(text)) << text;
    }
    for (const char* text : {"", " 1", "1 ", "abc", "1E", "1.2.3", "&H1F", "-", "."}) {
        EXPECT_FALSE(isDecimalNumberText(text)) << text;
    }
}

// Every frequency of the channel raster comes round through the record codec:
// scaling to a whole number loses no unit to binary rounding.
TEST(NumberTextWriting, ShortestFiveDecimalAndScaledForms) {
    const std::vector<std::pair<double, std::string>> shortest = {
        {406.125 + 45.05, "451.175"},   {400, "400"},     {670 / 10.0, "67"},
        {885 / 10.0, "88.5"},           {0, "0"},         {-0.0, "0"},
        {0.000125, "0.000125"},         {-12.5, "-12.5"}, {1.0 / 3.0, "0.333333333333333"},
        {1e20, "100000000000000000000"}};
    for (const auto& [value, text] : shortest) {
        EXPECT_EQ(shortestNumberText(value), text);
    }
    const std::vector<std::pair<double, std::string>> fiveDecimals = {
        {146.125, "146.12500"},  {145.5, "145.50000"}, {435, "435.00000"},
        {0.5, ".50000"},         {0, ".00000"},        {145.000005, "145.00001"},
        {-3.25, "-3.25000"},     {-0.25, "-.25000"},   {999.999996, "1000.00000"},
        {435.0125, "435.01250"}, {-0.000001, ".00000"}};
    for (const auto& [value, text] : fiveDecimals) {
        EXPECT_EQ(fiveDecimalText(value), text);
    }
    const std::vector<std::tuple<double, int, std::optional<std::int64_t>>> cases = {
        {435.0125, 5, 43501250}, {145.05, 5, 14505000}, {67.0, 1, 670},
        {250.3, 1, 2503},        {-1.5, 1, -15},        {145.000001, 5, std::nullopt},
        {1e30, 5, std::nullopt}};
    for (const auto& [value, power, whole] : cases) {
        EXPECT_EQ(scaledWholeNumber(value, power), whole) << value;
    }
}

TEST(VisibleText, WhatShowsAsNothingOrABlankIsSpelledOut) {
    const std::pair<std::string, std::string> cases[] = {
        {"\xEF\xBB\xBF"
         "88.5",
         "<U+FEFF>88.5"},
        {"on\r\x7F\xC2\x80", "on<U+000D><U+007F><U+0080>"},
        {"4\xC2\xA0"
         "38 .5\xE3\x80\x80",
         "4<U+00A0>38 .5<U+3000>"},
        {"\xE2\x80\x80\xE2\x80\x8F\xE2\x80\xA8\xE2\x80\xAF\xE2\x81\x9F\xE2\x81\xAF",
         "<U+2000><U+200F><U+2028><U+202F><U+205F><U+206F>"},
        {"１４５。５ 信道", "１４５。５ 信道"},
        {std::string("ऄ😀\0", 8), "ऄ😀<U+0000>"}, // the first three- and four-byte leads
        {"\xFF"
         "1\xC0\xAF\xED\xA0\x80\xED\xBF\xBF",
         "<0xFF>1<0xC0><0xAF><0xED><0xA0><0x80><0xED><0xBF><0xBF>"}};
    for (const auto& [value, shown] : cases) {
        EXPECT_EQ(visibleText(value), shown);
    }
}
