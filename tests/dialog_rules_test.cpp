// Rules of the dialog that need no window: the program number, the settings and
// the status line.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "app/conversion_status.h"
#include "app/ini_settings_store.h"
#include "app/outcome_view.h"
#include "app/program_number.h"
#include "app/settings_rules.h"
#include "tests/support/test_support.h"

namespace t2tk::app {
namespace {

// Key by key, as the field reads while the user types: empty and 0 wait for the
// next digit, leading zeros are decimal, and only above 50 is rewritten.
TEST(ProgramField, TakenAsTypedWithin1To50)
{
    const struct {
        const char* text;
        int slot;  // -1: the program and the field stay as they are
        bool rewrite;
    } cases[] = {{"", -1, false},       {"0", -1, false},    {"00", -1, false},   {"05", 4, false},
                 {"010", 9, false},     {"5", 4, false},     {"50", 49, false},   {"51", 49, true},
                 {"123", 49, true},     {"0123", 11, false}, {"999999", 49, true}, {"abc", -1, false},
                 {"1a", -1, false}};  // pasted where only the keys are refused
    for (const auto& c : cases) {
        const auto entry = ReadProgramField(c.text);
        EXPECT_EQ(entry ? entry->slot : -1, c.slot) << c.text;
        EXPECT_EQ(entry && entry->rewrite, c.rewrite) << c.text;
    }
}

TEST(Settings, ReadingRules)
{
    EXPECT_EQ(ParseSettingInt(" -3 ", 0), -3);
    for (const char* garbage : {"", "abc", "12abc", "99999999999", "1.5", "-"}) {
        EXPECT_EQ(ParseSettingInt(garbage, 0), 0) << garbage;
    }
    EXPECT_EQ(ProgramSlotFromSetting(50), 0);
    EXPECT_EQ(ProgramSlotFromSetting(49), 49);
    EXPECT_EQ(SettingsFilePath("/cfg", "/home/me", "/home/pw", "t2tk"), "/cfg/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "/home/me", "/home/pw", "t2tk"), "/home/me/.config/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "", "/home/pw", "t2tk"), "/home/pw/.config/t2tk.ini");
    EXPECT_EQ(SettingsFilePath("", "", "", "t2tk"), std::nullopt);
    EXPECT_EQ(SettingsFilePath("cfg", "/home/me", "", "t2tk"), "/home/me/.config/t2tk.ini");  // relative: ignored
}

#ifndef _WIN32
// The file is read only when it is a small regular file of t2tk's, and
// written as a conversion's output is: comments and keys it does not know
// stay, and what is no settings file is said, never waited on or overwritten.
TEST(IniSettings, KeptWholeAndNeverAtTheCostOfAnotherFile)
{
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string ini = dir.File("t2tk.ini");
    test::WriteText(ini, "; mine\n[t2tk]\nSendPort=\"UM 1\"\nLater2=x\n");
    {
        IniSettingsStore store(ini);
        EXPECT_EQ(store.ReadText("t2tk", "SendPort"), "UM 1");
        store.WriteInt("t2tk", "Program", 7);
        store.WriteText("t2tk", "SendPort", "");
        EXPECT_EQ(store.Save(), "");
    }
    EXPECT_EQ(test::ReadText(ini), "; mine\n[t2tk]\nSendPort=\nLater2=x\nProgram=7\n");
    {
        IniSettingsStore store(dir.File("new/t2tk.ini"));  // a folder not there yet is made
        store.WriteInt("t2tk", "Program", 1);
        EXPECT_EQ(store.Save(), "");
        EXPECT_EQ(fs::status(dir.File("new")).permissions(), fs::perms::owner_all);
    }

    ::mkfifo(dir.File("fifo.ini").c_str(), 0600);
    fs::create_directory(dir.File("folder.ini"));
    test::WriteBytes(dir.File("file"), {});
    test::WriteText(dir.File("system.conf"), "# a system's\nGRUB_TIMEOUT=5\n");
    test::WriteText(dir.File("other.ini"), "[t2tk]\nProgram=2\n[x]\n");
    std::filesystem::resize_file(ini, 1'000'000'000);  // sparse
    const std::string notOurs = "\" is not a t2tk settings file: ";
    const std::pair<std::string, std::string> cases[] = {
        {"fifo.ini", "\"" + dir.File("fifo.ini") + notOurs + "not a regular file of at most 65536 bytes"},
        {"t2tk.ini", "\"" + ini + notOurs + "not a regular file of at most 65536 bytes"},
        {"folder.ini", "\"" + dir.File("folder.ini") + notOurs + "not a regular file of at most 65536 bytes"},
        {"file/t2tk.ini", "cannot create a file in \"" + dir.File("file") + "\": Not a directory"},
        {"system.conf", "\"" + dir.File("system.conf") + notOurs + "line 2 is none of its settings"},
        {"other.ini", "\"" + dir.File("other.ini") + notOurs + "line 3 is none of its settings"},
    };
    for (const auto& [name, problem] : cases) {
        IniSettingsStore store(dir.File(name));
        EXPECT_EQ(store.ReadInt("t2tk", "Program", -1), -1) << name;
        EXPECT_EQ(store.SaveProblem(), problem) << name;
        store.WriteInt("t2tk", "Program", 9);
        EXPECT_EQ(store.Save(), problem) << name;
    }
    EXPECT_EQ(fs::file_size(ini), 1'000'000'000U);
    EXPECT_EQ(test::ReadText(dir.File("system.conf")), "# a system's\nGRUB_TIMEOUT=5\n");

    // The most a settings file holds is read; a file that would grow past it
    // is not written.
    const std::string grows = "\"" + ini + "\" would grow past 65536 bytes, more than a settings file holds; it is left "
                                            "as it was";
    const std::string tooLarge = "\"" + ini + notOurs + "not a regular file of at most 65536 bytes";
    for (const std::size_t size : {65536U, 65537U}) {
        std::string text = "[t2tk]\n;";
        text += std::string(size - text.size() - 1, 'k') + "\n";
        test::WriteText(ini, text);
        IniSettingsStore store(ini);
        store.WriteInt("t2tk", "Program", 7);
        EXPECT_EQ(store.Save(), size == 65536U ? grows : tooLarge) << size;
        EXPECT_EQ(fs::file_size(ini), size);
    }
}
#endif

// The request and dialog tests show the plural, the files left out and the
// presets past program 50.
TEST(ConversionStatus, SaysWhatWasWritten)
{
    // A name too long for its room gives up its middle, never half a character.
    const auto fitsIn = [](std::size_t bytes) { return [bytes](std::string_view text) { return text.size() <= bytes; }; };
    EXPECT_EQ(ElideMiddle("FinalVersion.mid", fitsIn(11)), "Fina\xE2\x80\xA6.mid");
    EXPECT_EQ(ElideMiddle("\xC3\xBC\xC3\xBC\xC3\xBC\xC3\xBC", fitsIn(7)), "\xC3\xBC\xE2\x80\xA6\xC3\xBC");
    EXPECT_EQ(DescribeConversion("/kits/Rock.mid", 1, 4, 0), "Wrote Rock.mid: 1 preset, program 5.");
}

// Where each program of a send stands, as the statuses before its messages
// come: a preset left after a try that was not its last was stored (it is
// tried again otherwise); one left after its last try may have run late, and
// stays "sent again" until the account says.
TEST(ProgramList, StatesFollowTheStatuses)
{
    ProgramList list({{1, "Rock Kit", "/kits/rock.fxp"}, {2, "Jazz", "C:\\Kits\\jazz.fxp"}, {50, "Edges", "edges.fxp"}});
    const auto shown = [&list] {
        std::string text;
        for (const ProgramLine& line : list.lines()) {
            text += std::to_string(line.program) + " " + line.name + " " + line.file + ": " +
                    std::string(StateWord(line.state)) + "\n";
        }
        return text;
    };
    EXPECT_EQ(shown(), "1 Rock Kit rock.fxp: waiting\n2 Jazz jazz.fxp: waiting\n50 Edges edges.fxp: waiting\n");
    const struct {
        int preset;
        int attempt;
        const char* states;
    } statuses[] = {
        {1, 1, "sending waiting waiting"},    {1, 2, "sent again waiting waiting"}, {2, 1, "stored sending waiting"},
        {2, 3, "stored sent again waiting"}, {3, 1, "stored sent again sending"},
    };
    for (const auto& status : statuses) {
        list.Tell({status.preset, 3, "", 1, 1, 90, {}, status.attempt});
        std::string states;
        for (const ProgramLine& line : list.lines()) {
            states += (states.empty() ? "" : " ") + std::string(StateWord(line.state));
        }
        EXPECT_EQ(states, status.states) << status.preset << " " << status.attempt;
    }
}

}  // namespace
}  // namespace t2tk::app
