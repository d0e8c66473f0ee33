#pragma once

#include "channel_data/channel_set.h"
#include "channel_data/tone_tables.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

// The radio image: everything the radio holds, as the 17 records that go on
// the line (16 channel records, then the emergency record with the squelch
// level), one a line. Text, LF line ends; CRLF and a missing last line end are
// taken on reading.
namespace kr4720::radio_link {

inline constexpr int kImageRecordCount = kChannelCount + 1;
using RadioImage = std::array<std::string, kImageRecordCount>;

// An image read from text, or where and why the text is not one.
struct RadioImageLoad {
    std::optional<RadioImage> image;
    int line = 0;        // 1-based line of the first problem
    std::string problem; // Chinese, e.g. "第 3 行不是 32 个十六进制字符"

    bool ok() const { return image.has_value(); }
};

// Lines are held to what a read takes from a whole reply.
RadioImageLoad ParseRadioImage(std::string_view text, const DcsCodes& codes);
std::string RadioImageText(const RadioImage& image);

// What a write of the set would send, channel numbers being the positions
// 1-16; or the channel (1-16, 17 for the emergency record and the squelch
// level) and the field that cannot be sent.
struct RadioImageEncoding {
    std::optional<RadioImage> image;
    int channel = 0;
    std::string field;
    std::string value; // as the field holds it

    bool ok() const { return image.has_value(); }
};
RadioImageEncoding EncodeRadioImage(const ChannelSet& set, const DcsCodes& codes);

// What a read of these records stores, decoded onto `base` with the read's
// rules (a flag character the read leaves alone keeps base's value; channel
// numbers are not touched).
ChannelSet DecodeRadioImage(const RadioImage& image, const DcsCodes& codes,
                            ChannelSet base = ChannelSet());

} // namespace kr4720::radio_link
