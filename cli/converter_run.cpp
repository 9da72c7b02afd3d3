#include "cli/converter_run.h"

#include <vector>

#include "cli/cli_options.h"
#include "convert/convert.h"

namespace t2tk::cli {

namespace {

constexpr const char* kProgramName = "t2tk-convert: ";

void WarnAboutIncompletePresets(const ConversionReport& report, const std::vector<std::string>& presets,
                                std::ostream& err)
{
    for (int i = 0; i < report.presetCount; ++i) {
        const PresetSummary& preset = report.presets[i];
        if (!IsCompletePreset(preset)) {
            err << kProgramName << "warning: \"" << presets[static_cast<std::size_t>(i)]
                << "\" is not a complete Tolvin preset (" << preset.bytesRead << " of " << kCompletePresetSize
                << " bytes, " << preset.parameterCount << " of " << kCompleteParameterCount
                << " parameters); converted as it is\n";
        }
    }
}

// The core holds every preset past the last program at that program.
void WarnAboutProgramOverflow(const Options& options, std::ostream& err)
{
    constexpr int lastProgram = kLastSlot + 1;
    const int count = static_cast<int>(options.presets.size());
    if (options.program + count - 1 > lastProgram) {
        err << kProgramName << "warning: there is no program past " << lastProgram << "; presets "
            << lastProgram - options.program + 1 << " to " << count << " all go to program " << lastProgram << "\n";
    }
}

}  // namespace

int RunConverter(int argc, const char* const* argv, std::ostream& out, std::ostream& err)
{
    Options options;
    if (const auto exitStatus = ParseOptions(argc, argv, options, out, err)) {
        return *exitStatus;
    }
    const std::string output = options.output.empty() ? DefaultOutputPath(options.presets) : options.output;

    std::vector<const char*> names;
    names.reserve(options.presets.size() + 1);
    for (const std::string& preset : options.presets) {
        names.push_back(preset.c_str());
    }
    names.push_back(nullptr);

    WarnAboutProgramOverflow(options, err);
    out.flush();  // the conversion prints its own lines through C's stdout

    static ConversionReport report;
    const auto convert = IsSysExPath(output) ? ConvertFilesToSysEx : ConvertFilesToMidi;
    const int result = convert("", names.data(), output.c_str(), options.compatibility ? 1 : 0,
                               options.program - 1, &report);
    WarnAboutIncompletePresets(report, options.presets, err);
    if (result != 0) {
        char message[kPathCapacity + 512];
        DescribeConversionFailure(report, message, sizeof message);
        err << kProgramName << message << "\n";
        return kExitFailed;
    }
    return kExitConverted;
}

}  // namespace t2tk::cli
