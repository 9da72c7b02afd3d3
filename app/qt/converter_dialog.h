#pragma once
// The program's window: the first program number (field and slider), the two
// switches, "Send to:", Convert... and Quit. Files dropped onto it, chosen with
// Convert... or named on the command line are converted into one MIDI file,
// and sent to the chosen port.

#include <QDialog>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/converter_requests.h"
#include "app/dialog_send.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace t2tk::app {

class PortBox;
class RequestDialogs;
class SendProgress;
class SettingsStore;

class ConverterDialog : public QDialog {
    Q_OBJECT

public:
    // commandLine: the names t2tk was started with, each one whole; ports and
    // clock: what sends go through and wait on.
    ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, std::vector<std::string> commandLine = {},
                    MidiPorts& ports = SystemMidiPorts(), send::SendClock& clock = send::SteadyClock(),
                    QWidget* parent = nullptr);
    ~ConverterDialog() override;

    // Runs the dialog after OnInitDialog; when the command line asked for a
    // conversion, that conversion (and its send) is all and the dialog ends
    // without showing.
    int exec() override;

    // What the command line's conversion did, when there was one.
    const std::optional<RequestOutcome>& commandLineOutcome() const { return m_commandLineOutcome; }
    // Why the settings were not kept when the window closed, or an empty text;
    // and whether the window said beforehand that they would not be.
    const std::string& settingsFailure() const { return m_settingsFailure; }
    bool settingsProblemShown() const { return m_settingsProblemShown; }
    // True while a conversion is being sent.
    bool sending() const { return m_send != nullptr; }
    // What the command line's send did not do (it failed, was stopped or
    // never began), for standard error; empty when it was done or not asked for.
    const std::string& commandLineSendProblem() const { return m_commandLineSendProblem; }

    // Loads the settings, sets the controls and runs the command line. Returns
    // false when the dialog is to end at once.
    bool OnInitDialog();

protected:
    void done(int result) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnConvert();
    void OnDropFiles(const std::vector<std::string>& paths);
    void OnProgramEditChange();
    void OnProgramSliderReleased();
    void OnProgramSliderMoved(int position);
    void OnProgramEditKillFocus();
    void OnOK();
    void OnDestroy();

    bool RefusedWhileSending();
    void ShowProgram(int slot);
    void ShowStatus(const std::string& text, const std::string& tip);
    void ShowOutcome(const std::optional<RequestOutcome>& outcome);
    // A send's account on a line of its own below the conversion's.
    void ShowSendLine(const std::string& line);
    StatusRoom Room() const;
    void OnSendEnded(const std::string& output, const send::SendResult& result);

    ConverterRequests m_requests;
    RequestDialogs& m_dialogs;
    MidiPorts& m_ports;
    send::SendClock& m_clock;
    std::vector<std::string> m_cmdLine;
    std::optional<RequestOutcome> m_commandLineOutcome;
    bool m_onCommandLine = false;  // the conversion under way is the command line's
    std::string m_commandLineSendProblem;
    std::string m_settingsFailure;
    bool m_settingsProblemShown = false;
    RequestOutcome m_shownOutcome;  // what the status line tells of, without its messages
    std::string m_statusWhole;      // that line whole, and the warnings: its tooltip
    SendProgress* m_send = nullptr;  // the send under way, if any
    std::string m_sendingTo;
    std::function<void()> m_afterSend;

    QCheckBox* m_compatibilityBox;
    QCheckBox* m_samePathBox;
    QLineEdit* m_programEdit;
    QSlider* m_programSlider;
    PortBox* m_sendBox;
    QPushButton* m_convertButton;
    QPushButton* m_quitButton;
    QLabel* m_status;
    QLabel* m_measure;  // never shown: the status line's texts are measured in it
};

}  // namespace t2tk::app
