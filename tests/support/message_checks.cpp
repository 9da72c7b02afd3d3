#include "tests/support/message_checks.h"

#include <cstring>

namespace t2tk::test {

namespace {

std::size_t LengthOfType(std::uint8_t type)
{
    switch (type) {
    case 0x07: return 10;
    case 0x11: return 49;
    case 0x10: return 118;
    case 0x15: return 27;
    default: return 0;
    }
}

std::string At(std::size_t offset, const std::string& what)
{
    return "at " + std::to_string(offset) + ": " + what;
}

}  // namespace

std::string CheckMessages(const std::uint8_t* messages, std::size_t count, int presets)
{
    if (count != (presets == 0 ? 0 : 10 + 2999 * static_cast<std::size_t>(presets))) {
        return "fill count " + std::to_string(count) + " for " + std::to_string(presets) + " presets";
    }
    static constexpr std::uint8_t kPresetTypes[] = {0x11, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                                                    0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10,
                                                    0x10, 0x10, 0x10, 0x15, 0x15, 0x15, 0x15, 0x07};
    std::size_t offset = 0;
    for (int index = 0; offset < count; ++index) {
        const std::uint8_t* m = messages + offset;
        const std::uint8_t type = index == 0 ? 0x07 : kPresetTypes[(index - 1) % 30];
        const std::size_t length = LengthOfType(type);
        if (offset + length > count || m[0] != 0xF0 || m[1] != 0x3E || m[2] != 0x11 || m[3] != 0x00 ||
            m[4] != type || m[length - 1] != 0xF7) {
            return At(offset, "message " + std::to_string(index) + " is not a framed message of type " +
                                  std::to_string(type));
        }
        unsigned sum = 0;
        for (std::size_t i = 1; i + 1 < length; ++i) {
            if (m[i] >= 0x80) {
                return At(offset + i, "data byte of 0x80 or above");
            }
            if (i >= 4 && i + 2 < length) {
                sum += m[i];
            }
        }
        if (m[length - 2] != (sum & 0x7F)) {
            return At(offset + length - 2, "wrong checksum");
        }
        offset += length;
    }
    return "";
}

std::string CheckMidiFile(const std::uint8_t* file, std::size_t size, const std::uint8_t* messages,
                          std::size_t count)
{
    static constexpr std::uint8_t kOpening[] = {
        'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0, 0x30, 'M', 'T', 'r', 'k', 0, 0, 0, 0,
        0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08, 0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20,
        0x00, 0xFF, 0x03, 0x10, 'K', 'o', 'r', 'v', 'a', 'n', 'e', ' ', 'T', '2', 'T', 'K', ' ', '1', '.', '0'};
    static constexpr std::uint8_t kEnd[] = {0x30, 0xFF, 0x2F, 0x00};
    if (size < sizeof kOpening + sizeof kEnd || std::memcmp(file, kOpening, 18) != 0 ||
        std::memcmp(file + 22, kOpening + 22, sizeof kOpening - 22) != 0 ||
        std::memcmp(file + size - 4, kEnd, 4) != 0) {
        return "fixed parts differ";
    }
    const std::size_t trackLength = (std::size_t{file[18]} << 24) | (std::size_t{file[19]} << 16) |
                                    (std::size_t{file[20]} << 8) | file[21];
    if (trackLength != size - 22) {
        return "track length " + std::to_string(trackLength) + " in a file of " + std::to_string(size);
    }
    std::size_t at = sizeof kOpening;
    std::size_t offset = 0;
    while (offset < count) {
        const std::uint8_t* m = messages + offset;
        const auto* end = static_cast<const std::uint8_t*>(std::memchr(m, 0xF7, count - offset));
        if (end == nullptr || end - m < 5) {
            return At(offset, "no whole message");
        }
        const auto length = static_cast<std::size_t>(end - m);  // after the 0xF0, 0xF7 included
        const std::uint8_t delta = m[4] == 0x11 ? 0x60 : 0x18;
        if (length >= 0x80 || at + 3 + length > size - 4 || file[at] != delta ||
            file[at + 1] != 0xF0 || file[at + 2] != length || std::memcmp(file + at + 3, m + 1, length) != 0) {
            return At(at, "event does not carry the message at " + std::to_string(offset));
        }
        at += 3 + length;
        offset += length + 1;
    }
    return at == size - 4 ? "" : At(at, "bytes after the last event");
}

}  // namespace t2tk::test
