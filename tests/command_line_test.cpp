#include <gtest/gtest.h>

#include "app/command_line.h"

namespace t2tk::app {
namespace {

TEST(CommandLine, ArgumentsJoinedBySingleSpaces)
{
    EXPECT_EQ(CommandLineText({}), "");
    EXPECT_EQ(CommandLineText({"kick.fxp", "My Kits/snare.fxp"}), "kick.fxp My Kits/snare.fxp");
}

TEST(CommandLine, SplitsAtEverySpaceWithoutQuoting)
{
    using Names = std::vector<std::string>;
    EXPECT_TRUE(SplitCommandLine("").names.empty());
    EXPECT_EQ(SplitCommandLine("kick.fxp snare.fxp").names, (Names{"kick.fxp", "snare.fxp"}));
    EXPECT_EQ(SplitCommandLine("kick.fxp  snare.fxp").names, (Names{"kick.fxp", "", "snare.fxp"}));
    EXPECT_EQ(SplitCommandLine("kick.fxp ").names, (Names{"kick.fxp", ""}));
    EXPECT_EQ(SplitCommandLine("\"C:\\My Kits\\kick.fxp\"").names, (Names{"\"C:\\My", "Kits\\kick.fxp\""}));
    EXPECT_EQ(SplitCommandLine("a\tb").names, Names{"a\tb"});
}

TEST(CommandLine, FiftiethNameEndsAtTheNextSpace)
{
    std::string text;
    for (int i = 1; i <= 60; ++i) {
        text += (i > 1 ? " k" : "k") + std::to_string(i);
    }
    const CommandLineNames split = SplitCommandLine(text);
    ASSERT_EQ(split.names.size(), 50U);
    EXPECT_EQ(split.names.front(), "k1");
    EXPECT_EQ(split.names.back(), "k50");
    EXPECT_EQ(split.leftOut, 10);
}

}  // namespace
}  // namespace t2tk::app
