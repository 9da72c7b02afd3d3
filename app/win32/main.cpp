// t2tk on Windows: the desktop converter of Tolvin presets into Thumpkrate MIDI files.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <memory>

#include "app/conversion_status.h"
#include "app/win32/converter_dialog.h"
#include "app/ini_settings_store.h"
#include "app/win32/win32_request_dialogs.h"
#include "files/utf16.h"

namespace {

// t2tk.ini in the user's application data folder. The platform's place for a
// bare profile name, the Windows folder, is closed to ordinary users, so
// settings kept there are only read, once, while the new file is not there.
std::unique_ptr<t2tk::app::SettingsStore> OpenUserSettings()
{
    wchar_t appData[MAX_PATH] = {};
    wchar_t windows[MAX_PATH] = {};
    if (::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData) != S_OK) {
        return std::make_unique<t2tk::app::NoSettingsStore>();
    }
    const UINT length = ::GetWindowsDirectoryW(windows, MAX_PATH);
    return std::make_unique<t2tk::app::IniSettingsStore>(t2tk::Utf8(appData) + "\\t2tk.ini",
                                                         length > 0 ? t2tk::Utf8(windows) + "\\t2tk.ini" : "");
}

}  // namespace

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/)
{
    // Held for as long as t2tk runs: the installer waits for it to close.
    ::CreateMutexW(nullptr, FALSE, L"Local\\t2tk-running");
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);

    // The system's own quoting rules: a quoted path with spaces is one name.
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(t2tk::Utf8(words[i]));
    }
    ::LocalFree(words);

    const std::unique_ptr<t2tk::app::SettingsStore> settings = OpenUserSettings();
    t2tk::app::Win32RequestDialogs dialogs;
    t2tk::app::ConverterDialog dialog(*settings, dialogs, arguments);
    dialog.DoModal();
    const std::optional<t2tk::app::RequestOutcome>& outcome = dialog.commandLineOutcome();
    if (!outcome) {
        return 0;
    }
    if (outcome->leftOut > 0) {
        std::fprintf(stderr, "t2tk: warning: %s\n", t2tk::app::LeftOutNotice(outcome->leftOut).c_str());
    }
    if (!dialog.settingsFailure().empty()) {
        std::fprintf(stderr, "t2tk: warning: settings not kept: %s\n", dialog.settingsFailure().c_str());
    }
    // A send that did not store everything fails the run, as t2tk-convert's does.
    if (!dialog.commandLineSendProblem().empty()) {
        std::fprintf(stderr, "t2tk: %s\n", dialog.commandLineSendProblem().c_str());
        return 1;
    }
    return outcome->written ? 0 : 1;
}
