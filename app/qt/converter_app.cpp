#include "app/qt/converter_app.h"

#include <pwd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cstdlib>

#include "app/conversion_status.h"
#include "app/qt/converter_dialog.h"
#include "app/ini_settings_store.h"
#include "app/settings_rules.h"

namespace t2tk::app {

namespace {

const char* Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

// The home folder the password database gives, for a process started without HOME.
std::string AccountHome()
{
    passwd entry{};
    passwd* account = nullptr;
    char buffer[4096];
    return ::getpwuid_r(::getuid(), &entry, buffer, sizeof buffer, &account) == 0 && account != nullptr &&
                   account->pw_dir != nullptr
               ? account->pw_dir
               : "";
}

}  // namespace

ConverterApp::ConverterApp(std::vector<std::string> arguments, SettingsStore& settings, RequestDialogs& dialogs,
                           std::ostream& notices, MidiPorts& ports, send::SendClock& clock)
    : m_arguments(std::move(arguments)),
      m_settings(settings),
      m_dialogs(dialogs),
      m_notices(notices),
      m_ports(ports),
      m_clock(clock)
{
}

int ConverterApp::InitInstance()
{
    ConverterDialog dialog(m_settings, m_dialogs, m_arguments, m_ports, m_clock);
    dialog.exec();
    const std::optional<RequestOutcome>& outcome = dialog.commandLineOutcome();
    if (!outcome) {
        // The window said what it knew at the start; a failure it could not
        // foresee is said here.
        if (!dialog.settingsFailure().empty() && !dialog.settingsProblemShown()) {
            m_notices << "t2tk: warning: settings not kept: " << dialog.settingsFailure() << "\n";
        }
        return 0;
    }
    // No window shows these on this road, so a script sees them here.
    if (outcome->leftOut > 0) {
        m_notices << "t2tk: warning: " << LeftOutNotice(outcome->leftOut) << "\n";
    }
    if (!dialog.settingsFailure().empty()) {
        m_notices << "t2tk: warning: settings not kept: " << dialog.settingsFailure() << "\n";
    }
    // A send that did not store everything fails the run, as t2tk-convert's does.
    if (!dialog.commandLineSendProblem().empty()) {
        m_notices << "t2tk: " << dialog.commandLineSendProblem() << "\n";
        return 1;
    }
    return outcome->written ? 0 : 1;
}

std::unique_ptr<SettingsStore> OpenUserSettings()
{
    const std::optional<std::string> path =
        SettingsFilePath(Environment("XDG_CONFIG_HOME"), Environment("HOME"), AccountHome(),
                         QCoreApplication::applicationName().toStdString());
    if (!path) {
        return std::make_unique<NoSettingsStore>();
    }
    return std::make_unique<IniSettingsStore>(*path);
}

}  // namespace t2tk::app
