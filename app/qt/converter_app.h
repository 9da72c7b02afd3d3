#pragma once
// The application: runs the converter dialog and ends when it closes.

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

class ConverterApp {
public:
    // arguments: the program's arguments after its name, with Qt's own taken
    // out; notices: where what no window shows goes.
    ConverterApp(std::vector<std::string> arguments, SettingsStore& settings, RequestDialogs& dialogs,
                 std::ostream& notices = std::cerr);

    // Runs the dialog modally; returns the exit status: 1 when the conversion
    // the command line asked for failed, else 0.
    int InitInstance();

private:
    std::vector<std::string> m_arguments;
    SettingsStore& m_settings;
    RequestDialogs& m_dialogs;
    std::ostream& m_notices;
};

// This user's settings file, or no settings (defaults, nothing kept) when
// the environment and the password database name no home.
std::unique_ptr<SettingsStore> OpenUserSettings();

}  // namespace t2tk::app
