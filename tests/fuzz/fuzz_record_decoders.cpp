// Whatever the radio sends must decode without harm into field texts the rest
// of the program can use, and whatever the encoders accept must come out as a
// well-formed record that reads back the same.

#include "radio_link/record_codec.h"
#include "text/number_text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace kr4720;
using namespace kr4720::radio_link;

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

struct FilledCodes : DcsCodes {
    FilledCodes() { fill(); }
};
const FilledCodes kCodes;

// A decoded number is stored in its shortest form and reads back as itself.
bool isNumberOrEmpty(const std::string& t) {
    return t.empty() || (text::isDecimalNumberText(t) &&
                         text::shortestNumberText(text::leadingNumberValue(t)) == t);
}

bool isHex(std::string_view t, std::size_t length) {
    return t.size() == length && t.find_first_not_of("0123456789ABCDEF") == std::string_view::npos;
}

void checkTone(const std::string& ctcss, const std::string& dcs) {
    require(ctcss.empty() || dcs.empty(), "tone and code both set");
    require(isNumberOrEmpty(ctcss), "tone is not a shortest number");
    require(dcs.empty() || std::ranges::find(kDcsCodeList, dcs) != kDcsCodeList.end(),
            "code is not a listed code");
}

// True when the encoder accepted; a refusal carries no record.
bool checkEncoded(const EncodedRecord& encoded) {
    require(encoded.ok() ? isHex(encoded.record, kRecordLength) : encoded.record.empty(),
            "bad record");
    return encoded.ok();
}

void checkChannel(std::string_view data) {
    namespace f = channel_field;
    const auto fields = DecodeChannelRecord(data, kCodes).fields;
    require(!fields[f::kNumber], "channel number written");
    for (std::size_t i = 1; i < kChannelFieldCount; ++i) {
        const bool flag = i == f::kScan || i == f::kBeatShift;
        require(fields[i] || (flag && !fields[f::kScan] && !fields[f::kBeatShift]), "field unset");
    }
    const bool emptied = fields[f::kReceiveFrequency]->empty();
    if (!emptied) {
        require(isNumberOrEmpty(*fields[f::kReceiveFrequency]), "bad receive frequency");
        require(isNumberOrEmpty(*fields[f::kTransmitFrequency]), "bad transmit frequency");
        checkTone(*fields[f::kReceiveTone], *fields[f::kReceiveCode]);
        checkTone(*fields[f::kTransmitTone], *fields[f::kTransmitCode]);
        const std::string& bcl = *fields[f::kBusyLockout];
        require(bcl == "off" || (bcl.size() == 1 && bcl[0] >= '1' && bcl[0] <= '9'), "bad BCL");
        if (fields[f::kScan]) {
            require(fields[f::kScan] == "add" || fields[f::kScan] == "del", "bad scan");
            require(fields[f::kBeatShift] == "on" || fields[f::kBeatShift] == "off", "bad beat");
        }
    }
    // Writing the decoded channel back gives a record that reads the same.
    ChannelRow row = fields;
    row[f::kNumber] = "1";
    row[f::kScan] = row[f::kScan].value_or("add");
    row[f::kBeatShift] = row[f::kBeatShift].value_or("off");
    const auto encoded = EncodeChannelRecord(row, kCodes);
    if (checkEncoded(encoded)) {
        const auto again = DecodeChannelRecord(encoded.record, kCodes).fields;
        for (std::size_t i = 1; i < kChannelFieldCount; ++i) {
            require(emptied ? again[i] == "" && fields[i] == "" : again[i] == row[i],
                    "channel not emptied or does not read back");
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);
    checkChannel(data);

    const auto decoded = DecodeEmergencyRecord(data);
    const char squelch = data.size() > 3 ? data[3] : '0';
    require(decoded.squelch == std::string(1, squelch), "squelch not taken unchanged");
    require(isNumberOrEmpty(decoded.fields[0]) && isNumberOrEmpty(decoded.fields[1]), "bad MHz");
    require(decoded.fields[2] == "on" || decoded.fields[2] == "off", "bad emergency beat");
    const EmergencyRow emergency = {decoded.fields[0], decoded.fields[1], decoded.fields[2]};
    if (const auto encoded = EncodeEmergencyRecord(emergency, {&squelch, 1});
        checkEncoded(encoded)) {
        const auto again = DecodeEmergencyRecord(encoded.record);
        const char sent = squelch >= '1' && squelch <= '9' ? squelch : '0';
        require(again.fields == decoded.fields && again.squelch == std::string(1, sent),
                "emergency channel does not read back the same");
    }

    // Single fields of any length.
    for (const bool receive : {true, false}) {
        const std::string megahertz = DecodeFrequencyField(data, receive);
        const auto field = EncodeFrequencyField(megahertz, receive);
        require(isNumberOrEmpty(megahertz) &&
                    (!field ||
                     (isHex(*field, 8) && DecodeFrequencyField(*field, receive) == megahertz)),
                "bad frequency or does not read back");
    }
    const auto tone = DecodeToneField(data, kCodes);
    checkTone(tone.ctcss, tone.dcs);

    // The input split at "|" into field texts: whatever the encoders accept
    // must be a well-formed record. Missing fields are Null.
    std::array<FieldValue, kChannelFieldCount + 1> texts;
    for (std::size_t i = 0, start = 0; i < texts.size() && start <= data.size(); ++i) {
        const auto end = std::min(data.find('|', start), data.size());
        texts[i] = std::string(data.substr(start, end - start));
        start = end + 1;
    }
    ChannelRow row;
    std::copy_n(texts.begin(), kChannelFieldCount, row.begin());
    checkEncoded(EncodeChannelRecord(row, kCodes));
    checkEncoded(EncodeEmergencyRecord({texts[0], texts[1], texts[2]}, texts[3].value_or("")));
    return 0;
}
