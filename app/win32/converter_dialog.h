#pragma once
// The program's window on Win32: the dialog template's controls wired to the
// same window-free requests, rules and sending as the Qt dialog.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "app/converter_requests.h"
#include "app/dialog_send.h"
#include "app/outcome_view.h"

namespace t2tk::app {

class RequestDialogs;
class SettingsStore;

class ConverterDialog {
public:
    // commandLine: the names t2tk was started with, each one whole; ports and
    // clock: what sends go through and wait on.
    ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs, std::vector<std::string> commandLine = {},
                    MidiPorts& ports = SystemMidiPorts(), send::SendClock& clock = send::SteadyClock());
    ~ConverterDialog();
    ConverterDialog(const ConverterDialog&) = delete;
    ConverterDialog& operator=(const ConverterDialog&) = delete;

    // Runs the dialog modally; when the command line asked for a conversion,
    // that conversion (and its send) is all, and the dialog ends by itself,
    // unless names were left out, which it then shows.
    void DoModal();
    // Opens the dialog without waiting for it, as tests drive it.
    HWND Create();

    // What the command line's conversion did, when there was one.
    const std::optional<RequestOutcome>& commandLineOutcome() const { return m_commandLineOutcome; }
    // What the command line's send did not do (it failed, was stopped or
    // never began); empty when it was done or not asked for.
    const std::string& commandLineSendProblem() const { return m_shown.commandLineSendProblem(); }
    // Why the settings were not kept when the window closed, or an empty text;
    // and whether the window said beforehand that they would not be.
    const std::string& settingsFailure() const { return m_settingsFailure; }
    bool settingsProblemShown() const { return m_settingsProblemShown; }
    // The progress window of the send under way, or null.
    HWND sendingWindow() const { return m_sendWindow; }

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK SendingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SendingKeys(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data);
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
    bool RefusedWhileBusy();
    std::vector<std::string> RefreshPorts(const std::string& port);
    std::string ChosenPort() const;
    void ShowStatus(const std::string& text, const std::string& tip);
    void ShowOutcome(const std::optional<RequestOutcome>& outcome, bool commandLine = false);
    void Render(const OutcomeView& view);
    void ShowSending(const SendingView& view);
    StatusRoom Room() const;

    ConverterRequests m_requests;
    RequestDialogs& m_dialogs;
    MidiPorts& m_ports;
    std::vector<std::string> m_cmdLine;
    std::optional<RequestOutcome> m_commandLineOutcome;
    std::string m_settingsFailure;
    bool m_settingsProblemShown = false;
    HWND m_window = nullptr;
    HWND m_tooltip = nullptr;
    HICON m_hIcon = nullptr;
    bool m_modal = false;
    bool m_asking = false;    // a request is under way: its dialogs may be up
    bool m_endAfterSend = false;
    ShownOutcome m_shown;
    HWND m_sendWindow = nullptr;  // the progress window, while a send is under way
    HHOOK m_sendingKeys = nullptr;
};

}  // namespace t2tk::app
