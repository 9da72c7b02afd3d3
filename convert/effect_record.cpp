#include "convert/effect_record.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <cstring>

#include "convert/data_byte.h"
#include "convert/message_stream.h"

namespace t2tk {

namespace {

constexpr ScaledByte kScaledBytes[] = {{2, 4}, {3, 5}, {6, 2}, {7, 6}, {8, 7}, {9, 3}};

// Parameters 0 and 1 make the level and byte 4; the scaled bytes take the rest.
constexpr int kReadByUnit = 2;  // units 0 and 1; the others get a fixed record

}  // namespace

bool EffectParameterRead(int unit, int index)
{
    if (unit < 0 || unit >= kReadByUnit) {
        return false;
    }
    return index == 0 || index == 1 ||
           std::any_of(std::begin(kScaledBytes), std::end(kScaledBytes),
                       [index](const ScaledByte& b) { return b.parameter == index; });
}

int BuildEffectRecord(const std::uint8_t* block, std::uint8_t* record, int unit)
{
    const auto x = [block](int index) { return static_cast<double>(ReadParameter(block, index)); };

    std::memset(record, 0, kEffectRecordSize);
    if (unit >= kReadByUnit) {
        record[1] = 1;
        return 0;
    }
    record[0] = 6;
    record[1] = unit == 1 ? 4 : 1;

    // The level follows the magnitude of parameter 0 on a square-root curve.
    const double level = std::sqrt(x(0) * x(0) * 2.0 * 0.6729126418079278);
    record[5] = static_cast<std::uint8_t>(ScaleToDataByte(static_cast<float>(level)));
    // 21.01, not 21, so that the float k/21 gives step k.
    record[4] = ClampToDataByte(TruncToInt32(x(1) * 21.01));
    FillScaledBytes(block, record, kScaledBytes);
    return 0;
}

}  // namespace t2tk
