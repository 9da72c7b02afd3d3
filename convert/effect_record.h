#pragma once
// Mapping of one effect unit's 12 parameters to the module's 18-byte effect record.

#include <cstdint>

namespace t2tk {

// block: the unit's 12 host-order floats; record: 18 writable bytes; unit: 0..3.
// Units 2 and 3 get a fixed record. Always returns 0.
int BuildEffectRecord(const std::uint8_t* block, std::uint8_t* record, int unit);

// Whether unit's record is built from its parameter index (0..11) at all.
bool EffectParameterRead(int unit, int index);

}  // namespace t2tk
