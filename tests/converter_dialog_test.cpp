// The dialog on the offscreen platform, with fake request dialogs and the
// settings in a temporary folder.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QtTest>
#include <deque>
#include <filesystem>

#include "app/converter_dialog.h"
#include "app/request_dialogs.h"
#include "app/settings_store.h"
#include "examples/fxp_builder.h"

using namespace t2tk::app;

namespace {

class FakeDialogs : public RequestDialogs {
public:
    std::deque<std::optional<std::string>> openResults;
    std::deque<std::optional<std::string>> saveResults;
    std::vector<std::string> suggestions;
    std::vector<std::string> errors;

    std::optional<std::string> OpenPresets() override { return Take(openResults); }
    std::optional<std::string> SaveOutput(const std::string& suggestion) override
    {
        suggestions.push_back(suggestion);
        return Take(saveResults);
    }
    void ShowError(const std::string& message) override { errors.push_back(message); }

private:
    static std::optional<std::string> Take(std::deque<std::optional<std::string>>& queue)
    {
        if (queue.empty()) {
            return std::nullopt;
        }
        auto front = queue.front();
        queue.pop_front();
        return front;
    }
};

std::size_t FileSize(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : static_cast<std::size_t>(size);
}

}  // namespace

class ConverterDialogTest : public QObject {
    Q_OBJECT

public:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<IniSettingsStore> m_settings;
    FakeDialogs m_dialogs;
    std::unique_ptr<ConverterDialog> m_dialog;

    std::string Path(const std::string& name) const { return m_dir->filePath(QString::fromStdString(name)).toStdString(); }
    // Each stored file gets a name of its own: Qt caches what it read of a file by name.
    int m_iniFile = 0;
    QString IniPath() const { return m_dir->filePath(QStringLiteral("t2tk-%1.ini").arg(m_iniFile)); }
    void Store(const QByteArray& ini)
    {
        ++m_iniFile;
        QFile file(IniPath());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(ini);
    }
    QString StoredIni()
    {
        QFile file(IniPath());
        return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()) : QString();
    }
    // A dialog opened on the settings stored so far.
    ConverterDialog& Open(const std::string& commandLine = "")
    {
        m_settings = std::make_unique<IniSettingsStore>(IniPath());
        m_dialog = std::make_unique<ConverterDialog>(*m_settings, m_dialogs);
        m_dialog->m_cmdLine = commandLine;
        m_dialog->OnInitDialog();
        m_dialog->show();
        m_dialog->activateWindow();
        (void)QTest::qWaitForWindowActive(m_dialog.get());
        return *m_dialog;
    }
    void Kits(std::initializer_list<const char*> names)
    {
        for (const char* name : names) {
            t2tk::fxp::WriteFile(Path(name), t2tk::fxp::Encode(t2tk::fxp::MakeKit(name, 1)));
        }
    }
    static void Tick(QCheckBox* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));  // on the box, not beside it
    }
    QString Field() const { return m_dialog->m_programEdit->text(); }
    void Type(const char* keys)
    {
        m_dialog->m_programEdit->setFocus();
        m_dialog->m_programEdit->clear();
        QTest::keyClicks(m_dialog->m_programEdit, QString::fromLatin1(keys));
    }
    void ReleaseSlider(int position)
    {
        m_dialog->m_programSlider->setSliderDown(true);
        m_dialog->m_programSlider->setSliderPosition(position);
        m_dialog->m_programSlider->setSliderDown(false);
    }
    void Drop(int files)
    {
        QList<QUrl> urls;
        for (int i = 0; i < files; ++i) {
            urls.append(QUrl::fromLocalFile(QString::fromStdString(Path("a.fxp"))));
        }
        QMimeData data;
        data.setUrls(urls);
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        // Straight to the widget: the application delivers drops only during a drag.
        static_cast<QObject*>(m_dialog.get())->event(&drop);
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_dialogs = FakeDialogs();
    }
    void cleanup()
    {
        m_dialog.reset();
        m_settings.reset();
    }

    void opensWithStoredSettingsHeldInRange_data()
    {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<int>("slot");
        QTest::addColumn<int>("samePath");
        QTest::newRow("program 50") << QByteArray("[t2tk]\nProgram=50\n") << 0 << 0;
        QTest::newRow("program -3") << QByteArray("[t2tk]\nProgram=-3\n") << 0 << 0;
        QTest::newRow("program 49") << QByteArray("[t2tk]\nProgram=49\nSamePath=-1\n") << 49 << -1;
        QTest::newRow("garbage") << QByteArray("[t2tk]\nProgram=abc\nSamePath=1,2\n\x01\xFF=\n") << 0 << 0;
        QTest::newRow("huge") << QByteArray("[t2tk]\nProgram=99999999999999\n") << 0 << 0;
        QTest::newRow("no section") << QByteArray("Program=7\n") << 0 << 0;
    }
    void opensWithStoredSettingsHeldInRange()
    {
        QFETCH(QByteArray, ini);
        Store(ini);
        ConverterDialog& dialog = Open();
        QTEST(dialog.m_program, "slot");
        QCOMPARE(Field(), QString::number(dialog.m_program + 1));
        QCOMPARE(dialog.m_programSlider->value(), dialog.m_program * 100);
        QCOMPARE(dialog.m_programSlider->maximum(), 4950);
        QTEST(dialog.m_samePath, "samePath");
        QCOMPARE(dialog.m_samePathBox->isChecked(), dialog.m_samePath != 0);
        QVERIFY(dialog.m_quitButton->isDefault());
    }

    void settingsThatCannotBeWritten()
    {
        QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        IniSettingsStore settings(m_dir->filePath(QStringLiteral("blocker/t2tk.ini")));  // its folder is a file
        ConverterDialog dialog(settings, m_dialogs);
        QVERIFY(dialog.OnInitDialog());
        QCOMPARE(dialog.m_program, 0);
        QCOMPARE(dialog.m_programEdit->text(), QStringLiteral("1"));
        dialog.m_programEdit->setText(QStringLiteral("9"));
        dialog.OnOK();  // the settings are lost, and nothing else happens
        QVERIFY(!QFile::exists(m_dir->filePath(QStringLiteral("blocker/t2tk.ini"))));
        QVERIFY(m_dialogs.errors.empty());
    }

    void typingAProgramNumber()
    {
        ConverterDialog& dialog = Open();
        Type("0");
        QCOMPARE(dialog.m_program, 0);
        QCOMPARE(Field(), QStringLiteral("1"));
        Type("75");
        QCOMPARE(dialog.m_program, 49);
        QCOMPARE(Field(), QStringLiteral("50"));
        Type("123");
        QCOMPARE(Field(), QStringLiteral("50"));
        Type("7");
        QCOMPARE(dialog.m_program, 6);
        QCOMPARE(dialog.m_programSlider->value(), 600);
        Type("x-");  // not digits: nothing reaches the field
        QCOMPARE(Field(), QString());
        QCOMPARE(dialog.m_program, 6);
    }

    void leavingTheFieldShowsTheProgram()
    {
        ConverterDialog& dialog = Open();
        for (const char* text : {"0123", "012"}) {
            dialog.m_programEdit->setFocus();
            dialog.m_programEdit->setText(QString::fromLatin1(text));
            QCOMPARE(dialog.m_program, 11);
            QCOMPARE(Field(), QString::fromLatin1(text));
            dialog.m_quitButton->setFocus();
            QCOMPARE(Field(), QStringLiteral("12"));
        }
        dialog.m_programEdit->setFocus();
        dialog.m_programEdit->clear();
        dialog.m_quitButton->setFocus();
        QCOMPARE(Field(), QStringLiteral("12"));
    }

    void sliderAndFieldAgree()
    {
        ConverterDialog& dialog = Open();
        ReleaseSlider(4950);
        QCOMPARE(dialog.m_program, 49);
        QCOMPARE(Field(), QStringLiteral("50"));
        ReleaseSlider(4899);
        QCOMPARE(dialog.m_program, 48);
        QCOMPARE(Field(), QStringLiteral("49"));
        dialog.m_programSlider->setFocus();
        QTest::keyClick(dialog.m_programSlider, Qt::Key_Home);
        QCOMPARE(Field(), QStringLiteral("1"));
        QTest::keyClick(dialog.m_programSlider, Qt::Key_Right);
        QTest::keyClick(dialog.m_programSlider, Qt::Key_Right);
        QCOMPARE(dialog.m_program, 2);
        QCOMPARE(Field(), QStringLiteral("3"));
        QTest::keyClick(dialog.m_programSlider, Qt::Key_End);
        QCOMPARE(Field(), QStringLiteral("50"));
    }

    void switchesAndSettingsWrittenOnClose()
    {
        ConverterDialog& dialog = Open();
        Tick(dialog.m_samePathBox);
        Tick(dialog.m_compatibilityBox);
        QCOMPARE(dialog.m_samePath, 1);
        QCOMPARE(dialog.m_compatibility, 1);
        Type("12");
        dialog.m_programEdit->setFocus();
        QTest::keyClick(dialog.m_programEdit, Qt::Key_Return);  // Enter anywhere means Quit
        QVERIFY(!dialog.isVisible());
        QCOMPARE(StoredIni(), QStringLiteral("[t2tk]\nCompatibility=1\nProgram=11\nSamePath=1\n"));

        // Escape closes too, and writes back what was read, held in range.
        Store("[t2tk]\nProgram=75\nSamePath=0\nCompatibility=3\n");
        Open();
        QTest::keyClick(m_dialog.get(), Qt::Key_Escape);
        QCOMPARE(StoredIni(), QStringLiteral("[t2tk]\nCompatibility=3\nProgram=0\nSamePath=0\n"));
    }

    void convertWithSamePath()
    {
        Kits({"a.fxp", "b.fxp"});
        ConverterDialog& dialog = Open();
        Tick(dialog.m_samePathBox);
        m_dialogs.openResults = {Path("a.fxp") + '\0' + '\0',
                                 m_dir->path().toStdString() + '\0' + "a.fxp" + '\0' + "b.fxp" + '\0' + '\0'};
        QTest::mouseClick(dialog.m_convertButton, Qt::LeftButton);
        QCOMPARE(FileSize(Path("a.mid")), std::size_t{3132});
        QTest::mouseClick(dialog.m_convertButton, Qt::LeftButton);
        QCOMPARE(FileSize(Path("Thumpkrate.mid")), std::size_t{73 + 2 * 3059});
        QVERIFY(m_dialogs.suggestions.empty());
        QCOMPARE(dialog.m_status->text(), QStringLiteral("Wrote Thumpkrate.mid: 2 presets, programs 1 to 2."));
        QTest::mouseClick(dialog.m_convertButton, Qt::LeftButton);  // cancelled: nothing happens
        QVERIFY(m_dialogs.errors.empty());
    }

    void convertAsksForTheOutput()
    {
        Kits({"a.fxp", "b.fxp"});
        ConverterDialog& dialog = Open();
        const std::string folder = m_dir->path().toStdString();
        m_dialogs.openResults = {Path("a.fxp") + '\0' + '\0', folder + '\0' + "a.fxp" + '\0' + "b.fxp" + '\0' + '\0'};
        m_dialogs.saveResults = {Path("one.mid"), std::nullopt};
        QTest::mouseClick(dialog.m_convertButton, Qt::LeftButton);
        QTest::mouseClick(dialog.m_convertButton, Qt::LeftButton);
        QCOMPARE(m_dialogs.suggestions, (std::vector<std::string>{Path("a.mid"), folder + "/Thumpkrate.mid"}));
        QCOMPARE(FileSize(Path("one.mid")), std::size_t{3132});
        QVERIFY(!QFile::exists(QString::fromStdString(Path("Thumpkrate.mid"))));
    }

    void dropConvertsTheFirstFifty()
    {
        Kits({"a.fxp"});
        ConverterDialog& dialog = Open();
        ReleaseSlider(4800);
        m_dialogs.saveResults = {Path("one.mid"), Path("many.mid")};
        Drop(1);
        Drop(51);
        QCOMPARE(m_dialogs.suggestions, (std::vector<std::string>{Path("a.mid"), "Thumpkrate.mid"}));
        QCOMPARE(FileSize(Path("one.mid")), std::size_t{3132});
        QCOMPARE(FileSize(Path("many.mid")), std::size_t{73 + 50 * 3059});
        QCOMPARE(dialog.m_status->text(),
                 QStringLiteral("Wrote many.mid: 50 presets, programs 49 to 50. 1 file past the 50th left out. "
                                "Presets past program 50 all went to program 50."));
    }

    void commandLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("suggestion");
        QTest::addColumn<bool>("failed");
        // DIR/ stands for the test's folder, which exists only once the test runs.
        QTest::newRow("upper case") << "DIR/A.FXP" << "DIR/A.MID" << false;
        QTest::newRow("lower case") << "DIR/b.fxp" << "DIR/b.mid" << false;
        QTest::newRow("two names") << "DIR/A.FXP DIR/b.fxp" << "Thumpkrate.mid" << false;
        QTest::newRow("two spaces") << "DIR/A.FXP  DIR/b.fxp" << "Thumpkrate.mid" << true;
        QTest::newRow("missing") << "DIR/gone.fxp" << "DIR/gone.mid" << true;
    }
    void commandLine()
    {
        QFETCH(QString, line);
        QFETCH(QString, suggestion);
        line.replace(QStringLiteral("DIR/"), m_dir->path() + '/');
        suggestion.replace(QStringLiteral("DIR/"), m_dir->path() + '/');
        Kits({"A.FXP", "b.fxp"});
        m_dialogs.saveResults = {Path("out.mid")};
        m_settings = std::make_unique<IniSettingsStore>(IniPath());
        m_dialog = std::make_unique<ConverterDialog>(*m_settings, m_dialogs);
        m_dialog->m_cmdLine = line.toStdString();
        m_dialog->exec();  // converts, and ends without showing the dialog
        QVERIFY(!m_dialog->isVisible());
        QCOMPARE(QString::fromStdString(m_dialogs.suggestions.at(0)), suggestion);
        QTEST(m_dialog->commandLineFailed(), "failed");
        QCOMPARE(m_dialogs.errors.size(), std::size_t{m_dialog->commandLineFailed() ? 1U : 0U});
        QVERIFY(StoredIni().contains(QStringLiteral("Program=0")));
    }

    void commandLineOfSixtyNamesConvertsFifty()
    {
        Kits({"a.fxp"});
        std::string line;
        for (int i = 0; i < 60; ++i) {
            line += (i > 0 ? " " : "") + Path("a.fxp");
        }
        m_dialogs.saveResults = {Path("out.mid")};
        ConverterDialog& dialog = Open(line);
        QCOMPARE(FileSize(Path("out.mid")), std::size_t{73 + 50 * 3059});
        QVERIFY(dialog.m_status->text().contains(QStringLiteral("10 files past the 50th left out")));
        Open(line);  // cancelled save dialog: the dialog stays for interactive use
        QVERIFY(m_dialog->isVisible());
    }

    void everyFailureIsShown()
    {
        Kits({"a.fxp"});
        ConverterDialog& dialog = Open();
        m_dialogs.saveResults = {Path("out.mid"), Path("missing/out.mid"), Path("a.fxp")};
        dialog.OnDropFiles({Path("gone.fxp")});
        dialog.OnDropFiles({Path("a.fxp")});
        dialog.OnDropFiles({Path("a.fxp")});
        QCOMPARE(m_dialogs.errors, (std::vector<std::string>{
                                       "cannot open preset \"" + Path("gone.fxp") + "\": No such file or directory",
                                       "cannot write \"" + Path("missing/out.mid") + "\": No such file or directory",
                                       "will not overwrite preset \"" + Path("a.fxp") +
                                           "\": it is one of the presets being converted"}));
        QCOMPARE(dialog.m_status->text(), QStringLiteral("Nothing written."));
    }
};

QTEST_MAIN(ConverterDialogTest)
#include "converter_dialog_test.moc"
