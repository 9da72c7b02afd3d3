#include "convert/conversion_request.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "convert/convert.h"
#include "convert/program_header.h"

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
    case ConversionFailure::Output:  // the writer's own words
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
    }
    return std::string(what) + " \"" + Printable(report.file) + "\": " + report.reason;
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

ConversionResult ConvertPresets(const ConversionRequest& request, std::ostream& progress, ConversionOutput* output)
{
    static ConversionReport report;
    const NameList names(request.names);
    const auto convert = request.format == OutputFormat::SysEx ? ConvertFilesToSysEx : ConvertFilesToMidi;
    const int compatibility = request.compatibility ? 1 : 0;
    std::vector<PresetBytes> readAlready(request.readAlready.size(), PresetBytes{nullptr, 0});
    for (std::size_t i = 0; i < readAlready.size(); ++i) {
        if (request.readAlready[i]) {
            // An empty file read is bytes too: never the null that says "read it".
            static constexpr std::uint8_t kNothing = 0;
            const auto& bytes = *request.readAlready[i];
            readAlready[i] = {bytes.empty() ? &kNothing : bytes.data(), bytes.size()};
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
                               request.firstSlot, &report, read, output);
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

namespace {

std::string Program(const PresetSummary& preset)
{
    return "program " + std::to_string(preset.slot + 1);
}

bool NameCut(const PresetSummary& preset)
{
    return std::strlen(preset.name) > static_cast<std::size_t>(kShownNameLength);
}

// What is no preset has no name of its own to speak of.
bool NameChanged(const PresetSummary& preset)
{
    return preset.fxp && (NameCut(preset) || std::strncmp(preset.name, preset.shown, sizeof preset.shown) != 0);
}

// "1, 2 and 5"
std::string Numbers(const std::vector<int>& numbers)
{
    std::string text;
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        text += (i == 0 ? "" : i + 1 == numbers.size() ? " and " : ", ") + std::to_string(numbers[i]);
    }
    return text;
}

// Where parameters are out of range: "voices 1, 2 and 5 and effect unit 3",
// or, when that would be long, "20 voices and 3 effect units".
std::string OutOfRangeWhere(const PresetSummary& preset)
{
    std::vector<int> voices;
    std::vector<int> effects;
    for (int v = 0; v < 24; ++v) {
        if ((preset.voicesOutOfRange >> v & 1U) != 0) {
            voices.push_back(v + 1);
        }
    }
    for (int u = 0; u < 4; ++u) {
        if ((preset.effectsOutOfRange >> u & 1U) != 0) {
            effects.push_back(u + 1);
        }
    }
    constexpr std::size_t kListed = 8;
    const bool listed = voices.size() + effects.size() <= kListed;
    std::vector<std::string> parts;
    if (!voices.empty()) {
        parts.push_back(listed ? (voices.size() == 1 ? "voice " : "voices ") + Numbers(voices)
                               : std::to_string(voices.size()) + (voices.size() == 1 ? " voice" : " voices"));
    }
    if (!effects.empty()) {
        parts.push_back(listed ? (effects.size() == 1 ? "effect unit " : "effect units ") + Numbers(effects)
                               : std::to_string(effects.size()) + (effects.size() == 1 ? " effect unit" : " effect units"));
    }
    return parts.size() == 2 ? parts[0] + " and " + parts[1] : parts.empty() ? std::string() : parts[0];
}

std::string Parameters(int count)
{
    return std::to_string(count) + (count == 1 ? " parameter" : " parameters") + " outside 0 to 1";
}

}  // namespace

std::vector<std::string> PresetWarnings(std::string_view name, const PresetSummary& preset)
{
    std::vector<std::string> warnings;
    const std::string file = "warning: \"" + Printable(name) + "\" (" + Program(preset) + ")";
    if (!preset.fxp) {
        warnings.push_back(file + " is no Tolvin preset: it does not begin as a preset of parameters does; converted "
                                  "as it is");
    } else if (!IsCompletePreset(preset)) {
        const std::string size = preset.bytesRead > kCompletePresetSize
                                     ? "longer than " + std::to_string(kCompletePresetSize) +
                                           " bytes, the rest is ignored"
                                     : std::to_string(preset.bytesRead) + " of " +
                                           std::to_string(kCompletePresetSize) + " bytes";
        warnings.push_back(file + " is not a complete Tolvin preset (" + size + ", " +
                           std::to_string(preset.parameterCount) + " of " + std::to_string(kCompleteParameterCount) +
                           " parameters); converted as it is");
    }
    if (NameChanged(preset)) {
        const bool cut = NameCut(preset);
        const bool replaced = std::strncmp(preset.name, preset.shown, std::strlen(preset.shown)) != 0;
        warnings.push_back(file + ": the module shows its name \"" + Printable(preset.name) + "\" as \"" +
                           Printable(preset.shown) + "\" (" + (cut ? "cut to 16 characters" : "") +
                           (cut && replaced ? ", and " : "") +
                           (replaced ? "characters it cannot show as \"?\"" : "") + ")");
    }
    if (preset.outOfRange > 0) {
        warnings.push_back(file + ": " + Parameters(preset.outOfRange) + ", in " + OutOfRangeWhere(preset) +
                           "; the module gets values within its range instead");
    }
    return warnings;
}

std::vector<std::string> PresetChanges(const PresetSummary& preset)
{
    std::vector<std::string> changes;
    if (!preset.fxp) {
        changes.emplace_back("no Tolvin preset");
    } else if (!IsCompletePreset(preset)) {
        changes.emplace_back(preset.bytesRead > kCompletePresetSize ? "longer than a complete preset"
                                                                      : "not a complete preset");
    }
    if (preset.fxp && NameCut(preset)) {
        changes.emplace_back("name cut to 16 characters");
    }
    if (preset.fxp && std::strncmp(preset.name, preset.shown, std::strlen(preset.shown)) != 0) {
        changes.emplace_back("characters of the name shown as ?");
    }
    if (preset.outOfRange > 0) {
        changes.push_back(Parameters(preset.outOfRange));
    }
    return changes;
}

std::string PresetChangeNote(const PresetSummary& preset)
{
    const bool name = NameChanged(preset);
    const bool range = preset.outOfRange > 0;
    if (name && range) {
        return Program(preset) + ": its name and " + Parameters(preset.outOfRange);
    }
    if (name) {
        return Program(preset) + " shows its name as \"" + Printable(preset.shown) + "\"";
    }
    return range ? Program(preset) + ": " + Parameters(preset.outOfRange) : std::string();
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

}  // namespace t2tk
