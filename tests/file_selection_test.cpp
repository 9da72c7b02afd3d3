#include <gtest/gtest.h>

#include "app/file_selection.h"

namespace t2tk::app {
namespace {

using namespace std::string_literals;

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

#ifndef _WIN32
// The text rules' fuzzer reads every selection back as the files chosen.
TEST(BuildFileSelection, TheFolderAllChosenFilesShare)
{
    using Paths = std::vector<std::string>;
    const std::pair<Paths, std::string> cases[] = {
        {{"/k/Rock.fxp"}, "/k/Rock.fxp\0\0"s},
        {{"/home/me/kits/b.fxp", "/home/me/kits/a.fxp"}, "/home/me/kits\0b.fxp\0a.fxp\0\0"s},
        {{"/home/me/kits/rock.fxp", "/home/me/other/jazz.fxp"}, "/home/me\0kits/rock.fxp\0other/jazz.fxp\0\0"s},
        {{"/k/ab/x.fxp", "/k/a/y.fxp"}, "/k\0ab/x.fxp\0a/y.fxp\0\0"s},  // a common start is no common folder
        {{"/kits/rock.fxp", "/media/usb/jazz.fxp"}, "/\0kits/rock.fxp\0media/usb/jazz.fxp\0\0"s},
    };
    for (const auto& [paths, expected] : cases) {
        EXPECT_EQ(BuildFileSelection(paths), expected) << paths.back();
    }
}
#endif

}  // namespace
}  // namespace t2tk::app
