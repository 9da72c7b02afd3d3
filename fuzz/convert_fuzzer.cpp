// Converts arbitrary bytes as preset files and checks the messages and the MIDI
// file against their structure.
//
// Input: byte 0 holds the compatibility switch (bit 0) and the number of
// presets less one (bits 1 and 2), byte 1 the first program slot as a signed
// byte; the rest is cut into that many preset files.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "convert/conversion_request.h"
#include "convert/convert.h"
#include "tests/support/message_checks.h"

namespace {

std::string g_folder;

void RemoveFolder()
{
    std::error_code ignored;
    std::filesystem::remove_all(g_folder, ignored);
}

void Fail(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "invariant broken: %s: %s\n", what, detail.c_str());
    std::abort();
}

void WriteAll(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        Fail("cannot write", path);
    }
}

std::vector<std::uint8_t> ReadAll(const std::string& path)
{
    std::vector<std::uint8_t> bytes(200000);
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        Fail("cannot read", path);
    }
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file));
    std::fclose(file);
    return bytes;
}

// The MIDI file made of the messages: its fixed parts, one SysEx event per
// message with the right delta and length, the track length and the size;
// empty when all is well, else what is wrong.
std::string CheckMidiFile(const std::uint8_t* file, std::size_t size, const std::uint8_t* messages,
                          std::size_t count)
{
    static constexpr std::uint8_t kOpening[] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x30, 'M', 'T', 'r', 'k', 0, 0, 0, 0,
        0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
        0x00, 0xFF, 0x03, 0x10, 'K', 'o', 'r', 'v', 'a', 'n', 'e', ' ', 'T', '2', 'T', 'K', ' ', '1', '.', '0'};
    static constexpr std::uint8_t kEnd[] = {0x30, 0xFF, 0x2F, 0x00};
    if (size < sizeof kOpening + sizeof kEnd || std::memcmp(file, kOpening, 18) != 0 ||
        std::memcmp(file + 22, kOpening + 22, sizeof kOpening - 22) != 0 ||
        std::memcmp(file + size - 4, kEnd, 4) != 0) {
        return "fixed parts differ";
    }
    const std::size_t trackLength = (std::size_t{file[18]} << 24) | (std::size_t{file[19]} << 16) |
                                    (std::size_t{file[20]} << 8) | file[21];
    if (trackLength != size - 22) {
        return "track length " + std::to_string(trackLength) + " in a file of " + std::to_string(size);
    }
    std::size_t at = sizeof kOpening;
    std::size_t offset = 0;
    while (offset < count) {
        const std::uint8_t* m = messages + offset;
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(m, 0xF7, count - offset));
        if (end == nullptr || end - m < 5) {
            return "no whole message at " + std::to_string(offset);
        }
        const auto length = static_cast<std::size_t>(end - m);  // after the 0xF0, 0xF7 included
        const std::uint8_t delta = m[4] == 0x11 ? 0x60 : 0x18;
        if (length >= 0x80 || at + 3 + length > size - 4 || file[at] != delta ||
            file[at + 1] != 0xF0 || file[at + 2] != length || std::memcmp(file + at + 3, m + 1, length) != 0) {
            return "the event at " + std::to_string(at) + " does not carry the message at " + std::to_string(offset);
        }
        at += 3 + length;
        offset += length + 1;
    }
    return at == size - 4 ? "" : "bytes after the last event at " + std::to_string(at);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    const char* shm = "/dev/shm";
    std::string pattern = std::string(access(shm, W_OK) == 0 ? shm : "/tmp") + "/t2tk-fuzz-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        Fail("cannot create", pattern);
    }
    g_folder = pattern;
    std::atexit(RemoveFolder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) {
        return 0;
    }
    const int compatibility = data[0] & 1;
    const int presets = ((data[0] >> 1) & 3) + 1;
    const int firstSlot = data[1] < 128 ? data[1] : data[1] - 256;
    data += 2;
    size -= 2;

    t2tk::ConversionRequest request;
    for (int i = 0; i < presets; ++i) {
        const std::size_t begin = size * static_cast<std::size_t>(i) / static_cast<std::size_t>(presets);
        const std::size_t end = size * static_cast<std::size_t>(i + 1) / static_cast<std::size_t>(presets);
        request.names.push_back(g_folder + "/preset" + std::to_string(i) + ".fxp");
        WriteAll(request.names.back(), data + begin, end - begin);
    }
    request.output = g_folder + "/out.mid";
    request.compatibility = compatibility != 0;
    request.firstSlot = firstSlot;
    std::ostream silent(nullptr);  // the progress lines
    const std::string& output = request.output;
    if (const t2tk::ConversionResult result = t2tk::ConvertPresets(request, silent); !result.written) {
        Fail("conversion failed", result.failure);
    }
    const auto count = static_cast<std::size_t>(t2tk::MessageBuffer.fillCount);
    std::string problem = t2tk::test::CheckMessages(t2tk::MessageBuffer.bytes, count, presets);
    if (!problem.empty()) {
        Fail("messages", problem);
    }
    const std::vector<std::uint8_t> file = ReadAll(output);
    if (file.size() != 73 + 3059 * static_cast<std::size_t>(presets)) {
        Fail("file size", std::to_string(file.size()));
    }
    problem = CheckMidiFile(file.data(), file.size(), t2tk::MessageBuffer.bytes, count);
    if (!problem.empty()) {
        Fail("MIDI file", problem);
    }
    // Program dumps and store requests carry the clamped, consecutive slots.
    int slot = firstSlot;
    for (int i = 0; i < presets; ++i, ++slot) {
        slot = slot < 0 ? 0 : (slot > 49 ? 49 : slot);
        const std::size_t dump = 10 + 2999 * static_cast<std::size_t>(i);
        if (t2tk::MessageBuffer.bytes[dump + 6] != slot || t2tk::MessageBuffer.bytes[dump + 2996] != slot ||
            t2tk::MessageBuffer.bytes[dump + 7 + 17] != compatibility) {
            Fail("slot or compatibility", std::to_string(i));
        }
    }
    return 0;
}
