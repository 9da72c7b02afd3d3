#pragma once
// The stream of SysEx messages that one conversion sends to the module.

#include <cstddef>
#include <cstdint>
#include <ostream>

namespace t2tk {

inline constexpr std::size_t kMessageBufferSize = 400000;

// Complete messages back to back; the fill count is the only end mark.
struct MessageBufferData {
    std::uint8_t bytes[kMessageBufferSize];
    std::int32_t fillCount;
};
extern MessageBufferData MessageBuffer;

// The type byte (offset 4) of a program dump, the message the module needs
// most time for.
inline constexpr std::size_t kTypeOffset = 4;
inline constexpr std::uint8_t kProgramDumpType = 0x11;

// Message lengths, framing and checksum included.
inline constexpr int kRequestLength = 10;
inline constexpr int kProgramDumpLength = 49;
inline constexpr int kVoiceDumpLength = 118;
inline constexpr int kEffectDumpLength = 27;

// Record sizes the dumps carry.
inline constexpr int kProgramHeaderSize = 40;
inline constexpr int kVoiceRecordSize = 109;
inline constexpr int kEffectRecordSize = 18;

// One preset: a program dump, 24 voice dumps, 4 effect dumps and a store request.
inline constexpr int kPresetMessagesLength =
    kProgramDumpLength + 24 * kVoiceDumpLength + 4 * kEffectDumpLength + kRequestLength;

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
