#pragma once
// What a conversion tells its caller: which file failed and why, and what each
// preset looked like, so that the front ends can say it.

#include <climits>
#include <cstddef>
#include <cstdint>

namespace t2tk {

// Room for the longest path the platform allows, terminator included: on
// Windows 32,767 UTF-16 units, each up to three bytes of UTF-8.
#ifdef _WIN32
inline constexpr std::size_t kPathCapacity = 32767 * 3 + 1;
#else
inline constexpr std::size_t kPathCapacity = PATH_MAX;
#endif

// The most presets whose messages fit into the message buffer.
inline constexpr int kMaxPresetsPerBatch = 133;

enum class ConversionFailure {
    None,
    TooManyPresets,  // more presets than the message buffer holds
    PresetOpen,      // a preset cannot be opened (missing, no access, path too long)
    PresetRead,      // a preset opened but could not be read (a directory, say)
    OutputIsPreset,  // the output would overwrite one of the presets
    Output,          // the output could not be written; the writer's words are the reason
};

// What was read of one preset, and what its conversion changed of it.
struct PresetSummary {
    std::uint32_t bytesRead;       // at most 9,000
    std::uint32_t parameterCount;  // as the file states it
    bool fxp;                      // it begins as a preset of parameters does ("CcnK", then "FxCk")
    int slot;                      // the program slot it went to, 0..49
    char name[29];                 // its program name, up to the first zero of the field's 28 bytes
    char shown[17];                // the name as the module shows it: 16 characters, '?' for any it cannot show
    int outOfRange;                // parameters outside 0 to 1, or no number at all
    std::uint32_t voicesOutOfRange;  // bit v: voice v + 1 has such a parameter
    std::uint8_t effectsOutOfRange;  // bit u: effect unit u + 1 has one
};

struct ConversionReport {
    ConversionFailure failure;
    char file[kPathCapacity];           // the file the failure is about
    char reason[kPathCapacity + 256];   // the system's error text, or our own, or the writer's whole words
    int presetCount;           // presets read and converted
    PresetSummary presets[kMaxPresetsPerBatch];
};

// A complete preset: a preset of parameters, every voice and effect
// parameter present, and nothing after them.
inline constexpr std::uint32_t kCompletePresetSize = 8600;
inline constexpr std::uint32_t kCompleteParameterCount = 2136;

inline bool IsCompletePreset(const PresetSummary& preset)
{
    return preset.fxp && preset.bytesRead == kCompletePresetSize && preset.parameterCount == kCompleteParameterCount;
}

// Empties the report; does nothing for a null report.
void ClearReport(ConversionReport* report);

// Records a failure with the file it names and the reason; does nothing for a
// null report. Both texts are cut to fit.
void ReportFailure(ConversionReport* report, ConversionFailure failure, const char* file, const char* reason);

}  // namespace t2tk
