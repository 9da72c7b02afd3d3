#include "app/win32/converter_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include "app/program_number.h"
#include "app/win32/resource.h"
#include "app/win32/win32_request_dialogs.h"
#include "convert/utf16.h"

namespace t2tk::app {

ConverterDialog::ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs,
                                 std::vector<std::string> commandLine)
    : m_requests(settings, dialogs),
      m_dialogs(dialogs),
      m_cmdLine(std::move(commandLine)),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_T2TK)))
{
}

void ConverterDialog::DoModal()
{
    m_modal = true;
    ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONVERTER), nullptr, DialogProc,
                      reinterpret_cast<LPARAM>(this));
}

HWND ConverterDialog::Create()
{
    m_modal = false;
    return ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_CONVERTER), nullptr, DialogProc,
                                reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ConverterDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrW(window, DWLP_USER, lParam);
        reinterpret_cast<ConverterDialog*>(lParam)->m_window = window;
    }
    auto* dialog = reinterpret_cast<ConverterDialog*>(::GetWindowLongPtrW(window, DWLP_USER));
    return dialog != nullptr ? dialog->Handle(message, wParam, lParam) : FALSE;
}

INT_PTR ConverterDialog::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        if (reinterpret_cast<const NMHDR*>(lParam)->idFrom == IDC_PROGRAM_SLIDER &&
            reinterpret_cast<const NMHDR*>(lParam)->code == static_cast<UINT>(NM_RELEASEDCAPTURE)) {
            OnProgramSliderMoved();
            ::SetWindowLongPtrW(m_window, DWLP_MSGRESULT, 0);
            return TRUE;
        }
        return FALSE;
    case WM_HSCROLL:
        // Keys, the wheel and clicks beside the thumb move the slider without a
        // release; a drag is taken when it ends.
        if (reinterpret_cast<HWND>(lParam) == Item(IDC_PROGRAM_SLIDER) && LOWORD(wParam) != TB_THUMBTRACK) {
            OnProgramSliderMoved();
        }
        return TRUE;
    case WM_DROPFILES:
        OnDropFiles(reinterpret_cast<HDROP>(wParam));
        return TRUE;
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default:
        return FALSE;
    }
}

BOOL ConverterDialog::OnInitDialog()
{
    if (auto* owned = dynamic_cast<Win32RequestDialogs*>(&m_dialogs)) {
        owned->SetOwner(m_window);  // the open, save and message boxes belong to this window
    }
    ::SendMessageW(m_window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageW(m_window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    m_requests.LoadSettings();
    const int samePath = m_requests.m_samePath;
    const int compatibility = m_requests.m_compatibility;
    ShowProgram(m_requests.m_program);
    ::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_SETRANGE, FALSE, MAKELPARAM(0, kSliderMaximum));
    ::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_SETPOS, TRUE, SliderPositionForSlot(m_requests.m_program));
    ::SendMessageW(Item(IDC_SAME_PATH), BM_SETCHECK, samePath != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(Item(IDC_COMPATIBILITY), BM_SETCHECK, compatibility != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    if (const std::string problem = m_requests.SettingsProblem(); !problem.empty()) {
        ::SetWindowTextW(Item(IDC_STATUS), Utf16(problem).c_str());
        m_settingsProblemShown = true;
    }

    m_commandLineOutcome = m_requests.RunCommandLine(m_cmdLine);
    ShowOutcome(m_commandLineOutcome);
    if (m_commandLineOutcome) {
        OnEnd(IDOK);
    }
    return TRUE;  // the focus goes to the first tab stop, Quit
}

void ConverterDialog::OnCommand(int id, int code)
{
    switch (id) {
    case IDOK:  // Quit, and Enter anywhere
        m_requests.m_samePath = Checked(IDC_SAME_PATH) ? 1 : 0;
        m_requests.m_compatibility = Checked(IDC_COMPATIBILITY) ? 1 : 0;
        OnEnd(IDOK);
        break;
    case IDCANCEL:  // Escape and the close box
        OnEnd(IDCANCEL);
        break;
    case IDC_CONVERT:
        ShowOutcome(m_requests.OnConvert());
        break;
    case IDC_SAME_PATH:
        m_requests.m_samePath = Checked(IDC_SAME_PATH) ? 1 : 0;
        break;
    case IDC_COMPATIBILITY:
        m_requests.m_compatibility = Checked(IDC_COMPATIBILITY) ? 1 : 0;
        break;
    case IDC_PROGRAM:
        if (code == EN_CHANGE) {
            OnProgramEditChange();
        } else if (code == EN_KILLFOCUS) {
            ShowProgram(m_requests.m_program);
        }
        break;
    default:
        break;
    }
}

void ConverterDialog::OnDropFiles(HDROP drop)
{
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.push_back(Utf8(path));
    }
    ::DragFinish(drop);
    ShowOutcome(m_requests.OnDropFiles(paths));
}

void ConverterDialog::OnProgramEditChange()
{
    wchar_t text[4] = {};  // the first three characters are all that is read
    ::GetWindowTextW(Item(IDC_PROGRAM), text, 4);
    const std::optional<ProgramEntry> entry = ReadProgramField(Utf8(text));
    if (!entry) {
        return;
    }
    m_requests.m_program = entry->slot;
    if (entry->rewrite) {
        ShowProgram(entry->slot);
    }
    const auto position = static_cast<int>(::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_GETPOS, 0, 0));
    if (entry->slot != SlotFromSliderPosition(position)) {
        ::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_SETPOS, TRUE, SliderPositionForSlot(entry->slot));
    }
}

void ConverterDialog::OnProgramSliderMoved()
{
    const auto position = static_cast<int>(::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_GETPOS, 0, 0));
    m_requests.m_program = SlotFromSliderPosition(position);
    ShowProgram(m_requests.m_program);
}

void ConverterDialog::OnEnd(int result)
{
    if (m_modal) {
        ::EndDialog(m_window, result);
    } else {
        ::DestroyWindow(m_window);
    }
}

void ConverterDialog::OnDestroy()
{
    m_settingsFailure = m_requests.SaveSettings();
}

void ConverterDialog::ShowProgram(int slot)
{
    ::SetWindowTextW(Item(IDC_PROGRAM), std::to_wstring(slot + 1).c_str());
}

void ConverterDialog::ShowOutcome(const std::optional<RequestOutcome>& outcome)
{
    if (outcome) {
        ::SetWindowTextW(Item(IDC_STATUS), Utf16(StatusLine(*outcome)).c_str());
    }
}

}  // namespace t2tk::app
