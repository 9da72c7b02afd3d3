#include "app/converter_requests.h"

#include <algorithm>
#include <ostream>

#include "app/command_line.h"
#include "app/file_selection.h"
#include "app/output_names.h"
#include "app/request_dialogs.h"
#include "app/settings_rules.h"
#include "app/settings_store.h"
#include "convert/conversion_request.h"
#include "files/file_conversion.h"

namespace t2tk::app {

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
                           std::move(result.messages), {}, 0, {}, {}};
    for (std::size_t i = 0; i < result.presets.size(); ++i) {
        const std::vector<std::string> warnings = PresetWarnings(prefix + names[i], result.presets[i]);
        outcome.programs.push_back({result.presets[i].slot + 1, Printable(result.presets[i].shown), prefix + names[i]});
        outcome.warnings.insert(outcome.warnings.end(), warnings.begin(), warnings.end());
        outcome.incomplete += IsCompletePreset(result.presets[i]) ? 0 : 1;
        if (std::string note = PresetChangeNote(result.presets[i]); !note.empty()) {
            outcome.notes.push_back(std::move(note));
        }
    }
    return outcome;
}

}  // namespace t2tk::app
