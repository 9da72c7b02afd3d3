// The dialog's three roads to a conversion, with fake dialogs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/converter_requests.h"
#include "app/file_selection.h"
#include "app/ini_settings_store.h"
#include "app/outcome_view.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fake_ports.h"
#include "tests/support/test_support.h"

namespace t2tk::app {
namespace {

namespace fs = std::filesystem;

class ConverterRequestsTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeDialogs dialogs;
    IniSettingsStore settings{dir.File("t2tk.ini")};
    ConverterRequests requests{settings, dialogs};

    ConverterRequestsTest()
    {
        fs::create_directory(dir.File("kits"));
        fs::create_directory(dir.File("My Kits"));
        test::CopyExample("rock-kit.fxp", dir.File("kits/a.fxp"));
        test::CopyExample("electro-kit.fxp", dir.File("kits/b.fxp"));
        test::CopyExample("jazz-brushes.fxp", dir.File("My Kits/jazz.fxp"));
        test::CopyExample("hip-hop-kit.fxp", dir.File("kits/jazz.fxp"));  // same name, other preset
    }
    // What the presets convert to on their own.
    test::Bytes Expected(const std::vector<std::string>& names, int firstSlot = 0)
    {
        std::vector<std::string> paths(names.size());
        std::transform(names.begin(), names.end(), paths.begin(), [this](const std::string& name) {
            return dir.File(name);
        });
        EXPECT_TRUE(test::ConvertToFile(paths, dir.File("expected.mid"), firstSlot).written);
        return test::ReadBytes(dir.File("expected.mid"));
    }
};

// The 50-name limit and its notice are checked through ConverterApp.
TEST_F(ConverterRequestsTest, CommandLineTakesEachArgumentWhole)
{
    dialogs.saveResults = {dir.File("one.mid"), std::nullopt, dir.File("out.mid")};
    auto outcome = requests.RunCommandLine({dir.File("My Kits/jazz.fxp")});
    ASSERT_TRUE(outcome && outcome->written);
    EXPECT_EQ(test::ReadBytes(dir.File("one.mid")), Expected({"My Kits/jazz.fxp"}));
    EXPECT_FALSE(requests.RunCommandLine({}));
    EXPECT_FALSE(requests.RunCommandLine({"kick.fxp"}));  // save dialog cancelled
    EXPECT_EQ(dialogs.suggestions, (std::vector<std::string>{dir.File("My Kits/jazz.mid"), "kick.mid"}));

    outcome = requests.RunCommandLine({dir.File("kits/a.fxp"), ""});
    ASSERT_TRUE(outcome);
    EXPECT_EQ(dialogs.errors, std::vector<std::string>{"cannot open preset \"\": No such file or directory"});
    EXPECT_EQ(StatusLine(*outcome), "Nothing written.");
}

TEST_F(ConverterRequestsTest, ConvertConvertsWhatWasChosen)
{
    requests.setProgram(4);
    requests.setSamePath(1);
    const std::string folder = dir.File("kits");
    dialogs.openResults = {dir.File("kits/a.fxp") + '\0' + '\0',
                           folder + '\0' + "a.fxp" + '\0' + "b.fxp" + '\0' + '\0',
                           BuildFileSelection({dir.File("kits/a.fxp"), dir.File("My Kits/jazz.fxp")})};
    ASSERT_TRUE(requests.OnConvert());
    EXPECT_EQ(test::ReadBytes(dir.File("kits/a.mid")), Expected({"kits/a.fxp"}, 4));
    ASSERT_TRUE(requests.OnConvert());
    EXPECT_EQ(test::ReadBytes(dir.File("kits/Thumpkrate.mid")), Expected({"kits/a.fxp", "kits/b.fxp"}, 4));
    // Files from two folders, one name in both: each is converted as chosen.
    const auto outcome = requests.OnConvert();
    ASSERT_TRUE(outcome && outcome->written);
    EXPECT_EQ(test::ReadBytes(outcome->output), Expected({"kits/a.fxp", "My Kits/jazz.fxp"}, 4));
    EXPECT_TRUE(dialogs.suggestions.empty());

    requests.setSamePath(0);
    dialogs.openResults = {dir.File("kits/b.fxp") + '\0' + '\0'};
    EXPECT_FALSE(requests.OnConvert());  // save dialog cancelled
    EXPECT_EQ(dialogs.suggestions, std::vector<std::string>{dir.File("kits/b.mid")});
    EXPECT_FALSE(fs::exists(dir.File("kits/b.mid")));
    EXPECT_FALSE(requests.OnConvert());  // open dialog cancelled
}

TEST_F(ConverterRequestsTest, DropsAlwaysAskAndTakeTheFirstFifty)
{
    requests.setSamePath(1);  // not for drops
    dialogs.saveResults = {dir.File("one.mid"), dir.File("many.mid")};
    testing::internal::CaptureStdout();  // the converter's progress lines are not the window's
    ASSERT_TRUE(requests.OnDropFiles({dir.File("kits/a.fxp")}));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
    const auto outcome = requests.OnDropFiles(std::vector<std::string>(51, dir.File("kits/b.fxp")));
    ASSERT_TRUE(outcome);
    EXPECT_EQ(StatusLine(*outcome), "Wrote many.mid: 50 presets, programs 1 to 50. 1 file past the 50th left out.");
    EXPECT_EQ(test::ReadBytes(dir.File("many.mid")).size(), test::MidiFileSize(50));
    EXPECT_EQ(dialogs.suggestions, (std::vector<std::string>{dir.File("kits/a.mid"), "Thumpkrate.mid"}));
    EXPECT_FALSE(requests.OnDropFiles({dir.File("kits/a.fxp")}));  // cancelled: nothing written
    EXPECT_FALSE(requests.OnDropFiles({}));
    EXPECT_EQ(dialogs.suggestions.size(), 3U);
    EXPECT_TRUE(dialogs.errors.empty());
}

// What a window shows of a request, and whether it goes on to a port: only a
// file that was written is sent; files that are not complete presets are
// counted in the line, a preset the conversion changed gets a note of its
// own, and the tooltip has every warning. The progress window lists the
// programs the send overwrites, each waiting at first.
TEST_F(ConverterRequestsTest, TheViewSaysWhatToShowAndWhereToSend)
{
    const auto fitsAll = [](std::string_view) { return true; };
    const StatusRoom roomForAll{fitsAll, fitsAll};
    test::FakeClock clock;
    test::FakePorts ports(clock);
    std::vector<OutcomeView> views;
    ShownOutcome shown(dialogs, ports, clock, [&views](const OutcomeView& view) { views.push_back(view); }, [] {});
    requests.ChoosePort("Thump A");  // the messages are kept for it
    test::Bytes preset = test::ReadBytes(dir.File("kits/a.fxp"));
    test::WriteBytes(dir.File("kits/short.fxp"), test::Bytes(preset.begin(), preset.begin() + 100));
    std::copy_n("Sixteen Char Kit and more", 25, preset.begin() + 28);
    test::WriteBytes(dir.File("kits/long.fxp"), preset);
    dialogs.saveResults = {dir.File("drum-kits.mid"), dir.File("nowhere/kits.mid")};
    const auto written =
        requests.OnDropFiles({dir.File("kits/a.fxp"), dir.File("kits/short.fxp"), dir.File("kits/long.fxp")});
    ASSERT_TRUE(written);
    const auto refused = requests.OnDropFiles({dir.File("kits/a.fxp")});
    ASSERT_TRUE(refused && !refused->written);
    shown.Show(*refused, "Thump A", false, roomForAll);
    shown.Show(*written, "", false, roomForAll);  // "File only"
    EXPECT_FALSE(views[0].sending || views[1].sending || shown.sending());
    dialogs.sendIncomplete = true;
    clock.HoldFrom(0);  // the send waits for its first message until it is stopped
    shown.Show(*written, "Thump A", false, roomForAll);
    ASSERT_EQ(views.size(), 4U);
    EXPECT_EQ(views[2].line, "Wrote drum-kits.mid: 3 presets, programs 1 to 3. 1 of 3 files is not a complete Tolvin "
                             "preset. Program 3 shows its name as \"Sixteen Char Kit\".");
    EXPECT_EQ(views[2].tip, views[2].line + "\nwarning: \"" + dir.File("kits/short.fxp") +
                                "\" (program 2) is not a complete Tolvin preset (100 of 8600 bytes, 2136 of 2136 "
                                "parameters); converted as it is\nwarning: \"" + dir.File("kits/long.fxp") +
                                "\" (program 3): the module shows its name \"Sixteen Char Kit and more\" as \"Sixteen "
                                "Char Kit\" (cut to 16 characters)");
    ASSERT_TRUE(views[3].sending && shown.sending());
    EXPECT_EQ(views[3].sending->title, "Sending to Thump A");
    std::string lines;
    for (const ProgramLine& line : views[3].sending->programs) {
        lines += std::to_string(line.program) + " " + line.name + " " + line.file + " " +
                 std::string(StateWord(line.state)) + "\n";
    }
    EXPECT_EQ(lines, "1 Rock Kit a.fxp waiting\n2 Rock Kit short.fxp waiting\n3 Sixteen Char Kit long.fxp waiting\n");
    // A name too long for its room gives up its middle.
    EXPECT_EQ(FitStatus(*written, {}, {[](std::string_view name) { return name.size() <= 11; }, fitsAll}).substr(0, 18),
              "Wrote drum\xE2\x80\xA6.mid:");
}

// When the status line is too long for its room, its first sentence gives
// way, never a count after it: the file name is cut in its middle, then left
// out (rather than cut to a few characters), then the programs are; a send's
// account below it stays whole too.
TEST(StatusLine, GivesWayBeforeItsCounts)
{
    RequestOutcome outcome{true, "/kits/Thumpkrate.mid", 50, 3, 1, {}, {"warning: a", "warning: b"}, 2, {}, {}};
    const std::string notes = " 1 file past the 50th left out. Presets past program 50 all went to program 50."
                              " 2 of 50 files are not complete Tolvin presets.";
    const std::string wrote = "Wrote Thumpkrate.mid: 50 presets, programs 4 to 50.";
    const struct {
        std::size_t room;  // bytes the text may take
        std::string after;
        std::string line;
    } cases[] = {
        {1000, "", wrote + notes},
        {wrote.size() + notes.size() - 4, "", "Wrote Thum\xE2\x80\xA6mid: 50 presets, programs 4 to 50." + notes},
        {wrote.size() + notes.size() - 9, "", "Wrote 50 presets, programs 4 to 50." + notes},
        {20 + notes.size(), "", "Wrote 50 presets." + notes},
        {5, "", "Wrote 50 presets." + notes},
        {1000, "Sent 50 presets to Thump B.", wrote + notes + "\nSent 50 presets to Thump B."},
        {36 + notes.size() + 28, "Sent 50 presets to Thump B.",
         "Wrote 50 presets, programs 4 to 50." + notes + "\nSent 50 presets to Thump B."},
    };
    for (const auto& row : cases) {
        const StatusRoom fitting{[](std::string_view) { return true; },
                                 [&row](std::string_view text) { return text.size() <= row.room; }};
        EXPECT_EQ(FitStatus(outcome, row.after, fitting), row.line) << row.room;
    }
    // A note for each preset the conversion changed, two at most; then their count.
    outcome.notes = {"program 4 shows its name as \"A\"", "program 5: 2 parameters outside 0 to 1"};
    EXPECT_EQ(StatusLine(outcome), wrote + notes + " Program 4 shows its name as \"A\". Program 5: 2 parameters "
                                                   "outside 0 to 1.");
    outcome.notes.emplace_back("program 6 shows its name as \"B\"");
    EXPECT_EQ(StatusLine(outcome), wrote + notes + " The conversion changed 3 presets; the warnings say how.");
}

}  // namespace
}  // namespace t2tk::app
