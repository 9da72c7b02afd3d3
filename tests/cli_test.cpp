// t2tk-convert run in-process, its streams captured, in a folder of its own.
#include <gtest/gtest.h>

#include <cstring>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <filesystem>
#include <functional>
#include <sstream>

#include "cli/cli_options.h"
#include "cli/converter_run.h"
#ifdef _WIN32
#include <windows.h>

#include "files/utf16.h"
#endif
#include "tests/support/message_checks.h"
#include "tests/support/test_support.h"

namespace t2tk {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    test::TempDir dir;
    fs::path m_previous = fs::current_path();

    CliTest()
    {
        fs::current_path(dir.path());
        test::CopyExample("rock-kit.fxp", "a.fxp");
        test::CopyExample("jazz-brushes.fxp", "b.fxp");
        test::CopyExample("electro-kit.fxp", "c.fxp");
    }
    ~CliTest() override { fs::current_path(m_previous); }

    static Outcome Run(const std::vector<std::string>& arguments)
    {
        std::vector<const char*> argv = {"t2tk-convert"};
        for (const std::string& argument : arguments) {
            argv.push_back(argument.c_str());
        }
        std::ostringstream out;
        std::ostringstream err;
        const int status = cli::RunConverter(static_cast<int>(argv.size()), argv.data(), out, err);
        return {status, out.str(), err.str()};
    }
};

std::vector<std::string> Times(int count, const std::string& name)
{
    return std::vector<std::string>(static_cast<std::size_t>(count), name);
}

// What each option does to the file, against the corpus's bytes where it has them.
TEST_F(CliTest, Converts)
{
    fs::create_directory("kits.v2");
    test::WriteBytes("in.fxp", test::ReadBytes(T2TK_CORPUS_DIR "/in-range.fxp"));
    test::WriteBytes("kits.v2/kick", test::ReadBytes(T2TK_CORPUS_DIR "/in-range.fxp"));
    const struct {
        std::vector<std::string> arguments;
        std::string out, err, file;
        std::string expected;  // the corpus file it equals, or empty
        std::size_t size;
    } cases[] = {
        {{"in.fxp"}, "initreq\nstorereq 0\n", "", "in.mid", "in-range.mid", 0},
        {{"kits.v2/kick"}, "", "", "kits.v2/kick.mid", "in-range.mid", 0},
        {{"-p", "18", "-c", "in.fxp"}, "initreq\nstorereq 17\n", "", "in.mid", "in-range-compatible.mid", 0},
        {{"-p", "50", "in.fxp"}, "initreq\nstorereq 49\n", "", "in.mid", "", test::MidiFileSize(1)},
        {{"-p", "010", "in.fxp"}, "initreq\nstorereq 9\n", "", "in.mid", "", test::MidiFileSize(1)},
        {{"--program", "49", "-c", "-o", "kits.mid", "a.fxp", "b.fxp", "c.fxp"},
         "initreq\nstorereq 48\nstorereq 49\nstorereq 49\n",
         "t2tk-convert: warning: there is no program past 50; presets 2 to 3 all go to program 50\n", "kits.mid", "",
         test::MidiFileSize(3)},
        {Times(50, "a.fxp"), "", "", "Thumpkrate.mid", "", test::MidiFileSize(50)},
        {{"-o", "k.SYX", "in.fxp"}, "initreq\nstorereq 0\n", "", "k.SYX", "in-range.syx", 0},
        {{"-o", ".syx", "in.fxp"}, "", "", ".syx", "in-range.syx", 0},
        {{"-o", "syx", "in.fxp"}, "", "", "syx", "in-range.mid", 0},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.arguments);
        EXPECT_EQ(outcome.status, 0) << c.file;
        if (!c.out.empty()) {
            EXPECT_EQ(outcome.out, c.out) << c.file;
        }
        EXPECT_EQ(outcome.err, c.err) << c.file;
        const Bytes file = test::ReadBytes(c.file);
        if (c.expected.empty()) {
            EXPECT_EQ(file.size(), c.size) << c.file;
        } else {
            EXPECT_TRUE(test::SameBytes(file, test::ReadBytes(T2TK_CORPUS_DIR "/" + c.expected))) << c.file;
        }
    }
}

#ifdef _WIN32
TEST_F(CliTest, WindowsPathsAndPorts)
{
    // A path from the root of the drive is a preset, not a Windows-style option.
    EXPECT_EQ(Run({"/kits/rock.fxp"}).err,
              "t2tk-convert: cannot open preset \"/kits/rock.fxp\": No such file or directory\n");
    // Whatever MIDI devices the system has, none is called this.
    const Outcome send = Run({"--send", "no port is called this", "a.fxp"});
    EXPECT_EQ(send.status, 1);
    EXPECT_NE(send.err.find("MIDI output port"), std::string::npos) << send.err;
    // A path longer than Windows takes is named whole (the dialog's tests
    // convert paths past the classic 260 characters).
    const std::string tooLong = std::string(40000, 'k') + ".fxp";
    EXPECT_EQ(Run({tooLong}).err, "t2tk-convert: cannot open preset \"" + tooLong + "\": " + std::strerror(ENAMETOOLONG) + "\n");

    // A preset another program holds is said so, as the writer says it.
    HANDLE held = ::CreateFileW(L"a.fxp", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_EQ(Run({"a.fxp"}).err, "t2tk-convert: cannot open preset \"a.fxp\": another program is using it\n");
    ::CloseHandle(held);
    // "/?" is the help, as Windows users ask for it.
    const Outcome help = Run({"/?"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--program"), std::string::npos) << help.out;
}
#endif

TEST_F(CliTest, UsageErrorsExitWith2)
{
    test::WriteBytes("kits.syx", test::ReadBytes(T2TK_CORPUS_DIR "/in-range.syx"));
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {}, {"-p", "0", "a.fxp"}, {"-p", "51", "a.fxp"}, {"-p", "x", "a.fxp"}, {"-p", " 5", "a.fxp"},
             {"-p", "0x10", "a.fxp"}, {"-p", "1e1", "a.fxp"}, {"-p", "+5", "a.fxp"}, {"-o", "", "a.fxp"},
             {"--bogus", "a.fxp"}, Times(51, "a.fxp"), {"--list-ports", "--send", "x", "a.fxp"},
             {"--list-ports", "a.fxp"}, {"--wait", "a.fxp"}, {"--send", "x", "kits.syx", "a.fxp"},
             {"--send", "x", "-p", "2", "kits.syx"}, {"--send", "x", "-o", "o.mid", "kits.syx"},
             {"--send-incomplete", "a.fxp"}, {"--list", "-o", "o.mid", "a.fxp"}, {"--list", "--send", "x", "a.fxp"},
             {"--porcelain", "a.fxp"}, {"--list"}}) {
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 2) << arguments.size();
        EXPECT_EQ(outcome.err.rfind("t2tk-convert: ", 0), 0U) << outcome.err;
        EXPECT_EQ(outcome.out, "");
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.fxp", "b.fxp", "c.fxp", "kits.syx"}));
    EXPECT_EQ(Run({"--send", "x", "a.fxp", "kits.syx"}).err,
              "t2tk-convert: files t2tk wrote and presets cannot be sent together: \"kits.syx\" is a file t2tk wrote, "
              "\"a.fxp\" a preset\nRun 't2tk-convert --help' for more information.\n");
    EXPECT_EQ(Run({"--version"}).out, "t2tk-convert " T2TK_VERSION "\n");
    EXPECT_EQ(Run({"--help"}).status, 0);
}

TEST_F(CliTest, FailuresExitWith1AndLeaveTheOutputAlone)
{
    test::WriteBytes("out.mid", {7, 7, 7});
    struct Case {
        std::vector<std::string> arguments;  // -o out.mid a.fxp and these, or these and a.fxp when they name the output
        std::string message;
    };
    std::vector<Case> cases = {
        {{"gone.fxp"}, "cannot open preset \"gone.fxp\": No such file or directory"},
        {{"."}, "cannot read preset \".\": " + std::string(std::strerror(EISDIR))},  // Windows too
        {{""}, "cannot open preset \"\": No such file or directory"},
        {{"-o", "a.fxp"}, "will not overwrite preset \"a.fxp\": it is one of the presets being converted"},
        {{"-o", "./a.fxp"}, "will not overwrite preset \"a.fxp\": it is one of the presets being converted"},
        {{"-o", "nowhere/out.mid"}, "cannot create a file in \"nowhere\": No such file or directory"},
        {{"-o", "."}, "cannot write \".\": " + std::string(std::strerror(EISDIR))},
    };
#ifndef _WIN32  // links there need rights users seldom have, and control characters are no name
    // C0, DEL, C1 (U+009B is a terminal's CSI) and bytes that are no UTF-8 are
    // shown escaped; other characters as they are. The name is hostile on purpose.
    // NOLINTNEXTLINE(misc-misleading-bidirectional)
    cases.push_back({{"\x1b]0;owned\x07\x7F\xC2\x9B" "2J\x9B\xC3\xBC\xE2\x80\xAE" "dim.fxp"},
                     R"(cannot open preset "\x1B]0;owned\x07\x7F\xC2\x9B2J\x9B)" "\xC3\xBC"
                     R"(\xE2\x80\xAEdim.fxp": No such file or directory)"});
    fs::create_symlink("a.fxp", "link.mid");
    cases.push_back({{"-o", "link.mid"}, "will not overwrite preset \"a.fxp\": it is one of the presets being converted"});
    cases.push_back({{"-o", "/dev/full"}, "cannot write \"/dev/full\": No space left on device"});
#endif
    // A file t2tk wrote is sent again only when it holds nothing but the
    // module's messages, which is told before any port is looked for.
    const Bytes notes = {0xF0, 0x3E, 0x11, 0x00, 0x07, 0x04, 0x30, 0x00, 0x3A, 0xF7};
    test::WriteBytes("notes.syx", notes);
    cases.push_back({{"--send", "x", "notes.syx"},
                     "will not send \"notes.syx\": message 1 (at byte 0) is not one of the module's messages"});
    // Whatever its size, and through a pipe too, a file is what its first bytes say.
    Bytes big(160000, 0);
    big[0] = 0xF0;
    test::WriteBytes("big.syx", big);
    cases.push_back({{"--send", "x", "big.syx"},
                     "will not send \"big.syx\": it holds more than 153023 bytes, more than any file t2tk writes"});
#ifndef _WIN32
    int pipe[2] = {-1, -1};
    ASSERT_EQ(::pipe(pipe), 0);
    ASSERT_EQ(::write(pipe[1], notes.data(), notes.size()), static_cast<ssize_t>(notes.size()));
    ::close(pipe[1]);
    const std::string piped = "/dev/fd/" + std::to_string(pipe[0]);
    cases.push_back({{"--send", "x", piped},
                     "will not send \"" + piped + "\": message 1 (at byte 0) is not one of the module's messages"});
#endif
    for (const Case& c : cases) {
        std::vector<std::string> arguments = c.arguments;
        if (arguments.front() == "-o") {
            arguments.emplace_back("a.fxp");
        } else if (arguments.front() != "--send") {
            arguments.insert(arguments.begin(), {"-o", "out.mid", "a.fxp"});
        }
        const Outcome outcome = Run(arguments);
        EXPECT_EQ(outcome.status, 1) << c.message;
        EXPECT_EQ(outcome.err, "t2tk-convert: " + c.message + "\n");
    }
    EXPECT_EQ(test::ReadBytes("out.mid"), (Bytes{7, 7, 7}));
    fs::remove("link.mid");
    fs::remove("notes.syx");
    fs::remove("big.syx");
#ifndef _WIN32
    ::close(pipe[0]);
#endif
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.fxp", "b.fxp", "c.fxp", "out.mid"}));
}

// --list shows the programs presets or saved files would overwrite, with
// the names the module will show, and writes nothing: a conversion's presets
// and the same conversion saved as MIDI and as SysEx list the same programs
// and names; a saved file that is not what t2tk writes is refused.
TEST_F(CliTest, ListShowsProgramsAndNamesAndWritesNothing)
{
    ASSERT_EQ(Run({"-p", "3", "-o", "kits.mid", "a.fxp", "b.fxp", "c.fxp"}).status, 0);
    ASSERT_EQ(Run({"-p", "3", "-o", "kits.syx", "a.fxp", "b.fxp", "c.fxp"}).status, 0);
    Bytes cut = test::ReadBytes("kits.syx");
    cut.resize(3000);
    test::WriteBytes("cut.syx", cut);
    Bytes named = test::ReadBytes("a.fxp");
    std::copy_n("Sixteen Char Kit, longer", 24, named.begin() + 28);
    named.resize(8000);
    test::WriteBytes("long.fxp", named);
    std::filesystem::create_directory("kits");
    const auto lines = [](const char* a, const char* b, const char* c) {
        return std::string(" 3  Rock Kit          ") + a + "\n 4  Jazz Brushes      " + b + "\n 5  Electro Kit       " + c +
               "\n";
    };
    const struct {
        std::vector<std::string> arguments;
        int status;
        std::string out, err;
    } cases[] = {
        {{"--list", "-p", "3", "a.fxp", "b.fxp", "c.fxp"}, 0, lines("a.fxp", "b.fxp", "c.fxp"), ""},
        {{"--list", "kits.mid"}, 0, lines("kits.mid", "kits.mid", "kits.mid"), ""},
        {{"--list", "kits.syx"}, 0, lines("kits.syx", "kits.syx", "kits.syx"), ""},
        {{"--list", "--porcelain", "-p", "50", "a.fxp", "long.fxp"}, 0,
         "program\tname\tfile\twhole\tchanges\n50\tRock Kit\ta.fxp\tyes\t\n50\tSixteen Char Kit\tlong.fxp\tno\tnot a "
         "complete preset; name cut to 16 characters\n",
         ""},
        {{"--list", "cut.syx"}, 1, "",
         "t2tk-convert: cannot list \"cut.syx\": message 31 (at byte 2999) is not one of the module's messages\n"},
        {{"--list", "a.fxp", "kits"}, 1, "", "t2tk-convert: cannot read preset \"kits\": Is a directory\n"},
    };
    for (const auto& c : cases) {
        const Outcome outcome = Run(c.arguments);
        EXPECT_EQ(outcome.status, c.status) << c.arguments.back();
        EXPECT_EQ(outcome.out, c.out) << c.arguments.back();
        EXPECT_EQ(outcome.err, c.err) << c.arguments.back();
    }
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.fxp", "b.fxp", "c.fxp", "cut.syx", "kits", "kits.mid",
                                                    "kits.syx", "long.fxp"}));
}

// Everything the module will not get as a file has it is said, naming the
// file and the program: presets of other sizes and counts, ours and one from
// elsewhere, a file that is no preset, a name cut or with characters the
// module cannot show, parameters outside 0 to 1. Each converts into
// well-formed messages.
TEST_F(CliTest, WhatTheModuleWillNotGetIsSaid)
{
    const Bytes preset = test::ReadBytes("a.fxp");
    const auto changed = [&preset](const std::string& name, const std::function<void(Bytes&)>& change) {
        Bytes bytes = preset;
        change(bytes);
        test::WriteBytes(name, bytes);
        return name;
    };
    const auto named = [](const std::string& name) {
        return [name](Bytes& bytes) {
            std::fill(bytes.begin() + 28, bytes.begin() + 56, 0);
            std::copy(name.begin(), name.end(), bytes.begin() + 28);
        };
    };
    // A parameter of voice v or effect unit u, big-endian.
    const auto parameter = [](Bytes& bytes, std::size_t at, std::uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
        }
    };
    test::WriteBytes("zeros.fxp", Bytes(9500, 0));
    const std::pair<std::string, std::string> cases[] = {
        {changed("short.fxp", [](Bytes& b) { b.resize(8599); }),
         " is not a complete Tolvin preset (8599 of 8600 bytes, 2136 of 2136 parameters); converted as it is"},
        {changed("count.fxp", [](Bytes& b) { b[27] = 0x57; }),  // the parameter count, 0x858, one less
         " is not a complete Tolvin preset (8600 of 8600 bytes, 2135 of 2136 parameters); converted as it is"},
        {changed("longer.fxp", [](Bytes& b) { b.resize(8601, 0); }),
         " is not a complete Tolvin preset (longer than 8600 bytes, the rest is ignored, 2136 of 2136 parameters); "
         "converted as it is"},
        {"zeros.fxp", " is no Tolvin preset: it does not begin as a preset of parameters does; converted as it is"},
        // no name or parameters are read from text, whatever stands where a preset has them
        {changed("text.fxp", [](Bytes& b) { b.assign(b.size(), 'a'); }),
         " is no Tolvin preset: it does not begin as a preset of parameters does; converted as it is"},
        // from elsewhere, see the corpus README
        {T2TK_CORPUS_DIR "/again-test.fxp",
         " is not a complete Tolvin preset (60 of 8600 bytes, 1 of 2136 parameters); converted as it is"},
        {changed("sixteen.fxp", named("Sixteen Char Kit")), ""},  // as long as the module shows
        {changed("long-name.fxp", named("My Very Long Electro Kit Nm")),
         R"(: the module shows its name "My Very Long Electro Kit Nm" as "My Very Long Ele" (cut to 16 characters))"},
        {changed("kueche.fxp", named("K\xC3\xBC" "che Kit")),
         ": the module shows its name \"K\xC3\xBC" "che Kit\" as \"K??che Kit\" (characters it cannot show as \"?\")"},
        {changed("both.fxp", named("Gro\xC3\x9F" "e Trommel Set Nr 2")),
         ": the module shows its name \"Gro\xC3\x9F" "e Trommel Set Nr 2\" as \"Gro??e Trommel S\" (cut to 16 "
         "characters, and characters it cannot show as \"?\")"},
        {changed("range.fxp",
                 [&](Bytes& b) {
                     parameter(b, 56 + 4, 0x3F800000);              // voice 1: 1, the top
                     parameter(b, 56 + 8, 0x80000000);              // voice 1: -0, the bottom
                     parameter(b, 56 + 348 * 2 + 4, 0x3F800001);    // voice 3: just past 1
                     parameter(b, 56 + 348 * 4 + 4, 0x7FC00000);    // voice 5: no number
                     parameter(b, 8408 + 48 * 1 + 8, 0x80000001);   // effect unit 2: just below 0
                     // read by no byte of the records, so nothing the module gets
                     parameter(b, 56 + 348 * 6, 0x40E00000);         // voice 7, its first: 7
                     parameter(b, 56 + 348 * 7 + 4 * 86, 0x40E00000);  // voice 8, its last
                     parameter(b, 8408 + 8 * 4, 0x40E00000);         // effect unit 1, its ninth
                     parameter(b, 8408 + 48 * 3, 0x40E00000);        // effect unit 4, its first
                 }),
         ": 3 parameters outside 0 to 1, in voices 3 and 5 and effect unit 2; the module gets values within its "
         "range instead"},
        {changed("eight.fxp",
                 [&](Bytes& b) {
                     for (std::size_t v = 0; v < 8; ++v) {
                         parameter(b, 56 + 348 * v + 4, 0x40000000);  // 2
                     }
                 }),
         ": 8 parameters outside 0 to 1, in voices 1, 2, 3, 4, 5, 6, 7 and 8; the module gets values within its range "
         "instead"},
        {changed("nine.fxp",
                 [&](Bytes& b) {
                     for (std::size_t v = 0; v < 9; ++v) {
                         parameter(b, 56 + 348 * v + 4, 0x40000000);
                     }
                 }),
         ": 9 parameters outside 0 to 1, in 9 voices; the module gets values within its range instead"},
    };
    for (const auto& [name, what] : cases) {
        const Outcome outcome = Run({"-p", "7", "-o", "out.syx", name});
        EXPECT_EQ(outcome.status, 0);
        const std::string warning = "t2tk-convert: warning: \"" + name + "\" (program 7)";
        EXPECT_EQ(outcome.err, what.empty() ? what : warning + what + "\n");
        const Bytes messages = test::ReadBytes("out.syx");
        EXPECT_EQ(test::CheckMessages(messages.data(), messages.size(), 1), "") << name;
    }
}

}  // namespace
}  // namespace t2tk
