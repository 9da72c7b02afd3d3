// t2tk on Windows: the desktop converter of Tolvin presets into Thumpkrate MIDI files.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>

#include "app/conversion_status.h"
#include "app/win32/converter_dialog.h"
#include "app/win32/profile_settings_store.h"
#include "app/win32/win32_request_dialogs.h"
#include "convert/utf16.h"

int WINAPI wWinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, PWSTR /*commandLine*/, int /*show*/)
{
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&controls);

    // The system's own quoting rules: a quoted path with spaces is one name.
    int count = 0;
    LPWSTR* words = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> arguments;
    for (int i = 1; i < count; ++i) {
        arguments.push_back(t2tk::Utf8(words[i]));
    }
    ::LocalFree(words);

    const std::unique_ptr<t2tk::app::SettingsStore> settings = t2tk::app::OpenUserSettings();
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
    return outcome->written ? 0 : 1;
}
