// Converts arbitrary bytes as preset files and checks the messages and the MIDI
// file against what a reader of them finds.
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
#include "files/file_conversion.h"
#include "convert/convert.h"
#include "convert/saved_messages.h"
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

// The MIDI file against what a reader of it finds, not against the writer's
// own layout: its track's length is the rest of the file, and read back it
// holds the messages, in order, and nothing else of the module's.
std::string CheckMidiFile(const std::vector<std::uint8_t>& file, const std::uint8_t* messages, std::size_t count)
{
    if (file.size() < 22 || ((std::size_t{file[18]} << 24) | (std::size_t{file[19]} << 16) |
                             (std::size_t{file[20]} << 8) | file[21]) != file.size() - 22) {
        return "the track's length is not the rest of the file";
    }
    const t2tk::SavedMessages read = t2tk::ReadSavedMessages(file);
    if (!read.failure.empty()) {
        return read.failure;
    }
    return read.messages == std::vector<std::uint8_t>(messages, messages + count) ? ""
                                                                                 : "it carries other messages";
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // In memory where there is some; TMPDIR, when set, says where instead.
    const char* shm = "/dev/shm";
    const char* temp = std::getenv("TMPDIR");
    std::string pattern = std::string(temp != nullptr && *temp != '\0' ? temp
                                      : access(shm, W_OK) == 0           ? shm
                                                                         : "/tmp") +
                          "/t2tk-fuzz-XXXXXX";
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
    if (const t2tk::ConversionResult result = t2tk::ConvertAndWrite(request, silent); !result.written) {
        Fail("conversion failed", result.failure);
    }
    const auto count = static_cast<std::size_t>(t2tk::MessageBuffer.fillCount);
    std::string problem = t2tk::test::CheckMessages(t2tk::MessageBuffer.bytes, count, presets);
    if (!problem.empty()) {
        Fail("messages", problem);
    }
    problem = CheckMidiFile(ReadAll(output), t2tk::MessageBuffer.bytes, count);
    if (!problem.empty()) {
        Fail("MIDI file", problem);
    }
    // Program dumps and store requests carry the clamped, consecutive slots,
    // and every program dump the compatibility switch.
    std::vector<int> dumps;
    std::vector<int> stores;
    for (std::size_t at = 0; at < count; at += t2tk::MessageLength(t2tk::MessageBuffer.bytes[at + t2tk::kTypeOffset])) {
        const std::uint8_t* m = t2tk::MessageBuffer.bytes + at;
        if (t2tk::IsProgramDump(m, t2tk::kProgramDumpLength)) {
            dumps.push_back(m[t2tk::kIndexOffset]);
            if (m[t2tk::kRecordOffset + t2tk::kCompatibilityByte] != compatibility) {
                Fail("compatibility", std::to_string(at));
            }
        } else if (t2tk::IsStoreRequest(m, t2tk::kRequestLength) && m[t2tk::kCodeOffset] == t2tk::kStoreCode) {
            stores.push_back(m[t2tk::kRecordOffset]);
        }
    }
    std::vector<int> slots;
    for (int i = 0, slot = firstSlot; i < presets; ++i, ++slot) {
        slot = slot < 0 ? 0 : (slot > 49 ? 49 : slot);
        slots.push_back(slot);
    }
    if (dumps != slots || stores != slots) {
        Fail("slots", std::to_string(firstSlot));
    }
    return 0;
}
