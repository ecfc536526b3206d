// A folder opened in a terminal by the real Pathwink.exe, from the list's menu, the
// switcher's Ctrl+Enter and a tray-menu folder chosen with Shift: the terminal (a
// recorder that writes how it was started) gets the folder as its working directory
// and, as Windows Terminal, as its -d argument, exactly, for a drive root, a path of
// the characters a shell would read, and one in other scripts. A missing folder and a
// terminal that cannot start are told. The Options page lists the terminals there,
// the first of them chosen, and a program the user picks.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <string>
#include <vector>

using namespace pwtest;

namespace {

enum class Way { ListMenu, SwitcherCtrlEnter, TrayMenuShift };

// A folder's text in a row: a leaf under the test's folder, or a whole path.
std::wstring Under(const std::wstring& base, const std::wstring& folder) {
    return folder.find(L':') != std::wstring::npos ? folder : base + L"\\" + folder;
}

class TerminalOpening : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = MakeTempFolder(L"pwterm");
        ASSERT_FALSE(base_.empty());
        for (const std::wstring leaf : kFolders) {
            if (leaf.find(L':') == std::wstring::npos && leaf != kMissing) {
                ASSERT_TRUE(CreateDirectoryW(Under(base_, leaf).c_str(), nullptr));
            }
        }
        // The recorder as another program, and as Windows Terminal's app command in a
        // folder that stands for the user's local application data.
        const std::wstring recorder = Wide(BuiltPathwink());
        const std::wstring built =
            recorder.substr(0, recorder.rfind(L'\\')) + L"\\terminal_recorder.exe";
        for (const wchar_t* folder :
             {L"\\other", L"\\local", L"\\local\\Microsoft", L"\\local\\Microsoft\\WindowsApps"})
            CreateDirectoryW((base_ + folder).c_str(), nullptr);
        ASSERT_TRUE(CopyFileW(built.c_str(), OtherProgram().c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(built.c_str(), WindowsTerminal().c_str(), FALSE));
        wchar_t local[MAX_PATH] = L"";
        GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
        localAppData_ = local;
        SetEnvironmentVariableW(L"LOCALAPPDATA", (base_ + L"\\local").c_str());
    }
    void TearDown() override {
        app_.reset();
        SetEnvironmentVariableW(L"LOCALAPPDATA", localAppData_.c_str());
        RemoveTree(base_);
    }
    std::wstring OtherProgram() const { return base_ + L"\\other\\terminal.exe"; }
    std::wstring WindowsTerminal() const {
        return base_ + L"\\local\\Microsoft\\WindowsApps\\wt.exe";
    }
    static std::wstring Record(const std::wstring& program) {
        return program.substr(0, program.rfind(L'\\')) + L"\\started.txt";
    }

    // Pathwink with every folder of the table as a shortcut and terminal as the option.
    void StartWith(const std::wstring& terminal) {
        app_.reset();
        std::wstring ini = L"\xFEFF[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\nTerminal=" +
                           terminal + L"\r\n[Shortcuts]\r\nCount=" +
                           std::to_wstring(std::size(kFolders)) + L"\r\n";
        for (size_t i = 0; i < std::size(kFolders); ++i)
            ini += std::to_wstring(i) + L"Path=" + Under(base_, kFolders[i]) + L"\r\n" +
                   std::to_wstring(i) + L"ShortCut=0\r\n";
        app_ = std::make_unique<PathwinkProcess>(
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
        ASSERT_TRUE(app_->Start());
    }

    // The list's row (and so the tray menu's entry) that shows path.
    int RowOf(const std::wstring& path) const {
        const std::vector<std::wstring> rows = app_->WideRows();
        for (size_t i = 0; i < rows.size(); ++i)
            if (rows[i].substr(rows[i].find(L'\t') + 1) == path)
                return static_cast<int>(i);
        return -1;
    }

    void Open(Way way, const std::wstring& path) const {
        const int row = RowOf(path);
        ASSERT_GE(row, 0) << Utf8(path) << " is not in the list";
        switch (way) {
        case Way::ListMenu: {
            app_->SelectRow(row);
            app_->Focus(app_->ShortcutList());
            TypeKey(VK_F10, false, false, true); // Shift+F10
            ASSERT_TRUE(app_->WaitForMenu()) << "no menu on the list";
            TypeKey('T'); // "Open in &Terminal"
            break;
        }
        case Way::SwitcherCtrlEnter: {
            TypeKey(VK_SPACE, true, true);
            HWND switcher = app_->WaitForWindow("PathwinkFolderSwitcher", nullptr);
            ASSERT_TRUE(switcher);
            HWND list = FindChildByClass(switcher, "ListBox");
            TypeCharacters(path.substr(path.rfind(L'\\') + 1));
            ASSERT_TRUE(WaitUntil([&] { return SendMessageW(list, LB_GETCOUNT, 0, 0) == 1; }))
                << "the filter did not narrow the list to " << Utf8(path);
            TypeKey(VK_RETURN, true);
            break;
        }
        case Way::TrayMenuShift: {
            app_->TrayNotify(WM_RBUTTONUP);
            ASSERT_TRUE(app_->WaitForMenu());
            PressOrRelease(VK_SHIFT, false);
            for (int i = 0; i <= row; ++i)
                TypeKey(VK_DOWN);
            TypeKey(VK_RETURN);
            PressOrRelease(VK_SHIFT, true);
            break;
        }
        }
    }

    static constexpr const wchar_t* kMissing = L"gone";
    static constexpr const wchar_t* kFolders[] = {L"C:\\", L"a & b %PATH% 'q' ^;x",
                                                  L"Caf\u00E9 \u6587\u6863", kMissing};
    std::wstring base_, localAppData_;
    std::unique_ptr<PathwinkProcess> app_;
};

} // namespace

TEST_F(TerminalOpening, EveryPathArrivesExactlyAsWorkingDirectoryAndWindowsTerminalsArgument) {
    struct Row {
        const wchar_t* terminal; // nullptr: the recorder as another program
        Way way;
        const wchar_t* folder;
        std::vector<std::wstring> arguments; // the folder stands for base\folder
        std::string message;                 // what is told instead; its beginning
    };
    const Row rows[] = {
        {nullptr, Way::ListMenu, kFolders[0], {}, ""},
        {nullptr, Way::SwitcherCtrlEnter, kFolders[1], {}, ""},
        {nullptr, Way::TrayMenuShift, kFolders[2], {}, ""},
        // Windows Terminal reads "\;" as ';' and splits its commands at any other ';'.
        {L"WindowsTerminal", Way::ListMenu, kFolders[0], {L"-d", L"C:\\"}, ""},
        {L"windowsterminal",
         Way::SwitcherCtrlEnter,
         kFolders[1],
         {L"-d", L"a & b %PATH% 'q' ^\\;x"},
         ""},
        {L"WindowsTerminal", Way::TrayMenuShift, kFolders[2], {L"-d", kFolders[2]}, ""},
        {nullptr, Way::ListMenu, kMissing, {}, "The folder \"<folder>\" does not exist"},
        {L"<base>\\none.exe",
         Way::ListMenu,
         kFolders[1],
         {},
         "Pathwink could not start the terminal \"<base>\\none.exe\" in the folder "
         "\"<folder>\".\n"},
    };
    std::wstring started;
    for (const Row& row : rows) {
        const std::wstring folder = Under(base_, row.folder);
        std::wstring terminal = row.terminal ? row.terminal : OtherProgram();
        if (terminal.rfind(L"<base>", 0) == 0)
            terminal = base_ + terminal.substr(6);
        SCOPED_TRACE(Utf8(terminal) + " opening " + Utf8(folder));
        if (terminal != started || !app_->Running()) {
            StartWith(terminal);
            started = terminal;
        }
        const std::wstring program =
            row.terminal && row.terminal[0] != L'<' ? WindowsTerminal() : OtherProgram();
        DeleteFileW(Record(program).c_str());
        Open(row.way, folder);
        if (!row.message.empty()) {
            std::string expected = row.message;
            for (const auto& [mark, text] :
                 {std::pair<std::string, std::wstring>{"<base>", base_}, {"<folder>", folder}})
                if (const size_t at = expected.find(mark); at != std::string::npos)
                    expected.replace(at, mark.size(), Utf8(text));
            HWND box = app_->WaitForDialog("Pathwink");
            ASSERT_TRUE(box) << "nothing told";
            EXPECT_EQ(BoxTextUtf8(box).substr(0, expected.size()), expected);
            Press(box, IDOK);
            continue;
        }
        std::optional<std::string> record;
        ASSERT_TRUE(
            WaitUntil([&] { return (record = FileBytes(Record(program))).has_value(); }, 10000))
            << "the terminal did not start; shown: " << app_->Shown();
        std::vector<std::wstring> lines;
        for (size_t at = 0, end; at <= record->size(); at = end + 1) {
            end = std::min(record->find('\n', at), record->size());
            lines.push_back(Wide(record->substr(at, end - at)));
        }
        EXPECT_EQ(Utf8(lines.front()), Utf8(folder)) << "the working directory";
        std::vector<std::wstring> expected;
        for (const std::wstring& argument : row.arguments)
            expected.push_back(argument == L"-d" ? argument : Under(base_, argument));
        EXPECT_EQ(std::vector<std::wstring>(lines.begin() + 1, lines.end()), expected);
    }
}

TEST_F(TerminalOpening, TheOptionsPageListsTheTerminalsThereTheFirstChosenAndAProgramPicked) {
    StartWith(L"");
    app_->MakePages();
    HWND box = app_->Control("ComboBox", nullptr);
    ASSERT_TRUE(box);
    auto entries = [box] {
        std::vector<std::string> texts;
        for (LRESULT i = 0, n = SendMessageW(box, CB_GETCOUNT, 0, 0); i < n; ++i) {
            wchar_t text[MAX_PATH] = L"";
            SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            texts.push_back(Utf8(text));
        }
        return texts;
    };
    const std::vector<std::string> there = {"Windows Terminal", "PowerShell", "Command Prompt"};
    std::vector<std::string> shown = there;
    shown.push_back("Other program...");
    EXPECT_EQ(entries(), shown);
    EXPECT_EQ(SendMessageW(box, CB_GETCURSEL, 0, 0), 0) << "the first that is there";

    // The last entry picks any program; the box then shows it, chosen.
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
    EXPECT_EQ(Wide(app_->Profile("Options", "Terminal")), OtherProgram()) << "saved";
}
