#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>

#include "files/utf16.h"
#else
#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>
#endif

#include "files/output_file.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;

class OutputFileTest : public ::testing::Test {
protected:
    test::TempDir dir;

    static WriteError Write(const std::string& path, const Bytes& bytes) { return OutputFile(path).Write(bytes); }
};

// What a failure is: its kind and the system's error number.
std::pair<WriteProblem, int> Kind(const WriteError& error)
{
    return {error.problem, error.error};
}
constexpr std::pair<WriteProblem, int> kWritten{WriteProblem::None, 0};

// The corpus test writes shorter files over longer ones.
TEST_F(OutputFileTest, TheLongestNameLeavesNoTemporary)
{
    const std::string longest(255, 'k');
    ASSERT_EQ(Kind(Write(dir.File(longest), {4})), kWritten);
    EXPECT_EQ(dir.List(), std::vector<std::string>{longest});
}

#ifndef _WIN32
mode_t Mode(const std::string& path)
{
    struct stat status {};
    ::lstat(path.c_str(), &status);
    return status.st_mode;
}

TEST_F(OutputFileTest, ReplacedFileKeepsItsPermissions)
{
    for (const mode_t mode : {0600, 0640, 0755}) {
        test::WriteBytes(dir.File("out.mid"), {9});
        ::chmod(dir.File("out.mid").c_str(), mode);
        ASSERT_EQ(Kind(Write(dir.File("out.mid"), {1})), kWritten);
        EXPECT_EQ(Mode(dir.File("out.mid")) & 07777, mode);
    }
    // A new file: 0666 less the umask, as new files are.
    const mode_t mask = ::umask(002);
    ASSERT_EQ(Kind(Write(dir.File("new.mid"), {1})), kWritten);
    ::umask(mask);
    EXPECT_EQ(Mode(dir.File("new.mid")) & 07777, 0664U);
}

TEST_F(OutputFileTest, LinksAreFollowedAndStay)
{
    namespace fs = std::filesystem;
    fs::create_directory(dir.File("kits"));
    test::WriteBytes(dir.File("kits/real.mid"), {9, 9});
    fs::create_symlink("kits/real.mid", dir.File("link.mid"));
    fs::create_symlink("../link.mid", dir.File("kits/chain.mid"));
    ASSERT_EQ(Kind(Write(dir.File("kits/chain.mid"), {1, 2})), kWritten);
    EXPECT_TRUE(S_ISLNK(Mode(dir.File("link.mid"))));
    EXPECT_TRUE(S_ISLNK(Mode(dir.File("kits/chain.mid"))));
    EXPECT_EQ(test::ReadBytes(dir.File("kits/real.mid")), (Bytes{1, 2}));
    // A link to nothing yet makes its target.
    fs::create_symlink("kits/new.mid", dir.File("dangling.mid"));
    ASSERT_EQ(Kind(Write(dir.File("dangling.mid"), {3})), kWritten);
    EXPECT_EQ(test::ReadBytes(dir.File("kits/new.mid")), Bytes{3});
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"dangling.mid", "kits", "link.mid"}));
    // As many links in a row as the system follows, and no more.
    for (const int links : {40, 41}) {
        const std::string chain = dir.File("chain-" + std::to_string(links));
        fs::create_directory(chain);
        for (int i = 1; i <= links; ++i) {
            fs::create_symlink(i == links ? "target.mid" : std::to_string(i + 1), chain + "/" + std::to_string(i));
        }
        EXPECT_EQ(Kind(Write(chain + "/1", {5})),
                  links == 40 ? kWritten : std::pair(WriteProblem::System, ELOOP)) << links << " links";
        EXPECT_EQ(fs::exists(chain + "/target.mid"), links == 40) << links;
    }
}

TEST_F(OutputFileTest, FifoIsWrittenInPlaceAndNeverWaitedOn)
{
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(Kind(Write(fifo, {1})), std::pair(WriteProblem::NobodyReading, 0));

    const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    EXPECT_EQ(Kind(Write(fifo, {1, 2, 3})), kWritten);
    std::uint8_t got[4] = {};
    EXPECT_EQ(::read(reader, got, sizeof got), 3);
    EXPECT_EQ(got[2], 3);
    ::close(reader);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"fifo"});
}

#endif

#ifdef _WIN32
// ReplaceFileW keeps what the replaced file had (its attributes, its
// permissions); a file another program holds is said to be in use.
TEST_F(OutputFileTest, ReplacedFileKeepsItsAttributesAndABusyFileIsSaid)
{
    const std::wstring out = Utf16(dir.File("out.mid"));
    test::WriteBytes(dir.File("out.mid"), {9});
    ::SetFileAttributesW(out.c_str(), FILE_ATTRIBUTE_HIDDEN);
    ASSERT_EQ(Kind(Write(dir.File("out.mid"), {1, 2})), kWritten);
    EXPECT_NE(::GetFileAttributesW(out.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0U);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), (Bytes{1, 2}));

    HANDLE held = ::CreateFileW(out.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Kind(Write(dir.File("out.mid"), {3})), std::pair(WriteProblem::InUse, 0));
    ::CloseHandle(held);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"out.mid"});
}
#endif

}  // namespace
}  // namespace t2tk
