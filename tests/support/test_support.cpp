#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "convert/convert.h"
#include "files/file_conversion.h"
#include "files/utf16.h"

namespace t2tk::test {

namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device random;
    fs::path folder;
    do {
        folder = fs::temp_directory_path() / ("t2tk-test-" + std::to_string(random()));
    } while (!fs::create_directory(folder));
    m_path = folder.generic_string();
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

::testing::AssertionResult SameBytes(const Bytes& actual, const Bytes& expected)
{
    if (actual == expected) {
        return ::testing::AssertionSuccess();
    }
    const auto offset =
        static_cast<std::size_t>(std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
                                 actual.begin());
    const auto dump = [offset](const Bytes& bytes) {
        std::string text;
        for (std::size_t i = offset >= 8 ? offset - 8 : 0; i < std::min(bytes.size(), offset + 8); ++i) {
            char hex[8];
            std::snprintf(hex, sizeof hex, i == offset ? "[%02X]" : " %02X ", bytes[i]);
            text += hex;
        }
        return text;
    };
    return ::testing::AssertionFailure() << actual.size() << " bytes, " << expected.size()
                                         << " expected; they differ first at offset " << offset
                                         << "\n  actual:   " << dump(actual) << "\n  expected: " << dump(expected);
}

Bytes ReadBytes(const std::string& path)
{
#ifdef _WIN32
    std::ifstream file(fs::path(Utf16(path)), std::ios::binary);  // UTF-8, as the product's paths there
#else
    std::ifstream file(path, std::ios::binary);
#endif
    return Bytes(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& path, const Bytes& bytes)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WriteText(const std::string& path, std::string_view text)
{
    WriteBytes(path, Bytes(text.begin(), text.end()));
}

std::string ReadText(const std::string& path)
{
    const Bytes bytes = ReadBytes(path);
    return {bytes.begin(), bytes.end()};
}

std::string CopyExample(const std::string& example, const std::string& path)
{
    WriteBytes(path, ReadBytes(T2TK_EXAMPLES_DIR "/" + example));
    return path;
}

std::size_t MidiFileSize(int presets)
{
    return 73 + 3059 * static_cast<std::size_t>(presets);
}

ConversionResult ConvertToFile(const std::vector<std::string>& presets, const std::string& output, int firstSlot,
                         bool compatibility, OutputFormat format)
{
    ConversionRequest request;
    request.names = presets;
    request.output = output;
    request.firstSlot = firstSlot;
    request.compatibility = compatibility;
    request.format = format;
    std::ostream silent(nullptr);
    return t2tk::ConvertAndWrite(request, silent);
}

}  // namespace t2tk::test
