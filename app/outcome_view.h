#pragma once
// What a dialog shows of a request: the status line and its tooltip after a
// conversion, the progress window while its send runs, and the account once
// the send has ended. Computed here, once, as one view that each windowing
// layer only renders; the send runs on a thread of its own, whose news the
// window carries over to its own thread.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/converter_requests.h"
#include "send/sender.h"

namespace t2tk::app {

class MidiPorts;
class RequestDialogs;

// How a window measures its status line: whether a file name fits the room a
// name has on one line of it, and whether a whole text, wrapped as the
// window wraps it (lines apart at each '\n'), fits it.
struct StatusRoom {
    std::function<bool(std::string_view)> nameFits;
    std::function<bool(std::string_view)> textFits;
};

// The status line after a request: what was written, or that nothing was,
// how many files were not complete presets, and what the conversion changed.
std::string StatusLine(const RequestOutcome& outcome);

// The status line of outcome as a window shows it, with after (a send's
// account, say) on a line of its own below it unless empty. The first
// sentence gives way to fit the room: its file name cut in the middle, then
// the name left out, then the programs; the counts and notes after it, and
// after, are never cut (the tooltip holds everything whole).
std::string FitStatus(const RequestOutcome& outcome, const std::string& after, const StatusRoom& room);

// Where a program being overwritten stands in a send.
enum class ProgramState { Waiting, Sending, SentAgain, Stored };

// "waiting", "sending", "sent again", "stored".
std::string_view StateWord(ProgramState state);

// One line of the progress window's list: a program the send overwrites.
struct ProgramLine {
    int program = 0;   // 1..50
    std::string name;  // as the module will show it
    std::string file;  // the file name of the preset
    ProgramState state = ProgramState::Waiting;
};

// The list through a send, from the statuses told before each message: their
// preset is being sent ("sent again" from its second try), and the presets
// before it are done with. A preset is left after a try only once that try
// has reached the port whole, or after its last try, which may have run late:
// so it is stored, unless it was left after its last try, which stays "sent
// again" (the account says which programs were not stored).
class ProgramList {
public:
    explicit ProgramList(const std::vector<ConvertedProgram>& programs);
    void Tell(const send::SendStatus& status);
    const std::vector<ProgramLine>& lines() const { return m_lines; }

private:
    std::vector<ProgramLine> m_lines;
    std::vector<int> m_attempts;  // each preset's last try told
};

// The progress window of a send under way.
struct SendingView {
    std::string title;  // "Sending to Thump A"
    std::string text;   // the message being sent and the time left; empty before the first
    int message = 0;    // the bar: message of messages
    int messages = 0;
    std::vector<ProgramLine> programs;
};

// Everything a dialog shows of its last request, at one moment.
struct OutcomeView {
    std::string line;  // the status line, fitted to the window's room
    std::string tip;   // the line whole, each warning, and the send's account: the tooltip
    std::optional<SendingView> sending;  // the progress window, open while this is set
    std::string failure;  // the "Sending failed" box that follows, or empty
    std::string notice;   // a notice that follows (a send stopped on the command-line road), or empty
};

// The view of a dialog's requests and their sends.
class ShownOutcome {
public:
    // render: the window shows a view (its boxes then come from here);
    // changed: called on the send's thread when there is more to show, and
    // carried over to the window's thread, which then calls Update.
    ShownOutcome(RequestDialogs& dialogs, MidiPorts& ports, send::SendClock& clock,
                 std::function<void(const OutcomeView&)> render, std::function<void()> changed);
    // A send under way is stopped and waited for.
    ~ShownOutcome();
    ShownOutcome(const ShownOutcome&) = delete;
    ShownOutcome& operator=(const ShownOutcome&) = delete;

    // Shows what a road did. A file that was written goes on to port, unless
    // it is empty: files that are not complete presets are asked about, the
    // port is taken and the send begins. commandLine: the road is the command
    // line's, whose send's problems are kept for standard error.
    void Show(const RequestOutcome& outcome, const std::string& port, bool commandLine, const StatusRoom& room);
    // Shows how the send goes, after changed; once it has ended, its account.
    void Update(const StatusRoom& room);

    bool sending() const { return m_send != nullptr; }
    const std::string& sendingTo() const { return m_sendingTo; }
    // Asks the send to stop between two messages; its account still comes.
    void Stop();
    // Stops the send and waits for it, showing nothing more: the window closes.
    void Abandon();
    // What the command line's send did not do (it failed, was stopped or
    // never began); empty when it was done or not asked for.
    const std::string& commandLineSendProblem() const { return m_commandLineSendProblem; }

private:
    struct Send;
    // The view with a send's line below the conversion's.
    OutcomeView Below(const std::string& line, const StatusRoom& room) const;
    void Present(const OutcomeView& view);

    RequestDialogs& m_dialogs;
    MidiPorts& m_ports;
    send::SendClock& m_clock;
    std::function<void(const OutcomeView&)> m_render;
    std::function<void()> m_changed;
    RequestOutcome m_outcome;  // what the status line tells of, without its messages
    bool m_commandLine = false;
    std::string m_line;   // the status line as fitted when shown
    std::string m_whole;  // the line whole, and the warnings
    std::string m_sendingTo;
    std::string m_commandLineSendProblem;
    std::unique_ptr<Send> m_send;  // the send under way, if any
};

}  // namespace t2tk::app
