#include "radio_link/write_sequence.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "text/visible_text.h"

#include <algorithm>
#include <string>
#include <utility>

namespace kr4720::radio_link {
namespace {

EmergencyRow currentEmergencyRow(const EmergencyCursor& emergency) {
    EmergencyRow row;
    for (int i = 0; i < kEmergencyFieldCount; ++i) {
        row[static_cast<std::size_t>(i)] = emergency.field(i);
    }
    return row;
}

MessageDetail unsendable(int channel, const EncodedRecord& record) {
    MessageDetail detail;
    detail.channel = channel;
    detail.field = record.unencodableField;
    detail.value = text::visibleText(record.unencodableValue, text::kQuotedValueLength);
    return detail;
}

} // namespace

std::string UnsendableValueText(const MessageDetail& detail) {
    const std::string where = detail.field == kSquelchFieldName ? ""
                              : detail.channel > kChannelCount
                                  ? "紧急信道："
                                  : "信道 " + std::to_string(detail.channel) + "：";
    return where + detail.field + " " + detail.value;
}

bool WriteSequence::checkRecords() {
    // Stores a change pending in the row the user was on.
    p_.channels.MoveFirst();
    for (int row = 0; row < kChannelCount; ++row) {
        ChannelRow fields = p_.channels.row(row);
        if (row == 0) {
            fields[channel_field::kNumber].emplace(
                "1"); // the write numbers row 1 before it sends it
        }
        const EncodedRecord record = EncodeChannelRecord(fields, p_.codes);
        if (!record.ok()) {
            p_.display.showMessage(TransferMessage::OutOfRange, unsendable(row + 1, record));
            return false;
        }
        checkedRecords_[static_cast<std::size_t>(row)] = record.record;
    }
    p_.emergency.MoveFirst();
    const EmergencyRow emergency = currentEmergencyRow(p_.emergency);
    const std::string squelch = p_.display.squelchText();
    const EncodedRecord record = EncodeEmergencyRecord(emergency, squelch);
    if (!record.ok()) {
        p_.display.showMessage(TransferMessage::OutOfRange, unsendable(kChannelCount + 1, record));
        return false;
    }
    checkedEmergency_ = emergency;
    checkedSquelch_ = squelch;
    return true;
}

void WriteSequence::start() {
    if (running_) {
        return;
    }
    if (!p_.link.isOpen()) {
        p_.display.showMessage(TransferMessage::PortNotOpen, {});
        return;
    }
    try {
        // Nothing malformed goes on the line: every record must encode first.
        if (!checkRecords()) {
            return;
        }
        // Row 1's number is stored now: after "A" nothing may stop the records.
        if (p_.channels.field(channel_field::kNumber) != "1") {
            p_.channels.setField(channel_field::kNumber, std::string("1"));
        }
        p_.channels.storePending();
    } catch (const DataError& error) {
        p_.display.showMessage(TransferMessage::DataFailure, {error.what()});
        return;
    }
    p_.link.setTextMode();
    p_.timer3.stop();
    replacedSquelch_.clear();
    running_ = true;
    if (!p_.link.output("A")) {
        abort(TransferMessage::LineLost);
        return;
    }
    lastSent_ = p_.clock.now();
    longestSilence_ = {};
    p_.timer4.start();
}

void WriteSequence::onTimer4() {
    p_.timer1.start();
    p_.display.setStatus(kTransferringText);
    p_.timer4.stop();
}

void WriteSequence::onTimer1() {
    if (!running_) {
        p_.timer1.stop();
        return;
    }
    if (sendStep_ < 92) {
        sendChannel();
    } else if (sendStep_ > 92 && sendStep_ < 98) {
        sendEmergency();
    }
    if (!running_) {
        return;
    }
    sendStep_ = static_cast<std::int16_t>(sendStep_ + 6);
    if (sendStep_ >= 100) {
        finish();
    }
}

// The row this tick sends is fixed by the step, whatever row the user has
// selected since the last tick. It is read in place: moving the cursor would
// store the row it leaves, and a database that makes the window wait for a
// lock would keep the radio waiting for its next record.
void WriteSequence::sendChannel() {
    const int row = sendStep_ / 6;
    std::string record = checkedRecords_[static_cast<std::size_t>(row)];
    try {
        const EncodedRecord now = EncodeChannelRecord(p_.channels.row(row), p_.codes);
        if (now.ok()) {
            record = now.record;
        }
    } catch (const DataError&) {
        // Sent as checked before "A".
    }
    if (send(record)) {
        p_.display.setProgress(sendStep_);
    }
}

void WriteSequence::sendEmergency() {
    EmergencyRow row = checkedEmergency_;
    try {
        row = currentEmergencyRow(p_.emergency);
    } catch (const DataError&) {
        // Sent as checked before "A".
    }
    // A row edited into something the record cannot carry goes out as checked.
    if (!EncodeEmergencyRecord(row, "0").ok()) {
        row = checkedEmergency_;
    }
    EncodedRecord record = EncodeEmergencyRecord(row, p_.display.squelchText());
    if (!record.ok()) {
        record = EncodeEmergencyRecord(row, checkedSquelch_);
        replacedSquelch_ = record.record.substr(3, 1);
    }
    if (send(record.record)) {
        p_.display.setProgress(sendStep_);
    }
}

bool WriteSequence::send(const std::string& record) {
    if (p_.link.isOpen() && p_.link.output(record)) {
        const Clock::TimePoint now = p_.clock.now();
        longestSilence_ =
            std::max(longestSilence_,
                     std::chrono::duration_cast<std::chrono::milliseconds>(now - lastSent_));
        lastSent_ = now;
        return true;
    }
    abort(TransferMessage::LineLost);
    return false;
}

void WriteSequence::finish() {
    p_.timer1.stop();
    p_.timer4.stop();
    p_.display.setStatus("");
    p_.display.setProgress(0);
    sendStep_ = 0;
    running_ = false;
    try {
        p_.channels.MoveFirst();
    } catch (const DataError&) {
        // The row left behind could not be stored; the user is told when the
        // grid next leaves it.
    }
    p_.timer3.start();
    if (!replacedSquelch_.empty()) {
        const std::string level = replacedSquelch_;
        replacedSquelch_.clear();
        p_.display.showMessage(TransferMessage::SquelchReplaced, {level});
    }
    if (const auto silence = std::exchange(longestSilence_, {}); silence > kLongestSilence) {
        const auto tenths = silence.count() / 100;
        p_.display.showMessage(TransferMessage::LongSilence,
                               {std::to_string(tenths / 10) + "." + std::to_string(tenths % 10)});
    }
}

void WriteSequence::abort(TransferMessage message) {
    p_.timer1.stop();
    p_.timer4.stop();
    replacedSquelch_.clear();
    longestSilence_ = {};
    p_.display.showMessage(message, {});
    finish();
}

} // namespace kr4720::radio_link
