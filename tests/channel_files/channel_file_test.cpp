#include "channel_data/data_error.h"
#include "channel_files/channel_file.h"
#include "support/memory_cursors.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

using namespace kr4720;
using namespace kr4720::channel_files;

namespace {

std::string joined(const std::vector<std::string>& values, std::string_view after) {
    std::string text;
    for (const auto& value : values) {
        text += value;
        text += after;
    }
    return text;
}

// 145 distinct values that exercise every kind of field.
std::vector<std::string> sampleValues() {
    std::vector<std::string> values = {"5"};
    for (int row = 0; row < kChannelCount; ++row) {
        const std::string freq = std::to_string(400 + row) + ".125";
        values.insert(values.end(), {freq, "88.5", "", freq, "", "023", row % 2 ? "add" : "del",
                                     "2", row % 2 ? "on" : "off"});
    }
    return values;
}

ChannelFileContents parsed(std::string_view text) {
    const ChannelFileLoad load = ParseChannelFile(text);
    EXPECT_TRUE(load.ok()) << "missing value " << load.missingValue;
    return load.contents.value_or(ChannelFileContents{});
}

// Fields 1 to 9 of a row.
std::vector<FieldValue> fields(const ChannelFileRow& row) {
    return {row.begin() + 1, row.end()};
}

} // namespace

TEST(ChannelFile, SaveThenLoadGivesTheFieldsBack) {
    // Fields 1 to 9 of rows 1 and 2 as stored, and as they come back.
    const std::vector<std::vector<FieldValue>> stored = {
        {"146.12500", "67.0", "023", "146.12500", "100.0", "754", "add", "1", "on"},
        {"435", "", "  ", std::nullopt, " ", "", "del", "1,\r\n2,", "off"}};
    const std::vector<std::vector<FieldValue>> loadedBack = {
        {"146.12500", "67", "023", "146.12500", "100", "754", "add", "1", "on"},
        {"435.00000", {}, {}, {}, {}, {}, "del", "1,\r\n2,", "off"}};
    MemoryChannelCursor table;
    std::copy(stored[0].begin(), stored[0].end(), table.rows[0].begin() + 1);
    std::copy(stored[1].begin(), stored[1].end(), table.rows[1].begin() + 1);
    table.at(15, channel_field::kBusyLockout) = "2";
    const std::string text = SaveText(table, " 3");
    EXPECT_TRUE(text.starts_with(" 3,\r\n146.12500,67.0,023,146.12500,100.0,754,add,1,on,\r\n"
                                 "435,,  ,, ,,del,\"1,\r\n2,\",off,\r\n,,,,,,,,,\r\n"));
    EXPECT_TRUE(text.ends_with(",,,,,,,2,,\r\n"));

    const ChannelFileLoad load = ParseChannelFile(text);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.contents->squelch, "3"); // the leading blank is skipped
    MemoryChannelCursor loaded;
    loaded.at(5, channel_field::kScan) = "add"; // overwritten by the file's Null
    ApplyChannelFile(*load.contents, loaded);
    EXPECT_EQ(fields(loaded.rows[0]), loadedBack[0]);
    EXPECT_EQ(fields(loaded.rows[1]), loadedBack[1]);
    EXPECT_EQ(loaded.at(5, channel_field::kScan), std::nullopt);
    EXPECT_EQ(loaded.at(15, channel_field::kBusyLockout), "2");
    EXPECT_EQ(loaded.at(15, channel_field::kNumber), "16"); // the channel number is never touched
    // Saving the loaded table and loading again changes nothing more.
    EXPECT_EQ(parsed(SaveText(loaded, load.contents->squelch)), *load.contents);
    // Quotes keep a comma or line break from shifting the values after it, but
    // cannot hold a value with a quote in it; the message counts the values.
    loaded.at(2, channel_field::kScan) = "a\"d,d";
    EXPECT_THAT([&] { SaveText(loaded, "3"); },
                testing::ThrowsMessage<ChannelFileValueError>(
                    testing::StrEq("第 26 个值（信道 3 的扫描）里的双引号无法写入信道文件")));
}

TEST(ChannelFile, FieldRulesForQuotedAndTextValues) {
    // Quoted blanks in a frequency field pass unchanged; a quoted value stays text with no
    // number rule, but a quoted number (blanks and tabs around it) is still a frequency; two
    // characters (text too) get a "0" in a code field, one does not; text after the closing
    // quote is dropped, and a second quote ends nothing, so the values after it stay in place.
    const auto values = sampleValues();
    const ChannelFileContents contents =
        parsed("\" 3\",\"  \",\"023\",\"23\"junk,\" 146.125\t\",,5,,,,\r\n"
               "0.5,3.50,1234,,,ab,\"a\"\"b\",2,,\r\n" +
               joined({values.begin() + 19, values.end()}, ","));
    EXPECT_EQ(contents.squelch, " 3"); // a quoted squelch keeps its blank
    EXPECT_EQ(fields(contents.rows[0]),
              std::vector<FieldValue>({"  ", "023", "023", "146.12500", {}, "5", {}, {}, {}}));
    EXPECT_EQ(fields(contents.rows[1]),
              std::vector<FieldValue>({".50000", "3.5", "1234", {}, {}, "0ab", "a", "2", {}}));
    EXPECT_EQ(contents.rows[2][1], "402.12500");
}

TEST(ChannelFile, LayoutsLineBreaksAndLengths) {
    const auto values = sampleValues();
    const std::string exact = joined(values, ",");
    const ChannelFileContents commas = parsed(exact);
    EXPECT_EQ(commas.squelch, "5");
    // A line break alone ends a value as a comma does; the last value needs no separator.
    for (const char* after : {",\r\n", ",\n", ",\r", "\r\n", "\n"}) {
        EXPECT_EQ(parsed(joined(values, after)), commas) << after;
    }
    EXPECT_EQ(parsed(exact.substr(0, exact.size() - 1)), commas);

    // The empty line after three values is value 4.
    const std::string shortFile = joined({values.begin(), values.end() - 1}, ",");
    for (const auto& [text, missing] :
         std::vector<std::pair<std::string, int>>{{"", 1}, {shortFile, 145}, {"1,2,3,  \r\n", 5}}) {
        const ChannelFileLoad load = ParseChannelFile(text);
        EXPECT_FALSE(load.ok());
        EXPECT_EQ(load.missingValue, missing);
        EXPECT_NE(load.errorText().find(" " + std::to_string(missing) + " "), std::string::npos);
    }
    // Values after the 145th are never read, however much follows.
    std::string huge = exact + "9,x,\"never closed";
    huge.append(32 * 1024 * 1024, 'z');
    const ChannelFileLoad load = ParseChannelFile(huge);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.charactersUsed, exact.size());
    EXPECT_EQ(*load.contents, commas);
    EXPECT_TRUE(load.moreValues); // and said to be there, unlike line ends and a Ctrl-Z
    EXPECT_FALSE(ParseChannelFile(exact + ", \t,\r\n\x1A").moreValues);
}

TEST(ChannelFile, TextsThatAreNoChannelFilesAreRefused) {
    auto values = sampleValues();
    const std::string good = joined(values, ",\r\n");
    std::string utf16 = "\xFF\xFE";
    for (const char c : good) {
        utf16 += {c, '\0'};
    }
    std::string random(200 * 1024, ' ');
    std::mt19937 generator(4720);
    for (char& c : random) {
        c = static_cast<char>(generator());
    }
    std::string withNul = good;
    withNul[0] = '\0';
    values[19] = "abc"; // channel 3, receive frequency
    const std::string badReceive = joined(values, ",\r\n");
    values[19] = "402.125";
    values[4] = "\"x146\""; // channel 1, transmit frequency
    values[0] = "";         // no squelch level: the file starts with its line break
    const std::string badTransmit = joined(values, "\r");

    struct Case {
        const char* what;
        std::string text;
        ChannelFileProblem problem;
        std::string_view says;
    };
    const std::vector<Case> refused = {
        {"random bytes", random, ChannelFileProblem::NotText, "不是文本"},
        {"UTF-16 with a byte-order mark", utf16, ChannelFileProblem::NotText, "第 4 个字节"},
        {"a NUL byte", withNul, ChannelFileProblem::NotText, "第 1 个字节"},
        {"bare line breaks", std::string(10000, '\n'), ChannelFileProblem::Blank, "空行"},
        {"blanks and line breaks", joined(std::vector<std::string>(200, "  "), "\r\n"),
         ChannelFileProblem::Blank, "空行"},
        {"text as a receive frequency", badReceive, ChannelFileProblem::NotFrequency,
         "第 20 行的第 20 个值（信道 3 的接收频率）“abc”不是数字"},
        {"quoted text as a transmit frequency", badTransmit, ChannelFileProblem::NotFrequency,
         "第 5 行的第 5 个值（信道 1 的发送频率）“x146”不是数字"},
    };
    for (const Case& c : refused) {
        const ChannelFileLoad load = ParseChannelFile(c.text);
        EXPECT_FALSE(load.ok()) << c.what;
        EXPECT_EQ(load.problem, c.problem) << c.what;
        EXPECT_NE(load.errorText().find(c.says), std::string::npos)
            << c.what << ": " << load.errorText();
    }

    // What the program writes, even for an all-empty table, text with an
    // end-of-file mark, tabs or 8-bit (GBK) characters, and a squelch level
    // followed by nothing but line breaks still load.
    ChannelFileContents empty;
    empty.squelch = "\xB5\xB5";
    values[4] = "400.125";
    for (const std::string& text : {ChannelFileText(empty), good + "\x1A",
                                    "\t" + joined(values, ",\t"), "7" + std::string(1000, '\n')}) {
        EXPECT_TRUE(ParseChannelFile(text).ok()) << text.substr(0, 40);
    }
}

TEST(ChannelFile, WalksSixteenRowsOnly) {
    MemoryChannelCursor table(kChannelCount + 1);
    table.at(16, channel_field::kScan) = "del";
    ApplyChannelFile(parsed(joined(sampleValues(), ",")), table);
    EXPECT_EQ(table.current, 0);
    EXPECT_EQ(table.at(15, channel_field::kScan), "add");
    EXPECT_EQ(table.at(16, channel_field::kScan), "del");
    const std::string text = SaveText(table, "5");
    EXPECT_EQ(table.current, 0); // a save ends on row 1, where a pick finds a record
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), kChannelFileValueCount);
    // Read in place, a change pending in row 1 is read as the walk reads it.
    table.setField(channel_field::kScan, "del");
    EXPECT_EQ(ShownChannelFile(table, "5"), CollectChannelFile(table, "5"));

    MemoryChannelCursor shortTable(kChannelCount - 1);
    EXPECT_THROW(CollectChannelFile(shortTable, "5"), DataError);
    EXPECT_THROW(ApplyChannelFile(parsed(text), shortTable), DataError);
    // Rows before the failure keep their values.
    EXPECT_EQ(shortTable.at(14, channel_field::kBeatShift), "off");
}
