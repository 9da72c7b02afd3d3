#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <thread>
#ifdef _WIN32
#include <windows.h>

#include "files/utf16.h"
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>

#include <functional>
#include <unistd.h>
#endif

#include "files/file_conversion.h"
#include "files/output_file.h"
#include "files/own_file.h"
#include "tests/support/test_support.h"

#ifndef _WIN32
// What another process does right after the writer made a folder, run in the
// writer's own mkdirat (this one, in place of the C library's) while set.
std::function<void()> g_afterMakingFolder;

extern "C" int mkdirat(int folder, const char* path, mode_t mode)  // NOLINT(readability-inconsistent-declaration-parameter-name)
{
    using Real = int (*)(int, const char*, mode_t);
    static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "mkdirat"));
    const int made = real(folder, path, mode);
    if (made == 0 && g_afterMakingFolder) {
        std::exchange(g_afterMakingFolder, nullptr)();
    }
    return made;
}
#endif

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

// Attributes as the kernel keeps them; an ACL in its stored form: a version,
// then (tag, permissions, id) for each entry, in the order of the tags.
Bytes Attribute(const std::string& path, const char* name)
{
    Bytes value(256);
    const ssize_t size = ::getxattr(path.c_str(), name, value.data(), value.size());
    value.resize(size < 0 ? 0 : static_cast<std::size_t>(size));
    return value;
}
bool SetAttribute(const std::string& path, const char* name, const Bytes& value)
{
    return ::setxattr(path.c_str(), name, value.data(), value.size(), 0) == 0;
}
constexpr std::uint8_t kAny = 0xFF;  // the id of an entry that names no one
const Bytes kAclOfNobody = {2, 0, 0, 0,                                // version 2
                            1, 0, 6, 0, kAny, kAny, kAny, kAny,        // user::rw-
                            2, 0, 6, 0, 0xFE, 0xFF, 0, 0,              // user:65534:rw-
                            4, 0, 4, 0, kAny, kAny, kAny, kAny,        // group::r--
                            0x10, 0, 6, 0, kAny, kAny, kAny, kAny,     // mask::rw-
                            0x20, 0, 0, 0, kAny, kAny, kAny, kAny};    // other::---

// A replaced file keeps its ACL and extended attributes and gains nothing:
// not the group's write that the ACL's mask shows in the mode bits, nor an
// ACL that the folder hands down to new files.
TEST_F(OutputFileTest, ReplacedFileKeepsItsAclAndAttributesAndGainsNothing)
{
    const std::string out = dir.File("out.mid");
    test::WriteBytes(out, {9});
    ::chmod(out.c_str(), 0640);
    if (!SetAttribute(out, "user.tag", {'k', 'i', 't'}) || !SetAttribute(out, "system.posix_acl_access", kAclOfNobody)) {
        GTEST_SKIP() << "the file system keeps no ACL or extended attributes";
    }
    ASSERT_EQ(Kind(Write(out, {1})), kWritten);
    EXPECT_EQ(Mode(out) & 07777, 0660U);  // the mask, as before
    EXPECT_EQ(Attribute(out, "system.posix_acl_access"), kAclOfNobody);
    EXPECT_EQ(Attribute(out, "user.tag"), (Bytes{'k', 'i', 't'}));

    // A folder's default ACL for new files, set after the file was made.
    const std::string plain = dir.File("plain.mid");
    test::WriteBytes(plain, {9});
    ::chmod(plain.c_str(), 0600);
    ASSERT_TRUE(SetAttribute(dir.path(), "system.posix_acl_default", kAclOfNobody));
    ASSERT_EQ(Kind(Write(plain, {1})), kWritten);
    EXPECT_EQ(Attribute(plain, "system.posix_acl_access"), Bytes{});
    EXPECT_EQ(Mode(plain) & 07777, 0600U);
}

// Root run with a user's home (sudo -E t2tk): what it makes there is the
// user's; what it finds there is taken only when it is the user's own with
// one name; and nothing changes hands through a name swapped meanwhile.
TEST_F(OutputFileTest, RootInAUsersHomeHandsNothingOver)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    namespace fs = std::filesystem;
    const auto owner = [](const std::string& path) {
        struct stat status {};
        ::lstat(path.c_str(), &status);
        return std::pair(status.st_uid, status.st_mode & 07777);
    };
    const std::string home = dir.File("home");
    fs::create_directory(home);
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
    const std::string ini = home + "/.config/t2tk.ini";
    EXPECT_EQ(WriteOwnFile(ini, "[t2tk]\n"), "");
    EXPECT_EQ(owner(home + "/.config"), std::pair(65534U, 0700U));
    ::chmod(ini.c_str(), 0640);
    EXPECT_EQ(WriteOwnFile(ini, "[t2tk]\nProgram=3\n"), "");
    EXPECT_EQ(owner(ini), std::pair(65534U, 0640U));

    const std::string secret = dir.File("root.ini");
    test::WriteText(secret, "[t2tk]\nProgram=42\n");
    ::chmod(secret.c_str(), 0600);
    const std::string quoted = "\"" + ini + "\" ";
    const std::pair<std::function<void()>, std::string> rows[] = {
        {[&] { fs::create_symlink(secret, ini); }, "will not follow " + quoted.substr(0, quoted.size() - 1) +
                                                       ": it is a link in another user's folder"},
        {[&] { fs::create_hard_link(secret, ini); }, quoted + "is not a t2tk settings file: it has 2 names (hard links)"},
        {[&] { fs::copy_file(secret, ini); }, quoted + "is not a t2tk settings file: it belongs to root (0), not to "
                                                       "the owner of its folder, nobody (65534)"},
    };
    for (const auto& [plant, problem] : rows) {
        fs::remove(ini);
        plant();
        const OwnFile read = ReadOwnFile(ini, 65536);
        EXPECT_FALSE(read.found) << problem;
        EXPECT_EQ(read.problem, problem);
        EXPECT_EQ(WriteOwnFile(ini, "[t2tk]\n"), problem);
        EXPECT_EQ(test::ReadText(secret), "[t2tk]\nProgram=42\n");
        EXPECT_EQ(owner(secret), std::pair(0U, 0600U));
    }

    // The folder it makes swapped, before it is handed over, for a second
    // name of a third user's file, which anyone may write, or for a folder
    // of root's.
    const std::string theirs = dir.File("theirs");
    test::WriteText(theirs, "theirs");
    ::chown(theirs.c_str(), 65533, 65533);
    ::chmod(theirs.c_str(), 0666);
    const std::string roots = dir.File("roots");
    fs::create_directory(roots);
    test::WriteText(roots + "/key", "");
    ::chmod(roots.c_str(), 0700);
    const std::pair<std::string, std::function<void()>> swaps[] = {
        {theirs, [&] { fs::create_hard_link(theirs, home + "/.config"); }},
        {roots, [&] { fs::rename(roots, home + "/.config"); }},
    };
    for (const auto& swap : swaps) {
        fs::remove_all(home + "/.config");
        const auto before = owner(swap.first);
        g_afterMakingFolder = [&] {
            fs::remove(home + "/.config");
            swap.second();
        };
        EXPECT_EQ(WriteOwnFile(ini, "[t2tk]\n"),
                  "cannot make the folder \"" + home + "/.config\": something else took its place meanwhile");
        EXPECT_EQ(owner(home + "/.config"), before) << swap.first;
    }
}

// The dialog's conversions, which have no place aside for the progress
// lines: standard output that is the output carries the file alone, and one
// that is a preset is refused, whatever the output, before anything is read.
TEST_F(OutputFileTest, ProgressLinesGoIntoNoFile)
{
    const std::string preset = test::CopyExample("rock-kit.fxp", dir.File("kit.fxp"));
    const std::string out = dir.File("out.mid");
    test::WriteBytes(out, {});
    std::vector<ConversionResult> results;
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    for (const auto& [target, output] : {std::pair(out, std::string("/dev/stdout")), std::pair(preset, out)}) {
        const int file = ::open(target.c_str(), O_RDWR);
        ::dup2(file, STDOUT_FILENO);
        ::close(file);
        ConversionRequest request;
        request.names = {preset};
        request.output = output;
        results.push_back(ConvertAndWrite(request));
        std::cout.flush();
    }
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    EXPECT_TRUE(results[0].written);
    EXPECT_EQ(test::ReadBytes(out).size(), test::MidiFileSize(1));
    EXPECT_EQ(results[1].failure, "will not overwrite preset \"" + preset +
                                      "\": standard output goes to it, and the progress lines would go into it");
    EXPECT_EQ(test::ReadBytes(preset), test::ReadBytes(T2TK_EXAMPLES_DIR "/rock-kit.fxp"));
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
