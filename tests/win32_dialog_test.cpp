// The Win32 dialog under Wine, driven by window messages from inside the test,
// with fake request dialogs, ports and clock, and the settings in a temporary
// folder. The rules have tests of their own: these check what the Win32 layer
// could get wrong.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>

#include "app/ini_settings_store.h"
#include "app/send_status.h"
#include "app/win32/converter_dialog.h"
#include "app/win32/resource.h"
#include "app/win32/win32_request_dialogs.h"
#include "files/utf16.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/fake_ports.h"
#include "tests/support/test_support.h"

namespace t2tk::app {
namespace {

namespace fs = std::filesystem;

fs::path Path(const std::string& utf8)
{
    return fs::path(Utf16(utf8));
}

std::string Text(HWND window)
{
    wchar_t text[1024] = {};
    ::GetWindowTextW(window, text, 1024);
    std::wstring shown(text);
    std::erase(shown, L'\x200B');  // where the status line may break, which shows as nothing
    return Utf8(shown);
}

// What a cell of the progress window's list shows.
std::string Cell(HWND list, int row, int column)
{
    wchar_t text[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = 256;
    ::SendMessageW(list, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return Utf8(text);
}

class Win32DialogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeDialogs dialogs;
    test::FakeClock clock;
    test::FakePorts ports{clock};
    std::unique_ptr<IniSettingsStore> settings = std::make_unique<IniSettingsStore>(dir.File("t2tk.ini"));
    std::unique_ptr<ConverterDialog> dialog;
    HWND window = nullptr;

    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                    ICC_LISTVIEW_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void TearDown() override
    {
        if (::IsWindow(window)) {
            dialogs.stopAnswers = {true};
            ::DestroyWindow(window);
        }
    }
    void Open(std::vector<std::string> commandLine = {})
    {
        dialog = std::make_unique<ConverterDialog>(*settings, dialogs, std::move(commandLine), ports, clock);
        window = dialog->Create();
        ASSERT_NE(window, nullptr);
    }
    HWND Item(int id) const { return ::GetDlgItem(window, id); }
    std::string Field() const { return Text(Item(IDC_PROGRAM)); }
    // Files dropped on the window, as the shell hands them over.
    void Drop(const std::vector<std::string>& paths)
    {
        std::wstring names;
        for (const std::string& path : paths) {
            names += Utf16(path) + L'\0';
        }
        names += L'\0';
        HGLOBAL memory = ::GlobalAlloc(GHND, sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
        auto* drop = static_cast<DROPFILES*>(::GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        std::copy(names.begin(), names.end(), reinterpret_cast<wchar_t*>(drop + 1));
        ::GlobalUnlock(memory);
        ::SendMessageW(window, WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    // Handles what is queued, as the message loop would.
    void Dispatch()
    {
        MSG message{};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!::IsWindow(window) || !::IsDialogMessageW(window, &message)) {
                ::TranslateMessage(&message);
                ::DispatchMessageW(&message);
            }
        }
    }
    // Handles what is queued until done says so.
    template <typename Done>
    bool Pump(Done done)
    {
        for (int round = 0; round < 2000 && !done(); ++round) {
            Dispatch();
            ::Sleep(1);
        }
        return done();
    }
    // A key as the user presses it, down and up; the message loop makes the
    // character of it, and handles what the keys bring about and what that does.
    void Key(HWND target, UINT key)
    {
        ::PostMessageW(target, WM_KEYDOWN, key, 0);
        ::PostMessageW(target, WM_KEYUP, key, (1 << 30) | (1u << 31));
        for (int round = 0; round < 3; ++round) {
            Dispatch();
        }
    }
};

const std::string kCorpus = T2TK_CORPUS_DIR;

// However the program is set, the field shows it. Typed key by key (< is
// Left, \b Backspace), what is typed stays, with the caret (|) where it was,
// but above 50; the field says the program in use once the focus leaves it,
// or when a drop comes while it still has it, and the drop converts to that.
// A key on the slider moves one program, a page five, the wheel three a notch
// (as on the Qt dialog); a release after a drag is taken too.
TEST_F(Win32DialogTest, FieldAndSliderFollowEachOther)
{
    Open();
    ::ShowWindow(window, SW_SHOW);
    EXPECT_EQ(Field(), "1");
    HWND field = Item(IDC_PROGRAM);
    HWND slider = Item(IDC_PROGRAM_SLIDER);
    const struct {
        const char* keys;
        const char* typing;
        const char* field;
        bool leave;
    } cases[] = {{"", "|", "2", true},      {"0", "0|", "2", true},       {"00", "00|", "2", true},
                 {"05", "05|", "5", true},  {"010", "010|", "10", true},  {"15<\b", "|5", "5", true},
                 {"51", "50|", "50", true}, {"10<<6", "5|0", "50", true}, {"abc", "|", "2", true},  // refused
                 {"05", "05|", "5", false}};
    for (const auto& c : cases) {
        ::SetFocus(slider);
        ::SetWindowTextW(field, L"2");
        ::SetFocus(field);
        ::SetWindowTextW(field, L"");
        for (const char* key = c.keys; *key != '\0'; ++key) {
            if (*key == '<' || *key == '\b') {
                Key(field, *key == '<' ? VK_LEFT : VK_BACK);
            } else {
                ::SendMessageW(field, WM_CHAR, static_cast<WPARAM>(*key), 0);
            }
        }
        DWORD caret = 0;
        ::SendMessageW(field, EM_GETSEL, 0, reinterpret_cast<LPARAM>(&caret));
        EXPECT_EQ(Field().insert(caret, "|"), c.typing) << c.keys;
        if (c.leave) {
            ::SetFocus(slider);
            EXPECT_EQ(Field(), c.field) << c.keys;
        }
        dialogs.saveResults = {dir.File("out.mid")};
        Drop({kCorpus + "/in-range.fxp"});
        EXPECT_EQ(Field(), c.field) << c.keys;
        EXPECT_EQ(test::ReadBytes(dir.File("out.mid")).at(77), std::stoi(c.field) - 1) << c.keys;
    }
    ::SetWindowTextW(field, L"12");
    EXPECT_EQ(::SendMessageW(slider, TBM_GETPOS, 0, 0), 1100);
    ::SetFocus(slider);
    Key(slider, VK_RIGHT);
    EXPECT_EQ(Field(), "13");
    Key(slider, VK_NEXT);  // PageDown
    EXPECT_EQ(Field(), "18");
    ::SendMessageW(slider, WM_MOUSEWHEEL, MAKEWPARAM(0, 3 * WHEEL_DELTA), 0);
    EXPECT_EQ(Field(), "27");
    ::SendMessageW(slider, TBM_SETPOS, TRUE, 4899);
    NMHDR released{slider, IDC_PROGRAM_SLIDER, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    ::SendMessageW(window, WM_NOTIFY, IDC_PROGRAM_SLIDER, reinterpret_cast<LPARAM>(&released));
    EXPECT_EQ(Field(), "49");
}

// The switches carry their own text: a click on it toggles the box.
TEST_F(Win32DialogTest, ASwitchTogglesByItsText)
{
    Open();
    ::ShowWindow(window, SW_SHOW);
    HWND samePath = Item(IDC_SAME_PATH);
    RECT box{};
    ::GetClientRect(samePath, &box);
    const LPARAM onText = MAKELPARAM(box.right * 2 / 3, box.bottom / 2);
    ::SendMessageW(samePath, WM_LBUTTONDOWN, MK_LBUTTON, onText);
    ::SendMessageW(samePath, WM_LBUTTONUP, 0, onText);
    EXPECT_EQ(::SendMessageW(samePath, BM_GETCHECK, 0, 0), BST_CHECKED);
}

// A dropped preset, named in any script and at any length Windows allows,
// gives the Linux build's bytes to the byte: the corpus holds them, for
// program 18 in compatibility mode.
TEST_F(Win32DialogTest, DropConvertsWithTheSwitchesAndTheProgram)
{
    std::string japanese = dir.File("\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0");  // "ドラム"
    while (japanese.size() < 300) {
        japanese += "/\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0";
    }
    Open();
    ::SetWindowTextW(Item(IDC_PROGRAM), L"18");
    ::SendMessageW(Item(IDC_COMPATIBILITY), BM_CLICK, 0, 0);
    for (const std::string& folder : {dir.File("K\xC3\xBC" "che"), japanese}) {
        const std::string preset = folder + "/\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0.fxp";
        fs::create_directories(Path(folder));
        fs::copy_file(Path(kCorpus + "/in-range.fxp"), Path(preset));
        dialogs.saveResults = {folder + "/out.mid"};
        Drop({preset});
        EXPECT_EQ(dialogs.suggestions.back(), folder + "/\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0.mid");
        EXPECT_EQ(test::ReadBytes(folder + "/out.mid"), test::ReadBytes(kCorpus + "/in-range-compatible.mid"))
            << folder.size();
    }
    EXPECT_TRUE(dialogs.errors.empty()) << dialogs.errors.front();
}

// A drop while the save dialog is up is let go; a long name is cut in its
// middle in the status line, whole in its tooltip.
TEST_F(Win32DialogTest, StatusLineAndDropsWhileSaving)
{
    Open();
    const std::string name = std::string(150, 'k') + ".mid";
    dialogs.saveResults = {dir.File(name)};
    dialogs.whileSaving = [this] {
        dialogs.whileSaving = nullptr;
        Drop({kCorpus + "/edges.fxp"});
    };
    Drop({kCorpus + "/in-range.fxp"});
    EXPECT_EQ(dialogs.suggestions.size(), 1U);
    const std::string status = Text(Item(IDC_STATUS));
    EXPECT_NE(status.find("kk\xE2\x80\xA6kk"), std::string::npos) << status;  // cut in the middle
    wchar_t tip[1024] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = window;
    tool.uId = reinterpret_cast<UINT_PTR>(Item(IDC_STATUS));
    tool.lpszText = tip;
    HWND tooltip = ::FindWindowExW(nullptr, nullptr, TOOLTIPS_CLASSW, nullptr);
    ::SendMessageW(tooltip, TTM_GETTEXTW, 1024, reinterpret_cast<LPARAM>(&tool));
    EXPECT_NE(Utf8(tip).find(name), std::string::npos) << Utf8(tip);

    // 51 presets, two not complete: the first sentence gives way, so that the
    // counts after it show whole in the control.
    std::vector<std::string> presets(51, kCorpus + "/in-range.fxp");
    presets[3] = presets[7] = kCorpus + "/short-100.fxp";
    ::SetWindowTextW(Item(IDC_PROGRAM), L"4");
    dialogs.saveResults = {dir.File(name)};
    Drop(presets);
    const std::string counts = Text(Item(IDC_STATUS));
    EXPECT_TRUE(counts.ends_with(" 1 file past the 50th left out. Presets past program 50 all went to program 50."
                                 " 2 of 50 files are not complete Tolvin presets."))
        << counts;
    HWND control = Item(IDC_STATUS);
    RECT room{};
    ::GetClientRect(control, &room);
    RECT needed = room;
    HDC context = ::GetDC(control);
    ::SelectObject(context, reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    ::DrawTextW(context, Utf16(counts).c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ::ReleaseDC(control, context);
    EXPECT_LE(needed.bottom, room.bottom) << counts;
}

// The save dialog opens in the suggestion's folder, which the dialog takes
// only when shorter than 260 characters: a longer one in its short form, or
// none (a folder not there has no short form).
TEST(Win32DialogFolder, ShorterThan260OrNone)
{
    test::TempDir dir;
    std::string folder = dir.File("k");
    while (folder.size() < 300) {
        folder += "/abcdefghijklmnopqrstuvwxyz";
    }
    fs::create_directories(Path(folder));
    EXPECT_EQ(DialogFolder(dir.File("k")), Utf16(dir.File("k")));
    const std::wstring brief = DialogFolder(folder);
    EXPECT_LT(brief.size(), static_cast<std::size_t>(MAX_PATH));
    EXPECT_TRUE(fs::equivalent(fs::path(brief), Path(folder)));
    EXPECT_EQ(DialogFolder(folder + "/gone"), L"");
}

// "Send to:" lists the ports afresh when it opens; a conversion is sent with a
// progress window whose Cancel stops between two messages; the window stays
// usable, refuses a new conversion meanwhile, and asks before it closes.
TEST_F(Win32DialogTest, SendsToTheChosenPortWithProgressAndCancel)
{
    Open();
    HWND box = Item(IDC_SEND_TO);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEND_TO, CBN_DROPDOWN), reinterpret_cast<LPARAM>(box));
    EXPECT_EQ(::SendMessageW(box, CB_GETCOUNT, 0, 0), 3);
    ::SendMessageW(box, CB_SETCURSEL, 2, 0);
    ::SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDC_SEND_TO, CBN_SELCHANGE), reinterpret_cast<LPARAM>(box));

    dialogs.saveResults = {dir.File("one.mid")};
    Drop({kCorpus + "/in-range.fxp"});
    ASSERT_TRUE(Pump([this] { return dialog->sendingWindow() == nullptr; }));
    EXPECT_EQ(ports.opened, "Thump B");
    EXPECT_EQ(test::Concat(ports.Messages()), test::ReadBytes(kCorpus + "/in-range.syx"));
    EXPECT_NE(Text(Item(IDC_STATUS)).find("\r\nSent 1 preset to Thump B."), std::string::npos)
        << Text(Item(IDC_STATUS));

    // Two presets whose long names differ at their end, held in a send.
    const std::string kick = dir.File("A very long preset name for the big kick drum take ");
    const auto hold = [&, this] {
        clock.HoldFrom(5);
        dialogs.saveResults = {dir.File("two.mid")};
        Drop({kick + "1.fxp", kick + "2.fxp"});
        clock.WaitUntilHeld();
        return Pump([this] {
            return dialog->sendingWindow() != nullptr &&
                   Text(::GetDlgItem(dialog->sendingWindow(), IDC_SENDING_TEXT)).rfind("Sending In Range to program 1", 0) == 0;
        });
    };
    for (const char* take : {"1.fxp", "2.fxp"}) {
        fs::copy_file(Path(kCorpus + "/in-range.fxp"), Path(kick + take));
    }
    ASSERT_TRUE(hold());
    HWND list = ::GetDlgItem(dialog->sendingWindow(), IDC_SENDING_LIST);
    const auto width = [list](const std::string& text) {
        return ::SendMessageW(list, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Utf16(text).c_str()));
    };
    // A file name cut in its middle to fit its column, the heading whole, and
    // the rows whole: the list's height below its heading is so many rows.
    EXPECT_EQ(Cell(list, 0, 3), "sending");
    for (int i = 0; i < 2; ++i) {
        const std::string file = Cell(list, i, 2);
        EXPECT_TRUE(file.starts_with("A very")) << file;
        EXPECT_TRUE(file.ends_with("\xE2\x80\xA6take " + std::to_string(i + 1) + ".fxp")) << file;
        EXPECT_LT(width(file), ::SendMessageW(list, LVM_GETCOLUMNWIDTH, 2, 0)) << file;
    }
    HWND header = reinterpret_cast<HWND>(::SendMessageW(list, LVM_GETHEADER, 0, 0));
    RECT heading{};
    ::SendMessageW(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&heading));
    SIZE program{};
    HDC context = ::GetDC(header);
    ::SelectObject(context, reinterpret_cast<HFONT>(::SendMessageW(header, WM_GETFONT, 0, 0)));
    ::GetTextExtentPoint32W(context, L"Program", 7, &program);
    ::ReleaseDC(header, context);
    EXPECT_GE(heading.right - heading.left, program.cx + 2 * ::SendMessageW(header, HDM_GETBITMAPMARGIN, 0, 0));
    RECT row{};
    row.left = LVIR_BOUNDS;
    ::SendMessageW(list, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    RECT room{};
    ::GetClientRect(list, &room);
    EXPECT_EQ((room.bottom - heading.bottom) % (row.bottom - row.top), 0) << room.bottom;

    Drop({kCorpus + "/edges.fxp"});
    EXPECT_EQ(dialogs.notices, std::vector<std::string>{kBusySending});
    EXPECT_TRUE(dialogs.errors.empty());
    ::SendMessageW(window, WM_COMMAND, IDCANCEL, 0);  // the close box, answered no
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_EQ(dialogs.stopQuestions, 1);
    EXPECT_NE(::GetWindowLongW(dialog->sendingWindow(), GWL_STYLE) & WS_SYSMENU, 0) << "a close box";

    // Each way to stop the send, from its progress window, is Cancel's: it
    // stops between two messages and the account follows; the window stays
    // until then, a second close included.
    const struct {
        const char* way;
        UINT message;
        WPARAM wParam;
    } ways[] = {{"Cancel", WM_COMMAND, IDCANCEL},
                {"Escape", WM_KEYDOWN, VK_ESCAPE},
                {"close box", WM_SYSCOMMAND, SC_CLOSE},
                {"WM_CLOSE", WM_CLOSE, 0}};
    for (std::size_t i = 0; i < std::size(ways); ++i) {
        if (i > 0) {
            ASSERT_TRUE(hold()) << ways[i].way;
        }
        HWND sending = dialog->sendingWindow();
        if (ways[i].message == WM_COMMAND) {
            ::SendMessageW(::GetDlgItem(sending, IDCANCEL), BM_CLICK, 0, 0);
        } else if (ways[i].message == WM_KEYDOWN) {
            ::SetFocus(::GetDlgItem(sending, IDC_SENDING_LIST));
            Key(::GetDlgItem(sending, IDC_SENDING_LIST), VK_ESCAPE);
        } else {
            ::SendMessageW(sending, ways[i].message, ways[i].wParam, 0);
            ::SendMessageW(sending, ways[i].message, ways[i].wParam, 0);
            EXPECT_TRUE(::IsWindow(sending)) << ways[i].way;
        }
        ASSERT_TRUE(Pump([this] { return dialog->sendingWindow() == nullptr; })) << ways[i].way;
        EXPECT_NE(Text(Item(IDC_STATUS)).find("\r\nSending stopped: 0 of 2 presets were stored completely (not "
                                              "stored: programs 1 and 2)."),
                  std::string::npos)
            << ways[i].way << ": " << Text(Item(IDC_STATUS));
        EXPECT_EQ(ports.Messages().size(), 31U + 5U * (i + 1)) << ways[i].way;
    }
}

// Settings an earlier version kept in the Windows folder are read while the
// new file is not there; Enter closes, and the new file holds them, a stored
// port that is not plugged in too.
TEST_F(Win32DialogTest, EnterClosesAndTheSettingsAreKept)
{
    const std::string earlier = "[t2tk]\nProgram=9\nSendPort=UM-ONE MIDI Out\n";  // a port unplugged now
    test::WriteText(dir.File("windows.ini"), earlier);
    settings = std::make_unique<IniSettingsStore>(dir.File("t2tk.ini"), dir.File("windows.ini"));
    Open();
    EXPECT_EQ(Field(), "10");
    ::SendMessageW(Item(IDC_SAME_PATH), BM_CLICK, 0, 0);
    ::SetFocus(Item(IDC_PROGRAM));
    Key(Item(IDC_PROGRAM), VK_RETURN);
    EXPECT_FALSE(::IsWindow(window));
    IniSettingsStore stored(dir.File("t2tk.ini"));
    EXPECT_EQ(stored.ReadInt("t2tk", "Program", -1), 9);
    EXPECT_EQ(stored.ReadInt("t2tk", "SamePath", -1), 1);
    EXPECT_EQ(stored.ReadInt("t2tk", "Compatibility", -1), 0);
    EXPECT_EQ(stored.ReadText("t2tk", "SendPort"), "UM-ONE MIDI Out");  // kept until another is chosen
}

// Settings that cannot be kept are said once, in the status line, at start:
// a file marked read-only (read all the same), a folder in the file's place.
TEST_F(Win32DialogTest, SettingsThatCannotBeKeptAreSaid)
{
    test::WriteText(dir.File("t2tk.ini"), "[t2tk]\nProgram=4\n");
    ASSERT_NE(::SetFileAttributesW(Path(dir.File("t2tk.ini")).c_str(), FILE_ATTRIBUTE_READONLY), 0);
    fs::create_directory(Path(dir.File("folder.ini")));
    const struct {
        std::string name;
        std::string said;   // what the status line begins with
        std::string field;  // the program shown
    } cases[] = {
        {"t2tk.ini", "Settings will not be kept: ", "5"},
        {"folder.ini",
         "Settings will not be kept: \"" + dir.File("folder.ini") +
             "\" is not a t2tk settings file: not a regular file of at most 65536 bytes.",
         "1"},
    };
    for (const auto& [name, said, field] : cases) {
        settings = std::make_unique<IniSettingsStore>(dir.File(name));
        Open();
        EXPECT_EQ(Text(Item(IDC_STATUS)).rfind(said, 0), 0U) << Text(Item(IDC_STATUS));
        EXPECT_EQ(Field(), field);
        ::DestroyWindow(window);
    }
    ::SetFileAttributesW(Path(dir.File("t2tk.ini")).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// The command line converts and closes; names past the 50th keep the window
// open, since a program started from Explorer has no standard error to say it.
TEST_F(Win32DialogTest, CommandLineConvertsAndCloses)
{
    dialogs.saveResults = {dir.File("out.mid"), dir.File("many.mid")};
    ConverterDialog commandLine(*settings, dialogs, {kCorpus + "/in-range.fxp"}, ports, clock);
    commandLine.DoModal();  // returns at once: the conversion is all
    ASSERT_TRUE(commandLine.commandLineOutcome());
    EXPECT_TRUE(commandLine.commandLineOutcome()->written);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), test::ReadBytes(kCorpus + "/in-range.mid"));

    Open(std::vector<std::string>(51, kCorpus + "/in-range.fxp"));
    EXPECT_TRUE(::IsWindow(window));
    EXPECT_NE(Text(Item(IDC_STATUS)).find("1 file past the 50th left out"), std::string::npos);
}

}  // namespace
}  // namespace t2tk::app
