#include "radio_link/record_codec.h"

#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kr4720::radio_link {
namespace {

namespace f = channel_field;
using Fields = std::array<std::optional<std::string>, kChannelFieldCount>;
using EmergencyFields = std::array<std::string, kEmergencyFieldCount>;

const DcsCodes& codes() {
    static const DcsCodes table = [] {
        DcsCodes filled;
        filled.fill();
        return filled;
    }();
    return table;
}

// The worked example row: channel 1, 435 MHz both ways, transmit tone 67.0.
ChannelRow exampleRow(int field = f::kNumber, FieldValue value = "1") {
    ChannelRow row = {"1", "435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off"};
    row[static_cast<std::size_t>(field)] = std::move(value);
    return row;
}

// Channel record from its parts, in record order.
std::string channelRecord(std::string_view receive, std::string_view receiveTone, char flag,
                          char busyLockout, std::string_view transmit,
                          std::string_view transmitTone) {
    return "0100" + std::string(receive) + std::string(receiveTone) + flag + busyLockout + "00" +
           std::string(transmit) + std::string(transmitTone);
}

Fields decodedFields(std::string_view record) {
    return DecodeChannelRecord(record, codes()).fields;
}

TEST(RecordCodec, EncodesRecordsAndTheirFields) {
    EXPECT_EQ(EncodeChannelRecord(exampleRow(), codes()).record,
              "01000050993800000000000050437006");
    EXPECT_EQ(EncodeEmergencyRecord({"450.00000", "460.00000", "off"}, " 3").record,
              "00030050494000000000000000460000");
    EXPECT_EQ(EncodeEmergencyRecord({"450", "460", "on"}, "").record,
              "00000050494000001000000000460000");
    // Only an explicit "off" turns the emergency beat shift off.
    EXPECT_EQ(EncodeEmergencyRecord({"", {}, {}}, "9").record, "00090000000000001000000000000000");

    const std::vector<std::tuple<FieldValue, bool, std::string>> frequencies = {
        {"140.00000", true, "00504909"},  {"145.05000", true, "00000010"},
        {"435.01250", false, "50125043"}, {"55.05", true, "00000001"},
        {"1045.04999", true, "99999999"}, {"100", false, "00000010"},
        {"999.99999", false, "99999999"}, {{}, true, "00000000"},
        {"  ", false, "00000000"},        {"off", true, "00000000"},
        {"0", false, "00000000"}};
    for (const auto& [megahertz, receive, field] : frequencies) {
        EXPECT_EQ(EncodeFrequencyField(megahertz, receive), field) << megahertz.value_or("null");
    }
    EXPECT_EQ(ReverseDigitPairs("12345678"), "78563412");

    // A tone wins over a code; codes are matched as written and 036 is not listed.
    const std::vector<std::tuple<FieldValue, FieldValue, std::string>> tones = {
        {"67.0", {}, "7006"},    {"100.0", "", "0010"}, {"250.3", " ", "0325"}, {"", "023", "0155"},
        {{}, "134", "1555"},     {" ", "244", "2255"},  {"  ", "506", "3E55"},  {{}, "754", "5355"},
        {"67.0", "023", "7006"}, {{}, "036", "0055"},   {{}, "23", "0055"},     {{}, {}, "0000"},
        {"", " ", "0000"}};
    for (const auto& [ctcss, dcs, field] : tones) {
        EXPECT_EQ(EncodeToneField(ctcss, dcs, codes()), field) << field;
    }

    // Channel number, then the flag and BCL characters.
    const std::vector<std::tuple<int, FieldValue, std::string>> parts = {
        {f::kNumber, "10", "0A00"},     {f::kNumber, "255", "FF00"},
        {f::kNumber, {}, "0000"},       {f::kBeatShift, "on", "0110"},
        {f::kScan, "del", "0120"},      {f::kScan, " del", "0100"},
        {f::kScan, {}, "0100"},         {f::kBusyLockout, " 2 ", "0102"},
        {f::kBusyLockout, " ", "0100"}, {f::kBusyLockout, {}, "0100"}};
    for (const auto& [field, value, expected] : parts) {
        const auto record = EncodeChannelRecord(exampleRow(field, value), codes()).record;
        EXPECT_EQ(record.substr(0, 2) + record.substr(16, 2), expected) << field;
    }

    // Without a receive frequency nothing else is looked at.
    for (const FieldValue& receive : {FieldValue(), FieldValue("   "), FieldValue("0.00000")}) {
        ChannelRow row = exampleRow(f::kReceiveFrequency, receive);
        row[f::kNumber] = "300";
        row[f::kReceiveTone] = "6.7";
        EXPECT_EQ(EncodeChannelRecord(row, codes()).record, EmptyRecord);
    }
}

TEST(RecordCodec, RefusalsNameTheFieldTheRecordCannotCarry) {
    const std::vector<std::tuple<int, std::vector<const char*>, std::string>> channel = {
        {f::kNumber, {"256", "-1", "1.5", "1E9"}, "信道号"},
        {f::kReceiveFrequency, {"45.05", "50", "435.000001", "1045.05", "-435"}, "接收频率"},
        {f::kTransmitFrequency, {"99.99999", "1000", "435.000005", "-435", "1E300"}, "发送频率"},
        {f::kReceiveTone, {"6.7", "1000.0", "67.05", "555.5", "-67"}, "收哑音"},
        {f::kTransmitTone, {"6.7", "1000.0", "67.05", "555.5", "-67"}, "发哑音"},
        {f::kBusyLockout, {"12", "1.5", "1x", "-1"}, "BCL"}};
    for (const auto& [field, values, name] : channel) {
        for (const char* value : values) {
            const auto encoded = EncodeChannelRecord(exampleRow(field, value), codes());
            EXPECT_EQ(encoded.unencodableField + encoded.record, name) << value; // no record
        }
    }

    // Emergency fields, with the squelch level after them.
    const std::vector<std::tuple<int, std::vector<const char*>, std::string>> emergency = {
        {0, {"45.05", "1200"}, "收频率"},
        {1, {"1000", "12.5"}, "发频率"},
        {kEmergencyFieldCount, {"10", "3.5", "3 3", "-3"}, "静噪级别"}};
    for (const auto& [field, values, name] : emergency) {
        for (const char* value : values) {
            std::array<std::string, kEmergencyFieldCount + 1> texts = {"450", "460", "off", "3"};
            texts[static_cast<std::size_t>(field)] = value;
            const auto encoded = EncodeEmergencyRecord({texts[0], texts[1], texts[2]}, texts[3]);
            EXPECT_EQ(encoded.unencodableField + encoded.record, name) << value; // no record
        }
    }
}

TEST(RecordCodec, DecodesFieldsAndRecords) {
    EXPECT_EQ(DecodeFrequencyField("00256140", true), "451.175");
    EXPECT_EQ(DecodeFrequencyField("00256140", false), "406.125");
    for (std::string_view empty : {"00000000", "FFFFFFFF", ""}) {
        EXPECT_EQ(DecodeFrequencyField(empty, true), "") << empty;
    }
    // Index 100 has no code, 159 and FF are outside the table.
    const std::vector<std::tuple<std::string, std::string, std::string>> tones = {
        {"7006", "67", ""},
        {"8508", "88.5", ""},
        {"0325", "250.3", ""},
        {"0155", "", "023"},
        {"1555", "", "134"},
        {"3E55", "", "506"},
        {"5355", "", "754"},
        {"0055", "", ""},
        {"6455", "", ""},
        {"9F55", "", ""},
        {"FFFF", "", ""},
        {"0000", "", ""},
        {std::string("\xFF\xFF") + "55", "", ""}};
    for (const auto& [field, ctcss, dcs] : tones) {
        const auto decoded = DecodeToneField(field, codes());
        EXPECT_EQ(decoded.ctcss, ctcss) << field;
        EXPECT_EQ(decoded.dcs, dcs) << field;
    }

    const Fields full = {std::nullopt, "451.175", "67", "", "406.125", "", "023", "del", "2", "on"};
    EXPECT_EQ(decodedFields(channelRecord("00256140", "7006", '3', '2', "00256140", "0155")), full);
    const Fields noTransmit = {std::nullopt, "451.175", "", "", "", "", "", "add", "off", "off"};
    EXPECT_EQ(decodedFields(channelRecord("00256140", "0000", '0', '0', "00000000", "FFFF")),
              noTransmit);
    // Flag and BCL characters as scan, BCL, beat; flags 4 to 9 leave scan and beat unset.
    const std::vector<std::tuple<char, char, std::string>> flags = {{'1', '1', "add 1 on"},
                                                                    {'2', 'A', "del off off"},
                                                                    {'F', '0', "add off off"},
                                                                    {'4', '9', "- 9 -"},
                                                                    {'9', '5', "- 5 -"}};
    for (const auto& [flag, busyLockout, expected] : flags) {
        const Fields d =
            decodedFields(channelRecord("00256140", "0000", flag, busyLockout, "00256140", "0000"));
        EXPECT_EQ(d[f::kScan].value_or("-") + " " + d[f::kBusyLockout].value_or("-") + " " +
                      d[f::kBeatShift].value_or("-"),
                  expected);
    }
    // No receive frequency: every field is emptied, whatever else the record holds.
    const Fields emptied = {std::nullopt, "", "", "", "", "", "", "", "", ""};
    for (const std::string& record :
         {std::string(EmptyRecord), std::string(),
          channelRecord("00000000", "7006", '3', '2', "00256140", "0155"),
          channelRecord("FFFFFFFF", "7006", '3', '2', "00256140", "0155")}) {
        EXPECT_EQ(decodedFields(record), emptied) << record;
    }
    // A short record reads as if filled up with "0".
    EXPECT_EQ(decodedFields("0100002561407006"),
              (Fields{std::nullopt, "451.175", "67", "", "", "", "", "add", "off", "off"}));

    const auto example = DecodeEmergencyRecord("00030050494000000000000000460000");
    EXPECT_EQ(example.squelch, "3");
    EXPECT_EQ(example.fields, (EmergencyFields{"450", "460", "off"}));
    EXPECT_EQ(DecodeEmergencyRecord("00070050494000001000000000460000").fields[2], "on");
    EXPECT_EQ(DecodeEmergencyRecord("00070050494000003000000000460000").fields[2], "off");
    EXPECT_EQ(DecodeEmergencyRecord("000A").squelch, "A");
    EXPECT_EQ(DecodeEmergencyRecord("").squelch, "0");
    EXPECT_EQ(DecodeEmergencyRecord("").fields, (EmergencyFields{"", "", "off"}));
}

// Every frequency of the 5 kHz and 6.25 kHz rasters from 130 to 500 MHz, in
// 10 Hz units, and its texts and fields worked out with integers only, so
// they do not share a rounding fault with the codec.
std::vector<std::int64_t> channelRaster() {
    std::vector<std::int64_t> raster;
    for (std::int64_t units = 13000000; units <= 50000000; units += 125) {
        if (units % 500 == 0 || units % 625 == 0) {
            raster.push_back(units);
        }
    }
    return raster;
}

std::string fiveDecimals(std::int64_t units) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%05lld", static_cast<long long>(units / 100000),
                  static_cast<long long>(units % 100000));
    return text;
}

std::string shortest(std::int64_t units) {
    std::string text = fiveDecimals(units);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string referenceField(std::int64_t units, bool receive) {
    char d[16];
    std::snprintf(d, sizeof d, "%08lld",
                  static_cast<long long>(receive ? units - ReceiveOffset : units));
    return std::string{d[6], d[7], d[4], d[5], d[2], d[3], d[0], d[1]};
}

TEST(RecordCodec, FrequencyFieldsRoundTripOverTheRaster) {
    const auto raster = channelRaster();
    ASSERT_EQ(raster.size(), 74001u + 59201u - 14801u);
    int failures = 0;
    for (std::size_t i = 0; i < raster.size() && failures < 10; ++i) {
        // Both directions for each frequency; the typed form alternates.
        const FieldValue typed = i % 2 == 0 ? fiveDecimals(raster[i]) : shortest(raster[i]);
        for (const bool receive : {true, false}) {
            const auto field = EncodeFrequencyField(typed, receive);
            const bool ok = field == referenceField(raster[i], receive) &&
                            DecodeFrequencyField(*field, receive) == shortest(raster[i]);
            EXPECT_TRUE(ok) << *typed << (receive ? " receive -> " : " transmit -> ")
                            << field.value_or("(refused)");
            failures += ok ? 0 : 1;
        }
    }
}

// Every tone, code, flag and BCL combination comes round along the raster
// (every n-th frequency, an odd n reaching all eight fractions of its 25 kHz
// pattern, so the suite stays fast under the sanitizers; KR4720_WHOLE_RASTER=1
// takes every frequency), in channel and emergency records.
TEST(RecordCodec, RecordsRoundTripAcrossTheRaster) {
    struct Squelch {
        FieldValue ctcss, dcs;
        std::string readCtcss, readDcs;
    };
    std::vector<Squelch> squelches = {
        {"151.4", "754", "151.4", ""}, {{}, {}, "", ""}, {"", "", "", ""}, {"  ", "  ", "", ""}};
    for (std::string_view tone : kCtcssTones) {
        const std::string s = text::shortestNumberText(text::leadingNumberValue(tone));
        squelches.push_back({std::string(tone), {}, s, ""});
        squelches.push_back({s, " ", s, ""});
    }
    for (std::string_view code : kDcsCodeList) {
        squelches.push_back({{}, std::string(code), "", std::string(code)});
        squelches.push_back({" ", std::string(code), "", std::string(code)});
    }
    const std::vector<FieldValue> scans = {"add", "del", "", " ", {}};
    const std::vector<FieldValue> beats = {"off", "on", "", "  ", {}};
    const std::vector<FieldValue> lockouts = {"off", "1", "2", " ", "", {}};

    const char* whole = std::getenv("KR4720_WHOLE_RASTER");
    const std::size_t stride = whole != nullptr && std::string_view(whole) == "1" ? 1 : 37;
    const auto raster = channelRaster();
    int failures = 0;
    std::size_t step = 0;
    for (std::size_t i = 0; i < raster.size() && failures < 10; i += stride) {
        ++step;
        // The direction that carries the five-decimal form alternates.
        const std::string a = fiveDecimals(raster[i]), b = shortest(raster[i]);
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
                                                 codes());
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

} // namespace
} // namespace kr4720::radio_link
