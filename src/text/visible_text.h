#pragma once

#include <string>
#include <string_view>

namespace kr4720::text {

// A value as a message quotes it: characters that show as nothing or as a
// plain blank (control characters, a byte-order mark, zero-width and
// direction marks, no-break and ideographic spaces) written as <U+FEFF>, and
// bytes that are not UTF-8 as <0xFF>. "88.5" behind a byte-order mark reads
// "<U+FEFF>88.5", not "88.5", so the user sees why it was refused.
std::string visibleText(std::string_view utf8);

// How much of a value a message quotes: a value pasted from a page of text
// would otherwise fill the whole message box.
inline constexpr std::size_t kQuotedValueLength = 24;

// The same, cut after `limit` bytes on a character boundary, with "…" after
// it, when the value is longer.
std::string visibleText(std::string_view utf8, std::size_t limit);

} // namespace kr4720::text
