#pragma once
// The program's window: the first program number (field and slider), the two
// switches, Convert... and Quit. Files dropped onto it, chosen with Convert...
// or named on the command line are converted into one MIDI file.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "app/converter_requests.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace t2tk::app {

class PortBox;
class RequestDialogs;
class SettingsStore;

class ConverterDialog : public QDialog {
    Q_OBJECT

public:
    // commandLine: the names t2tk was started with, each one whole.
    ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, std::vector<std::string> commandLine = {},
                    QWidget* parent = nullptr);

    // Runs the dialog after OnInitDialog; when the command line asked for a
    // conversion, that conversion is all and the dialog ends without showing.
    int exec() override;

    // What the command line's conversion did, when there was one.
    const std::optional<RequestOutcome>& commandLineOutcome() const { return m_commandLineOutcome; }
    // Why the settings were not kept when the window closed, or an empty text;
    // and whether the window said beforehand that they would not be.
    const std::string& settingsFailure() const { return m_settingsFailure; }
    bool settingsProblemShown() const { return m_settingsProblemShown; }

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

    ConverterRequests m_requests;
    RequestDialogs& m_dialogs;
    std::vector<std::string> m_cmdLine;
    bool m_sending = false;
    std::optional<RequestOutcome> m_commandLineOutcome;
    std::string m_settingsFailure;
    bool m_settingsProblemShown = false;

    QCheckBox* m_compatibilityBox;
    QCheckBox* m_samePathBox;
    QLineEdit* m_programEdit;
    QSlider* m_programSlider;
    PortBox* m_sendBox;
    QPushButton* m_convertButton;
    QPushButton* m_quitButton;
    QLabel* m_status;
};

}  // namespace t2tk::app
