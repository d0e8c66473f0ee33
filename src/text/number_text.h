#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number rules every part of the program shares: how a text is read as a
// number and how a computed number is written back as text.
namespace kr4720::text {

// The number a text stands for wherever a field, a received character or a
// typed value is used as a number. Blanks, tabs and line feeds are dropped
// wherever they stand, then the longest leading decimal number is read
// (sign, digits, point, digits, exponent "E"); "&H" and "&O" read a
// hexadecimal or octal integer. A text that does not start with a number
// gives 0 ("off", "del", " ", "").
double leadingNumberValue(std::string_view text);

// The text stored for a computed number: at most 15 significant digits, no
// exponent, no trailing zeros and no trailing point (451.175, 400, 67, 88.5).
std::string shortestNumberText(double value);

// The "###.00000" form: integer digits without leading zeros (none at all
// below 1), a point and exactly five decimals (146.12500, .50000).
std::string fiveDecimalText(double value);

// value x 10^powerOfTen as a whole number, taken from the value's 15
// significant digits so that no unit is lost to binary rounding
// (435.0125 x 10^5 gives 43501250, not 43501249). Empty when the result is
// not a whole number or does not fit.
std::optional<std::int64_t> scaledWholeNumber(double value, int powerOfTen);

// True when the whole text is a plain decimal number: optional sign, digits,
// optional point and fraction, optional exponent. Nothing else may stand
// before or after it.
bool isDecimalNumberText(std::string_view text);

// True when a field's text is one number as it was meant, so that its number
// value is not a guess: blanks and line ends around it aside (but no carriage
// return in front), and blanks and tabs inside it dropped as the number rule
// drops them ("4 38.5"), it is a plain decimal number. "145,525", "146。525",
// "&H91", "\r145.5" or two lines pasted into one field are not. A text of
// blanks is not a number either.
bool isWholeNumberText(std::string_view text);

} // namespace kr4720::text
