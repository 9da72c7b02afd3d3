#include "app/win32/converter_dialog.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>

#include "app/conversion_status.h"
#include "app/program_number.h"
#include "app/request_dialogs.h"
#include "app/send_status.h"
#include "app/win32/resource.h"
#include "app/win32/win32_request_dialogs.h"
#include "files/utf16.h"

namespace t2tk::app {

namespace {

// The send's thread leaves what it tells with the dialog and says so.
constexpr UINT kSendChanged = WM_APP + 1;
constexpr UINT kCancelSend = WM_APP + 2;  // from the progress window

std::wstring WindowText(HWND window)
{
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(::GetWindowTextW(window, text.data(), static_cast<int>(text.size()))));
    return text;
}

// The status line's text as the control takes it: lines apart at "\r\n",
// and a zero-width space after each backslash, where a path too long for a
// line may break. Without one the line breaks inside the path as the system
// finds fit, and Wine's breaking drops the character after such a break:
// "C:" on one line, "users\..." on the next.
std::wstring StatusText(std::string_view text)
{
    std::wstring shown;
    for (const wchar_t c : Utf16(text)) {
        shown += c == L'\n' ? std::wstring(L"\r\n") : c == L'\\' ? std::wstring(L"\\\x200B") : std::wstring(1, c);
    }
    return shown;
}

// The size text takes in window's font: on one line, or with flags
// DT_WORDBREAK wrapped to width as the control wraps it.
SIZE Extent(HWND window, const std::wstring& text, int width, UINT flags)
{
    HDC context = ::GetDC(window);
    HGDIOBJ previous = ::SelectObject(context, reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0)));
    RECT room{0, 0, width, 0};
    ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &room,
                DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | flags);
    ::SelectObject(context, previous);
    ::ReleaseDC(window, context);
    return {room.right - room.left, room.bottom - room.top};
}

// The progress window's list: the numbers whole under their heading, the
// names whole, each file name cut in its middle where the column leaves room
// for the state (names that differ at their end still look apart), and the
// list as high as a whole number of rows, so that none shows in half.
void FitSendingList(HWND window, HWND list, const std::vector<ProgramLine>& programs)
{
    const auto width = [list](int column) { return static_cast<int>(::SendMessageW(list, LVM_GETCOLUMNWIDTH, column, 0)); };
    const auto textWidth = [list](const std::wstring& text) {
        return static_cast<int>(::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
    };
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    // The heading's text and the margins the heading draws it between.
    const int heading = Extent(header, L"Program", 0, DT_SINGLELINE).cx +
                        2 * static_cast<int>(::SendMessageW(header, HDM_GETBITMAPMARGIN, 0, 0));
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, std::max(width(0), heading));
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 1, LVSCW_AUTOSIZE);
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, LVSCW_AUTOSIZE);
    int longest = 0;
    for (const ProgramLine& line : programs) {
        longest = std::max(longest, textWidth(Utf16(line.file)));
    }
    const int padding = width(2) - longest;  // what the list puts around a cell's text
    RECT room{};
    ::GetClientRect(list, &room);
    const int state = textWidth(L"sent again") + ::GetSystemMetrics(SM_CXVSCROLL) + 16;
    const int file = std::max(static_cast<int>(room.right) - width(0) - width(1) - state, 40);
    if (width(2) > file) {
        ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 2, file);
        for (std::size_t i = 0; i < programs.size(); ++i) {
            const std::wstring cut = Utf16(ElideMiddle(programs[i].file, [&](std::string_view part) {
                return textWidth(Utf16(part)) + padding <= file;
            }));
            LVITEMW item{};
            item.iSubItem = 2;
            item.pszText = const_cast<wchar_t*>(cut.c_str());
            ::SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 3, LVSCW_AUTOSIZE_USEHEADER);

    // The rest of a row the list would show in part is made room for below:
    // the list, the window and Cancel's place grow by it.
    RECT row{};
    row.left = LVIR_BOUNDS;
    if (::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row)) == FALSE || row.bottom <= row.top) {
        return;
    }
    ::GetClientRect(list, &room);  // now without the horizontal scroll bar that the whole file names brought
    const int height = row.bottom - row.top;
    const int more = (height - (room.bottom - row.top) % height) % height;  // the first row starts below the heading
    RECT place{};
    ::GetWindowRect(list, &place);
    ::SetWindowPos(list, nullptr, 0, 0, place.right - place.left, place.bottom - place.top + more,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    HWND cancel = ::GetDlgItem(window, IDCANCEL);
    ::GetWindowRect(cancel, &place);
    ::MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&place), 2);
    ::SetWindowPos(cancel, nullptr, place.left, place.top + more, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::GetWindowRect(window, &place);
    ::SetWindowPos(window, nullptr, 0, 0, place.right - place.left, place.bottom - place.top + more,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

ConverterDialog::ConverterDialog(SettingsStore& settings, RequestDialogs& dialogs,
                                 std::vector<std::string> commandLine, MidiPorts& ports, send::SendClock& clock)
    : m_requests(settings, dialogs),
      m_dialogs(dialogs),
      m_ports(ports),
      m_cmdLine(std::move(commandLine)),
      m_hIcon(::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_T2TK))),
      // The send's thread tells this window, which lives longer than the send.
      m_shown(
          dialogs, ports, clock, [this](const OutcomeView& view) { Render(view); },
          [this] { ::PostMessageW(m_window, kSendChanged, 0, 0); })
{
}

ConverterDialog::~ConverterDialog()
{
    m_shown.Abandon();  // stops the send and waits for it
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

// The progress window: its Cancel, Escape and close box (which the dialog's
// default handling makes Cancel) ask the dialog to stop the send, once. The
// window stays until the send's account comes with it gone: its close box is
// greyed out meanwhile.
INT_PTR CALLBACK ConverterDialog::SendingProc(HWND window, UINT message, WPARAM wParam, LPARAM /*lParam*/)
{
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        if (HWND cancel = ::GetDlgItem(window, IDCANCEL); ::IsWindowEnabled(cancel) != FALSE) {
            ::EnableWindow(cancel, FALSE);
            ::EnableMenuItem(::GetSystemMenu(window, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
            ::PostMessageW(::GetWindow(window, GW_OWNER), kCancelSend, 0, 0);
        }
        return TRUE;
    }
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

// The dialog's message loop gives keys only to the dialog: those of the
// progress window (Escape, Tab) are given to that window here, from the
// filter that the dialog's handling of each message calls first. That
// window's own handling calls the filter again, which then lets it be.
LRESULT CALLBACK ConverterDialog::SendingKeys(int code, WPARAM wParam, LPARAM lParam)
{
    static thread_local bool handing = false;
    auto* message = reinterpret_cast<MSG*>(lParam);
    if (code == MSGF_DIALOGBOX && !handing && message->hwnd != nullptr) {
        HWND root = ::GetAncestor(message->hwnd, GA_ROOT);
        if (::GetWindowLongPtrW(root, DWLP_DLGPROC) == reinterpret_cast<LONG_PTR>(&SendingProc)) {
            handing = true;
            const BOOL handled = ::IsDialogMessageW(root, message);
            handing = false;
            if (handled != FALSE) {
                return TRUE;
            }
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

// The wheel moves the slider as on the Qt dialog: each notch as many programs
// as the system scrolls lines.
LRESULT CALLBACK ConverterDialog::SliderProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR /*id*/,
                                             DWORD_PTR /*data*/)
{
    if (message != WM_MOUSEWHEEL) {
        return ::DefSubclassProc(window, message, wParam, lParam);
    }
    UINT lines = 3;
    ::SystemParametersInfoW(SPI_GETWHEELSCROLLLINES, 0, &lines, 0);
    const int notches = GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA;
    const auto position = static_cast<int>(::SendMessageW(window, TBM_GETPOS, 0, 0));
    ::SendMessageW(window, TBM_SETPOS, TRUE,
                   WheelSliderPosition(position, notches, lines == WHEEL_PAGESCROLL ? kWheelPageLines : lines));
    ::SendMessageW(::GetParent(window), WM_HSCROLL, TB_THUMBPOSITION, reinterpret_cast<LPARAM>(window));
    return 0;
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
    case kSendChanged:
        m_shown.Update(Room());
        if (m_endAfterSend && !m_shown.sending()) {
            OnEnd(IDOK);
        }
        return TRUE;
    case kCancelSend:
        m_shown.Stop();
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
    m_sendingKeys = ::SetWindowsHookExW(WH_MSGFILTER, SendingKeys, nullptr, ::GetCurrentThreadId());
    m_requests.LoadSettings();
    const int samePath = m_requests.samePath();
    const int compatibility = m_requests.compatibility();
    ShowProgram(m_requests.program());
    HWND slider = Item(IDC_PROGRAM_SLIDER);
    ::SendMessageW(slider, TBM_SETRANGE, FALSE, MAKELPARAM(0, kSliderMaximum));
    ::SendMessageW(slider, TBM_SETPOS, TRUE, SliderPositionForSlot(m_requests.program()));
    // Arrow keys move one program, page keys five.
    ::SendMessageW(slider, TBM_SETLINESIZE, 0, kSliderPositionsPerSlot);
    ::SendMessageW(slider, TBM_SETPAGESIZE, 0, kSliderPagePrograms * kSliderPositionsPerSlot);
    ::SetWindowSubclass(slider, SliderProc, 1, 0);
    ::SendMessageW(Item(IDC_SAME_PATH), BM_SETCHECK, samePath != 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    ::SendMessageW(Item(IDC_COMPATIBILITY), BM_SETCHECK, compatibility != 0 ? BST_CHECKED : BST_UNCHECKED, 0);

    // The whole status line in a tooltip, where the line shows a name cut short.
    m_tooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, m_window, nullptr,
                                  ::GetModuleHandleW(nullptr), nullptr);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_STATUS));
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(m_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_tooltip, TTM_SETMAXTIPWIDTH, 0, 400);

    ::SendMessageW(Item(IDC_SEND_TO), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"File only"));
    ::SendMessageW(Item(IDC_SEND_TO), CB_SETCURSEL, 0, 0);
    if (const std::string problem = m_requests.SettingsProblem(); !problem.empty()) {
        ShowStatus(problem, problem);
        m_settingsProblemShown = true;
    }
    // The ports are looked up only for a stored one: it may have gone, and
    // then the box, and with it the dialog, falls back to "File only".
    if (const std::string stored = m_requests.sendPort(); !stored.empty()) {
        if (const std::optional<std::string> gone = SendPortGone(stored, RefreshPorts(stored))) {
            ShowStatus(*gone, *gone);
        }
    }

    m_asking = true;
    m_commandLineOutcome = m_requests.RunCommandLine(m_cmdLine);
    m_asking = false;
    ShowOutcome(m_commandLineOutcome, true);
    // Names left out are said in the window, which a program started from
    // Explorer has instead of standard error; a send ends the dialog when done.
    if (m_commandLineOutcome && m_commandLineOutcome->leftOut == 0) {
        if (m_shown.sending()) {
            m_endAfterSend = true;
        } else {
            OnEnd(IDOK);
        }
    }
    return TRUE;  // the focus goes to the first tab stop, Quit
}

void ConverterDialog::OnCommand(int id, int code)
{
    switch (id) {
    case IDOK:  // Quit, and Enter anywhere
        m_requests.setSamePath(Checked(IDC_SAME_PATH) ? 1 : 0);
        m_requests.setCompatibility(Checked(IDC_COMPATIBILITY) ? 1 : 0);
        OnEnd(IDOK);
        break;
    case IDCANCEL:  // Escape and the close box
        OnEnd(IDCANCEL);
        break;
    case IDC_CONVERT:
        if (!RefusedWhileBusy()) {
            ShowProgram(m_requests.program());  // the field shows the program the conversion takes
            m_asking = true;
            const std::optional<RequestOutcome> outcome = m_requests.OnConvert();
            m_asking = false;
            ShowOutcome(outcome);
        }
        break;
    case IDC_SAME_PATH:
        m_requests.setSamePath(Checked(IDC_SAME_PATH) ? 1 : 0);
        break;
    case IDC_COMPATIBILITY:
        m_requests.setCompatibility(Checked(IDC_COMPATIBILITY) ? 1 : 0);
        break;
    case IDC_SEND_TO:
        if (code == CBN_DROPDOWN) {
            RefreshPorts(ChosenPort());
        } else if (code == CBN_SELCHANGE) {  // the user's choice, kept with the settings
            m_requests.ChoosePort(ChosenPort());
        }
        break;
    case IDC_PROGRAM:
        if (code == EN_CHANGE) {
            OnProgramEditChange();
        } else if (code == EN_KILLFOCUS) {
            ShowProgram(m_requests.program());
        }
        break;
    default:
        break;
    }
}

void ConverterDialog::OnDropFiles(HDROP drop)
{
    // A drop while a request's dialog is up (the save dialog, say) waits for
    // nothing: it is let go, or a second dialog would open over the first.
    if (m_asking || RefusedWhileBusy()) {
        ::DragFinish(drop);
        return;
    }
    const UINT count = ::DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    std::vector<std::string> paths;
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(::DragQueryFileW(drop, i, nullptr, 0), L'\0');
        ::DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size() + 1));
        paths.push_back(Utf8(path));
    }
    ::DragFinish(drop);
    ShowProgram(m_requests.program());
    m_asking = true;
    const std::optional<RequestOutcome> outcome = m_requests.OnDropFiles(paths);
    m_asking = false;
    ShowOutcome(outcome);
}

// A new conversion is refused while one is being sent: the module takes one
// send at a time.
bool ConverterDialog::RefusedWhileBusy()
{
    if (m_shown.sending()) {
        m_dialogs.ShowNotice(kBusySending);
    }
    return m_shown.sending();
}

void ConverterDialog::OnProgramEditChange()
{
    // The first three characters are all that is read.
    const std::optional<ProgramEntry> entry = ReadProgramField(Utf8(WindowText(Item(IDC_PROGRAM)).substr(0, 3)));
    if (!entry) {
        return;
    }
    m_requests.setProgram(entry->slot);
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
    m_requests.setProgram(SlotFromSliderPosition(position));
    ShowProgram(m_requests.program());
}

void ConverterDialog::OnEnd(int result)
{
    // Closing during a send asks first; a send that stops ends before the window.
    if (m_shown.sending()) {
        if (!m_dialogs.AskStopSending(m_shown.sendingTo())) {
            return;
        }
        m_shown.Abandon();
    }
    if (m_modal) {
        ::EndDialog(m_window, result);
    } else {
        ::DestroyWindow(m_window);
    }
}

void ConverterDialog::OnDestroy()
{
    m_shown.Abandon();
    m_sendWindow = nullptr;  // went with the window that owns it
    if (m_sendingKeys != nullptr) {
        ::UnhookWindowsHookEx(m_sendingKeys);
        m_sendingKeys = nullptr;
    }
    m_settingsFailure = m_requests.SaveSettings();
}

// A field that already says the number is left alone, and the caret stays
// where the user left it (setting the text puts it at the start).
void ConverterDialog::ShowProgram(int slot)
{
    HWND field = Item(IDC_PROGRAM);
    const std::wstring text = Utf16(ProgramFieldText(slot));
    if (WindowText(field) != text) {
        DWORD start = 0;
        DWORD end = 0;
        ::SendMessageW(field, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
        ::SetWindowTextW(field, text.c_str());
        ::SendMessageW(field, EM_SETSEL, start, end);
    }
}

std::vector<std::string> ConverterDialog::RefreshPorts(const std::string& port)
{
    HWND box = Item(IDC_SEND_TO);
    ::SendMessageW(box, CB_RESETCONTENT, 0, 0);
    ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"File only"));
    std::vector<std::string> ports = m_ports.List().names;
    for (const std::string& name : ports) {
        ::SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf16(name).c_str()));
    }
    const auto found = std::find(ports.begin(), ports.end(), port);
    ::SendMessageW(box, CB_SETCURSEL, found == ports.end() ? 0 : 1 + (found - ports.begin()), 0);
    m_requests.setSendPort(ChosenPort());  // what the box shows, the dialog does
    return ports;
}

std::string ConverterDialog::ChosenPort() const
{
    HWND box = Item(IDC_SEND_TO);
    const auto index = static_cast<int>(::SendMessageW(box, CB_GETCURSEL, 0, 0));
    if (index <= 0) {
        return {};
    }
    std::wstring name(static_cast<std::size_t>(::SendMessageW(box, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
    ::SendMessageW(box, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(name.data()));
    return Utf8(name.c_str());
}

void ConverterDialog::ShowStatus(const std::string& text, const std::string& tip)
{
    ::SetWindowTextW(Item(IDC_STATUS), StatusText(text).c_str());
    const std::wstring wideTip = StatusText(tip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = m_window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_STATUS));
    tool.lpszText = const_cast<wchar_t*>(wideTip.c_str());
    ::SendMessageW(m_tooltip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

StatusRoom ConverterDialog::Room() const
{
    HWND status = Item(IDC_STATUS);
    RECT room{};
    ::GetClientRect(status, &room);
    return {[status, room](std::string_view name) {
                return Extent(status, Utf16(name), 0, DT_SINGLELINE).cx <= (room.right - room.left) * 2 / 3;
            },
            [status, room](std::string_view text) {
                return Extent(status, StatusText(text), room.right - room.left, DT_WORDBREAK).cy <= room.bottom - room.top;
            }};
}

void ConverterDialog::ShowOutcome(const std::optional<RequestOutcome>& outcome, bool commandLine)
{
    if (outcome) {
        m_shown.Show(*outcome, m_requests.sendPort(), commandLine, Room());
    }
}

void ConverterDialog::Render(const OutcomeView& view)
{
    ShowStatus(view.line, view.tip);
    if (view.sending) {
        ShowSending(*view.sending);
    } else if (m_sendWindow != nullptr) {
        // The progress window goes before a message about the send comes.
        ::DestroyWindow(m_sendWindow);
        m_sendWindow = nullptr;
    }
}

void ConverterDialog::ShowSending(const SendingView& view)
{
    HWND list = nullptr;
    if (m_sendWindow == nullptr) {
        m_sendWindow = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SENDING), m_window,
                                            SendingProc, 0);
        list = ::GetDlgItem(m_sendWindow, IDC_SENDING_LIST);
        ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT);
        const wchar_t* const headings[] = {L"Program", L"Name", L"File", L"State"};
        for (int column = 0; column < 4; ++column) {
            LVCOLUMNW heading{};
            heading.mask = LVCF_TEXT | LVCF_SUBITEM;
            heading.pszText = const_cast<wchar_t*>(headings[column]);
            heading.iSubItem = column;
            ::SendMessageW(list, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&heading));
        }
        for (std::size_t i = 0; i < view.programs.size(); ++i) {
            const ProgramLine& line = view.programs[i];
            const std::wstring texts[] = {std::to_wstring(line.program), Utf16(line.name), Utf16(line.file)};
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(i);
            for (int column = 0; column < 3; ++column) {
                item.iSubItem = column;
                item.pszText = const_cast<wchar_t*>(texts[column].c_str());
                ::SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
            }
        }
        FitSendingList(m_sendWindow, list, view.programs);
        ::ShowWindow(m_sendWindow, SW_SHOW);
    }
    list = ::GetDlgItem(m_sendWindow, IDC_SENDING_LIST);
    ::SetWindowTextW(m_sendWindow, Utf16(view.title).c_str());
    ::SetDlgItemTextW(m_sendWindow, IDC_SENDING_TEXT, Utf16(view.text).c_str());
    ::SendDlgItemMessageW(m_sendWindow, IDC_SENDING_PROGRESS, PBM_SETRANGE32, 0, std::max(view.messages, 1));
    ::SendDlgItemMessageW(m_sendWindow, IDC_SENDING_PROGRESS, PBM_SETPOS, view.message, 0);
    for (std::size_t i = 0; i < view.programs.size(); ++i) {
        const ProgramState state = view.programs[i].state;
        const std::wstring word = Utf16(StateWord(state));
        LVITEMW item{};
        item.iSubItem = 3;
        item.pszText = const_cast<wchar_t*>(word.c_str());
        ::SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        if (state == ProgramState::Sending || state == ProgramState::SentAgain) {
            ::SendMessageW(list, LVM_ENSUREVISIBLE, i, FALSE);
        }
    }
}

}  // namespace t2tk::app
