#pragma once
// The request dialogs on Win32: the system's open and save dialogs and a
// message box, with paths in UTF-16 at the system and UTF-8 inside.

#include <windows.h>

#include <string>

#include "app/request_dialogs.h"

namespace t2tk::app {

// The folder a file dialog opens in, for folder. The dialogs take no folder of
// 260 characters or more (Wine's crashes on one): a longer one goes in its
// short form when that is shorter, and else as none, the dialog opening where
// it last was.
std::wstring DialogFolder(const std::string& folder);

class Win32RequestDialogs : public RequestDialogs {
public:
    // The window the dialogs belong to.
    void SetOwner(HWND owner) { m_owner = owner; }

    std::optional<std::string> OpenPresets() override;
    std::optional<std::string> SaveOutput(const std::string& suggestion) override;
    void ShowError(const std::string& message) override;
    void ShowSendError(const std::string& message) override;
    void ShowNotice(const std::string& message) override;
    bool AskSendIncomplete(const std::string& question) override;
    bool AskStopSending(const std::string& port) override;

private:
    HWND m_owner = nullptr;
};

}  // namespace t2tk::app
