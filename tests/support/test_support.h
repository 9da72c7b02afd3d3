#pragma once
// What the tests share: a temporary folder, file bytes, presets on disk, and
// conversions through the request layer.

#include <cerrno>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "convert/conversion_request.h"

namespace t2tk::test {

using Bytes = std::vector<std::uint8_t>;

// A fresh folder that is removed with everything in it at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string File(std::string_view name) const { return m_path + "/" + std::string(name); }
    // Names of the files in the folder, sorted.
    std::vector<std::string> List() const;

private:
    std::string m_path;
};

// The parts back to back, as a .syx file holds messages: byte strings, or
// messages a port or a receiver recorded.
template <typename Part>
Bytes Concat(const std::vector<Part>& parts)
{
    Bytes all;
    for (const Part& part : parts) {
        if constexpr (requires { part.bytes; }) {
            all.insert(all.end(), part.bytes.begin(), part.bytes.end());
        } else {
            all.insert(all.end(), part.begin(), part.end());
        }
    }
    return all;
}
inline Bytes Concat(const std::vector<Bytes>& parts)
{
    return Concat<Bytes>(parts);
}
// Whether two byte strings are equal; when not, where they first differ and a
// short hex dump of both around it.
::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected);
Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, std::string_view text);
std::string ReadText(const std::string& path);
// Copies one of the bundled example presets (rock-kit.fxp, jazz-brushes.fxp,
// electro-kit.fxp, hip-hop-kit.fxp) to path and returns path.
std::string CopyExample(const std::string& example, const std::string& path);

// Size of the MIDI file of a conversion of n presets: 73 + 3,059 n.
std::size_t MidiFileSize(int presets);

// Converts the presets to output through the request layer, without progress lines.
ConversionResult ConvertToFile(const std::vector<std::string>& presets, const std::string& output, int firstSlot = 0,
                         bool compatibility = false, OutputFormat format = OutputFormat::Midi);

}  // namespace t2tk::test
