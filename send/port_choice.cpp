#include "send/port_choice.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace t2tk::send {

namespace {

// The small letter of a capital in the scripts port names are written in
// (Latin, Greek, Cyrillic, full-width Latin); any other character as it is.
char32_t SmallLetter(char32_t c)
{
    const auto in = [c](char32_t first, char32_t last) { return c >= first && c <= last; };
    if (in(U'A', U'Z') || (in(0xC0, 0xDE) && c != 0xD7) || (in(0x391, 0x3AB) && c != 0x3A2) || in(0x410, 0x42F) ||
        in(0xFF21, 0xFF3A)) {
        return c + 0x20;
    }
    if (in(0x400, 0x40F)) {
        return c + 0x50;
    }
    if ((in(0x100, 0x137) || in(0x14A, 0x177) || in(0x460, 0x4FF)) && c % 2 == 0 && c != 0x130) {
        return c + 1;
    }
    if ((in(0x139, 0x148) || in(0x179, 0x17E)) && c % 2 == 1) {
        return c + 1;
    }
    return c == 0x178 ? 0xFF : c;
}

// text with every capital made small, for a match in any case; bytes that
// are no UTF-8 stay as they are.
std::string Lower(std::string_view text)
{
    std::string lower;
    lower.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        bool whole = length > 0 && i + length <= text.size();
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; whole && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            whole = (next & 0xC0) == 0x80;
            c = (c << 6) | (next & 0x3F);
        }
        if (!whole) {
            lower += text[i++];
            continue;
        }
        // Every small letter above takes as many bytes as its capital.
        c = SmallLetter(c);
        lower += static_cast<char>(length == 1 ? c : ((0xFF00U >> length) & 0xFFU) | (c >> (6 * (length - 1))));
        for (std::size_t k = 1; k < length; ++k) {
            lower += static_cast<char>(0x80U | ((c >> (6 * (length - 1 - k))) & 0x3FU));
        }
        i += length;
    }
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
