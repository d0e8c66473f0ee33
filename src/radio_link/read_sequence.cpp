#include "radio_link/read_sequence.h"

#include "channel_data/channel_layout.h"
#include "channel_data/data_error.h"
#include "radio_link/record_codec.h"

namespace kr4720::radio_link {

std::optional<std::string> ReadSequence::CollectRecord(Failure& failure) {
    std::string record;
    const auto deadline = p_.clock.now() + kRecordTimeout;
    while (record.size() < kRecordLength) {
        if (p_.link.inBufferCount() > 0) {
            record += p_.link.input();
            continue;
        }
        if (!p_.link.isOpen()) {
            failure = Failure::LineLost;
            return std::nullopt;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - p_.clock.now());
        if (left.count() <= 0) {
            failure = Failure::TimedOut;
            return std::nullopt;
        }
        // Sleeps in the port until something arrives: no busy polling.
        p_.link.waitForInput(left);
    }
    return record;
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
        p_.display.showMessage(TransferMessage::DataFailure, error.what());
        return;
    }
    p_.timer3.stop();
    p_.clock.sleepFor(kPauseBeforeRequest);
    // A late "C" from the handshake would shift every record by a character.
    p_.link.discardInput();
    Failure failure = Failure::TimedOut;
    const auto fail = [&] {
        p_.display.showMessage(failure == Failure::TimedOut ? TransferMessage::ReadTimeout
                                                            : TransferMessage::LineLost,
                               {});
        end();
    };
    if (!p_.link.output("B")) {
        failure = Failure::LineLost;
        fail();
        return;
    }
    p_.clock.sleepFor(kPauseAfterRequest);
    if (!CollectRecord(failure)) {
        fail();
        return;
    }
    try {
        std::int16_t progress = 0;
        for (int channel = 1; channel <= kChannelCount; ++channel) {
            const auto record = CollectRecord(failure);
            if (!record) {
                fail();
                return;
            }
            const DecodedChannel decoded = DecodeChannelRecord(*record, p_.codes);
            for (int field = 1; field < kChannelFieldCount; ++field) {
                if (const auto& text = decoded.fields[static_cast<std::size_t>(field)]) {
                    p_.channels.setField(field, *text);
                }
            }
            p_.channels.MoveNext();
            p_.display.setProgress(progress);
            progress = static_cast<std::int16_t>(progress + 6);
        }
        const auto record = CollectRecord(failure);
        if (!record) {
            // Back onto row 16, the last one read: past it there is no
            // current record for the next pick.
            p_.channels.MoveFirst();
            for (int row = 1; row < kChannelCount; ++row) {
                p_.channels.MoveNext();
            }
            fail();
            return;
        }
        const DecodedEmergency decoded = DecodeEmergencyRecord(*record);
        p_.display.setSquelchText(decoded.squelch);
        p_.emergency.Edit();
        for (int field = 0; field < kEmergencyFieldCount; ++field) {
            p_.emergency.setField(field, decoded.fields[static_cast<std::size_t>(field)]);
        }
        p_.emergency.saveRecord();
        p_.channels.MoveFirst();
    } catch (const DataError& error) {
        p_.display.showMessage(TransferMessage::DataFailure, error.what());
    }
    end();
}

void ReadSequence::end() {
    p_.display.setStatus("");
    p_.display.setProgress(0);
    p_.timer3.start();
}

} // namespace kr4720::radio_link
