// The dialog on the offscreen platform, with fake request dialogs and the
// settings in a temporary folder. The rules have tests of their own: these
// check that the window feeds them and shows what they give.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QWheelEvent>
#include <QtTest>
#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>
#include <sstream>

#include "app/qt/converter_app.h"
#include "app/qt/converter_dialog.h"
#include "app/qt/ini_settings_store.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fxp_builder.h"

using namespace t2tk::app;

class ConverterDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IniSettingsStore> m_settings;
    t2tk::test::FakeDialogs m_dialogs;
    std::unique_ptr<ConverterDialog> m_dialog;
    int m_iniFile = 0;  // each test's file has a name of its own: Qt caches what it read by name

    std::string Path(const std::string& name) const
    {
        return m_dir->filePath(QString::fromStdString(name)).toStdString();
    }
    QString IniPath() const { return m_dir->filePath(QStringLiteral("t2tk-%1.ini").arg(m_iniFile)); }
    QString StoredIni()
    {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    ConverterDialog& Open(const QByteArray& ini = {})
    {
        ++m_iniFile;
        QFile file(IniPath());
        if (file.open(QIODevice::WriteOnly)) {
            file.write(ini);
        }
        file.close();
        m_settings = std::make_unique<IniSettingsStore>(IniPath());
        m_dialog = std::make_unique<ConverterDialog>(*m_settings, m_dialogs);
        m_dialog->OnInitDialog();
        m_dialog->show();
        m_dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(m_dialog.get());
        return *m_dialog;
    }
    template <typename Widget>
    Widget* Child(const char* name) const
    {
        return m_dialog->findChild<Widget*>(QString::fromLatin1(name));
    }
    QString Field() const { return Child<QLineEdit>("program")->text(); }
    // Drops data onto target the way the platform delivers a drag: to the
    // window, at a point, and Qt finds the widget that takes it.
    bool DropOn(QWidget* target, const QMimeData& data)
    {
        QWindow* window = m_dialog->windowHandle();
        const QPoint point = target->mapTo(m_dialog.get(), target->rect().center());
        QWindowSystemInterface::handleDrag(window, &data, point, Qt::CopyAction, Qt::LeftButton, {});
        return QWindowSystemInterface::handleDrop(window, &data, point, Qt::CopyAction, Qt::LeftButton, {})
            .isAccepted();
    }
    static QMimeData* Files(const std::vector<std::string>& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
        }
        data->setUrls(urls);
        return data;
    }
    // What t2tk-convert writes for the presets with the options given.
    QByteArray Reference(QStringList arguments)
    {
        arguments << QStringLiteral("-o") << QString::fromStdString(Path("reference.mid"));
        arguments << QString::fromStdString(Path("a.fxp")) << QString::fromStdString(Path("b.fxp"));
        if (QProcess::execute(QStringLiteral(T2TK_CONVERT_EXE), arguments) != 0) {
            return {};
        }
        QFile file(QString::fromStdString(Path("reference.mid")));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QByteArray Written(const std::string& name)
    {
        QFile file(QString::fromStdString(Path(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dialogs = t2tk::test::FakeDialogs();
        std::uint32_t seed = 1;
        for (const char* name : {"a.fxp", "b.fxp"}) {
            t2tk::fxp::WriteFile(Path(name), t2tk::fxp::Encode(t2tk::fxp::MakeKit(name, seed++)));
        }
    }
    void cleanup()
    {
        m_dialog.reset();
        m_settings.reset();
    }

    void opensWithTheStoredSettings()
    {
        Open("[t2tk]\nProgram=7\nSamePath=1\n");
        QCOMPARE(Field(), QStringLiteral("8"));
        QCOMPARE(Child<QSlider>("programSlider")->value(), 700);
        QCOMPARE(Child<QSlider>("programSlider")->maximum(), 4950);
        QVERIFY(Child<QCheckBox>("samePath")->isChecked());
        QVERIFY(!Child<QCheckBox>("compatibility")->isChecked());
        QVERIFY(Child<QPushButton>("quit")->isDefault());
    }

    // However the program is set, the field shows it and the conversion uses it.
    void programReachesTheConversion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("field");
        QTest::newRow("typed") << "type 75" << "50";
        QTest::newRow("dragged") << "release 4899" << "49";
        QTest::newRow("arrow keys") << "key Right" << "3";
        QTest::newRow("wheel") << "wheel 3" << "11";  // three slots a notch
    }
    void programReachesTheConversion()
    {
        QFETCH(QString, how);
        Open("[t2tk]\nProgram=1\n");
        auto* slider = Child<QSlider>("programSlider");
        const QStringList words = how.split(' ');
        if (words[0] == QStringLiteral("type")) {
            Child<QLineEdit>("program")->clear();
            QTest::keyClicks(Child<QLineEdit>("program"), words[1]);
        } else if (words[0] == QStringLiteral("release")) {
            slider->setSliderDown(true);
            slider->setSliderPosition(words[1].toInt());
            slider->setSliderDown(false);
        } else if (words[0] == QStringLiteral("key")) {
            slider->setFocus();
            QTest::keyClick(slider, Qt::Key_Right);
        } else {
            const QPoint centre = slider->rect().center();
            for (int notch = 0; notch < words[1].toInt(); ++notch) {
                QWheelEvent wheel(centre, slider->mapToGlobal(centre), {}, QPoint(0, 120), Qt::NoButton,
                                  Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(slider, &wheel);
            }
        }
        QTEST(Field(), "field");
        m_dialogs.saveResults = {Path("out.mid")};
        QVERIFY(DropOn(Child<QLabel>("status"), *std::unique_ptr<QMimeData>(Files({Path("a.fxp")}))));
        QCOMPARE(Written("out.mid").at(77), static_cast<char>(Field().toInt() - 1));  // the program dump's slot
    }

    void switchesReachTheConversion()
    {
        Open();
        QTest::mouseClick(Child<QCheckBox>("compatibility"), Qt::LeftButton, {}, QPoint(6, 6));
        Child<QLineEdit>("program")->setText(QStringLiteral("12"));
        m_dialogs.saveResults = {Path("out.mid")};
        QVERIFY(DropOn(Child<QLineEdit>("program"), *std::unique_ptr<QMimeData>(Files({Path("a.fxp"), Path("b.fxp")}))));
        QCOMPARE(Written("out.mid"), Reference({QStringLiteral("-c"), QStringLiteral("-p"), QStringLiteral("12")}));
        // Convert... asks for the presets.
        m_dialogs.openResults = {Path("a.fxp") + '\0' + '\0'};
        QTest::mouseClick(Child<QPushButton>("convert"), Qt::LeftButton);
        QCOMPARE(m_dialogs.suggestions.back(), Path("a.mid"));
    }

    void textDroppedOnTheFieldChangesNothing()
    {
        Open();
        QMimeData text;
        text.setText(QStringLiteral("42"));
        QVERIFY(!DropOn(Child<QLineEdit>("program"), text));
        QCOMPARE(Field(), QStringLiteral("1"));
        QVERIFY(m_dialogs.suggestions.empty());
    }

    void closingSavesTheSettings_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("compatibility");  // Quit reads the box; the others keep what was read
        QTest::newRow("Enter in the field") << "enter" << "1";
        QTest::newRow("Escape") << "escape" << "3";
        QTest::newRow("close box") << "close" << "3";
    }
    void closingSavesTheSettings()
    {
        QFETCH(QString, how);
        QFETCH(QString, compatibility);
        Open("[t2tk]\nProgram=75\nCompatibility=3\n");
        QTest::mouseClick(Child<QCheckBox>("samePath"), Qt::LeftButton, {}, QPoint(6, 6));
        auto* field = Child<QLineEdit>("program");
        field->setFocus();
        field->setText(QStringLiteral("12"));
        if (how == QStringLiteral("enter")) {
            QTest::keyClick(field, Qt::Key_Return);  // Enter anywhere means Quit
        } else if (how == QStringLiteral("escape")) {
            QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        } else {
            m_dialog->close();
        }
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(StoredIni(), QStringLiteral("[t2tk]\nCompatibility=%1\nProgram=11\nSamePath=1\n").arg(compatibility));
    }

    void statusFitsTheWindow()
    {
        Open("[t2tk]\nProgram=4\n");
        const std::string name = std::string(180, 'k') + ".mid";
        m_dialogs.saveResults = {Path(name)};
        QVERIFY(DropOn(m_dialog.get(), *std::unique_ptr<QMimeData>(Files(std::vector<std::string>(51, Path("a.fxp"))))));
        auto* status = Child<QLabel>("status");
        QVERIFY(status->text().endsWith(QStringLiteral("Presets past program 50 all went to program 50.")));
        QVERIFY(status->toolTip().contains(QString::fromStdString(name)));
        QTRY_VERIFY(status->width() >= status->minimumSizeHint().width() &&
                    status->height() >= status->heightForWidth(status->width()) &&
                    status->geometry().bottom() < Child<QPushButton>("quit")->geometry().top());
        if (const QByteArray shot = qgetenv("T2TK_SCREENSHOT"); !shot.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(m_dialog->screen()->grabWindow(0).save(QString::fromLocal8Bit(shot)));
        }
    }

    void commandLineExitStatusAndNotice()
    {
        m_settings = std::make_unique<IniSettingsStore>(IniPath());
        std::vector<std::string> names(55, Path("a.fxp"));
        m_dialogs.saveResults = {Path("out.mid"), Path("out.mid")};
        std::ostringstream notices;
        QCOMPARE(ConverterApp(names, *m_settings, m_dialogs, notices).InitInstance(), 0);
        QCOMPARE(notices.str(), std::string("t2tk: warning: 5 files past the 50th left out\n"));
        QCOMPARE(ConverterApp({Path("gone.fxp")}, *m_settings, m_dialogs, notices).InitInstance(), 1);
        QCOMPARE(m_dialogs.errors.size(), std::size_t{1});
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "converter_dialog_test.moc"
