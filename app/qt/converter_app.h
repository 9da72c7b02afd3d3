#pragma once
// The application: runs the converter dialog and ends when it closes.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "app/dialog_send.h"

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

class ConverterApp {
public:
    // arguments: the program's arguments after its name, with Qt's own taken
    // out; notices: where what no window shows goes; ports and clock: what
    // sends go through and wait on.
    ConverterApp(std::vector<std::string> arguments, SettingsStore& settings, RequestDialogs& dialogs,
                 std::ostream& notices = std::cerr, MidiPorts& ports = SystemMidiPorts(),
                 send::SendClock& clock = send::SteadyClock());

    // Runs the dialog modally; returns the exit status: 1 when the conversion
    // the command line asked for failed, or its send did not store every
    // preset, else 0.
    int InitInstance();

private:
    std::vector<std::string> m_arguments;
    SettingsStore& m_settings;
    RequestDialogs& m_dialogs;
    std::ostream& m_notices;
    MidiPorts& m_ports;
    send::SendClock& m_clock;
};

// This user's settings file, or no settings (defaults, nothing kept) when
// the environment and the password database name no home.
std::unique_ptr<SettingsStore> OpenUserSettings();

}  // namespace t2tk::app
