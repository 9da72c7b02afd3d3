#pragma once
// Builds FXP preset files of the Tolvin layout: a big-endian header and 2,136
// big-endian float parameters (24 voices of 87, then 4 effect units of 12).

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace t2tk::fxp {

inline constexpr int kVoiceParameters = 87;
inline constexpr int kParameters = 24 * kVoiceParameters + 4 * 12;  // 2,136

struct Preset {
    std::string name;  // the first 28 bytes go into the name field
    std::vector<float> parameters = std::vector<float>(kParameters, 0.0f);
    std::int64_t parameterCount = -1;  // the count the header states; by default the number of parameters
};

// The file's bytes: 56 header bytes and 4 per parameter (8,600 for a full preset).
std::vector<std::uint8_t> Encode(const Preset& preset);

// A preset of sensible values in 0..1 that every voice's integrity test passes,
// different for every seed.
Preset MakeKit(std::string_view name, std::uint32_t seed);

// Writes bytes to path; throws std::runtime_error when it cannot.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace t2tk::fxp
