#include "convert/program_header.h"

#include <cstring>

#include "convert/message_stream.h"

namespace t2tk {

namespace {
constexpr std::uint8_t kCommonSettings[] = {100, 1, 100, 2, 100, 0, 100};  // bytes 21 to 27
}  // namespace

int BuildProgramHeader(std::uint8_t* record, const std::uint8_t* name)
{
    std::memset(record, 0, kProgramHeaderSize);
    for (int i = 0; i < kShownNameLength; ++i) {
        record[1 + i] = ShownNameCharacter(name[i]);
    }
    std::memcpy(record + 21, kCommonSettings, sizeof kCommonSettings);
    return 0;
}

}  // namespace t2tk
