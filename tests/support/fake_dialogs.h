#pragma once
// Request dialogs and a settings store that answer from what a test set up
// and remember what they were asked.

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/request_dialogs.h"

namespace t2tk::test {

class FakeDialogs : public app::RequestDialogs {
public:
    std::deque<std::optional<std::string>> openResults;  // answers of the open dialog, in turn; then cancel
    std::deque<std::optional<std::string>> saveResults;  // answers of the save dialog, in turn; then cancel
    std::vector<std::string> suggestions;                // what the save dialog was shown
    std::function<void()> whileSaving;                   // what happens while the save dialog is up
    std::function<void()> whileShowing;                  // while a failed send or a notice is shown
    std::vector<std::string> errors;  // conversions that failed
    std::vector<std::string> sendErrors;
    std::deque<bool> stopAnswers;          // answers to "stop sending?", in turn; then no
    int stopQuestions = 0;
    std::vector<std::string> notices;
    std::vector<std::string> incompleteQuestions;
    bool sendIncomplete = false;           // the answer to "send them anyway?"

    std::optional<std::string> OpenPresets() override { return Take(openResults); }
    std::optional<std::string> SaveOutput(const std::string& suggestion) override
    {
        suggestions.push_back(suggestion);
        if (whileSaving) {
            whileSaving();
        }
        return Take(saveResults);
    }
    void ShowError(const std::string& message) override { errors.push_back(message); }
    void ShowSendError(const std::string& message) override
    {
        sendErrors.push_back(message);
        Showing();
    }
    void ShowNotice(const std::string& message) override
    {
        notices.push_back(message);
        Showing();
    }
    bool AskSendIncomplete(const std::string& question) override
    {
        incompleteQuestions.push_back(question);
        return sendIncomplete;
    }
    bool AskStopSending(const std::string& /*port*/) override
    {
        ++stopQuestions;
        return Take(stopAnswers, false);
    }

private:
    void Showing() const
    {
        if (whileShowing) {
            whileShowing();
        }
    }
    // The next answer, or the one given when there are no more.
    template <typename Answer>
    static Answer Take(std::deque<Answer>& answers, Answer none = {})
    {
        if (answers.empty()) {
            return none;
        }
        Answer front = answers.front();
        answers.pop_front();
        return front;
    }
};

}  // namespace t2tk::test
