#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "cli/cli_options.h"
#include "tests/message_checks.h"
#include "tests/test_support.h"

namespace t2tk {
namespace {

using test::Bytes;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Paths the converter is given from another working folder (on Windows,
// maybe another drive) must be whole.
std::string Absolute(const char* path)
{
    return std::filesystem::absolute(path).make_preferred().string();
}
const std::string kConvertExe = Absolute(T2TK_CONVERT_EXE);
const std::string kCorpusDir = Absolute(T2TK_CORPUS_DIR);
const std::string kSharedTestData = Absolute(T2TK_SHARED_TESTDATA);

// One argument as the shell that std::system runs takes it.
std::string Quote(const std::string& text)
{
#ifdef _WIN32
    return "\"" + text + "\"";
#else
    return "'" + text + "'";
#endif
}

class CliTest : public ::testing::Test {
protected:
    test::TempDir dir;

    // Runs t2tk-convert in the temporary folder with no standard input,
    // through launcher when one is given.
    Outcome Run(const std::string& arguments, [[maybe_unused]] const std::string& launcher = "",
                const std::string& exe = kConvertExe)
    {
        const std::string folder = std::filesystem::path(dir.path()).make_preferred().string();
#ifdef _WIN32
        const std::string command = "cd /d " + Quote(folder) + " && " + Quote(exe) + " " + arguments +
                                    " <NUL >.out 2>.err";
        const int status = std::system(command.c_str());
#else
        const std::string command = "cd " + Quote(folder) + " && " + launcher + Quote(exe) + " " + arguments +
                                    " </dev/null >.out 2>.err";
        const int raw = std::system(command.c_str());
        const int status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
#endif
        Outcome outcome{status, Text(".out"), Text(".err")};
        std::filesystem::remove(dir.File(".out"));
        std::filesystem::remove(dir.File(".err"));
        return outcome;
    }
    // The text of a file, with Windows' line ends as "\n".
    std::string Text(const std::string& name)
    {
        const Bytes bytes = test::ReadBytes(dir.File(name));
        std::string text(bytes.begin(), bytes.end());
        std::erase(text, '\r');
        return text;
    }
    void Kits(std::initializer_list<const char*> names)
    {
        std::uint32_t seed = 1;
        for (const char* name : names) {
            test::WritePreset(dir.File(name), fxp::MakeKit(name, seed++));
        }
    }
};

TEST_F(CliTest, OnePresetGoesNextToItWithMid)
{
    std::filesystem::create_directory(dir.File("kits.v2"));
    test::WritePreset(dir.File("kits.v2/kick.fxp"), fxp::MakeKit("Kick", 1));
    test::WritePreset(dir.File("kits.v2/snare"), fxp::MakeKit("Snare", 2));
    const Outcome outcome = Run("kits.v2/kick.fxp");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "initreq\nstorereq 0\n");
    EXPECT_EQ(outcome.err, "");
    EXPECT_EQ(test::ReadBytes(dir.File("kits.v2/kick.mid")).size(), 3132U);
    EXPECT_EQ(Run("kits.v2/snare").status, 0);
    EXPECT_TRUE(std::filesystem::exists(dir.File("kits.v2/snare.mid")));
}

TEST_F(CliTest, SeveralPresetsGoToConsecutivePrograms)
{
    Kits({"a.fxp", "b.fxp", "c.fxp"});
    Outcome outcome = Run("a.fxp b.fxp c.fxp");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "initreq\nstorereq 0\nstorereq 1\nstorereq 2\n");
    EXPECT_EQ(test::ReadBytes(dir.File("Thumpkrate.mid")).size(), 73U + 3 * 3059U);

    outcome = Run("--program 49 -c -o kits.mid a.fxp b.fxp c.fxp");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.out, "initreq\nstorereq 48\nstorereq 49\nstorereq 49\n");
    EXPECT_EQ(outcome.err, "t2tk-convert: warning: there is no program past 50; presets 2 to 3 all go to program 50\n");
    const Bytes file = test::ReadBytes(dir.File("kits.mid"));
    EXPECT_EQ(file[77], 48) << "first program dump's slot";
    EXPECT_EQ(file[78 + 17], 1) << "compatibility byte";
}

TEST_F(CliTest, SyxOutputHoldsTheRawMessages)
{
    Kits({"a.fxp", "b.fxp"});
    ASSERT_EQ(Run("-o kits.SYX a.fxp b.fxp").status, 0);
    ASSERT_EQ(Run("-o kits.mid a.fxp b.fxp").status, 0);
    const Bytes syx = test::ReadBytes(dir.File("kits.SYX"));
    ASSERT_EQ(syx.size(), 10U + 2 * 2999U);
    EXPECT_EQ(Bytes(syx.begin(), syx.begin() + 10),
              (Bytes{0xF0, 0x3E, 0x11, 0x00, 0x07, 0x04, 0x30, 0x00, 0x3B, 0xF7}));
    // The MIDI file carries the same messages, each behind its delta, status and length.
    const Bytes midi = test::ReadBytes(dir.File("kits.mid"));
    EXPECT_TRUE(std::equal(syx.begin() + 1, syx.begin() + 10, midi.begin() + 60));
    EXPECT_TRUE(std::equal(syx.end() - 9, syx.end(), midi.end() - 13));
}

TEST_F(CliTest, UsageErrorsExitWith2)
{
    Kits({"a.fxp"});
    std::string many;
    for (int i = 0; i < 51; ++i) {
        many += " a.fxp";
    }
    for (const std::string& arguments : {std::string(""), std::string("-p 0 a.fxp"), std::string("-p 51 a.fxp"),
                                         std::string("-p x a.fxp"), std::string("--bogus a.fxp"), many}) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments;
        EXPECT_EQ(outcome.err.rfind("t2tk-convert: ", 0), 0U) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.fxp"});
    EXPECT_EQ(Run("--version").out, "t2tk-convert " T2TK_VERSION "\n");
    EXPECT_EQ(Run("--help").status, 0);
}

TEST_F(CliTest, FailuresExitWith1AndLeaveTheOutputAlone)
{
    Kits({"a.fxp"});
    test::WriteBytes(dir.File("out.mid"), {7, 7, 7});
    struct Case {
        std::string arguments, message;
    };
    std::vector<Case> cases = {
        {"-o out.mid a.fxp gone.fxp", "cannot open preset \"gone.fxp\": No such file or directory"},
        {"-o out.mid a.fxp .", std::string(test::kFolderOpens ? "cannot read" : "cannot open") + " preset \".\": " +
                                   std::strerror(test::kFolderAsFileError)},
        {"-o out.mid a.fxp " + Quote(""), "cannot open preset \"\": No such file or directory"},
        {"-o a.fxp a.fxp", "will not overwrite preset \"a.fxp\": it is one of the presets being converted"},
        {"-o ./a.fxp a.fxp", "will not overwrite preset \"a.fxp\": it is one of the presets being converted"},
        {"-o nowhere/out.mid a.fxp", "cannot write \"nowhere/out.mid\": No such file or directory"},
    };
    if (std::filesystem::exists("/dev/full")) {
        cases.push_back({"-o /dev/full a.fxp", "cannot write \"/dev/full\": No space left on device"});
    }
    for (const Case& c : cases) {
        const Outcome outcome = Run(c.arguments);
        EXPECT_EQ(outcome.status, 1) << c.arguments;
        EXPECT_EQ(outcome.err, "t2tk-convert: " + c.message + "\n");
    }
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), (Bytes{7, 7, 7}));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.fxp", "out.mid"}));
}

#ifndef _WIN32  // Windows keeps writers out with access lists, not permission bits
TEST_F(CliTest, OutputInAFolderWithoutWritePermission)
{
    namespace fs = std::filesystem;
    Kits({"a.fxp"});
    fs::create_directory(dir.File("locked"));
    test::WriteBytes(dir.File("locked/out.mid"), {7});
    fs::permissions(dir.File("locked"), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    // Root may write anywhere: the converter then runs as nobody, from a copy it can reach.
    std::string launcher;
    std::string exe = kConvertExe;
    if (geteuid() == 0) {
        if (std::system("command -v setpriv >/dev/null") != 0) {
            GTEST_SKIP() << "running as root without setpriv, so nothing can be kept from writing";
        }
        launcher = "setpriv --reuid=65534 --regid=65534 --clear-groups ";
        exe = dir.File("t2tk-convert");
        fs::copy_file(kConvertExe, exe);
        fs::permissions(dir.path(), fs::perms::others_read | fs::perms::others_exec, fs::perm_options::add);
    }
    const Outcome outcome = Run("-o locked/out.mid a.fxp", launcher, exe);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, "t2tk-convert: cannot write \"locked/out.mid\": Permission denied\n");
    EXPECT_EQ(test::ReadBytes(dir.File("locked/out.mid")), Bytes{7});
    EXPECT_EQ(fs::directory_iterator(dir.File("locked"))->path().filename(), "out.mid");
    fs::permissions(dir.File("locked"), fs::perms::owner_write, fs::perm_options::add);
}
#endif

TEST_F(CliTest, EveryCorpusPresetConvertsAndWarnsWhenIncomplete)
{
    for (const auto& entry : std::filesystem::directory_iterator(kCorpusDir)) {
        if (entry.path().extension() != ".fxp") {
            continue;
        }
        const std::string path = entry.path().string();
        const Bytes preset = test::ReadBytes(path);
        const bool complete = preset.size() >= 8600 && preset[24] == 0 && preset[25] == 0 && preset[26] == 0x08 &&
                              preset[27] == 0x58;
        const Outcome outcome = Run("-o out.syx " + Quote(path));
        EXPECT_EQ(outcome.status, 0) << path;
        EXPECT_EQ(outcome.err.find("is not a complete Tolvin preset") != std::string::npos, !complete) << path;
        const Bytes messages = test::ReadBytes(dir.File("out.syx"));
        EXPECT_EQ(test::CheckMessages(messages.data(), messages.size(), 1), "") << path;
    }
}

TEST_F(CliTest, IncompletePresetIsConvertedWithAWarning)
{
    Bytes preset = fxp::Encode(fxp::MakeKit("Half", 1));
    preset.resize(4000);
    test::WriteBytes(dir.File("half.fxp"), preset);
    const Outcome outcome = Run("half.fxp");
    EXPECT_EQ(outcome.status, 0);
    EXPECT_EQ(outcome.err, "t2tk-convert: warning: \"half.fxp\" is not a complete Tolvin preset (4000 of 8600 "
                           "bytes, 2136 of 2136 parameters); converted as it is\n");
    EXPECT_EQ(test::ReadBytes(dir.File("half.mid")).size(), 3132U);
}

TEST_F(CliTest, ForeignPresetFromElsewhere)
{
    const std::string foreign = kSharedTestData + "/again-test.fxp";
    if (!std::filesystem::exists(foreign)) {
        GTEST_SKIP() << foreign << " is not here";
    }
    const Outcome outcome = Run("-o again.mid " + Quote(foreign));
    EXPECT_EQ(outcome.status, 0);
    EXPECT_NE(outcome.err.find("is not a complete Tolvin preset (60 of 8600 bytes, 1 of 2136 parameters)"),
              std::string::npos);
    const Bytes file = test::ReadBytes(dir.File("again.mid"));
    ASSERT_EQ(file.size(), 3132U);
    EXPECT_EQ(std::string(file.begin() + 79, file.begin() + 86), "Default");
    ASSERT_EQ(Run("-o again.syx " + Quote(foreign)).status, 0);
    const Bytes messages = test::ReadBytes(dir.File("again.syx"));
    EXPECT_EQ(test::CheckMessages(messages.data(), messages.size(), 1), "");
    EXPECT_EQ(test::CheckMidiFile(file.data(), file.size(), messages.data(), messages.size()), "");
}

TEST(CliOptions, DefaultOutputPath)
{
    EXPECT_EQ(cli::DefaultOutputPath({"kits/Kick.FXP"}), "kits/Kick.mid");
    EXPECT_EQ(cli::DefaultOutputPath({"kits.old/kick"}), "kits.old/kick.mid");
    EXPECT_EQ(cli::DefaultOutputPath({"a.fxp", "b.fxp"}), "Thumpkrate.mid");
    EXPECT_TRUE(cli::IsSysExPath("kit.SyX"));
    EXPECT_FALSE(cli::IsSysExPath("syx"));
    EXPECT_FALSE(cli::IsSysExPath("kit.syx.mid"));
#ifdef _WIN32
    EXPECT_EQ(cli::DefaultOutputPath({"D:\\Kits.old\\Kick"}), "D:\\Kits.old\\Kick.mid");
    EXPECT_EQ(cli::DefaultOutputPath({"D:\\Kits\\Rock.fxp"}), "D:\\Kits\\Rock.mid");
#endif
}

}  // namespace
}  // namespace t2tk
