#pragma once
// What the dialog says about sending a conversion to a MIDI port.

#include <string>
#include <string_view>
#include <vector>

#include "send/midi_port.h"
#include "send/sender.h"

namespace t2tk::app {

// E.g. "Sent 2 presets to Thumpkrate MIDI 1.", or why and where it stopped.
std::string DescribeSend(const send::SendResult& result, const std::string& port);

// The progress window's text: "Sending Rock Kit to program 5 (1 of 4)", and the time left.
std::string DescribeSending(const send::SendStatus& status);

// A port the dialog cannot have: why, and the ports there are, by name.
std::string DescribePortProblem(const send::PortProblem& problem);

// The message when sending fails after the file was written.
std::string SendFailedMessage(std::string_view output, const std::string& why);

// What a dialog says of a send to port after output was written: a line
// under the status line, and, when the send failed, the message of the
// "Sending failed" box (empty when there is none).
struct SendWords {
    std::string line;
    std::string failure;
};
// The port could not be had: nothing was sent.
SendWords NothingSentWords(const send::PortProblem& problem, std::string_view output);
// The send has ended; ports: the MIDI output ports there are now, which the
// message of a failed send names.
SendWords SendEndWords(const send::SendResult& result, const std::string& port, std::string_view output,
                       const std::vector<std::string>& ports);

// The question before files that are not complete presets are sent:
// "2 of 5 files are not complete Tolvin presets; send them anyway?"
std::string SendIncompleteQuestion(const std::string& count, std::size_t incomplete);

// The question when the window is closed during a send.
std::string StopSendingQuestion(const std::string& port);

// The refusal of a new conversion while one is being sent.
inline constexpr const char* kBusySending = "A conversion is being sent; convert again once it is done.";

}  // namespace t2tk::app
