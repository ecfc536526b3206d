// A folder opened in a terminal by the real Pathwink.exe, from the list's menu, the
// switcher's Ctrl+Enter and a tray-menu folder chosen with Shift: the terminal (a
// recorder that writes how it was started) gets the folder as its working directory
// and, as Windows Terminal, as its -d argument, exactly, for a drive root, a path of
// the characters a shell would read, and one in other scripts; a missing folder and
// a terminal that cannot start are told. The Options page lists the terminals there,
// the first chosen, and a program the user picks. The list's menu acts on the row.

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

class Terminal : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = MakeTempFolder(L"pwterm");
        ASSERT_FALSE(base_.empty());
        for (int i : {1, 2})
            CreateDirectoryW(Path(i).c_str(), nullptr);
        // The recorder as another program, and as Windows Terminal's app command under
        // a folder that stands for the user's local application data.
        CreateDirectoryW((base_ + L"\\Microsoft").c_str(), nullptr);
        CreateDirectoryW((base_ + L"\\Microsoft\\WindowsApps").c_str(), nullptr);
        const std::wstring pathwink = Wide(BuiltPathwink());
        const std::wstring built =
            pathwink.substr(0, pathwink.rfind(L'\\')) + L"\\terminal_recorder.exe";
        ASSERT_TRUE(CopyFileW(built.c_str(), OtherProgram().c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(built.c_str(), WindowsTerminal().c_str(), FALSE));
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
    std::wstring OtherProgram() const { return base_ + L"\\terminal.exe"; }
    std::wstring WindowsTerminal() const { return base_ + L"\\Microsoft\\WindowsApps\\wt.exe"; }

    // Pathwink with every folder of the table as a shortcut and terminal as the option.
    void StartWith(const std::wstring& terminal) {
        std::wstring ini = L"\xFEFF[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\nTerminal=" +
                           terminal + L"\r\n[Shortcuts]\r\nCount=4\r\n";
        for (int i = 0; i < 4; ++i)
            ini += std::to_wstring(i) + L"Path=" + Path(i) + L"\r\n";
        app_ = std::make_unique<PathwinkProcess>(
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
        ASSERT_TRUE(app_->Start());
    }
    // The list's row (and so the tray menu's entry) of folder i.
    int RowOf(int i) const {
        const std::vector<std::wstring> rows = app_->WideRows();
        for (size_t row = 0; row < rows.size(); ++row)
            if (rows[row].substr(rows[row].find(L'\t') + 1) == Path(i))
                return static_cast<int>(row);
        return -1;
    }

    void Open(Way way, int folder) const {
        const int row = RowOf(folder);
        ASSERT_GE(row, 0);
        if (way == Way::ListMenu) {
            app_->SelectRow(row);
            app_->Focus(app_->ShortcutList());
            TypeKey(VK_F10, false, false, true); // Shift+F10
            ASSERT_TRUE(app_->WaitForMenu()) << "no menu on the list";
            TypeKey('T'); // "Open in &Terminal"
        } else if (way == Way::SwitcherCtrlEnter) {
            TypeKey(VK_SPACE, true, true);
            HWND switcher = app_->WaitForWindow("PathwinkFolderSwitcher", nullptr);
            ASSERT_TRUE(switcher);
            TypeCharacters(kFolders[folder]);
            ASSERT_TRUE(WaitUntil([&] {
                return SendMessageW(FindChildByClass(switcher, "ListBox"), LB_GETCOUNT, 0, 0) == 1;
            }));
            TypeKey(VK_RETURN, true);
        } else {
            app_->TrayNotify(WM_RBUTTONUP);
            ASSERT_TRUE(app_->WaitForMenu());
            PressOrRelease(VK_SHIFT, false);
            for (int i = 0; i <= row; ++i)
                TypeKey(VK_DOWN);
            TypeKey(VK_RETURN);
            PressOrRelease(VK_SHIFT, true);
        }
    }

    std::wstring base_, localAppData_;
    std::unique_ptr<PathwinkProcess> app_;
};

} // namespace

TEST_F(Terminal, EveryPathArrivesExactlyAsWorkingDirectoryAndWindowsTerminalsArgument) {
    const std::wstring none = base_ + L"\\none.exe", wt = L"WindowsTerminal";
    const struct {
        std::wstring terminal;
        Way way;
        int folder;
        const wchar_t* dArgument; // what Windows Terminal gets after -d, under the base
        std::string told;         // what is told instead, its beginning
    } rows[] = {
        {OtherProgram(), Way::ListMenu, 0, nullptr, ""},
        {OtherProgram(), Way::SwitcherCtrlEnter, 1, nullptr, ""},
        {OtherProgram(), Way::TrayMenuShift, 2, nullptr, ""},
        // Windows Terminal reads "\;" as ';' and splits its commands at any other ';'.
        {wt, Way::ListMenu, 0, L"", ""},
        {L"windowsterminal", Way::SwitcherCtrlEnter, 1, L"a & b %PATH% 'q' ^\\;x", ""},
        {wt, Way::TrayMenuShift, 2, kFolders[2].c_str(), ""},
        {OtherProgram(), Way::ListMenu, 3, nullptr,
         "The folder \"" + Utf8(Path(3)) + "\" does not"},
        {none, Way::ListMenu, 1, nullptr,
         "Pathwink could not start the terminal \"" + Utf8(none) + "\" in the folder \"" +
             Utf8(Path(1)) + "\".\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(Utf8(row.terminal) + " opening " + Utf8(Path(row.folder)));
        if (!app_ || Wide(app_->Profile("Options", "Terminal")) != row.terminal)
            StartWith(row.terminal);
        const std::wstring program = row.dArgument ? WindowsTerminal() : OtherProgram();
        const std::wstring record = program.substr(0, program.rfind(L'\\')) + L"\\started.txt";
        DeleteFileW(record.c_str());
        Open(row.way, row.folder);
        if (!row.told.empty()) {
            HWND box = app_->WaitForDialog("Pathwink");
            ASSERT_TRUE(box) << "nothing told";
            EXPECT_EQ(BoxTextUtf8(box).substr(0, row.told.size()), row.told);
            Press(box, IDOK);
            continue;
        }
        std::optional<std::string> started;
        ASSERT_TRUE(WaitUntil([&] { return (started = FileBytes(record)).has_value(); }, 10000))
            << "the terminal did not start; shown: " << app_->Shown();
        std::wstring expected = Path(row.folder); // the working directory, then the arguments
        if (row.dArgument)
            expected += L"\n-d\n" + (row.folder ? base_ + L"\\" + row.dArgument : Path(0));
        EXPECT_EQ(*started, Utf8(expected));
    }
}

TEST_F(Terminal, TheOptionsPageListsTheTerminalsThereTheFirstChosenAndAProgramPicked) {
    StartWith(L"");
    app_->MakePages();
    HWND box = FindChildByClass(app_->MainWindow(), "ComboBox");
    auto entries = [box] {
        std::vector<std::string> texts;
        for (LRESULT i = 0, n = SendMessageW(box, CB_GETCOUNT, 0, 0); i < n; ++i) {
            wchar_t text[MAX_PATH] = L"";
            SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(Utf8(text));
        }
        return texts;
    };
    std::vector<std::string> shown{"Windows Terminal", "PowerShell", "Command Prompt",
                                   "Other program..."};
    EXPECT_EQ(entries(), shown);
    EXPECT_EQ(SendMessageW(box, CB_GETCURSEL, 0, 0), 0) << "the first that is there";

    // The last entry picks any program; the box then shows it, chosen, and it is saved.
    app_->Focus(box);
    TypeKey(VK_END);
    HWND dialog = app_->WaitForDialog("Terminal program");
    ASSERT_TRUE(dialog) << "no Open dialog";
    SendMessageW(FindChildByClass(GetDlgItem(dialog, 0x47C), "Edit"), WM_SETTEXT, 0,
                 reinterpret_cast<LPARAM>(OtherProgram().c_str()));
    app_->Click(GetDlgItem(dialog, IDOK));
    shown.insert(shown.end() - 1, Utf8(OtherProgram()));
    EXPECT_TRUE(WaitUntil([&] { return entries() == shown; })) << Listed(entries());
    EXPECT_EQ(SendMessageW(box, CB_GETCURSEL, 0, 0), 3);
    SendMessageW(app_->MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app_->WaitForExit());
    EXPECT_EQ(Wide(app_->Profile("Options", "Terminal")), OtherProgram());
}

TEST_F(Terminal, TheListsMenuCopiesOpensEditsAndDeletesTheRowItWasOpenedOn) {
    StartWith(OtherProgram());
    app_->ChooseFromTrayMenu(5); // Configure Shortcuts, after the four folders
    ASSERT_TRUE(WaitUntil([&] { return app_->ActivePage() == 0; }));
    for (const WORD key : {'C', 'O', 'E', 'D'}) { // each entry's mnemonic
        SCOPED_TRACE(std::string(1, char(key)));
        app_->SelectRow(RowOf(1));
        if (key == 'E') { // the menu key: the selected row's menu
            app_->Focus(app_->ShortcutList());
            TypeKey(VK_APPS);
        } else { // a right click selects the row under it
            RECT r;
            SendMessageW(app_->ShortcutList(), LB_GETITEMRECT, RowOf(2),
                         reinterpret_cast<LPARAM>(&r));
            POINT at{r.left + 20, r.top + 2};
            ClientToScreen(app_->ShortcutList(), &at);
            SetForegroundWindow(app_->MainWindow());
            ClickAt(at, MOUSEEVENTF_RIGHTDOWN);
        }
        ASSERT_TRUE(app_->WaitForMenu()) << "no menu";
        const int folder = key == 'E' ? 1 : 2;
        EXPECT_EQ(app_->SelectedRow(), RowOf(folder));
        TypeKey(key);
        if (key == 'C') {
            EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == Path(folder); }));
        } else if (key == 'O') {
            EXPECT_TRUE(WaitAndCloseExplorer(Utf8(Path(folder))));
        } else if (key == 'E') {
            HWND editor = app_->WaitForEditorWith(kEditCaption, Utf8(Path(folder)));
            ASSERT_TRUE(editor);
            ClickEditorButton(editor, "Cancel");
            ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
        } else {
            EXPECT_TRUE(WaitUntil([&] { return RowOf(folder) < 0 && RowOf(1) >= 0; }));
        }
    }
}
