#include "channel_files/chirp_csv.h"
#include "text/number_text.h"

#include <gtest/gtest.h>

#include <random>

using namespace kr4720;
using namespace kr4720::channel_files;

namespace {

const std::string kHeader = std::string(kChirpCsvHeader) + "\r\n";

DcsCodes filledCodes() {
    DcsCodes codes;
    codes.fill();
    return codes;
}

// Fields 1 to 9 of a row; field 0 stays Null as an import leaves it.
ChannelRow row(std::vector<std::string> fields) {
    ChannelRow result;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        result[i + 1] = fields[i];
    }
    return result;
}

const ChannelRow kEmpty = row({"", "", "", "", "", "", "", "", ""});

// A CSV data line as this program writes it, from Frequency on; the columns
// that never change are filled in.
std::string line(const std::string& location, const std::string& frequencyToTone,
                 const std::string& tones, const std::string& crossMode,
                 const std::string& stepSkip, const std::string& comment = "") {
    const auto comma = tones.find(',', tones.find(',', tones.find(',') + 1) + 1);
    return location + ",," + frequencyToTone + "," + tones.substr(0, comma) + ",NN" +
           tones.substr(comma) + "," + crossMode + ",FM," + stepSkip + ",," + comment + ",,,,";
}

ChirpCsvImport parse(const std::string& text) {
    return ParseChirpCsv(text, filledCodes());
}

} // namespace

// Every Duplex, Tone and CrossMode this program writes, and the channel that
// line reads back as.
TEST(ChirpCsv, EachChannelKindWritesItsLineAndReadsBack) {
    const struct {
        ChannelRow channel;
        std::string line;
    } cases[] = {
        {row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"}),
         line("1", "146.520000,,0.000000,", "88.5,88.5,023,023", "Tone->Tone", "5.00,")},
        {row({"145.50000", "", "", "146.10000", "88.5", "", "del", "1", "on"}),
         line("1", "145.500000,+,0.600000,Tone", "88.5,88.5,023,023", "Tone->Tone", "5.00,S",
              "BCL=1 beat=on")},
        {row({"438.50000", "100.0", "", "431.10000", "100.0", "", "add", "2", "off"}),
         line("1", "438.500000,-,7.400000,TSQL", "88.5,100.0,023,023", "Tone->Tone", "5.00,",
              "BCL=2")},
        {row({"130.00000", "", "754", "200.00000", "", "754", "add", "off", "on"}),
         line("1", "130.000000,+,70.000000,DTCS", "88.5,88.5,754,754", "Tone->Tone", "5.00,",
              "beat=on")},
        {row({"130.00000", "67.0", "", "200.00500", "250.3", "", "add", "off", "off"}),
         line("1", "130.000000,split,200.005000,Cross", "250.3,67.0,023,023", "Tone->Tone",
              "5.00,")},
        {row({"446.00625", "", "023", "", "88.5", "", "add", "off", "off"}),
         line("1", "446.006250,off,0.000000,Cross", "88.5,88.5,023,023", "Tone->DTCS", "6.25,")},
        {row({"145.00625", "67.0", "", "145.00000", "", "754", "add", "off", "off"}),
         line("1", "145.006250,-,0.006250,Cross", "88.5,67.0,754,023", "DTCS->Tone", "6.25,")},
        {row({"145.00625", "", "754", "145.00500", "", "023", "add", "off", "off"}),
         line("1", "145.006250,-,0.001250,Cross", "88.5,88.5,023,754", "DTCS->DTCS", "5.00,")},
        {row({"440.00000", "88.5", "", "440.00000", "", "", "add", "off", "off"}),
         line("1", "440.000000,,0.000000,Cross", "88.5,88.5,023,023", "->Tone", "5.00,")},
        {row({"440.00000", "", "244", "440.00000", "", "", "add", "off", "off"}),
         line("1", "440.000000,,0.000000,Cross", "88.5,88.5,023,244", "->DTCS", "5.00,")},
        {row({"440.00000", "", "", "440.00000", "", "506", "add", "off", "off"}),
         line("1", "440.000000,,0.000000,Cross", "88.5,88.5,506,023", "DTCS->", "5.00,")},
    };
    for (const auto& c : cases) {
        ChannelSet set;
        for (std::size_t field = 1; field < kChannelFieldCount; ++field) {
            set.rows[0][field] = c.channel[field];
        }
        EXPECT_EQ(ChirpCsvText(set), kHeader + c.line + "\r\n");
        const ChirpCsvImport imported = parse(kHeader + c.line + "\r\n");
        ASSERT_TRUE(imported.ok()) << imported.errorText();
        EXPECT_EQ((*imported.rows)[0], c.channel) << c.line;
        EXPECT_EQ((*imported.rows)[1], kEmpty);
        EXPECT_EQ(imported.taken, 1);
    }
}

TEST(ChirpCsv, ReadsWhatOnlyOtherProgramsWriteAndIgnoresUnusedColumns) {
    const struct {
        std::string line;
        ChannelRow channel;
    } cases[] = {
        // Tone-> has a transmit tone only; values on the raster and in the lists' forms.
        {"1,,438.500005,+,7.0000049,,,,,,,,,,,,,,,,",
         row({"438.50000", "", "", "445.50000", "", "", "add", "off", "off"})},
        {"1,,146.5234,,0,Cross,100,xyz,999,RR,,Tone->,NFM,,,,,,,,",
         row({"146.52000", "", "", "146.52000", "100.0", "", "add", "off", "off"})},
        {"1,,146.52,,0,DTCS,,,23,,,,,,,,beat=off BCL=3 BCL=2,,,,",
         row({"146.52000", "", "023", "146.52000", "", "023", "add", "2", "off"})},
        {"1,,146.52,,,,88.6,-1,036,RN,754,DTCS->,,,P,,,,,,",
         row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"})},
    };
    for (const auto& c : cases) {
        const ChirpCsvImport imported = parse(kHeader + c.line);
        ASSERT_TRUE(imported.ok()) << imported.errorText();
        EXPECT_EQ(imported.skipped.size(), 0u) << imported.reportText();
        EXPECT_EQ((*imported.rows)[0], c.channel) << c.line;
    }
}

TEST(ChirpCsv, SkipsAndReportsRowsTheRadioCannotHold) {
    const struct {
        std::string values; // Frequency to CrossMode, then Mode
        std::string reason;
    } cases[] = {
        {",,0,,88.5,88.5,023,NN,023,Tone->Tone,FM", "没有频率"},
        {"abc,,0,,88.5,88.5,023,NN,023,Tone->Tone,FM", "Frequency“abc”不是频率"},
        {"146.52,+,x,,88.5,88.5,023,NN,023,Tone->Tone,FM", "Offset“x”不是数字"},
        {"146.52,x,0,,88.5,88.5,023,NN,023,Tone->Tone,FM", "Duplex“x”无法识别"},
        {"520,,0,,88.5,88.5,023,NN,023,Tone->Tone,FM", "接收频率 520 MHz 超出 130–500 MHz"},
        {"129.99,off,0,,88.5,88.5,023,NN,023,Tone->Tone,FM",
         "接收频率 129.99 MHz 超出 130–500 MHz"},
        {"498,+,5,,88.5,88.5,023,NN,023,Tone->Tone,FM", "发送频率 503 MHz 超出 130–500 MHz"},
        {"146.52,,0,,88.5,88.5,023,NN,023,Tone->Tone,AM", "Mode“AM”不是 FM 或 NFM"},
        {"146.52,,0,TSQL-R,88.5,88.5,023,NN,023,Tone->Tone,FM", "本机不支持 Tone 模式“TSQL-R”"},
        {"146.52,,0,DTCS-R,88.5,88.5,023,NN,023,Tone->Tone,FM", "本机不支持 Tone 模式“DTCS-R”"},
        {"146.52,,0,tone,88.5,88.5,023,NN,023,Tone->Tone,FM", "Tone“tone”无法识别"},
        {"146.52,,0,Cross,88.5,88.5,023,NN,023,Tone->X,FM", "CrossMode“Tone->X”无法识别"},
        {"146.52,,0,Cross,88.5,88.5,023,NN,023,->,FM", "CrossMode“->”无法识别"},
        {"146.52,,0,Tone,69.4,88.5,023,NN,023,Tone->Tone,FM",
         "rToneFreq“69.4”不是本机的 39 个哑音之一"},
        {"146.52,,0,Cross,88.5,,023,NN,023,DTCS->Tone,FM", "cToneFreq“”不是本机的 39 个哑音之一"},
        {"146.52,,0,DTCS,88.5,88.5,036,NN,023,Tone->Tone,FM",
         "DtcsCode“036”不是本机的 83 个数字哑音之一"},
        {"146.52,,0,Cross,88.5,88.5,023,NN,0234,Tone->DTCS,FM",
         "RxDtcsCode“0234”不是本机的 83 个数字哑音之一"},
        {"146.52,,0,DTCS,88.5,88.5,023,NR,023,Tone->Tone,FM", "DtcsPolarity“NR”不是 NN"},
        {"146.52,,0,Cross,88.5,88.5,023,RN,023,->DTCS,FM", "DtcsPolarity“RN”不是 NN"},
    };
    for (const auto& c : cases) {
        const ChirpCsvImport imported =
            parse(kHeader + "\r\n7,," + c.values + ",5.00,,,,,,,\r\n1,,146.52,,0,,,,,,,,,,,,,,,,");
        ASSERT_TRUE(imported.ok()) << imported.errorText();
        ASSERT_EQ(imported.skipped.size(), 1u) << c.values;
        EXPECT_EQ(imported.skipped[0].line, 3);
        EXPECT_EQ(imported.skipped[0].reason, c.reason);
        EXPECT_EQ(imported.taken, 1);
        EXPECT_EQ((*imported.rows)[0][1], "146.52000"); // the next row moves up
    }
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
        {"\n\"Location\",Offset\n", 2, "标题行缺少 Frequency 列"},
        {kHeader + "1,,146.52,,0,,88.5\r\n", 2, "只有 7 个值，标题行有 21 个"},
        {kHeader + "\r\n1,\"W1AW,146.52,,0\r\n", 3, "引号没有结束"},
        {kHeader + "1,,146.52" + std::string(1, '\0') + ",,0", 2, "不是文本文件（含有控制字符）"},
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
    for (int i = 0; i < 30; ++i) {
        const bool skipped = i % 3 == 1; // 10 rows out of range
        text += std::to_string(i) + ",," + (skipped ? "600" : std::to_string(400 + i)) +
                ",,0,,,,,,,,,,,,,,,,\n";
    }
    ChirpCsvImport imported = parse(text + "99,,50,,0,,,,,,,,,,,,,,,,\n");
    ASSERT_TRUE(imported.ok());
    EXPECT_EQ(imported.taken, 16);
    EXPECT_EQ(imported.leftOver, 4);
    ASSERT_EQ(imported.skipped.size(), 11u);
    EXPECT_EQ((*imported.rows)[15][1], "423.00000");
    const std::string report = imported.reportText();
    EXPECT_EQ(report.substr(0, report.find('\n', report.find("跳过") + 30)),
              "已导入 16 行，放入信道 1–16。\n跳过 11 行：\n第 3 行：接收频率 600 MHz 超出 "
              "130–500 MHz");
    EXPECT_NE(report.find("\n第 30 行："), std::string::npos);
    EXPECT_EQ(report.find("\n第 33 行："), std::string::npos); // only the first ten are listed
    EXPECT_NE(report.find("\n……另有 1 行未列出\n超出 16 个信道的 4 行没有导入。"),
              std::string::npos);

    EXPECT_EQ(parse(kHeader).reportText(), "没有可以导入的行。\n信道 1–16 已清空。");
    EXPECT_EQ(parse(kHeader + "1,,146.52,,0,,,,,,,,,,,,,,,,").reportText(),
              "已导入 1 行，放入信道 1。\n信道 2–16 已清空。");
}

TEST(ChirpCsv, AcceptsTheSpellingsOfOtherWriters) {
    // A byte-order mark, quoted header names, LF and CRLF, quoted values with
    // commas, doubled quotes and a line break, blank lines and "#" lines.
    const std::string text =
        "\xEF\xBB\xBF\"Location\",\"Name\",\"Frequency\",\"Duplex\",Offset,Tone,"
        "rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,Mode,Comment\n"
        "# exported list\n"
        "\n"
        "1,\"Club, \"\"North\"\"\",146.940000,-,0.600000,Tone,100.0,88.5,023,"
        "NN,FM,\"line one\nline two\"\r\n"
        "   \r\n"
        "2,x,abc,,0,,,,,,FM,\n";
    const ChirpCsvImport imported = parse(text);
    ASSERT_TRUE(imported.ok()) << imported.errorText();
    EXPECT_EQ((*imported.rows)[0],
              row({"146.94000", "", "", "146.34000", "100.0", "", "add", "off", "off"}));
    ASSERT_EQ(imported.skipped.size(), 1u);
    EXPECT_EQ(imported.skipped[0].line, 7); // the quoted line break counts
}

TEST(ChirpCsv, ReadsAFileWrittenByChirp) {
    const std::string text =
        "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
        "RxDtcsCode,CrossMode,Mode,TStep,Skip,Power,Comment,URCALL,RPT1CALL,RPT2CALL,DVCODE\r\n"
        "0,CALL,146.520000,,0.000000,,88.5,88.5,023,NN,023,Tone->Tone,FM,5.00,,50W,,,,,\r\n"
        "1,W1AW,146.940000,-,0.600000,Tone,100.0,88.5,023,NN,023,Tone->Tone,FM,5.00,,50W,,,,,\r\n"
        "2,RPT70,442.850000,+,5.000000,TSQL,88.5,131.8,023,NN,023,Tone->Tone,FM,12.50,S,5W,,,,,\r\n"
        "3,DCS,446.006250,,0.000000,DTCS,88.5,88.5,411,NN,411,Tone->Tone,NFM,6.25,,2.0W,,,,,\r\n"
        "4,XBAND,144.390000,split,445.500000,Cross,88.5,88.5,023,NN,155,Tone->DTCS,FM,5.00,,"
        "50W,,,,,\r\n"
        "5,HF,14.230000,,0.000000,,88.5,88.5,023,NN,023,Tone->Tone,USB,5.00,,50W,,,,,\r\n";
    const ChirpCsvImport imported = parse(text);
    ASSERT_TRUE(imported.ok()) << imported.errorText();
    const std::array<ChannelRow, 5> expected = {
        row({"146.52000", "", "", "146.52000", "", "", "add", "off", "off"}),
        row({"146.94000", "", "", "146.34000", "100.0", "", "add", "off", "off"}),
        row({"442.85000", "131.8", "", "447.85000", "131.8", "", "del", "off", "off"}),
        row({"446.00625", "", "411", "446.00625", "", "411", "add", "off", "off"}),
        row({"144.39000", "", "155", "445.50000", "88.5", "", "add", "off", "off"}),
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*imported.rows)[i], expected[i]) << i;
    }
    ASSERT_EQ(imported.skipped.size(), 1u);
    EXPECT_EQ(imported.skipped[0].reason, "接收频率 14.23 MHz 超出 130–500 MHz");
}

TEST(ChirpCsv, ReadsADirectoryExportWithoutTheNewerColumns) {
    const std::string text =
        "Location,Name,Frequency,Duplex,Offset,Tone,rToneFreq,cToneFreq,DtcsCode,DtcsPolarity,"
        "Mode,TStep,Skip,Comment,URCALL,RPT1CALL,RPT2CALL\r\n"
        "1,K1ABC,147.195000,+,0.600000,Tone,67.0,67.0,023,NN,FM,5.00,,Club repeater BCL=1,,,\r\n"
        "2,K1XYZ,443.800000,+,5.000000,DTCS,88.5,88.5,244,NN,FM,5.00,,,,,\r\n"
        "3,N1Q,224.940000,-,1.600000,Cross,103.5,110.9,023,NN,FM,5.00,,,,,\r\n";
    const ChirpCsvImport imported = parse(text);
    ASSERT_TRUE(imported.ok()) << imported.errorText();
    EXPECT_TRUE(imported.skipped.empty());
    EXPECT_EQ((*imported.rows)[0],
              row({"147.19500", "", "", "147.79500", "67.0", "", "add", "1", "off"}));
    EXPECT_EQ((*imported.rows)[1],
              row({"443.80000", "", "244", "448.80000", "", "244", "add", "off", "off"}));
    // Without a CrossMode column, Cross is CHIRP's default Tone->Tone.
    EXPECT_EQ((*imported.rows)[2],
              row({"224.94000", "110.9", "", "223.34000", "103.5", "", "add", "off", "off"}));
}

TEST(ChirpCsv, ExportThenImportGivesBackTheChannels) {
    std::mt19937 random(4720);
    const auto pick = [&random](int count) {
        return static_cast<int>(random() % static_cast<unsigned>(count));
    };
    const DcsCodes codes = filledCodes();
    for (int round = 0; round < 200; ++round) {
        ChannelSet set;
        const int used = pick(17);
        std::array<ChannelRow, kChannelCount> expected;
        expected.fill(kEmpty);
        for (int i = 0; i < used; ++i) {
            const auto frequency = [&] {
                const int step = pick(2) == 0 ? 500 : 625; // 10 Hz units
                return text::fiveDecimalText((13'000'000 + step * pick(37'000'000 / step + 1)) /
                                             100000.0);
            };
            const std::string receive = frequency();
            const int duplex = pick(3);
            const std::string transmit = duplex == 0 ? receive : duplex == 1 ? frequency() : "";
            std::string signals[4]; // receive tone, receive code, transmit tone, transmit code
            for (int side = 0; side < 2; ++side) {
                switch (pick(3)) {
                case 1:
                    signals[2 * side] = kCtcssTones[static_cast<std::size_t>(pick(39))];
                    break;
                case 2:
                    signals[2 * side + 1] = kDcsCodeList[static_cast<std::size_t>(pick(83))];
                    break;
                }
            }
            const std::string busyLockout[] = {"off", "1", "2"};
            const ChannelRow channel = row({receive, signals[0], signals[1], transmit, signals[2],
                                            signals[3], pick(2) == 0 ? "add" : "del",
                                            busyLockout[pick(3)], pick(2) == 0 ? "off" : "on"});
            // Rows without a receive frequency are not exported: the used ones move up.
            const auto place = static_cast<std::size_t>(pick(kChannelCount));
            if (set.rows[place][1]) {
                continue;
            }
            for (std::size_t field = 1; field < kChannelFieldCount; ++field) {
                set.rows[place][field] = channel[field];
            }
        }
        std::size_t next = 0;
        for (const ChannelRow& channel : set.rows) {
            if (channel[1]) {
                expected[next] = channel;
                expected[next++][0].reset();
            }
        }
        const ChirpCsvImport imported = ParseChirpCsv(ChirpCsvText(set), codes);
        ASSERT_TRUE(imported.ok()) << imported.errorText();
        ASSERT_TRUE(imported.skipped.empty()) << imported.reportText() << ChirpCsvText(set);
        EXPECT_EQ(*imported.rows, expected) << ChirpCsvText(set);
    }
}

TEST(ChirpCsv, ApplyStoresFieldsOneToNineOfEveryRow) {
    const ChirpCsvImport imported = parse(kHeader + "1,,146.52,,0,,,,,,,,,,,,,,,,");
    ASSERT_TRUE(imported.ok());
    ChannelSet set;
    set.rows[3][1] = "440.00000";
    ChannelSetCursor cursor(set);
    ApplyChirpCsvRows(*imported.rows, cursor);
    EXPECT_EQ(cursor.currentRow(), 0);
    EXPECT_EQ(set.rows[0],
              (ChannelRow{"1", "146.52000", "", "", "146.52000", "", "", "add", "off", "off"}));
    EXPECT_EQ(set.rows[3], (ChannelRow{"4", "", "", "", "", "", "", "", "", ""}));
}
