// Rules of the dialog that need no window: the program number, the settings and
// the status line.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app/conversion_status.h"
#include "app/ini_settings_store.h"
#include "app/program_number.h"
#include "app/settings_rules.h"
#include "tests/support/test_support.h"

namespace t2tk::app {
namespace {

TEST(ProgramField, FirstThreeCharactersHeldWithin1To50)
{
    EXPECT_FALSE(ReadProgramField(""));
    const struct {
        const char* text;
        int slot;
        bool rewrite;
    } cases[] = {{"1", 0, false},    {"0", 0, true},     {"50", 49, false}, {"75", 49, true},
                 {"123", 49, true},  {"0123", 11, false}, {"012", 11, false}, {"007", 6, false},
                 {"999999", 49, true}, {"A", 16, false}};  // characters are not tested for digits
    for (const auto& c : cases) {
        const auto entry = ReadProgramField(c.text);
        ASSERT_TRUE(entry) << c.text;
        EXPECT_EQ(entry->slot, c.slot) << c.text;
        EXPECT_EQ(entry->rewrite, c.rewrite) << c.text;
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
// The file is read only when it is a small regular file, and written as a
// conversion's output is: what it does not know stays, and what is no
// settings file is said, never waited on or overwritten.
TEST(IniSettings, KeptWholeAndNeverAtTheCostOfAnotherFile)
{
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string ini = dir.File("t2tk.ini");
    test::WriteText(ini, "[x]\nk=1\n[t2tk]\nSendPort=\"UM 1\"\n");
    {
        IniSettingsStore store(ini);
        EXPECT_EQ(store.ReadText("t2tk", "SendPort"), "UM 1");
        store.WriteInt("t2tk", "Program", 7);
        store.WriteText("t2tk", "SendPort", "");
        EXPECT_EQ(store.Save(), "");
    }
    EXPECT_EQ(test::ReadText(ini), "[x]\nk=1\n[t2tk]\nSendPort=\nProgram=7\n");
    {
        IniSettingsStore store(dir.File("new/t2tk.ini"));  // a folder not there yet is made
        store.WriteInt("t2tk", "Program", 1);
        EXPECT_EQ(store.Save(), "");
        EXPECT_EQ(fs::status(dir.File("new")).permissions(), fs::perms::owner_all);
    }

    ::mkfifo(dir.File("fifo.ini").c_str(), 0600);
    fs::create_directory(dir.File("folder.ini"));
    test::WriteBytes(dir.File("file"), {});
    std::filesystem::resize_file(ini, 1'000'000'000);  // sparse
    const std::pair<std::string, std::string> cases[] = {
        {"fifo.ini", "\"" + dir.File("fifo.ini") + "\" is no settings file: not a regular file of at most 65536 bytes"},
        {"t2tk.ini", "\"" + ini + "\" is no settings file: not a regular file of at most 65536 bytes"},
        {"folder.ini", "\"" + dir.File("folder.ini") + "\" is no settings file: not a regular file of at most 65536 bytes"},
        {"file/t2tk.ini", "cannot create a file in \"" + dir.File("file") + "\": Not a directory"},
    };
    for (const auto& [name, problem] : cases) {
        IniSettingsStore store(dir.File(name));
        EXPECT_EQ(store.SaveProblem(), problem) << name;
        EXPECT_EQ(store.Save(), problem) << name;
    }
    EXPECT_EQ(fs::file_size(ini), 1'000'000'000U);

    // The most a settings file holds is read; a file that would grow past it
    // is not written.
    for (const std::size_t size : {65536U, 65537U}) {
        std::string text = "[x]\n";
        text += std::string(size - text.size() - 1, 'k') + "\n";
        test::WriteText(ini, text);
        IniSettingsStore store(ini);
        store.WriteInt("t2tk", "Program", 7);
        EXPECT_EQ(store.Save(), size == 65536U ? "\"" + ini + "\" would grow past 65536 bytes, more than a settings file "
                                                             "holds; it is left as it was"
                                               : "\"" + ini + "\" is no settings file: not a regular file of at most "
                                                             "65536 bytes")
            << size;
        EXPECT_EQ(fs::file_size(ini), size);
    }
}

// Run as root with a user's settings, the file stays the user's, and a link
// in another user's folder is not followed (the writer's tests plant links in
// shared folders).
TEST(IniSettings, RootKeepsTheOwnerAndFollowsNoPlantedLink)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root";
    }
    test::TempDir dir;
    const std::string ini = dir.File("t2tk.ini");
    test::WriteBytes(ini, {});
    ASSERT_EQ(::chown(ini.c_str(), 65534, 65534), 0);
    ::chmod(ini.c_str(), 0600);
    IniSettingsStore store(ini);
    store.WriteInt("t2tk", "Program", 3);
    EXPECT_EQ(store.Save(), "");
    struct stat status {};
    ::stat(ini.c_str(), &status);
    EXPECT_EQ(status.st_uid, 65534U);
    EXPECT_EQ(status.st_mode & 07777, 0600U);

    // Root with a user's home: what is made there is the user's, and no link
    // the user made there is followed.
    const std::string home = dir.File("home");
    std::filesystem::create_directory(home);
    ASSERT_EQ(::chown(home.c_str(), 65534, 65534), 0);
    IniSettingsStore fresh(home + "/.config/t2tk.ini");
    fresh.WriteInt("t2tk", "Program", 5);
    EXPECT_EQ(fresh.Save(), "");
    for (const std::string& made : {home + "/.config", home + "/.config/t2tk.ini"}) {
        ::stat(made.c_str(), &status);
        EXPECT_EQ(status.st_uid, 65534U) << made;
        EXPECT_EQ(status.st_gid, 65534U) << made;
    }
    std::filesystem::remove(home + "/.config/t2tk.ini");
    test::WriteText(dir.File("root.ini"), "[t2tk]\nProgram=42\n");
    std::filesystem::create_symlink(dir.File("root.ini"), home + "/.config/t2tk.ini");
    IniSettingsStore throughTheirs(home + "/.config/t2tk.ini");
    EXPECT_EQ(throughTheirs.ReadText("t2tk", "Program"), "");
    EXPECT_EQ(throughTheirs.Save(), "will not follow \"" + home + "/.config/t2tk.ini\": it is a link in another "
                                                                 "user's folder");
    EXPECT_EQ(test::ReadBytes(dir.File("root.ini")).size(), 18U);
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

}  // namespace
}  // namespace t2tk::app
