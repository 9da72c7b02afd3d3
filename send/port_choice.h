#pragma once
// Which MIDI output port a user means: its number in the list, its whole name,
// or a part of its name in any case, as command-line MIDI senders take it.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace t2tk::send {

struct PortChoice {
    std::optional<std::size_t> index;  // the port meant
    std::string failure;               // else why none is, with the ports there are
};

// reason: why the list is empty, when it is.
PortChoice ChoosePort(const std::vector<std::string>& ports, std::string_view wanted, std::string_view reason = {});

// One line per port: its number, two spaces, its name.
std::string ListPorts(const std::vector<std::string>& ports);

// "no MIDI output ports found", with the reason in brackets when there is one.
std::string NoPortsMessage(std::string_view reason);

}  // namespace t2tk::send
