// The list's menu in the real Pathwink.exe: a right click on a row selects it and
// offers Open, Open in Terminal, Copy Path, Edit... and Delete for it; the menu key
// opens the same menu for the selected row.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

using namespace pwtest;

namespace {

// Right-clicks row of the list where it shows on the screen.
void RightClickRow(HWND list, int row) {
    RECT r;
    SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
    POINT at{r.left + 20, (r.top + r.bottom) / 2};
    ClientToScreen(list, &at);
    SetCursorPos(at.x, at.y);
    INPUT click[2]{};
    click[0].type = click[1].type = INPUT_MOUSE;
    click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
    click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
    SendInput(2, click, sizeof(INPUT));
}

} // namespace

TEST(RowMenu, ARightClickedRowIsOpenedCopiedEditedOrDeletedFromItsMenu) {
    const std::string base = MakeTempFolder("pwmenu");
    const std::string folders[] = {base + "\\First menu folder", base + "\\Second menu folder"};
    std::string ini = std::string(kQuiet) + "[Shortcuts]\r\nCount=2\r\n";
    for (int i = 0; i < 2; ++i) {
        CreateDirectoryA(folders[i].c_str(), nullptr);
        ini += std::to_string(i) + "Path=" + folders[i] + "\r\n" + std::to_string(i) +
               "ShortCut=0\r\n";
    }
    PathwinkProcess app(ini);
    ASSERT_TRUE(app.Start());
    app.ChooseFromTrayMenu(3); // Configure Shortcuts, after the two folders
    ASSERT_TRUE(WaitUntil([&] { return app.ActivePage() == 0; }));
    const HWND list = app.ShortcutList();
    struct Row {
        WORD key;     // the entry's mnemonic
        bool menuKey; // opened with the menu key on the selected row instead of a click
    };
    for (const Row& row : {Row{'C', false}, Row{'O', false}, Row{'E', true}, Row{'D', false}}) {
        SCOPED_TRACE(std::string(1, char(row.key)));
        app.SelectRow(0);
        if (row.menuKey) {
            app.Focus(list);
            TypeKey(VK_APPS);
        } else {
            SetForegroundWindow(app.MainWindow());
            RightClickRow(list, 1);
        }
        ASSERT_TRUE(app.WaitForMenu()) << "no menu";
        const int selected = row.menuKey ? 0 : 1; // a click selects the row under it
        EXPECT_EQ(app.SelectedRow(), selected);
        TypeKey(row.key);
        switch (row.key) {
        case 'C':
            EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == Wide(folders[1]); }))
                << "the clipboard holds " << Utf8(ClipboardText().value_or(L"nothing"));
            break;
        case 'O':
            EXPECT_TRUE(WaitAndCloseExplorer(folders[1]));
            break;
        case 'E': {
            HWND editor = app.WaitForEditorWith(kEditCaption, folders[0]);
            ASSERT_TRUE(editor);
            ClickEditorButton(editor, "Cancel");
            ASSERT_TRUE(WaitUntil([&] { return !app.EditorShown(); }));
            break;
        }
        case 'D':
            EXPECT_TRUE(WaitUntil([&] {
                return app.Rows().size() == 1 &&
                       app.Rows().front().find("First menu folder") != std::string::npos;
            })) << Listed(app.Rows());
            break;
        }
    }
    app.Kill();
    RemoveTree(base);
}
