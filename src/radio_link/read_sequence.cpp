#include "radio_link/read_sequence.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "radio_link/record_codec.h"

#include <algorithm>
#include <array>
#include <utility>

namespace kr4720::radio_link {
namespace {

// Reply record `index` (0 the leading record, 1 to 16 a channel, 17 the
// emergency record) as whole characters the radio can send. Its fixed zeros
// are laidOut's matter; a whole reply is held to them below.
bool isRecord(std::string_view text, std::size_t index, const DcsCodes& codes) {
    const RecordFault fault = CheckRecord(text, index > kChannelCount, codes);
    return index == 0 ? fault != RecordFault::NotHex
                      : fault == RecordFault::None || fault == RecordFault::ZerosOutOfPlace;
}

// Whether the fixed places of reply record `index` (1 to 16 a channel, 17
// the emergency record) that have come hold what they must: a channel's
// number (or "00" when it is empty) and the zeros. A whole reply is not held
// to the numbers: the radio keeps whatever number the table held.
bool laidOut(std::string_view record, std::size_t index) {
    if (index > kChannelCount) {
        return ZerosInPlace(record, true);
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::string_view number = record.substr(0, 2);
    const auto holds = [number](std::string_view expected) {
        return expected.substr(0, number.size()) == number;
    };
    return (holds(std::string{kHex[index / 16], kHex[index % 16]}) || holds("00")) &&
           ZerosInPlace(record, false);
}

} // namespace

bool ReadSequence::CollectRecord(std::string& record, Failure& failure) {
    record.clear();
    const auto deadline = p_.clock.now() + kRecordTimeout;
    while (record.size() < kRecordLength) {
        if (p_.link.inBufferCount() > 0) {
            record += p_.link.input();
            continue;
        }
        if (!p_.link.isOpen()) {
            failure = Failure::LineLost;
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - p_.clock.now());
        if (left.count() <= 0) {
            failure = Failure::TimedOut;
            return false;
        }
        // Sleeps in the port until something arrives: no busy polling.
        p_.link.waitForInput(left);
    }
    return true;
}

void ReadSequence::run() {
    if (!p_.link.isOpen()) {
        p_.display.showMessage(TransferMessage::PortNotOpen, {});
        return;
    }
    try {
        p_.channels.MoveFirst();
        p_.emergency.MoveFirst();
    } catch (const DataError& error) {
        p_.display.showMessage(TransferMessage::DataFailure, {error.what()});
        return;
    }
    running_ = true;
    p_.timer3.stop();
    p_.clock.sleepFor(kPauseBeforeRequest);
    // A late "C" from the handshake would shift every record by a character.
    p_.link.discardInput();
    Failure failure = Failure::TimedOut;
    std::vector<std::string> records;
    std::string record; // at the end, what came of a record that did not come whole
    if (p_.link.output("B")) {
        p_.clock.sleepFor(kPauseAfterRequest);
        while (records.size() < kReplyRecords) {
            if (!CollectRecord(record, failure)) {
                break;
            }
            records.push_back(std::move(record));
            if (records.size() > 1 && records.size() < kReplyRecords) {
                p_.display.setProgress(static_cast<int>(records.size() - 2) * 6);
            }
        }
    } else {
        failure = Failure::LineLost;
    }
    // Only whole records of the radio's characters are ever stored.
    std::size_t sound = 0;
    while (sound < records.size() && isRecord(records[sound], sound, p_.codes)) {
        ++sound;
    }
    if (records.size() == kReplyRecords) {
        bool whole = sound == records.size();
        for (std::size_t index = 1; whole && index < records.size(); ++index) {
            whole =
                CheckRecord(records[index], index > kChannelCount, p_.codes) == RecordFault::None;
        }
        if (!whole || p_.link.waitForInput(kQuietAfterReply)) {
            p_.display.showMessage(TransferMessage::BadReply, {});
        } else {
            store(records);
        }
    } else {
        // The channels before the record that did not come are kept, up to
        // one with a character other than the radio's. Once a record is out
        // of place a character was lost or added somewhere before it, maybe
        // inside a channel that looks whole: then none is kept.
        std::size_t kept = std::min<std::size_t>(sound, 1);
        while (kept < sound && laidOut(records[kept], kept)) {
            ++kept;
        }
        if (kept < sound || (kept == records.size() && !laidOut(record, kept))) {
            kept = 0;
        }
        records.resize(kept);
        if (store(records)) {
            p_.display.showMessage(failure == Failure::TimedOut ? TransferMessage::ReadTimeout
                                                                : TransferMessage::LineLost,
                                   {});
        }
    }
    end();
}

bool ReadSequence::store(const std::vector<std::string>& records) {
    const std::size_t channels =
        std::min(records.size() > 0 ? records.size() - 1 : 0, std::size_t{kChannelCount});
    try {
        // The channels read go into the table in one store: all of them or,
        // when the store refuses, none. Rows not read stay as they are.
        std::array<ChannelRow, kChannelCount> rows;
        for (int row = 0; row < kChannelCount; ++row) {
            rows[static_cast<std::size_t>(row)] = p_.channels.row(row);
        }
        for (std::size_t channel = 1; channel <= channels; ++channel) {
            const DecodedChannel decoded = DecodeChannelRecord(records[channel], p_.codes);
            for (int field = 1; field < kChannelFieldCount; ++field) {
                if (const auto& text = decoded.fields[static_cast<std::size_t>(field)]) {
                    rows[channel - 1][static_cast<std::size_t>(field)] = *text;
                }
            }
        }
        if (records.size() < kReplyRecords) {
            if (channels > 0) {
                p_.channels.replaceRows(rows);
            }
            // The cursor ends on the row after the last one read, or on row
            // 16 when all were read: past it there is no current record for
            // the next pick.
            for (std::size_t row = 0; row < std::min(channels, std::size_t{kChannelCount - 1});
                 ++row) {
                p_.channels.MoveNext();
            }
            return true;
        }
        // A whole reply is taken whole or not at all.
        const DecodedEmergency decoded = DecodeEmergencyRecord(records[kChannelCount + 1]);
        EmergencyRow emergency;
        std::copy(decoded.fields.begin(), decoded.fields.end(), emergency.begin());
        p_.channels.replaceRowsAndEmergency(rows, p_.emergency, emergency);
        p_.display.setSquelchText(decoded.squelch);
    } catch (const DataError& error) {
        p_.display.showMessage(TransferMessage::DataFailure, {error.what()});
        return false;
    }
    return true;
}

void ReadSequence::end() {
    running_ = false;
    p_.display.setStatus("");
    p_.display.setProgress(0);
    p_.timer3.start();
}

} // namespace kr4720::radio_link
