// The dialog on the offscreen platform, with fake request dialogs, the
// settings in a temporary folder, and the tests' JACK server to send to. The
// rules have tests of their own: these check that the window feeds them and
// shows what they give.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>
#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>
#include <sstream>

#include "app/qt/converter_app.h"
#include "app/qt/converter_dialog.h"
#include "app/ini_settings_store.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/test_support.h"

using namespace t2tk;

class ConverterDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;
    std::unique_ptr<app::IniSettingsStore> m_settings;
    std::unique_ptr<app::ConverterDialog> m_dialog;
    int m_ini = 0;  // a file of its own for each dialog: Qt caches what it read by name

    std::string Path(const std::string& name) const { return m_dir.filePath(QString::fromStdString(name)).toStdString(); }
    QString Ini() const { return m_dir.filePath(QStringLiteral("t2tk-%1.ini").arg(m_ini)); }
    void Open(const QByteArray& ini = {})
    {
        ++m_ini;
        QFile file(Ini());
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ini) == ini.size());
        file.close();
        m_settings = std::make_unique<app::IniSettingsStore>(Ini().toStdString());
        m_dialogs = test::FakeDialogs();
        m_dialog = std::make_unique<app::ConverterDialog>(*m_settings, m_dialogs);
        m_dialog->OnInitDialog();
        m_dialog->show();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }
    template <typename Widget>
    Widget* Child(const char* name) const
    {
        return m_dialog->findChild<Widget*>(QString::fromLatin1(name));
    }
    QString Field() const { return Child<QLineEdit>("program")->text(); }
    // Drops files (or, with no paths, text) onto target the way the platform
    // delivers a drag: to the window, at a point, and Qt finds the widget that takes it.
    bool DropOn(QWidget* target, const std::vector<std::string>& paths)
    {
        QMimeData data;
        QList<QUrl> urls;
        for (const std::string& path : paths) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(path)));
        }
        paths.empty() ? data.setText(QStringLiteral("42")) : data.setUrls(urls);
        const QPoint point = target->mapTo(m_dialog.get(), target->rect().center());
        QWindowSystemInterface::handleDrag(m_dialog->windowHandle(), &data, point, Qt::CopyAction, Qt::LeftButton, {});
        return QWindowSystemInterface::handleDrop(m_dialog->windowHandle(), &data, point, Qt::CopyAction,
                                                  Qt::LeftButton, {})
            .isAccepted();
    }

private slots:
    // However the program is set, the field shows it and the conversion uses it.
    void programReachesTheConversion_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("field");
        QTest::newRow("typed") << "type 75" << "50";
        QTest::newRow("dragged") << "release 4899" << "49";
        QTest::newRow("arrow key") << "key" << "3";
        QTest::newRow("wheel") << "wheel" << "11";  // three notches of three programs from 2
    }
    void programReachesTheConversion()
    {
        QFETCH(QString, how);
        Open("[t2tk]\nProgram=1\n");
        QCOMPARE(Field(), QStringLiteral("2"));
        auto* slider = Child<QSlider>("programSlider");
        QCOMPARE(slider->value(), 100);
        if (how.startsWith(QStringLiteral("type"))) {
            Child<QLineEdit>("program")->clear();
            QTest::keyClicks(Child<QLineEdit>("program"), how.mid(5));
        } else if (how.startsWith(QStringLiteral("release"))) {
            slider->setSliderDown(true);
            slider->setSliderPosition(how.mid(8).toInt());
            slider->setSliderDown(false);
        } else if (how == QStringLiteral("key")) {
            slider->setFocus();
            QTest::keyClick(slider, Qt::Key_Right);
        } else {
            for (int notch = 0; notch < 3; ++notch) {
                QWheelEvent wheel(QPointF(5, 5), slider->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, 120),
                                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                QApplication::sendEvent(slider, &wheel);
            }
        }
        QTEST(Field(), "field");
        m_dialogs.saveResults = {Path("out.mid")};
        QVERIFY(DropOn(Child<QLabel>("status"), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        QCOMPARE(test::ReadBytes(Path("out.mid")).at(77), Field().toInt() - 1);  // the program dump's slot
    }

    // What Linux writes for the preset at program 18 in compatibility mode:
    // the corpus holds it. Files dropped on the field reach the window.
    void switchesReachTheConversion()
    {
        Open();
        QTest::mouseClick(Child<QCheckBox>("compatibility"), Qt::LeftButton, {}, QPoint(6, 6));
        Child<QLineEdit>("program")->setText(QStringLiteral("18"));
        m_dialogs.saveResults = {Path("out.mid")};
        QVERIFY(DropOn(Child<QLineEdit>("program"), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        QCOMPARE(test::ReadBytes(Path("out.mid")), test::ReadBytes(T2TK_CORPUS_DIR "/in-range-compatible.mid"));
        m_dialogs.openResults = {Path("a.fxp") + '\0' + '\0'};  // Convert... asks for presets
        QTest::mouseClick(Child<QPushButton>("convert"), Qt::LeftButton);
        QCOMPARE(m_dialogs.suggestions.back(), Path("a.mid"));

        QVERIFY(!DropOn(Child<QLineEdit>("program"), {}));  // text is no presets
        QCOMPARE(Field(), QStringLiteral("18"));
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
        QCOMPARE(Field(), QStringLiteral("1"));
        QVERIFY(Child<QCheckBox>("compatibility")->isChecked() && Child<QPushButton>("quit")->isDefault());
        QTest::mouseClick(Child<QCheckBox>("samePath"), Qt::LeftButton, {}, QPoint(6, 6));
        Child<QLineEdit>("program")->setFocus();
        Child<QLineEdit>("program")->setText(QStringLiteral("12"));
        if (how == QStringLiteral("enter")) {
            QTest::keyClick(Child<QLineEdit>("program"), Qt::Key_Return);  // Enter anywhere means Quit
        } else if (how == QStringLiteral("escape")) {
            QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        } else {
            m_dialog->close();
        }
        QVERIFY(!m_dialog->isVisible());
        QFile file(Ini());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(QString::fromLatin1(file.readAll()),
                 QStringLiteral("[t2tk]\nProgram=11\nCompatibility=%1\nSamePath=1\n").arg(compatibility));
    }

    void statusFitsTheWindow()
    {
        Open("[t2tk]\nProgram=4\n");
        const std::string name = std::string(180, 'k') + ".mid";
        m_dialogs.saveResults = {Path(name)};
        QVERIFY(DropOn(m_dialog.get(), std::vector<std::string>(51, T2TK_CORPUS_DIR "/in-range.fxp")));
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

    // Sending, against the tests' JACK server: bytes, the stored port, Cancel.
    void sendsEachConversionToTheChosenPort()
    {
        const test::MidiReceiver receiver("t2tk-dialog");
        Open();
        auto* sendTo = Child<QComboBox>("sendTo");
        sendTo->showPopup();  // looks the ports up afresh
        sendTo->hidePopup();
        sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("t2tk-dialog:in")));
        const std::string presets[] = {T2TK_CORPUS_DIR "/in-range.fxp", T2TK_CORPUS_DIR "/edges.fxp"};
        QVERIFY(test::Convert({presets[0], presets[1]}, Path("both.syx"), 0, false, OutputFormat::SysEx).written);
        m_dialogs.saveResults = {Path("both.mid")};
        QVERIFY(DropOn(m_dialog.get(), {presets[0], presets[1]}));
        QCOMPARE(receiver.Messages().size(), std::size_t{61});  // the init request, then 30 a preset
        QCOMPARE(test::Joined(receiver.Messages()), test::ReadBytes(Path("both.syx")));
        QVERIFY(Child<QLabel>("status")->text().endsWith(QStringLiteral("Sent 2 presets to t2tk-dialog:in.")));
        m_dialog->close();
        QCOMPARE(QSettings(Ini(), QSettings::IniFormat).value(QStringLiteral("t2tk/SendPort")).toString(),
                 QStringLiteral("t2tk-dialog:in"));

        Open("[t2tk]\nSendPort=t2tk-dialog:in\n");
        m_dialogs.saveResults = {Path("one.mid")};
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the slot object
        QTimer::singleShot(1500, m_dialog.get(), [this] {
            m_dialog->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();  // Cancel
        });
        const std::size_t before = receiver.Messages().size();
        QElapsedTimer timer;
        timer.start();
        QVERIFY(DropOn(m_dialog.get(), {presets[0]}));  // back once the send has stopped
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY(Child<QLabel>("status")->text().endsWith(
            QStringLiteral("Sending stopped: 0 of 1 preset was stored completely.")));
        const std::vector<test::Received> messages = receiver.Messages();
        const test::Bytes received = test::Joined({messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end()});
        QVERIFY(test::Convert({presets[0]}, Path("one.syx"), 0, false, OutputFormat::SysEx).written);
        const test::Bytes one = test::ReadBytes(Path("one.syx"));
        QVERIFY(received.size() > 10 && received.size() < one.size());
        QVERIFY(std::equal(received.begin(), received.end(), one.begin()));  // whole messages, in order
    }

    void aPortThatIsGoneMeansFileOnly()
    {
        Open("[t2tk]\nSendPort=t2tk-unplugged:in\n");
        QCOMPARE(Child<QComboBox>("sendTo")->currentText(), QStringLiteral("File only"));
        QCOMPARE(Child<QLabel>("status")->text(),
                 QStringLiteral("The MIDI port t2tk-unplugged:in is not here: conversions go to a file only."));
    }

    // Settings that cannot be kept are said: in the window when it opens, and
    // on standard error when no window shows.
    void settingsThatCannotBeKeptAreSaid()
    {
        QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.ini")));
        app::IniSettingsStore settings(Path("folder.ini"));
        app::ConverterDialog dialog(settings, m_dialogs);
        dialog.OnInitDialog();
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("status"))
                    ->text()
                    .startsWith(QStringLiteral("Settings will not be kept: \"") + QString::fromStdString(Path("folder.ini"))));
        m_dialogs.saveResults = {Path("out.mid")};
        std::ostringstream notices;
        QCOMPARE(app::ConverterApp({T2TK_CORPUS_DIR "/in-range.fxp"}, settings, m_dialogs, notices).InitInstance(), 0);
        QVERIFY(notices.str().rfind("t2tk: warning: settings not kept: \"", 0) == 0);
    }

    void commandLineExitStatusAndNotice()
    {
        Open();
        m_dialogs.saveResults = {Path("out.mid"), Path("out.mid"), Path("out.mid")};
        std::ostringstream notices;
        std::vector<std::string> names(50, T2TK_CORPUS_DIR "/in-range.fxp");
        QCOMPARE(app::ConverterApp(names, *m_settings, m_dialogs, notices).InitInstance(), 0);
        QCOMPARE(notices.str(), std::string());  // exactly 50: all of them, no notice
        names.resize(55, names.front());
        QCOMPARE(app::ConverterApp(names, *m_settings, m_dialogs, notices).InitInstance(), 0);
        QCOMPARE(notices.str(), std::string("t2tk: warning: 5 files past the 50th left out\n"));
        QCOMPARE(app::ConverterApp({Path("gone.fxp")}, *m_settings, m_dialogs, notices).InitInstance(), 1);
        QCOMPARE(m_dialogs.errors.size(), std::size_t{1});
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "converter_dialog_test.moc"
