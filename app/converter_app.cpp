#include "app/converter_app.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdlib>

#include "app/command_line.h"
#include "app/converter_dialog.h"
#include "app/qt_request_dialogs.h"
#include "app/settings_rules.h"
#include "app/settings_store.h"

namespace t2tk::app {

namespace {

const char* Environment(const char* name)
{
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

}  // namespace

ConverterApp::ConverterApp(std::vector<std::string> arguments) : m_arguments(std::move(arguments)) {}

int ConverterApp::InitInstance()
{
    const std::string settingsPath = SettingsFilePath(Environment("XDG_CONFIG_HOME"), Environment("HOME"),
                                                      QCoreApplication::applicationName().toStdString());
    IniSettingsStore settings(QFile::decodeName(QByteArray::fromStdString(settingsPath)));
    QtRequestDialogs dialogs;
    ConverterDialog dialog(settings, dialogs);
    dialog.m_cmdLine = CommandLineText(m_arguments);
    dialog.exec();
    return dialog.commandLineFailed() ? 1 : 0;
}

}  // namespace t2tk::app
