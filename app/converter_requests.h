#pragma once
// What the dialog does when asked for a conversion, on each of its three roads
// (command line, Convert..., drop), and the settings it converts with. None of
// it needs a window, so every windowing layer shares it.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

// A program a conversion overwrites in the module.
struct ConvertedProgram {
    int program = 0;   // 1..50
    std::string name;  // as the module will show it
    std::string file;  // the preset it comes from, as named
};

// What one request did.
struct RequestOutcome {
    bool written = false;
    std::string output;  // the file asked for
    int presets = 0;     // presets converted
    int firstSlot = 0;   // where the first went
    int leftOut = 0;     // names past the 50th, not converted
    std::vector<std::uint8_t> messages;  // what was converted, when there is a port to send it to
    std::vector<std::string> warnings;   // everything the module will not get as the files have it
    int incomplete = 0;                  // files that are not complete presets
    std::vector<std::string> notes;      // one for each preset the conversion changed, short
    std::vector<ConvertedProgram> programs;  // one for each preset converted, in order
};

// The status line when the stored send port is not among ports: sending is off.
std::optional<std::string> SendPortGone(const std::string& stored, const std::vector<std::string>& ports);

class ConverterRequests {
public:
    ConverterRequests(SettingsStore& settings, RequestDialogs& dialogs);

    // The settings every request converts with, as the dialog shows them.
    int samePath() const { return m_samePath; }  // Convert... writes next to the presets, without asking
    int compatibility() const { return m_compatibility; }  // compatibility mode for every conversion
    int program() const { return m_program; }  // first program slot, 0..49; shown as 1..50
    const std::string& sendPort() const { return m_sendPort; }  // the port each conversion goes to; empty: file only
    void setSamePath(int on) { m_samePath = on; }
    void setCompatibility(int on) { m_compatibility = on; }
    void setProgram(int slot) { m_program = slot; }
    // What the box shows now; a port gone falls back to none without
    // forgetting the stored one, which the next start looks for again.
    void setSendPort(std::string port) { m_sendPort = std::move(port); }
    // What the user chose in the box: kept with the settings.
    void ChoosePort(std::string port)
    {
        m_keptPort = port;
        m_sendPort = std::move(port);
    }

    // Reads the three settings; a stored program outside 0..49 becomes 0.
    void LoadSettings();
    // Writes the settings back; returns why they could not be, or an empty text.
    std::string SaveSettings();
    // Why the settings will not be saved, when that can be told now: the
    // status line says it once.
    std::string SettingsProblem();

    // The roads. Each returns nothing when no conversion was asked for (an
    // empty command line, a cancelled dialog), else what it did. Failures are
    // shown through the request dialogs.
    std::optional<RequestOutcome> RunCommandLine(const std::vector<std::string>& arguments);
    std::optional<RequestOutcome> OnConvert();
    std::optional<RequestOutcome> OnDropFiles(const std::vector<std::string>& paths);

private:
    RequestOutcome ConvertRequested(const std::string& prefix, const std::vector<std::string>& names,
                           const std::string& output, int leftOut);

    SettingsStore& m_settings;
    RequestDialogs& m_dialogs;
    int m_samePath = 0;
    int m_compatibility = 0;
    int m_program = 0;
    std::string m_sendPort;
    std::string m_keptPort;
};

}  // namespace t2tk::app
