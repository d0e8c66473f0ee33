#pragma once

#include "channel_data/field_value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

// Reading a channel file value by value: comma-separated values, line breaks
// counting as separators too, an optional pair of double quotes around a value.
namespace kr4720::channel_files {

// A value with no characters (an empty field between two commas, an empty line).
struct NoValue {
    bool operator==(const NoValue&) const = default;
};

// One value as read: no value, a number (an unquoted decimal number) or a text.
using FileValue = std::variant<NoValue, double, std::string>;

// Where reading stands in the file's text. The text must outlive the reader.
struct FileValueReader {
    explicit FileValueReader(std::string_view fileText) : text(fileText) {}

    std::string_view text;
    std::size_t position = 0; // first character not yet consumed
    int valuesRead = 0;
};

// Reads the next value and moves past it together with the comma or line break
// that ends it (and one line break directly after that comma). The first value
// of a file is always a text; later ones are typed. Empty when the file ends
// before a value has begun. Each successful call consumes at least one character.
std::optional<FileValue> NextFileValue(FileValueReader& reader);

// What a value becomes when stored into a field: a number as its shortest
// number text (67.0 -> "67", 023 -> "23"), a text as it is, no value as Null.
FieldValue storedFieldValue(const FileValue& value);

} // namespace kr4720::channel_files
