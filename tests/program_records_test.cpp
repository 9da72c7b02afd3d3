#include <gtest/gtest.h>

#include <array>
#include <limits>

#include "convert/convert.h"

namespace t2tk {
namespace {

TEST(ProgramHeader, NameAndCommonSettings)
{
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {
        // name field, record bytes 1 to 16
        {"Kit 1"s, "Kit 1"s + std::string(11, '\0')},
        {"Twenty-eight characters long"s, "Twenty-eight cha"s},
        {"Caf\xE9 \x80\xFF!"s, "Caf? ?"s + "?!"s + std::string(8, '\0')},  // 8-bit characters would break the framing
    };
    for (const auto& [name, expected] : cases) {
        std::uint8_t field[28] = {};
        std::copy(name.begin(), name.end(), field);
        std::uint8_t record[40];
        std::fill(std::begin(record), std::end(record), 0xAA);
        BuildProgramHeader(record, field);
        EXPECT_EQ(std::string(record + 1, record + 17), expected);
        const std::array<std::uint8_t, 23> rest = {0, 0, 0, 0, 0x64, 0x01, 0x64, 0x02, 0x64, 0x00, 0x64};
        EXPECT_EQ(record[0], 0);
        EXPECT_TRUE(std::equal(rest.begin(), rest.end(), record + 17)) << "bytes 17 to 39";
    }
}

class EffectRecordTest : public ::testing::Test {
protected:
    std::array<float, 12> p{};
    std::array<std::uint8_t, 18> record{};

    std::array<std::uint8_t, 18> Build(int unit)
    {
        BuildEffectRecord(reinterpret_cast<const std::uint8_t*>(p.data()), record.data(), unit);
        return record;
    }
};

TEST_F(EffectRecordTest, LevelFollowsTheMagnitudeOfParameter0)
{
    // 0.053875: sqrt(0.053875^2 * 2 * 0.67291264) * 128 = 8.00003, only with the constant in full
    const std::pair<float, int> cases[] = {{0.0f, 0},    {0.25f, 37},   {0.5f, 74}, {0.75f, 111},
                                           {0.855f, 126}, {0.856f, 127}, {1.0f, 127}, {-0.5f, 74},
                                           {0.053875f, 8}};
    for (const auto& [value, expected] : cases) {
        p[0] = value;
        EXPECT_EQ(Build(0)[5], expected) << value;
    }
}

TEST_F(EffectRecordTest, Parameter1InTwentyOneSteps)
{
    const std::pair<float, int> cases[] = {{0.0f, 0},       {1.0f / 21.0f, 1}, {0.5f, 10}, {20.0f / 21.0f, 20},
                                           {0.999f, 20},    {1.0f, 21},
                                           {0.0476f, 1},  // 0.0476 * 21.01 = 1.00008; times 21 it would be 0
                                           {100.0f, 127},   {-1.0f, 0},  // held in range, not wrapped
                                           {std::numeric_limits<float>::infinity(), 127}};
    for (const auto& [value, expected] : cases) {
        p[1] = value;
        EXPECT_EQ(Build(1)[4], expected) << value;
    }
}

TEST_F(EffectRecordTest, ScaledParametersAndFixedUnits)
{
    p = {0.0f, 0.0f, 0.125f, 0.25f, 0.375f, 0.5f, 0.625f, 0.75f, 1.0f, 1.0f, 1.0f, 1.0f};
    const std::array<std::uint8_t, 18> first = {6, 1, 48, 64, 0, 0, 16, 80, 96, 32};
    EXPECT_EQ(Build(0), first);
    const std::array<std::uint8_t, 18> fixed = {0, 1};
    EXPECT_EQ(Build(2), fixed);
    EXPECT_EQ(Build(3), fixed);
}

}  // namespace
}  // namespace t2tk
