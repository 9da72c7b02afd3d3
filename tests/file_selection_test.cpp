#include <gtest/gtest.h>

#include "app/file_selection.h"

namespace t2tk::app {
namespace {

using namespace std::string_literals;

TEST(ParseFileSelection, OneFileIsAFullPath)
{
    const FileSelection selection = ParseFileSelection("/home/me/kits/Rock.fxp\0\0"s);
    EXPECT_EQ(selection.prefix, "");
    EXPECT_EQ(selection.names, std::vector<std::string>{"/home/me/kits/Rock.fxp"});
    EXPECT_EQ(selection.suggestion, "/home/me/kits/Rock.mid");
}

TEST(ParseFileSelection, SeveralFilesShareTheirFolder)
{
    // The prefix ends in the platform's separator, "/" here and "\\" on Windows.
    const std::string separator(1, kPathSeparator);
    const FileSelection selection = ParseFileSelection("/home/me/kits\0Rock.fxp\0Jazz.fxp\0\0"s);
    EXPECT_EQ(selection.prefix, "/home/me/kits" + separator);
    EXPECT_EQ(selection.names, (std::vector<std::string>{"Rock.fxp", "Jazz.fxp"}));
    EXPECT_EQ(selection.suggestion, "/home/me/kits" + separator + "Thumpkrate.mid");
    EXPECT_EQ(selection.leftOut, 0);
    EXPECT_EQ(ParseFileSelection("D:\\Kits\\\0a.fxp\0b.fxp\0\0"s).prefix, "D:\\Kits\\" + separator);
}

TEST(ParseFileSelection, TakesFiftyNamesAndCountsTheRest)
{
    std::string result = "/kits"s + '\0';
    for (int i = 0; i < 53; ++i) {
        result += "k" + std::to_string(i) + ".fxp" + '\0';
    }
    const FileSelection selection = ParseFileSelection(result);  // no closing NUL: the end counts as one
    ASSERT_EQ(selection.names.size(), 50U);
    EXPECT_EQ(selection.names.back(), "k49.fxp");
    EXPECT_EQ(selection.leftOut, 3);
    EXPECT_EQ(selection.suggestion, "/kits" + std::string(1, kPathSeparator) + "Thumpkrate.mid");
}

}  // namespace
}  // namespace t2tk::app
