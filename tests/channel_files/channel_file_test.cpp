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

namespace {

// The channel table in memory: rows numbered "1", "2", ... and everything
// else Null; any access after the last row fails.
using FakeChannelCursor = MemoryChannelCursor;

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

} // namespace

TEST(ChannelFile, SaveThenLoadGivesTheFieldsBack) {
    FakeChannelCursor table;
    const std::vector<FieldValue> row1 = {"1",     "146.12500", "67.0", "023", "146.12500",
                                          "100.0", "754",       "add",  "1",   "on"};
    const std::vector<FieldValue> row2 = {"2", "435", "",    "  ",  std::nullopt,
                                          " ", "",    "del", "off", "off"};
    for (int f = 0; f < kChannelFieldCount; ++f) {
        table.at(0, f) = row1[static_cast<std::size_t>(f)];
        table.at(1, f) = row2[static_cast<std::size_t>(f)];
    }
    table.at(15, channel_field::kBusyLockout) = "2";

    const std::string text = SaveText(table, " 3");
    // The cursor stays after row 16, as the save leaves it.
    EXPECT_EQ(table.current, 16);
    EXPECT_TRUE(text.starts_with(" 3,\r\n146.12500,67.0,023,146.12500,100.0,754,add,1,on,\r\n"
                                 "435,,  ,, ,,del,off,off,\r\n,,,,,,,,,\r\n"));
    EXPECT_TRUE(text.ends_with(",,,,,,,2,,\r\n"));
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), kChannelFileValueCount);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), kChannelCount + 1);

    const ChannelFileLoad load = ParseChannelFile(text);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.contents->squelch, "3"); // the leading blank is skipped

    FakeChannelCursor loaded;
    loaded.at(5, channel_field::kScan) = "add"; // overwritten by the file's Null
    ApplyChannelFile(*load.contents, loaded);
    EXPECT_EQ(loaded.current, 0);
    const std::vector<FieldValue> expected1 = {"1",   "146.12500", "67",  "023", "146.12500",
                                               "100", "754",       "add", "1",   "on"};
    const std::vector<FieldValue> expected2 = {
        "2",          "435.00000",  std::nullopt, std::nullopt, std::nullopt,
        std::nullopt, std::nullopt, "del",        "off",        "off"};
    for (int f = 0; f < kChannelFieldCount; ++f) {
        EXPECT_EQ(loaded.at(0, f), expected1[static_cast<std::size_t>(f)]) << "field " << f;
        EXPECT_EQ(loaded.at(1, f), expected2[static_cast<std::size_t>(f)]) << "field " << f;
    }
    EXPECT_EQ(loaded.at(5, channel_field::kScan), std::nullopt);
    EXPECT_EQ(loaded.at(15, channel_field::kBusyLockout), "2");
    EXPECT_EQ(loaded.at(15, channel_field::kNumber), "16"); // the channel number is never touched

    // Saving the loaded table and loading again changes nothing more.
    EXPECT_EQ(parsed(SaveText(loaded, load.contents->squelch)), *load.contents);
}

TEST(ChannelFile, BothLayoutsAndEveryLineBreakReadTheSame) {
    const auto values = sampleValues();
    const ChannelFileContents commas = parsed(joined(values, ","));
    EXPECT_EQ(commas.squelch, "5");
    EXPECT_EQ(commas.rows[3][1], "403.12500");
    EXPECT_EQ(commas.rows[3][2], "88.5");
    EXPECT_EQ(commas.rows[3][3], std::nullopt);
    EXPECT_EQ(commas.rows[3][6], "023");
    EXPECT_EQ(commas.rows[3][7], "add");
    EXPECT_EQ(commas.rows[3][9], "on");
    EXPECT_EQ(commas.rows[15][8], "2");

    EXPECT_EQ(parsed(joined(values, ",\r\n")), commas);
    EXPECT_EQ(parsed(joined(values, ",\n")), commas);
    EXPECT_EQ(parsed(joined(values, ",\r")), commas);
    // A line break alone ends a value as a comma does.
    EXPECT_EQ(parsed(joined(values, "\r\n")), commas);
    EXPECT_EQ(parsed(joined(values, "\n")), commas);
    // The last value needs no separator at all.
    std::string open = joined(values, ",");
    open.pop_back();
    EXPECT_EQ(parsed(open), commas);
}

TEST(ChannelFile, NextFileValueTypesValues) {
    FileValueReader reader("12,12,,  7,7 ,1e3,-.5,abc,1.2.3,\"7\",\"a,b\"xyz,\"\",\"open");
    const std::vector<FileValue> expected = {std::string("12"),
                                             12.0,
                                             NoValue{},
                                             7.0,
                                             std::string("7 "),
                                             1000.0,
                                             -0.5,
                                             std::string("abc"),
                                             std::string("1.2.3"),
                                             std::string("7"),
                                             std::string("a,b"),
                                             std::string(""),
                                             std::string("open")};
    for (const FileValue& value : expected) {
        const auto read = NextFileValue(reader);
        ASSERT_TRUE(read.has_value());
        EXPECT_EQ(*read, value) << "value " << reader.valuesRead;
    }
    EXPECT_EQ(NextFileValue(reader), std::nullopt);

    // An empty line is one value with no characters; blanks before the end fail.
    FileValueReader lines("a,\r\n\r\nb\n\n   ");
    EXPECT_EQ(NextFileValue(lines), FileValue(std::string("a")));
    EXPECT_EQ(NextFileValue(lines), FileValue(NoValue{}));
    EXPECT_EQ(NextFileValue(lines), FileValue(std::string("b")));
    EXPECT_EQ(NextFileValue(lines), FileValue(NoValue{}));
    EXPECT_EQ(NextFileValue(lines), std::nullopt);
    EXPECT_EQ(lines.valuesRead, 4);

    // The first value is text even when it is empty or a number.
    FileValueReader empty(",");
    EXPECT_EQ(NextFileValue(empty), FileValue(std::string()));
    EXPECT_EQ(NextFileValue(empty), std::nullopt);

    EXPECT_EQ(storedFieldValue(67.0), "67");
    EXPECT_EQ(storedFieldValue(23.0), "23");
    EXPECT_EQ(storedFieldValue(std::string("off")), "off");
    EXPECT_EQ(storedFieldValue(NoValue{}), std::nullopt);
}

TEST(ChannelFile, FieldRulesForQuotedAndTextValues) {
    auto values = sampleValues();
    values[0] = "\" 3\"";      // quoted squelch keeps its blank
    values[1] = "abc";         // text in a frequency field passes unchanged
    values[2] = "\"023\"";     // quoted: stays text, no number rule
    values[3] = "\"23\"junk";  // two characters get the "0"; text after the quote is dropped
    values[4] = "\"146.125\""; // a quoted number is still a frequency
    values[6] = "5";           // one character: no "0"
    values[10] = "0.5";
    values[11] = "3.50";
    values[12] = "1234";
    values[15] = "ab";         // the two-character rule counts text too
    values[16] = "\"a\"\"b\""; // a second quote ends nothing: the rest is dropped
    const ChannelFileContents contents = parsed(joined(values, ","));
    EXPECT_EQ(contents.squelch, " 3");
    EXPECT_EQ(contents.rows[0][1], "abc");
    EXPECT_EQ(contents.rows[0][2], "023");
    EXPECT_EQ(contents.rows[0][3], "023");
    EXPECT_EQ(contents.rows[0][4], "146.12500");
    EXPECT_EQ(contents.rows[0][6], "5");
    EXPECT_EQ(contents.rows[1][1], ".50000");
    EXPECT_EQ(contents.rows[1][2], "3.5");
    EXPECT_EQ(contents.rows[1][3], "1234");
    EXPECT_EQ(contents.rows[1][6], "0ab");
    EXPECT_EQ(contents.rows[1][7], "a");
    EXPECT_EQ(contents.rows[1][8], "2"); // the values after it are still in place
}

TEST(ChannelFile, ShortAndLongFiles) {
    auto values = sampleValues();

    const ChannelFileLoad empty = ParseChannelFile("");
    EXPECT_FALSE(empty.ok());
    EXPECT_EQ(empty.missingValue, 1);

    values.pop_back();
    const ChannelFileLoad shortFile = ParseChannelFile(joined(values, ","));
    EXPECT_FALSE(shortFile.ok());
    EXPECT_EQ(shortFile.missingValue, 145);
    EXPECT_NE(shortFile.errorText().find("145"), std::string::npos);

    const ChannelFileLoad three = ParseChannelFile("1,2,3,  \r\n");
    EXPECT_EQ(three.missingValue, 5); // the empty line is value 4
    EXPECT_NE(three.errorText().find(" 5 "), std::string::npos);

    // Values after the 145th are never read, however much follows.
    values = sampleValues();
    const std::string exact = joined(values, ",");
    std::string huge = exact + "9,x,\"never closed";
    huge.append(32 * 1024 * 1024, 'z');
    const ChannelFileLoad load = ParseChannelFile(huge);
    ASSERT_TRUE(load.ok());
    EXPECT_EQ(load.charactersUsed, exact.size());
    EXPECT_EQ(*load.contents, parsed(exact));
}

TEST(ChannelFile, WalksSixteenRowsOnly) {
    FakeChannelCursor table(kChannelCount + 1);
    table.at(16, channel_field::kScan) = "del";
    ApplyChannelFile(parsed(joined(sampleValues(), ",")), table);
    EXPECT_EQ(table.current, 0);
    EXPECT_EQ(table.at(15, channel_field::kScan), "add");
    EXPECT_EQ(table.at(16, channel_field::kScan), "del");
    EXPECT_EQ(table.at(16, channel_field::kReceiveFrequency), std::nullopt);

    const std::string text = SaveText(table, "5");
    EXPECT_EQ(table.current, 16);
    EXPECT_EQ(std::count(text.begin(), text.end(), ','), kChannelFileValueCount);

    FakeChannelCursor shortTable(kChannelCount - 1);
    EXPECT_THROW(CollectChannelFile(shortTable, "5"), DataError);
    EXPECT_THROW(ApplyChannelFile(parsed(text), shortTable), DataError);
    EXPECT_EQ(shortTable.at(14, channel_field::kBeatShift),
              "off"); // rows before the failure keep their values
}
