// The real Pathwink.exe started and driven from this process: start-up with and
// without "tray", the main window's pages and bottom bar, exit and its saving.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

using namespace pwtest;

namespace {

const char kQuietExit[] = "[Options]\r\nConfirmExit=0\r\n";

int Centre(int screen, int size) {
    return (screen - size) / 2;
}

} // namespace

TEST(StartUp, WithoutArgumentsShowsTheWindowCentredOnTheAboutPage) {
    PathwinkProcess app;
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    EXPECT_EQ(TextOf(app.MainWindow()), "Pathwink");
    EXPECT_EQ(app.ActivePage(), 2);
    RECT r;
    GetWindowRect(app.MainWindow(), &r);
    EXPECT_NEAR(r.left, Centre(GetSystemMetrics(SM_CXSCREEN), r.right - r.left), 1);
    EXPECT_NEAR(r.top, Centre(GetSystemMetrics(SM_CYSCREEN), r.bottom - r.top), 1);
    RECT client;
    GetClientRect(app.MainWindow(), &client);
    EXPECT_EQ(client.right, 457);
    EXPECT_EQ(client.bottom, 277);
    const LONG style = GetWindowLongA(app.MainWindow(), GWL_STYLE);
    EXPECT_FALSE(style & WS_SYSMENU) << "no title-bar buttons";
    EXPECT_FALSE(style & WS_THICKFRAME) << "fixed size";
    EXPECT_FALSE(GetWindowLongA(app.MainWindow(), GWL_EXSTYLE) & WS_EX_APPWINDOW);
}

TEST(StartUp, TrayKeepsTheWindowHiddenButPresent) {
    for (const char* args : {"tray", "\"tray\"", "\"\"tray extra"}) {
        PathwinkProcess app;
        ASSERT_TRUE(app.Start(args)) << args;
        PumpFor(500);
        EXPECT_TRUE(app.Running()) << args;
        EXPECT_FALSE(app.MainVisible()) << args;
        EXPECT_TRUE(IsWindow(app.MainWindow())) << "the hidden window receives messages";
        EXPECT_EQ(GetWindow(app.MainWindow(), GW_CHILD), nullptr) << "pages made in the tray";
    }
    for (const char* args : {"Tray", "/tray", "other tray"}) {
        PathwinkProcess app;
        ASSERT_TRUE(app.Start(args)) << args;
        EXPECT_TRUE(WaitUntil([&] { return app.MainVisible(); })) << args;
    }
}

TEST(StartUp, AMinimisedStartEndsInTheTray) {
    PathwinkProcess app;
    ASSERT_TRUE(app.Start("", SW_SHOWMINNOACTIVE));
    PumpFor(500);
    EXPECT_FALSE(app.MainVisible());
    EXPECT_TRUE(app.Running());
}

TEST(MainWindow, TrayHidesAndNothingIsSaved) {
    PathwinkProcess app;
    ASSERT_TRUE(app.Start());
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    app.SetCheck("Confirm on exit button click.", false);
    app.Click("Tray");
    EXPECT_TRUE(WaitUntil([&] { return !app.MainVisible(); }));
    PumpFor(300);
    EXPECT_TRUE(app.Running());
    EXPECT_FALSE(app.SettingsExist()) << "hiding writes nothing";
}

TEST(MainWindow, ExitAsksFirstAndSavesOnYes) {
    PathwinkProcess app;
    ASSERT_TRUE(app.Start());
    app.SetCheck("Double-click on folder in Folder Shortcuts edits shortcut instead of opening "
                 "Explorer.",
                 true);
    app.Click("Exit");
    HWND question = app.WaitForDialog("Confirmation");
    ASSERT_TRUE(question) << "no question";
    EXPECT_EQ(MessageTextOf(question), "Exit Pathwink?");
    EXPECT_TRUE(GetDlgItem(question, IDYES) && GetDlgItem(question, IDNO));
    Press(question, IDNO);
    PumpFor(500);
    EXPECT_TRUE(app.Running()) << "No keeps it running";
    EXPECT_FALSE(app.SettingsExist()) << "No saves nothing";

    app.Click("Exit");
    question = app.WaitForDialog("Confirmation");
    ASSERT_TRUE(question);
    Press(question, IDYES);
    ASSERT_TRUE(app.WaitForExit()) << "Yes ends the program";
    EXPECT_EQ(app.ExitCode(), 0u);
    EXPECT_EQ(app.Profile("Options", "DClickEdits"), "1") << "the changed option is saved";
    EXPECT_EQ(app.Profile("Options", "WarnWeakKey"), "1");
    EXPECT_EQ(app.Profile("Options", "ConfirmExit"), "1");
    EXPECT_EQ(app.Profile("Options", "RunOnStarup"), "1");
    EXPECT_EQ(app.Profile("Options", "WarnAltGr"), "1");
}

TEST(MainWindow, ExitWithoutConfirmationEndsAtOnce) {
    PathwinkProcess app(kQuietExit);
    ASSERT_TRUE(app.Start());
    EXPECT_FALSE(app.Checked("Confirm on exit button click."));
    app.Click("Exit");
    ASSERT_TRUE(app.WaitForExit());
    EXPECT_TRUE(app.NoWindow("#32770", "Confirmation"));
}

TEST(MainWindow, AFailedSaveAtExitAsksAndNoKeepsTheProgramRunning) {
    PathwinkProcess app(kQuietExit);
    ASSERT_TRUE(app.Start());
    const std::string before = app.ReadSettings();
    ASSERT_TRUE(SetFileAttributesA(app.SettingsPath().c_str(), FILE_ATTRIBUTE_READONLY));
    app.Click("Exit");
    HWND error = app.WaitForDialog("Pathwink");
    ASSERT_TRUE(error) << "no error report";
    const std::string text = MessageTextOf(error);
    EXPECT_EQ(text.rfind("Unable to write to ", 0), 0u) << text;
    EXPECT_EQ(text.substr(0, text.find('\n')), "Unable to write to " + app.SettingsPath() + ".");
    EXPECT_NE(text.find('\n'), std::string::npos) << "the reason on a line of its own: " << text;
    Press(error, IDOK);
    HWND question = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            question = app.WaitForDialog("Pathwink", 100);
            return question && question != error && IsWindow(question) &&
                   MessageTextOf(question) == "Exit Pathwink without saving?";
        },
        5000))
        << "no question after the error";
    Press(question, IDNO);
    PumpFor(500);
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(IsWindowVisible(app.MainWindow())) << "the window stays";
    EXPECT_EQ(app.ReadSettings(), before) << "the file is untouched";

    SetFileAttributesA(app.SettingsPath().c_str(), FILE_ATTRIBUTE_NORMAL);
    app.Click("Exit");
    EXPECT_TRUE(app.WaitForExit()) << "a later exit works";
}

TEST(MainWindow, HelpWithoutItsPageReportsNothing) {
    PathwinkProcess app(kQuietExit);
    RemoveTree(app.Folder() + "\\help");
    ASSERT_TRUE(app.Start());
    app.Click("Help");
    PumpFor(1500);
    EXPECT_TRUE(app.Running());
    EXPECT_TRUE(app.NoWindow("#32770", "Pathwink"));
}

TEST(MainWindow, ACloseRequestEndsTheProgramEvenWithTheEditorOpen) {
    // What the installer and the uninstaller send to a running copy.
    PathwinkProcess app("[Options]\r\nConfirmExit=1\r\n");
    ASSERT_TRUE(app.Start());
    app.Click("New Shortcut");
    ASSERT_TRUE(app.WaitForEditor());
    PostMessageA(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitForExit()) << "still running with the editor open";
    EXPECT_EQ(app.ExitCode(), 0u);
    EXPECT_TRUE(app.NoWindow("#32770", "Confirmation")) << "no question";
    EXPECT_EQ(app.Profile("Options", "ConfirmExit"), "1") << "saved on the way out";
    EXPECT_EQ(app.Profile("Options", "WarnWeakKey"), "1");
}
