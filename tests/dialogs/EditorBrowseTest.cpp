// The "..." button: the shell's folder browser opens modal to the editor, and only
// a chosen folder replaces the folder field's text, with exactly the path the
// shell gives; the editor stays open either way.

#include "tests/dialogs/EditorFixture.h"

#include <shlobj.h>

using namespace pwtest;

namespace {

HWND FindBrowser(HWND owner) {
    for (HWND w : FindTopLevels("#32770", "Browse for Folder", GetCurrentProcessId()))
        if (IsWindowVisible(w) && GetWindow(w, GW_OWNER) == owner)
            return w;
    return nullptr;
}

struct Seen {
    bool titleShown = false;
    bool editorDisabled = false;
    std::string textAfter = "<not read>";
    bool editorOpenAfter = false;
    bool editorEnabledAfter = false;
};

} // namespace

TEST_F(EditorTest, BrowsingReplacesTheFolderTextOnlyWhenAFolderIsChosen) {
    // OK with nothing chosen gives the Desktop under Wine; on Windows it depends
    // on the tree's starting selection.
    if (!RunningUnderWine())
        GTEST_SKIP() << "relies on the folder browser choosing the Desktop when nothing is chosen";
    char desktop[MAX_PATH] = {};
    ASSERT_EQ(
        SHGetFolderPathA(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, desktop),
        S_OK);
    ASSERT_STRNE(desktop, "");

    const struct {
        const char* how;
        std::function<void(HWND)> close; // given the browser window
        bool takesPath;
    } cases[] = {
        {"Cancel", [](HWND b) { PostMessageA(GetDlgItem(b, IDCANCEL), BM_CLICK, 0, 0); }, false},
        {"close box", [](HWND b) { PostMessageA(b, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
        {"OK with nothing chosen",
         [](HWND b) { PostMessageA(GetDlgItem(b, IDOK), BM_CLICK, 0, 0); }, true},
        {"Cancel after a folder was taken",
         [](HWND b) { PostMessageA(GetDlgItem(b, IDCANCEL), BM_CLICK, 0, 0); }, false},
        {"OK a second time", [](HWND b) { PostMessageA(GetDlgItem(b, IDOK), BM_CLICK, 0, 0); },
         true},
    };
    std::vector<Seen> seen(std::size(cases));
    std::vector<std::string> before(std::size(cases));
    HWND browser = nullptr;

    dialog_->SetFolderText("C:\\was here");
    dialog_->SetActiveControl(pw::ShortcutEditor::Field::Folder);
    ModalDriver drive(Dialog());
    drive.Until("shown", [&] { return IsWindowVisible(Dialog()) && GetFocus() == Edit1(); });
    for (size_t i = 0; i < std::size(cases); ++i) {
        // The user types over the selected text before browsing.
        drive
            .Do("select all and type",
                [&] {
                    SetFocus(Edit1());
                    SendMessageA(Edit1(), EM_SETSEL, 0, -1);
                    TypeKey('Q');
                    TypeKey('W');
                })
            .Until("typed", [&] { return dialog_->FolderText() == "qw"; })
            .Do("remember", [&, i] { before[i] = dialog_->FolderText(); })
            .Do("click ...", [&] { Click(Browse()); })
            .Until(
                "browser open", [&] { return (browser = FindBrowser(Dialog())) != nullptr; }, 15000)
            .Do("look at it",
                [&, i] {
                    seen[i].titleShown = FindChildByText(browser, "Static",
                                                         "Select folder for shortcut.") != nullptr;
                    seen[i].editorDisabled = !IsWindowEnabled(Dialog());
                })
            .Do(cases[i].how, [&, i] { cases[i].close(browser); })
            .Until("browser closed", [&] { return FindBrowser(Dialog()) == nullptr; })
            .Until("editor enabled again", [&] { return IsWindowEnabled(Dialog()) != FALSE; })
            .Do("read the field", [&, i] {
                seen[i].textAfter = dialog_->FolderText();
                seen[i].editorOpenAfter = dialog_->IsShowing() && IsWindowVisible(Dialog());
                seen[i].editorEnabledAfter = IsWindowEnabled(Dialog()) != FALSE;
            });
    }
    drive.Do("Cancel the editor", [&] { Click(Cancel()); });
    EXPECT_EQ(ShowDriven(drive), 2);

    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].how);
        EXPECT_TRUE(seen[i].titleShown) << "the title \"Select folder for shortcut.\" is shown";
        EXPECT_TRUE(seen[i].editorDisabled) << "the browser is modal to the editor";
        EXPECT_EQ(seen[i].textAfter, cases[i].takesPath ? std::string(desktop) : before[i]);
        EXPECT_TRUE(seen[i].editorOpenAfter) << "the editor stays open";
    }
}
