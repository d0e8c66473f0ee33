#include "radio_link/record_codec.h"

#include "text/number_text.h"

#include <algorithm>

namespace kr4720::radio_link {
namespace {

using text::leadingNumberValue;
using text::shortestNumberText;

constexpr std::string_view kHexDigits = "0123456789ABCDEF";

double valueOf(const FieldValue& field) {
    return leadingNumberValue(textOf(field));
}

// The value as one or two upper-case hex digits, "0" in front of a single one.
std::string twoHexDigits(int value) {
    return {kHexDigits[static_cast<std::size_t>(value / 16)],
            kHexDigits[static_cast<std::size_t>(value % 16)]};
}

std::string_view trimmed(std::string_view text) {
    constexpr std::string_view blanks = " \t\r\n";
    const auto first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

// The text without surrounding blanks, if that is a single digit.
std::optional<std::string> singleDigit(std::string_view text) {
    const std::string_view digit = trimmed(text);
    if (digit.size() != 1 || digit[0] < '0' || digit[0] > '9') {
        return std::nullopt;
    }
    return std::string(digit);
}

// A number field that is neither blank nor wholly a number. The number rule
// would send "６７.０" (full-width digits) or "abc" as nothing at all, and
// "145,525" or "88,5" (a decimal comma, as an old database may hold them) as
// 145 and 88: the record refuses them all.
bool unreadable(const FieldValue& field) {
    return !trimmed(textOf(field)).empty() && !text::isWholeNumberText(textOf(field));
}

// The frequency field, or nothing when the value does not fit it or its
// text is not a number at all.
std::optional<std::string> sendableFrequency(const FieldValue& megahertz, bool receive) {
    return unreadable(megahertz) ? std::nullopt : EncodeFrequencyField(megahertz, receive);
}

bool wordOrBlank(const FieldValue& field, std::initializer_list<std::string_view> words) {
    const std::string_view text = textOf(field);
    return trimmed(text).empty() || std::find(words.begin(), words.end(), text) != words.end();
}

// Characters [position, position + width) of a record from the radio. Records
// are taken as they come: a short one reads as if filled up with "0", extra
// characters are ignored.
std::string part(std::string_view record, std::size_t position, std::size_t width) {
    std::string result(width, '0');
    if (position < record.size()) {
        record.copy(result.data(), width, position);
    }
    return result;
}

char characterAt(std::string_view record, std::size_t position) {
    return position < record.size() ? record[position] : '0';
}

double characterValue(char c) {
    return leadingNumberValue(std::string_view(&c, 1));
}

} // namespace

std::string ReverseDigitPairs(std::string_view eightCharacters) {
    const std::string f = part(eightCharacters, 0, 8);
    return {f[6], f[7], f[4], f[5], f[2], f[3], f[0], f[1]};
}

std::optional<std::string> EncodeFrequencyField(const FieldValue& megahertz, bool receive) {
    const double value = valueOf(megahertz);
    if (value == 0) {
        return std::string(8, '0');
    }
    auto n = text::scaledWholeNumber(value, 5);
    if (!n) {
        return std::nullopt;
    }
    if (receive) {
        *n -= ReceiveOffset;
    }
    if (*n < 0) {
        return std::nullopt;
    }
    std::string digits = std::to_string(*n);
    // Receive frequencies below 145.05 MHz have seven digits and get a "0" in
    // front; anything else that is not eight digits does not fit the field.
    if (receive && digits.size() == 7) {
        digits.insert(digits.begin(), '0');
    }
    if (digits.size() != 8) {
        return std::nullopt;
    }
    return ReverseDigitPairs(digits);
}

bool ToneHidesCode(const FieldValue& ctcss, const FieldValue& dcs) {
    return valueOf(ctcss) != 0 && valueOf(dcs) != 0;
}

std::optional<std::string> EncodeToneField(const FieldValue& ctcss, const FieldValue& dcs,
                                           const DcsCodes& codes) {
    // A tone wins over a code in the same direction.
    if (const double tone = valueOf(ctcss); tone != 0) {
        const auto t = text::scaledWholeNumber(tone, 1);
        if (!t || *t < 100 || *t > 9999) {
            return std::nullopt;
        }
        std::string digits = std::to_string(*t);
        if (digits.size() == 3) {
            digits.insert(digits.begin(), '0');
        }
        // 550.0 to 559.9 Hz would put the code marker where the high tone
        // digits go and come back from the radio as a code.
        if (std::string_view(digits).substr(0, 2) == DcsMarker) {
            return std::nullopt;
        }
        return std::string{digits[2], digits[3], digits[0], digits[1]};
    }
    if (valueOf(dcs) != 0) {
        return twoHexDigits(FindDcsIndex(codes, textOf(dcs))) + std::string(DcsMarker);
    }
    return std::string(4, '0');
}

EncodedRecord EncodeChannelRecord(const ChannelRow& row, const DcsCodes& codes) {
    namespace f = channel_field;
    const auto refuse = [&row](int field) {
        const FieldValue& value = row[static_cast<std::size_t>(field)];
        return EncodedRecord{{},
                             std::string(kChannelFieldNames[static_cast<std::size_t>(field)]),
                             value.value_or(std::string())};
    };
    const auto at = [&row](int field) -> const FieldValue& {
        return row[static_cast<std::size_t>(field)];
    };

    if (unreadable(at(f::kReceiveFrequency))) {
        return refuse(f::kReceiveFrequency);
    }
    if (valueOf(at(f::kReceiveFrequency)) == 0) {
        return EncodedRecord{std::string(EmptyRecord), {}, {}};
    }
    // The field of one direction that would not reach the radio as written:
    // a tone or code that is not a number, or a code the radio does not have
    // (it would go out as index 0 and come back as no code at all).
    const auto unsendableSquelch = [&](int tone, int code) -> std::optional<int> {
        if (unreadable(at(tone))) {
            return tone;
        }
        if (valueOf(at(tone)) != 0) {
            return std::nullopt; // the tone is sent and the code ignored
        }
        const bool listed = valueOf(at(code)) == 0 ? !unreadable(at(code))
                                                   : FindDcsIndex(codes, textOf(at(code))) != 0;
        return listed ? std::nullopt : std::optional(code);
    };

    const auto number = text::scaledWholeNumber(valueOf(at(f::kNumber)), 0);
    if (!number || *number < 0 || *number > 0xFF) {
        return refuse(f::kNumber);
    }
    const auto receive = EncodeFrequencyField(at(f::kReceiveFrequency), true);
    if (!receive) {
        return refuse(f::kReceiveFrequency);
    }
    if (const auto field = unsendableSquelch(f::kReceiveTone, f::kReceiveCode)) {
        return refuse(*field);
    }
    const auto receiveTone = EncodeToneField(at(f::kReceiveTone), at(f::kReceiveCode), codes);
    if (!receiveTone) {
        return refuse(f::kReceiveTone);
    }
    const auto transmit = sendableFrequency(at(f::kTransmitFrequency), false);
    if (!transmit) {
        return refuse(f::kTransmitFrequency);
    }
    if (const auto field = unsendableSquelch(f::kTransmitTone, f::kTransmitCode)) {
        return refuse(*field);
    }
    const auto transmitTone = EncodeToneField(at(f::kTransmitTone), at(f::kTransmitCode), codes);
    if (!transmitTone) {
        return refuse(f::kTransmitTone);
    }
    // The scan and beat words are compared exactly: any other text ("DEL",
    // " del", "yes") would go out as add or off, and so would a BCL word.
    if (!wordOrBlank(at(f::kScan), {"add", "del"})) {
        return refuse(f::kScan);
    }
    if (!wordOrBlank(at(f::kBeatShift), {"on", "off"})) {
        return refuse(f::kBeatShift);
    }
    if (unreadable(at(f::kBusyLockout)) && trimmed(textOf(at(f::kBusyLockout))) != "off") {
        return refuse(f::kBusyLockout);
    }
    std::string busyLockout = "0";
    if (valueOf(at(f::kBusyLockout)) != 0) {
        const auto digit = singleDigit(textOf(at(f::kBusyLockout)));
        if (!digit) {
            return refuse(f::kBusyLockout);
        }
        busyLockout = *digit;
    }
    int flag = 0;
    if (textOf(at(f::kBeatShift)) == "on") {
        flag += 1;
    }
    if (textOf(at(f::kScan)) == "del") {
        flag += 2;
    }

    std::string record = twoHexDigits(static_cast<int>(*number));
    record += "00";
    record += *receive;
    record += *receiveTone;
    record += static_cast<char>('0' + flag);
    record += busyLockout;
    record += "00";
    record += *transmit;
    record += *transmitTone;
    return {record, {}, {}};
}

EncodedRecord EncodeEmergencyRecord(const EmergencyRow& row, std::string_view squelchText) {
    namespace f = emergency_field;
    const auto refuse = [](std::string_view name, const FieldValue& value) {
        return EncodedRecord{{}, std::string(name), value.value_or(std::string())};
    };

    const auto receive = sendableFrequency(row[f::kReceiveFrequency], true);
    if (!receive) {
        return refuse(kEmergencyFieldNames[f::kReceiveFrequency], row[f::kReceiveFrequency]);
    }
    const auto transmit = sendableFrequency(row[f::kTransmitFrequency], false);
    if (!transmit) {
        return refuse(kEmergencyFieldNames[f::kTransmitFrequency], row[f::kTransmitFrequency]);
    }
    // An empty box sends 0; anything else must be one digit ("x" or "５"
    // would otherwise go out as 0).
    std::string squelch = "0";
    if (!trimmed(squelchText).empty()) {
        const auto digit = singleDigit(squelchText);
        if (!digit) {
            return refuse(kSquelchFieldName, std::string(squelchText));
        }
        squelch = *digit;
    }
    // Only an explicit "off" turns the beat shift off; a field never set
    // leaves it on.
    if (!wordOrBlank(row[f::kBeatShift], {"on", "off"})) {
        return refuse(kEmergencyFieldNames[f::kBeatShift], row[f::kBeatShift]);
    }
    const char beat = row[f::kBeatShift] == "off" ? '0' : '1';

    std::string record = "000" + squelch;
    record += *receive;
    record += "0000";
    record += beat;
    record += "000";
    record += *transmit;
    record += "0000";
    return {record, {}, {}};
}

std::string DecodeFrequencyField(std::string_view eightCharacters, bool receive) {
    const double n = leadingNumberValue(ReverseDigitPairs(eightCharacters));
    // A frequency of 0 is "not set" everywhere else, so it is stored that way.
    if (n == 0) {
        return {};
    }
    const double megahertz = n / 100000;
    return shortestNumberText(receive ? megahertz + static_cast<double>(ReceiveOffset) / 100000
                                      : megahertz);
}

ToneFields DecodeToneField(std::string_view fourCharacters, const DcsCodes& codes) {
    const std::string t = part(fourCharacters, 0, 4);
    if (t.substr(2, 2) == DcsMarker) {
        const auto high = static_cast<int>(characterValue(t[0]));
        const auto low = static_cast<unsigned char>(t[1]);
        // Digits count as themselves, "A" and everything after it as its
        // character code minus 55 ("A" = 10 ... "F" = 15).
        const int lowValue =
            low < 'A' ? static_cast<int>(characterValue(t[1])) : static_cast<int>(low) - 55;
        return {{}, codes.entry(16 * high + lowValue)};
    }
    const double tone = leadingNumberValue(std::string{t[2], t[3], t[0], t[1]}) / 10;
    if (tone == 0) {
        return {};
    }
    return {shortestNumberText(tone), {}};
}

DecodedChannel DecodeChannelRecord(std::string_view record, const DcsCodes& codes) {
    namespace f = channel_field;
    DecodedChannel decoded;
    auto& fields = decoded.fields;
    const auto set = [&fields](int field, std::string value) {
        fields[static_cast<std::size_t>(field)] = std::move(value);
    };

    // Offsets below are record positions minus one.
    std::string receive = DecodeFrequencyField(part(record, 4, 8), true);
    if (receive.empty()) {
        for (int field = f::kReceiveFrequency; field < kChannelFieldCount; ++field) {
            set(field, {});
        }
        return decoded;
    }
    set(f::kReceiveFrequency, std::move(receive));
    auto receiveTone = DecodeToneField(part(record, 12, 4), codes);
    set(f::kReceiveTone, std::move(receiveTone.ctcss));
    set(f::kReceiveCode, std::move(receiveTone.dcs));
    set(f::kTransmitFrequency, DecodeFrequencyField(part(record, 20, 8), false));
    auto transmitTone = DecodeToneField(part(record, 28, 4), codes);
    set(f::kTransmitTone, std::move(transmitTone.ctcss));
    set(f::kTransmitCode, std::move(transmitTone.dcs));

    const double busyLockout = characterValue(characterAt(record, 17));
    set(f::kBusyLockout, busyLockout != 0 ? shortestNumberText(busyLockout) : "off");

    const double flag = characterValue(characterAt(record, 16));
    if (flag == 0 || flag == 1 || flag == 2 || flag == 3) {
        const int v = static_cast<int>(flag);
        set(f::kBeatShift, (v & 1) != 0 ? "on" : "off");
        set(f::kScan, (v & 2) != 0 ? "del" : "add");
    }
    return decoded;
}

bool ZerosInPlace(std::string_view record, bool emergency) {
    const auto zeros = [record](std::size_t from, std::size_t to) {
        const std::string_view places = record.substr(std::min(from, record.size()), to - from);
        return places.find_first_not_of('0') == std::string_view::npos;
    };
    if (emergency) {
        return zeros(0, 3) && zeros(12, 16) && zeros(17, 20) && zeros(28, 32);
    }
    return zeros(2, 4) && zeros(18, 20);
}

namespace {

// Whether the places that hold decimal digits do.
bool digitsInPlace(std::string_view record, bool emergency) {
    const auto digits = [record](std::size_t from, std::size_t to) {
        const std::string_view places = record.substr(from, to - from);
        return places.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (emergency) {
        return digits(3, 12) && digits(16, 17) && digits(20, 28);
    }
    // A code's tone field has its index's low digit in hex.
    const auto tone = [&](std::size_t at) {
        return record.substr(at + 2, 2) == DcsMarker ? digits(at, at + 1) : digits(at, at + 4);
    };
    return digits(4, 12) && tone(12) && digits(16, 18) && digits(20, 28) && tone(28);
}

// Whether each DCS code of a channel record is one of the 83.
bool codesKnown(std::string_view record, const DcsCodes& codes) {
    const auto known = [&](std::size_t at) {
        return record.substr(at + 2, 2) != DcsMarker ||
               !DecodeToneField(record.substr(at, 4), codes).dcs.empty();
    };
    return known(12) && known(28);
}

} // namespace

RecordFault CheckRecord(std::string_view record, bool emergency, const DcsCodes& codes) {
    if (record.size() != kRecordLength ||
        record.find_first_not_of(kHexDigits) != std::string_view::npos) {
        return RecordFault::NotHex;
    }
    if (!digitsInPlace(record, emergency)) {
        return RecordFault::LetterInDigits;
    }
    if (!emergency && !codesKnown(record, codes)) {
        return RecordFault::UnknownCode;
    }
    return ZerosInPlace(record, emergency) ? RecordFault::None : RecordFault::ZerosOutOfPlace;
}

DecodedEmergency DecodeEmergencyRecord(std::string_view record) {
    namespace f = emergency_field;
    DecodedEmergency decoded;
    decoded.squelch = std::string(1, characterAt(record, 3));
    decoded.fields[f::kReceiveFrequency] = DecodeFrequencyField(part(record, 4, 8), true);
    decoded.fields[f::kTransmitFrequency] = DecodeFrequencyField(part(record, 20, 8), false);
    decoded.fields[f::kBeatShift] = characterValue(characterAt(record, 16)) == 1 ? "on" : "off";
    return decoded;
}

} // namespace kr4720::radio_link
