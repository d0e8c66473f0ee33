#include "channel_data/channel_edits.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "text/number_text.h"

#include <cmath>

namespace kr4720 {

std::optional<std::string> normalisedFrequency(double megahertz) {
    if (!(megahertz >= kLowestFrequency && megahertz <= kHighestFrequency)) {
        return std::nullopt;
    }
    // In 10 Hz units, a half going to the even neighbour. The text is made
    // from the units, so that a value a fraction of a unit off the raster
    // (438.500005) is not rounded off it again by the five-decimal form.
    auto n = static_cast<long long>(std::nearbyint(megahertz * 100000.0));
    if (n % 625 != 0 && n % 500 != 0) {
        n = n / 500 * 500;
    }
    return text::fiveDecimalText(static_cast<double>(n) / 100000.0);
}

namespace {

double valueOf(const FieldValue& field) {
    return field ? text::leadingNumberValue(*field) : 0.0;
}

// A text the number rule reads only in part or not at all: "146。525" (a
// Chinese full stop), "145,525", "l45.5" or two pasted lines would otherwise
// be taken as 146, 145, no frequency or one odd number, with no word to the
// user. Empty and blank texts are not typos: they clear the field.
bool isTypo(const FieldValue& field) {
    return field && field->find_first_not_of(" \t\r\n") != std::string::npos &&
           !text::isWholeNumberText(*field);
}

// The typed frequency of `field` checked and normalised. Empty or 0 empties
// the field (and returns nothing); a typo or a value out of range empties the
// field, then shows the message. Emptied first: a write running meanwhile
// sends the row while the message is open, and must not send the refused text.
std::optional<std::string> checkedFrequency(ChannelCursor& cursor, int field,
                                            const std::function<void()>& showOutOfRange) {
    const double value = valueOf(cursor.field(field));
    const bool typo = isTypo(cursor.field(field));
    const auto frequency = value == 0.0 || typo ? std::nullopt : normalisedFrequency(value);
    if (!frequency) {
        cursor.setField(field, std::string());
    }
    if (typo || (value != 0.0 && !frequency)) {
        showOutOfRange();
    }
    return frequency;
}

void receiveEdited(ChannelCursor& cursor, const std::function<void()>& showOutOfRange) {
    using namespace channel_field;
    const FieldValue typed = cursor.field(kReceiveFrequency);
    const auto frequency = checkedFrequency(cursor, kReceiveFrequency, showOutOfRange);
    if (frequency) {
        cursor.setField(kReceiveFrequency, *frequency);
        cursor.setField(kTransmitFrequency, *frequency);
    } else if (valueOf(typed) == 0.0 && !isTypo(typed)) {
        // Clearing the receive frequency clears the transmit frequency too.
        cursor.setField(kTransmitFrequency, std::string());
    }
}

void transmitEdited(ChannelCursor& cursor, const std::function<void()>& showOutOfRange) {
    using namespace channel_field;
    if (!cursor.field(kTransmitFrequency) || valueOf(cursor.field(kReceiveFrequency)) == 0.0) {
        cursor.setField(kTransmitFrequency, std::string());
        return;
    }
    if (const auto frequency = checkedFrequency(cursor, kTransmitFrequency, showOutOfRange)) {
        cursor.setField(kTransmitFrequency, *frequency);
    }
}

} // namespace

void afterFrequencyEdit(ChannelCursor& cursor, int column,
                        const std::function<void()>& showOutOfRange) {
    try {
        if (column == channel_field::kReceiveFrequency) {
            receiveEdited(cursor, showOutOfRange);
        } else if (column == channel_field::kTransmitFrequency) {
            transmitEdited(cursor, showOutOfRange);
        }
    } catch (const DataError&) {
        // A failing store ends the check; what was written stays written.
    }
}

void applyPick(ChannelCursor& cursor, Picker picker, const std::string& text) {
    using namespace channel_field;
    const std::string empty;
    switch (picker) {
    case Picker::Combo1: // a receive tone goes on both sides and clears both codes
        cursor.setField(kReceiveTone, text);
        cursor.setField(kTransmitTone, text);
        cursor.setField(kReceiveCode, empty);
        cursor.setField(kTransmitCode, empty);
        break;
    case Picker::Combo2: // a receive code goes on both sides and clears both tones
        cursor.setField(kReceiveCode, text);
        cursor.setField(kTransmitCode, text);
        cursor.setField(kReceiveTone, empty);
        cursor.setField(kTransmitTone, empty);
        break;
    case Picker::Combo3:
        cursor.setField(kTransmitTone, text);
        cursor.setField(kTransmitCode, empty);
        break;
    case Picker::Combo4:
        cursor.setField(kTransmitCode, text);
        cursor.setField(kTransmitTone, empty);
        break;
    case Picker::Combo5:
        cursor.setField(kScan, text);
        break;
    case Picker::Combo6:
        cursor.setField(kBusyLockout, text);
        break;
    case Picker::Combo7:
        cursor.setField(kBeatShift, text);
        break;
    }
}

} // namespace kr4720
