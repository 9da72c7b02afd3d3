#pragma once
// What the dialog says after sending a conversion to a MIDI port.

#include <string>

#include "send/sender.h"

namespace t2tk::app {

// E.g. "Sent 2 presets to Thumpkrate MIDI 1.", or why and where it stopped.
std::string DescribeSend(const send::SendResult& result, const std::string& port);

// The progress dialog's text: "Sending Rock Kit to program 5 (1 of 4)", and the time left.
std::string DescribeSending(const send::SendStatus& status);

}  // namespace t2tk::app
