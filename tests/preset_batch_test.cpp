#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "convert/convert.h"
#include "tests/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;

class PresetBatchTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ConversionReport report{};

    std::string Preset(const std::string& name, const fxp::Preset& preset)
    {
        return test::WritePreset(dir.File(name), preset);
    }
    // Converts the named files (full paths) and returns the result.
    int Convert(const std::vector<std::string>& paths, int firstSlot = 0, int compatibility = 0,
                const std::string& output = "")
    {
        std::vector<const char*> names;
        names.reserve(paths.size() + 1);
        for (const std::string& path : paths) {
            names.push_back(path.c_str());
        }
        names.push_back(nullptr);
        return ConvertFilesToMidi("", names.data(), (output.empty() ? dir.File("out.mid") : output).c_str(),
                                  compatibility, firstSlot, &report);
    }
    // Slots of the program dumps and store requests, in buffer order.
    std::vector<int> Slots()
    {
        std::vector<int> slots;
        for (int i = 0; test::MessageOffset(i) < static_cast<std::size_t>(MessageBuffer.fillCount); ++i) {
            const std::uint8_t* m = MessageBuffer.bytes + test::MessageOffset(i);
            if (m[4] == 0x11) {
                slots.push_back(m[6]);
            } else if (m[4] == 0x07 && m[5] == 0x01) {
                slots.push_back(m[7]);
            }
        }
        return slots;
    }
};

TEST_F(PresetBatchTest, OnePresetGivesThirtyOneMessagesInOrder)
{
    ASSERT_EQ(Convert({Preset("kit.fxp", fxp::MakeKit("Kit", 1))}), 0);
    ASSERT_EQ(MessageBuffer.fillCount, 3009);
    std::vector<int> types;
    for (int i = 0; i < 31; ++i) {
        const std::uint8_t* m = MessageBuffer.bytes + test::MessageOffset(i);
        types.push_back(m[4]);
        if (m[4] == 0x10) {
            EXPECT_EQ(m[6], i - 2);
            EXPECT_EQ(m[7], i - 1) << "voice number";
        }
    }
    std::vector<int> expected = {0x07, 0x11};
    expected.insert(expected.end(), 24, 0x10);
    expected.insert(expected.end(), 4, 0x15);
    expected.push_back(0x07);
    EXPECT_EQ(types, expected);
    EXPECT_EQ(test::MessageOffset(31), 3009U);
    EXPECT_EQ(report.presetCount, 1);
    EXPECT_TRUE(IsCompletePreset(report.presets[0]));
}

TEST_F(PresetBatchTest, ConsecutiveSlotsHeldWithin0To49)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    ASSERT_EQ(Convert({kit, kit, kit}, 48), 0);
    EXPECT_EQ(MessageBuffer.fillCount, 10 + 3 * 2999);
    EXPECT_EQ(Slots(), (std::vector<int>{48, 48, 49, 49, 49, 49}));
    ASSERT_EQ(Convert({kit, kit, kit}, -3), 0);
    EXPECT_EQ(Slots(), (std::vector<int>{0, 0, 1, 1, 2, 2}));
    ASSERT_EQ(Convert({kit}, 2147483647), 0);
    EXPECT_EQ(Slots(), (std::vector<int>{49, 49}));
}

TEST_F(PresetBatchTest, CompatibilityMarksEveryProgramDump)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    for (const int compatibility : {0, 1}) {
        ASSERT_EQ(Convert({kit, kit}, 0, compatibility), 0);
        EXPECT_EQ(MessageBuffer.bytes[test::MessageOffset(1) + 7 + kCompatibilityByte], compatibility);
        EXPECT_EQ(MessageBuffer.bytes[test::MessageOffset(31) + 7 + kCompatibilityByte], compatibility);
    }
}

// The front ends pass a folder ending in the platform's separator and bare
// names; on Windows that is a drive letter and backslashes.
TEST_F(PresetBatchTest, PrefixAndNamesAreJoinedAsTheyAre)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    ASSERT_EQ(Convert({kit, kit}), 0);
    const Bytes expected = test::MessageBytes();
    const std::string prefix = std::filesystem::path(dir.path()).make_preferred().string() +
                               static_cast<char>(std::filesystem::path::preferred_separator);
    const char* names[] = {"kit.fxp", "kit.fxp", nullptr};
    const std::string output = std::filesystem::path(dir.File("out.mid")).make_preferred().string();
    ASSERT_EQ(ConvertFilesToMidi(prefix.c_str(), names, output.c_str(), 0, 0, &report), 0);
    EXPECT_EQ(test::MessageBytes(), expected);
    EXPECT_EQ(test::ReadBytes(output).size(), 73U + 2 * 3059U);
}

TEST_F(PresetBatchTest, EmptyListWritesAnEmptyTrack)
{
    ASSERT_EQ(Convert({}), 0);
    EXPECT_EQ(MessageBuffer.fillCount, 0);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")).size(), kEmptyMidiFileSize);
}

TEST_F(PresetBatchTest, MissingPresetWritesNothing)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    test::WriteBytes(dir.File("out.mid"), {1, 2, 3});
    EXPECT_EQ(Convert({kit, dir.File("missing.fxp"), kit}), -1);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), (Bytes{1, 2, 3}));
    EXPECT_EQ(report.failure, ConversionFailure::PresetOpen);
    char text[5000];
    DescribeConversionFailure(report, text, sizeof text);
    EXPECT_EQ(std::string(text), "cannot open preset \"" + dir.File("missing.fxp") + "\": No such file or directory");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"kit.fxp", "out.mid"}));
}

TEST_F(PresetBatchTest, DirectoryAsPresetFailsLikeAMissingFile)
{
    EXPECT_EQ(Convert({dir.path()}), -1);
    EXPECT_EQ(report.failure, test::kFolderOpens ? ConversionFailure::PresetRead : ConversionFailure::PresetOpen);
    EXPECT_STREQ(report.reason, std::strerror(test::kFolderAsFileError));
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.mid")));
}

TEST_F(PresetBatchTest, OverlongPathFailsLikeAMissingFile)
{
    const std::string prefix(kPathCapacity, 'd');
    const char* names[] = {"kit.fxp", nullptr};
    EXPECT_EQ(ConvertFilesToMidi(prefix.c_str(), names, dir.File("out.mid").c_str(), 0, 0, &report), -1);
    EXPECT_EQ(report.failure, ConversionFailure::PresetOpen);
    EXPECT_STREQ(report.reason, std::strerror(ENAMETOOLONG));
}

TEST_F(PresetBatchTest, MorePresetsThanTheBufferHoldsAreRefused)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    ASSERT_EQ(Convert(std::vector<std::string>(kMaxPresetsPerBatch, kit)), 0);
    EXPECT_EQ(MessageBuffer.fillCount, 10 + 2999 * kMaxPresetsPerBatch);
    EXPECT_EQ(Convert(std::vector<std::string>(kMaxPresetsPerBatch + 1, kit), 0, 0, dir.File("more.mid")), -1);
    EXPECT_EQ(report.failure, ConversionFailure::TooManyPresets);
    EXPECT_FALSE(std::filesystem::exists(dir.File("more.mid")));
}

TEST_F(PresetBatchTest, OutputThatIsAPresetIsRefused)
{
    const std::string kit = Preset("kit.fxp", fxp::MakeKit("Kit", 1));
    const Bytes before = test::ReadBytes(kit);
    std::vector<std::string> outputs = {kit, dir.path() + "/./kit.fxp"};
#ifndef _WIN32  // links there need rights users seldom have
    std::filesystem::create_symlink(kit, dir.File("link.mid"));
    outputs.push_back(dir.File("link.mid"));
#endif
    for (const std::string& output : outputs) {
        EXPECT_EQ(Convert({Preset("other.fxp", fxp::MakeKit("Other", 2)), kit}, 0, 0, output), -1) << output;
        EXPECT_EQ(report.failure, ConversionFailure::OutputIsPreset);
        EXPECT_EQ(test::ReadBytes(kit), before);
    }
}

// What a short, long or oddly counted file converts to is checked byte for byte
// against the model in corpus_test.

}  // namespace
}  // namespace t2tk
