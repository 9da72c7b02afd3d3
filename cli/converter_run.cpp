#include "cli/converter_run.h"

#include "cli/cli_options.h"
#include "cli/send_run.h"
#include "convert/conversion_request.h"

namespace t2tk::cli {

namespace {

void WarnAboutIncompletePresets(const ConversionResult& result, const std::vector<std::string>& presets,
                                std::ostream& err)
{
    for (std::size_t i = 0; i < result.presets.size(); ++i) {
        const PresetSummary& preset = result.presets[i];
        if (IsCompletePreset(preset)) {
            continue;
        }
        err << kProgramName << "warning: \"" << Printable(presets[i]) << "\" is not a complete Tolvin preset (";
        if (preset.bytesRead > kCompletePresetSize) {
            err << "longer than " << kCompletePresetSize << " bytes, the rest is ignored";
        } else {
            err << preset.bytesRead << " of " << kCompletePresetSize << " bytes";
        }
        err << ", " << preset.parameterCount << " of " << kCompleteParameterCount
            << " parameters); converted as it is\n";
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

int RunConverter(int argc, const char* const* argv, std::ostream& out, std::ostream& err, bool errIsTerminal)
{
    Options options;
    if (const auto exitStatus = ParseOptions(argc, argv, options, out, err)) {
        return *exitStatus;
    }
    if (options.listPorts) {
        return ListPortsRun(out, err);
    }
    // The port first: a port that is not there stops the run before a file is written.
    std::unique_ptr<send::MidiPort> port;
    if (!options.sendPort.empty() && (port = OpenPortRun(options.sendPort, err)) == nullptr) {
        return kExitFailed;
    }
    ConversionRequest request;
    request.names = options.presets;
    request.output = !options.output.empty() ? options.output
                     : port != nullptr       ? std::string()
                                             : DefaultOutputPath(options.presets);
    request.keepMessages = port != nullptr;
    request.compatibility = options.compatibility;
    request.firstSlot = options.program - 1;
    request.format = IsSysExPath(request.output) ? OutputFormat::SysEx : OutputFormat::Midi;

    WarnAboutProgramOverflow(options, err);
    // A MIDI stream on standard output keeps it clean of the progress lines.
    const ConversionResult result = Convert(request, IsStandardOutput(request.output) ? err : out);
    WarnAboutIncompletePresets(result, options.presets, err);
    if (!result.written) {
        err << kProgramName << result.failure << "\n";
        return kExitFailed;
    }
    return port != nullptr ? SendRun(*port, result.messages, err, errIsTerminal) : kExitConverted;
}

}  // namespace t2tk::cli
