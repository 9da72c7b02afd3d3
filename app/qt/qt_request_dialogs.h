#pragma once
// The request dialogs on Qt: QFileDialog and QMessageBox.

#include "app/request_dialogs.h"

namespace t2tk::app {

// Root with a user's HOME (sudo -E) keeps Qt's own settings (the file
// dialogs' history) out of that user's folder, where they would follow any
// link the user placed; t2tk's settings file is written with its own care.
// Called before the dialogs are used; does nothing for anyone else.
void KeepQtSettingsOutOfAnotherHome();

class QtRequestDialogs : public RequestDialogs {
public:
    std::optional<std::string> OpenPresets() override;
    std::optional<std::string> SaveOutput(const std::string& suggestion) override;
    void ShowError(const std::string& message) override;
    void ShowSendError(const std::string& message) override;
    void ShowNotice(const std::string& message) override;
    bool AskSendIncomplete(const std::string& question) override;
    bool AskStopSending(const std::string& port) override;
};

}  // namespace t2tk::app
