// The program in-process: the main window's scaling when the DPI changes, the save when the
// logon ends, and the item hint of a cut-off list row.

#include "app/PathwinkApp.h"
#include "tests/support/TestSupport.h"
#include "win/Application.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace pw;

namespace {

class AppInProcess : public ::testing::Test {
protected:
    void SetUp() override {
        Application::Instance().SetTitle("PathwinkAppTest");
        folder_ = pwtest::MakeTempFolder("pwform");
    }
    void TearDown() override {
        app_.reset();
        pwtest::RemoveTree(folder_);
        Application::Instance().SetTitle("Pathwink");
    }
    void Open(const std::string& settings) {
        std::ofstream(Ini(), std::ios::binary) << settings;
        const std::string exe = folder_ + "\\Pathwink.exe";
        RunAtLogonKeys keys;
        keys.machineRoot = HKEY_CURRENT_USER;
        keys.machineKey = keys.userKey = "Software\\PathwinkTests\\Run";
        app_ = std::make_unique<PathwinkApp>(SettingsStore([exe] { return exe; }, keys));
    }
    std::string Ini() const { return folder_ + "\\Pathwink.INI"; }
    std::string ReadIni() const {
        std::ifstream in(Ini(), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    RECT BoundsInParent(HWND control) const {
        RECT r;
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }
    std::string folder_;
    std::unique_ptr<PathwinkApp> app_;
};

} // namespace

TEST_F(AppInProcess, ADpiChangeScalesEveryBoundAndTheClientArea) {
    Open("[Options]\r\n");
    HWND newButton = pwtest::FindChildByText(app_->Window().Handle(), "Button", "New Shortcut");
    HWND list = pwtest::FindChildByClass(app_->Window().Handle(), "ListBox");
    ASSERT_TRUE(newButton && list);
    const RECT before = BoundsInParent(newButton);
    EXPECT_EQ(before.right - before.left, 81);

    // What the system sends when the window moves to a 144-DPI monitor.
    RECT suggested{100, 100, 100 + 700, 100 + 450};
    SendMessageA(app_->Window().Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT window;
    GetWindowRect(app_->Window().Handle(), &window);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.right - window.left, 700) << "the suggested rectangle is taken";
    const RECT after = BoundsInParent(newButton);
    EXPECT_EQ(after.left, 9);
    EXPECT_EQ(after.top, 9);
    EXPECT_EQ(after.right - after.left, 122) << "81 at 96 DPI is 121.5 at 144";
    EXPECT_EQ(after.bottom - after.top, 38);
    const RECT listAfter = BoundsInParent(list);
    EXPECT_EQ(listAfter.right - listAfter.left, 648);
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(newButton, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -17) << "Tahoma 8 at 144 DPI";
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
}

TEST_F(AppInProcess, TheEndOfTheLogonSavesAChangedOption) {
    Open("[Options]\r\nDClickEdits=0\r\n");
    HWND box = pwtest::FindChildByText(
        app_->Window().Handle(), "Button",
        "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.");
    ASSERT_TRUE(box);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
    EXPECT_TRUE(app_->CurrentOptions().DClickEdits);
    SendMessageA(app_->Window().Handle(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(ReadIni().find("DClickEdits=1"), std::string::npos) << "a cancelled end saves nothing";
    SendMessageA(app_->Window().Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_NE(ReadIni().find("DClickEdits=1"), std::string::npos) << "the logon's end saves";
}

TEST_F(AppInProcess, ACutOffRowShowsItsWholeTextInAHintAndAShortOneNone) {
    // Wider than the list, narrower than what is left of the screen right of it.
    const std::string longPath = "C:\\" + std::string(90, 'L');
    Open("[Shortcuts]\r\nCount=2\r\n0Path=C:\\Short\r\n0ShortCut=49220\r\n1Path=" + longPath +
         "\r\n1ShortCut=0\r\n");
    app_->Window().ShowOnPage(0);
    SetActiveWindow(app_->Window().Handle());
    HWND list = pwtest::FindChildByClass(app_->Window().Handle(), "ListBox");
    HWND hint = nullptr;
    for (HWND w : pwtest::FindTopLevels(TOOLTIPS_CLASSA, nullptr, GetCurrentProcessId()))
        if (GetWindow(w, GW_OWNER) == app_->Window().Handle())
            hint = w;
    ASSERT_TRUE(list && hint);
    ASSERT_EQ(GetActiveWindow(), app_->Window().Handle());
    // Sorted by path: the long path ("C:\\LLL...") is row 0, "C:\\Short" row 1.
    RECT row;
    SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(10, (row.top + row.bottom) / 2));
    ASSERT_TRUE(IsWindowVisible(hint)) << "the long row shows a hint";
    EXPECT_EQ(pwtest::TextOf(hint), "(No HotKey)        " + longPath);
    RECT hintRect, rowScreen = row;
    GetWindowRect(hint, &hintRect);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rowScreen), 2);
    EXPECT_EQ(hintRect.left, rowScreen.left - 1) << "placed over the row";
    const int rowHeight = rowScreen.bottom - rowScreen.top, hintHeight = hintRect.bottom - hintRect.top;
    EXPECT_EQ(hintRect.top, rowScreen.top + (rowHeight - hintHeight) / 2 - 2)
        << "centred on the row and raised by 2 pixels";

    SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(10, (row.top + row.bottom) / 2));
    EXPECT_FALSE(IsWindowVisible(hint)) << "a row that fits shows none";
}
