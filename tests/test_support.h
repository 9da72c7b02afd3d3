#pragma once
// What the tests share: a temporary folder, file bytes, presets on disk and
// message lookups in the message buffer.

#include <cerrno>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "examples/fxp_builder.h"

namespace t2tk::test {

using Bytes = std::vector<std::uint8_t>;

// A folder given where a file is expected: Linux opens it and fails to read
// it, Windows refuses to open it.
#ifdef _WIN32
inline constexpr int kFolderAsFileError = EACCES;
inline constexpr bool kFolderOpens = false;
#else
inline constexpr int kFolderAsFileError = EISDIR;
inline constexpr bool kFolderOpens = true;
#endif

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

// The parts one after the other.
Bytes Concat(std::initializer_list<Bytes> parts);

Bytes ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);

// Writes the preset to path and returns path.
std::string WritePreset(const std::string& path, const fxp::Preset& preset);

// A full preset whose every parameter is value.
fxp::Preset UniformPreset(float value);

// The message buffer's used bytes.
Bytes MessageBytes();

// Offset of message number index (0-based) in the message buffer.
std::size_t MessageOffset(int index);

}  // namespace t2tk::test
