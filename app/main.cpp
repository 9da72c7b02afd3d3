// t2tk: the desktop converter of Tolvin presets into Thumpkrate MIDI files.
#include <QApplication>
#include <QIcon>

#include "app/converter_app.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // takes Qt's own arguments out of argv
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/t2tk.png")));
    t2tk::app::ConverterApp app(std::vector<std::string>(argv + 1, argv + argc));
    return app.InitInstance();
}
