#include "cli/converter_run.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "cli/cli_options.h"
#include "cli/program_list.h"
#include "cli/send_run.h"
#include "convert/conversion_request.h"
#include "convert/saved_messages.h"
#include "files/file_conversion.h"

namespace t2tk::cli {

namespace {

int UsageError(const std::string& what, std::ostream& err)
{
    err << kProgramName << what << "\nRun 't2tk-convert --help' for more information.\n";
    return kExitUsage;
}

// A file given to --send, told by its first bytes whatever its size or kind:
// a file t2tk wrote (its bytes, read whole) or a preset (its bytes only when
// it could not be read again, as a pipe cannot).
struct SendInput {
    FileKind kind = FileKind::Preset;
    std::optional<std::vector<std::uint8_t>> bytes;
    bool tooLarge = false;
};

SendInput ReadSendInput(const std::string& name)
{
    SendInput input;
    std::error_code error;
    const std::filesystem::path path = SystemPath(name);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        return input;  // the conversion says why it cannot be read
    }
    // A regular file can be read again: its head is enough for now.
    const bool again = std::filesystem::is_regular_file(path, error);
    std::vector<std::uint8_t> bytes(again ? 4 : kLargestSavedFile + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    input.kind = KindOfFile(bytes);
    if (input.kind != FileKind::Preset && again) {
        input.tooLarge = std::filesystem::file_size(path, error) > kLargestSavedFile;
        if (!input.tooLarge) {
            bytes.assign(std::istreambuf_iterator<char>(file.seekg(0)), std::istreambuf_iterator<char>());
        }
    } else {
        input.tooLarge = bytes.size() > kLargestSavedFile;
    }
    if (!again || input.kind != FileKind::Preset) {
        input.bytes = std::move(bytes);
    }
    return input;
}

// Files given to --send that t2tk wrote (a MIDI file, SysEx messages): their
// messages, back to back, each file checked whole. Nothing when the files are
// presets; an exit status when they cannot be sent.
struct SavedSend {
    std::vector<std::uint8_t> messages;
    std::optional<int> exitStatus;
};

std::optional<SavedSend> SavedFilesToSend(const Options& options, const std::vector<SendInput>& inputs,
                                          std::ostream& err)
{
    const auto isSaved = [](const SendInput& input) { return input.kind != FileKind::Preset; };
    const auto saved = std::count_if(inputs.begin(), inputs.end(), isSaved);
    if (saved == 0) {
        return std::nullopt;
    }
    if (static_cast<std::size_t>(saved) != inputs.size()) {
        const auto savedOne = static_cast<std::size_t>(std::find_if(inputs.begin(), inputs.end(), isSaved) - inputs.begin());
        const auto preset = static_cast<std::size_t>(std::find_if_not(inputs.begin(), inputs.end(), isSaved) -
                                                     inputs.begin());
        return SavedSend{{}, UsageError("files t2tk wrote and presets cannot be sent together: \"" +
                                            Printable(options.presets[savedOne]) + "\" is a file t2tk wrote, \"" +
                                            Printable(options.presets[preset]) + "\" a preset",
                                        err)};
    }
    if (options.programGiven || options.compatibility || !options.output.empty()) {
        return SavedSend{{}, UsageError("-p, -c and -o are for presets, not for files t2tk wrote", err)};
    }
    SavedSend send;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const SavedMessages read = inputs[i].tooLarge ? SavedMessages{{}, "it holds more than " +
                                                                              std::to_string(kLargestSavedFile) +
                                                                              " bytes, more than any file t2tk writes"}
                                                      : ReadSavedMessages(*inputs[i].bytes);
        if (!read.failure.empty()) {
            err << kProgramName << "will not send \"" << Printable(options.presets[i]) << "\": " << read.failure
                << "\n";
            return SavedSend{{}, kExitFailed};
        }
        send.messages.insert(send.messages.end(), read.messages.begin(), read.messages.end());
    }
    return send;
}

// Sending overwrites programs in the module: what is not a whole preset goes
// only when the user says so. The warnings have said which files they are.
std::optional<int> RefuseIncomplete(const Options& options, const ConversionResult& result, std::ostream& err)
{
    const auto incomplete = std::count_if(result.presets.begin(), result.presets.end(),
                                          [](const PresetSummary& preset) { return !IsCompletePreset(preset); });
    if (incomplete == 0 || options.sendIncomplete) {
        return std::nullopt;
    }
    err << kProgramName << "will not send: " << IncompleteCount(static_cast<int>(incomplete),
                                                                static_cast<int>(result.presets.size()))
        << ", and sending overwrites programs in the module; --send-incomplete sends them anyway\n";
    return kExitUsage;
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
    // Standard output that is one of the files would take the progress
    // lines or the list while it is read: refused before anything is read.
    if (const int preset = PresetAtStandardOutput({}, options.presets); preset >= 0) {
        err << kProgramName
            << PresetAtStandardOutputFailure(options.presets[static_cast<std::size_t>(preset)], options.list) << "\n";
        return kExitFailed;
    }
    if (options.list) {
        return ListRun(options, out, err);
    }
    const bool sending = !options.sendPort.empty();
    // A file sent again is checked whole before the port is taken.
    std::vector<SendInput> inputs;
    if (sending) {
        std::transform(options.presets.begin(), options.presets.end(), std::back_inserter(inputs), ReadSendInput);
    }
    const std::optional<SavedSend> saved = sending ? SavedFilesToSend(options, inputs, err) : std::nullopt;
    if (saved && saved->exitStatus) {
        return *saved->exitStatus;
    }
    // The port next: a port that is not there stops the run before a file is
    // written. From here on a signal stops the run between two messages.
    std::optional<SendSignals> signals;
    std::unique_ptr<send::MidiPort> port;
    if (sending) {
#ifdef SIGPIPE
        // Standard output that goes away must not cut a send short: writes
        // to it fail instead, which the exit status says.
        std::signal(SIGPIPE, SIG_IGN);
#endif
        signals.emplace();
        int status = kExitFailed;
        if ((port = OpenPortRun(options.sendPort, options.waitForPort, *signals, err, status)) == nullptr) {
            return status;
        }
    }
    if (saved) {
        return SendRun(*port, saved->messages, *signals, err, errIsTerminal);
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
    for (SendInput& input : inputs) {
        request.readAlready.push_back(std::move(input.bytes));
    }

    if (const std::string warning = ProgramOverflowWarning(options.program, static_cast<int>(options.presets.size()));
        !warning.empty()) {
        err << kProgramName << warning << "\n";
    }
    // A MIDI stream on standard output keeps it clean of the progress lines.
    const ConversionResult result = ConvertAndWrite(request, out, &err);
    for (std::size_t i = 0; i < result.presets.size(); ++i) {
        for (const std::string& warning : PresetWarnings(options.presets[i], result.presets[i])) {
            err << kProgramName << warning << "\n";
        }
    }
    for (const std::string& warning : result.warnings) {
        err << kProgramName << warning << "\n";
    }
    if (!result.written) {
        err << kProgramName << result.failure << "\n";
        return kExitFailed;
    }
    if (!sending) {
        return kExitConverted;
    }
    if (const std::optional<int> refused = RefuseIncomplete(options, result, err)) {
        return *refused;
    }
    // Progress lines that could not be written make the exit status 1; what
    // reached the module is said all the same.
    return SendRun(*port, result.messages, *signals, err, errIsTerminal, out.fail());
}

}  // namespace t2tk::cli
