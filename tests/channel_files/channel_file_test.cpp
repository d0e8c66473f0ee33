#include "channel_data/data_error.h"
#include "channel_files/channel_file.h"
#include "channel_files/file_value_reader.h"
#include "support/memory_cursors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace kr4720;
using namespace kr4720::channel_files;
using namespace std::string_literals;

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
        {"435", "", "  ", std::nullopt, " ", "", "del", "off", "off"}};
    const std::vector<std::vector<FieldValue>> loadedBack = {
        {"146.12500", "67", "023", "146.12500", "100", "754", "add", "1", "on"},
        {"435.00000", {}, {}, {}, {}, {}, "del", "off", "off"}};
    MemoryChannelCursor table;
    std::copy(stored[0].begin(), stored[0].end(), table.rows[0].begin() + 1);
    std::copy(stored[1].begin(), stored[1].end(), table.rows[1].begin() + 1);
    table.at(15, channel_field::kBusyLockout) = "2";
    const std::string text = SaveText(table, " 3");
    EXPECT_TRUE(text.starts_with(" 3,\r\n146.12500,67.0,023,146.12500,100.0,754,add,1,on,\r\n"
                                 "435,,  ,, ,,del,off,off,\r\n,,,,,,,,,\r\n"));
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
}

TEST(ChannelFile, NextFileValueTypesValues) {
    const std::vector<std::pair<std::string_view, std::vector<FileValue>>> cases = {
        {"12,12,,  7,7 ,1e3,-.5,abc,1.2.3,\"7\",\"a,b\"xyz,\"\",\"open",
         {"12"s, 12.0, NoValue{}, 7.0, "7 "s, 1000.0, -0.5, "abc"s, "1.2.3"s, "7"s, "a,b"s, ""s,
          "open"s}},
        // An empty line is one value with no characters; blanks before the end are nothing.
        {"a,\r\n\r\nb\n\n   ", {"a"s, NoValue{}, "b"s, NoValue{}}},
        {",", {""s}}, // the first value is text even when empty
    };
    for (const auto& [text, expected] : cases) {
        FileValueReader reader(text);
        for (const FileValue& value : expected) {
            const auto read = NextFileValue(reader);
            ASSERT_TRUE(read.has_value()) << text;
            EXPECT_EQ(*read, value) << text << " value " << reader.valuesRead;
        }
        EXPECT_EQ(NextFileValue(reader), std::nullopt) << text;
        EXPECT_EQ(reader.valuesRead, static_cast<int>(expected.size()));
    }
}

TEST(ChannelFile, FieldRulesForQuotedAndTextValues) {
    // Text in a frequency field passes unchanged; a quoted value stays text with no number rule,
    // but a quoted number is still a frequency; two characters (text too) get a "0" in a code
    // field, one does not; text after the closing quote is dropped, and a second quote ends
    // nothing, so the values after it stay in place.
    const auto values = sampleValues();
    const ChannelFileContents contents =
        parsed("\" 3\",abc,\"023\",\"23\"junk,\"146.125\",,5,,,,\r\n"
               "0.5,3.50,1234,,,ab,\"a\"\"b\",2,,\r\n" +
               joined({values.begin() + 19, values.end()}, ","));
    EXPECT_EQ(contents.squelch, " 3"); // a quoted squelch keeps its blank
    EXPECT_EQ(fields(contents.rows[0]),
              std::vector<FieldValue>({"abc", "023", "023", "146.12500", {}, "5", {}, {}, {}}));
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
}

TEST(ChannelFile, WalksSixteenRowsOnly) {
    MemoryChannelCursor table(kChannelCount + 1);
    table.at(16, channel_field::kScan) = "del";
    ApplyChannelFile(parsed(joined(sampleValues(), ",")), table);
    EXPECT_EQ(table.current, 0);
    EXPECT_EQ(table.at(15, channel_field::kScan), "add");
    EXPECT_EQ(table.at(16, channel_field::kScan), "del");
    const std::string text = SaveText(table, "5");
    EXPECT_EQ(table.current, 16); // the save leaves the cursor after row 16
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), kChannelFileValueCount);

    MemoryChannelCursor shortTable(kChannelCount - 1);
    EXPECT_THROW(CollectChannelFile(shortTable, "5"), DataError);
    EXPECT_THROW(ApplyChannelFile(parsed(text), shortTable), DataError);
    // Rows before the failure keep their values.
    EXPECT_EQ(shortTable.at(14, channel_field::kBeatShift), "off");
}
