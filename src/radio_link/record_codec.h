#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/channel_layout.h"
#include "channel_data/field_value.h"
#include "channel_data/tone_tables.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The radio's 32-character records: how a channel row, the emergency row and
// the squelch level become records, and how records from the radio become
// field texts again.
namespace kr4720::radio_link {

inline constexpr std::size_t kRecordLength = 32;
inline constexpr std::string_view EmptyRecord = "00000000000000000000000000000000";
inline constexpr std::int64_t ReceiveOffset = 4505000; // 45.05 MHz in 10 Hz units
inline constexpr std::string_view DcsMarker = "55";
// Named in a refusal when the squelch level cannot be sent.
inline constexpr std::string_view kSquelchFieldName = "静噪级别";

// A record, or the name of the field whose value the record cannot carry
// (for instance "接收频率", "发哑音", "静噪级别") and that value as it stands.
// Nothing malformed is ever returned as a record.
struct EncodedRecord {
    std::string record;
    std::string unencodableField;
    std::string unencodableValue;

    bool ok() const { return unencodableField.empty(); }
};

// Characters 7-8, 5-6, 3-4 and 1-2 of an eight-character field, in that order.
std::string ReverseDigitPairs(std::string_view eightCharacters);

// The eight-character frequency field of a frequency text in MHz, or nothing
// when the value does not fit the field.
std::optional<std::string> EncodeFrequencyField(const FieldValue& megahertz, bool receive);

// Whether a direction holds both a tone and a code: its tone field then
// carries the tone only.
bool ToneHidesCode(const FieldValue& ctcss, const FieldValue& dcs);

// The four-character tone field of one direction, or nothing when the tone
// does not fit the field.
std::optional<std::string> EncodeToneField(const FieldValue& ctcss, const FieldValue& dcs,
                                           const DcsCodes& codes);

EncodedRecord EncodeChannelRecord(const ChannelRow& row, const DcsCodes& codes);
EncodedRecord EncodeEmergencyRecord(const EmergencyRow& row, std::string_view squelchText);

// The frequency in MHz as its shortest number text, or the empty text for 0.
std::string DecodeFrequencyField(std::string_view eightCharacters, bool receive);

struct ToneFields {
    std::string ctcss;
    std::string dcs;
};
ToneFields DecodeToneField(std::string_view fourCharacters, const DcsCodes& codes);

// Fields 1 to 9 of a channel row as decoded from a record. An empty optional
// means the field stays as it was (only the scan and beat fields, 7 and 9,
// can stay). Index 0 is never set: the read does not touch the channel number.
// A record without a receive frequency empties fields 1 to 9.
struct DecodedChannel {
    std::array<std::optional<std::string>, kChannelFieldCount> fields;
};
DecodedChannel DecodeChannelRecord(std::string_view record, const DcsCodes& codes);

// What keeps a record from being one the radio sends: the first found, in
// this order. The radio keeps what it was sent, so each is a character
// garbled, lost or added on the line, or a damaged file.
enum class RecordFault {
    None,
    NotHex,          // not 32 characters of 0-9 and A-F
    LetterInDigits,  // a hex letter where the radio keeps decimal digits
    UnknownCode,     // a channel's DCS code that is not one of the 83
    ZerosOutOfPlace, // something other than 0 where every write sends 0
};
RecordFault CheckRecord(std::string_view record, bool emergency, const DcsCodes& codes);

// Whether the places a write always fills with zeros hold them, in a record
// or the part of one that came: the "00" after a channel's number and before
// its transmit frequency; the emergency record's zeros. A character lost or
// added on the line shifts every record after it, and these places show it.
bool ZerosInPlace(std::string_view record, bool emergency);

struct DecodedEmergency {
    std::string squelch; // the one character at position 4
    std::array<std::string, kEmergencyFieldCount> fields;
};
DecodedEmergency DecodeEmergencyRecord(std::string_view record);

} // namespace kr4720::radio_link
