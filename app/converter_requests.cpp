#include "app/converter_requests.h"

#include <algorithm>
#include <cctype>
#include <ostream>

#include "app/command_line.h"
#include "app/conversion_status.h"
#include "app/file_selection.h"
#include "app/output_names.h"
#include "app/request_dialogs.h"
#include "app/settings_rules.h"
#include "app/settings_store.h"
#include "convert/conversion_request.h"
#include "files/file_conversion.h"

namespace t2tk::app {

namespace {

std::size_t Characters(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// What follows the first sentence of a written outcome's status line.
std::string StatusNotes(const RequestOutcome& outcome)
{
    std::string notes = ConversionNotes(outcome.presets, outcome.firstSlot, outcome.leftOut);
    if (outcome.incomplete > 0) {
        notes += " " + IncompleteCount(outcome.incomplete, outcome.presets) + ".";
    }
    // What the conversion changed: a note for each preset while they are
    // few, their count once they are not; the tooltip has every warning.
    constexpr std::size_t kNotes = 2;
    if (outcome.notes.size() > kNotes) {
        notes += " The conversion changed " + std::to_string(outcome.notes.size()) + " presets; the warnings say how.";
    } else {
        for (std::string note : outcome.notes) {
            note[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[0])));
            notes += " " + note + ".";
        }
    }
    return notes;
}

}  // namespace

std::string StatusLine(const RequestOutcome& outcome)
{
    if (!outcome.written) {
        return "Nothing written.";
    }
    return WroteSentence(FileNameOf(outcome.output), outcome.presets, outcome.firstSlot) + StatusNotes(outcome);
}

std::string FitStatus(const RequestOutcome& outcome, const std::string& after, const StatusRoom& room)
{
    const std::string below = after.empty() ? after : "\n" + after;
    if (!outcome.written) {
        return StatusLine(outcome) + below;
    }
    const std::string notes = StatusNotes(outcome) + below;
    const auto wrote = [&outcome](std::string_view name, bool programs = true) {
        return WroteSentence(name, outcome.presets, outcome.firstSlot, programs);
    };
    const std::string name = ElideMiddle(FileNameOf(outcome.output), [&](std::string_view part) {
        return room.nameFits(part) && room.textFits(wrote(part) + notes);
    });
    std::vector<std::string> firsts{wrote(name), wrote({}), wrote({}, false)};
    // A name cut down to a few characters says nothing: the first sentence goes on without it.
    constexpr std::size_t fewestKept = 6;
    if (name != FileNameOf(outcome.output) && Characters(name) - 1 < fewestKept) {
        firsts.erase(firsts.begin());
    }
    for (const std::string& first : firsts) {
        if (room.textFits(first + notes)) {
            return first + notes;
        }
    }
    return firsts.back() + notes;
}

RequestView ConverterRequests::View(const RequestOutcome& outcome, const StatusRoom& room) const
{
    RequestView view;
    view.line = FitStatus(outcome, {}, room);
    view.whole = StatusLine(outcome);
    for (const std::string& warning : outcome.warnings) {
        view.whole += "\n" + warning;
    }
    // Only a file that was written goes on to the module.
    if (outcome.written && !outcome.messages.empty() && !m_sendPort.empty()) {
        view.sendTo = m_sendPort;
    }
    return view;
}

ConverterRequests::ConverterRequests(SettingsStore& settings, RequestDialogs& dialogs)
    : m_settings(settings), m_dialogs(dialogs)
{
}

void ConverterRequests::LoadSettings()
{
    m_program = ProgramSlotFromSetting(m_settings.ReadInt(kSettingsSection, kProgramKey, 0));
    m_samePath = m_settings.ReadInt(kSettingsSection, kSamePathKey, 0);
    m_compatibility = m_settings.ReadInt(kSettingsSection, kCompatibilityKey, 0);
    m_sendPort = m_settings.ReadText(kSettingsSection, kSendPortKey);
    m_keptPort = m_sendPort;
}

std::string ConverterRequests::SaveSettings()
{
    m_settings.WriteInt(kSettingsSection, kProgramKey, m_program);
    m_settings.WriteInt(kSettingsSection, kSamePathKey, m_samePath);
    m_settings.WriteInt(kSettingsSection, kCompatibilityKey, m_compatibility);
    // Kept out of the file until a port is chosen.
    if (!m_keptPort.empty() || !m_settings.ReadText(kSettingsSection, kSendPortKey).empty()) {
        m_settings.WriteText(kSettingsSection, kSendPortKey, m_keptPort);
    }
    return m_settings.Save();
}

std::string ConverterRequests::SettingsProblem()
{
    const std::string problem = m_settings.SaveProblem();
    return problem.empty() ? problem : "Settings will not be kept: " + problem + ".";
}

std::optional<std::string> SendPortGone(const std::string& stored, const std::vector<std::string>& ports)
{
    if (stored.empty() || std::find(ports.begin(), ports.end(), stored) != ports.end()) {
        return std::nullopt;
    }
    return "The MIDI port " + stored + " is not here: conversions go to a file only.";
}

std::optional<RequestOutcome> ConverterRequests::RunCommandLine(const std::vector<std::string>& arguments)
{
    if (arguments.empty()) {
        return std::nullopt;
    }
    const CommandLineNames request = CommandLineRequest(arguments);
    const std::string suggestion =
        request.names.size() == 1 ? CommandLineOutputName(request.names.front()) : DefaultOutputName;
    const std::optional<std::string> output = m_dialogs.SaveOutput(suggestion);
    if (!output) {
        return std::nullopt;
    }
    return ConvertRequested("", request.names, *output, request.leftOut);
}

std::optional<RequestOutcome> ConverterRequests::OnConvert()
{
    const std::optional<std::string> chosen = m_dialogs.OpenPresets();
    if (!chosen) {
        return std::nullopt;
    }
    const FileSelection selection = ParseFileSelection(*chosen);
    const std::optional<std::string> output =
        m_samePath != 0 ? selection.suggestion : m_dialogs.SaveOutput(selection.suggestion);
    if (!output) {
        return std::nullopt;
    }
    return ConvertRequested(selection.prefix, selection.names, *output, selection.leftOut);
}

std::optional<RequestOutcome> ConverterRequests::OnDropFiles(const std::vector<std::string>& paths)
{
    const auto count = std::min(paths.size(), static_cast<std::size_t>(MaxRequestFiles));
    if (count < 1) {
        return std::nullopt;
    }
    const std::vector<std::string> names(paths.begin(), paths.begin() + static_cast<std::ptrdiff_t>(count));
    const std::string suggestion = count == 1 ? DroppedOutputName(names.front()) : DefaultOutputName;
    const std::optional<std::string> output = m_dialogs.SaveOutput(suggestion);
    if (!output) {
        return std::nullopt;
    }
    return ConvertRequested("", names, *output, static_cast<int>(paths.size() - count));
}

RequestOutcome ConverterRequests::ConvertRequested(const std::string& prefix, const std::vector<std::string>& names,
                                          const std::string& output, int leftOut)
{
    ConversionRequest request;
    request.prefix = prefix;
    request.names = names;
    request.output = output;
    request.compatibility = m_compatibility != 0;
    request.firstSlot = m_program;
    request.keepMessages = !m_sendPort.empty();
    // The converter's progress lines are for scripts; the window says what was done.
    std::ostream nowhere(nullptr);
    ConversionResult result = ConvertAndWrite(request, nowhere);
    if (!result.written) {
        m_dialogs.ShowError(result.failure);
    }
    RequestOutcome outcome{result.written, output, static_cast<int>(names.size()), m_program, leftOut,
                           std::move(result.messages), {}, 0, {}};
    for (std::size_t i = 0; i < result.presets.size(); ++i) {
        const std::vector<std::string> warnings = PresetWarnings(prefix + names[i], result.presets[i]);
        outcome.warnings.insert(outcome.warnings.end(), warnings.begin(), warnings.end());
        outcome.incomplete += IsCompletePreset(result.presets[i]) ? 0 : 1;
        if (std::string note = PresetChangeNote(result.presets[i]); !note.empty()) {
            outcome.notes.push_back(std::move(note));
        }
    }
    return outcome;
}

}  // namespace t2tk::app
