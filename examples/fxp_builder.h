#pragma once
// Builds FXP preset files of the Tolvin layout: a big-endian header and 2,136
// big-endian float parameters (24 voices of 87, then 4 effect units of 12).
// Every header field can be set, so that damaged and foreign files can be made too.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace t2tk::fxp {

inline constexpr int kVoices = 24;
inline constexpr int kVoiceParameters = 87;
inline constexpr int kEffectUnits = 4;
inline constexpr int kEffectParameters = 12;
inline constexpr int kParameters = kVoices * kVoiceParameters + kEffectUnits * kEffectParameters;  // 2,136

struct Preset {
    std::array<char, 4> chunkMagic{'C', 'c', 'n', 'K'};
    std::array<char, 4> formatMagic{'F', 'x', 'C', 'k'};
    std::uint32_t formatVersion = 1;
    std::array<char, 4> pluginId{'T', 'l', 'v', 'n'};
    std::uint32_t pluginVersion = 1;
    std::array<std::uint8_t, 28> name{};
    std::vector<float> parameters = std::vector<float>(kParameters, 0.0f);
    // The count the header states; by default the number of parameters.
    std::int64_t parameterCount = -1;

    float& Voice(int voice, int index) { return parameters.at(At(voice, kVoiceParameters, index)); }
    float& Effect(int unit, int index)
    {
        return parameters.at(At(kVoices, kVoiceParameters, 0) + At(unit, kEffectParameters, index));
    }
    // Copies text into the name field, cut to 28 bytes, zero-filled behind it.
    void SetName(std::string_view text);

private:
    // Position of parameter index in block number block of the given size.
    static std::size_t At(int block, int size, int index)
    {
        return static_cast<std::size_t>(block) * static_cast<std::size_t>(size) + static_cast<std::size_t>(index);
    }
};

// The file's bytes: 56 header bytes and 4 per parameter (8,600 for a full preset).
std::vector<std::uint8_t> Encode(const Preset& preset);

// A preset of sensible values in 0..1 that every voice's integrity test passes,
// different for every seed.
Preset MakeKit(std::string_view name, std::uint32_t seed);

// Writes bytes to path; throws std::runtime_error when it cannot.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace t2tk::fxp
