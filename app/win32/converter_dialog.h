#pragma once
// The program's window on Win32: the dialog template's controls wired to the
// same window-free requests and rules as the Qt dialog.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/converter_requests.h"

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

class ConverterDialog {
public:
    // commandLine: the names t2tk was started with, each one whole.
    ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, std::vector<std::string> commandLine = {});
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    // Runs the dialog modally; when the command line asked for a conversion,
    // that conversion is all and the dialog ends without showing.
    void DoModal();
    // Opens the dialog without waiting for it, as tests drive it.
    HWND Create();

    // What the command line's conversion did, when there was one.
    const std::optional<RequestOutcome>& commandLineOutcome() const { return m_commandLineOutcome; }
    // Why the settings were not kept when the window closed, or an empty text;
    // and whether the window said beforehand that they would not be.
    const std::string& settingsFailure() const { return m_settingsFailure; }
    bool settingsProblemShown() const { return m_settingsProblemShown; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

    BOOL OnInitDialog();
    void OnCommand(int id, int code);
    void OnDropFiles(HDROP drop);
    void OnProgramEditChange();
    void OnProgramSliderMoved();
    void OnEnd(int result);
    void OnDestroy();

    HWND Item(int id) const { return ::GetDlgItem(m_window, id); }
    bool Checked(int id) const { return ::SendMessageW(Item(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void ShowProgram(int slot);
    void ShowOutcome(const std::optional<RequestOutcome>& outcome);

    ConverterRequests m_requests;
    RequestDialogs& m_dialogs;
    std::vector<std::string> m_cmdLine;
    std::optional<RequestOutcome> m_commandLineOutcome;
    std::string m_settingsFailure;
    bool m_settingsProblemShown = false;
    HWND m_window = nullptr;
    HICON m_hIcon = nullptr;
    bool m_modal = false;
};

}  // namespace t2tk::app
