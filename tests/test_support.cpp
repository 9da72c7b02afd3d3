#include "tests/test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include "convert/convert.h"

namespace t2tk::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = fs::temp_directory_path() / ("t2tk-test-" + std::to_string(random()));
        if (fs::create_directory(folder)) {
            m_path = folder.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary folder");
}

TempDir::~TempDir()
{
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::vector<std::string> TempDir::List() const
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_path)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes ReadBytes(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    fxp::WriteFile(path, bytes);
}

std::string WritePreset(const std::string& path, const fxp::Preset& preset)
{
    fxp::WriteFile(path, fxp::Encode(preset));
    return path;
}

fxp::Preset UniformPreset(float value)
{
    fxp::Preset preset;
    std::fill(preset.parameters.begin(), preset.parameters.end(), value);
    return preset;
}

Bytes MessageBytes()
{
    return Bytes(MessageBuffer.bytes, MessageBuffer.bytes + MessageBuffer.fillCount);
}

std::size_t MessageOffset(int index)
{
    std::size_t offset = 0;
    for (int i = 0; i < index; ++i) {
        offset = static_cast<std::size_t>(
                     std::find(MessageBuffer.bytes + offset, MessageBuffer.bytes + MessageBuffer.fillCount, 0xF7) -
                     MessageBuffer.bytes) +
                 1;
    }
    return offset;
}

}  // namespace t2tk::test
