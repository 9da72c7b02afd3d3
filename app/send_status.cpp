#include "app/send_status.h"

#include "app/conversion_status.h"

namespace t2tk::app {

std::string DescribeSend(const send::SendResult& result, const std::string& port)
{
    switch (result.ending) {
    case send::SendEnding::Done:
        return "Sent " + std::to_string(result.presets) + (result.presets == 1 ? " preset" : " presets") + " to " +
               port + ".";
    case send::SendEnding::Stopped:
        return "Sending stopped: " + send::DescribeStored(result) + ".";
    case send::SendEnding::PortFailed:
        break;
    }
    return "Sending failed, " + result.failure + ": " + send::DescribeStored(result) + ".";
}

std::string DescribeSending(const send::SendStatus& status)
{
    return "Sending " + status.name + " to program " + std::to_string(status.program) + " (" +
           std::to_string(status.preset) + " of " + std::to_string(status.presets) + ")\n" +
           send::TimeLeft(status.left) + " left";
}

std::string DescribePortProblem(const send::PortProblem& problem)
{
    std::string text = problem.reason;
    for (std::size_t i = 0; i < problem.ports.size(); ++i) {
        text += (i == 0 ? "; the MIDI output ports are " : ", ") + problem.ports[i];
    }
    return text;
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

SendWords SendEndWords(const send::SendResult& result, const std::string& port, std::string_view output)
{
    return {DescribeSend(result, port),
            result.ending == send::SendEnding::PortFailed
                ? SendFailedMessage(output, result.failure + "; " + send::DescribeStored(result))
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
