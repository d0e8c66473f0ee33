#include "channel_files/file_value_reader.h"

#include "text/number_text.h"

#include <algorithm>

namespace kr4720::channel_files {
namespace {

// Length of the line break ("\r\n", "\n" or "\r") at `pos`, 0 when there is none.
std::size_t lineBreakLength(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) {
        return 0;
    }
    if (text[pos] == '\r') {
        return pos + 1 < text.size() && text[pos + 1] == '\n' ? 2 : 1;
    }
    return text[pos] == '\n' ? 1 : 0;
}

// The first comma or line break at or after `pos`, or the end of the text.
std::size_t valueEnd(std::string_view text, std::size_t pos) {
    return std::min(text.find_first_of(",\r\n", pos), text.size());
}

// Moves past the comma or line break at `pos` that ends a value. A line break
// right after a comma belongs to that comma, so files with one value per line
// and files with everything on one line read the same.
std::size_t skipSeparator(std::string_view text, std::size_t pos) {
    if (pos < text.size() && text[pos] == ',') {
        ++pos;
    }
    return pos + lineBreakLength(text, pos);
}

} // namespace

std::optional<FileValue> NextFileValue(FileValueReader& reader) {
    const std::string_view text = reader.text;
    std::size_t pos = std::min(reader.position, text.size());
    while (pos < text.size() && text[pos] == ' ') {
        ++pos;
    }
    if (pos == text.size()) {
        reader.position = pos;
        return std::nullopt;
    }

    const bool quoted = text[pos] == '"';
    std::string_view characters;
    if (quoted) {
        const std::size_t start = pos + 1;
        const std::size_t close = std::min(text.find('"', start), text.size());
        characters = text.substr(start, close - start);
        // Whatever follows the closing quote up to the separator is dropped.
        pos = close == text.size() ? close : valueEnd(text, close + 1);
    } else {
        const std::size_t end = valueEnd(text, pos);
        characters = text.substr(pos, end - pos);
        pos = end;
    }
    reader.position = skipSeparator(text, pos);

    const bool first = reader.valuesRead == 0;
    ++reader.valuesRead;
    // Built in place: GCC 12 warns of a moved-from temporary variant otherwise.
    std::optional<FileValue> value;
    if (first || quoted) {
        value.emplace(std::in_place_type<std::string>, characters);
    } else if (characters.empty()) {
        value.emplace(std::in_place_type<NoValue>);
    } else if (text::isDecimalNumberText(characters)) {
        value.emplace(std::in_place_type<double>, text::leadingNumberValue(characters));
    } else {
        value.emplace(std::in_place_type<std::string>, characters);
    }
    return value;
}

FieldValue storedFieldValue(const FileValue& value) {
    if (const auto* number = std::get_if<double>(&value)) {
        return text::shortestNumberText(*number);
    }
    if (const auto* characters = std::get_if<std::string>(&value)) {
        return *characters;
    }
    return std::nullopt;
}

} // namespace kr4720::channel_files
