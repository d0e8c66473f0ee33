#include "radio_link/radio_image.h"
#include "radio_link/record_codec.h"

#include "support/dcs_codes.h"
#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace kr4720::radio_link {
namespace {

namespace f = channel_field;
using Fields = std::array<std::optional<std::string>, kChannelFieldCount>;
using EmergencyFields = std::array<std::string, kEmergencyFieldCount>;

const DcsCodes& codes = filledDcsCodes();

// The worked example row: channel 1, 435 MHz both ways, transmit tone 67.0.
ChannelRow exampleRow(int field = f::kNumber, FieldValue value = "1") {
    ChannelRow row = {"1", "435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"};
    row[static_cast<std::size_t>(field)] = std::move(value);
    return row;
}

Fields decodedFields(std::string_view record) {
    return DecodeChannelRecord(record, codes).fields;
}

// The write test checks whole records of both kinds.
TEST(RecordCodec, EncodesRecordsAndTheirFields) {
    EXPECT_EQ(EncodeEmergencyRecord({"450", "460", "on"}, "").record,
              "00000050494000001000000000460000");
    // Only an explicit "off" turns the emergency beat shift off.
    EXPECT_EQ(EncodeEmergencyRecord({"", {}, {}}, "9").record, "00090000000000001000000000000000");

    // Frequencies off the channel raster; the raster itself comes round below.
    const std::vector<std::tuple<FieldValue, bool, std::string>> frequencies = {
        {"55.05", true, "00000001"}, {"1045.04999", true, "99999999"},
        {"100", false, "00000010"},  {"999.99999", false, "99999999"},
        {{}, true, "00000000"},      {"  ", false, "00000000"},
        {"off", true, "00000000"},   {"0", false, "00000000"}};
    for (const auto& [megahertz, receive, field] : frequencies) {
        EXPECT_EQ(EncodeFrequencyField(megahertz, receive), field) << megahertz.value_or("null");
    }

    // A tone wins over a code; codes are matched as written and 036 is not listed.
    const std::vector<std::tuple<FieldValue, FieldValue, std::string>> tones = {
        {"67.0", {}, "7006"},    {"10.0", "", "0001"}, {"999.9", " ", "9999"}, {"", "023", "0155"},
        {{}, "134", "1555"},     {" ", "244", "2255"}, {"  ", "506", "3E55"},  {{}, "754", "5355"},
        {"67.0", "023", "7006"}, {{}, "036", "0055"},  {{}, "23", "0055"},     {{}, {}, "0000"},
        {"", " ", "0000"}};
    for (const auto& [ctcss, dcs, field] : tones) {
        EXPECT_EQ(EncodeToneField(ctcss, dcs, codes), field) << field;
    }

    // Channel number, then the flag and BCL characters.
    const std::vector<std::tuple<int, FieldValue, std::string>> parts = {
        {f::kNumber, "10", "0A00"},     {f::kNumber, "255", "FF00"},
        {f::kNumber, {}, "0000"},       {f::kBeatShift, "on", "0110"},
        {f::kScan, "del", "0120"},      {f::kScan, "  ", "0100"},
        {f::kScan, {}, "0100"},         {f::kBusyLockout, " 2 ", "0102"},
        {f::kBusyLockout, " ", "0100"}, {f::kBusyLockout, {}, "0100"}};
    for (const auto& [field, value, expected] : parts) {
        const auto record = EncodeChannelRecord(exampleRow(field, value), codes).record;
        EXPECT_EQ(record.substr(0, 2) + record.substr(16, 2), expected) << field;
    }

    // Without a receive frequency nothing else is looked at.
    for (const FieldValue& receive : {FieldValue(), FieldValue("   "), FieldValue("0.00000")}) {
        ChannelRow row = exampleRow(f::kReceiveFrequency, receive);
        row[f::kNumber] = "300";
        row[f::kReceiveTone] = "6.7";
        EXPECT_EQ(EncodeChannelRecord(row, codes).record, EmptyRecord);
    }
}

// Channel fields by their index, then the emergency fields and the squelch level as 10 to 13.
TEST(RecordCodec, RefusalsNameTheFieldTheRecordCannotCarry) {
    const std::vector<std::tuple<int, std::vector<const char*>, std::string>> cases = {
        {f::kNumber, {"256", "-1", "1.5", "1E9"}, "信道号"},
        {f::kReceiveFrequency,
         {"45.05", "50", "435.000001", "1045.05", "-435", "４３５", "145,525", "&H91"},
         "接收频率"},
        {f::kTransmitFrequency,
         {"99.99999", "1000", "435.000005", "-435", "1E300", "x", "145.5\n146", "\r\n438.5"},
         "发送频率"},
        {f::kReceiveTone, {"6.7", "1000.0", "67.05", "550.0", "-67", "６７.０", "88,5"}, "收哑音"},
        {f::kReceiveCode, {"036", "23", "ABC", "\r023"}, "收数字哑音"},
        {f::kTransmitTone, {"6.7", "1000.0", "67.05", "559.9", "-67"}, "发哑音"},
        {f::kBusyLockout, {"12", "1.5", "1x", "-1", "x", "\r1"}, "BCL"},
        {f::kScan, {" del", "DEL", "x"}, "扫描"},
        {f::kBeatShift, {"ON", "yes"}, "拍频"},
        {12, {"OFF"}, "拍频"},
        {10, {"45.05", "1200", "off", "450,5", "\r155.5"}, "收频率"},
        {11, {"1000", "12.5", "x"}, "发频率"},
        {13, {"10", "3.5", "3 3", "-3", "x", "５", "00"}, "静噪级别"}};
    for (const auto& [field, values, name] : cases) {
        for (const char* value : values) {
            ChannelRow row = exampleRow();
            std::array<FieldValue, 4> emergency = {"450", "460", "off", "3"};
            (field < 10 ? row[field] : emergency[field - 10]) = value;
            const auto encoded =
                field < 10 ? EncodeChannelRecord(row, codes)
                           : EncodeEmergencyRecord({emergency[0], emergency[1], emergency[2]},
                                                   *emergency[3]);
            EXPECT_EQ(encoded.unencodableField + encoded.record, name) << value; // no record
        }
    }
}

TEST(RecordCodec, DecodesFieldsAndRecords) {
    // Fields that name no tone and no code; the others come round over the raster.
    // Index 100 has no code, 159 and FF are outside the table.
    for (const std::string field : {"0055", "6455", "9F55", "FFFF", "0000", "\377\37755"}) {
        const auto decoded = DecodeToneField(field, codes);
        EXPECT_EQ(decoded.ctcss + decoded.dcs, "") << field;
    }

    // The flag and BCL characters, then the scan, BCL and beat they read as; flags 4 to 9
    // leave scan and beat unset.
    for (const std::string c :
         {"11 add 1 on", "2A del off off", "F0 add off off", "49 - 9 -", "95 - 5 -"}) {
        const Fields d = decodedFields("0100002561400000" + c.substr(0, 2) + "00002561400000");
        EXPECT_EQ(d[f::kScan].value_or("-") + " " + d[f::kBusyLockout].value_or("-") + " " +
                      d[f::kBeatShift].value_or("-"),
                  c.substr(3));
    }
    // No receive frequency (a field of "0" or "F"): every field is emptied, whatever else
    // the record holds.
    const Fields emptied = {std::nullopt, "", "", "", "", "", "", "", "", ""};
    for (const char* record : {EmptyRecord.data(), "", "01000000000070063200002561400155",
                               "0100FFFFFFFF70063200002561400155"}) {
        EXPECT_EQ(decodedFields(record), emptied) << record;
    }
    // A short record reads as if filled up with "0".
    EXPECT_EQ(decodedFields("0100002561407006"),
              (Fields{std::nullopt, "451.175", "67", "", "", "", "", "add", "off", "off"}));

    EXPECT_EQ(DecodeEmergencyRecord("00070050494000003000000000460000").fields[2], "off");
    EXPECT_EQ(DecodeEmergencyRecord("000A").squelch, "A");
    EXPECT_EQ(DecodeEmergencyRecord("000").squelch, "0");
    EXPECT_EQ(DecodeEmergencyRecord("").fields, (EmergencyFields{"", "", "off"}));
}

// Every frequency of the 5 kHz and 6.25 kHz rasters from 130 to 500 MHz comes
// round in both directions, against its texts and field worked out with integers
// in 10 Hz units, so that they do not share a rounding fault with the codec.
// Every tone, code, flag and BCL combination comes round in channel and
// emergency records along the raster (every n-th frequency, an odd n reaching
// all eight fractions of its 25 kHz pattern, so the suite stays fast under the
// sanitizers; KR4720_WHOLE_RASTER=1 takes every frequency).
TEST(RecordCodec, FieldsAndRecordsRoundTripOverTheRaster) {
    struct Squelch {
        FieldValue ctcss, dcs;
        std::string readCtcss, readDcs;
    };
    std::vector<Squelch> squelches = {
        {"151.4", "754", "151.4", ""}, {{}, {}, "", ""}, {"", "", "", ""}, {"  ", "  ", "", ""}};
    for (std::string_view tone : kCtcssTones) {
        const std::string s = text::shortestNumberText(text::leadingNumberValue(tone));
        squelches.insert(squelches.end(), {{std::string(tone), {}, s, ""}, {s, " ", s, ""}});
    }
    for (std::string_view code : kDcsCodeList) {
        const Squelch s = {{}, std::string(code), "", std::string(code)};
        squelches.insert(squelches.end(), {s, {" ", s.dcs, "", s.readDcs}});
    }
    const std::vector<FieldValue> scans = {"add", "del", "", " ", {}};
    const std::vector<FieldValue> beats = {"off", "on", "", "  ", {}};
    const std::vector<FieldValue> lockouts = {"off", "1", "2", " ", "", {}};

    const char* whole = std::getenv("KR4720_WHOLE_RASTER");
    const std::size_t stride = whole != nullptr && std::string_view(whole) == "1" ? 1 : 37;
    std::vector<std::int64_t> raster;
    for (std::int64_t units = 13000000; units <= 50000000; units += 125) {
        if (units % 500 == 0 || units % 625 == 0) {
            raster.push_back(units);
        }
    }
    ASSERT_EQ(raster.size(), 74001u + 59201u - 14801u);
    int failures = 0;
    std::size_t step = 0;
    for (std::size_t i = 0; i < raster.size() && failures < 10; ++i) {
        const std::int64_t u = raster[i];
        const std::string a = std::to_string(u / 100000) + "." +
                              std::to_string(100000 + u % 100000).substr(1); // five decimals
        std::string b = a;                                                   // the shortest form
        b.erase(b.find_last_not_of('0') + 1);
        b.erase(b.find_last_not_of('.') + 1);
        for (const bool receive : {true, false}) {
            const auto d = std::to_string(100000000 + (receive ? u - ReceiveOffset : u)).substr(1);
            const auto field = EncodeFrequencyField(i % 2 == 0 ? a : b, receive);
            const bool ok = field == std::string{d[6], d[7], d[4], d[5], d[2], d[3], d[0], d[1]} &&
                            DecodeFrequencyField(*field, receive) == b;
            EXPECT_TRUE(ok) << a << (receive ? " receive -> " : " transmit -> ")
                            << field.value_or("(refused)");
            failures += ok ? 0 : 1;
        }
        if (i % stride != 0) {
            continue;
        }
        ++step;
        // The direction that carries the five-decimal form alternates.
        const std::string& receive = step % 2 == 0 ? a : b;
        const std::string& transmit = step % 2 == 0 ? b : a;
        const Squelch& rx = squelches[step % squelches.size()];
        const Squelch& tx = squelches[(step * 7 + 3) % squelches.size()];
        const FieldValue& scan = scans[step % scans.size()];
        const FieldValue& beat = beats[(step / scans.size()) % beats.size()];
        const FieldValue& lockout = lockouts[(step / 25) % lockouts.size()];
        const int number = static_cast<int>(step % 16) + 1;

        const auto encoded = EncodeChannelRecord({std::to_string(number), receive, rx.ctcss, rx.dcs,
                                                  transmit, tx.ctcss, tx.dcs, scan, lockout, beat},
                                                 codes);
        const std::string scanRead = scan == "del" ? "del" : "add";
        const std::string lockoutRead = lockout == "1" || lockout == "2" ? *lockout : "off";
        const std::string beatRead = beat == "on" ? "on" : "off";
        const Fields expected = {std::nullopt, b,          rx.readCtcss, rx.readDcs,  b,
                                 tx.readCtcss, tx.readDcs, scanRead,     lockoutRead, beatRead};
        const std::string squelch = std::to_string(step % 10);
        const std::string beatWord = step % 3 == 0 ? "off" : "on";
        const auto emergency = EncodeEmergencyRecord({receive, transmit, beatWord}, squelch);
        const auto decoded = DecodeEmergencyRecord(emergency.record);
        const bool ok = encoded.ok() && decodedFields(encoded.record) == expected &&
                        std::stoi(encoded.record.substr(0, 2), nullptr, 16) == number &&
                        decoded.squelch == squelch &&
                        decoded.fields == EmergencyFields{b, b, beatWord};
        EXPECT_TRUE(ok) << a << " step " << step << ": '" << encoded.record << "' refused '"
                        << encoded.unencodableField << "', emergency '" << emergency.record << "'";
        failures += ok ? 0 : 1;
    }
    EXPECT_GT(step, squelches.size() * 7);
    EXPECT_GT(step, scans.size() * beats.size() * lockouts.size());
}

// 17 records, one a line, each ending in `lineEnd`.
std::string imageText(const std::string& lineEnd = "\n", int records = kImageRecordCount) {
    std::string text;
    for (int i = 0; i < records; ++i) {
        // Channels 01 to 10 (hex), then the emergency record's "00"; channel 2
        // sends code index 0A, a letter where other tones have digits.
        const int number = i < kChannelCount ? i + 1 : 0;
        text += std::string{"0123456789ABCDEF"[number / 16], "0123456789ABCDEF"[number % 16]} +
                std::string(26, '0') + (i == 1 ? "0A55" : "0000");
        text += lineEnd;
    }
    return text;
}

TEST(RadioImage, TextIsSeventeenLinesReadBackWithAnyLineEndOrRefusedNamingTheLine) {
    const RadioImageLoad load = ParseRadioImage(imageText(), codes);
    ASSERT_TRUE(load.ok()) << load.problem;
    EXPECT_EQ(RadioImageText(*load.image), imageText());
    // CRLF, an empty line at the end, no line end after the last record, a
    // byte-order mark.
    for (std::string text : {imageText("\r\n"), imageText() + "\n",
                             imageText("\n").erase(33 * 17 - 1), "\xEF\xBB\xBF" + imageText()}) {
        EXPECT_EQ(ParseRadioImage(text, codes).image, load.image);
    }
    const std::vector<std::tuple<std::string, int, std::string>> refused = {
        {imageText().replace(33 * 2 + 31, 1, "a"), 3, "第 3 行不是 32 个十六进制字符"},
        {imageText().erase(33 * 4, 1), 5, "第 5 行不是 32 个十六进制字符"},
        {imageText().replace(33 + 13, 1, "A"), 2,
         "第 2 行不是对讲机的记录：频率、哑音、标志或静噪级别中有字母"},
        {imageText().replace(33 * 16 + 3, 1, "A"), 17,
         "第 17 行不是对讲机的记录：频率、哑音、标志或静噪级别中有字母"},
        {imageText().replace(33 + 12, 4, "5455"), 2,
         "第 2 行不是对讲机的记录：数字哑音不是 83 个代码之一"},
        {imageText().replace(33 * 16 + 20, 1, "A"), 17,
         "第 17 行不是对讲机的记录：频率、哑音、标志或静噪级别中有字母"},
        {imageText().replace(33 * 16 + 28, 1, "F"), 17,
         "第 17 行不是对讲机的记录：应为 0 的位置上不是 0"},
        {imageText().replace(33 * 16, 1, "1"), 17,
         "第 17 行不是对讲机的记录：应为 0 的位置上不是 0"},
        {imageText("\n", 16), 17, "文件只有 16 行，应有 17 行"},
        {"", 1, "文件只有 0 行，应有 17 行"},
        {imageText("\n", 18), 18, "第 18 行多余：图像文件只有 17 行"},
        {imageText().replace(0, 1, 1, '\0'), 1, "第 1 行不是 32 个十六进制字符"},
    };
    for (const auto& [text, line, problem] : refused) {
        const RadioImageLoad refusal = ParseRadioImage(text, codes);
        EXPECT_FALSE(refusal.ok());
        EXPECT_EQ(std::pair(refusal.line, refusal.problem), std::pair(line, problem));
    }
}

} // namespace
} // namespace kr4720::radio_link
