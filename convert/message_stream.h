#pragma once
// The stream of SysEx messages that one conversion sends to the module.

#include <cstddef>
#include <cstdint>
#include <ostream>

#include "convert/message_layout.h"

namespace t2tk {

inline constexpr std::size_t kMessageBufferSize = 400000;

// Complete messages back to back; the fill count is the only end mark.
struct MessageBufferData {
    std::uint8_t bytes[kMessageBufferSize];
    std::int32_t fillCount;
};
extern MessageBufferData MessageBuffer;

// Where the init and store requests announce themselves ("initreq",
// "storereq <slot>"): standard output unless pointed elsewhere; null for none.
extern std::ostream* ProgressLines;

// The appenders write one complete message at the fill count and advance it.
// They do not test the room left; callers keep within the buffer.
void AppendInitRequest();
void AppendStoreRequest(int slot);
void AppendProgramDump(const std::uint8_t* record, int slot);
void AppendVoiceDump(const std::uint8_t* record, int voiceIndex);
void AppendEffectDump(const std::uint8_t* record, int unitIndex);

}  // namespace t2tk
