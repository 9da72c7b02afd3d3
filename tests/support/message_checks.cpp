#include "tests/support/message_checks.h"

#include "convert/message_layout.h"

namespace t2tk::test {

std::string CheckMessages(const std::uint8_t* messages, std::size_t count, int presets)
{
    // The types in order: the init request, then for each preset a program
    // dump, 24 voice dumps, 4 effect dumps and a store request.
    std::string types = presets == 0 ? "" : "\x07";
    for (int preset = 0; preset < presets; ++preset) {
        types += "\x11" + std::string(24, '\x10') + std::string(4, '\x15') + "\x07";
    }
    std::size_t offset = 0;
    for (std::size_t index = 0; index < types.size(); ++index) {
        const auto type = static_cast<std::uint8_t>(types[index]);
        const std::size_t length = MessageLength(type);
        if (offset + length > count || messages[offset + kTypeOffset] != type ||
            !IsModuleMessage(messages + offset, length)) {
            return "at " + std::to_string(offset) + ": message " + std::to_string(index) +
                   " is not a whole message of the module of type " + std::to_string(type);
        }
        offset += length;
    }
    return offset == count ? "" : std::to_string(count - offset) + " bytes after the last message";
}

}  // namespace t2tk::test
