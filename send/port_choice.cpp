#include "send/port_choice.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace t2tk::send {

namespace {

std::string Lower(std::string_view text)
{
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower;
}

PortChoice Refuse(const std::string& failure)
{
    return {std::nullopt, failure, true};
}

}  // namespace

PortChoice ChoosePort(const std::vector<std::string>& ports, std::string_view wanted, std::string_view reason)
{
    if (ports.empty()) {
        return {std::nullopt, NoPortsMessage(reason)};
    }
    std::size_t number = 0;
    const auto [end, error] = std::from_chars(wanted.data(), wanted.data() + wanted.size(), number);
    if (!wanted.empty() && error == std::errc() && end == wanted.data() + wanted.size()) {
        if (number < ports.size()) {
            return {number, ""};
        }
        return Refuse("there is no MIDI output port " + std::string(wanted));
    }
    if (const auto exact = std::find(ports.begin(), ports.end(), wanted); exact != ports.end()) {
        return {static_cast<std::size_t>(exact - ports.begin()), ""};
    }
    const std::string part = Lower(wanted);
    std::vector<std::size_t> matches;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (Lower(ports[i]).find(part) != std::string::npos) {
            matches.push_back(i);
        }
    }
    if (matches.size() == 1) {
        return {matches.front(), ""};
    }
    return Refuse("\"" + std::string(wanted) + "\" " +
                  (matches.empty() ? "matches no MIDI output port" : "matches several MIDI output ports"));
}

std::string ListPorts(const std::vector<std::string>& ports)
{
    std::string list;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        list += std::to_string(i) + "  " + ports[i] + "\n";
    }
    return list;
}

DevicePorts ListDevices(unsigned count, const std::function<std::optional<std::string>(unsigned)>& nameOf)
{
    DevicePorts ports;
    for (unsigned device = 0; device < count; ++device) {
        if (std::optional<std::string> name = nameOf(device)) {
            ports.names.push_back(std::move(*name));
            ports.devices.push_back(device);
        }
    }
    return ports;
}

std::string NoPortsMessage(std::string_view reason)
{
    return "no MIDI output ports found" + (reason.empty() ? std::string() : " (" + std::string(reason) + ")");
}

}  // namespace t2tk::send
