#include "radio_link/radio_image.h"

#include <gtest/gtest.h>

using namespace kr4720;
using namespace kr4720::radio_link;

namespace {

DcsCodes filledCodes() {
    DcsCodes codes;
    codes.fill();
    return codes;
}

// 17 records, one a line, each ending in `lineEnd`.
std::string imageText(const std::string& lineEnd, int records = kImageRecordCount) {
    std::string text;
    for (int i = 0; i < records; ++i) {
        text += std::string(30, '0') + (i < 10 ? "0" : "1") + "0123456789ABCDEF"[i % 16];
        text += lineEnd;
    }
    return text;
}

} // namespace

TEST(RadioImage, TextIsSeventeenLinesAndReadsBackWithAnyLineEnd) {
    const RadioImageLoad load = ParseRadioImage(imageText("\n"));
    ASSERT_TRUE(load.ok()) << load.problem;
    EXPECT_EQ(RadioImageText(*load.image), imageText("\n"));
    for (std::string text : {imageText("\r\n"), imageText("\n") + "\n"}) {
        EXPECT_EQ(ParseRadioImage(text).image, load.image);
    }
    std::string noFinalEnd = imageText("\n");
    noFinalEnd.pop_back();
    EXPECT_EQ(ParseRadioImage(noFinalEnd).image, load.image);
}

TEST(RadioImage, RefusesNamingTheLine) {
    std::string lowerCase = imageText("\n");
    lowerCase[33 * 2 + 31] = 'a';
    std::string shortLine = imageText("\n");
    shortLine.erase(33 * 4, 1);
    const struct {
        std::string text;
        int line;
        const char* problem;
    } cases[] = {
        {lowerCase, 3, "第 3 行不是 32 个十六进制字符"},
        {shortLine, 5, "第 5 行不是 32 个十六进制字符"},
        {imageText("\n", 16), 17, "文件只有 16 行，应有 17 行"},
        {"", 1, "文件只有 0 行，应有 17 行"},
        {imageText("\n", 18), 18, "第 18 行多余：图像文件只有 17 行"},
        {std::string(imageText("\n")).replace(0, 1, 1, '\0'), 1, "第 1 行不是 32 个十六进制字符"},
    };
    for (const auto& c : cases) {
        const RadioImageLoad load = ParseRadioImage(c.text);
        EXPECT_FALSE(load.ok());
        EXPECT_EQ(load.line, c.line);
        EXPECT_EQ(load.problem, c.problem);
    }
}

TEST(RadioImage, ASetGoesThroughTextAndComesBackInTheReadsForms) {
    const DcsCodes codes = filledCodes();
    ChannelSet set;
    set.rows[0] = {"9", "435.00000", "67.0", "", "440.01250", "", "754", "del", "2", "on"};
    set.rows[7] = {"8", "145.5", " ", "023", "", "", "", " ", " ", " "};
    set.emergency = {"", "136.025", ""};
    set.squelch = "0";

    const RadioImageEncoding encoding = EncodeRadioImage(set, codes);
    ASSERT_TRUE(encoding.ok());
    // Numbered by its place, not by its channel number field.
    EXPECT_EQ((*encoding.image)[0], "01"
                                    "00"
                                    "00509938"
                                    "7006"
                                    "3"
                                    "2"
                                    "00"
                                    "50120044"
                                    "5355");
    EXPECT_EQ((*encoding.image)[1], std::string(32, '0'));
    const RadioImageLoad load = ParseRadioImage(RadioImageText(*encoding.image));
    ASSERT_TRUE(load.ok());

    // Decoded onto a fresh set, whose channel numbers the read does not touch.
    ChannelSet expected;
    expected.squelch = "0";
    expected.rows[0] = {"1", "435", "67", "", "440.0125", "", "754", "del", "2", "on"};
    expected.rows[7] = {"8", "145.5", "", "023", "", "", "", "add", "off", "off"};
    for (std::size_t row : {1, 2, 3, 4, 5, 6, 8, 9, 10, 11, 12, 13, 14, 15}) {
        expected.rows[row] =
            ChannelRow{std::to_string(row + 1), "", "", "", "", "", "", "", "", ""};
    }
    expected.emergency = {"", "136.025", "on"};
    EXPECT_EQ(DecodeRadioImage(*load.image, codes), expected);
}
