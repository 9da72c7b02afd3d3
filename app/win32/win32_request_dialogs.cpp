#include "app/win32/win32_request_dialogs.h"

#include <commdlg.h>

#include <vector>

#include "app/output_names.h"
#include "app/send_status.h"
#include "files/utf16.h"

namespace t2tk::app {

namespace {

// The settings both file dialogs share: the owner, the filter, the buffer, the extension.
OPENFILENAMEW FileDialog(HWND owner, const wchar_t* filter, std::vector<wchar_t>& file, const wchar_t* extension,
                         DWORD flags)
{
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = extension;
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | flags;
    return dialog;
}

}  // namespace

std::wstring DialogFolder(const std::string& folder)
{
    std::wstring wide = Utf16(folder);
    if (wide.size() < MAX_PATH) {
        return wide;
    }
    const std::wstring full = SystemPath(folder);
    std::wstring brief(::GetShortPathNameW(full.c_str(), nullptr, 0), L'\0');
    brief.resize(::GetShortPathNameW(full.c_str(), brief.data(), static_cast<DWORD>(brief.size())));
    if (brief.rfind(L"\\\\?\\UNC\\", 0) == 0) {
        brief = L"\\\\" + brief.substr(8);
    } else if (brief.rfind(L"\\\\?\\", 0) == 0) {
        brief = brief.substr(4);
    }
    return brief.size() < MAX_PATH ? brief : std::wstring();
}

std::optional<std::string> Win32RequestDialogs::OpenPresets()
{
    // Room for any real selection: a million characters. A longer one is
    // refused with a word, never cut.
    std::vector<wchar_t> chosen(1 << 20, L'\0');
    OPENFILENAMEW dialog = FileDialog(m_owner, L"Cubase FXP Files (*.fxp)\0*.fxp\0", chosen, L"fxp",
                                      OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
    if (::GetOpenFileNameW(&dialog) == 0) {
        if (::CommDlgExtendedError() == FNERR_BUFFERTOOSMALL) {
            ShowError("That is more files than one selection holds; choose fewer.");
        }
        return std::nullopt;
    }
    // One path, or a folder and names, each ended by a NUL, and one more NUL.
    std::size_t end = 0;
    while (chosen[end] != L'\0' || chosen[end + 1] != L'\0') {
        ++end;
    }
    std::string result;
    for (std::size_t start = 0; start <= end;) {
        const std::wstring_view text(chosen.data() + start);
        result += Utf8(text) + '\0';
        start += text.size() + 1;
    }
    return result + '\0';
}

std::optional<std::string> Win32RequestDialogs::SaveOutput(const std::string& suggestion)
{
    // The folder and the name apart: a whole path past 260 characters would
    // leave the dialog with neither.
    const SuggestedPlace place = SplitSuggestion(suggestion);
    std::vector<wchar_t> path(32768, L'\0');
    const std::wstring name = Utf16(place.name);
    const std::wstring folder = DialogFolder(place.folder);
    if (name.size() < path.size()) {
        std::copy(name.begin(), name.end(), path.begin());
    }
    OPENFILENAMEW dialog = FileDialog(m_owner, L"MIDI Files (*.mid)\0*.mid\0", path, L"mid", OFN_OVERWRITEPROMPT);
    dialog.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    if (::GetSaveFileNameW(&dialog) == 0) {
        return std::nullopt;
    }
    return Utf8(path.data());
}

void Win32RequestDialogs::ShowError(const std::string& message)
{
    ::MessageBoxW(m_owner, Utf16(message).c_str(), L"Conversion failed", MB_OK | MB_ICONWARNING);
}

void Win32RequestDialogs::ShowSendError(const std::string& message)
{
    ::MessageBoxW(m_owner, Utf16(message).c_str(), L"Sending failed", MB_OK | MB_ICONWARNING);
}

void Win32RequestDialogs::ShowNotice(const std::string& message)
{
    ::MessageBoxW(m_owner, Utf16(message).c_str(), L"t2tk", MB_OK | MB_ICONINFORMATION);
}

bool Win32RequestDialogs::AskSendIncomplete(const std::string& question)
{
    return ::MessageBoxW(m_owner, Utf16(question).c_str(), L"Sending", MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) ==
           IDYES;
}

bool Win32RequestDialogs::AskStopSending(const std::string& port)
{
    return ::MessageBoxW(m_owner, Utf16(StopSendingQuestion(port)).c_str(), L"Sending",
                         MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

}  // namespace t2tk::app
