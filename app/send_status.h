#pragma once
// What the dialog says about sending a conversion to a MIDI port.

#include <string>
#include <string_view>

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

// The question when the window is closed during a send.
std::string StopSendingQuestion(const std::string& port);

// The refusal of a new conversion while one is being sent.
inline constexpr const char* kBusySending = "A conversion is being sent; convert again once it is done.";

}  // namespace t2tk::app
