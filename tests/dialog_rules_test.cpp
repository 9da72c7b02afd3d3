// Rules of the dialog that need no window: the program number, the settings and
// the status line.
#include <gtest/gtest.h>

#include "app/conversion_status.h"
#include "app/program_number.h"
#include "app/settings_rules.h"

namespace t2tk::app {
namespace {

TEST(ProgramField, FirstThreeCharactersHeldWithin1To50)
{
    EXPECT_FALSE(ReadProgramField(""));
    const struct {
        const char* text;
        int slot;
        bool rewrite;
    } cases[] = {{"1", 0, false},    {"0", 0, true},     {"50", 49, false}, {"75", 49, true},
                 {"123", 49, true},  {"0123", 11, false}, {"012", 11, false}, {"007", 6, false},
                 {"999999", 49, true}, {"A", 16, false}};  // characters are not tested for digits
    for (const auto& c : cases) {
        const auto entry = ReadProgramField(c.text);
        ASSERT_TRUE(entry) << c.text;
        EXPECT_EQ(entry->slot, c.slot) << c.text;
        EXPECT_EQ(entry->rewrite, c.rewrite) << c.text;
    }
}

TEST(ProgramSlider, HundredPositionsPerSlot)
{
    EXPECT_EQ(SlotFromSliderPosition(0), 0);
    EXPECT_EQ(SlotFromSliderPosition(99), 0);
    EXPECT_EQ(SlotFromSliderPosition(4899), 48);
    EXPECT_EQ(SlotFromSliderPosition(4950), 49);
    EXPECT_EQ(SlotFromSliderPosition(-5), 0);
    EXPECT_EQ(SliderPositionForSlot(49), 4900);
}

TEST(Settings, ReadingRules)
{
    EXPECT_EQ(ParseSettingInt("12", 0), 12);
    EXPECT_EQ(ParseSettingInt(" -3 ", 0), -3);
    EXPECT_EQ(ParseSettingInt("+7", 0), 7);
    for (const char* garbage : {"", "abc", "12abc", "99999999999", "1.5", "-"}) {
        EXPECT_EQ(ParseSettingInt(garbage, 0), 0) << garbage;
    }
    EXPECT_EQ(ProgramSlotFromSetting(50), 0);
    EXPECT_EQ(ProgramSlotFromSetting(-3), 0);
    EXPECT_EQ(ProgramSlotFromSetting(49), 49);
    EXPECT_EQ(SettingsFilePath("/cfg", "/home/me", "/home/pw", "t2tk"), "/cfg/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "/home/me", "/home/pw", "t2tk"), "/home/me/.config/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "", "/home/pw", "t2tk"), "/home/pw/.config/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "", "", "t2tk"), std::nullopt);
}

TEST(ConversionStatus, SaysWhatWasWritten)
{
    EXPECT_EQ(DescribeConversion("/kits/Rock.mid", 1, 4, 0), "Wrote Rock.mid: 1 preset, program 5.");
    EXPECT_EQ(DescribeConversion("Thumpkrate.mid", 3, 0, 0), "Wrote Thumpkrate.mid: 3 presets, programs 1 to 3.");
    EXPECT_EQ(DescribeConversion("/k/Thumpkrate.mid", 50, 2, 1),
              "Wrote Thumpkrate.mid: 50 presets, programs 3 to 50. 1 file past the 50th left out. "
              "Presets past program 50 all went to program 50.");
}

}  // namespace
}  // namespace t2tk::app
