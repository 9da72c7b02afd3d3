#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>

#include "convert/convert.h"
#include "convert/effect_record.h"
#include "convert/program_header.h"
#include "convert/voice_record.h"

namespace t2tk {

std::uint8_t PresetImage[kPresetImageSize];

// The batch limit is what the message buffer holds: an init request, then the
// messages of each preset.
static_assert(kRequestLength + kMaxPresetsPerBatch * kPresetMessagesLength <= static_cast<int>(kMessageBufferSize));
static_assert(kRequestLength + (kMaxPresetsPerBatch + 1) * kPresetMessagesLength > static_cast<int>(kMessageBufferSize));

namespace {

// Where each record is built just before its dump is appended.
std::uint8_t ScratchRecord[1024];

void SwapBytes32(std::uint8_t* bytes)
{
    std::swap(bytes[0], bytes[3]);
    std::swap(bytes[1], bytes[2]);
}

void ToHostOrder(std::uint8_t* bytes)
{
    if constexpr (std::endian::native == std::endian::little) {
        SwapBytes32(bytes);
    }
}

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes)
{
    return (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) | (std::uint32_t{bytes[2]} << 8) |
           std::uint32_t{bytes[3]};
}

// What the conversion of the preset in the image changes of it, as its
// summary says: its name as the module shows it, and the parameters outside
// 0 to 1 (the image is still in the file's byte order).
void SummarizeImage(PresetSummary& summary)
{
    summary.fxp = std::memcmp(PresetImage, "CcnK", 4) == 0 && std::memcmp(PresetImage + 8, "FxCk", 4) == 0;
    constexpr std::size_t nameField = 28;
    const std::uint8_t* name = PresetImage + kProgramNameOffset;
    std::size_t length = 0;
    while (length < nameField && name[length] != 0) {
        summary.name[length] = static_cast<char>(name[length]);
        ++length;
    }
    summary.name[length] = '\0';
    std::size_t shown = 0;
    for (; shown < static_cast<std::size_t>(kShownNameLength) && shown < length; ++shown) {
        summary.shown[shown] = static_cast<char>(ShownNameCharacter(name[shown]));
    }
    summary.shown[shown] = '\0';
    summary.outOfRange = 0;
    summary.voicesOutOfRange = 0;
    summary.effectsOutOfRange = 0;
    const auto inRange = [](const std::uint8_t* bytes) {
        // Not std::bit_cast: the page's compiler (Emscripten's libc++) has none.
        const std::uint32_t word = ReadBigEndian32(bytes);
        float x = 0.0F;
        std::memcpy(&x, &word, sizeof x);
        return x >= 0.0F && x <= 1.0F;  // false for no number too
    };
    // What is no preset has no parameters to speak of; and a value the
    // conversion never reads reaches the module in no form.
    if (!summary.fxp) {
        return;
    }
    for (int v = 0; v < kVoices; ++v) {
        for (std::size_t at = 0; at < kVoiceBlockSize; at += 4) {
            if (VoiceParameterRead(static_cast<int>(at / 4)) &&
                !inRange(PresetImage + kVoiceBlockOffset + v * kVoiceBlockSize + at)) {
                ++summary.outOfRange;
                summary.voicesOutOfRange |= 1U << v;
            }
        }
    }
    for (int u = 0; u < kEffectUnits; ++u) {
        for (std::size_t at = 0; at < kEffectBlockSize; at += 4) {
            if (EffectParameterRead(u, static_cast<int>(at / 4)) &&
                !inRange(PresetImage + kEffectBlockOffset + u * kEffectBlockSize + at)) {
                ++summary.outOfRange;
                summary.effectsOutOfRange = static_cast<std::uint8_t>(summary.effectsOutOfRange | (1U << u));
            }
        }
    }
}

// prefix and name joined as they are; false when the path does not fit.
bool JoinPresetPath(const char* prefix, const char* name, char* path, std::size_t size)
{
    const int length = std::snprintf(path, size, "%s%s", prefix, name);
    return length >= 0 && static_cast<std::size_t>(length) < size;
}

int CountNames(const char* const* names)
{
    int count = 0;
    while (names[count] != nullptr) {
        ++count;
    }
    return count;
}

// Why a preset could not be opened. On Windows a file another program holds
// is said so, as the writer says it, and not as a lack of permission.
const char* OpenFailure()
{
#ifdef _WIN32
    constexpr unsigned long kSharingViolation = 32;
    constexpr unsigned long kLockViolation = 33;
    const unsigned long code = _doserrno;  // the system's own error, which the C library keeps beside errno
    if (errno == EACCES && (code == kSharingViolation || code == kLockViolation)) {
        return "another program is using it";
    }
#endif
    return std::strerror(errno);
}

// Reads up to kPresetReadSize bytes of path into the image and zeroes the rest,
// so that a short file never carries an earlier preset's bytes. Refuses the
// output of the conversion, which would be overwritten.
int ReadPresetImage(const char* path, const ConversionOutput* output, std::size_t* bytesRead,
                    ConversionReport* report)
{
    std::FILE* file = OpenPreset(path);
    if (file == nullptr) {
#ifdef _WIN32
        // Windows will not open a folder at all: said as where only its reading fails.
        const int why = errno;
        std::error_code ignored;
        if (why == EACCES &&
            std::filesystem::is_directory(std::u8string(reinterpret_cast<const char8_t*>(path)), ignored)) {
            ReportFailure(report, ConversionFailure::PresetRead, path, std::strerror(EISDIR));
            return -1;
        }
        errno = why;
#endif
        ReportFailure(report, ConversionFailure::PresetOpen, path, OpenFailure());
        return -1;
    }
    if (output != nullptr && output->IsPreset(file)) {
        std::fclose(file);
        ReportFailure(report, ConversionFailure::OutputIsPreset, path, "it is one of the presets being converted");
        return -1;
    }
    // Straight into the image: a buffer of the C library's own would only
    // take the bytes in smaller pieces first.
    std::setvbuf(file, nullptr, _IONBF, 0);
    const std::size_t got = std::fread(PresetImage, 1, kPresetReadSize, file);
    const bool failed = std::ferror(file) != 0;
    const int error = errno;
    std::fclose(file);
    if (failed) {
        ReportFailure(report, ConversionFailure::PresetRead, path, std::strerror(error));
        return -1;
    }
    std::memset(PresetImage + got, 0, kPresetImageSize - got);
    *bytesRead = got;
    return 0;
}

// Takes a preset read already into the image, as ReadPresetImage would.
void CopyPresetImage(const PresetBytes& preset, std::size_t* bytesRead)
{
    const std::size_t got = std::min(preset.size, kPresetReadSize);
    std::memcpy(PresetImage, preset.bytes, got);
    std::memset(PresetImage + got, 0, kPresetImageSize - got);
    *bytesRead = got;
}

// Reads and converts every preset into the message buffer, after emptying it.
int AppendPresetFiles(const char* prefix, const char* const* names, int compatibility, int firstSlot,
                      const ConversionOutput* output, ConversionReport* report, const PresetBytes* readAlready)
{
    MessageBuffer.fillCount = 0;
    ClearReport(report);

    const int count = CountNames(names);
    if (count > kMaxPresetsPerBatch) {
        char reason[128];
        std::snprintf(reason, sizeof reason, "too many presets: %d given, at most %d fit in one conversion", count,
                      kMaxPresetsPerBatch);
        ReportFailure(report, ConversionFailure::TooManyPresets, "", reason);
        return -1;
    }

    static char path[kPathCapacity];
    int slot = firstSlot;
    for (int i = 0; i < count; ++i) {
        if (!JoinPresetPath(prefix, names[i], path, sizeof path)) {
            ReportFailure(report, ConversionFailure::PresetOpen, names[i], std::strerror(ENAMETOOLONG));
            return -1;
        }
        std::size_t bytesRead = 0;
        if (readAlready != nullptr && readAlready[i].bytes != nullptr) {
            CopyPresetImage(readAlready[i], &bytesRead);
        } else if (ReadPresetImage(path, output, &bytesRead, report) != 0) {
            return -1;
        }
        slot = std::clamp(slot, kFirstSlot, kLastSlot);
        if (report != nullptr) {
            PresetSummary& summary = report->presets[i];
            summary.bytesRead = static_cast<std::uint32_t>(bytesRead);
            summary.parameterCount = ReadBigEndian32(PresetImage + kParameterCountOffset);
            summary.slot = slot;
            SummarizeImage(summary);
            report->presetCount = i + 1;
        }
        AppendPresetMessages(PresetImage, slot, compatibility, i == 0 ? 1 : 0);
        ++slot;
    }
    return 0;
}

using OutputWriter = int (*)(const std::uint8_t* messages, int count, ConversionOutput& output,
                             ConversionReport* report);

int WriteSysExFile(const std::uint8_t* messages, int count, ConversionOutput& output, ConversionReport* report)
{
    if (const std::string failure = output.Write(messages, static_cast<std::size_t>(count)); !failure.empty()) {
        ReportFailure(report, ConversionFailure::Output, "", failure.c_str());
        return -1;
    }
    return 0;
}

int ConvertFiles(const char* prefix, const char* const* names, const char* outputPath, int compatibility,
                 int firstSlot, ConversionReport* report, const PresetBytes* readAlready, ConversionOutput* output,
                 OutputWriter write)
{
    if (output == nullptr) {
        ClearReport(report);
        ReportFailure(report, ConversionFailure::Output, outputPath, "no writer was given for the output");
        return -1;
    }
    // What the output is was settled before a preset is read, so that no
    // preset is taken for it and none is overwritten.
    if (const int result = AppendPresetFiles(prefix, names, compatibility, firstSlot, output, report, readAlready);
        result != 0) {
        return result;
    }
    return write(MessageBuffer.bytes, MessageBuffer.fillCount, *output, report);
}

}  // namespace

int ConvertFilesToMidi(const char* prefix, const char* const* names, const char* outputPath, int compatibility,
                       int firstSlot, ConversionReport* report, const PresetBytes* readAlready,
                       ConversionOutput* output)
{
    return ConvertFiles(prefix, names, outputPath, compatibility, firstSlot, report, readAlready, output,
                        WriteMidiFile);
}

int ConvertFilesToSysEx(const char* prefix, const char* const* names, const char* outputPath, int compatibility,
                        int firstSlot, ConversionReport* report, const PresetBytes* readAlready,
                        ConversionOutput* output)
{
    return ConvertFiles(prefix, names, outputPath, compatibility, firstSlot, report, readAlready, output,
                        WriteSysExFile);
}

std::FILE* OpenPreset(const char* path)
{
#ifdef _WIN32
    // UTF-8 inside, UTF-16 to the system; a path past the classic 260
    // characters goes in its long form (\\?\C:\..., \\?\UNC\...), which
    // reaches 32,767.
    std::filesystem::path wide(std::u8string(reinterpret_cast<const char8_t*>(path)));
    const std::wstring& text = wide.native();
    if (text.size() >= 248 && text.rfind(L"\\\\?\\", 0) != 0 && text.rfind(L"\\\\.\\", 0) != 0) {
        std::error_code ignored;
        std::wstring full = std::filesystem::absolute(wide, ignored).make_preferred().native();
        full = full.rfind(L"\\\\", 0) == 0 ? L"\\\\?\\UNC\\" + full.substr(2) : L"\\\\?\\" + full;
        wide = full;
    }
    if (wide.native().size() >= 32767) {  // longer than even the long form takes
        errno = ENAMETOOLONG;
        return nullptr;
    }
    return ::_wfopen(wide.c_str(), L"rb");
#else
    return std::fopen(path, "rb");
#endif
}

int ConvertFilesToMessages(const char* prefix, const char* const* names, int compatibility, int firstSlot,
                           ConversionReport* report, const PresetBytes* readAlready)
{
    return AppendPresetFiles(prefix, names, compatibility, firstSlot, nullptr, report, readAlready);
}

int AppendPresetMessages(std::uint8_t* image, int slot, int compatibility, int firstFile)
{
    SwapPresetByteOrder(image);
    if (firstFile != 0) {
        AppendInitRequest();
    }

    BuildProgramHeader(ScratchRecord, image + kProgramNameOffset);
    if (compatibility != 0) {
        ScratchRecord[kCompatibilityByte] = 1;
    }
    AppendProgramDump(ScratchRecord, slot);

    for (int voice = 0; voice < kVoices; ++voice) {
        // A voice that fails the integrity test is still sent, as the builder left it.
        BuildVoiceRecord(image + kVoiceBlockOffset + kVoiceBlockSize * static_cast<std::size_t>(voice), ScratchRecord);
        ScratchRecord[0] = static_cast<std::uint8_t>(voice + 1);
        AppendVoiceDump(ScratchRecord, voice);
    }
    for (int unit = 0; unit < kEffectUnits; ++unit) {
        BuildEffectRecord(image + kEffectBlockOffset + kEffectBlockSize * static_cast<std::size_t>(unit),
                          ScratchRecord, unit);
        AppendEffectDump(ScratchRecord, unit);
    }

    AppendStoreRequest(slot);
    return 0;
}

int SwapPresetByteOrder(std::uint8_t* image)
{
    ToHostOrder(image + kByteSizeOffset);
    ToHostOrder(image + kParameterCountOffset);
    std::uint32_t count = 0;
    std::memcpy(&count, image + kParameterCountOffset, sizeof count);
    if (count > kMaxParameterCount) {
        return -1;
    }
    // A count that reaches past the image converts what lies inside it.
    count = std::min(count, kImageParameters);
    for (std::uint32_t i = 0; i < count; ++i) {
        ToHostOrder(image + kParametersOffset + 4 * std::size_t{i});
    }
    return 0;
}

}  // namespace t2tk
