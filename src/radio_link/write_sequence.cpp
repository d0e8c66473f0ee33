#include "radio_link/write_sequence.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "radio_link/record_codec.h"

namespace kr4720::radio_link {
namespace {

ChannelRow currentChannelRow(const ChannelCursor& channels) {
    ChannelRow row;
    for (int i = 0; i < kChannelFieldCount; ++i) {
        row[static_cast<std::size_t>(i)] = channels.field(i);
    }
    return row;
}

EmergencyRow currentEmergencyRow(const EmergencyCursor& emergency) {
    EmergencyRow row;
    for (int i = 0; i < kEmergencyFieldCount; ++i) {
        row[static_cast<std::size_t>(i)] = emergency.field(i);
    }
    return row;
}

} // namespace

std::string WriteSequence::firstUnencodableField() {
    p_.channels.MoveFirst();
    for (int row = 0; row < kChannelCount; ++row) {
        ChannelRow fields = currentChannelRow(p_.channels);
        if (row == 0) {
            fields[channel_field::kNumber].emplace("1"); // the write numbers row 1 before it sends it
        }
        const EncodedRecord record = EncodeChannelRecord(fields, p_.codes);
        if (!record.ok()) {
            return record.unencodableField;
        }
        p_.channels.MoveNext();
    }
    p_.channels.MoveFirst();
    p_.emergency.MoveFirst();
    return EncodeEmergencyRecord(currentEmergencyRow(p_.emergency), p_.display.squelchText())
        .unencodableField;
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
        if (const std::string field = firstUnencodableField(); !field.empty()) {
            p_.channels.MoveFirst();
            p_.display.showMessage(TransferMessage::OutOfRange, field);
            return;
        }
        p_.link.setTextMode();
        p_.timer3.stop();
        p_.channels.MoveFirst();
        p_.emergency.MoveFirst();
        p_.channels.setField(channel_field::kNumber, std::string("1"));
    } catch (const DataError& error) {
        p_.display.showMessage(TransferMessage::DataFailure, error.what());
        return;
    }
    running_ = true;
    if (!p_.link.output("A")) {
        abort(TransferMessage::LineLost, {});
        return;
    }
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
    try {
        if (sendStep_ < 92) {
            sendChannel();
        } else if (sendStep_ > 92 && sendStep_ < 98) {
            sendEmergency();
        }
    } catch (const DataError& error) {
        abort(TransferMessage::DataFailure, error.what());
        return;
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
// selected since the last tick.
void WriteSequence::goToRow(int row) {
    if (p_.channels.currentRow() == row) {
        return;
    }
    p_.channels.MoveFirst();
    for (int i = 0; i < row; ++i) {
        p_.channels.MoveNext();
    }
}

void WriteSequence::sendChannel() {
    goToRow(sendStep_ / 6);
    const EncodedRecord record = EncodeChannelRecord(currentChannelRow(p_.channels), p_.codes);
    if (!record.ok()) {
        abort(TransferMessage::OutOfRange, record.unencodableField);
        return;
    }
    if (!send(record.record)) {
        return;
    }
    p_.channels.MoveNext();
    p_.display.setProgress(sendStep_);
}

void WriteSequence::sendEmergency() {
    const EncodedRecord record =
        EncodeEmergencyRecord(currentEmergencyRow(p_.emergency), p_.display.squelchText());
    if (!record.ok()) {
        abort(TransferMessage::OutOfRange, record.unencodableField);
        return;
    }
    if (send(record.record)) {
        p_.display.setProgress(sendStep_);
    }
}

bool WriteSequence::send(const std::string& record) {
    if (p_.link.isOpen() && p_.link.output(record)) {
        return true;
    }
    abort(TransferMessage::LineLost, {});
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
        // The row left behind could not be stored; the message was shown already
        // or will be when the user next leaves it.
    }
    p_.timer3.start();
}

void WriteSequence::abort(TransferMessage message, const std::string& detail) {
    p_.timer1.stop();
    p_.timer4.stop();
    p_.display.showMessage(message, detail);
    finish();
}

} // namespace kr4720::radio_link
