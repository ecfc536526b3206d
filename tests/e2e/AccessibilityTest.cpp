// What a screen reader reads: every control of the real Pathwink.exe that takes the focus has
// a name, read through the accessibility interface from another process.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <oleacc.h>

#include <string>

using namespace pwtest;

namespace {

// "Class: name; " of each control of window that takes the focus, in Z order, but for a button
// whose name is its caption.
std::string NamesBesideCaptions(HWND window) {
    std::string names;
    for (HWND control = FindWindowExW(window, nullptr, nullptr, nullptr); control;
         control = GetWindow(control, GW_HWNDNEXT)) {
        if (!(GetWindowLongW(control, GWL_STYLE) & WS_TABSTOP)) {
            names += NamesBesideCaptions(control); // a tab page
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
            names += std::string(className) + ": " + Utf8(name) + "; ";
    }
    return names;
}

} // namespace

TEST(Accessibility, EveryControlThatTakesTheFocusHasItsCaptionOrItsLabelAsItsName) {
    CoInitialize(nullptr);
    PathwinkProcess app(std::string(kQuiet) + "[Shortcuts]\r\nCount=1\r\n0Path=C:\\windows\r\n");
    ASSERT_TRUE(app.Start());
    app.MakePages();
    // The tab control's tabs carry the pages' names; the list is named by its page.
    EXPECT_EQ(NamesBesideCaptions(app.MainWindow()),
              "msctls_hotkey32: Show all folders:; ComboBox: Terminal:; ListBox: Folder Shortcuts; "
              "SysTabControl32: ; ");
    TypeKey(VK_SPACE, true, true); // the switcher
    HWND switcher = app.WaitForWindow("PathwinkFolderSwitcher", nullptr);
    ASSERT_TRUE(switcher);
    EXPECT_EQ(NamesBesideCaptions(switcher),
              "Edit: Type to filter the folders:; ListBox: Folders: 1; ");
    app.Click("New Shortcut");
    HWND editor = app.WaitForEditor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(NamesBesideCaptions(editor), "Edit: Folder:; msctls_hotkey32: HotKey:; ");
    CoUninitialize();
}
