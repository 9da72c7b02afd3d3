#pragma once
// Why a MIDI port could not be had, or failed during a send: a kind, the port
// it is about, and the system's words where it gave some. Describe turns it
// into words, in one place, as the writer's errors are.

#include <string>

namespace t2tk::send {

enum class SendProblem {
    None,
    Gone,          // the MIDI port PORT is gone (a receiver that leaves, a cable pulled, a server with none)
    Cut,           // the connection to the MIDI port PORT was cut, the port still there
    ServerEnded,   // the JACK server of the MIDI port PORT has ended
    ServerSilent,  // the JACK server of the MIDI port PORT has stopped answering
    Failed,        // the MIDI port PORT failed: DETAIL
    NotTaken,      // the MIDI port PORT did not take a message in time
    CannotOpen,    // cannot open the MIDI port PORT: DETAIL
    Busy,          // another t2tk is sending to the MIDI port PORT
    Unavailable,   // DETAIL: no port that the choice names, no turn at it, no MIDI system
};

struct SendError {
    SendProblem problem = SendProblem::None;
    std::string port;    // the port's name, as its system gives it
    std::string detail;  // the system's words, or the whole reason for Unavailable

    explicit operator bool() const { return problem != SendProblem::None; }
};

// E.g. 'the MIDI port "UM-ONE:UM-ONE MIDI 1 24:0" is gone'.
std::string Describe(const SendError& error);

}  // namespace t2tk::send
