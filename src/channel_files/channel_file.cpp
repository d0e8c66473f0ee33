#include "channel_files/channel_file.h"

#include "channel_files/file_value_reader.h"
#include "text/number_text.h"

#include <variant>

namespace kr4720::channel_files {
namespace {

// Line breaks are written only after the squelch value and after each row, so
// the file reads as one line per channel. The reader treats a comma followed by
// a line break as one separator, so this reads back exactly like the plain
// comma-only layout.
constexpr std::string_view kRowEnd = "\r\n";

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (const char c : text) {
        // UTF-8 continuation bytes do not start a character.
        if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U) {
            ++count;
        }
    }
    return count;
}

// Frequencies from a file are kept in the same five-decimal form a typed
// frequency gets. A value that is not a number is kept as it is, and no value
// stays not set rather than turning into ".00000".
FieldValue frequencyValue(const FileValue& value) {
    if (const auto* number = std::get_if<double>(&value)) {
        return text::fiveDecimalText(*number);
    }
    if (const auto* characters = std::get_if<std::string>(&value)) {
        if (text::isDecimalNumberText(*characters)) {
            return text::fiveDecimalText(text::leadingNumberValue(*characters));
        }
    }
    return storedFieldValue(value);
}

// A code such as 023 is read as the number 23; putting the "0" back in front of
// every two-character text restores it.
FieldValue codeValue(const FileValue& value) {
    FieldValue stored = storedFieldValue(value);
    if (stored && characterCount(*stored) == 2) {
        stored->insert(0, "0");
    }
    return stored;
}

FieldValue fieldValue(int field, const FileValue& value) {
    switch (field) {
    case channel_field::kReceiveFrequency:
    case channel_field::kTransmitFrequency:
        return frequencyValue(value);
    case channel_field::kReceiveCode:
    case channel_field::kTransmitCode:
        return codeValue(value);
    default:
        return storedFieldValue(value);
    }
}

} // namespace

std::string ChannelFileLoad::errorText() const {
    return "文件不完整：缺少第 " + std::to_string(missingValue) + " 个值（应有 " +
           std::to_string(kChannelFileValueCount) + " 个值）";
}

std::string ChannelFileText(const ChannelFileContents& contents) {
    std::string text = contents.squelch;
    text += ',';
    text += kRowEnd;
    for (const ChannelFileRow& row : contents.rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            text += textOf(row[static_cast<std::size_t>(field)]);
            text += ',';
        }
        text += kRowEnd;
    }
    return text;
}

ChannelFileLoad ParseChannelFile(std::string_view fileText) {
    ChannelFileLoad load;
    FileValueReader reader(fileText);
    auto fail = [&] {
        load.missingValue = reader.valuesRead + 1;
        load.charactersUsed = reader.position;
        return load;
    };

    ChannelFileContents contents;
    const std::optional<FileValue> squelch = NextFileValue(reader);
    if (!squelch) {
        return fail();
    }
    contents.squelch = std::get<std::string>(*squelch);
    for (ChannelFileRow& row : contents.rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            const std::optional<FileValue> value = NextFileValue(reader);
            if (!value) {
                return fail();
            }
            row[static_cast<std::size_t>(field)] = fieldValue(field, *value);
        }
    }
    load.contents = std::move(contents);
    load.charactersUsed = reader.position;
    return load;
}

void ApplyChannelFile(const ChannelFileContents& contents, ChannelCursor& cursor) {
    cursor.MoveFirst();
    for (const ChannelFileRow& row : contents.rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            cursor.setField(field, row[static_cast<std::size_t>(field)]);
        }
        cursor.MoveNext();
    }
    cursor.MoveFirst();
}

ChannelFileContents CollectChannelFile(ChannelCursor& cursor, std::string_view squelch) {
    ChannelFileContents contents;
    contents.squelch = squelch;
    cursor.MoveFirst();
    for (ChannelFileRow& row : contents.rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            row[static_cast<std::size_t>(field)] = cursor.field(field);
        }
        cursor.MoveNext();
    }
    return contents;
}

std::string SaveText(ChannelCursor& cursor, std::string_view squelch) {
    return ChannelFileText(CollectChannelFile(cursor, squelch));
}

} // namespace kr4720::channel_files
