#pragma once
// The dialogs a conversion request asks the user with, behind an interface so
// that tests put a fake in their place.

#include <optional>
#include <string>

namespace t2tk::app {

class RequestDialogs {
public:
    virtual ~RequestDialogs() = default;

    // The open dialog for presets, several at once. The chosen files in the form
    // ParseFileSelection reads, or nothing when the user cancels.
    virtual std::optional<std::string> OpenPresets() = 0;

    // The save dialog, showing suggestion; it asks before replacing a file.
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> SaveOutput(const std::string& suggestion) = 0;

    // A conversion that failed: nothing was written.
    virtual void ShowError(const std::string& message) = 0;
    // Something to know that is no failure (a conversion refused while one is sent).
    virtual void ShowNotice(const std::string& message) = 0;
    // Whether to send files that are not complete presets; question says how many.
    virtual bool AskSendIncomplete(const std::string& question) = 0;
    // A send that failed.
    virtual void ShowSendError(const std::string& message) = 0;
    // Whether to stop the send to port and close the window.
    virtual bool AskStopSending(const std::string& port) = 0;
};

}  // namespace t2tk::app
