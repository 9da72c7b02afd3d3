#include "app/send_status.h"

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

}  // namespace t2tk::app
