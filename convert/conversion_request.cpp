#include "convert/conversion_request.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "convert/convert.h"
#include "convert/output_file.h"
#include "convert/utf16.h"

namespace t2tk {

namespace {

// Points the core's progress lines at a stream for as long as it lives.
class ProgressTo {
public:
    explicit ProgressTo(std::ostream& stream) : m_previous(ProgressLines) { ProgressLines = &stream; }
    ~ProgressTo() { ProgressLines = m_previous; }
    ProgressTo(const ProgressTo&) = delete;
    ProgressTo& operator=(const ProgressTo&) = delete;

private:
    std::ostream* m_previous;
};

std::string Describe(const ConversionReport& report)
{
    const char* what = "";
    switch (report.failure) {
    case ConversionFailure::None:
        return "";
    case ConversionFailure::TooManyPresets:
        return report.reason;
    case ConversionFailure::PresetOpen:
        what = "cannot open preset";
        break;
    case ConversionFailure::PresetRead:
        what = "cannot read preset";
        break;
    case ConversionFailure::OutputIsPreset:
        what = "will not overwrite preset";
        break;
    case ConversionFailure::OutputWrite:
        what = "cannot write";
        break;
    case ConversionFailure::OutputFolder:
        what = "cannot create a file in";
        break;
    case ConversionFailure::OutputLink:
        what = "will not follow";
        break;
    case ConversionFailure::OutputFlush:
        return "wrote \"" + Printable(report.file) + "\", but its folder could not be flushed to disk (" +
               report.reason + "): the file may not survive a crash";
    }
    return std::string(what) + " \"" + Printable(report.file) + "\": " + report.reason;
}

// Bytes of the UTF-8 sequence text begins with, or 0 when it begins with none.
std::size_t Utf8Length(std::string_view text)
{
    const auto at = [&text](std::size_t i) { return i < text.size() ? static_cast<unsigned char>(text[i]) : 0U; };
    const unsigned lead = at(0);
    if (lead < 0x80) {
        return 1;
    }
    // The length, and the range the second byte must lie in (no overlong
    // forms, no surrogates, nothing past U+10FFFF).
    std::size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : low;
        high = lead == 0xED ? 0x9F : high;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : low;
        high = lead == 0xF4 ? 0x8F : high;
    } else {
        return 0;
    }
    if (at(1) < low || at(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if ((at(i) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

}  // namespace

NameList::NameList(const std::vector<std::string>& names)
{
    m_pointers.reserve(names.size() + 1);
    for (const std::string& name : names) {
        m_pointers.push_back(name.c_str());
    }
    m_pointers.push_back(nullptr);
}

ConversionResult ConvertPresets(const ConversionRequest& request, std::ostream& progress)
{
    static ConversionReport report;
    const NameList names(request.names);
    const auto convert = request.format == OutputFormat::SysEx ? ConvertFilesToSysEx : ConvertFilesToMidi;
    const int compatibility = request.compatibility ? 1 : 0;
    std::vector<PresetBytes> readAlready(request.readAlready.size(), PresetBytes{nullptr, 0});
    for (std::size_t i = 0; i < readAlready.size(); ++i) {
        if (request.readAlready[i]) {
            readAlready[i] = {request.readAlready[i]->data(), request.readAlready[i]->size()};
        }
    }
    const PresetBytes* read = readAlready.size() == request.names.size() ? readAlready.data() : nullptr;
    int status = 0;
    {
        const ProgressTo lines(progress);
        status = request.output.empty()
                     ? ConvertFilesToMessages(request.prefix.c_str(), names.data(), compatibility, request.firstSlot,
                                              &report, read)
                     : convert(request.prefix.c_str(), names.data(), request.output.c_str(), compatibility,
                               request.firstSlot, &report, read);
    }
    ConversionResult result;
    result.written = status == 0;
    result.failure = Describe(report);
    result.presets.assign(report.presets, report.presets + report.presetCount);
    if (request.keepMessages && status == 0) {
        result.messages.assign(MessageBuffer.bytes, MessageBuffer.bytes + MessageBuffer.fillCount);
    }
    return result;
}

std::string OutputPathFor(const std::vector<std::string>& presets)
{
    if (presets.size() != 1) {
        return DefaultOutputName;
    }
#ifdef _WIN32
    constexpr const char* separators = "\\/:";
#else
    constexpr const char* separators = "/";
#endif
    // The extension is the last dot of the file name and what follows, unless
    // the dot begins the name; the text stays UTF-8 on every system.
    const std::string& path = presets.front();
    const std::size_t name = path.find_last_of(separators) + 1;  // 0 without a folder
    const std::size_t dot = path.rfind('.');
    return path.substr(0, dot != std::string::npos && dot > name ? dot : path.size()) + ".mid";
}

std::vector<std::uint8_t> MidiFileOf(std::span<const std::uint8_t> messages)
{
    std::vector<std::uint8_t> file(MidiFileCapacity(messages.size()));
    file.resize(FormatMidiFile(messages.data(), messages.size(), file.data()));
    return file;
}

std::string IncompletePresetWarning(std::string_view name, const PresetSummary& preset)
{
    if (IsCompletePreset(preset)) {
        return {};
    }
    const std::string size = preset.bytesRead > kCompletePresetSize
                                 ? "longer than " + std::to_string(kCompletePresetSize) + " bytes, the rest is ignored"
                                 : std::to_string(preset.bytesRead) + " of " + std::to_string(kCompletePresetSize) +
                                       " bytes";
    return "warning: \"" + Printable(name) + "\" is not a complete Tolvin preset (" + size + ", " +
           std::to_string(preset.parameterCount) + " of " + std::to_string(kCompleteParameterCount) +
           " parameters); converted as it is";
}

std::string IncompleteCount(int incomplete, int files)
{
    return std::to_string(incomplete) + " of " + std::to_string(files) + (files == 1 ? " file" : " files") +
           (incomplete == 1 ? " is not a complete Tolvin preset" : " are not complete Tolvin presets");
}

std::string ProgramOverflowWarning(int firstProgram, int presets)
{
    constexpr int lastProgram = kLastSlot + 1;
    if (firstProgram + presets - 1 <= lastProgram) {
        return {};
    }
    return "warning: there is no program past " + std::to_string(lastProgram) + "; presets " +
           std::to_string(lastProgram - firstProgram + 1) + " to " + std::to_string(presets) + " all go to program " +
           std::to_string(lastProgram);
}

OwnFile ReadOwnFile(const std::string& path, std::size_t limit)
{
    OwnFile file;
    const int read = ReadSmallFile(path.c_str(), limit, file.contents);
    const int error = errno;
    file.found = read == 0;
    if (read == 1) {
        file.problem = "\"" + Printable(path) + "\" is no settings file: not a regular file of at most " +
                       std::to_string(limit) + " bytes";
    } else if (read < 0 && error != ENOENT && error != ENOTDIR) {
        file.problem = "cannot read \"" + Printable(path) + "\": " + std::strerror(error);
    }
    return file;
}

std::string WriteOwnFile(const std::string& path, std::string_view contents)
{
    // A folder that is not there yet is made, for its user alone, as the
    // settings folders of a new account are.
    const std::filesystem::path folder = SystemPath(path).parent_path();
    std::error_code error;
    if (!folder.empty() && !std::filesystem::exists(folder, error) && std::filesystem::create_directories(folder, error)) {
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    }
    static ConversionReport report;
    ClearReport(&report);
    OutputTarget target(path.c_str(), OutputUse::RegularFile);
    return target.Write(reinterpret_cast<const std::uint8_t*>(contents.data()), contents.size(), &report) == 0
               ? std::string()
               : Describe(report);
}

std::string CheckOwnFile(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path folder = SystemPath(path).parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error)) {
        return {};  // WriteOwnFile makes it
    }
    static ConversionReport report;
    ClearReport(&report);
    return OutputTarget(path.c_str(), OutputUse::RegularFile).Check(&report) == 0 ? std::string() : Describe(report);
}

std::filesystem::path SystemPath(const std::string& path)
{
#ifdef _WIN32
    return Utf16(path);
#else
    return path;
#endif
}

bool IsStandardOutput(const std::string& path)
{
    return OutputTarget(path.c_str()).IsStandardOutput();
}

std::string Printable(std::string_view name)
{
    std::string text;
    text.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::size_t length = Utf8Length(name.substr(i));
        const auto byte = static_cast<unsigned char>(name[i]);
        // C0 controls and DEL, C1 controls (U+0080 to U+009F, which a
        // terminal takes as CSI and the like), and bytes that are no UTF-8.
        const bool control = length == 0 || (length == 1 && (byte < 0x20 || byte == 0x7F)) ||
                             (byte == 0xC2 && static_cast<unsigned char>(name[i + 1]) < 0xA0);
        if (!control) {
            text.append(name.substr(i, length));
            i += length;
            continue;
        }
        for (const std::size_t end = i + std::max<std::size_t>(length, 1); i < end; ++i) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(name[i]));
            text += escaped;
        }
    }
    return text;
}

}  // namespace t2tk
