#include "send/send_error.h"

namespace t2tk::send {

std::string Describe(const SendError& error)
{
    const std::string port = "the MIDI port \"" + error.port + "\"";
    const std::string detail = error.detail.empty() ? std::string() : " (" + error.detail + ")";
    switch (error.problem) {
    case SendProblem::None:
        return {};
    case SendProblem::Gone:
        return port + " is gone" + detail;
    case SendProblem::Cut:
        return "the connection to " + port + " was cut";
    case SendProblem::ServerEnded:
        return "the JACK server of " + port + " has ended";
    case SendProblem::ServerSilent:
        return "the JACK server of " + port + " has stopped answering";
    case SendProblem::Failed:
        return port + " failed: " + error.detail;
    case SendProblem::NotTaken:
        return port + " did not take a message in time";
    case SendProblem::CannotOpen:
        return "cannot open " + port + ": " + error.detail;
    case SendProblem::Busy:
        return "another t2tk is sending to " + port;
    case SendProblem::Unavailable:
        return error.detail;
    }
    return {};
}

}  // namespace t2tk::send
