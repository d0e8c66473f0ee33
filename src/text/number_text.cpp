#include "text/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>
#include <system_error>

namespace kr4720::text {
namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A finite double as at most 15 significant decimal digits:
// |value| = 0.d1d2d3... x 10^(exponent + 1), with no leading or trailing zero
// digits. Zero has no digits.
struct Decimal {
    bool negative = false;
    std::string digits;
    int exponent = 0;
};

Decimal toDecimal(double value) {
    Decimal d;
    if (!std::isfinite(value) || value == 0.0) {
        return d;
    }
    d.negative = value < 0;
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                   std::chars_format::scientific, 14);
    if (ec != std::errc()) {
        return {};
    }
    std::string_view text(buffer, static_cast<std::size_t>(end - buffer));
    const auto ePos = text.find('e');
    for (char c : text.substr(0, ePos)) {
        if (isDigit(c)) {
            d.digits.push_back(c);
        }
    }
    int exponent = 0;
    auto expText = text.substr(ePos + 1);
    if (!expText.empty() && expText.front() == '+') {
        expText.remove_prefix(1);
    }
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    d.exponent = exponent;
    while (!d.digits.empty() && d.digits.back() == '0') {
        d.digits.pop_back();
    }
    if (d.digits.empty()) {
        d.negative = false;
    }
    return d;
}

// Integer and fraction digits of a decimal, the fraction at least
// `minFraction` digits long.
std::pair<std::string, std::string> fixedParts(const Decimal& d, std::size_t minFraction) {
    std::string integer;
    std::string fraction;
    const int integerCount = d.exponent + 1;
    if (integerCount > 0) {
        const auto n = static_cast<std::size_t>(integerCount);
        integer = d.digits.substr(0, std::min(n, d.digits.size()));
        integer.append(n > d.digits.size() ? n - d.digits.size() : 0, '0');
        if (n < d.digits.size()) {
            fraction = d.digits.substr(n);
        }
    } else {
        fraction.assign(static_cast<std::size_t>(-integerCount), '0');
        fraction += d.digits;
    }
    if (fraction.size() < minFraction) {
        fraction.append(minFraction - fraction.size(), '0');
    }
    return {integer, fraction};
}

// Adds one unit to the last digit of a digit string; returns false on carry
// out of the first digit.
bool incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return true;
        }
        *it = '0';
    }
    return false;
}

double parseRadixInteger(std::string_view text, int radix) {
    double value = 0;
    for (char c : text) {
        int digit = -1;
        if (isDigit(c)) {
            digit = c - '0';
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        }
        if (digit < 0 || digit >= radix) {
            break;
        }
        value = value * radix + digit;
    }
    return value;
}

// Length of the decimal number at the start of `text` (0 when none).
std::size_t leadingDecimalLength(std::string_view text) {
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    std::size_t mantissaDigits = 0;
    while (i < text.size() && isDigit(text[i])) {
        ++i;
        ++mantissaDigits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) {
            ++i;
            ++mantissaDigits;
        }
    }
    if (mantissaDigits == 0) {
        return 0;
    }
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            ++j;
        }
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) {
                ++j;
            }
            i = j;
        }
    }
    return i;
}

double parseDecimal(std::string_view number) {
    bool negative = false;
    if (!number.empty() && (number.front() == '+' || number.front() == '-')) {
        negative = number.front() == '-';
        number.remove_prefix(1);
    }
    double value = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
    (void)ptr;
    if (ec == std::errc::result_out_of_range) {
        // from_chars leaves the value alone; tell huge from tiny by the exponent.
        const auto ePos = number.find_first_of("Ee");
        const bool tiny =
            ePos != std::string_view::npos && number.substr(ePos + 1).starts_with('-');
        value = tiny ? 0.0 : std::numeric_limits<double>::max();
    }
    return negative ? -value : value;
}

} // namespace

double leadingNumberValue(std::string_view text) {
    std::string compact;
    std::string_view s = text;
    if (text.find_first_of(" \t\n") != std::string_view::npos) {
        compact.reserve(text.size());
        for (char c : text) {
            if (c != ' ' && c != '\t' && c != '\n') {
                compact.push_back(c);
            }
        }
        s = compact;
    }
    if (s.size() >= 2 && s[0] == '&') {
        if (s[1] == 'H' || s[1] == 'h') {
            return parseRadixInteger(s.substr(2), 16);
        }
        if (s[1] == 'O' || s[1] == 'o') {
            return parseRadixInteger(s.substr(2), 8);
        }
    }
    const auto length = leadingDecimalLength(s);
    return length == 0 ? 0.0 : parseDecimal(s.substr(0, length));
}

std::string shortestNumberText(double value) {
    const Decimal d = toDecimal(value);
    if (d.digits.empty()) {
        return "0";
    }
    auto [integer, fraction] = fixedParts(d, 0);
    std::string text = d.negative ? "-" : "";
    text += integer.empty() ? "0" : integer;
    if (!fraction.empty()) {
        text += '.';
        text += fraction;
    }
    return text;
}

std::string fiveDecimalText(double value) {
    const Decimal d = toDecimal(value);
    auto [integer, fraction] = fixedParts(d, 5);
    const bool roundUp = fraction.size() > 5 && fraction[5] >= '5';
    fraction.resize(5);
    std::string digits = integer + fraction;
    if (roundUp && !incrementDigits(digits)) {
        digits.insert(digits.begin(), '1');
    }
    integer = digits.substr(0, digits.size() - 5);
    fraction = digits.substr(digits.size() - 5);
    integer.erase(0, integer.find_first_not_of('0'));
    const bool zero = integer.empty() && fraction == "00000";
    return (d.negative && !zero ? "-" : "") + integer + "." + fraction;
}

std::optional<std::int64_t> scaledWholeNumber(double value, int powerOfTen) {
    if (!std::isfinite(value)) {
        return std::nullopt;
    }
    const Decimal d = toDecimal(value);
    if (d.digits.empty()) {
        return 0;
    }
    const int integerCount = d.exponent + 1 + powerOfTen;
    if (integerCount < static_cast<int>(d.digits.size()) || integerCount > 18) {
        return std::nullopt;
    }
    std::int64_t result = 0;
    for (int i = 0; i < integerCount; ++i) {
        const auto index = static_cast<std::size_t>(i);
        result = result * 10 + (index < d.digits.size() ? d.digits[index] - '0' : 0);
    }
    return d.negative ? -result : result;
}

bool isDecimalNumberText(std::string_view text) {
    return !text.empty() && leadingDecimalLength(text) == text.size();
}

bool isWholeNumberText(std::string_view text) {
    // The number rule skips blanks, tabs and line feeds but stops at a
    // carriage return, so one in front hides the number ("\r145.5" reads as
    // 0); after it, it only ends the number.
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) {
        return false;
    }
    text = text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        return false;
    }
    std::string compact;
    std::remove_copy_if(text.begin(), text.end(), std::back_inserter(compact),
                        [](char c) { return c == ' ' || c == '\t'; });
    return isDecimalNumberText(compact);
}

} // namespace kr4720::text
