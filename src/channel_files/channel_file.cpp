#include "channel_files/channel_file.h"

#include "channel_data/channel_set.h"
#include "channel_files/file_value_reader.h"
#include "channel_files/line_breaks.h"
#include "text/number_text.h"
#include "text/visible_text.h"

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

// The text without the blanks and tabs around it (a tab after a comma, say).
std::string_view trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Frequencies from a file are kept in the same five-decimal form a typed
// frequency gets; no value stays not set rather than turning into ".00000",
// and a text of blanks is kept as it is. Any other text never gets here: the
// file is refused.
FieldValue frequencyValue(const FileValue& value) {
    if (const auto* number = std::get_if<double>(&value)) {
        return text::fiveDecimalText(*number);
    }
    if (const auto* characters = std::get_if<std::string>(&value)) {
        if (const std::string_view number = trimmed(*characters);
            text::isDecimalNumberText(number)) {
            return text::fiveDecimalText(text::leadingNumberValue(number));
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

// The first byte that no text file holds, or npos. Line ends, tabs and a
// Ctrl-Z end-of-file mark are text. UTF-16 and UTF-32 are caught too: every
// ASCII character (all a channel file needs) comes with NUL bytes in them.
std::size_t firstNonTextByte(std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte < 0x20 && byte != '\t' && byte != '\r' && byte != '\n' && byte != 0x1A) ||
            byte == 0x7F) {
            return i;
        }
    }
    return std::string_view::npos;
}

// The line, from 1, that the text after `text` starts on.
int lineAfter(std::string_view text) {
    int line = 1;
    char previous = 0;
    for (const char c : text) {
        line += breaksLine(c, previous) ? 1 : 0;
        previous = c;
    }
    return line;
}

bool isBlankText(std::string_view text) {
    return text.find_first_not_of(" \r\n") == std::string_view::npos;
}

// A frequency value is a number, or empty: no value, or a (quoted) text of
// blanks. Blanks and tabs around a number do not matter.
bool isFrequencyValue(const FileValue& value) {
    if (const auto* characters = std::get_if<std::string>(&value)) {
        const std::string_view number = trimmed(*characters);
        return number.empty() || text::isDecimalNumberText(number);
    }
    return true;
}

// "第 3 个值（信道 1 的收哑音）": a value of the file by its position, 1 to 145.
std::string valueName(int position) {
    std::string name = "第 " + std::to_string(position) + " 个值（";
    if (position == 1) {
        return name + "静噪级别）";
    }
    const int channel = (position - 2) / (kChannelFieldCount - 1) + 1;
    const auto field = static_cast<std::size_t>((position - 2) % (kChannelFieldCount - 1) + 1);
    return name + "信道 " + std::to_string(channel) + " 的" +
           std::string(kChannelFieldNames[field]) + "）";
}

// Written as it is, a comma or a line break would end the value early and a
// leading double quote would start a quoted value that runs into the next
// ones: every value after it would land in the wrong field.
bool needsQuotes(std::string_view value) {
    const std::size_t first = value.find_first_not_of(' ');
    return value.find_first_of(",\r\n") != std::string_view::npos ||
           (first != std::string_view::npos && value[first] == '"');
}

void appendValue(std::string& text, std::string_view value, int position) {
    if (!needsQuotes(value)) {
        text += value;
    } else if (value.find('"') == std::string_view::npos) {
        text += '"';
        text += value;
        text += '"';
    } else {
        throw ChannelFileValueError(valueName(position) + "里的双引号无法写入信道文件");
    }
    text += ',';
}

} // namespace

std::string ChannelFileLoad::errorText() const {
    switch (problem) {
    case ChannelFileProblem::None:
        break;
    case ChannelFileProblem::Incomplete:
        return "文件不完整：缺少第 " + std::to_string(missingValue) + " 个值（应有 " +
               std::to_string(kChannelFileValueCount) + " 个值）";
    case ChannelFileProblem::NotText:
        return "不是信道文件：第 " + std::to_string(badByte + 1) + " 个字节不是文本";
    case ChannelFileProblem::Blank:
        return "不是信道文件：文件里只有空格和空行";
    case ChannelFileProblem::NotFrequency:
        return "不是信道文件：第 " + std::to_string(badLine) + " 行的" + valueName(badValue) + "“" +
               text::visibleText(badText, text::kQuotedValueLength) + "”不是数字";
    }
    return {};
}

std::string ChannelFileText(const ChannelFileContents& contents) {
    std::string text;
    int position = 1;
    appendValue(text, contents.squelch, position++);
    text += kRowEnd;
    for (const ChannelFileRow& row : contents.rows) {
        for (int field = 1; field < kChannelFieldCount; ++field) {
            appendValue(text, textOf(row[static_cast<std::size_t>(field)]), position++);
        }
        text += kRowEnd;
    }
    return text;
}

ChannelFileLoad ParseChannelFile(std::string_view fileText) {
    ChannelFileLoad load;
    if (const std::size_t badByte = firstNonTextByte(fileText); badByte != std::string_view::npos) {
        load.problem = ChannelFileProblem::NotText;
        load.badByte = badByte;
        return load;
    }
    FileValueReader reader(fileText);
    auto fail = [&] {
        load.problem = ChannelFileProblem::Incomplete;
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
            const std::size_t start = reader.position;
            const std::optional<FileValue> value = NextFileValue(reader);
            if (!value) {
                return fail();
            }
            if ((field == channel_field::kReceiveFrequency ||
                 field == channel_field::kTransmitFrequency) &&
                !isFrequencyValue(*value)) {
                load.problem = ChannelFileProblem::NotFrequency;
                load.badValue = reader.valuesRead;
                load.badText = std::get<std::string>(*value);
                load.badLine = lineAfter(fileText.substr(0, start));
                load.charactersUsed = reader.position;
                return load;
            }
            row[static_cast<std::size_t>(field)] = fieldValue(field, *value);
        }
    }
    load.charactersUsed = reader.position;
    if (isBlankText(fileText.substr(0, reader.position))) {
        load.problem = ChannelFileProblem::Blank;
        return load;
    }
    load.contents = std::move(contents);
    load.charactersUsed = reader.position;
    load.moreValues = fileText.substr(reader.position).find_first_not_of(" \t\r\n,\x1A") !=
                      std::string_view::npos;
    return load;
}

void ApplyChannelFile(const ChannelFileContents& contents, ChannelCursor& cursor) {
    cursor.replaceRows(contents.rows);
}

namespace {

// A file keeps fields 1 to 9 of each row; a row's channel number is its place.
ChannelFileContents FileOfRows(const std::array<ChannelRow, kChannelCount>& rows,
                               std::string_view squelch) {
    ChannelFileContents contents;
    contents.squelch = squelch;
    for (std::size_t index = 0; index < rows.size(); ++index) {
        std::copy(rows[index].begin() + 1, rows[index].end(), contents.rows[index].begin() + 1);
    }
    return contents;
}

} // namespace

ChannelFileContents CollectChannelFile(ChannelCursor& cursor, std::string_view squelch) {
    ChannelFileContents contents = FileOfRows(CollectChannelRows(cursor), squelch);
    // Like the transfers and a load, a save ends on row 1: past row 16 there
    // is no current record for the next pick.
    cursor.MoveFirst();
    return contents;
}

ChannelFileContents ShownChannelFile(const ChannelCursor& cursor, std::string_view squelch) {
    return FileOfRows(ShownChannelRows(cursor), squelch);
}

std::string SaveText(ChannelCursor& cursor, std::string_view squelch) {
    return ChannelFileText(CollectChannelFile(cursor, squelch));
}

} // namespace kr4720::channel_files
