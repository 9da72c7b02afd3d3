#pragma once
// The program header record: the preset's name and the module's common settings.

#include <cstdint>

namespace t2tk {

// Record byte that carries the compatibility switch; the builder leaves it 0.
inline constexpr int kCompatibilityByte = 17;

// How many characters of the name the module shows.
inline constexpr int kShownNameLength = 16;

// A character of the name as the module shows it: it takes 7-bit characters
// only (anything above would break the message's framing), so the others
// show as a question mark.
inline std::uint8_t ShownNameCharacter(std::uint8_t c)
{
    return c < 0x80 ? c : '?';
}

// record: 40 writable bytes; name: the preset's 28-byte name field, of which
// the first 16 bytes are used. Always returns 0.
int BuildProgramHeader(std::uint8_t* record, const std::uint8_t* name);

}  // namespace t2tk
