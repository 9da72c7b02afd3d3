#pragma once
// Conversions from parameter arithmetic to the module's 7-bit data bytes.

#include <cstdint>
#include <cstring>
#include <span>

namespace t2tk {

// Parameter i of a block of host-order floats that lies anywhere in a byte buffer.
inline float ReadParameter(const std::uint8_t* block, int index)
{
    float value;
    std::memcpy(&value, block + 4 * index, sizeof value);
    return value;
}

// Truncates toward zero into a 32-bit signed integer. Defined for every input:
// NaN gives 0 and values beyond the 32-bit range saturate.
std::int32_t TruncToInt32(double value);

// Limits an integer to the data byte range 0..127.
std::uint8_t ClampToDataByte(std::int32_t value);

// Maps a 0-to-1 parameter to a data byte: times 128, truncated, narrowed to its
// low 16 bits, limited to 0..127. So 1.0 gives 127 and 256.0 gives 0.
std::int8_t ScaleToDataByte(float x);

// A record byte that holds one parameter scaled to a data byte.
struct ScaledByte {
    int byte;
    int parameter;
};

// Fills each listed record byte with its scaled parameter from block.
void FillScaledBytes(const std::uint8_t* block, std::uint8_t* record, std::span<const ScaledByte> bytes);

}  // namespace t2tk
