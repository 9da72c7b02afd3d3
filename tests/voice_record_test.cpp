#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <map>

#include "convert/convert.h"

namespace t2tk {
namespace {

// One voice's 87 parameters in host order, and the record built from them.
class VoiceRecordTest : public ::testing::Test {
protected:
    std::array<float, 87> x{};
    std::uint8_t record[kVoiceRecordClearSize] = {};

    int Build()
    {
        std::fill(std::begin(record), std::end(record), 0xAA);
        return BuildVoiceRecord(reinterpret_cast<const std::uint8_t*>(x.data()), record);
    }
    // Record byte when parameter index holds value and every other one 0.
    int ByteFor(int byte, int index, float value)
    {
        x.fill(0.0f);
        x[static_cast<std::size_t>(index)] = value;
        Build();
        return record[byte];
    }
    // The bytes a voice dump sends (byte 0 belongs to the caller); those not
    // in the map are expected 0.
    void ExpectRecord(const std::map<int, int>& nonZero)
    {
        for (int byte = 1; byte < kVoiceRecordSize; ++byte) {
            const auto it = nonZero.find(byte);
            EXPECT_EQ(record[byte], it == nonZero.end() ? 0 : it->second) << "byte " << byte;
        }
    }
};

TEST_F(VoiceRecordTest, AllZeroVoice)
{
    x.fill(0.0f);
    ASSERT_EQ(Build(), 0);
    ExpectRecord({{38, 1}, {42, 64}, {48, 64}, {49, 2}, {56, 1}, {59, 64}, {60, 64}, {61, 3}, {76, 1}, {79, 32},
                  {85, 1}, {89, 64}});
}

TEST_F(VoiceRecordTest, StepAndCurveEdges)
{
    struct Case {
        int byte, index;
        float value;
        int expected;
    };
    const Case cases[] = {
        // 14-bit pairs
        {2, 2, 0.25f, 32}, {3, 2, 0.25f, 0}, {2, 2, 0.3f, 38}, {3, 2, 0.3f, 51}, {17, 13, 0.7f, 89},
        {18, 13, 0.7f, 76}, {17, 13, 0.99999994f, 127}, {18, 13, 0.99999994f, 127}, {18, 13, 1.0f, 0},
        // steps
        {1, 1, 0.5f, 4}, {1, 1, 0.98f, 7}, {16, 12, 0.99f, 8}, {16, 12, 1.0f, 8},
        {37, 20, 0.02f, 0},  // the double product is just below 1; in single precision it would be 1
        {77, 37, 1.0f, 24}, {94, 47, 0.5f, 1}, {94, 47, 1.0f, 3},
        // 24.01, not 24: 0.99999994 * 24.01 = 24.0099..., 5/24 (0.20833333) * 24.01 = 5.0021...
        {77, 37, 0.99999994f, 24}, {77, 37, 5.0f / 24.0f, 5},
        // step table
        {38, 30, 0.2f, 2}, {38, 30, 0.4f, 5}, {38, 30, 0.6f, 3}, {38, 30, 0.8f, 4},
        // curves
        {67, 52, 1.0f / 3.0f, 42}, {67, 52, 0.5f, 63}, {73, 58, 2.0f / 3.0f, 84}, {73, 58, 0.9f, 98},
        // flags follow the byte before them
        {70, 57, 0.9921875f, 127}, {71, 57, 0.9921875f, 127}, {64, 51, 0.99f, 126}, {65, 51, 0.99f, 0},
        // selector
        {86, 42, 0.2f, 1}, {86, 42, 0.5f, 3}, {86, 42, 1.0f, 3},
        // the top of every rule
        {5, 3, 1.0f, 127}, {7, 5, 1.0f, 1}, {37, 20, 1.0f, 50}, {38, 30, 1.0f, 6}, {67, 52, 1.0f, 105},
        {65, 51, 1.0f, 127},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ByteFor(c.byte, c.index, c.value), c.expected)
            << "byte " << c.byte << " from parameter " << c.index << " = " << c.value;
    }
}

TEST_F(VoiceRecordTest, IntegrityTestWantsAWholeSum)
{
    x.fill(0.0f);
    x[5] = x[9] = 0.5f;
    EXPECT_EQ(Build(), 0);
    EXPECT_EQ(record[7], 0);
    EXPECT_EQ(record[13], 64);

    x.fill(0.5f);
    EXPECT_EQ(Build(), -1);
    ExpectRecord({{89, 64}});

    x.fill(0.0f);
    x[36] = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Build(), -1);
    x[36] = std::nanf("");
    EXPECT_EQ(Build(), -1);
}

}  // namespace
}  // namespace t2tk
