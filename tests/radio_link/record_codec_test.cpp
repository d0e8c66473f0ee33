#include "radio_link/record_codec.h"

#include "text/number_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kr4720::radio_link {
namespace {

using Fields = std::array<std::optional<std::string>, kChannelFieldCount>;

const DcsCodes& codes() {
    static const DcsCodes table = [] {
        DcsCodes filled;
        filled.fill();
        return filled;
    }();
    return table;
}

ChannelRow channelRow(FieldValue number, FieldValue receive, FieldValue receiveTone,
                      FieldValue receiveCode, FieldValue transmit, FieldValue transmitTone,
                      FieldValue transmitCode, FieldValue scan, FieldValue busyLockout,
                      FieldValue beat) {
    return {number,       receive,      receiveTone, receiveCode, transmit,
            transmitTone, transmitCode, scan,        busyLockout, beat};
}

// The worked example row: channel 1, 435 MHz both ways, transmit tone 67.0.
ChannelRow exampleRow() {
    return channelRow("1", "435.00000", "", "", "435.00000", "67.0", "", "add", "off", "off");
}

std::string encodeChannel(const ChannelRow& row) {
    const auto encoded = EncodeChannelRecord(row, codes());
    EXPECT_TRUE(encoded.ok()) << encoded.unencodableField;
    return encoded.record;
}

std::string refusedChannelField(const ChannelRow& row) {
    const auto encoded = EncodeChannelRecord(row, codes());
    EXPECT_TRUE(encoded.record.empty());
    return encoded.unencodableField;
}

std::string refusedEmergencyField(const EmergencyRow& row, std::string_view squelch) {
    const auto encoded = EncodeEmergencyRecord(row, squelch);
    EXPECT_TRUE(encoded.record.empty());
    return encoded.unencodableField;
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

TEST(RecordCodec, EncodesTheWorkedChannelExample) {
    const std::string record = encodeChannel(exampleRow());
    EXPECT_EQ(record, "01000050993800000000000050437006");
    EXPECT_EQ(record.substr(0, 2), "01");
    EXPECT_EQ(record.substr(4, 8), "00509938");
    EXPECT_EQ(record.substr(20, 8), "00005043");
    EXPECT_EQ(record.substr(28, 4), "7006");
}

TEST(RecordCodec, EncodesFrequencyFields) {
    const auto field = [](std::string_view megahertz, bool receive) {
        return EncodeFrequencyField(std::string(megahertz), receive);
    };
    EXPECT_EQ(field("435.00000", true), "00509938");
    EXPECT_EQ(field("140.00000", true), "00504909");
    EXPECT_EQ(field("145.05000", true), "00000010");
    EXPECT_EQ(field("136.02500", true), "00750909");
    EXPECT_EQ(field("435.00000", false), "00005043");
    EXPECT_EQ(field("435.01250", false), "50125043"); // no unit lost to rounding
    EXPECT_EQ(field("146.12500", false), "00256114");
    // Bounds of what the field can carry.
    EXPECT_EQ(field("55.05", true), "00000001");
    EXPECT_EQ(field("1045.04999", true), "99999999");
    EXPECT_EQ(field("100", false), "00000010");
    EXPECT_EQ(field("999.99999", false), "99999999");
    // Not set, and values that read as 0.
    for (const FieldValue& notSet :
         {FieldValue(), FieldValue(""), FieldValue("  "), FieldValue("off"), FieldValue("0")}) {
        EXPECT_EQ(EncodeFrequencyField(notSet, true), "00000000");
        EXPECT_EQ(EncodeFrequencyField(notSet, false), "00000000");
    }
    EXPECT_EQ(ReverseDigitPairs("12345678"), "78563412");
}

TEST(RecordCodec, EncodesToneFields) {
    const auto tone = [](FieldValue ctcss, FieldValue dcs) {
        return EncodeToneField(ctcss, dcs, codes());
    };
    EXPECT_EQ(tone("67.0", {}), "7006");
    EXPECT_EQ(tone("100.0", ""), "0010");
    EXPECT_EQ(tone("250.3", " "), "0325");
    EXPECT_EQ(tone("", "023"), "0155");
    EXPECT_EQ(tone({}, "134"), "1555");
    EXPECT_EQ(tone(" ", "244"), "2255");
    EXPECT_EQ(tone("  ", "506"), "3E55");
    EXPECT_EQ(tone({}, "754"), "5355");
    EXPECT_EQ(tone("67.0", "023"), "7006"); // the tone wins
    EXPECT_EQ(tone({}, "036"), "0055");     // not a listed code
    EXPECT_EQ(tone({}, "23"), "0055");      // codes are matched as written
    EXPECT_EQ(tone({}, {}), "0000");
    EXPECT_EQ(tone("", " "), "0000");
}

TEST(RecordCodec, EncodesChannelNumberFlagsAndBusyLockout) {
    const ChannelRow row = exampleRow();
    const auto withField = [&row](int field, FieldValue value) {
        ChannelRow changed = row;
        changed[static_cast<std::size_t>(field)] = std::move(value);
        return encodeChannel(changed);
    };
    namespace f = channel_field;
    EXPECT_EQ(withField(f::kNumber, "10").substr(0, 2), "0A");
    EXPECT_EQ(withField(f::kNumber, "16").substr(0, 2), "10");
    EXPECT_EQ(withField(f::kNumber, "255").substr(0, 2), "FF");
    EXPECT_EQ(withField(f::kNumber, {}).substr(0, 2), "00");

    const auto flag = [&](FieldValue scan, FieldValue beat) {
        ChannelRow changed = row;
        changed[f::kScan] = std::move(scan);
        changed[f::kBeatShift] = std::move(beat);
        return encodeChannel(changed)[16];
    };
    EXPECT_EQ(flag("add", "off"), '0');
    EXPECT_EQ(flag("add", "on"), '1');
    EXPECT_EQ(flag("del", "off"), '2');
    EXPECT_EQ(flag("del", "on"), '3');
    EXPECT_EQ(flag("", ""), '0');
    EXPECT_EQ(flag({}, {}), '0');
    EXPECT_EQ(flag(" del", "On"), '0'); // only the exact words count

    EXPECT_EQ(withField(f::kBusyLockout, "off")[17], '0');
    EXPECT_EQ(withField(f::kBusyLockout, "1")[17], '1');
    EXPECT_EQ(withField(f::kBusyLockout, " 2 ")[17], '2');
    EXPECT_EQ(withField(f::kBusyLockout, " ")[17], '0');
    EXPECT_EQ(withField(f::kBusyLockout, {})[17], '0');
}

TEST(RecordCodec, ChannelWithoutReceiveFrequencyIsEmptyRecord) {
    for (const FieldValue& receive :
         {FieldValue(), FieldValue(""), FieldValue("   "), FieldValue("0.00000")}) {
        ChannelRow row = exampleRow();
        row[channel_field::kReceiveFrequency] = receive;
        row[channel_field::kNumber] = "300"; // not looked at either
        row[channel_field::kReceiveTone] = "6.7";
        EXPECT_EQ(encodeChannel(row), EmptyRecord);
    }
}

TEST(RecordCodec, EncodesTheEmergencyRecord) {
    const EmergencyRow row = {"450.00000", "460.00000", "off"};
    EXPECT_EQ(EncodeEmergencyRecord(row, "3").record, "00030050494000000000000000460000");
    EXPECT_EQ(EncodeEmergencyRecord(row, " 3").record[3], '3');
    EXPECT_EQ(EncodeEmergencyRecord(row, "0").record[3], '0');
    EXPECT_EQ(EncodeEmergencyRecord(row, "").record[3], '0');
    EXPECT_EQ(EncodeEmergencyRecord({"450", "460", "on"}, "9").record,
              "00090050494000001000000000460000");
    EXPECT_EQ(EncodeEmergencyRecord({"", {}, ""}, "1").record, "00010000000000001000000000000000");
    EXPECT_EQ(
        EncodeEmergencyRecord(EmergencyRow{std::nullopt, "460", std::nullopt}, "1").record[16],
        '1');
}

TEST(RecordCodec, RefusesValuesTheRecordCannotCarry) {
    namespace f = channel_field;
    const auto refused = [](int field, FieldValue value) {
        ChannelRow row = exampleRow();
        row[static_cast<std::size_t>(field)] = std::move(value);
        return refusedChannelField(row);
    };
    for (const char* number : {"256", "-1", "1.5", "1E9"}) {
        EXPECT_EQ(refused(f::kNumber, number), "信道号") << number;
    }
    for (const char* receive : {"45.05", "50", "435.000001", "1045.05", "-435"}) {
        EXPECT_EQ(refused(f::kReceiveFrequency, receive), "接收频率") << receive;
        EXPECT_EQ(EncodeFrequencyField(std::string(receive), true), std::nullopt) << receive;
    }
    for (const char* transmit : {"99.99999", "1000", "435.000005", "-435", "1E300"}) {
        EXPECT_EQ(refused(f::kTransmitFrequency, transmit), "发送频率") << transmit;
        EXPECT_EQ(EncodeFrequencyField(std::string(transmit), false), std::nullopt) << transmit;
    }
    for (const char* tone : {"6.7", "1000.0", "67.05", "555.5", "-67"}) {
        EXPECT_EQ(refused(f::kReceiveTone, tone), "收哑音") << tone;
        EXPECT_EQ(refused(f::kTransmitTone, tone), "发哑音") << tone;
        EXPECT_EQ(EncodeToneField(std::string(tone), "023", codes()), std::nullopt) << tone;
    }
    for (const char* busyLockout : {"12", "1.5", "1x", "-1"}) {
        EXPECT_EQ(refused(f::kBusyLockout, busyLockout), "BCL") << busyLockout;
    }

    const EmergencyRow good = {"450", "460", "off"};
    EXPECT_EQ(refusedEmergencyField({"45.05", "460", "off"}, "3"), "收频率");
    EXPECT_EQ(refusedEmergencyField({"1200", "460", "off"}, "3"), "收频率");
    EXPECT_EQ(refusedEmergencyField({"450", "1000", "off"}, "3"), "发频率");
    EXPECT_EQ(refusedEmergencyField({"450", "12.5", "off"}, "3"), "发频率");
    for (const char* squelch : {"10", "3.5", "3 3", "-3"}) {
        EXPECT_EQ(refusedEmergencyField(good, squelch), "静噪级别") << squelch;
    }
}

TEST(RecordCodec, DecodesFrequencyAndToneFields) {
    EXPECT_EQ(DecodeFrequencyField("00256140", true), "451.175");
    EXPECT_EQ(DecodeFrequencyField("00256140", false), "406.125");
    EXPECT_EQ(DecodeFrequencyField("00000040", false), "400");
    EXPECT_EQ(DecodeFrequencyField("00000000", true), "");
    EXPECT_EQ(DecodeFrequencyField("FFFFFFFF", true), "");
    EXPECT_EQ(DecodeFrequencyField("", false), "");

    const auto tone = [](std::string_view field) {
        const auto fields = DecodeToneField(field, codes());
        return std::pair(fields.ctcss, fields.dcs);
    };
    using Pair = std::pair<std::string, std::string>;
    EXPECT_EQ(tone("7006"), Pair("67", ""));
    EXPECT_EQ(tone("8508"), Pair("88.5", ""));
    EXPECT_EQ(tone("0325"), Pair("250.3", ""));
    EXPECT_EQ(tone("0155"), Pair("", "023"));
    EXPECT_EQ(tone("1555"), Pair("", "134"));
    EXPECT_EQ(tone("3E55"), Pair("", "506"));
    EXPECT_EQ(tone("5355"), Pair("", "754"));
    EXPECT_EQ(tone("0055"), Pair("", ""));
    EXPECT_EQ(tone("6455"), Pair("", "")); // index 100, no code
    EXPECT_EQ(tone("9F55"), Pair("", "")); // index 159, outside the table
    EXPECT_EQ(tone("\xFF\xFF"
                   "55"),
              Pair("", ""));
    EXPECT_EQ(tone("FFFF"), Pair("", ""));
    EXPECT_EQ(tone("0000"), Pair("", ""));
}

TEST(RecordCodec, DecodesChannelRecords) {
    const Fields full =
        decodedFields(channelRecord("00256140", "7006", '3', '2', "00256140", "0155"));
    const Fields expected = {std::nullopt, "451.175", "67",  "",  "406.125",
                             "",           "023",     "del", "2", "on"};
    EXPECT_EQ(full, expected);

    Fields noTransmit =
        decodedFields(channelRecord("00256140", "0000", '0', '0', "00000000", "FFFF"));
    const Fields expectedNoTransmit = {std::nullopt, "451.175", "",    "",    "",
                                       "",           "",        "add", "off", "off"};
    EXPECT_EQ(noTransmit, expectedNoTransmit);

    const auto flagsAndLockout = [](char flag, char busyLockout) {
        const Fields f =
            decodedFields(channelRecord("00256140", "0000", flag, busyLockout, "00256140", "0000"));
        return std::tuple(f[channel_field::kScan], f[channel_field::kBusyLockout],
                          f[channel_field::kBeatShift]);
    };
    using Flags = std::tuple<std::optional<std::string>, std::optional<std::string>,
                             std::optional<std::string>>;
    EXPECT_EQ(flagsAndLockout('1', '1'), Flags("add", "1", "on"));
    EXPECT_EQ(flagsAndLockout('2', 'A'), Flags("del", "off", "off"));
    EXPECT_EQ(flagsAndLockout('F', '0'), Flags("add", "off", "off"));
    for (char flag = '4'; flag <= '9'; ++flag) {
        EXPECT_EQ(flagsAndLockout(flag, '9'), Flags(std::nullopt, "9", std::nullopt)) << flag;
    }

    // No receive frequency: every field is emptied, whatever else the record holds.
    const Fields emptied = {std::nullopt, "", "", "", "", "", "", "", "", ""};
    EXPECT_EQ(decodedFields(EmptyRecord), emptied);
    EXPECT_EQ(decodedFields(channelRecord("00000000", "7006", '3', '2', "00256140", "0155")),
              emptied);
    EXPECT_EQ(decodedFields(channelRecord("FFFFFFFF", "7006", '3', '2', "00256140", "0155")),
              emptied);
    EXPECT_EQ(decodedFields(""), emptied);

    // A short record reads as if filled up with "0".
    EXPECT_EQ(decodedFields("0100002561407006")[channel_field::kReceiveFrequency], "451.175");
    EXPECT_EQ(decodedFields("0100002561407006")[channel_field::kTransmitFrequency], "");
}

TEST(RecordCodec, DecodesEmergencyRecords) {
    const auto example = DecodeEmergencyRecord("00030050494000000000000000460000");
    EXPECT_EQ(example.squelch, "3");
    const std::array<std::string, kEmergencyFieldCount> expected = {"450", "460", "off"};
    EXPECT_EQ(example.fields, expected);

    EXPECT_EQ(DecodeEmergencyRecord("00070050494000001000000000460000").squelch, "7");
    EXPECT_EQ(DecodeEmergencyRecord("00070050494000001000000000460000").fields[2], "on");
    EXPECT_EQ(DecodeEmergencyRecord("00070050494000003000000000460000").fields[2], "off");
    EXPECT_EQ(DecodeEmergencyRecord("000A").squelch, "A");
    const std::array<std::string, kEmergencyFieldCount> nothing = {"", "", "off"};
    EXPECT_EQ(DecodeEmergencyRecord("").fields, nothing);
    EXPECT_EQ(DecodeEmergencyRecord("").squelch, "0");
}

// Every frequency of the 5 kHz and 6.25 kHz rasters from 130 to 500 MHz, in
// 10 Hz units.
std::vector<std::int64_t> channelRaster() {
    std::vector<std::int64_t> raster;
    for (std::int64_t units = 13000000; units <= 50000000; units += 125) {
        if (units % 500 == 0 || units % 625 == 0) {
            raster.push_back(units);
        }
    }
    return raster;
}

// The frequency fields go round the whole raster; the record round trips
// below take every n-th frequency so that the suite stays fast under the
// sanitizers (an odd n reaches all eight frequency fractions of the raster's
// 25 kHz pattern). KR4720_WHOLE_RASTER=1 takes every frequency there too.
std::size_t rasterStride(std::size_t n) {
    const char* whole = std::getenv("KR4720_WHOLE_RASTER");
    return whole != nullptr && std::string_view(whole) == "1" ? 1 : n;
}

// The texts and the field of a frequency in 10 Hz units, worked out with
// integers only, so they do not share a rounding fault with the codec.
std::string referenceFiveDecimals(std::int64_t units) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld.%05lld", static_cast<long long>(units / 100000),
                  static_cast<long long>(units % 100000));
    return text;
}

std::string referenceShortest(std::int64_t units) {
    std::string text = referenceFiveDecimals(units);
    text.erase(text.find_last_not_of('0') + 1);
    if (text.back() == '.') {
        text.pop_back();
    }
    return text;
}

std::string referenceField(std::int64_t units, bool receive) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08lld",
                  static_cast<long long>(receive ? units - ReceiveOffset : units));
    const std::string_view d = digits;
    return std::string(d.substr(6, 2)) + std::string(d.substr(4, 2)) + std::string(d.substr(2, 2)) +
           std::string(d.substr(0, 2));
}

TEST(RecordCodec, FrequencyFieldsRoundTripOverTheRaster) {
    const auto raster = channelRaster();
    ASSERT_EQ(raster.size(), 74001u + 59201u - 14801u);
    std::size_t failures = 0;
    bool fiveDecimals = true;
    for (const std::int64_t units : raster) {
        const std::string shortest = referenceShortest(units);
        // Both directions for each frequency; the stored form alternates.
        const FieldValue typed = fiveDecimals ? referenceFiveDecimals(units) : shortest;
        fiveDecimals = !fiveDecimals;
        for (const bool receive : {true, false}) {
            const auto field = EncodeFrequencyField(typed, receive);
            if (field != referenceField(units, receive) ||
                DecodeFrequencyField(field.value_or(""), receive) != shortest) {
                ADD_FAILURE() << *typed << (receive ? " receive -> " : " transmit -> ")
                              << field.value_or("(refused)");
                if (++failures == 10) {
                    return;
                }
            }
        }
    }
}

TEST(RecordCodec, ChannelsRoundTripAcrossTheRaster) {
    struct Squelch {
        FieldValue ctcss;
        FieldValue dcs;
        std::string expectedCtcss;
        std::string expectedDcs;
    };
    std::vector<Squelch> squelches;
    for (std::string_view tone : kCtcssTones) {
        const std::string shortest = text::shortestNumberText(text::leadingNumberValue(tone));
        squelches.push_back({std::string(tone), {}, shortest, ""});
        squelches.push_back({shortest, " ", shortest, ""});
    }
    for (std::string_view code : kDcsCodeList) {
        squelches.push_back({{}, std::string(code), "", std::string(code)});
        squelches.push_back({" ", std::string(code), "", std::string(code)});
    }
    squelches.push_back({"151.4", "754", "151.4", ""});
    for (const FieldValue& blank : {FieldValue(), FieldValue(""), FieldValue("  ")}) {
        squelches.push_back({blank, blank, "", ""});
    }

    const std::vector<FieldValue> scans = {"add", "del", "", " ", {}};
    const std::vector<FieldValue> beats = {"off", "on", "", "  ", {}};
    const std::vector<FieldValue> lockouts = {"off", "1", "2", " ", "", {}};
    const auto expectedWord = [](const FieldValue& value, std::string_view word,
                                 std::string_view otherwise) {
        return std::string(value == word ? word : otherwise);
    };

    const auto raster = channelRaster();
    std::size_t failures = 0;
    std::size_t step = 0;
    // Tones, codes and flags cycle at their own pace along the raster, and
    // the direction that carries the five-decimal form alternates.
    for (std::size_t i = 0; i < raster.size(); i += rasterStride(37)) {
        const double megahertz = static_cast<double>(raster[i]) / 100000;
        const std::string fiveDecimals = text::fiveDecimalText(megahertz);
        const std::string shortest = text::shortestNumberText(megahertz);
        const bool fiveDecimalReceive = step % 2 == 0;
        ++step;
        const Squelch& receiveSquelch = squelches[step % squelches.size()];
        const Squelch& transmitSquelch = squelches[(step * 7 + 3) % squelches.size()];
        const FieldValue& scan = scans[step % scans.size()];
        const FieldValue& beat = beats[(step / scans.size()) % beats.size()];
        const FieldValue& lockout =
            lockouts[(step / (scans.size() * beats.size())) % lockouts.size()];
        const int number = static_cast<int>(step % 16) + 1;

        const ChannelRow row = channelRow(
            std::to_string(number), fiveDecimalReceive ? fiveDecimals : shortest,
            receiveSquelch.ctcss, receiveSquelch.dcs, fiveDecimalReceive ? shortest : fiveDecimals,
            transmitSquelch.ctcss, transmitSquelch.dcs, scan, lockout, beat);
        const auto encoded = EncodeChannelRecord(row, codes());

        char numberHex[3];
        std::snprintf(numberHex, sizeof numberHex, "%02X", static_cast<unsigned>(number));
        const std::string expectedLockout =
            lockout == "1" || lockout == "2" ? *lockout : std::string("off");
        const Fields expected = {std::nullopt,
                                 shortest,
                                 receiveSquelch.expectedCtcss,
                                 receiveSquelch.expectedDcs,
                                 shortest,
                                 transmitSquelch.expectedCtcss,
                                 transmitSquelch.expectedDcs,
                                 expectedWord(scan, "del", "add"),
                                 expectedLockout,
                                 expectedWord(beat, "on", "off")};
        if (!encoded.ok() || encoded.record.substr(0, 2) != numberHex ||
            decodedFields(encoded.record) != expected) {
            ADD_FAILURE() << "frequency " << fiveDecimals << " step " << step << " record '"
                          << encoded.record << "' refused '" << encoded.unencodableField << "'";
            if (++failures == 10) {
                return;
            }
        }
    }

    // Every tone, code and flag combination came round.
    EXPECT_GT(step, squelches.size() * 7);
    EXPECT_GT(step, scans.size() * beats.size() * lockouts.size());
}

TEST(RecordCodec, EmergencyChannelRoundTrips) {
    const auto raster = channelRaster();
    std::size_t failures = 0;
    // Raster frequencies, plus the edges of what the fields carry.
    std::vector<std::pair<std::string, std::string>> frequencies = {
        {"55.05", "100"}, {"1045.04999", "999.99999"}, {"", ""}, {"145.05", ""}};
    for (std::size_t i = 0; i < raster.size(); i += rasterStride(101)) {
        const double megahertz = static_cast<double>(raster[i]) / 100000;
        frequencies.emplace_back(text::fiveDecimalText(megahertz),
                                 text::shortestNumberText(megahertz));
    }
    int squelch = 0;
    for (const auto& [receive, transmit] : frequencies) {
        for (const char* beat : {"off", "on"}) {
            squelch = (squelch + 1) % 10;
            const auto encoded =
                EncodeEmergencyRecord({receive, transmit, beat}, std::to_string(squelch));
            const auto decoded = DecodeEmergencyRecord(encoded.record);
            const auto shortestOf = [](const std::string& t) {
                return t.empty() ? t : text::shortestNumberText(text::leadingNumberValue(t));
            };
            const std::array<std::string, kEmergencyFieldCount> expected = {
                shortestOf(receive), shortestOf(transmit), beat};
            if (!encoded.ok() || decoded.fields != expected ||
                decoded.squelch != std::to_string(squelch)) {
                ADD_FAILURE() << receive << " / " << transmit << " -> '" << encoded.record
                              << "' refused '" << encoded.unencodableField << "'";
                if (++failures == 10) {
                    return;
                }
            }
        }
    }
}

} // namespace
} // namespace kr4720::radio_link
