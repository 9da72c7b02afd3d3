#pragma once
// Which MIDI output port a user means: its number in the list, its whole name,
// or a part of its name in any case, as command-line MIDI senders take it.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace t2tk::send {

struct PortChoice {
    std::optional<std::size_t> index;  // the port meant
    std::string failure;               // else why none is
    bool listPorts = false;            // and whether the ports there are would help
};

// reason: why the list is empty, when it is.
PortChoice ChoosePort(const std::vector<std::string>& ports, std::string_view wanted, std::string_view reason = {});

// One line per port: its number, two spaces, its name.
std::string ListPorts(const std::vector<std::string>& ports);

// "no MIDI output ports found", with the reason in brackets when there is one.
std::string NoPortsMessage(std::string_view reason);

// Devices a system numbers 0 to count - 1, some of which may not tell their
// name: the ports are those that do, each kept with its device's number, so
// that opening one never opens the device that took its place in the list.
struct DevicePorts {
    std::vector<std::string> names;
    std::vector<unsigned> devices;
};
DevicePorts ListDevices(unsigned count, const std::function<std::optional<std::string>(unsigned)>& nameOf);

}  // namespace t2tk::send
