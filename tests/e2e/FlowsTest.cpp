// The new, edit and delete flows driven through the real editor dialog: every
// validation message, the show-again loop with the input intact, the list and the
// settings file after each change, and WM_COPYDATA from another process.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

using namespace pwtest;

namespace {

constexpr WORD kCtrlAltD = 0x0644; // hot-key control encoding
constexpr WORD kCtrlD = 0x0244;
class Flows : public ::testing::Test {
protected:
    void Start(const std::string& settings = "[Options]\r\nConfirmExit=0\r\n",
               const std::string& args = "") {
        app_ = std::make_unique<PathwinkProcess>(settings);
        ASSERT_TRUE(app_->Start(args));
    }
    void TearDown() override {
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::string Folder(const std::string& prefix = "pwflow") {
        folders_.push_back(MakeTempFolder(prefix));
        return folders_.back();
    }
    // Opens the editor with "New Shortcut", fills it, presses OK.
    HWND NewAndOk(const std::string& folder, WORD hotKey) {
        app_->Click("New Shortcut");
        HWND editor = app_->WaitForEditor();
        if (!editor)
            return nullptr;
        SetEditorFolder(editor, folder);
        SetEditorHotkey(editor, hotKey);
        ClickEditorButton(editor, "OK");
        return editor;
    }
    // Adds a shortcut that needs no question: an existing folder and a strong key.
    void Add(const std::string& folder, WORD hotKey) {
        const size_t rows = app_->Rows().size();
        ASSERT_TRUE(NewAndOk(folder, hotKey));
        ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == rows + 1; }))
            << "not added: " << folder;
        ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    }
    std::unique_ptr<PathwinkProcess> app_;
    std::vector<std::string> folders_;
};

} // namespace

TEST_F(Flows, NewThenCancelChangesNothingOnDisk) {
    Start("[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\windows\r\n0ShortCut="
          "0\r\n");
    const std::string before = app_->ReadSettings();
    WIN32_FILE_ATTRIBUTE_DATA a1{}, a2{};
    GetFileAttributesExA(app_->SettingsPath().c_str(), GetFileExInfoStandard, &a1);
    app_->Click("New Shortcut");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(TextOf(editor), "New Folder Shortcut - Pathwink");
    EXPECT_EQ(app_->FocusedWindow(), EditorFolderField(editor)) << "the folder field has the focus";
    SetEditorFolder(editor, "C:\\windows");
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    PumpFor(300);
    EXPECT_EQ(app_->Rows().size(), 1u);
    EXPECT_EQ(app_->ReadSettings(), before);
    GetFileAttributesExA(app_->SettingsPath().c_str(), GetFileExInfoStandard, &a2);
    EXPECT_EQ(CompareFileTime(&a1.ftLastWriteTime, &a2.ftLastWriteTime), 0) << "not rewritten";
}

TEST_F(Flows, AnEmptyFolderIsRefusedAndTheDialogComesBackWithTheSameKey) {
    Start();
    HWND editor = NewAndOk("", kCtrlAltD);
    ASSERT_TRUE(editor);
    HWND message = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(message);
    EXPECT_EQ(MessageTextOf(message), "You must define a folder.");
    Press(message, IDOK);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_EQ(EditorHotkey(editor), kCtrlAltD) << "the input is kept";
    EXPECT_EQ(app_->FocusedWindow(), EditorFolderField(editor));
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    EXPECT_TRUE(app_->Rows().empty());
    EXPECT_EQ(app_->StatusText(), "Currently, there are no folder shortcuts defined.");
}

TEST_F(Flows, AWeakKeyAsksFirstNoShowsTheDialogAgainYesGoesOn) {
    Start();
    const std::string folder = Folder();
    HWND editor = NewAndOk(folder, kCtrlD);
    HWND question = app_->WaitForDialog("Shortcut Warning");
    ASSERT_TRUE(question);
    EXPECT_EQ(MessageTextOf(question), kWeakText);
    Press(question, IDNO);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_EQ(EditorHotkey(editor), kCtrlD);
    EXPECT_EQ(EditorFolder(editor), folder);
    ClickEditorButton(editor, "OK");
    question = app_->WaitForDialog("Shortcut Warning");
    ASSERT_TRUE(question);
    Press(question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }));
    EXPECT_EQ(app_->Rows()[0], "Ctrl+D\t" + folder);
    EXPECT_EQ(app_->Profile("Shortcuts", "0ShortCut"), std::to_string(0x4044));
    EXPECT_FALSE(IsFree(MOD_CONTROL, 'D')) << "the weak key is held";
}

TEST_F(Flows, StrongKeysNoKeyAndTheOptionOffAskNothing) {
    Start("[Options]\r\nConfirmExit=0\r\nWarnWeakKey=0\r\n");
    const std::string a = Folder("pwA"), b = Folder("pwB"), c = Folder("pwC");
    Add(a, kCtrlAltD);
    Add(b, 0);
    Add(c, kCtrlD); // weak, but the warning is off
    EXPECT_TRUE(app_->NoWindow("#32770", "Shortcut Warning"));
    const auto rows = app_->Rows();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], "Ctrl+Alt+D\t" + a);
    EXPECT_EQ(rows[1], "(No HotKey)\t" + b);
    EXPECT_EQ(rows[2], "Ctrl+D\t" + c);
    EXPECT_EQ(app_->StatusText(), "");
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "3");
    EXPECT_EQ(app_->Profile("Shortcuts", "1Path"), b);
    EXPECT_EQ(app_->Profile("Shortcuts", "1ShortCut"), "0");
}

TEST_F(Flows, AMissingFolderAsksNoShowsAgainYesStoresTheTextAsTyped) {
    Start();
    const std::string missing = Folder() + "\\not there yet\\";
    HWND editor = NewAndOk(missing, kCtrlAltD);
    HWND question = app_->WaitForDialog("Folder Warning");
    ASSERT_TRUE(question);
    EXPECT_EQ(MessageTextOf(question), kFolderText);
    Press(question, IDNO);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_EQ(EditorFolder(editor), missing);
    ClickEditorButton(editor, "OK");
    question = app_->WaitForDialog("Folder Warning");
    ASSERT_TRUE(question);
    Press(question, IDYES);
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }));
    EXPECT_EQ(app_->Profile("Shortcuts", "0Path"), missing);
}

TEST_F(Flows, ACombinationAlreadyHeldIsRefusedAndNothingChanges) {
    Start();
    const std::string a = Folder(), b = Folder();
    Add(a, kCtrlAltD);
    app_->Click("New Shortcut");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorFolder(editor, b);
    TypeIntoHotkeyField(editor, 'D'); // D alone becomes Ctrl+Alt+D
    ASSERT_EQ(EditorHotkey(editor), kCtrlAltD);
    ClickEditorButton(editor, "OK");
    HWND message = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(message);
    EXPECT_EQ(MessageTextOf(message), kRefusedText);
    Press(message, IDOK);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_EQ(EditorFolder(editor), b);
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    EXPECT_EQ(app_->Rows().size(), 1u);
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "1");
}

TEST_F(Flows, ControlCharactersInAPathAreRefused) {
    // A tab survives the single-line folder field on every platform (Wine's field
    // drops a text with a line break altogether).
    Start();
    const std::string folder = Folder();
    auto sent = app_->SendFolder(folder + "\tx=1");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorHotkey(editor, kCtrlAltD);
    ClickEditorButton(editor, "OK");
    HWND message = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(message);
    EXPECT_NE(MessageTextOf(message).find("line break"), std::string::npos);
    Press(message, IDOK);
    ASSERT_TRUE(app_->WaitForEditor());
    SetEditorFolder(editor, folder);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(sent.get());
    EXPECT_EQ(app_->Rows().size(), 1u);
    EXPECT_EQ(app_->Profile("Shortcuts", "0Path"), folder);
}

TEST_F(Flows, CopyDataOpensTheNewFlowWithTheFolderAndTheKeyFieldFocused) {
    Start("[Options]\r\nConfirmExit=0\r\n", "tray");
    EXPECT_FALSE(app_->MainVisible());
    const std::string folder = Folder();
    auto sent = app_->SendFolder(folder);
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor) << "the dialog shows although the window is hidden";
    EXPECT_EQ(TextOf(editor), "New Folder Shortcut - Pathwink");
    EXPECT_EQ(EditorFolder(editor), folder);
    EXPECT_EQ(EditorHotkey(editor), 0);
    EXPECT_EQ(app_->FocusedWindow(), EditorHotkeyField(editor));
    ClickEditorButton(editor, "OK"); // no key: asks nothing, adds
    ASSERT_TRUE(sent.get()) << "the sender returns when the flow ends";
    EXPECT_EQ(app_->Rows().size(), 1u);

    // After a show-again the key field is focused again.
    auto again = app_->SendFolder(folder + "\\missing");
    editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    ClickEditorButton(editor, "OK");
    HWND question = app_->WaitForDialog("Folder Warning");
    ASSERT_TRUE(question);
    Press(question, IDNO);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_TRUE(WaitUntil([&] { return app_->FocusedWindow() == EditorHotkeyField(editor); }));
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(again.get());
}

TEST_F(Flows, MalformedCopyDataBlocksAreReadSafely) {
    Start();
    const char noNul[3] = {'C', ':', '\\'};
    const std::string big(1 << 20, 'x'), huge(10 << 20, 'x');
    const struct {
        const void* data;
        DWORD size;
        std::string expected;
    } cases[] = {
        {noNul, 3, "C:\\"},
        {noNul, 0, ""},
        {nullptr, 100, ""},
        {big.c_str(), static_cast<DWORD>(big.size()), big},
        {huge.c_str(), static_cast<DWORD>(huge.size()), huge},
    };
    for (const auto& c : cases) {
        // Wine's GetMessageW fails for a block of megabytes: the block is lost (its
        // sender waits out its time), the program is not.
        const bool lost = c.size > big.size() && RunningUnderWine();
        auto sent = app_->SendCopyData(c.data, c.size, lost ? 3000 : 60000);
        if (lost) {
            EXPECT_TRUE(Ready(sent, 10000) && !sent.get() && app_->Running());
            continue;
        }
        HWND editor = app_->WaitForEditor();
        ASSERT_TRUE(editor) << c.size;
        EXPECT_EQ(EditorFolder(editor).size(), c.expected.size());
        EXPECT_EQ(EditorFolder(editor) == c.expected, true);
        EXPECT_EQ(app_->FocusedWindow(),
                  c.expected.empty() ? EditorFolderField(editor) : EditorHotkeyField(editor));
        ClickEditorButton(editor, "Cancel");
        ASSERT_TRUE(sent.get());
        EXPECT_TRUE(app_->Running());
    }
}

TEST_F(Flows, AFolderHandedOverDuringAFlowGetsItsOwnFlowAfterwards) {
    Start();
    const std::string first = Folder(), second = Folder();
    app_->Click("New Shortcut");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    auto sent = app_->SendFolder(second); // queued: the running flow stays as it is
    PumpFor(500);
    EXPECT_EQ(EditorFolder(editor), "");
    app_->Click("New Shortcut"); // brings the open dialog forward, starts nothing
    PumpFor(300);
    EXPECT_EQ(FindTopLevels("TDlgNewShortcut", nullptr, app_->ProcessId()).size(), 1u);
    SetEditorFolder(editor, first);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return EditorFolder(editor) == second && app_->EditorShown(); }))
        << "the handed-over folder's flow starts next";
    EXPECT_EQ(app_->FocusedWindow(), EditorHotkeyField(editor));
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 2; }));
    EXPECT_TRUE(sent.get());
}

TEST_F(Flows, EditingOnlyTheFolderKeepsTheHotkeyAndResorts) {
    Start();
    const std::string a = Folder("pwA"), b = Folder("pwB"), z = Folder("pwZ");
    Add(a, kCtrlAltD);
    Add(b, 0);
    ASSERT_EQ(app_->Rows()[0], "Ctrl+Alt+D\t" + a);
    app_->SelectRow(0);
    EXPECT_TRUE(app_->Enabled("Edit Selected"));
    app_->Click("Edit Selected");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(TextOf(editor), "Edit Folder Shortcut - Pathwink");
    EXPECT_EQ(EditorFolder(editor), a);
    EXPECT_EQ(EditorHotkey(editor), kCtrlAltD);
    EXPECT_EQ(app_->FocusedWindow(), EditorFolderField(editor));
    SetEditorFolder(editor, z);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil(
        [&] { return app_->Rows().size() == 2 && app_->Rows()[1] == "Ctrl+Alt+D\t" + z; }));
    EXPECT_EQ(app_->Rows()[0], "(No HotKey)\t" + b);
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'D')) << "still held";
    EXPECT_EQ(app_->SelectedRow(), -1);
    EXPECT_FALSE(app_->Enabled("Edit Selected"));
    EXPECT_FALSE(app_->Enabled("Delete Selected"));
    EXPECT_EQ(app_->Profile("Shortcuts", "1Path"), z);
}

TEST_F(Flows, ARefusedNewKeyBringsTheOldOneBackAndCancelLeavesTheEntryAsItWas) {
    Start();
    const std::string a = Folder("pwA");
    Add(a, kCtrlAltD);
    // Another program holds Ctrl+Alt+K.
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7003, MOD_CONTROL | MOD_ALT, 'K'));
    const std::string saved = app_->ReadSettings();
    app_->SelectRow(0);
    app_->Click("Edit Selected");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorHotkey(editor, 0x064B);
    ClickEditorButton(editor, "OK");
    HWND message = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(message);
    EXPECT_EQ(MessageTextOf(message), kRefusedText);
    Press(message, IDOK);
    ASSERT_TRUE(app_->WaitForEditor());
    EXPECT_FALSE(IsFree(MOD_CONTROL | MOD_ALT, 'D')) << "the old key is held again";
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    UnregisterHotKey(nullptr, 0x7003);
    EXPECT_EQ(app_->Rows()[0], "Ctrl+Alt+D\t" + a);
    EXPECT_EQ(app_->ReadSettings(), saved);
}

TEST_F(Flows, EmptyingTheKeyReleasesTheHotkey) {
    Start();
    const std::string a = Folder();
    Add(a, kCtrlAltD);
    app_->SelectRow(0);
    app_->Click("Edit Selected");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorHotkey(editor, 0);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows()[0] == "(No HotKey)\t" + a; }));
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'D'));
    EXPECT_EQ(app_->Profile("Shortcuts", "0ShortCut"), "0");
}

TEST_F(Flows, DeleteKeepsTheRowNumberSelectedAndSavesEachChange) {
    Start();
    const std::string a = Folder("pwA"), b = Folder("pwB"), c = Folder("pwC");
    Add(a, 0x0641); // Ctrl+Alt+A
    Add(b, 0x0642);
    Add(c, 0x0643);
    app_->SelectRow(1);
    app_->Click("Delete Selected");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 2; }));
    EXPECT_EQ(app_->SelectedRow(), 1) << "the former row 2 is selected";
    EXPECT_EQ(app_->Rows()[1], "Ctrl+Alt+C\t" + c);
    EXPECT_TRUE(app_->Enabled("Delete Selected"));
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "2");
    EXPECT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'B')) << "its hotkey is released";

    app_->Click("Delete Selected"); // the last row of two
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }));
    EXPECT_EQ(app_->SelectedRow(), 0);
    app_->Click("Delete Selected");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().empty(); }));
    EXPECT_EQ(app_->StatusText(), "Currently, there are no folder shortcuts defined.");
    EXPECT_FALSE(app_->Enabled("Delete Selected"));
    EXPECT_FALSE(app_->Enabled("Edit Selected"));
    EXPECT_EQ(app_->Profile("Shortcuts", "Count"), "<absent>");
    EXPECT_EQ(app_->Profile("Options", "WarnWeakKey"), "1");
}

TEST_F(Flows, AFailedSaveAfterADeleteStillShowsTheTableAsItIs) {
    Start();
    const std::string a = Folder("pwA"), b = Folder("pwB");
    Add(a, 0);
    Add(b, 0);
    const std::string saved = app_->ReadSettings();
    HANDLE lock = CreateFileA(app_->SettingsPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    app_->SelectRow(0);
    app_->Click("Delete Selected");
    HWND error = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(error);
    EXPECT_EQ(MessageTextOf(error).rfind("Unable to write to ", 0), 0u);
    EXPECT_EQ(app_->Rows().size(), 1u) << "the list shows the table as it now is";
    Press(error, IDOK);
    CloseHandle(lock);
    EXPECT_EQ(app_->ReadSettings(), saved);
}

TEST_F(Flows, DoubleClickExploresOrEditsByOption) {
    // The shell once overflowed on a long missing path handed over on the window thread.
    const std::string missing = "C:\\pw-missing-" + std::string(5000, 'm');
    Start("[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\nCount=1\r\n0Path=" + missing +
          "\r\n0ShortCut=0\r\n");
    const std::string a = Folder("pwdbl");
    Add(a, 0x0645);
    const std::vector<std::string> rows = app_->Rows();
    ASSERT_EQ(rows.size(), 2u);
    const int missingRow = rows[0].find("pw-missing") != std::string::npos ? 0 : 1;
    app_->DoubleClickRow(1 - missingRow);
    EXPECT_TRUE(WaitAndCloseExplorer(a)) << "no Explorer window for " << a;
    EXPECT_FALSE(app_->EditorShown());

    app_->DoubleClickRow(missingRow);
    Sleep(1500);
    EXPECT_TRUE(app_->Running()) << "a double-click on a long missing path ended the program";
    EXPECT_TRUE(app_->NoWindow("#32770", "Pathwink")) << "a missing folder is not told here";

    app_->SetCheck("Double-click on folder in Folder Shortcuts edits shortcut instead of opening "
                   "Explorer.",
                   true);
    app_->DoubleClickRow(1 - missingRow);
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(TextOf(editor), "Edit Folder Shortcut - Pathwink");
    ClickEditorButton(editor, "Cancel");
}

TEST_F(Flows, AShortcutAddedThroughTheDialogOpensItsFolderOnItsHotkey) {
    Start();
    const std::string folder = Folder("pwjourney");
    app_->Click("New Shortcut");
    HWND editor = app_->WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorFolder(editor, folder);
    TypeIntoHotkeyField(editor, VK_F9); // becomes Ctrl+Alt+F9
    ASSERT_EQ(EditorHotkey(editor), 0x0678);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return app_->Rows().size() == 1; }));
    EXPECT_EQ(app_->Rows()[0], "Ctrl+Alt+F9\t" + folder);
    TypeKey(VK_F9, true, true, false);
    EXPECT_TRUE(WaitAndCloseExplorer(folder)) << "the hotkey opened nothing";
}
