#include "radio_link/radio_image.h"

#include "radio_link/record_codec.h"

namespace kr4720::radio_link {
namespace {

RadioImageLoad refused(int line, std::string problem) {
    RadioImageLoad load;
    load.line = line;
    load.problem = std::move(problem);
    return load;
}

} // namespace

RadioImageLoad ParseRadioImage(std::string_view text, const DcsCodes& codes) {
    // An editor may put a UTF-8 byte-order mark before the first line.
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    RadioImage image;
    int count = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        const int number = count + 1;
        if (count == kImageRecordCount) {
            // Empty lines after the last record are taken as the file's end.
            if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
                continue;
            }
            return refused(number, "第 " + std::to_string(number) + " 行多余：图像文件只有 " +
                                       std::to_string(kImageRecordCount) + " 行");
        }
        // Held to what the read takes from a whole reply: a letter where the
        // radio keeps decimal digits would decode into a value nobody set (8A
        // as a tone reads 8.8), a record out of order into another channel.
        const auto notARecord = [number](std::string_view why) {
            return refused(number, "第 " + std::to_string(number) + " 行不是对讲机的记录：" +
                                       std::string(why));
        };
        switch (CheckRecord(line, count == kChannelCount, codes)) {
        case RecordFault::None:
            break;
        case RecordFault::NotHex:
            return refused(number, "第 " + std::to_string(number) + " 行不是 " +
                                       std::to_string(kRecordLength) + " 个十六进制字符");
        case RecordFault::LetterInDigits:
            return notARecord("频率、哑音、标志或静噪级别中有字母");
        case RecordFault::UnknownCode:
            return notARecord("数字哑音不是 83 个代码之一");
        case RecordFault::ZerosOutOfPlace:
            return notARecord("应为 0 的位置上不是 0");
        }
        image[static_cast<std::size_t>(count++)] = std::string(line);
    }
    if (count < kImageRecordCount) {
        return refused(count + 1, "文件只有 " + std::to_string(count) + " 行，应有 " +
                                      std::to_string(kImageRecordCount) + " 行");
    }
    RadioImageLoad load;
    load.image = std::move(image);
    return load;
}

std::string RadioImageText(const RadioImage& image) {
    std::string text;
    text.reserve(image.size() * (kRecordLength + 1));
    for (const std::string& record : image) {
        text += record;
        text += '\n';
    }
    return text;
}

RadioImageEncoding EncodeRadioImage(const ChannelSet& set, const DcsCodes& codes) {
    RadioImageEncoding encoding;
    RadioImage image;
    for (std::size_t row = 0; row < set.rows.size(); ++row) {
        // The write numbers row 1 itself; the image numbers every row by its place.
        ChannelRow fields = set.rows[row];
        fields[channel_field::kNumber] = std::to_string(row + 1);
        EncodedRecord record = EncodeChannelRecord(fields, codes);
        if (!record.ok()) {
            encoding.channel = static_cast<int>(row) + 1;
            encoding.field = std::move(record.unencodableField);
            encoding.value = std::move(record.unencodableValue);
            return encoding;
        }
        image[row] = std::move(record.record);
    }
    EncodedRecord emergency = EncodeEmergencyRecord(set.emergency, set.squelch);
    if (!emergency.ok()) {
        encoding.channel = kImageRecordCount;
        encoding.field = std::move(emergency.unencodableField);
        encoding.value = std::move(emergency.unencodableValue);
        return encoding;
    }
    image[kChannelCount] = std::move(emergency.record);
    encoding.image = std::move(image);
    return encoding;
}

ChannelSet DecodeRadioImage(const RadioImage& image, const DcsCodes& codes, ChannelSet base) {
    for (std::size_t row = 0; row < base.rows.size(); ++row) {
        const DecodedChannel decoded = DecodeChannelRecord(image[row], codes);
        for (int field = 1; field < kChannelFieldCount; ++field) {
            const auto index = static_cast<std::size_t>(field);
            if (decoded.fields[index]) {
                base.rows[row][index] = decoded.fields[index];
            }
        }
    }
    const DecodedEmergency emergency = DecodeEmergencyRecord(image[kChannelCount]);
    base.squelch = emergency.squelch;
    for (std::size_t field = 0; field < base.emergency.size(); ++field) {
        base.emergency[field] = emergency.fields[field];
    }
    return base;
}

} // namespace kr4720::radio_link
