#pragma once

#include "radio_link/radio_image.h"
#include "radio_link/record_codec.h"
#include "radio_link/serial_link.h"

#include <optional>
#include <string>

namespace kr4720::radio_link {

// A serial link that passes everything through and keeps every character the
// read takes, so that a complete reply can be kept as a radio image exactly as
// it came from the radio (the leading record dropped), not as it decodes.
class ReplyRecorder : public SerialLink {
public:
    explicit ReplyRecorder(SerialLink& link) : link_(link) {}

    bool isOpen() const override { return link_.isOpen(); }
    void setTextMode() override { link_.setTextMode(); }
    bool output(std::string_view text) override { return link_.output(text); }
    int inBufferCount() override { return link_.inBufferCount(); }
    std::string input() override {
        std::string character = link_.input();
        taken_ += character;
        return character;
    }
    void discardInput() override {
        link_.discardInput();
        taken_.clear();
    }
    bool waitForInput(std::chrono::milliseconds timeout) override {
        return link_.waitForInput(timeout);
    }

    std::size_t takenCount() const { return taken_.size(); }
    void clear() { taken_.clear(); }

    // The 17 records after the leading one, once a whole reply has been taken.
    std::optional<RadioImage> image() const {
        if (taken_.size() < (kImageRecordCount + 1) * kRecordLength) {
            return std::nullopt;
        }
        RadioImage image;
        for (std::size_t i = 0; i < image.size(); ++i) {
            image[i] = taken_.substr((i + 1) * kRecordLength, kRecordLength);
        }
        return image;
    }

private:
    SerialLink& link_;
    std::string taken_;
};

} // namespace kr4720::radio_link
