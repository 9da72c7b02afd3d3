#include "convert/message_schedule.h"

#include <cstring>

#include "convert/message_stream.h"

namespace t2tk {

bool NextMessage(const std::uint8_t* messages, std::size_t count, std::size_t& position, ScheduledMessage& message)
{
    if (position >= count || messages[position] != 0xF0) {
        return false;
    }
    const std::uint8_t* start = messages + position;
    const std::size_t rest = count - position;
    const auto* end = static_cast<const std::uint8_t*>(std::memchr(start + 1, 0xF7, rest - 1));
    message.bytes = start;
    message.length = end != nullptr ? static_cast<std::size_t>(end - start) + 1 : rest;
    message.ticks = kTypeOffset < rest && start[kTypeOffset] == kProgramDumpType ? kProgramDumpTicks : kMessageTicks;
    position += message.length;
    return true;
}

}  // namespace t2tk
