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
#include "app/outcome_view.h"

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
    bool sending() const { return m_shown.sending(); }
    // What the command line's send did not do (it failed, was stopped or
    // never began), for standard error; empty when it was done or not asked for.
    const std::string& commandLineSendProblem() const { return m_shown.commandLineSendProblem(); }

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
    void ShowOutcome(const std::optional<RequestOutcome>& outcome);
    void Render(const OutcomeView& view);
    StatusRoom Room() const;
    void OnSendChanged();

    ConverterRequests m_requests;
    RequestDialogs& m_dialogs;
    std::vector<std::string> m_cmdLine;
    std::optional<RequestOutcome> m_commandLineOutcome;
    bool m_onCommandLine = false;  // the conversion under way is the command line's
    std::string m_settingsFailure;
    bool m_settingsProblemShown = false;
    ShownOutcome m_shown;
    SendProgress* m_send = nullptr;  // the progress window, while a send is under way
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
