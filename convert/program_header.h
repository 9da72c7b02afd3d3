#pragma once
// The program header record: the preset's name and the module's common settings.

#include <cstdint>

namespace t2tk {

// Record byte that carries the compatibility switch; the builder leaves it 0.
inline constexpr int kCompatibilityByte = 17;

// record: 40 writable bytes; name: the preset's 28-byte name field, of which
// the first 16 bytes are used. Always returns 0.
int BuildProgramHeader(std::uint8_t* record, const std::uint8_t* name);

}  // namespace t2tk
