#pragma once
// The program's window: the first program number (field and slider), the two
// switches, Convert... and Quit. Files dropped onto it, chosen with Convert...
// or named on the command line are converted into one MIDI file.

#include <QDialog>
#include <optional>
#include <string>
#include <vector>

#include "convert/conversion_report.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

class ConverterDialog : public QDialog {
    Q_OBJECT

public:
    ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, QWidget* parent = nullptr);

    // Runs the dialog after OnInitDialog; when the command line asked for a
    // conversion, that conversion is all and the dialog ends without showing.
    int exec() override;

    // True when the command line's conversion failed.
    bool commandLineFailed() const { return m_commandLineFailed; }

    std::string m_cmdLine;    // the command-line text, split by RunCommandLine
    int m_samePath = 0;       // Convert... writes next to the presets, without asking
    int m_compatibility = 0;  // compatibility mode for every conversion
    int m_program = 0;        // first program slot, 0..49; shown as 1..50

    QCheckBox* m_compatibilityBox;
    QCheckBox* m_samePathBox;
    QLineEdit* m_programEdit;
    QSlider* m_programSlider;
    QPushButton* m_convertButton;
    QPushButton* m_quitButton;
    QLabel* m_status;

    // Loads the settings, sets the controls and runs the command line. Returns
    // false when the dialog is to end at once.
    bool OnInitDialog();
    int RunCommandLine(const std::string& text);
    std::optional<std::string> AskOutputPath(const std::string& suggestion);

    void OnConvert();
    void OnDropFiles(const std::vector<std::string>& paths);
    void OnProgramEditChange();
    void OnProgramSliderReleased();
    void OnProgramEditKillFocus();
    void OnSamePathClicked();
    void OnCompatibilityClicked();
    void OnOK();
    void OnDestroy();

protected:
    void done(int result) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Converts, then shows what was written or why nothing was.
    bool Convert(const std::string& prefix, const std::vector<std::string>& names, const std::string& output,
                 int leftOut);
    void ShowProgram(int slot);

    SettingsStore& m_settings;
    RequestDialogs& m_dialogs;
    ConversionReport m_report{};
    bool m_commandLineFailed = false;
};

}  // namespace t2tk::app
