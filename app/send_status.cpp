#include "app/send_status.h"

#include "app/conversion_status.h"

namespace t2tk::app {

namespace {

// "Program 7 sent again: the MIDI system ran late.", or nothing.
std::string Repeats(const send::SendResult& result)
{
    std::string repeats = send::DescribeRepeats(result);
    if (!repeats.empty()) {
        repeats[0] = 'P';
        repeats = " " + repeats + ".";
    }
    return repeats;
}

}  // namespace

std::string DescribeSend(const send::SendResult& result, const std::string& port)
{
    switch (result.ending) {
    case send::SendEnding::Done:
        return "Sent " + std::to_string(result.presets) + (result.presets == 1 ? " preset" : " presets") + " to " +
               port + "." + Repeats(result);
    case send::SendEnding::Stopped:
        return "Sending stopped: " + send::DescribeStored(result) + "." + Repeats(result);
    case send::SendEnding::PortFailed:
    case send::SendEnding::RanLate:
        break;
    }
    return "Sending failed, " + send::DescribeEnding(result) + ": " + send::DescribeStored(result) + "." +
           Repeats(result);
}

std::string DescribeSending(const send::SendStatus& status)
{
    return "Sending " + status.name + " to program " + std::to_string(status.program) + " (" +
           std::to_string(status.preset) + " of " + std::to_string(status.presets) + ")" +
           (status.attempt > 1 ? ", sent again: the MIDI system ran late" : "") + "\n" +
           send::TimeLeft(status.left) + " left";
}

namespace {

// "; the MIDI output ports are A, B", or nothing when there are none.
std::string PortsThereAre(const std::vector<std::string>& ports)
{
    std::string text;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        text += (i == 0 ? "; the MIDI output ports are " : ", ") + ports[i];
    }
    return text;
}

}  // namespace

std::string DescribePortProblem(const send::PortProblem& problem)
{
    return send::Describe(problem.error) + PortsThereAre(problem.ports);
}

std::string SendFailedMessage(std::string_view output, const std::string& why)
{
    return std::string(FileNameOf(output)) + " was written, but sending failed: " + why + ".";
}

SendWords NothingSentWords(const send::PortProblem& problem, std::string_view output)
{
    const std::string why = DescribePortProblem(problem);
    return {"Nothing sent: " + why + ".", SendFailedMessage(output, why)};
}

SendWords SendEndWords(const send::SendResult& result, const std::string& port, std::string_view output,
                       const std::vector<std::string>& ports)
{
    const bool failed = result.ending == send::SendEnding::PortFailed || result.ending == send::SendEnding::RanLate;
    const std::string repeats = send::DescribeRepeats(result);
    return {DescribeSend(result, port),
            failed ? SendFailedMessage(output, send::DescribeEnding(result) + "; " + send::DescribeStored(result) +
                                                   (repeats.empty() ? "" : "; " + repeats) +
                                                   (ports.empty() ? "; there are no MIDI output ports now"
                                                                  : PortsThereAre(ports)))
                   : std::string()};
}

std::string SendIncompleteQuestion(const std::string& count, std::size_t incomplete)
{
    return count + (incomplete == 1 ? "; send it anyway?" : "; send them anyway?");
}

std::string StopSendingQuestion(const std::string& port)
{
    return "A conversion is being sent to " + port + ". Stop sending and close?";
}

}  // namespace t2tk::app
