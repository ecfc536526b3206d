// The tray icon, its menu and the single-instance guard, end to end: the icon as
// the shell shows it, the menu driven with keys as a user would, a second copy.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"
#include "tray/TrayIcon.h"
#include "win/Scoped.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace pwtest;

namespace {

// The notifications shown now, each as its window and text, for a report.
std::string Listed(const std::vector<ShownBalloon>& balloons) {
    std::string out;
    for (const ShownBalloon& b : balloons)
        out += " [" + std::to_string(reinterpret_cast<UINT_PTR>(b.window)) + ": " + b.text + "]";
    return out.empty() ? " none" : out;
}

std::string MachineRunValue() {
    return RunValue(HKEY_LOCAL_MACHINE).value_or("<absent>");
}

} // namespace

TEST(Tray, TheFirstCopyShowsExactlyOneIconWithItsTooltip) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(app.Start("tray"));
    EXPECT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").size() == 1; }))
        << "icons with the tooltip: " << IconsWithTip("Pathwink").size();
    // A re-created taskbar's broadcast adds it again without doubling it.
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    PumpFor(1000);
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);
    app.Click("Exit");
    ASSERT_TRUE(app.WaitForExit());
    EXPECT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").empty(); })) << "no stale icon";
}

TEST(Tray, TheMenuOpensOnRightButtonUpAndClosesWithEscape) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(app.Start("tray"));
    app.TrayNotify(WM_RBUTTONDOWN);
    PumpFor(500);
    EXPECT_TRUE(app.NoWindow("#32768", nullptr)) << "pressing alone opens nothing";
    app.TrayNotify(WM_RBUTTONUP);
    HWND menu = app.WaitForMenu();
    ASSERT_TRUE(menu) << "no menu";
    PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(menu); }));
    EXPECT_TRUE(app.Running());
}

TEST(Tray, FolderEntriesOpenTheirFoldersOrReportThemMissing) {
    const std::string a = MakeTempFolder("pwtray&a"), b = MakeTempFolder("pwtrayb");
    const std::string missing = b + "\\gone";
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\nCount=3\r\n0Path=" + a +
                        "\r\n0ShortCut=0\r\n1Path=" + b +
                        "\r\n1ShortCut=49220\r\n2Path=" + missing + "\r\n2ShortCut=0\r\n");
    ASSERT_TRUE(app.Start("tray"));
    ASSERT_TRUE(app.ChooseFromTrayMenu(1)); // the first entry: the path with '&'
    EXPECT_TRUE(WaitAndCloseExplorer(a)) << a;
    ASSERT_TRUE(app.ChooseFromTrayMenu(3)); // the third: a folder that is gone
    HWND message = app.WaitForDialog("Pathwink");
    ASSERT_TRUE(message);
    EXPECT_EQ(MessageTextOf(message).find("The folder \"" + missing + "\" does not exist"), 0u);
    Press(message, IDOK);
    PumpFor(300);
    RemoveTree(a);
    RemoveTree(b);
}

TEST(Tray, ConfigurationEntriesAndTheLeftButtonShowTheWindowOnTheirPage) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(app.Start("tray"));
    EXPECT_FALSE(app.MainVisible());
    app.TrayNotify(WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); })) << "left button shows the window";
    EXPECT_EQ(app.ActivePage(), 2) << "the first showing is on the About page";

    const int pages[] = {0, 1, 2}; // Configure Shortcuts, Configure Options, About Pathwink
    for (int page : pages) {
        ASSERT_TRUE(app.ChooseFromTrayMenu(page + 1));
        EXPECT_TRUE(WaitUntil([&] { return app.ActivePage() == page; })) << page;
        EXPECT_TRUE(app.MainVisible());
    }
    ASSERT_TRUE(app.ChooseFromTrayMenu(2)); // Options
    ASSERT_TRUE(WaitUntil([&] { return app.ActivePage() == 1; }));
    app.Click("Tray");
    ASSERT_TRUE(WaitUntil([&] { return !app.MainVisible(); }));
    app.TrayNotify(WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    EXPECT_EQ(app.ActivePage(), 1) << "the page last active";
}

TEST(Tray, ExitFromTheMenuNeverAsksAndSaves) {
    PathwinkProcess app; // ConfirmExit is on by default
    ASSERT_TRUE(app.Start("tray"));
    app.TrayNotify(WM_RBUTTONUP);
    HWND menu = app.WaitForMenu();
    ASSERT_TRUE(menu);
    PostMessageA(menu, WM_KEYDOWN, VK_UP, 0); // from no selection, Up reaches the last entry
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(app.WaitForExit()) << "not ended";
    EXPECT_TRUE(app.NoWindow("#32770", "Confirmation"));
    EXPECT_EQ(app.Profile("Options", "ConfirmExit"), "1") << "the close saved";
}

TEST(SingleInstance, ASecondCopyTellsTheUserAndEndsWithoutAWindowOrWriting) {
    const std::string folder = MakeTempFolder("pwfirst");
    PathwinkProcess first(
        "[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=1\r\n0Path=" + folder +
        "\r\n0ShortCut=" + std::to_string(0xC000 | VK_F8) + "\r\n");
    ASSERT_TRUE(first.Start("tray"));
    ASSERT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").size() == 1; }));
    const std::string runBefore = MachineRunValue();

    const struct {
        const char* args;
        int answer; // how the message is dismissed
    } cases[] = {{"", IDOK}, {"tray", IDOK}, {"", IDCANCEL}, {"tray", 0 /* close box */}};
    for (const auto& c : cases) {
        PathwinkProcess second("[Options]\r\nConfirmExit=0\r\n");
        const std::string before = second.ReadSettings();
        ASSERT_TRUE(second.Launch(c.args));
        HWND box = second.WaitForDialog("Pathwink");
        ASSERT_TRUE(box) << "no message for args '" << c.args << "'";
        EXPECT_EQ(MessageTextOf(box), kAlreadyActive);
        EXPECT_TRUE(GetWindowLongA(box, GWL_EXSTYLE) & WS_EX_TOPMOST) << "kept on top";
        EXPECT_TRUE(second.NoWindow("TPathwinkMainForm", nullptr));
        EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u) << "no second icon";
        if (c.answer)
            Press(box, c.answer);
        else
            PostMessageA(box, WM_CLOSE, 0, 0);
        ASSERT_TRUE(second.WaitForExit()) << "the second copy did not end";
        EXPECT_EQ(second.ReadSettings(), before) << "the second copy wrote its settings";
        EXPECT_TRUE(second.NoWindow("TPathwinkMainForm", nullptr));
    }
    EXPECT_EQ(MachineRunValue(), runBefore) << "the second copies left the Run value alone";
    EXPECT_TRUE(first.Running());
    TypeKey(VK_F8, true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(folder)) << "the first copy's hotkey still works";
    RemoveTree(folder);
}

TEST(SingleInstance, OfTwoCopiesStartedTogetherExactlyOneKeepsRunning) {
    PathwinkProcess one("[Options]\r\nConfirmExit=0\r\n"), two("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(one.Launch("tray"));
    ASSERT_TRUE(two.Launch("tray"));
    HWND box = nullptr;
    PathwinkProcess* refused = nullptr;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if ((box = one.WaitForDialog("Pathwink", 50)))
                refused = &one;
            else if ((box = two.WaitForDialog("Pathwink", 50)))
                refused = &two;
            return box != nullptr;
        },
        15000));
    Press(box, IDOK);
    ASSERT_TRUE(refused->WaitForExit());
    PathwinkProcess& kept = refused == &one ? two : one;
    PumpFor(500);
    EXPECT_TRUE(kept.Running());
}

TEST(Tray, AShortcutHeldElsewhereIsInactiveEverywhereToldOnceAndWorksOnceFreed) {
    // The test process holds Ctrl+Alt+K as another program would, before Pathwink starts;
    // a hand-edited file binds Ctrl+Alt+D twice.
    const std::string held = MakeTempFolder("pwheld"), free = MakeTempFolder("pwzfree");
    const std::string twice = free + "\\twice";
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7102, MOD_CONTROL | MOD_ALT, 'K'));
    bool stillHeld = true;
    const pw::ScopeExit letGo([&] {
        if (stillHeld)
            UnregisterHotKey(nullptr, 0x7102);
    });
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\nCount=3\r\n0Path=" + held +
                        "\r\n0ShortCut=49227\r\n1Path=" + free +
                        "\r\n1ShortCut=49220\r\n2Path=" + twice + "\r\n2ShortCut=49220\r\n");
    ASSERT_TRUE(app.Start("tray"));
    EXPECT_EQ(app.Rows(),
              (std::vector<std::string>{"Ctrl+Alt+K (inactive)\t" + held, "Ctrl+Alt+D\t" + free,
                                        "Ctrl+Alt+D (inactive)\t" + twice}));
    EXPECT_TRUE(WaitUntil([] {
        return IconsWithTip("Pathwink (2 shortcuts inactive)").size() == 1;
    })) << "the tooltip counts them";

    // Told once, by a notification from the icon, naming the shortcut.
    std::vector<ShownBalloon> balloons;
    ASSERT_TRUE(WaitUntil([&] { return !(balloons = BalloonsInWineTray()).empty(); }, 8000))
        << "no notification";
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(balloons[0].text, "Ctrl+Alt+K for " + held + " is used by another program.\n" +
                                    "Ctrl+Alt+D for " + twice +
                                    " is already the key of another shortcut.");
    const HWND first = balloons[0].window;
    // Neither a re-created taskbar (the icon is added again) nor the window or the menu
    // opening brings it back; a new one would replace this window after two seconds.
    PostMessageA(HWND_BROADCAST, RegisterWindowMessageA("TaskbarCreated"), 0, 0);
    app.TrayNotify(WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    app.Click("Tray");
    PumpFor(3000);
    // Still the first one, within its ten seconds at least: no second replaced it.
    balloons = BalloonsInWineTray();
    EXPECT_TRUE(balloons.size() == 1 && balloons[0].window == first)
        << "the first notification (" << reinterpret_cast<UINT_PTR>(first)
        << ") is not the one shown:" << Listed(balloons);
    EXPECT_EQ(app.Rows()[0], "Ctrl+Alt+K (inactive)\t" + held) << "still held";

    // A click on the notification (Wine's balloon does not report it: sent as the shell would)
    // shows the Folder Shortcuts page.
    app.TrayNotify(NIN_BALLOONUSERCLICK);
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    EXPECT_EQ(app.ActivePage(), 0);

    // An inactive shortcut may get another folder with its key kept: it stays inactive.
    const std::string moved = MakeTempFolder("pwheldmoved");
    app.SelectRow(0);
    app.Click("Edit Selected");
    HWND editor = app.WaitForEditor();
    ASSERT_TRUE(editor);
    SetEditorFolder(editor, moved);
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(WaitUntil([&] { return !app.EditorShown(); })) << "the edit was refused";
    EXPECT_EQ(app.Rows()[0], "Ctrl+Alt+K (inactive)\t" + moved);
    EXPECT_EQ(app.Profile("Shortcuts", "0Path"), moved);
    EXPECT_EQ(app.Profile("Shortcuts", "0ShortCut"), "49227");
    app.Click("Tray");
    ASSERT_TRUE(WaitUntil([&] { return !app.MainVisible(); }));

    // Freed: the next opening of the window finds it, and its key opens the folder.
    UnregisterHotKey(nullptr, 0x7102);
    stillHeld = false;
    app.TrayNotify(WM_LBUTTONDOWN);
    ASSERT_TRUE(WaitUntil([&] { return app.MainVisible(); }));
    EXPECT_TRUE(WaitUntil([&] { return app.Rows()[0] == "Ctrl+Alt+K\t" + moved; }))
        << app.Rows()[0];
    EXPECT_TRUE(WaitUntil([] {
        return IconsWithTip("Pathwink (1 shortcut inactive)").size() == 1;
    })) << "the twice-bound one stays inactive";
    TypeKey('K', true, true);
    EXPECT_TRUE(WaitAndCloseExplorer(moved)) << "the freed key opens its folder";
    // Deleting the first of the twice-bound shortcuts frees its key for the other at once.
    app.SelectRow(1);
    app.Click("Delete Selected");
    EXPECT_TRUE(WaitUntil([&] {
        return app.Rows() ==
               std::vector<std::string>{"Ctrl+Alt+K\t" + moved, "Ctrl+Alt+D\t" + twice};
    })) << app.Rows().back();
    EXPECT_TRUE(WaitUntil([] { return IconsWithTip("Pathwink").size() == 1; }));
    PumpFor(2500);
    // The first may have timed out by now; no other may have come.
    balloons = BalloonsInWineTray();
    EXPECT_TRUE(std::none_of(balloons.begin(), balloons.end(),
                             [&](const ShownBalloon& b) { return b.window != first; }))
        << "the tooltip's change repeated the notification:" << Listed(balloons);
    app.Click("Exit");
    EXPECT_TRUE(app.WaitForExit());
    RemoveTree(held);
    RemoveTree(moved);
    RemoveTree(free);
}
