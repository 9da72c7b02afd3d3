// The record rules at edges the corpus does not reach: factors chosen so that
// the top of a range is reached (24.01, 21.01), the level's constant in full,
// and what the voice builder clears. The corpus holds every other rule.
#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include "convert/convert.h"

namespace t2tk {
namespace {

enum class Record { Voice, Effect0 };

TEST(RecordRules, EdgesTheCorpusDoesNotReach)
{
    const struct {
        Record record;
        int byte, parameter;
        float value;
        int expected;
    } cases[] = {
        {Record::Voice, 77, 37, 0.99999994f, 24},     // 24.01, not 24: 24.0099...
        {Record::Voice, 77, 37, 5.0f / 24.0f, 5},      // 5.0021...
        {Record::Effect0, 4, 1, 0.0476f, 1},           // 21.01, not 21: 1.00008
        {Record::Effect0, 5, 0, 0.1548900455f, 23},    // 22 with the constant cut short to 0.67291264
    };
    for (const auto& c : cases) {
        std::array<float, 87> parameters{};
        parameters[static_cast<std::size_t>(c.parameter)] = c.value;
        std::uint8_t record[kVoiceRecordClearSize] = {};
        const auto* block = reinterpret_cast<const std::uint8_t*>(parameters.data());
        c.record == Record::Voice ? BuildVoiceRecord(block, record) : BuildEffectRecord(block, record, 0);
        EXPECT_EQ(record[c.byte], c.expected) << "byte " << c.byte << " from parameter " << c.parameter;
    }

    // A voice that fails the integrity test leaves all of its area cleared, but byte 89.
    std::array<float, 87> half;
    half.fill(0.5f);
    std::uint8_t area[kVoiceRecordClearSize];
    std::memset(area, 0xAA, sizeof area);
    EXPECT_EQ(BuildVoiceRecord(reinterpret_cast<const std::uint8_t*>(half.data()), area), -1);
    for (int byte = 0; byte < kVoiceRecordClearSize; ++byte) {
        EXPECT_EQ(area[byte], byte == 89 ? 64 : 0) << "byte " << byte;
    }
}

}  // namespace
}  // namespace t2tk
