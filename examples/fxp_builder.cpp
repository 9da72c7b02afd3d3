#include "examples/fxp_builder.h"

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

std::vector<std::uint8_t> Encode(const Preset& preset)
{
    const auto size = static_cast<std::uint32_t>(preset.parameters.size());
    std::vector<std::uint8_t> out = {'C', 'c', 'n', 'K'};
    PutBigEndian(out, 48 + 4 * size);
    out.insert(out.end(), {'F', 'x', 'C', 'k', 0, 0, 0, 1, 'T', 'l', 'v', 'n', 0, 0, 0, 1});
    PutBigEndian(out, preset.parameterCount >= 0 ? static_cast<std::uint32_t>(preset.parameterCount) : size);
    std::string name = preset.name.substr(0, 28);
    name.resize(28, '\0');
    out.insert(out.end(), name.begin(), name.end());
    for (const float parameter : preset.parameters) {
        PutBigEndian(out, std::bit_cast<std::uint32_t>(parameter));
    }
    return out;
}

Preset MakeKit(std::string_view name, std::uint32_t seed)
{
    Preset preset;
    preset.name = name;
    Xorshift random(seed);
    for (float& parameter : preset.parameters) {
        parameter = random.Unit();
    }
    for (int voice = 0; voice < 24; ++voice) {
        // The five switches a voice is checked by must add up to a whole number.
        float* x = preset.parameters.data() + voice * kVoiceParameters;
        const float level = static_cast<float>(random.Next() % 9) / 8.0f;
        x[9] = level;
        x[5] = 1.0f - level;
        x[16] = random.Switch();
        x[26] = random.Switch();
        x[36] = random.Switch();
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
