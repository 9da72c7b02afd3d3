// The dialog on the offscreen platform, with fake request dialogs, the
// settings in a temporary folder, and ports and a clock of the tests' own to
// send with. The rules have tests of their own: these check that the window
// feeds them and shows what they give.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>
#include <QWheelEvent>
#include <QtTest>
#include <qpa/qplatformdrag.h>
#include <qpa/qwindowsysteminterface.h>
#include <sstream>
#include <unistd.h>

#include "app/qt/converter_app.h"
#include "app/qt/converter_dialog.h"
#include "app/qt/qt_request_dialogs.h"
#include "app/ini_settings_store.h"
#include "app/send_status.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fake_ports.h"
#include "tests/support/test_support.h"

using namespace t2tk;

class ConverterDialogTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;
    std::unique_ptr<test::FakeClock> m_clock;
    std::unique_ptr<test::FakePorts> m_ports;
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
        m_dialog.reset();
        m_clock = std::make_unique<test::FakeClock>();
        m_ports = std::make_unique<test::FakePorts>(*m_clock);
        m_dialog = std::make_unique<app::ConverterDialog>(*m_settings, m_dialogs, std::vector<std::string>(), *m_ports,
                                                          *m_clock);
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
    // The progress window shown, if any.
    static QWidget* Progress()
    {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QLatin1String("sending") && window->isVisible()) {
                return window;
            }
        }
        return nullptr;
    }
    // Its list of programs, a line each: number, name, file, state.
    static QString Programs()
    {
        QString lines;
        auto* list = Progress() != nullptr ? Progress()->findChild<QTreeWidget*>() : nullptr;
        for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
            for (int column = 0; column < list->columnCount(); ++column) {
                lines += list->topLevelItem(i)->text(column) + (column + 1 < list->columnCount() ? " " : "\n");
            }
        }
        return lines;
    }
    // The whole status line shows, above the buttons.
    bool FitsTheWindow(QLabel* status) const
    {
        return status->width() >= status->minimumSizeHint().width() &&
               status->height() >= status->heightForWidth(status->width()) &&
               status->geometry().bottom() < Child<QPushButton>("quit")->geometry().top();
    }
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
    // Root with a user's HOME: Qt's own settings (the file dialogs' history)
    // go nowhere, not through a link the user placed in the folder.
    void rootKeepsQtSettingsOutOfAUsersHome()
    {
        if (::geteuid() != 0) {
            QSKIP("needs root, as sudo -E gives");
        }
        const QTemporaryDir home;
        const QString victim = home.filePath(QStringLiteral("victim"));
        QFile(victim).open(QIODevice::WriteOnly);
        QVERIFY(QDir(home.path()).mkpath(QStringLiteral(".config")));
        QVERIFY(QFile::link(victim, home.filePath(QStringLiteral(".config/QtProject.conf"))));
        QCOMPARE(::chown(home.path().toLocal8Bit().constData(), 65534, 65534), 0);
        const QByteArray saved = qgetenv("HOME");
        qputenv("HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toLocal8Bit());
        app::KeepQtSettingsOutOfAnotherHome();
        {
            QSettings qt(QSettings::UserScope, QStringLiteral("QtProject"));
            qt.setValue(QStringLiteral("FileDialog/history"), QStringLiteral("file:///home"));
        }
        qputenv("HOME", saved);
        qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(QFileInfo(victim).size(), 0);
    }

    // However the program is set, the field shows it and the conversion uses it.
    // Typing is never rewritten but above 50, the caret where the user left it
    // (|); the field says the program in use once the focus leaves, or when a
    // drop comes while it still has it.
    void programReachesTheConversion_data()
    {
        QTest::addColumn<QString>("how");  // keys: < is Left, \b Backspace
        QTest::addColumn<QString>("typing");
        QTest::addColumn<QString>("field");
        QTest::newRow("emptied") << "type " << "|" << "2";
        QTest::newRow("0") << "type 0" << "0|" << "2";
        QTest::newRow("00") << "type 00" << "00|" << "2";
        QTest::newRow("05") << "type 05" << "05|" << "5";
        QTest::newRow("010") << "type 010" << "010|" << "10";
        QTest::newRow("5 after deleting") << "type 15<\b" << "|5" << "5";
        QTest::newRow("51") << "type 51" << "50|" << "50";
        QTest::newRow("6 before 10") << "type 10<<6" << "5|0" << "50";
        QTest::newRow("letters") << "type abc" << "|" << "2";  // refused
        QTest::newRow("dropped while typing") << "keep 05" << "05|" << "5";
        QTest::newRow("dragged") << "release 4899" << "" << "49";
        QTest::newRow("arrow key") << "key" << "" << "3";
        QTest::newRow("wheel") << "wheel" << "" << "11";  // three notches of three programs from 2
    }
    void programReachesTheConversion()
    {
        QFETCH(QString, how);
        QFETCH(QString, typing);
        Open("[t2tk]\nProgram=1\n");
        QCOMPARE(Field(), QStringLiteral("2"));
        auto* slider = Child<QSlider>("programSlider");
        auto* field = Child<QLineEdit>("program");
        QCOMPARE(slider->value(), 100);
        if (!typing.isEmpty()) {
            field->setFocus();
            field->clear();
            for (const QChar key : how.mid(5)) {
                if (key == u'<') {
                    QTest::keyClick(field, Qt::Key_Left);
                } else if (key == u'\b') {
                    QTest::keyClick(field, Qt::Key_Backspace);
                } else {
                    QTest::keyClick(field, key.toLatin1());
                }
            }
            QCOMPARE(QString(Field()).insert(field->cursorPosition(), u'|'), typing);
            if (how.startsWith(QStringLiteral("type"))) {
                QTest::keyClick(field, Qt::Key_Tab);
            }
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
        if (!how.startsWith(QStringLiteral("keep"))) {
            QTEST(Field(), "field");
        }
        m_dialogs.saveResults = {Path("out.mid")};
        QVERIFY(DropOn(Child<QLabel>("status"), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        QTEST(Field(), "field");
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
        std::vector<std::string> presets(51, T2TK_CORPUS_DIR "/in-range.fxp");
        presets[3] = presets[7] = T2TK_CORPUS_DIR "/short-100.fxp";
        QVERIFY(DropOn(m_dialog.get(), presets));
        auto* status = Child<QLabel>("status");
        QVERIFY(status->text().endsWith(QStringLiteral(
            " 1 file past the 50th left out. Presets past program 50 all went to program 50."
            " 2 of 50 files are not complete Tolvin presets.")));
        QVERIFY(status->toolTip().contains(QString::fromStdString(name)));
        QTRY_VERIFY(FitsTheWindow(status));
        if (const QByteArray shot = qgetenv("T2TK_SCREENSHOT"); !shot.isEmpty()) {
            QTest::qWait(200);
            QVERIFY(m_dialog->screen()->grabWindow(0).save(QString::fromLocal8Bit(shot)));
        }
    }

    // Sending: the bytes, the stored port, what the window says.
    void sendsEachConversionToTheChosenPort()
    {
        Open();
        auto* sendTo = Child<QComboBox>("sendTo");
        sendTo->showPopup();  // looks the ports up afresh
        sendTo->hidePopup();
        sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("Thump B")));
        Q_EMIT sendTo->activated(sendTo->currentIndex());  // as a user's choice is told
        m_dialogs.saveResults = {Path("one.mid")};
        QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        QTRY_VERIFY(!m_dialog->sending());
        QCOMPARE(m_ports->opened, std::string("Thump B"));
        QCOMPARE(test::Concat(m_ports->Messages()), test::ReadBytes(T2TK_CORPUS_DIR "/in-range.syx"));
        QVERIFY(Child<QLabel>("status")->text().endsWith(QStringLiteral("\nSent 1 preset to Thump B.")));
        QTRY_VERIFY(FitsTheWindow(Child<QLabel>("status")));
        m_dialog->close();
        QCOMPARE(QSettings(Ini(), QSettings::IniFormat).value(QStringLiteral("t2tk/SendPort")).toString(),
                 QStringLiteral("Thump B"));
    }

    // What the box shows is what the dialog does: a port that went away and
    // came back while the box fell back to "File only" gets nothing, but the
    // port stays stored until the user chooses another. A stored port that is
    // not here at start is said.
    void theBoxAndTheSendNeverDiffer()
    {
        Open("[t2tk]\nSendPort=Thump B\n");
        QCOMPARE(Child<QComboBox>("sendTo")->currentText(), QStringLiteral("Thump B"));
        m_ports->names = {"Thump A"};
        Child<QComboBox>("sendTo")->showPopup();
        Child<QComboBox>("sendTo")->hidePopup();
        QCOMPARE(Child<QComboBox>("sendTo")->currentText(), QStringLiteral("File only"));
        m_ports->names = {"Thump A", "Thump B"};
        m_dialogs.saveResults = {Path("one.mid")};
        QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        QVERIFY(!m_dialog->sending());
        QVERIFY(m_ports->opened.empty());
        m_dialog->close();
        QCOMPARE(QSettings(Ini(), QSettings::IniFormat).value(QStringLiteral("t2tk/SendPort")).toString(),
                 QStringLiteral("Thump B"));

        Open("[t2tk]\nSendPort=t2tk-unplugged:in\n");
        QCOMPARE(Child<QComboBox>("sendTo")->currentText(), QStringLiteral("File only"));
        QCOMPARE(Child<QLabel>("status")->text(),
                 QStringLiteral("The MIDI port t2tk-unplugged:in is not here: conversions go to a file only."));
    }

    // A send that does not go as asked says why in the status line, and in a
    // message of its own when the port failed. A file that is not a complete
    // preset is sent only when the user says so.
    void aSendThatCannotGoSaysWhy()
    {
        const struct {
            const char* port;    // the stored one, of Thump A and B
            const char* preset;
            std::string failure, statusEnd;
            std::size_t messages;
            int failAt;
            bool gone;           // the port is gone when the send begins
            bool anyway;         // the answer to "send it anyway?"
        } cases[] = {
            {"Thump A", "in-range.fxp",
             "the MIDI port \"Thump A\" is gone; 0 of 1 preset was stored completely (not stored: program 1); the MIDI output ports are Thump A, "
             "Thump B",
             "\nSending failed, the MIDI port \"Thump A\" is gone: 0 of 1 preset was stored completely (not stored: program 1).", 10, 10, false,
             false},
            {"Thump B", "in-range.fxp", "\"Thump B\" matches no MIDI output port; the MIDI output ports are Thump A",
             "\nNothing sent: \"Thump B\" matches no MIDI output port; the MIDI output ports are Thump A.", 0, -1, true,
             false},
            {"Thump A", "short-100.fxp", "",
             "1 of 1 file is not a complete Tolvin preset.\nNothing sent: 1 of 1 file is not a complete Tolvin preset.", 0,
             -1, false, false},
            {"Thump A", "short-100.fxp", "", "\nSent 1 preset to Thump A.", 31, -1, false, true},
        };
        for (const auto& c : cases) {
            Open(QByteArray("[t2tk]\nSendPort=") + c.port + "\n");
            m_ports->names = c.gone ? std::vector<std::string>{"Thump A"} : m_ports->names;
            m_ports->failAt = c.failAt;
            m_dialogs.sendIncomplete = c.anyway;
            m_dialogs.saveResults = {Path("one.mid")};
            QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/" + std::string(c.preset)}));
            QTRY_VERIFY(!m_dialog->sending());
            QCOMPARE(m_dialogs.incompleteQuestions.size(), std::size_t{c.preset[0] == 's'});
            QCOMPARE(m_dialogs.sendErrors, c.failure.empty() ? std::vector<std::string>{} : std::vector<std::string>{
                                               "one.mid was written, but sending failed: " + c.failure + "."});
            QVERIFY2(Child<QLabel>("status")->text().endsWith(QString::fromStdString(c.statusEnd)), c.preset);
            QCOMPARE(m_ports->Messages().size(), c.messages);
        }
    }

    // The window stays usable during a send: a new conversion is refused with
    // a word, Cancel stops between two messages, and closing asks first. The
    // progress window lists the programs, a preset tried again when the MIDI
    // system ran late among them, and the account names what was not stored.
    void theWindowStaysUsableDuringASend()
    {
        Open("[t2tk]\nSendPort=Thump A\n");
        m_ports->doubtAt = {3};  // the first try of the first preset ran late
        m_clock->HoldFrom(40);   // the send waits in the second preset
        m_dialogs.saveResults = {Path("one.mid")};
        QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/in-range.fxp", T2TK_CORPUS_DIR "/in-range.fxp"}));
        m_clock->WaitUntilHeld();
        QVERIFY(m_dialog->sending());
        QTRY_COMPARE(Programs(), QStringLiteral("1 In Range in-range.fxp stored\n2 In Range in-range.fxp sending\n"));
        QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/edges.fxp"}));
        QTest::mouseClick(Child<QPushButton>("convert"), Qt::LeftButton);
        QCOMPARE(m_dialogs.notices, (std::vector<std::string>{app::kBusySending, app::kBusySending}));
        QVERIFY(m_dialogs.errors.empty());
        m_dialog->close();  // answered no: the send goes on
        QVERIFY(m_dialog->isVisible() && m_dialog->sending());
        Progress()->findChild<QPushButton*>()->click();  // Cancel
        QTRY_VERIFY(!m_dialog->sending());
        QVERIFY(Child<QLabel>("status")->text().endsWith(
            QStringLiteral("\nSending stopped: 1 of 2 presets were stored completely (not stored: program 2). "
                           "Program 1 sent again: the MIDI system ran late.")));
        QCOMPARE(m_ports->Messages().size(), std::size_t{39});  // whole messages, up to the stop

        m_ports->doubtAt = {40};  // the second message of the next send
        m_clock->HoldFrom(3);
        m_dialogs.saveResults = {Path("two.mid")};
        QVERIFY(DropOn(m_dialog.get(), {T2TK_CORPUS_DIR "/in-range.fxp"}));
        m_clock->WaitUntilHeld();
        QTRY_COMPARE(Programs(), QStringLiteral("1 In Range in-range.fxp sent again\n"));
        m_dialogs.stopAnswers = {true};
        m_dialog->close();  // answered yes: the send stops, the window closes
        QVERIFY(!m_dialog->isVisible() && !m_dialog->sending() && Progress() == nullptr);
        QCOMPARE(m_dialogs.stopQuestions, 2);
    }

    // The command line's conversion ends the program: its exit status and
    // standard error say what a script needs, a send that fails or is stopped
    // (Escape in the progress window) included, and the progress window is
    // gone before a message about the send comes.
    void commandLineExitStatusAndNotice()
    {
        Open();
        m_dialogs.saveResults = {Path("out.mid"), Path("out.mid")};
        std::ostringstream notices;
        const std::vector<std::string> names(55, T2TK_CORPUS_DIR "/in-range.fxp");
        QCOMPARE(app::ConverterApp(names, *m_settings, m_dialogs, notices).InitInstance(), 0);
        QCOMPARE(notices.str(), std::string("t2tk: warning: 5 files past the 50th left out\n"));
        QCOMPARE(app::ConverterApp({Path("gone.fxp")}, *m_settings, m_dialogs, notices).InitInstance(), 1);
        QCOMPARE(m_dialogs.errors.size(), std::size_t{1});

        const struct {
            int failAt;  // else Escape once five messages are out
            std::string said;
            std::size_t boxes;  // the failure box, or the notice that the send stopped
        } sends[] = {
            {3, "t2tk: Sending failed, the MIDI port \"Thump A\" is gone: 0 of 1 preset was stored completely (not stored: program 1).\n", 1},
            {-1, "t2tk: Sending stopped: 0 of 1 preset was stored completely (not stored: program 1).\n", 1},
        };
        for (const auto& c : sends) {
            Open("[t2tk]\nSendPort=Thump A\n");
            m_dialog.reset();
            m_ports->failAt = c.failAt;
            if (c.failAt < 0) {
                m_clock->HoldFrom(5);
                QTimer::singleShot(0, [this] {
                    m_clock->WaitUntilHeld();
                    QTRY_VERIFY(Progress() != nullptr);
                    QTest::keyClick(Progress(), Qt::Key_Escape);
                });
            }
            bool progressShown = false;
            m_dialogs.whileShowing = [&progressShown] { progressShown = progressShown || Progress() != nullptr; };
            m_dialogs.saveResults = {Path("sent.mid")};
            std::ostringstream said;
            QCOMPARE(app::ConverterApp({T2TK_CORPUS_DIR "/in-range.fxp"}, *m_settings, m_dialogs, said, *m_ports,
                                       *m_clock)
                         .InitInstance(),
                     1);
            QCOMPARE(said.str(), c.said);
            QCOMPARE(m_dialogs.sendErrors.size() + m_dialogs.notices.size(), c.boxes);
            QVERIFY(!progressShown);
        }
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "converter_dialog_test.moc"
