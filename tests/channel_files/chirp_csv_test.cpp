#include "channel_files/chirp_csv.h"
#include "support/dcs_codes.h"
#include "text/number_text.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

using namespace kr4720;
using namespace kr4720::channel_files;

namespace {

const std::string kHeader = std::string(kChirpCsvHeader) + "\r\n";

// Fields 1 to 9 of a row; field 0 stays Null as an import leaves it.
ChannelRow row(std::vector<std::string> fields) {
    ChannelRow result;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        result[i + 1] = fields[i];
    }
    return result;
}

using ChannelRows = std::array<ChannelRow, kChannelCount>;

const ChannelRow kEmpty = row({"", "", "", "", "", "", "", "", ""});

ChirpCsvImport parse(const std::string& text) {
    return ParseChirpCsv(text, filledDcsCodes());
}

// A file from data/ beside this test.
std::string dataFile(const std::string& name) {
    std::ifstream in(std::string(KR4720_TEST_DATA) + "/" + name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// What this import gives, skipping nothing.
ChannelRows imported(const std::string& name) {
    const ChirpCsvImport result = parse(dataFile(name));
    EXPECT_TRUE(result.ok()) << result.errorText();
    EXPECT_TRUE(result.skipped.empty()) << name << ' ' << result.reportText();
    return result.rows.value_or(ChannelRows{});
}

} // namespace

// Every Duplex, Tone and CrossMode this program writes, and the channel each
// line reads back as.
TEST(ChirpCsv, EachChannelKindWritesItsLineAndReadsBack) {
    const std::vector<ChannelRow> channels = {
        row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"}),
        row({"145.50000", "", "", "146.10000", "88.5", "", "del", "1", "on"}),
        row({"438.50000", "100.0", "", "431.10000", "100.0", "", "add", "2", "off"}),
        row({"130.00000", "", "754", "200.00000", "", "754", "add", "off", "on"}),
        row({"130.00000", "67.0", "", "200.00500", "250.3", "", "add", "off", "off"}),
        row({"446.00625", "", "023", "", "88.5", "", "add", "off", "off"}),
        row({"145.00625", "67.0", "", "145.00000", "", "754", "add", "off", "off"}),
        row({"145.00625", "", "754", "145.00500", "", "023", "add", "off", "off"}),
        row({"440.00000", "88.5", "", "440.00000", "", "", "add", "off", "off"}),
        row({"440.00000", "", "244", "440.00000", "", "", "add", "off", "off"}),
        row({"440.00000", "", "", "440.00000", "", "506", "add", "off", "off"}),
    };
    ChannelSet set;
    ChannelRows expected;
    expected.fill(kEmpty);
    for (std::size_t i = 0; i < channels.size(); ++i) {
        std::copy(channels[i].begin() + 1, channels[i].end(), set.rows[i].begin() + 1);
        expected[i] = channels[i];
    }
    EXPECT_EQ(ChirpCsvText(set), dataFile("kinds.csv"));
    EXPECT_EQ(imported("kinds.csv"), expected);
}

// Tone-> has a transmit tone only; values off the raster and in the lists'
// other forms; columns the row's Tone mode does not use are ignored. A
// directory export lacks the newer columns.
TEST(ChirpCsv, ReadsWhatOnlyOtherProgramsWriteAndIgnoresUnusedColumns) {
    const ChannelRows rows = imported("others.csv");
    EXPECT_EQ(rows[0], row({"438.50000", "", "", "445.50000", "", "", "add", "off", "off"}));
    EXPECT_EQ(rows[1], row({"146.52000", "", "", "146.52000", "100.0", "", "add", "off", "off"}));
    EXPECT_EQ(rows[2], row({"146.52000", "", "023", "146.52000", "", "023", "add", "7", "off"}));
    EXPECT_EQ(rows[3], row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"}));

    const ChannelRows old = imported("directory_export.csv");
    EXPECT_EQ(old[0], row({"147.19500", "", "", "147.79500", "67.0", "", "add", "1", "off"}));
    EXPECT_EQ(old[1], row({"443.80000", "", "244", "448.80000", "", "244", "add", "off", "off"}));
    // Without a CrossMode column, Cross is CHIRP's default Tone->Tone.
    EXPECT_EQ(old[2],
              row({"224.94000", "110.9", "", "223.34000", "103.5", "", "add", "off", "off"}));
}

TEST(ChirpCsv, SkipsAndReportsRowsTheRadioCannotHold) {
    const std::vector<std::string> reasons = {
        "没有频率",
        "Frequency“a频率频率频率频…”不是频率", // "a" and what follows it; cut on a character
        "Offset“x”不是数字",
        "Offset“-0.6”不能为负数",
        "Duplex“…”无法识别", // 30 bytes that start no character: none is shown
        "接收频率 520 MHz 超出 130–500 MHz",
        "接收频率 129.99 MHz 超出 130–500 MHz",
        "发送频率 503 MHz 超出 130–500 MHz",
        "Mode“AM”不是 FM 或 NFM",
        "本机不支持 Tone 模式“TSQL-R”",
        "本机不支持 Tone 模式“DTCS-R”",
        "Tone“tonetonetonetonetonetone”无法识别", // 24 bytes: shown whole
        "CrossMode“Tone->X”无法识别",
        "CrossMode“->”无法识别",
        "rToneFreq“69.4”不是本机的 39 个哑音之一",
        "cToneFreq“”不是本机的 39 个哑音之一",
        "DtcsCode“036”不是本机的 83 个数字哑音之一",
        "RxDtcsCode“0234”不是本机的 83 个数字哑音之一",
        "DtcsPolarity“NR”不是 NN",
        "DtcsPolarity“RN”不是 NN",
    };
    const ChirpCsvImport imported = parse(dataFile("skips.csv"));
    ASSERT_TRUE(imported.ok()) << imported.errorText();
    ASSERT_EQ(imported.skipped.size(), reasons.size());
    for (std::size_t i = 0; i < reasons.size(); ++i) {
        EXPECT_EQ(imported.skipped[i].line, static_cast<int>(i) + 2);
        EXPECT_EQ(imported.skipped[i].reason, reasons[i]);
    }
    EXPECT_EQ(imported.taken, 1);
    EXPECT_EQ((*imported.rows)[0][1], "146.52000"); // the row after them moves up
}

TEST(ChirpCsv, RefusesFilesItCannotReadNamingLineAndProblem) {
    const struct {
        std::string text;
        int line;
        std::string error;
    } cases[] = {
        {"", 1, "没有标题行"},
        {"\n# only a comment\n", 1, "没有标题行"},
        {"Name,Frequency\r\n1,146.52\r\n", 1, "标题行缺少 Location 列"},
        {"Location;Frequency\r\n", 1,
         "标题行缺少 Location 列（这一行用分号分隔，CSV 文件要用逗号分隔）"},
        {"Location\tFrequency\r\n", 1,
         "标题行缺少 Location 列（这一行用制表符分隔，CSV 文件要用逗号分隔）"},
        {"\n\"Location\",Offset\n", 2, "标题行缺少 Frequency 列"},
        {kHeader + "1,,146.52,,0,,88.5\r\n", 2, "只有 7 个值，标题行有 21 个"},
        {kHeader + "1,,146.52,,0,,88.5,88.5,023,NN,023,,FM,5,,BCL=1, beat=on,,,,,\n", 2,
         "有 22 个值，标题行只有 21 个（含逗号的值要加引号）"},
        {kHeader + "\r\n1,\"W1AW,146.52,,0\r\n", 3, "引号没有结束"},
        {kHeader + "1,,146.52" + std::string(1, '\0') + ",,0", 2, "不是文本文件（含有控制字符）"},
        {"Location\r\r1,,146.52\x01", 3, "不是文本文件（含有控制字符）"},
        {std::string("\xFF\xFEL\0", 4), 1, "这是 UTF-16 文本，请另存为 UTF-8 编码的 CSV 文件"},
    };
    for (const auto& c : cases) {
        const ChirpCsvImport imported = parse(c.text);
        EXPECT_FALSE(imported.ok());
        EXPECT_EQ(imported.errorLine, c.line) << c.error;
        EXPECT_EQ(imported.error, c.error);
    }
    EXPECT_EQ(parse("Location\n").errorText(), "第 1 行：标题行缺少 Frequency 列");
}

TEST(ChirpCsv, ReportsTakenSkippedAndLeftOver) {
    std::string text = kHeader;
    for (int i = 0; i < 27; ++i) {
        const bool skipped = i % 3 == 1 || i == 26; // 10 rows out of range
        text += std::to_string(i) + ",," + (skipped ? "600" : std::to_string(400 + i)) +
                ",,0,,,,,,,,,,,,,,,,\n";
    }
    EXPECT_EQ(parse(text).reportText().find("另有"), std::string::npos); // ten: all listed
    ChirpCsvImport imported = parse(text + "99,,50,,0,,,,,,,,,,,,,,,,\n");
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported.taken, 16);
    EXPECT_EQ(imported.leftOver, 1);
    ASSERT_EQ(imported.skipped.size(), 11u);
    EXPECT_EQ((*imported.rows)[15][1], "423.00000");
    const std::string report = imported.reportText();
    EXPECT_EQ(report.substr(0, report.find('\n', report.find("跳过") + 30)),
              "已导入 16 行，放入信道 1–16。\n跳过 11 行：\n第 3 行：接收频率 600 MHz 超出 "
              "130–500 MHz");
    EXPECT_NE(report.find("\n第 28 行："), std::string::npos);
    EXPECT_EQ(report.find("\n第 29 行："), std::string::npos); // only the first ten are listed
    EXPECT_NE(report.find("\n……另有 1 行未列出\n超出 16 个信道的 1 行没有导入。"),
              std::string::npos);

    EXPECT_EQ(parse(kHeader).reportText(), "没有可以导入的行。");
    // Frequencies off the raster are named as stored; a transmit frequency
    // equal to the receive one once.
    EXPECT_EQ(parse(kHeader + "1,,145.0025,,0,,,,,,,,,,,,,,,,\n2,,146.52,+,0.6025,,,,,,,,,,,,,,,,")
                  .reportText(),
              "已导入 2 行，放入信道 1–2。\n信道 3–16 已清空。\n频率不在步进上、已改动的 2 行："
              "\n第 2 行：接收频率 145.0025 MHz 存为 145.00000\n第 3 行：发送频率 147.1225 MHz "
              "存为 147.12000");
    EXPECT_EQ(
        parse(kHeader + "1,,146.52,,0,,,,,,,,,,,,,,,,\n2,,600,,0,,,,,,,,,,,,,,,,").reportText(),
        "已导入 1 行，放入信道 1。\n信道 2–16 已清空。\n跳过 1 行：\n第 3 行：接收频率 600 MHz "
        "超出 130–500 MHz");
    // Carriage returns alone end a "#" line as they end a row, and count as
    // one line break inside quotes, as CR LF does.
    EXPECT_EQ(
        parse(
            std::string(kChirpCsvHeader) +
            "\r# a note\r1,\"a\rb\",146.52,,0,,,,,,,,,,,\"c\r\nd\",,,,,\r2,,600,,0,,,,,,,,,,,,,,,,")
            .reportText(),
        "已导入 1 行，放入信道 1。\n信道 2–16 已清空。\n跳过 1 行：\n第 6 行：接收频率 600 MHz "
        "超出 130–500 MHz");
}

// Also with a byte-order mark, quoted header names in any case, LF, CR and
// CRLF, quoted values with commas, doubled quotes and a line break, blanks and
// tabs around a value, blank lines, a row of bare commas, "#" lines and a
// Ctrl-Z at the end.
TEST(ChirpCsv, ReadsAFileWrittenByChirpAndTheSpellingsOfOtherWriters) {
    const ChirpCsvImport spelt = parse(dataFile("other_spellings.csv"));
    ASSERT_TRUE(spelt.ok()) << spelt.errorText();
    EXPECT_EQ((*spelt.rows)[0],
              row({"146.94000", "", "", "146.34000", "100.0", "", "add", "off", "off"}));
    ASSERT_EQ(spelt.skipped.size(), 2u);
    EXPECT_EQ(spelt.skipped[0].line, 8); // the quoted line break counts, and blank lines
    // A "#" line with a value for every column is named; a shorter one is a comment.
    EXPECT_EQ(spelt.skipped[1].line, 9);
    EXPECT_EQ(spelt.skipped[1].reason, "以 # 开头，当作注释，没有导入");

    const ChirpCsvImport imported = parse(dataFile("chirp_export.csv"));
    ASSERT_TRUE(imported.ok()) << imported.errorText();
    const std::vector<ChannelRow> expected = {
        row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"}),
        row({"146.94000", "", "", "146.34000", "100.0", "", "add", "off", "off"}),
        row({"442.85000", "131.8", "", "447.85000", "131.8", "", "del", "off", "off"}),
        row({"446.00625", "", "411", "446.00625", "", "411", "add", "off", "off"}),
        row({"144.39000", "", "155", "445.50000", "88.5", "", "add", "off", "off"}),
    };
    EXPECT_EQ(std::vector<ChannelRow>(imported.rows->begin(), imported.rows->begin() + 5),
              expected);
    ASSERT_EQ(imported.skipped.size(), 1u);
    EXPECT_EQ(imported.skipped[0].reason, "接收频率 14.23 MHz 超出 130–500 MHz");
}

TEST(ChirpCsv, ExportThenImportGivesBackTheChannels) {
    std::mt19937 random(4720);
    const auto pick = [&random](int count) {
        return static_cast<int>(random() % static_cast<unsigned>(count));
    };
    const auto frequency = [&] {
        const int step = pick(2) == 0 ? 500 : 625; // 10 Hz units
        return text::fiveDecimalText((13'000'000 + step * pick(37'000'000 / step + 1)) / 100000.0);
    };
    const std::string busyLockout[] = {"off", "1", "2"};
    for (int round = 0; round < 200; ++round) {
        ChannelSet set;
        ChannelRows expected;
        expected.fill(kEmpty);
        std::size_t used = 0;
        for (ChannelRow& stored : set.rows) {
            if (pick(3) == 0) {
                continue; // not exported: the rows after it move up
            }
            const std::string receive = frequency();
            const int duplex = pick(3);
            const std::string transmit = duplex == 0 ? receive : duplex == 1 ? frequency() : "";
            std::string signals[4]; // receive tone, receive code, transmit tone, transmit code
            for (int side = 0; side < 2; ++side) {
                if (const int kind = pick(3); kind == 1) {
                    signals[2 * side] = kCtcssTones[static_cast<std::size_t>(pick(39))];
                } else if (kind == 2) {
                    signals[2 * side + 1] = kDcsCodeList[static_cast<std::size_t>(pick(83))];
                }
            }
            expected[used] = row({receive, signals[0], signals[1], transmit, signals[2], signals[3],
                                  pick(2) == 0 ? "add" : "del", busyLockout[pick(3)],
                                  pick(2) == 0 ? "off" : "on"});
            std::copy(expected[used].begin() + 1, expected[used].end(), stored.begin() + 1);
            ++used;
        }
        const ChirpCsvImport imported = parse(ChirpCsvText(set));
        ASSERT_TRUE(imported.ok()) << imported.errorText();
        ASSERT_TRUE(imported.skipped.empty()) << imported.reportText() << ChirpCsvText(set);
        EXPECT_EQ(*imported.rows, expected) << ChirpCsvText(set);
        EXPECT_EQ(CsvExportNote(set, filledDcsCodes()), "") << ChirpCsvText(set);
    }
}

// The note names the channels whose line cannot bring back what the radio gets.
TEST(ChirpCsv, AnExportNamesTheChannelsItsLinesCannotBringBack) {
    const std::vector<ChannelRow> channels = {
        row({"438.5", "68"}), // a tone not among the 39
        row({"146.52", "67.0", "", "146.52", "", "754", " ", " ", " "}),
        row({"145.5", "", "036"}), // a code not among the 83
        row({"520"}),
        row({"446.001"}), // off the raster
        row({"145.5", "", "", "", "", "", "DEL"}),
        row({"145.5", "", "", "", "", "", "", "", "ON"}),
        row({"145.5", "", "", "", "", "", "", "X"}),
        row({"145.5", "abc"}),
        row({"145,5"}),
        row({"0", "88.5"}),       // empty, as in the radio
        row({"145.5", "1e300"})}; // a tone no line can hold, from a file
    ChannelSet set;
    std::copy(channels.begin(), channels.end(), set.rows.begin());
    set.rows[15] = row({"520"}); // the last channel too
    EXPECT_EQ(CsvExportNote(set, filledDcsCodes()),
              "注意：CSV 文件不能照原样保存信道 1、3、4、5、6、7、8、9、10、12、16 "
              "的设置，导入时它们会被跳过或改变");
}
