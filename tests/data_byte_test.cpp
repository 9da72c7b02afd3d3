#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "convert/data_byte.h"

namespace t2tk {
namespace {

TEST(ScaleToDataByte, StepsOf1Over128LimitedTo0To127)
{
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float x;
        int byte;
    } cases[] = {
        {0.0f, 0},   {0.0078125f, 1}, {0.5f, 64},  {0.99f, 126}, {0.9921875f, 127},
        {1.0f, 127}, {2.0f, 127},     {-0.5f, 0},  {-2.0f, 0},
        {256.0f, 0},        // 32768 narrows to -32768 in 16 bits
        {512.0078125f, 1},  // 65537 keeps its low 16 bits
        // values no integer holds
        {std::nanf(""), 0}, {inf, 0},  // saturates to 0x7FFFFFFF, whose low 16 bits are -1
        {-inf, 0}, {1e10f, 0}, {1e-40f, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ScaleToDataByte(c.x), c.byte) << c.x;
    }
}

}  // namespace
}  // namespace t2tk
