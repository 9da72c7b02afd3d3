#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "convert/output_file.h"
#include "tests/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;

class OutputFileTest : public ::testing::Test {
protected:
    test::TempDir dir;
    ConversionReport report{};

    int Write(const std::string& path, const Bytes& bytes)
    {
        ClearReport(&report);
        return WriteOutputFile(path.c_str(), bytes.data(), bytes.size(), &report);
    }
};

TEST_F(OutputFileTest, ReplacesAnExistingFileWholeAndLeavesNoTemporary)
{
    test::WriteBytes(dir.File("out.mid"), Bytes(5000, 0xEE));
    ASSERT_EQ(Write(dir.File("out.mid"), {1, 2, 3}), 0);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), (Bytes{1, 2, 3}));
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.mid"});
}

TEST_F(OutputFileTest, TemporaryNamesInUseAreSkipped)
{
    test::WriteBytes(dir.File("out.mid.t2tk-0.tmp"), {9});
    ASSERT_EQ(Write(dir.File("out.mid"), {1}), 0);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid.t2tk-0.tmp")), Bytes{9});
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"out.mid", "out.mid.t2tk-0.tmp"}));
}

TEST_F(OutputFileTest, FailuresNameTheFileAndTheReason)
{
    EXPECT_EQ(Write(dir.File("missing/out.mid"), {1}), -1);
    EXPECT_EQ(report.failure, ConversionFailure::OutputWrite);
    EXPECT_EQ(std::string(report.file), dir.File("missing/out.mid"));
    EXPECT_STREQ(report.reason, "No such file or directory");

    EXPECT_EQ(Write(dir.path(), {1}), -1);
    EXPECT_STREQ(report.reason, std::strerror(test::kFolderAsFileError));
    EXPECT_TRUE(dir.List().empty());
}

TEST_F(OutputFileTest, FullDeviceIsAFailure)
{
    if (!std::filesystem::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full here";
    }
    EXPECT_EQ(Write("/dev/full", Bytes(100000, 1)), -1);
    EXPECT_STREQ(report.reason, "No space left on device");
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/full"));
}

}  // namespace
}  // namespace t2tk
