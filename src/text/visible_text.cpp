#include "text/visible_text.h"

#include <cstdint>
#include <cstdio>

namespace kr4720::text {
namespace {

bool showsAsNothingOrABlank(std::uint32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0xA0) || c == 0xAD || (c >= 0x2000 && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202F) || (c >= 0x205F && c <= 0x206F) || c == 0x3000 ||
           c == 0xFEFF;
}

// The length of the UTF-8 sequence at the start of `text` and its code
// point; 0 when it is not one.
std::size_t decode(std::string_view text, std::uint32_t& c) {
    const auto byte = [&text](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = lead < 0x80                   ? 1
                         : lead >= 0xC2 && lead < 0xE0 ? 2
                         : lead >= 0xE0 && lead < 0xF0 ? 3
                         : lead >= 0xF0 && lead < 0xF5 ? 4
                                                       : 0;
    if (length == 0 || length > text.size()) {
        return 0;
    }
    c = length == 1 ? lead : lead & (0x7FU >> length);
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0U) != 0x80U) {
            return 0;
        }
        c = (c << 6U) | (byte(i) & 0x3FU);
    }
    // Overlong forms, surrogates and values past U+10FFFF are no UTF-8.
    static constexpr std::uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[length] || (c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        return 0;
    }
    return length;
}

} // namespace

std::string visibleText(std::string_view utf8) {
    std::string shown;
    char escape[16];
    while (!utf8.empty()) {
        std::uint32_t c = 0;
        const std::size_t length = decode(utf8, c);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "<0x%02X>", static_cast<unsigned char>(utf8[0]));
            shown += escape;
            utf8.remove_prefix(1);
            continue;
        }
        if (showsAsNothingOrABlank(c)) {
            std::snprintf(escape, sizeof escape, "<U+%04X>", static_cast<unsigned>(c));
            shown += escape;
        } else {
            shown += utf8.substr(0, length);
        }
        utf8.remove_prefix(length);
    }
    return shown;
}

std::string visibleText(std::string_view utf8, std::size_t limit) {
    if (utf8.size() <= limit) {
        return visibleText(utf8);
    }
    std::size_t cut = limit;
    while (cut > 0 && (static_cast<unsigned char>(utf8[cut]) & 0xC0U) == 0x80U) {
        --cut;
    }
    return visibleText(utf8.substr(0, cut)) + "…";
}

} // namespace kr4720::text
