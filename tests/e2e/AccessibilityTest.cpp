// What a screen reader reads: every control of the real Pathwink.exe that takes the
// focus (the main window's three pages, the shortcut editor and the switcher) has the
// name of its label, read through the accessibility interface from another process.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace pwtest;

namespace {

// "Class: name" for each control of window that takes the focus, sorted.
std::vector<std::string> NamesOfControls(HWND window) {
    std::vector<HWND> controls;
    EnumChildWindows(
        window,
        [](HWND child, LPARAM list) {
            if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&controls));
    std::vector<std::string> names;
    for (HWND control : controls) {
        char className[64] = "";
        GetClassNameA(control, className, sizeof className);
        IAccessible* accessible = nullptr;
        std::wstring name = L"<no accessible object>";
        if (SUCCEEDED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&accessible)))) {
            VARIANT self{};
            self.vt = VT_I4;
            self.lVal = CHILDID_SELF;
            BSTR text = nullptr;
            name = SUCCEEDED(accessible->get_accName(self, &text)) && text ? text : L"";
            SysFreeString(text);
            accessible->Release();
        }
        names.push_back(std::string(className) + ": " + Utf8(name));
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(Accessibility, EveryControlThatTakesTheFocusHasItsLabelsName) {
    CoInitialize(nullptr);
    PathwinkProcess app(std::string(kQuiet) + "[Shortcuts]\r\nCount=1\r\n0Path=C:\\windows\r\n");
    ASSERT_TRUE(app.Start());
    app.MakePages();
    // The tab control has no label: its tabs carry the pages' names. The list has none
    // either and is named by its page.
    EXPECT_EQ(NamesOfControls(app.MainWindow()),
              (std::vector<std::string>{
                  "Button: Confirm on exit button click.", "Button: Delete Selected",
                  "Button: Double-click on folder in Folder Shortcuts edits shortcut instead of "
                  "opening Explorer.",
                  "Button: Edit Selected", "Button: Exit", "Button: Help", "Button: New Shortcut",
                  "Button: Open folders in the window in front (a file dialog or an Explorer "
                  "window).",
                  "Button: Run Pathwink automatically when Windows starts.", "Button: Tray",
                  "Button: Warn when a key combination types a character on my keyboard (AltGr).",
                  "Button: Warn when selected shortcut key combination is \"weak.\"",
                  "ComboBox: Terminal:", "ListBox: Folder Shortcuts",
                  "SysTabControl32: ", "msctls_hotkey32: Show all folders:"}));

    app.Click("New Shortcut");
    HWND editor = app.WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(NamesOfControls(editor),
              (std::vector<std::string>{"Button: ...", "Button: Cancel", "Button: OK",
                                        "Edit: Folder:", "msctls_hotkey32: HotKey:"}));
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app.EditorShown(); }));

    TypeKey(VK_SPACE, true, true); // the switcher
    HWND switcher = app.WaitForWindow("PathwinkFolderSwitcher", nullptr);
    ASSERT_TRUE(switcher);
    EXPECT_EQ(
        NamesOfControls(switcher),
        (std::vector<std::string>{"Edit: Type to filter the folders:", "ListBox: Folders: 1"}));
    CoUninitialize();
}
