#include "convert/printable.h"

#include <algorithm>
#include <cstdio>

namespace t2tk {

namespace {

// Bytes of the UTF-8 sequence text begins with, or 0 when it begins with none.
std::size_t Utf8Length(std::string_view text)
{
    const auto at = [&text](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U; };
    const unsigned lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    // The length, and the range the second byte must lie in (no overlong
    // forms, no surrogates, nothing past U+10FFFF).
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// Marks that change the direction of text (U+061C, U+200E and U+200F,
// U+202A to U+202E, U+2066 to U+2069) or take no room (U+200B to U+200D,
// U+2060 to U+2064, U+FEFF): a name holding them would not read as it is.
bool IsInvisible(std::string_view character)
{
    if (character.size() < 2) {
        return false;
    }
    char32_t c = 0;
    if (character.size() == 2) {
        c = ((static_cast<unsigned char>(character[0]) & 0x1FU) << 6) | (static_cast<unsigned char>(character[1]) & 0x3FU);
    } else if (character.size() == 3) {
        c = ((static_cast<unsigned char>(character[0]) & 0x0FU) << 12) |
            ((static_cast<unsigned char>(character[1]) & 0x3FU) << 6) | (static_cast<unsigned char>(character[2]) & 0x3FU);
    }
    const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    return c == 0x061C || in(0x200B, 0x200F) || in(0x202A, 0x202E) || in(0x2060, 0x2064) || in(0x2066, 0x2069) ||
           c == 0xFEFF;
}

}  // namespace

std::string Printable(std::string_view name)
{
    std::string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = Utf8Length(name.substr(i));
        const auto byte = static_cast<unsigned char>(name[i]);
        // C0 controls and DEL, C1 controls (U+0080 to U+009F, which a
        // terminal takes as CSI and the like), bytes that are no UTF-8, and
        // the characters that turn text around or hide in it.
        const bool control = length == 0 || (length == 1 && (byte < 0x20 || byte == 0x7F)) ||
                             (byte == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0) ||
                             IsInvisible(name.substr(i, length));
        if (!control) {
            text.append(name.substr(i, length));
            i += length;
            continue;
        }
        for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(name[i]));
            text += escaped;
        }
    }
    return text;
}

}  // namespace t2tk
