#pragma once

#include "channel_data/channel_cursor.h"
#include "channel_data/tone_tables.h"
#include "radio_link/radio_image.h"
#include "radio_link/record_codec.h"
#include "radio_link/serial_link.h"

#include <optional>
#include <string>
#include <string_view>

namespace kr4720::radio_link {

// The 17 records a write started now puts on the line: rows 1 to 16 in table
// order with their own fields (row 1 numbered 1), then the emergency record
// with the squelch level. Nothing when one of them cannot be encoded (the
// write refuses then). Leaves both cursors on their first row; throws
// DataError when the store fails.
std::optional<RadioImage> RecordsToWrite(ChannelCursor& channels, EmergencyCursor& emergency,
                                         const DcsCodes& codes, std::string_view squelch);

// A serial link that passes everything through and keeps what is sent, so
// that the records a write really put on the line can be kept.
class SentRecorder : public SerialLink {
public:
    explicit SentRecorder(SerialLink& link) : link_(link) {}

    bool isOpen() const override { return link_.isOpen(); }
    void setTextMode() override { link_.setTextMode(); }
    bool output(std::string_view text) override {
        sent_ += text;
        return link_.output(text);
    }
    int inBufferCount() override { return link_.inBufferCount(); }
    std::string input() override { return link_.input(); }
    void discardInput() override { link_.discardInput(); }
    bool waitForInput(std::chrono::milliseconds timeout) override {
        return link_.waitForInput(timeout);
    }

    void clear() { sent_.clear(); }
    // The 17 records after "A", once a whole write has been sent.
    std::optional<RadioImage> image() const {
        if (sent_.size() < 1 + kImageRecordCount * kRecordLength || sent_.front() != 'A') {
            return std::nullopt;
        }
        RadioImage image;
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = sent_.substr(1 + i * kRecordLength, kRecordLength);
        }
        return image;
    }

private:
    SerialLink& link_;
    std::string sent_;
};

} // namespace kr4720::radio_link
