#pragma once
// Mapping of one drum voice's 87 parameters to the module's 109-byte voice record.

#include <cstdint>

namespace t2tk {

// The builder clears this many bytes of the scratch record before it fills it.
inline constexpr int kVoiceRecordClearSize = 251;

// block: the voice's 87 host-order floats; record: at least 251 writable bytes.
// Returns 0, or -1 when the voice fails the integrity test: the record is then
// all zero but byte 89 (64). Byte 0 is left for the caller's voice number.
int BuildVoiceRecord(const std::uint8_t* block, std::uint8_t* record);

// Whether the record is built from the voice's parameter index (0..86) at
// all: the others reach the module in no form, whatever their value.
bool VoiceParameterRead(int index);

}  // namespace t2tk
