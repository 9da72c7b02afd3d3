#include "convert/data_byte.h"

#include <cmath>
#include <limits>

namespace t2tk {

std::int32_t TruncToInt32(double value)
{
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483648.0) {
        return std::numeric_limits<std::int32_t>::max();
    }
    if (value <= -2147483649.0) {
        return std::numeric_limits<std::int32_t>::min();
    }
    return static_cast<std::int32_t>(value);
}

std::uint8_t ClampToDataByte(std::int32_t value)
{
    if (value < 0) {
        return 0;
    }
    return static_cast<std::uint8_t>(value > 127 ? 127 : value);
}

std::int8_t ScaleToDataByte(float x)
{
    const std::int32_t truncated = TruncToInt32(static_cast<double>(x) * 128.0);
    const auto narrowed = static_cast<std::int16_t>(truncated);  // keeps the low 16 bits
    if (narrowed < 0) {
        return 0;
    }
    return static_cast<std::int8_t>(narrowed > 127 ? 127 : narrowed);
}

void FillScaledBytes(const std::uint8_t* block, std::uint8_t* record, std::span<const ScaledByte> bytes)
{
    for (const ScaledByte& b : bytes) {
        record[b.byte] = static_cast<std::uint8_t>(ScaleToDataByte(ReadParameter(block, b.parameter)));
    }
}

}  // namespace t2tk
