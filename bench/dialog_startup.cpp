// Starts the dialog as t2tk does, writes "shown" to standard output once it has
// painted itself for the first time, and ends: the time from process start to
// that line is the dialog's start-up time.
#include <QApplication>
#include <QEvent>
#include <cstdio>
#include <cstdlib>

#include "app/qt/converter_dialog.h"
#include "app/ini_settings_store.h"
#include "app/qt/qt_request_dialogs.h"
#include "app/settings_rules.h"

namespace {

class ShownReporter : public QObject {
public:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !m_reported) {
            m_reported = true;
            std::printf("shown\n");
            std::fflush(stdout);
            QCoreApplication::exit(0);  // leaves the dialog's event loop too
        }
        return false;
    }

private:
    bool m_reported = false;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    const auto path = t2tk::app::SettingsFilePath(config != nullptr ? config : "", home != nullptr ? home : "", "",
                                                  "t2tk-bench");
    t2tk::app::IniSettingsStore settings(path.value_or("t2tk-bench.ini"));
    t2tk::app::QtRequestDialogs dialogs;
    t2tk::app::ConverterDialog dialog(settings, dialogs);
    ShownReporter reporter;
    dialog.installEventFilter(&reporter);
    dialog.exec();
    return 0;
}
