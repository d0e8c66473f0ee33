#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kr4720 {

// A field of the channel or emergency table: a text, or Null for a field
// nothing has written yet.
using FieldValue = std::optional<std::string>;

// Null, the empty text and a text of blanks all mean "not set".
inline bool isNotSet(const FieldValue& value) {
    return !value || value->find_first_not_of(' ') == std::string::npos;
}

// The field's text, with Null read as the empty text.
inline std::string_view textOf(const FieldValue& value) {
    return value ? std::string_view(*value) : std::string_view();
}

} // namespace kr4720
