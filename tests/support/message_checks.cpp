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

}  // namespace t2tk::test
