#include <gtest/gtest.h>

#include <tuple>

#include "app/output_names.h"

namespace t2tk::app {
namespace {

TEST(OutputNames, CommandLineCaseFollowsTheCharacterBeforeTheDot)
{
    const std::pair<const char*, const char*> cases[] = {
        {"C:\\PRESETS\\KICK.FXP", "C:\\PRESETS\\KICK.MID"}, {"C:\\Presets\\Kick.fxp", "C:\\Presets\\Kick.mid"},
        {"C:\\PRESETS\\FUZZ.FXP", "C:\\PRESETS\\FUZZ.mid"}, {"C:\\PRESETS\\KIT01.FXP", "C:\\PRESETS\\KIT01.MID"},
        {"C:\\Kits.old\\Kick", "C:\\Kits.mid"},             {"Kick", "Ki.mid"},
        {"KICK", "KI.MID"},                                 {"ab", "ab.mid"},
        {"kits/caf\xC3\xA9.fxp", "kits/caf\xC3\xA9.MID"},  // a byte above 0x7F is negative
        {"", ".MID"},
    };
    for (const auto& [name, expected] : cases) {
        EXPECT_EQ(CommandLineOutputName(name), expected) << name;
    }
}

TEST(OutputNames, DroppedAndChosenFiles)
{
    EXPECT_EQ(DroppedOutputName("C:\\PRESETS\\KICK.FXP"), "C:\\PRESETS\\KICK.mid");
    EXPECT_EQ(DroppedOutputName("C:\\Kits.old\\Kick"), "C:\\Kits.mid");
    EXPECT_EQ(ChosenOutputName("D:\\Kits\\Kick.fxp"), "D:\\Kits\\Kick.mid");
    EXPECT_EQ(ChosenOutputName("D:\\Kits\\Kick.fx"), "D:\\Kits\\Kickmid");
    EXPECT_EQ(ChosenOutputName("ab"), "mid");
    EXPECT_EQ(ChosenFolderOutputName("/home/me/kits/"), "/home/me/kits/Thumpkrate.mid");
    const std::string longPath = "/" + std::string(600, 'k') + ".fxp";  // used whole
    EXPECT_EQ(DroppedOutputName(longPath), "/" + std::string(600, 'k') + ".mid");
}

// A save dialog gets the folder and the name apart, whatever the length.
TEST(OutputNames, SuggestionsSplitIntoFolderAndName)
{
    const std::string deep = "C:\\kits\\" + std::string(340, 'k');
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {deep + "\\kick.mid", deep, "kick.mid"},
        {"C:\\kick.mid", "C:\\", "kick.mid"},
        {"/kits/kick.mid", "/kits", "kick.mid"},
        {"Thumpkrate.mid", "", "Thumpkrate.mid"},
    };
    for (const auto& [path, folder, name] : cases) {
        const SuggestedPlace place = SplitSuggestion(path);
        EXPECT_EQ(place.folder, folder) << path;
        EXPECT_EQ(place.name, name) << path;
    }
}

}  // namespace
}  // namespace t2tk::app
