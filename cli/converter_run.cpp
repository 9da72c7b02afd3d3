#include "cli/converter_run.h"

#include <optional>

#include "cli/cli_options.h"
#include "cli/send_run.h"
#include "convert/conversion_request.h"
#include "convert/saved_messages.h"

namespace t2tk::cli {

namespace {

// The largest file t2tk writes is a MIDI file of 50 presets, some 150 KB.
constexpr std::size_t kMostSavedBytes = 4 * 1024 * 1024;

int UsageError(const std::string& what, std::ostream& err)
{
    err << kProgramName << what << "\nRun 't2tk-convert --help' for more information.\n";
    return kExitUsage;
}

// Files given to --send that t2tk wrote (a MIDI file, SysEx messages), told by
// their content: their messages, back to back. Nothing when the files are
// presets; an exit status when they cannot be sent.
struct SavedSend {
    std::vector<std::uint8_t> messages;
    std::optional<int> exitStatus;
};

std::optional<SavedSend> ReadSavedFiles(const Options& options, std::ostream& err)
{
    std::vector<OwnFile> files;
    std::size_t saved = 0;
    for (const std::string& name : options.presets) {
        OwnFile file = ReadOwnFile(name, kMostSavedBytes);
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(file.contents.data());
        saved += file.found && KindOfFile({bytes, file.contents.size()}) != FileKind::Preset ? 1 : 0;
        files.push_back(std::move(file));
    }
    if (saved == 0) {
        return std::nullopt;
    }
    if (saved != options.presets.size()) {
        return SavedSend{{}, UsageError("files t2tk wrote and presets cannot be sent together", err)};
    }
    if (options.programGiven || options.compatibility || !options.output.empty()) {
        return SavedSend{{}, UsageError("-p, -c and -o are for presets, not for files t2tk wrote", err)};
    }
    SavedSend send;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(files[i].contents.data());
        const SavedMessages read = ReadSavedMessages({bytes, files[i].contents.size()});
        if (!read.failure.empty()) {
            err << kProgramName << "will not send \"" << Printable(options.presets[i]) << "\": " << read.failure
                << "\n";
            return SavedSend{{}, kExitFailed};
        }
        send.messages.insert(send.messages.end(), read.messages.begin(), read.messages.end());
    }
    return send;
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
    const bool sending = !options.sendPort.empty();
    // A file sent again is checked whole before the port is taken.
    const std::optional<SavedSend> saved = sending ? ReadSavedFiles(options, err) : std::nullopt;
    if (saved && saved->exitStatus) {
        return *saved->exitStatus;
    }
    // The port next: a port that is not there stops the run before a file is written.
    std::unique_ptr<send::MidiPort> port;
    if (sending && (port = OpenPortRun(options.sendPort, options.waitForPort, err)) == nullptr) {
        return kExitFailed;
    }
    if (saved) {
        return SendRun(*port, saved->messages, err, errIsTerminal);
    }
    ConversionRequest request;
    request.names = options.presets;
    request.output = !options.output.empty() ? options.output
                     : sending               ? std::string()
                                             : OutputPathFor(options.presets);
    request.keepMessages = sending;
    request.compatibility = options.compatibility;
    request.firstSlot = options.program - 1;
    request.format = IsSysExPath(request.output) ? OutputFormat::SysEx : OutputFormat::Midi;

    if (const std::string warning = ProgramOverflowWarning(options.program, static_cast<int>(options.presets.size()));
        !warning.empty()) {
        err << kProgramName << warning << "\n";
    }
    // A MIDI stream on standard output keeps it clean of the progress lines.
    const ConversionResult result = ConvertPresets(request, IsStandardOutput(request.output) ? err : out);
    for (std::size_t i = 0; i < result.presets.size(); ++i) {
        if (const std::string warning = IncompletePresetWarning(options.presets[i], result.presets[i]); !warning.empty()) {
            err << kProgramName << warning << "\n";
        }
    }
    if (!result.written) {
        err << kProgramName << result.failure << "\n";
        return kExitFailed;
    }
    return sending ? SendRun(*port, result.messages, err, errIsTerminal) : kExitConverted;
}

}  // namespace t2tk::cli
