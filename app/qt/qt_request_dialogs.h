#pragma once
// The request dialogs on Qt: QFileDialog and QMessageBox.

#include "app/request_dialogs.h"

namespace t2tk::app {

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
