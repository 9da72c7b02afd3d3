// Limits of one conversion, through the request layer the front ends use.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "convert/convert.h"
#include "files/file_conversion.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

TEST(PresetBatch, AsManyPresetsAsTheBufferHolds)
{
    test::TempDir dir;
    const std::string kit = test::CopyExample("rock-kit.fxp", dir.File("kit.fxp"));
    ConversionResult result = test::ConvertToFile(std::vector<std::string>(133, kit), dir.File("out.mid"));
    ASSERT_TRUE(result.written);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")).size(), test::MidiFileSize(133));

    result = test::ConvertToFile(std::vector<std::string>(134, kit), dir.File("out.mid"));
    EXPECT_EQ(result.failure, "too many presets: 134 given, at most 133 fit in one conversion");
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")).size(), test::MidiFileSize(133));

    // The next conversion starts afresh, an empty one too.
    result = test::ConvertToFile({}, dir.File("out.mid"));
    EXPECT_TRUE(result.written);
    EXPECT_EQ(result.failure, "");
    EXPECT_TRUE(result.presets.empty());
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")).size(), 61U);  // header, meter, tempo, name, end
}

#ifndef _WIN32
// The joined path cut off at the capacity would name an existing preset, so
// only the length check keeps the conversion from reading the wrong file.
TEST(PresetBatch, OverlongPathIsRefusedNotCut)
{
    test::TempDir dir;
    std::string folder = dir.path();
    while (folder.size() < kPathCapacity - 300) {
        folder += "/" + std::string(200, 'd');
        std::filesystem::create_directory(folder);
    }
    const std::string name(kPathCapacity - 1 - folder.size() - 1, 'k');
    test::CopyExample("rock-kit.fxp", folder + "/" + name);
    ConversionRequest request;
    request.prefix = folder + "/";
    request.names = {name + ".fxp"};
    request.output = dir.File("out.mid");
    std::ostream silent(nullptr);
    EXPECT_EQ(ConvertAndWrite(request, silent).failure,
              "cannot open preset \"" + name + ".fxp\": " + std::strerror(ENAMETOOLONG));
}
#endif

}  // namespace
}  // namespace t2tk
