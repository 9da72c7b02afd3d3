// The Win32 dialog under Wine, driven by window messages from inside the test,
// with fake request dialogs and the settings in a temporary folder. The rules
// have tests of their own: these check what the Win32 layer could get wrong.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <filesystem>

#include "app/win32/converter_dialog.h"
#include "app/ini_settings_store.h"
#include "app/win32/resource.h"
#include "convert/utf16.h"
#include "tests/support/fake_dialogs.h"
#include "tests/support/test_support.h"

namespace t2tk::app {
namespace {

namespace fs = std::filesystem;

fs::path Path(const std::string& utf8)
{
    return fs::path(Utf16(utf8));
}

class Win32DialogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::FakeDialogs dialogs;
    std::unique_ptr<IniSettingsStore> settings = std::make_unique<IniSettingsStore>(dir.File("t2tk.ini"));
    std::unique_ptr<ConverterDialog> dialog;
    HWND window = nullptr;

    static void SetUpTestSuite()
    {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
    }
    void TearDown() override
    {
        if (::IsWindow(window)) {
            ::DestroyWindow(window);
        }
    }
    void Open()
    {
        dialog = std::make_unique<ConverterDialog>(*settings, dialogs);
        window = dialog->Create();
        ASSERT_NE(window, nullptr);
    }
    HWND Item(int id) const { return ::GetDlgItem(window, id); }
    std::string Field() const
    {
        wchar_t text[16] = {};
        ::GetWindowTextW(Item(IDC_PROGRAM), text, 16);
        return Utf8(text);
    }
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
};

const std::string kCorpus = T2TK_CORPUS_DIR;

TEST_F(Win32DialogTest, FieldAndSliderFollowEachOther)
{
    Open();
    EXPECT_EQ(Field(), "1");
    ::SetWindowTextW(Item(IDC_PROGRAM), L"12");
    EXPECT_EQ(::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_GETPOS, 0, 0), 1100);
    ::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_SETPOS, TRUE, 4899);
    NMHDR released{Item(IDC_PROGRAM_SLIDER), IDC_PROGRAM_SLIDER, static_cast<UINT>(NM_RELEASEDCAPTURE)};
    ::SendMessageW(window, WM_NOTIFY, IDC_PROGRAM_SLIDER, reinterpret_cast<LPARAM>(&released));
    EXPECT_EQ(Field(), "49");
    ::SendMessageW(Item(IDC_PROGRAM_SLIDER), TBM_SETPOS, TRUE, 700);  // a key moved it, no release
    ::SendMessageW(window, WM_HSCROLL, TB_LINEDOWN, reinterpret_cast<LPARAM>(Item(IDC_PROGRAM_SLIDER)));
    EXPECT_EQ(Field(), "8");
}

// A dropped preset, named in any script, gives the Linux build's bytes to the
// byte: the corpus holds them, for program 18 in compatibility mode.
TEST_F(Win32DialogTest, DropConvertsWithTheSwitchesAndTheProgram)
{
    const std::string folder = dir.File("K\xC3\xBC" "che");
    const std::string preset = folder + "/\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0.fxp";  // "Küche/ドラム.fxp"
    fs::create_directory(Path(folder));
    fs::copy_file(Path(kCorpus + "/in-range.fxp"), Path(preset));
    Open();
    ::SetWindowTextW(Item(IDC_PROGRAM), L"18");
    ::SendMessageW(Item(IDC_COMPATIBILITY), BM_CLICK, 0, 0);
    dialogs.saveResults = {folder + "/out.mid"};
    Drop({preset});
    EXPECT_EQ(dialogs.suggestions, std::vector<std::string>{folder + "/\xE3\x83\x89\xE3\x83\xA9\xE3\x83\xA0.mid"});
    EXPECT_EQ(test::ReadBytes(folder + "/out.mid"), test::ReadBytes(kCorpus + "/in-range-compatible.mid"));
}

// Settings an earlier version kept in the Windows folder are read while the
// new file is not there; Enter closes, and the new file holds them.
TEST_F(Win32DialogTest, EnterClosesAndTheSettingsAreKept)
{
    test::WriteBytes(dir.File("windows.ini"), {'[', 't', '2', 't', 'k', ']', '\n', 'P', 'r', 'o', 'g', 'r', 'a', 'm', '=',
                                               '9', '\n'});
    settings = std::make_unique<IniSettingsStore>(dir.File("t2tk.ini"), dir.File("windows.ini"));
    Open();
    EXPECT_EQ(Field(), "10");
    ::SendMessageW(Item(IDC_SAME_PATH), BM_CLICK, 0, 0);
    ::SetFocus(Item(IDC_PROGRAM));
    ::PostMessageW(Item(IDC_PROGRAM), WM_KEYDOWN, VK_RETURN, 0);
    MSG message{};
    while (::IsWindow(window) && ::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (!::IsDialogMessageW(window, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    EXPECT_FALSE(::IsWindow(window));
    IniSettingsStore stored(dir.File("t2tk.ini"));
    EXPECT_EQ(stored.ReadInt("t2tk", "Program", -1), 9);
    EXPECT_EQ(stored.ReadInt("t2tk", "SamePath", -1), 1);
    EXPECT_EQ(stored.ReadInt("t2tk", "Compatibility", -1), 0);
}

TEST_F(Win32DialogTest, CommandLineConvertsAndCloses)
{
    dialogs.saveResults = {dir.File("out.mid")};
    ConverterDialog commandLine(*settings, dialogs, {kCorpus + "/in-range.fxp"});
    commandLine.DoModal();  // returns at once: the conversion is all
    ASSERT_TRUE(commandLine.commandLineOutcome());
    EXPECT_TRUE(commandLine.commandLineOutcome()->written);
    EXPECT_EQ(test::ReadBytes(dir.File("out.mid")), test::ReadBytes(kCorpus + "/in-range.mid"));
}

}  // namespace
}  // namespace t2tk::app
