#include "app/outcome_view.h"

#include <algorithm>
#include <cctype>
#include <mutex>
#include <utility>

#include "app/conversion_status.h"
#include "app/dialog_send.h"
#include "app/request_dialogs.h"
#include "app/send_status.h"
#include "convert/conversion_request.h"

namespace t2tk::app {

namespace {

std::size_t Characters(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// What follows the first sentence of a written outcome's status line.
std::string StatusNotes(const RequestOutcome& outcome)
{
    std::string notes = ConversionNotes(outcome.presets, outcome.firstSlot, outcome.leftOut);
    if (outcome.incomplete > 0) {
        notes += " " + IncompleteCount(outcome.incomplete, outcome.presets) + ".";
    }
    // What the conversion changed: a note for each preset while they are
    // few, their count once they are not; the tooltip has every warning.
    constexpr std::size_t kNotes = 2;
    if (outcome.notes.size() > kNotes) {
        notes += " The conversion changed " + std::to_string(outcome.notes.size()) + " presets; the warnings say how.";
    } else {
        for (std::string note : outcome.notes) {
            note[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(note[0])));
            notes += " " + note + ".";
        }
    }
    return notes;
}

}  // namespace

std::string StatusLine(const RequestOutcome& outcome)
{
    if (!outcome.written) {
        return "Nothing written.";
    }
    return WroteSentence(FileNameOf(outcome.output), outcome.presets, outcome.firstSlot) + StatusNotes(outcome);
}

std::string FitStatus(const RequestOutcome& outcome, const std::string& after, const StatusRoom& room)
{
    const std::string below = after.empty() ? after : "\n" + after;
    if (!outcome.written) {
        return StatusLine(outcome) + below;
    }
    const std::string notes = StatusNotes(outcome) + below;
    const auto wrote = [&outcome](std::string_view name, bool programs = true) {
        return WroteSentence(name, outcome.presets, outcome.firstSlot, programs);
    };
    const std::string name = ElideMiddle(FileNameOf(outcome.output), [&](std::string_view part) {
        return room.nameFits(part) && room.textFits(wrote(part) + notes);
    });
    std::vector<std::string> firsts{wrote(name), wrote({}), wrote({}, false)};
    // A name cut down to a few characters says nothing: the first sentence goes on without it.
    constexpr std::size_t fewestKept = 6;
    if (name != FileNameOf(outcome.output) && Characters(name) - 1 < fewestKept) {
        firsts.erase(firsts.begin());
    }
    for (const std::string& first : firsts) {
        if (room.textFits(first + notes)) {
            return first + notes;
        }
    }
    return firsts.back() + notes;
}

std::string_view StateWord(ProgramState state)
{
    switch (state) {
    case ProgramState::Waiting:
        return "waiting";
    case ProgramState::Sending:
        return "sending";
    case ProgramState::SentAgain:
        return "sent again";
    case ProgramState::Stored:
        break;
    }
    return "stored";
}

ProgramList::ProgramList(const std::vector<ConvertedProgram>& programs) : m_attempts(programs.size(), 0)
{
    for (const ConvertedProgram& program : programs) {
        m_lines.push_back({program.program, program.name, std::string(FileNameOf(program.file))});
    }
}

void ProgramList::Tell(const send::SendStatus& status)
{
    const auto preset = static_cast<std::size_t>(std::max(status.preset, 1) - 1);
    for (std::size_t i = 0; i < std::min(preset, m_lines.size()); ++i) {
        if (m_lines[i].state != ProgramState::Waiting && m_attempts[i] < send::kPresetTries) {
            m_lines[i].state = ProgramState::Stored;
        }
    }
    if (preset < m_lines.size()) {
        m_attempts[preset] = status.attempt;
        m_lines[preset].state = status.attempt > 1 ? ProgramState::SentAgain : ProgramState::Sending;
    }
}

// What the send's thread leaves for the window, and the send itself.
struct ShownOutcome::Send {
    explicit Send(const std::vector<ConvertedProgram>& programs) : list(programs) {}

    std::mutex mutex;
    ProgramList list;
    std::optional<send::SendStatus> status;
    std::optional<send::SendResult> result;
    bool told = false;  // the window was told of a change it has not shown yet
    std::string output;
    std::unique_ptr<SendSession> session;  // last: it ends first, before what its thread uses

    // Leaves what changed under the lock; true when the window is to be told.
    template <typename Change>
    bool Leave(Change change)
    {
        const std::lock_guard lock(mutex);
        change();
        return !std::exchange(told, true);
    }
};

ShownOutcome::ShownOutcome(RequestDialogs& dialogs, MidiPorts& ports, send::SendClock& clock,
                           std::function<void(const OutcomeView&)> render, std::function<void()> changed)
    : m_dialogs(dialogs), m_ports(ports), m_clock(clock), m_render(std::move(render)), m_changed(std::move(changed))
{
}

ShownOutcome::~ShownOutcome() = default;

OutcomeView ShownOutcome::Below(const std::string& line, const StatusRoom& room) const
{
    return {FitStatus(m_outcome, line, room), m_whole + "\n" + line, std::nullopt, {}, {}};
}

void ShownOutcome::Present(const OutcomeView& view)
{
    m_render(view);
    // The boxes come after the window shows what they are about.
    if (!view.failure.empty()) {
        m_dialogs.ShowSendError(view.failure);
    }
    if (!view.notice.empty()) {
        m_dialogs.ShowNotice(view.notice);
    }
}

void ShownOutcome::Show(const RequestOutcome& outcome, const std::string& port, bool commandLine,
                        const StatusRoom& room)
{
    m_outcome = outcome;
    m_outcome.messages = {};
    m_commandLine = commandLine;
    // A long file name cannot wrap: its middle gives way in the line, and the
    // tooltip holds the whole text.
    m_line = FitStatus(outcome, {}, room);
    m_whole = StatusLine(outcome);
    for (const std::string& warning : outcome.warnings) {
        m_whole += "\n" + warning;
    }
    m_render({m_line, m_whole, std::nullopt, {}, {}});
    // Only a file that was written goes on to the module.
    if (!outcome.written || outcome.messages.empty() || port.empty()) {
        return;
    }
    // Sending overwrites programs: files that are not complete presets go
    // only when the user says so.
    if (outcome.incomplete > 0) {
        const std::string count = IncompleteCount(outcome.incomplete, outcome.presets);
        if (!m_dialogs.AskSendIncomplete(SendIncompleteQuestion(count, static_cast<std::size_t>(outcome.incomplete)))) {
            const std::string line = "Nothing sent: " + count + ".";
            if (commandLine) {
                m_commandLineSendProblem = line;
            }
            m_render(Below(line, room));
            return;
        }
    }
    send::PortProblem problem;
    std::unique_ptr<send::MidiPort> taken = m_ports.Open(port, problem);
    if (taken == nullptr) {
        const SendWords words = NothingSentWords(problem, outcome.output);
        OutcomeView view = Below(words.line, room);
        view.failure = words.failure;
        if (commandLine) {
            m_commandLineSendProblem = words.line;
        }
        Present(view);
        return;
    }
    m_sendingTo = port;
    m_send = std::make_unique<Send>(outcome.programs);
    m_send->output = outcome.output;
    Send& sent = *m_send;
    SendCallbacks callbacks;
    callbacks.progress = [this, &sent](const send::SendStatus& status) {
        if (sent.Leave([&] {
                sent.list.Tell(status);
                sent.status = status;
            })) {
            m_changed();
        }
    };
    callbacks.finished = [this, &sent](const send::SendResult& result) {
        if (sent.Leave([&] { sent.result = result; })) {
            m_changed();
        }
    };
    m_render({m_line, m_whole, SendingView{"Sending to " + port, {}, 0, 0, sent.list.lines()}, {}, {}});
    sent.session = std::make_unique<SendSession>(std::move(taken), outcome.messages, std::move(callbacks), m_clock);
}

void ShownOutcome::Update(const StatusRoom& room)
{
    if (m_send == nullptr) {
        return;
    }
    SendingView sending{"Sending to " + m_sendingTo, {}, 0, 0, {}};
    std::optional<send::SendResult> result;
    {
        const std::lock_guard lock(m_send->mutex);
        m_send->told = false;
        sending.programs = m_send->list.lines();
        if (m_send->status) {
            sending.text = DescribeSending(*m_send->status);
            sending.message = m_send->status->message;
            sending.messages = m_send->status->messages;
        }
        result = m_send->result;
    }
    if (!result) {
        m_render({m_line, m_whole, std::move(sending), {}, {}});
        return;
    }
    const std::string output = m_send->output;
    m_send.reset();
    const bool failed = result->ending == send::SendEnding::PortFailed || result->ending == send::SendEnding::RanLate;
    const SendWords words =
        SendEndWords(*result, m_sendingTo, output, failed ? m_ports.List().names : std::vector<std::string>());
    OutcomeView view = Below(words.line, room);
    view.failure = words.failure;
    // The command line's send ends the program: a stop is said before, and
    // what was not done reaches standard error and the exit status.
    if (m_commandLine && result->ending != send::SendEnding::Done) {
        if (words.failure.empty()) {
            view.notice = words.line;
        }
        m_commandLineSendProblem = words.line;
    }
    Present(view);
}

void ShownOutcome::Abandon()
{
    m_send.reset();
}

void ShownOutcome::Stop()
{
    if (m_send != nullptr) {
        m_send->session->Stop();
    }
}

}  // namespace t2tk::app
