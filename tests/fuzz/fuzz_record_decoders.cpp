// Whatever the radio sends must decode without harm into field texts the rest
// of the program can use, and whatever the encoders accept must come out as a
// well-formed record that reads back the same.

#include "radio_link/record_codec.h"
#include "text/number_text.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

using namespace kr4720;
using namespace kr4720::radio_link;

namespace {

void require(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "violated: %s\n", what);
        std::abort();
    }
}

const DcsCodes& codes() {
    static const DcsCodes table = [] {
        DcsCodes filled;
        filled.fill();
        return filled;
    }();
    return table;
}

// A decoded number is stored in its shortest form and reads back as itself.
bool isShortestNumber(const std::string& t) {
    return text::isDecimalNumberText(t) &&
           text::shortestNumberText(text::leadingNumberValue(t)) == t;
}

bool isNumberOrEmpty(const std::string& t) {
    return t.empty() || isShortestNumber(t);
}

bool isListedCode(const std::string& t) {
    return std::find(kDcsCodeList.begin(), kDcsCodeList.end(), t) != kDcsCodeList.end();
}

bool isWellFormed(const std::string& record) {
    return record.size() == kRecordLength && std::all_of(record.begin(), record.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
           });
}

void checkTone(const ToneFields& tone) {
    require(tone.ctcss.empty() || tone.dcs.empty(), "tone and code both set");
    require(isNumberOrEmpty(tone.ctcss), "tone is not a shortest number");
    require(tone.dcs.empty() || isListedCode(tone.dcs), "code is not a listed code");
}

void checkEncoded(const EncodedRecord& encoded) {
    if (encoded.ok()) {
        require(isWellFormed(encoded.record), "malformed record encoded");
    } else {
        require(encoded.record.empty(), "refusal carries a record");
    }
}

void checkChannel(std::string_view data) {
    namespace f = channel_field;
    const auto decoded = DecodeChannelRecord(data, codes());
    const auto& fields = decoded.fields;
    require(!fields[f::kNumber], "channel number written");
    for (int i : {1, 2, 3, 4, 5, 6, 8}) {
        require(fields[static_cast<std::size_t>(i)].has_value(), "field left unset");
    }
    require(fields[f::kScan].has_value() == fields[f::kBeatShift].has_value(),
            "only one flag field kept");

    if (fields[f::kReceiveFrequency]->empty()) {
        for (int i = 1; i < kChannelFieldCount; ++i) {
            require(fields[static_cast<std::size_t>(i)] == "", "empty channel not emptied");
        }
    } else {
        require(isShortestNumber(*fields[f::kReceiveFrequency]), "bad receive frequency");
        require(isNumberOrEmpty(*fields[f::kTransmitFrequency]), "bad transmit frequency");
        checkTone({*fields[f::kReceiveTone], *fields[f::kReceiveCode]});
        checkTone({*fields[f::kTransmitTone], *fields[f::kTransmitCode]});
        const std::string& lockout = *fields[f::kBusyLockout];
        require(lockout == "off" || (lockout.size() == 1 && lockout[0] >= '1' && lockout[0] <= '9'),
                "bad BCL");
        if (fields[f::kScan]) {
            require(fields[f::kScan] == "add" || fields[f::kScan] == "del", "bad scan");
            require(fields[f::kBeatShift] == "on" || fields[f::kBeatShift] == "off", "bad beat");
        }
    }

    // Writing the decoded channel back gives a record that reads the same.
    ChannelRow row;
    row[f::kNumber] = "1";
    for (int i = 1; i < kChannelFieldCount; ++i) {
        row[static_cast<std::size_t>(i)] = fields[static_cast<std::size_t>(i)];
    }
    if (!row[f::kScan]) {
        row[f::kScan] = "add";
        row[f::kBeatShift] = "off";
    }
    const auto encoded = EncodeChannelRecord(row, codes());
    checkEncoded(encoded);
    if (encoded.ok()) {
        const auto again = DecodeChannelRecord(encoded.record, codes());
        for (int i = 1; i < kChannelFieldCount; ++i) {
            const auto index = static_cast<std::size_t>(i);
            const bool emptied = fields[f::kReceiveFrequency]->empty();
            require(again.fields[index] == (emptied ? FieldValue("") : row[index]),
                    "channel does not read back the same");
        }
    }
}

void checkEmergency(std::string_view data) {
    namespace f = emergency_field;
    const auto decoded = DecodeEmergencyRecord(data);
    const char squelch = data.size() > 3 ? data[3] : '0';
    require(decoded.squelch == std::string(1, squelch), "squelch not taken unchanged");
    require(isNumberOrEmpty(decoded.fields[f::kReceiveFrequency]), "bad receive frequency");
    require(isNumberOrEmpty(decoded.fields[f::kTransmitFrequency]), "bad transmit frequency");
    require(decoded.fields[f::kBeatShift] == "on" || decoded.fields[f::kBeatShift] == "off",
            "bad beat");

    const EmergencyRow row = {decoded.fields[0], decoded.fields[1], decoded.fields[2]};
    const auto encoded = EncodeEmergencyRecord(row, decoded.squelch);
    checkEncoded(encoded);
    if (encoded.ok()) {
        const auto again = DecodeEmergencyRecord(encoded.record);
        require(again.fields == decoded.fields, "emergency channel does not read back the same");
        const char sent = squelch >= '1' && squelch <= '9' ? squelch : '0';
        require(again.squelch == std::string(1, sent), "squelch does not read back");
    }
}

void checkFields(std::string_view data) {
    for (const bool receive : {true, false}) {
        const std::string megahertz = DecodeFrequencyField(data, receive);
        require(isNumberOrEmpty(megahertz), "bad frequency");
        const auto field = EncodeFrequencyField(megahertz, receive);
        if (field) {
            require(field->size() == 8 && isWellFormed(*field + std::string(24, '0')),
                    "malformed frequency field");
            require(DecodeFrequencyField(*field, receive) == megahertz,
                    "frequency does not read back the same");
        }
    }
    const auto tone = DecodeToneField(data, codes());
    checkTone(tone);
    if (const auto field = EncodeToneField(tone.ctcss, tone.dcs, codes())) {
        require(field->size() == 4 && isWellFormed(*field + std::string(28, '0')),
                "malformed tone field");
        const auto again = DecodeToneField(*field, codes());
        require(again.ctcss == tone.ctcss && again.dcs == tone.dcs,
                "tone does not read back the same");
    }
}

// The input split at "|" into field texts for the encoders: whatever they
// accept must be a well-formed record.
void checkEncoders(std::string_view data) {
    std::vector<FieldValue> texts;
    std::size_t start = 0;
    while (texts.size() < kChannelFieldCount + 1) {
        const auto end = data.find('|', start);
        texts.emplace_back(std::string(data.substr(start, end - start)));
        if (end == std::string_view::npos) {
            break;
        }
        start = end + 1;
    }
    texts.resize(kChannelFieldCount + 1); // missing fields are Null
    ChannelRow row;
    std::copy_n(texts.begin(), kChannelFieldCount, row.begin());
    checkEncoded(EncodeChannelRecord(row, codes()));
    checkEncoded(
        EncodeEmergencyRecord({texts[0], texts[1], texts[2]}, texts[3].value_or(std::string())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkChannel(bytes);
    checkEmergency(bytes);
    checkFields(bytes);
    checkEncoders(bytes);
    return 0;
}
