// t2tk: the desktop converter of Tolvin presets into Thumpkrate MIDI files.
#include <QApplication>
#include <QIcon>
#include <optional>

#include "app/qt/converter_app.h"
#include "app/qt/qt_request_dialogs.h"
#include "app/settings_store.h"
#include "files/ending_signals.h"

int main(int argc, char** argv)
{
    // Qt's threads, started with the application, leave the signals that end
    // the process to this one, which writes the files.
    std::optional<t2tk::EndingSignalsBlocked> blocked(std::in_place);
    QApplication application(argc, argv);  // takes Qt's own arguments out of argv
    blocked.reset();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/t2tk.png")));
    t2tk::app::KeepQtSettingsOutOfAnotherHome();
    const std::unique_ptr<t2tk::app::SettingsStore> settings = t2tk::app::OpenUserSettings();
    t2tk::app::QtRequestDialogs dialogs;
    t2tk::app::ConverterApp app(std::vector<std::string>(argv + 1, argv + argc), *settings, dialogs);
    return app.InitInstance();
}
