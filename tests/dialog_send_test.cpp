// The dialog's "Send to:" against a JACK server of the tests' own, on the
// offscreen platform: choosing a port, sending, cancelling, and the stored choice.
#include <QComboBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/qt/converter_dialog.h"
#include "app/qt/ini_settings_store.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/midi_receiver.h"
#include "tests/support/test_support.h"

using namespace t2tk;

class DialogSendTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    test::FakeDialogs m_dialogs;
    std::unique_ptr<app::IniSettingsStore> m_settings;
    std::unique_ptr<app::ConverterDialog> m_dialog;

    std::string Path(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)).toStdString(); }
    QString Ini() const { return m_dir.filePath(QStringLiteral("t2tk.ini")); }
    app::ConverterDialog& Open(std::vector<std::string> commandLine = {})
    {
        m_settings = std::make_unique<app::IniSettingsStore>(Ini());
        m_dialog = std::make_unique<app::ConverterDialog>(*m_settings, m_dialogs, std::move(commandLine));
        m_dialog->OnInitDialog();
        m_dialog->show();
        return *m_dialog;
    }
    QString Status() const { return m_dialog->findChild<QLabel*>(QStringLiteral("status"))->text(); }

private slots:
    void initTestCase()
    {
        test::WritePreset(Path("a.fxp"), fxp::MakeKit("Rock Kit", 1));
        test::WritePreset(Path("b.fxp"), fxp::MakeKit("Jazz Kit", 2));
        QVERIFY(test::Convert({Path("a.fxp"), Path("b.fxp")}, Path("both.syx"), 0, false, OutputFormat::SysEx).written);
    }

    void sendsEachConversionToTheChosenPort()
    {
        const test::MidiReceiver receiver("t2tk-dialog");
        Open();
        auto* sendTo = m_dialog->findChild<QComboBox*>(QStringLiteral("sendTo"));
        sendTo->showPopup();  // looks the ports up afresh
        sendTo->hidePopup();
        sendTo->setCurrentIndex(sendTo->findText(QStringLiteral("t2tk-dialog:in")));
        m_dialogs.openResults = {m_dir.path().toStdString() + '\0' + "a.fxp" + '\0' + "b.fxp" + '\0' + '\0'};
        m_dialogs.saveResults = {Path("both.mid")};
        QTest::mouseClick(m_dialog->findChild<QPushButton*>(QStringLiteral("convert")), Qt::LeftButton);
        QCOMPARE(test::Joined(receiver.Messages()), test::ReadBytes(Path("both.syx")));
        QCOMPARE(test::ReadBytes(Path("both.mid")).size(), test::MidiFileSize(2));
        QVERIFY(Status().endsWith(QStringLiteral("Sent 2 presets to t2tk-dialog:in.")));
        m_dialog->close();
        QSettings stored(Ini(), QSettings::IniFormat);
        QCOMPARE(stored.value(QStringLiteral("t2tk/SendPort")).toString(), QStringLiteral("t2tk-dialog:in"));
    }

    void cancelStopsBetweenMessages()
    {
        const test::MidiReceiver receiver("t2tk-dialog");
        Open();  // on the port the test before chose
        // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDeleteLeaks): Qt owns the slot object
        QTimer::singleShot(1500, m_dialog.get(), [this] {
            m_dialog->findChild<QProgressDialog*>()->findChild<QPushButton*>()->click();  // Cancel
        });
        m_dialogs.saveResults = {Path("one.mid")};
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(QString::fromStdString(Path("a.fxp")))});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QElapsedTimer timer;
        timer.start();
        static_cast<QObject*>(m_dialog.get())->event(&drop);  // outside a drag, straight to the window; back once stopped
        QVERIFY(timer.elapsed() < 3000);
        QVERIFY2(Status().endsWith(QStringLiteral("Sending stopped: 0 of 1 preset was stored completely.")), qPrintable(Status()));
        const test::Bytes received = test::Joined(receiver.Messages());
        const test::Bytes sent = test::ReadBytes(Path("both.syx"));
        QVERIFY(received.size() > 10);
        QVERIFY(std::equal(received.begin(), received.end(), sent.begin()));  // whole messages, in order
    }

    void aPortThatIsGoneMeansFileOnly()
    {
        QFile ini(Ini());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[t2tk]\nSendPort=t2tk-unplugged:in\n");
        ini.close();
        Open();
        QCOMPARE(m_dialog->findChild<QComboBox*>(QStringLiteral("sendTo"))->currentText(), QStringLiteral("File only"));
        QCOMPARE(Status(), QStringLiteral("The MIDI port t2tk-unplugged:in is not here: conversions go to a file only."));
    }
};

QTEST_MAIN(DialogSendTest)
#include "dialog_send_test.moc"
