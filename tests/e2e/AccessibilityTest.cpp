// What a screen reader reads: every control of the real Pathwink.exe that takes the
// focus (the main window's three pages, the shortcut editor and the switcher) has a
// name, read through the accessibility interface from another process: a button or
// check box its caption, a box, list or key field the label before it.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>
#include <vector>

using namespace pwtest;

namespace {

// "Class: name" for each control of window that takes the focus, other than a
// button named by its caption, in Z order.
std::vector<std::string> NamesBesideCaptions(HWND window) {
    std::vector<std::string> names;
    for (HWND control = FindWindowExW(window, nullptr, nullptr, nullptr); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP)) {
            const std::vector<std::string> inner = NamesBesideCaptions(control); // a tab page
            names.insert(names.end(), inner.begin(), inner.end());
            continue;
        }
        std::wstring name = L"<none>";
        IAccessible* accessible = nullptr;
        VARIANT self{};
        self.vt = VT_I4; // CHILDID_SELF
        BSTR text = nullptr;
        if (SUCCEEDED(AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                 reinterpret_cast<void**>(&accessible)))) {
            name = SUCCEEDED(accessible->get_accName(self, &text)) && text ? text : L"";
            SysFreeString(text);
            accessible->Release();
        }
        char className[64] = "";
        GetClassNameA(control, className, sizeof className);
        if (lstrcmpA(className, "Button") != 0 || name != WideText(control))
            names.push_back(std::string(className) + ": " + Utf8(name));
    }
    return names;
}

} // namespace

TEST(Accessibility, EveryControlThatTakesTheFocusHasItsCaptionOrItsLabelAsItsName) {
    CoInitialize(nullptr);
    PathwinkProcess app(std::string(kQuiet) + "[Shortcuts]\r\nCount=1\r\n0Path=C:\\windows\r\n");
    ASSERT_TRUE(app.Start());
    app.MakePages();
    // The tab control has no label (its tabs carry the pages' names); the list has
    // none either and is named by its page.
    EXPECT_EQ(NamesBesideCaptions(app.MainWindow()),
              (std::vector<std::string>{"msctls_hotkey32: Show all folders:", "ComboBox: Terminal:",
                                        "ListBox: Folder Shortcuts", "SysTabControl32: "}));
    app.Click("New Shortcut");
    HWND editor = app.WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(NamesBesideCaptions(editor),
              (std::vector<std::string>{"Edit: Folder:", "msctls_hotkey32: HotKey:"}));
    ClickEditorButton(editor, "Cancel");
    ASSERT_TRUE(WaitUntil([&] { return !app.EditorShown(); }));
    TypeKey(VK_SPACE, true, true); // the switcher
    HWND switcher = app.WaitForWindow("PathwinkFolderSwitcher", nullptr);
    ASSERT_TRUE(switcher);
    EXPECT_EQ(
        NamesBesideCaptions(switcher),
        (std::vector<std::string>{"Edit: Type to filter the folders:", "ListBox: Folders: 1"}));
    CoUninitialize();
}
