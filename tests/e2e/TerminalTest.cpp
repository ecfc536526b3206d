// A folder opened in a terminal by the real Pathwink.exe arrives exactly, from the list's
// menu, the switcher's Ctrl+Enter and a tray-menu folder chosen with Shift; the Options page
// offers the terminals there; the list's menu acts on the row it was opened on.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pwtest;

namespace {

enum class Way { ListMenu, SwitcherCtrlEnter, TrayMenuShift };

const std::wstring kFolders[] = {L"C:\\", L"a & b %PATH% 'q' ^;x", L"Caf\u00E9 \u6587\u6863",
                                 L"gone"};

// The recorder stands for Windows Terminal (its app command under a folder that stands for
// the user's local application data) and, by its path, for a program of the user's own.
class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = MakeTempFolder(L"pwterm");
        ASSERT_FALSE(base_.empty());
        for (auto sub :
             {kFolders[1].c_str(), kFolders[2].c_str(), L"Microsoft", L"Microsoft\\WindowsApps"})
            CreateDirectoryW((base_ + L"\\" + sub).c_str(), nullptr);
        const std::string built = BuiltPathwink();
        ASSERT_TRUE(
            CopyFileW(Wide(built.substr(0, built.rfind('\\')) + "\\terminal_recorder.exe").c_str(),
                      Recorder().c_str(), FALSE));
        wchar_t local[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
        localAppData_ = local;
        SetEnvironmentVariableW(L"LOCALAPPDATA", base_.c_str());
    }
    void TearDown() override {
        app_.reset();
        SetEnvironmentVariableW(L"LOCALAPPDATA", localAppData_.c_str());
        RemoveTree(base_);
    }
    std::wstring Path(int i) const { return i == 0 ? kFolders[0] : base_ + L"\\" + kFolders[i]; }
    std::wstring Recorder() const { return base_ + L"\\Microsoft\\WindowsApps\\wt.exe"; }
    std::wstring Record() const { return base_ + L"\\Microsoft\\WindowsApps\\started.txt"; }

    // Pathwink with every folder of the table as a shortcut and terminal as the option.
    void StartWith(const std::wstring& terminal) {
        std::wstring ini =
            Wide(kQuiet) + L"Terminal=" + terminal + L"\r\n[Shortcuts]\r\nCount=4\r\n";
        for (int i = 0; i < 4; ++i)
            ini += std::to_wstring(i) + L"Path=" + Path(i) + L"\r\n";
        app_ = std::make_unique<PathwinkProcess>(Utf8(ini));
        ASSERT_TRUE(app_->Start());
    }
    // Folder i is the list's row i (and the tray menu's entry i): they keep the file's order.
    void Open(Way way, int folder) const {
        if (way == Way::ListMenu) {
            app_->SelectRow(folder);
            app_->Focus(app_->ShortcutList());
            TypeKey(VK_F10, false, false, true); // Shift+F10
            ASSERT_TRUE(app_->WaitForMenu()) << "no menu on the list";
            TypeKey('T'); // "Open in &Terminal"
        } else if (way == Way::SwitcherCtrlEnter) {
            TypeKey(VK_SPACE, true, true);
            ASSERT_TRUE(app_->WaitForWindow("PathwinkFolderSwitcher", nullptr));
            TypeCharacters(kFolders[folder]);
            TypeKey(VK_RETURN, true);
        } else {
            app_->TrayNotify(WM_RBUTTONUP);
            ASSERT_TRUE(app_->WaitForMenu());
            for (int i = 0; i <= folder; ++i)
                TypeKey(VK_DOWN);
            TypeKey(VK_RETURN, false, false, true);
        }
    }

    std::wstring base_, localAppData_;
    std::unique_ptr<PathwinkProcess> app_;
};

} // namespace

TEST_F(Terminal, EveryPathArrivesExactlyAsWorkingDirectoryAndWindowsTerminalsArgument) {
    const std::wstring none = base_ + L"\\none.exe", wt = L"WindowsTerminal", d = L"\n-d\n";
    const struct {
        std::wstring terminal;
        Way way;
        int folder;
        std::wstring started; // the working directory, then each argument
        std::string told;     // or the beginning of what is told instead
    } rows[] = {
        {Recorder(), Way::ListMenu, 1, Path(1), ""},
        {Recorder(), Way::ListMenu, 3, L"", "The folder \"" + Utf8(Path(3)) + "\" does not"},
        // Windows Terminal reads "\;" as ';' and splits its commands at any other ';'.
        {wt, Way::ListMenu, 0, L"C:\\" + d + L"C:\\", ""},
        {L"windowsterminal", Way::SwitcherCtrlEnter, 1,
         Path(1) + d + base_ + L"\\a & b %PATH% 'q' ^\\;x", ""},
        {wt, Way::TrayMenuShift, 2, Path(2) + d + Path(2), ""},
        {none, Way::ListMenu, 1, L"",
         "Pathwink could not start the terminal \"" + Utf8(none) + "\" in the folder \"" +
             Utf8(Path(1)) + "\".\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.terminal) + " opening " + Utf8(Path(row.folder)));
        if (!app_ || Wide(app_->Profile("Options", "Terminal")) != row.terminal)
            StartWith(row.terminal);
        DeleteFileW(Record().c_str());
        Open(row.way, row.folder);
        if (!row.told.empty()) {
            const HWND box = app_->WaitForMessage("Pathwink", row.told);
            ASSERT_TRUE(box);
            Press(box, IDOK);
            continue;
        }
        EXPECT_TRUE(WaitUntil([&] { return FileBytes(Record()).has_value(); }, 10000))
            << "the terminal did not start; shown: " << app_->Shown();
        EXPECT_EQ(FileBytes(Record()), Utf8(row.started));
    }
}

TEST_F(Terminal, TheOptionsPageChoosesTheFirstTerminalThereAndSavesAProgramPicked) {
    StartWith(L"");
    app_->MakePages();
    HWND box = FindChildByClass(app_->MainWindow(), "ComboBox");
    EXPECT_EQ(WideText(box), L"Windows Terminal");
    app_->Focus(box);
    TypeKey(VK_END); // "Other program..." picks any program
    HWND dialog = app_->WaitForDialog("Terminal program");
    ASSERT_TRUE(dialog) << "no Open dialog";
    SendMessageW(FindChildByClass(GetDlgItem(dialog, 0x47C), "Edit"), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(Recorder().c_str()));
    app_->Click(GetDlgItem(dialog, IDOK));
    EXPECT_TRUE(WaitUntil([&] { return WideText(box) == Recorder(); })) << Utf8(WideText(box));
    EXPECT_EQ(SendMessageW(box, CB_GETCOUNT, 0, 0), 5) << "the program beside the four entries";
    ASSERT_TRUE(app_->ClosedWithin(10000));
    EXPECT_EQ(Wide(app_->Profile("Options", "Terminal")), Recorder());
}

TEST_F(Terminal, TheListsMenuCopiesOpensDeletesAndEditsTheRowRightClicked) {
    StartWith(Recorder());
    app_->ChooseFromTrayMenu(5); // Configure Shortcuts, after the four folders
    ASSERT_TRUE(WaitUntil([&] { return app_->ActivePage() == 0; }));
    std::vector<std::wstring> kept = app_->WideRows();
    kept.pop_back(); // the rows left when folder 3, the last, is deleted
    for (const char key : {'C', 'O', 'D', 'E'}) { // each entry's mnemonic
        SCOPED_TRACE(std::string(1, key));
        const int folder = key == 'D' ? 3 : 2;
        app_->SelectRow(1); // a right click selects the row under it
        RECT r;
        SendMessageW(app_->ShortcutList(), LB_GETITEMRECT, folder, reinterpret_cast<LPARAM>(&r));
        POINT at{r.left + 20, r.top + 2};
        ClientToScreen(app_->ShortcutList(), &at);
        SetForegroundWindow(app_->MainWindow());
        ClickAt(at, MOUSEEVENTF_RIGHTDOWN);
        ASSERT_TRUE(app_->WaitForMenu()) << "no menu";
        EXPECT_EQ(app_->SelectedRow(), folder);
        TypeKey(key);
        if (key == 'C')
            EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == Path(folder); }));
        else if (key == 'O')
            EXPECT_TRUE(WaitAndCloseExplorer(Utf8(Path(folder))));
        else if (key == 'D')
            EXPECT_TRUE(WaitUntil([&] { return app_->WideRows() == kept; }));
        else
            EXPECT_TRUE(app_->WaitForEditorWith(kEditCaption, Utf8(Path(folder))));
    }
}
