#include "examples/fxp_builder.h"

#include <algorithm>
#include <bit>
#include <fstream>
#include <stdexcept>

namespace t2tk::fxp {

namespace {

void PutBigEndian(std::vector<std::uint8_t>& out, std::uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

void PutChars(std::vector<std::uint8_t>& out, const std::array<char, 4>& chars)
{
    for (const char c : chars) {
        out.push_back(static_cast<std::uint8_t>(c));
    }
}

// Small, fixed generator, so that the examples come out the same everywhere.
class Xorshift {
public:
    explicit Xorshift(std::uint32_t seed) : m_state(seed * 2654435761U + 1U) {}
    std::uint32_t Next()
    {
        m_state ^= m_state << 13;
        m_state ^= m_state >> 17;
        m_state ^= m_state << 5;
        return m_state;
    }
    // A multiple of 1/256 in 0..1, so that the values read well in a dump.
    float Unit() { return static_cast<float>(Next() % 257) / 256.0f; }
    float Switch() { return static_cast<float>(Next() % 2); }

private:
    std::uint32_t m_state;
};

}  // namespace

void Preset::SetName(std::string_view text)
{
    name.fill(0);
    std::copy_n(text.begin(), std::min(text.size(), name.size()), name.begin());
}

std::vector<std::uint8_t> Encode(const Preset& preset)
{
    std::vector<std::uint8_t> out;
    out.reserve(56 + 4 * preset.parameters.size());
    const auto byteSize = static_cast<std::uint32_t>(48 + 4 * preset.parameters.size());
    const auto count = preset.parameterCount >= 0 ? static_cast<std::uint32_t>(preset.parameterCount)
                                                  : static_cast<std::uint32_t>(preset.parameters.size());
    PutChars(out, preset.chunkMagic);
    PutBigEndian(out, byteSize);
    PutChars(out, preset.formatMagic);
    PutBigEndian(out, preset.formatVersion);
    PutChars(out, preset.pluginId);
    PutBigEndian(out, preset.pluginVersion);
    PutBigEndian(out, count);
    out.insert(out.end(), preset.name.begin(), preset.name.end());
    for (const float parameter : preset.parameters) {
        PutBigEndian(out, std::bit_cast<std::uint32_t>(parameter));
    }
    return out;
}

Preset MakeKit(std::string_view name, std::uint32_t seed)
{
    Preset preset;
    preset.SetName(name);
    Xorshift random(seed);
    for (float& parameter : preset.parameters) {
        parameter = random.Unit();
    }
    for (int voice = 0; voice < kVoices; ++voice) {
        // The five switches a voice is checked by must add up to a whole number.
        const float level = static_cast<float>(random.Next() % 9) / 8.0f;
        preset.Voice(voice, 9) = level;
        preset.Voice(voice, 5) = 1.0f - level;
        preset.Voice(voice, 16) = random.Switch();
        preset.Voice(voice, 26) = random.Switch();
        preset.Voice(voice, 36) = random.Switch();
    }
    return preset;
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace t2tk::fxp
