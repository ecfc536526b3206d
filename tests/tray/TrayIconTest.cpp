// TrayIcon against the real shell of the test prefix: what the notification area
// holds (asked through Shell_NotifyIconA and read from Wine's tray window), what
// the shell's notifications do, and how the icon survives a refused add, a
// re-created taskbar and the end of the logon.

#include "tray/TrayIcon.h"

#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"
#include "win/Application.h"
#include "win/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace pw;
using pwtest::IconsInWineTray;
using pwtest::IconsWithTip;
using pwtest::ShellAddIcon;
using pwtest::ShellDeleteIcon;
using pwtest::ShellHasIcon;

namespace {

constexpr UINT kCallback = TrayIcon::kCallbackMessage;

// A plain top-level window of the test; onSize sees WM_SIZE as the main window does.
class TestWindow : public Window {
public:
    explicit TestWindow(const char* title, bool visible = false) {
        RegisterWindowClass("PathwinkTrayTestWindow");
        Create(0, "PathwinkTrayTestWindow", title,
               WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 100, 100, 300, 200, nullptr);
    }
    std::function<void(WPARAM)> onSize;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_SIZE && onSize)
            onSize(wParam);
        return Window::HandleMessage(msg, wParam, lParam);
    }
};

// Records every event of a component, by name, and checks each sender.
struct EventLog {
    std::vector<std::string> seen;
    int wrongSender = 0;

    void Bind(TrayIcon& tray) {
        auto record = [this, &tray](const char* name) {
            return [this, &tray, name](TrayIcon& sender) {
                seen.push_back(name);
                wrongSender += &sender != &tray;
            };
        };
        tray.OnLButtonDown = record("LButtonDown");
        tray.OnLButtonUp = record("LButtonUp");
        tray.OnLButtonDblClick = record("LButtonDblClick");
        tray.OnRButtonDown = record("RButtonDown");
        tray.OnRButtonUp = record("RButtonUp");
        tray.OnRButtonDblClick = record("RButtonDblClick");
        tray.OnBalloonHintHide = record("BalloonHintHide");
        tray.OnBalloonHintClose = record("BalloonHintClose");
        tray.OnBalloonHintClick = record("BalloonHintClick");
        tray.OnMinimizeApp = record("MinimizeApp");
        tray.OnRestoreApp = record("RestoreApp");
        tray.OnEndSession = record("EndSession");
        tray.ShowPopupMenu = [this](POINT) { seen.push_back("menu"); };
    }
    int Count(const std::string& name) const {
        int n = 0;
        for (const auto& s : seen)
            n += s == name;
        return n;
    }
};

// Removes the messages posted to this thread without a window and counts the WM_NULLs.
int TakeThreadWakeUps() {
    int count = 0;
    MSG msg;
    while (PeekMessageA(&msg, reinterpret_cast<HWND>(-1), 0, 0, PM_REMOVE))
        count += msg.message == WM_NULL;
    return count;
}

// As the shell delivers a notification: a message on this thread, handled before the call returns.
void Notify(const TrayIcon& tray, LPARAM notification) {
    // The first parameter (the icon's identifier) is not examined: 0 is no identifier of ours.
    SendMessageA(tray.WindowHandle(), kCallback, 0, notification);
}

std::string Pattern(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('A' + i % 26);
    return text;
}

// Each test's own tooltip, so that an icon left by another test is never taken for its own.
std::string UniqueHint(const char* what) { return std::string("Pathwink ") + what; }

// Keeps one icon of the test program in Wine's tray for the whole run: the tray
// window is hidden when its last icon goes and shown again with the next, and
// each of those costs about two seconds when its window is managed by no one.
class KeepTrayShown : public ::testing::Environment {
public:
    void SetUp() override {
        window_ = CreateWindowExA(WS_EX_TOOLWINDOW, "STATIC", "", WS_POPUP, 0, 0, 0, 0, nullptr,
                                  nullptr, nullptr, nullptr);
        ShellAddIcon(window_, 1, "tray_tests keeps the tray shown");
    }
    void TearDown() override {
        ShellDeleteIcon(window_, 1);
        DestroyWindow(window_);
    }

private:
    HWND window_ = nullptr;
};
::testing::Environment* const keepTrayShown =
    ::testing::AddGlobalTestEnvironment(new KeepTrayShown);

} // namespace

TEST(TrayIcon, LoadingAddsOneIconWithTheProgramsTooltipAndDestructionRemovesIt) {
    ASSERT_TRUE(IconsWithTip("Pathwink").empty()) << "an icon of another test or program is left";
    auto tray = std::make_unique<TrayIcon>();
    tray->SetHint("Pathwink");
    const HWND hwnd = tray->WindowHandle();
    const UINT id = tray->IconId();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(ShellHasIcon(hwnd, id)) << "nothing is added before the after-loading step";

    tray->Loaded();
    EXPECT_TRUE(tray->IconAdded());
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);
    EXPECT_FALSE(tray->RetryPending());
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "the hidden window is never shown";

    tray->Loaded(); // once only: no second add
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);
    EXPECT_TRUE(tray->IconAdded());

    tray.reset();
    EXPECT_FALSE(ShellHasIcon(hwnd, id)) << "no stale icon remains";
    EXPECT_TRUE(IconsWithTip("Pathwink").empty());
    EXPECT_FALSE(IsWindow(hwnd)) << "the hidden window goes with the component";
}

TEST(TrayIcon, TheRecordTellsTheShellItsVersionByThePlatformsSize) {
    TrayIcon tray;
    const NOTIFYICONDATAA& record = tray.NotifyRecord();
    // The record up to the balloon fields: 504 bytes for 64-bit programs, 488 for 32-bit
    // ones. Wine accepts either size, so only the record itself shows a wrong one.
    EXPECT_EQ(record.cbSize, offsetof(NOTIFYICONDATAA, guidItem));
    EXPECT_EQ(record.cbSize, sizeof(void*) == 8 ? 504u : 488u);
    EXPECT_EQ(record.hWnd, tray.WindowHandle());
    EXPECT_EQ(record.uCallbackMessage, 9250u);
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON))
        << "no tip while the hint is empty";
    EXPECT_NE(record.hIcon, nullptr) << "the program's icon resource was loaded";
    TrayIcon other;
    EXPECT_NE(other.IconId(), tray.IconId()) << "each component has its own identifier";
}

// The colours of icon drawn at size x size on white.
std::vector<DWORD> Pixels(HICON icon, int size) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = size;
    bi.bmiHeader.biHeight = -size;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(dc, dib);
    std::vector<DWORD> pixels(static_cast<size_t>(size) * size, 0xFFFFFF);
    std::copy(pixels.begin(), pixels.end(), static_cast<DWORD*>(bits));
    DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
    GdiFlush();
    std::copy_n(static_cast<DWORD*>(bits), pixels.size(), pixels.begin());
    SelectObject(dc, old);
    DeleteObject(dib);
    DeleteDC(dc);
    return pixels;
}

TEST(TrayIcon, TheShellGetsTheComponentsOwnCopyOfTheIconAtTheTraysSize) {
    const int large = GetSystemMetrics(SM_CXICON), small = GetSystemMetrics(SM_CXSMICON);
    ASSERT_NE(large, small);
    HINSTANCE module = GetModuleHandleA(nullptr);
    UniqueIcon designedSmall(static_cast<HICON>(
        LoadImageA(module, "MAINICON", IMAGE_ICON, small, small, 0)));
    HICON callers = static_cast<HICON>(LoadImageA(module, "MAINICON", IMAGE_ICON, large, large, 0));
    ASSERT_TRUE(designedSmall && callers);

    TrayIcon tray(callers); // the program hands over its large window icon
    DestroyIcon(callers);    // and keeps no duty toward the component
    const HICON copy = tray.NotifyRecord().hIcon;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(copy, &info)) << "the copy outlives the caller's icon";
    BITMAP bm{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(bm.bmWidth, small);
    EXPECT_EQ(Pixels(copy, small), Pixels(designedSmall.Get(), small))
        << "the image drawn for the small size, not the large one shrunk";

    tray.Loaded();
    EXPECT_TRUE(tray.IconAdded());
}

TEST(TrayIcon, ClicksOnTheShownIconReachTheComponent) {
    const std::string hint = UniqueHint("click test");
    TrayIcon tray;
    tray.SetHint(hint);
    EventLog log;
    log.Bind(tray);
    POINT menuAt{-1, -1};
    tray.ShowPopupMenu = [&](POINT at) {
        log.seen.push_back("menu");
        menuAt = at;
    };
    tray.Loaded();
    const auto shown = IconsWithTip(hint);
    ASSERT_EQ(shown.size(), 1u) << "the icon is not in Wine's tray window";
    const RECT r = shown[0].rect;
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};

    pwtest::ClickAt(centre, MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("LButtonUp") == 1; }, 5000))
        << "the left click did not come back from the shell";
    EXPECT_EQ(log.Count("LButtonDown"), 1);
    EXPECT_EQ(log.Count("menu"), 0) << "a left click opens no menu";

    pwtest::ClickAt(centre, MOUSEEVENTF_RIGHTDOWN);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("RButtonUp") == 1; }, 5000))
        << "the right click did not come back from the shell";
    EXPECT_EQ(log.Count("menu"), 1);
    EXPECT_EQ(menuAt.x, centre.x);
    EXPECT_EQ(menuAt.y, centre.y) << "the menu opens where the cursor is";
    EXPECT_EQ(log.wrongSender, 0);
}

TEST(TrayIcon, EachNotificationRunsItsGestureStepsThenRaisesOnlyItsOwnEvent) {
    using C = TrayIconGesture;
    const C none = C::ticNone, rightUp = C::ticRightClickUp;
    const struct {
        const char* what;
        C restoreOn, popupMenuOn;
        LPARAM notification;
        std::vector<std::string> expected; // in order
    } cases[] = {
        // This program's configuration: no restore, the menu on a right-button release.
        {"left down", none, rightUp, WM_LBUTTONDOWN, {"LButtonDown"}},
        {"left up", none, rightUp, WM_LBUTTONUP, {"LButtonUp"}},
        {"left double click", none, rightUp, WM_LBUTTONDBLCLK, {"LButtonDblClick"}},
        {"right down (held)", none, rightUp, WM_RBUTTONDOWN, {"RButtonDown"}},
        {"right up", none, rightUp, WM_RBUTTONUP, {"menu", "RButtonUp"}},
        {"right double click", none, rightUp, WM_RBUTTONDBLCLK, {"RButtonDblClick"}},
        {"balloon hidden", none, rightUp, NIN_BALLOONHIDE, {"BalloonHintHide"}},
        {"balloon timed out", none, rightUp, NIN_BALLOONTIMEOUT, {"BalloonHintClose"}},
        {"balloon clicked", none, rightUp, NIN_BALLOONUSERCLICK, {"BalloonHintClick"}},
        {"mouse move", none, rightUp, WM_MOUSEMOVE, {}},
        {"middle button", none, rightUp, WM_MBUTTONDOWN, {}},
        {"balloon shown", none, rightUp, NIN_BALLOONSHOW, {}},
        {"select (newer shells)", none, rightUp, NIN_SELECT, {}},
        {"context menu (newer shells)", none, rightUp, WM_CONTEXTMENU, {}},
        // Other configurations: restore first, then the menu, then the event.
        {"restore on double click", C::ticLeftDblClick, rightUp, WM_LBUTTONDBLCLK,
         {"RestoreApp", "LButtonDblClick"}},
        {"menu on left down", none, C::ticLeftClick, WM_LBUTTONDOWN, {"menu", "LButtonDown"}},
        {"both on right down", C::ticRightClick, C::ticRightClick, WM_RBUTTONDOWN,
         {"RestoreApp", "menu", "RButtonDown"}},
        {"no gesture configured", none, none, WM_RBUTTONUP, {"RButtonUp"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow owner("owner");
        TrayIcon tray;
        tray.OwnerForm = owner.Handle();
        tray.RestoreOn = c.restoreOn;
        tray.PopupMenuOn = c.popupMenuOn;
        EventLog log;
        log.Bind(tray);
        Notify(tray, c.notification);
        EXPECT_EQ(log.seen, c.expected);
        EXPECT_EQ(log.wrongSender, 0);
        TakeThreadWakeUps();
    }
}

TEST(TrayIcon, TheMenuOpensAtTheCursorWithItsOwnerInFrontAndAWakeUpAfter) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    TestWindow mainWindow("main");
    const HWND savedMain = Application::Instance().MainWindow();
    Application::Instance().SetMainWindow(mainWindow.Handle());
    const struct {
        const char* what;
        HWND ownerForm;
        HWND expectedFront;
    } cases[] = {
        {"owner form given", owner.Handle(), owner.Handle()},
        {"no owner form: the application's main window", nullptr, mainWindow.Handle()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetForegroundWindow(front.Handle());
        ASSERT_EQ(GetForegroundWindow(), front.Handle());
        SetCursorPos(321, 234);
        POINT cursor{};
        GetCursorPos(&cursor);
        TakeThreadWakeUps();

        TrayIcon tray;
        tray.OwnerForm = c.ownerForm;
        int calls = 0;
        POINT at{};
        HWND foreground = nullptr;
        bool shown = false;
        int wakeUpsBefore = -1;
        tray.ShowPopupMenu = [&](POINT p) {
            ++calls;
            at = p;
            foreground = GetForegroundWindow();
            shown = IsWindowVisible(c.expectedFront);
            wakeUpsBefore = TakeThreadWakeUps();
        };
        Notify(tray, WM_RBUTTONUP);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(at.x, cursor.x);
        EXPECT_EQ(at.y, cursor.y);
        EXPECT_EQ(foreground, c.expectedFront) << "made the foreground window before the menu";
        EXPECT_FALSE(shown) << "the owner is not made visible";
        EXPECT_EQ(wakeUpsBefore, 0) << "the wake-up is posted after the menu, not before";
        EXPECT_EQ(TakeThreadWakeUps(), 1) << "one WM_NULL to the thread's queue after the menu";
    }
    Application::Instance().SetMainWindow(savedMain);

    TrayIcon noMenu;
    SetForegroundWindow(front.Handle());
    noMenu.OwnerForm = owner.Handle();
    Notify(noMenu, WM_RBUTTONUP);
    EXPECT_EQ(GetForegroundWindow(), front.Handle()) << "without a menu nothing is brought forward";
    EXPECT_EQ(TakeThreadWakeUps(), 0);
}

TEST(TrayIcon, AMenuThatFailsIsReportedAndLeavesNoOpenMenuBehind) {
    TestWindow app("app", true);
    TrayIcon tray;
    tray.OwnerForm = app.Handle();
    int restored = 0;
    tray.OnRestoreApp = [&](TrayIcon&) { ++restored; };

    // While the menu is open the application is not restored.
    tray.ShowPopupMenu = [&](POINT) { tray.ApplicationRestored(app.Handle()); };
    Notify(tray, WM_RBUTTONUP);
    EXPECT_EQ(restored, 0);
    TakeThreadWakeUps();

    tray.ShowPopupMenu = [](POINT) { throw std::runtime_error("The menu could not be built"); };
    auto report = pwtest::AnswerDialog(Application::Instance().Title(), IDOK);
    Notify(tray, WM_RBUTTONUP);
    EXPECT_EQ(report.get(), "The menu could not be built.") << "the window's error report";
    // The wake-up posted after the failure is taken by the report's own message loop.

    tray.ApplicationRestored(app.Handle());
    EXPECT_EQ(restored, 1) << "the menu counts as closed after the failure";
}

TEST(TrayIcon, AMinimisedApplicationWindowGoesToTheTray) {
    const struct {
        const char* what;
        bool enabled, hideOnMinimize, hidden;
    } cases[] = {
        {"this program", true, true, true},
        {"hiding turned off", true, false, false},
        {"icon disabled (second copy)", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow app("app", true);
        TrayIcon tray;
        tray.SetEnabled(c.enabled);
        tray.HideOnMinimize = c.hideOnMinimize;
        EventLog log;
        log.Bind(tray);
        app.onSize = [&](WPARAM kind) {
            if (kind == SIZE_MINIMIZED)
                tray.ApplicationMinimized(app.Handle());
        };
        ShowWindow(app.Handle(), SW_MINIMIZE);
        EXPECT_EQ(IsWindowVisible(app.Handle()) == FALSE, c.hidden);
        EXPECT_EQ(log.seen, std::vector<std::string>{"MinimizeApp"});
    }
}

TEST(TrayIcon, RestoringBringsTheWindowBackOnceAndNotWhileDisabled) {
    const struct {
        const char* what;
        bool enabled, restored;
    } cases[] = {
        {"enabled", true, true},
        {"disabled", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TestWindow front("front", true);
        TestWindow app("app", true);
        TrayIcon tray;
        tray.SetEnabled(c.enabled);
        EventLog log;
        log.Bind(tray);
        // As the main window does: both notifications come from its WM_SIZE, so the
        // component's own restore comes back to it and must be ignored.
        app.onSize = [&](WPARAM kind) {
            if (kind == SIZE_MINIMIZED)
                tray.ApplicationMinimized(app.Handle());
            else if (kind == SIZE_RESTORED)
                tray.ApplicationRestored(app.Handle());
        };
        ShowWindow(app.Handle(), SW_MINIMIZE);
        ASSERT_TRUE(IsIconic(app.Handle()));
        SetForegroundWindow(front.Handle());
        log.seen.clear();

        tray.ApplicationRestored(app.Handle());
        EXPECT_EQ(IsIconic(app.Handle()) == FALSE, c.restored);
        EXPECT_EQ(IsWindowVisible(app.Handle()) != FALSE, c.restored || !c.enabled);
        EXPECT_EQ(GetForegroundWindow() == app.Handle(), c.restored);
        EXPECT_EQ(log.seen, std::vector<std::string>{"RestoreApp"}) << "raised once";
    }
}

TEST(TrayIcon, TheTooltipIsTheHintCutTo127Characters) {
    for (size_t length : {1u, 126u, 127u, 128u, 200u}) {
        SCOPED_TRACE("hint of " + std::to_string(length) + " characters");
        const std::string hint = Pattern(length);
        TrayIcon tray;
        tray.SetHint(hint);
        tray.Loaded();
        EXPECT_EQ(tray.Hint(), hint) << "the hint itself is kept whole";
        const auto shown = IconsWithTip(hint.substr(0, 127));
        EXPECT_EQ(shown.size(), 1u);
    }

    // Changes after loading reach the shown icon, an emptied hint included.
    TrayIcon tray;
    tray.SetHint(UniqueHint("first tip"));
    tray.Loaded();
    const auto before = IconsWithTip(UniqueHint("first tip"));
    ASSERT_EQ(before.size(), 1u);
    const HWND shownWindow = before[0].window;
    auto tipOfOurs = [&] {
        for (const auto& icon : IconsInWineTray())
            if (icon.window == shownWindow)
                return icon.tip;
        return std::string("<icon gone>");
    };
    tray.SetHint(Pattern(150));
    EXPECT_EQ(tipOfOurs(), Pattern(127));
    tray.SetHint("");
    EXPECT_EQ(tipOfOurs(), "") << "an emptied hint leaves no old tooltip behind";
    EXPECT_EQ(tray.NotifyRecord().uFlags & NIF_TIP, 0u);
}

TEST(TrayIcon, WritingEnabledAddsAndRemovesOnlyAfterLoading) {
    const std::string hint = UniqueHint("enabled test");
    const size_t iconsBefore = IconsInWineTray().size();
    {
        // A second copy: disabled while still loading, so nothing ever reaches the shell.
        TrayIcon tray;
        tray.SetHint(hint);
        tray.SetEnabled(false);
        tray.Loaded();
        EXPECT_FALSE(tray.Enabled());
        EXPECT_FALSE(tray.IconAdded());
        EXPECT_FALSE(ShellHasIcon(tray.WindowHandle(), tray.IconId()));
        EXPECT_FALSE(tray.RetryPending());
        EXPECT_EQ(IconsInWineTray().size(), iconsBefore);
    }
    EXPECT_EQ(IconsInWineTray().size(), iconsBefore);
    {
        // Any write before loading only stores the value: the icon comes with Loaded().
        TrayIcon tray;
        tray.SetEnabled(false);
        tray.SetEnabled(true);
        EXPECT_FALSE(ShellHasIcon(tray.WindowHandle(), tray.IconId()));
        tray.Loaded();
        EXPECT_TRUE(ShellHasIcon(tray.WindowHandle(), tray.IconId()));
    }

    TrayIcon tray;
    tray.SetHint(hint);
    tray.Loaded();
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    ASSERT_TRUE(ShellHasIcon(hwnd, id));

    tray.SetEnabled(false);
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(tray.IconAdded());
    tray.SetEnabled(true);
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip(hint).size(), 1u);

    // The same value again sends nothing: an icon the shell lost stays lost.
    ASSERT_TRUE(ShellDeleteIcon(hwnd, id));
    tray.SetEnabled(true);
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
}

TEST(TrayIcon, TheTaskbarsBroadcastAddsTheIconAgainWhileItIsWanted) {
    const struct {
        const char* what;
        bool loaded, enabled, back;
    } cases[] = {
        {"shown icon lost with the old taskbar", true, true, true},
        {"disabled", true, false, false},
        {"still loading", false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string hint = UniqueHint("broadcast test");
        TrayIcon tray;
        tray.SetHint(hint);
        tray.SetEnabled(c.enabled);
        if (c.loaded)
            tray.Loaded();
        const HWND hwnd = tray.WindowHandle();
        const UINT id = tray.IconId();
        if (ShellHasIcon(hwnd, id)) {
            ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // as a restarted shell forgets it
        }

        // Posted to every top-level window before the call returns: one pump delivers it.
        ASSERT_TRUE(PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0));
        pwtest::PumpFor(100);
        EXPECT_EQ(ShellHasIcon(hwnd, id), c.back);
        EXPECT_EQ(IconsWithTip(hint).size(), c.back ? 1u : 0u);
        EXPECT_EQ(tray.IconAdded(), c.back);
        EXPECT_FALSE(tray.RetryPending());
    }
}

TEST(TrayIcon, TheEndOfTheLogonRemovesTheIconOnlyWhenItReallyEnds) {
    const struct {
        const char* what;
        WPARAM ending;
        bool kept;
    } cases[] = {
        {"the logon ends", TRUE, false},
        {"the end was cancelled", FALSE, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrayIcon tray;
        tray.SetHint(UniqueHint("end session test"));
        EventLog log;
        log.Bind(tray);
        tray.Loaded();
        EXPECT_EQ(SendMessageA(tray.WindowHandle(), WM_ENDSESSION, c.ending, 0), 0);
        EXPECT_EQ(log.seen, std::vector<std::string>{"EndSession"});
        EXPECT_EQ(ShellHasIcon(tray.WindowHandle(), tray.IconId()), c.kept);
        EXPECT_EQ(tray.IconAdded(), c.kept);
    }
}

TEST(TrayIcon, TheQueryForTheEndOfTheLogonAsksTheHandler) {
    const struct {
        const char* what;
        bool bound, allow;
        LRESULT answer;
    } cases[] = {
        {"no handler", false, true, 1},
        {"handler allows", true, true, 1},
        {"handler refuses", true, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrayIcon tray;
        int calls = 0;
        bool onEntry = false;
        if (c.bound)
            tray.OnQueryEndSession = [&](TrayIcon& sender, bool& allow) {
                ++calls;
                onEntry = allow;
                EXPECT_EQ(&sender, &tray);
                allow = c.allow;
            };
        EXPECT_EQ(SendMessageA(tray.WindowHandle(), WM_QUERYENDSESSION, 0, 0), c.answer);
        EXPECT_EQ(calls, c.bound ? 1 : 0);
        if (c.bound) {
            EXPECT_TRUE(onEntry) << "the handler is asked with true";
        }
    }
}

TEST(TrayIcon, ARefusedAddIsTriedAgainUntilTheShellTakesTheIcon) {
    const std::string hint = UniqueHint("retry test");
    TrayIcon tray;
    tray.RetryDelaysMs = {300, 600};
    tray.SetHint(hint);
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    // Another icon of the same identity makes the shell refuse the component's add.
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));

    tray.Loaded();
    EXPECT_FALSE(tray.IconAdded()) << "the add was refused";
    EXPECT_TRUE(tray.Enabled()) << "a refusal leaves the icon wanted";
    EXPECT_TRUE(tray.RetryPending());

    pwtest::PumpFor(500); // past the first try, which is refused again
    EXPECT_FALSE(tray.IconAdded());
    EXPECT_TRUE(tray.RetryPending()) << "a refused try waits for the next";

    ASSERT_TRUE(ShellDeleteIcon(hwnd, id));
    ASSERT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 3000))
        << "the second try did not add the icon";
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip(hint).size(), 1u) << "the component's own icon, with its tooltip";
    EXPECT_FALSE(tray.RetryPending());
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheTaskbarsBroadcastBringsInARefusedIconAndEndsTheTries) {
    TrayIcon tray; // the program's own delays: the broadcast comes before the first try
    tray.SetHint(UniqueHint("refused then broadcast"));
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray.Loaded();
    ASSERT_TRUE(tray.RetryPending());

    ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // the old taskbar is gone with its icons
    PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 500));
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(tray.RetryPending());
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheTriesEndWithTheLastDelayOrWhenTheIconIsNoLongerWanted) {
    const struct {
        const char* what;
        bool disable;
    } cases[] = {
        {"every try refused", false},
        {"disabled while waiting", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrayIcon tray;
        tray.RetryDelaysMs = {50, 50, 50};
        const HWND hwnd = tray.WindowHandle();
        const UINT id = tray.IconId();
        ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
        tray.Loaded();
        ASSERT_TRUE(tray.RetryPending());
        if (c.disable)
            tray.SetEnabled(false);
        else
            ASSERT_TRUE(pwtest::WaitUntil([&] { return !tray.RetryPending(); }, 3000))
                << "the tries did not end";
        EXPECT_FALSE(tray.RetryPending());
        EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains";
        EXPECT_FALSE(tray.IconAdded());
        EXPECT_EQ(tray.Enabled(), !c.disable);

        ShellDeleteIcon(hwnd, id); // the way is free now: only a wanted icon comes back
        PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0);
        pwtest::PumpFor(200);
        EXPECT_EQ(ShellHasIcon(hwnd, id), !c.disable);
    }
}

TEST(TrayIcon, AComponentFreedWhileARetryWaitsLeavesNothingBehind) {
    auto tray = std::make_unique<TrayIcon>();
    tray->RetryDelaysMs = {50};
    const HWND hwnd = tray->WindowHandle();
    const UINT id = tray->IconId();
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray->Loaded();
    ASSERT_TRUE(tray->RetryPending());
    tray.reset(); // removes the icon of its identity, whoever added it
    pwtest::PumpFor(200);
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(TrayIcon, AComponentMayBeFreedByItsOwnHandlers) {
    const struct {
        const char* what;
        LPARAM notification;
        bool byMenu;
    } cases[] = {
        {"left-button handler", WM_LBUTTONDOWN, false},
        {"the menu (its exit entry)", WM_RBUTTONUP, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TakeThreadWakeUps();
        auto tray = std::make_unique<TrayIcon>();
        tray->SetHint(UniqueHint("freed by handler"));
        tray->Loaded();
        const HWND hwnd = tray->WindowHandle();
        const UINT id = tray->IconId();
        int rButtonUp = 0;
        tray->OnRButtonUp = [&](TrayIcon&) { ++rButtonUp; };
        if (c.byMenu)
            tray->ShowPopupMenu = [&](POINT) { tray.reset(); };
        else
            tray->OnLButtonDown = [&](TrayIcon&) { tray.reset(); };
        Notify(*tray, c.notification);
        EXPECT_EQ(tray, nullptr);
        EXPECT_EQ(rButtonUp, 0) << "nothing is raised by a freed component";
        EXPECT_FALSE(ShellHasIcon(hwnd, id));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(TakeThreadWakeUps(), c.byMenu ? 1 : 0);
    }
}
