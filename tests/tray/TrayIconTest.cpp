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

// A plain top-level window of the test.
class TestWindow : public Window {
public:
    explicit TestWindow(const char* title, bool visible = false) {
        RegisterWindowClass("PathwinkTrayTestWindow");
        Create(0, "PathwinkTrayTestWindow", title, WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0),
               100, 100, 300, 200, nullptr);
    }
};

// Records both events of an icon, in order.
struct EventLog {
    std::vector<std::string> seen;

    void Bind(TrayIcon& tray) {
        tray.OnLeftButtonDown = [this] { seen.push_back("left down"); };
        tray.OnMenuRequested = [this](POINT) { seen.push_back("menu"); };
    }
    int Count(const std::string& name) const {
        return static_cast<int>(std::count(seen.begin(), seen.end(), name));
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

// Counts the WM_NULLs without a window that any message loop of this thread takes
// while it exists, a message box's own loop included.
class WakeUpWatch {
public:
    WakeUpWatch() {
        count_ = 0;
        hook_ = SetWindowsHookExA(WH_GETMESSAGE, WhenTaken, nullptr, GetCurrentThreadId());
    }
    ~WakeUpWatch() { UnhookWindowsHookEx(hook_); }
    WakeUpWatch(const WakeUpWatch&) = delete;
    WakeUpWatch& operator=(const WakeUpWatch&) = delete;
    bool Watching() const { return hook_ != nullptr; }
    int Count() const { return count_; }

private:
    static LRESULT CALLBACK WhenTaken(int code, WPARAM removal, LPARAM message) {
        const MSG& msg = *reinterpret_cast<const MSG*>(message);
        if (code == HC_ACTION && removal == PM_REMOVE && !msg.hwnd && msg.message == WM_NULL)
            ++count_;
        return CallNextHookEx(nullptr, code, removal, message);
    }
    static inline int count_ = 0;
    HHOOK hook_ = nullptr;
};

// Asks the shell, when window receives WM_DESTROY, whether it still holds the icon
// (window, id). Windows keeps an icon whose window went without removing it, as a
// ghost that stays until the mouse passes over it; Wine drops it with the window.
class IconAtDestroyWatch {
public:
    IconAtDestroyWatch(HWND window, UINT id) {
        window_ = window;
        id_ = id;
        seen_ = false;
        heldAtDestroy_ = false;
        hook_ = SetWindowsHookExA(WH_CALLWNDPROC, BeforeCall, nullptr, GetCurrentThreadId());
    }
    ~IconAtDestroyWatch() { UnhookWindowsHookEx(hook_); }
    IconAtDestroyWatch(const IconAtDestroyWatch&) = delete;
    IconAtDestroyWatch& operator=(const IconAtDestroyWatch&) = delete;
    bool Watching() const { return hook_ != nullptr; }
    bool DestroySeen() const { return seen_; }
    bool HeldAtDestroy() const { return heldAtDestroy_; }

private:
    static LRESULT CALLBACK BeforeCall(int code, WPARAM wParam, LPARAM lParam) {
        const CWPSTRUCT& call = *reinterpret_cast<const CWPSTRUCT*>(lParam);
        if (code == HC_ACTION && call.hwnd == window_ && call.message == WM_DESTROY) {
            seen_ = true;
            heldAtDestroy_ = pwtest::ShellHasIcon(window_, id_);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static inline HWND window_ = nullptr;
    static inline UINT id_ = 0;
    static inline bool seen_ = false;
    static inline bool heldAtDestroy_ = false;
    HHOOK hook_ = nullptr;
};

// As the shell delivers a notification: a message on this thread, handled before the call returns.
void Notify(const TrayIcon& tray, LPARAM notification) {
    // The first parameter (the icon's identifier) is not examined: 0 is no identifier of ours.
    SendMessageA(tray.WindowHandle(), TrayIcon::kCallbackMessage, 0, notification);
}

std::string Pattern(size_t length) {
    std::string text;
    for (size_t i = 0; i < length; ++i)
        text += static_cast<char>('A' + i % 26);
    return text;
}

// Each test's own tooltip, so that an icon left by another test is never taken for its own.
std::string UniqueTip(const char* what) {
    return std::string("Pathwink ") + what;
}

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

TEST(TrayIcon, ShowAddsOneIconWithItsTooltipAndDestructionRemovesIt) {
    ASSERT_TRUE(IconsWithTip("Pathwink").empty()) << "an icon of another test or program is left";
    auto tray = std::make_unique<TrayIcon>(nullptr);
    tray->SetTooltip("Pathwink");
    const HWND hwnd = tray->WindowHandle();
    const UINT id = tray->IconId();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_FALSE(ShellHasIcon(hwnd, id)) << "nothing is added before Show()";
    EXPECT_FALSE(tray->IconAdded());

    tray->Show();
    EXPECT_TRUE(tray->IconAdded());
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);
    EXPECT_FALSE(tray->RetryPending());
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "the hidden window is never shown";

    tray->Show(); // while shown: no second add, which the shell would refuse
    EXPECT_TRUE(tray->IconAdded());
    EXPECT_FALSE(tray->RetryPending());
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);

    IconAtDestroyWatch watch(hwnd, id);
    ASSERT_TRUE(watch.Watching());
    tray.reset();
    EXPECT_TRUE(watch.DestroySeen());
    EXPECT_FALSE(watch.HeldAtDestroy()) << "the icon is removed before its window goes";
    EXPECT_FALSE(ShellHasIcon(hwnd, id)) << "no stale icon remains";
    EXPECT_TRUE(IconsWithTip("Pathwink").empty());
    EXPECT_FALSE(IsWindow(hwnd)) << "the hidden window goes with the icon";
}

TEST(TrayIcon, TheRecordTellsTheShellItsVersionByThePlatformsSize) {
    TrayIcon tray(nullptr);
    const NOTIFYICONDATAW& record = tray.NotifyRecord();
    // The wide record up to the balloon fields: 952 bytes for 64-bit programs, 936
    // for 32-bit ones. Wine accepts either size, so only the record itself shows a
    // wrong one.
    EXPECT_EQ(record.cbSize, offsetof(NOTIFYICONDATAW, guidItem));
    EXPECT_EQ(record.cbSize, sizeof(void*) == 8 ? 952u : 936u);
    EXPECT_EQ(record.hWnd, tray.WindowHandle());
    EXPECT_EQ(record.uID, tray.IconId());
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_APP + 1));
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON))
        << "no tip while the tooltip is empty";
    EXPECT_NE(record.hIcon, nullptr);
    TrayIcon other(nullptr);
    EXPECT_NE(other.IconId(), tray.IconId()) << "each icon has its own identifier";
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

TEST(TrayIcon, TheShellGetsItsOwnCopyOfTheProgramsIconAtTheTraysSize) {
    const int large = GetSystemMetrics(SM_CXICON), small = GetSystemMetrics(SM_CXSMICON);
    ASSERT_NE(large, small);
    HINSTANCE module = GetModuleHandleA(nullptr);
    UniqueIcon designedSmall(
        static_cast<HICON>(LoadImageA(module, "MAINICON", IMAGE_ICON, small, small, 0)));
    ASSERT_TRUE(designedSmall);
    const struct {
        const char* what;
        bool callerGivesIcon;
    } cases[] = {
        {"the caller's large window icon", true},
        {"no icon given: the program's icon resource", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HICON callers =
            c.callerGivesIcon
                ? static_cast<HICON>(LoadImageA(module, "MAINICON", IMAGE_ICON, large, large, 0))
                : nullptr;
        ASSERT_EQ(callers != nullptr, c.callerGivesIcon);
        TrayIcon tray(callers);
        if (callers)
            DestroyIcon(callers); // the caller keeps no duty toward the tray icon
        const HICON copy = tray.NotifyRecord().hIcon;
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(copy, &info)) << "an icon of the tray icon's own";
        BITMAP bm{};
        GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        EXPECT_EQ(bm.bmWidth, small);
        EXPECT_EQ(Pixels(copy, small), Pixels(designedSmall.Get(), small))
            << "the image drawn for the small size, not the large one shrunk";

        tray.Show();
        EXPECT_TRUE(tray.IconAdded());
    }
}

TEST(TrayIcon, ClicksOnTheShownIconReachItsHandlers) {
    const std::string tip = UniqueTip("click test");
    TrayIcon tray(nullptr);
    tray.SetTooltip(tip);
    EventLog log;
    log.Bind(tray);
    POINT menuAt{-1, -1};
    tray.OnMenuRequested = [&](POINT at) {
        log.seen.push_back("menu");
        menuAt = at;
    };
    tray.Show();
    const auto shown = IconsWithTip(tip);
    ASSERT_EQ(shown.size(), 1u) << "the icon is not in Wine's tray window";
    const RECT r = shown[0].rect;
    const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};

    pwtest::ClickAt(centre, MOUSEEVENTF_LEFTDOWN);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("left down") == 1; }, 5000))
        << "the left click did not come back from the shell";

    pwtest::ClickAt(centre, MOUSEEVENTF_RIGHTDOWN);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("menu") == 1; }, 5000))
        << "the right click did not come back from the shell";
    pwtest::PumpFor(100); // anything else the clicks would bring
    // The shell delivers in order: the left release came before the right click.
    EXPECT_EQ(log.seen, (std::vector<std::string>{"left down", "menu"}))
        << "a left click opens no menu, a right click presses nothing";
    EXPECT_EQ(menuAt.x, centre.x);
    EXPECT_EQ(menuAt.y, centre.y) << "the menu opens where the cursor is";
    TakeThreadWakeUps();
}

TEST(TrayIcon, OnlyALeftPressAndARightReleaseDoAnything) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    const struct {
        const char* what;
        LPARAM notification;
        std::vector<std::string> expected;
        bool ownerInFront;
        int wakeUps;
    } cases[] = {
        {"left down", WM_LBUTTONDOWN, {"left down"}, false, 0},
        {"right up", WM_RBUTTONUP, {"menu"}, true, 1},
        {"left up", WM_LBUTTONUP, {}, false, 0},
        {"left double click", WM_LBUTTONDBLCLK, {}, false, 0},
        {"right down (held)", WM_RBUTTONDOWN, {}, false, 0},
        {"right double click", WM_RBUTTONDBLCLK, {}, false, 0},
        {"mouse move", WM_MOUSEMOVE, {}, false, 0},
        {"middle button", WM_MBUTTONDOWN, {}, false, 0},
        {"balloon shown", NIN_BALLOONSHOW, {}, false, 0},
        {"balloon hidden", NIN_BALLOONHIDE, {}, false, 0},
        {"balloon timed out", NIN_BALLOONTIMEOUT, {}, false, 0},
        {"balloon clicked", NIN_BALLOONUSERCLICK, {}, false, 0},
        {"select (newer shells)", NIN_SELECT, {}, false, 0},
        {"key select (newer shells)", NIN_KEYSELECT, {}, false, 0},
        {"context menu (newer shells)", WM_CONTEXTMENU, {}, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetForegroundWindow(front.Handle());
        ASSERT_EQ(GetForegroundWindow(), front.Handle());
        TakeThreadWakeUps();
        TrayIcon tray(nullptr);
        tray.SetMenuOwner(owner.Handle());
        EventLog log;
        log.Bind(tray);
        Notify(tray, c.notification);
        EXPECT_EQ(log.seen, c.expected);
        EXPECT_EQ(GetForegroundWindow(), c.ownerInFront ? owner.Handle() : front.Handle());
        EXPECT_EQ(TakeThreadWakeUps(), c.wakeUps);
    }
}

TEST(TrayIcon, TheMenuOpensAtTheCursorWithItsOwnerInFrontAndAWakeUpAfter) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    const struct {
        const char* what;
        HWND menuOwner;
        HWND expectedFront;
    } cases[] = {
        {"menu owner given", owner.Handle(), owner.Handle()},
        {"no menu owner: the foreground stays", nullptr, front.Handle()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetForegroundWindow(front.Handle());
        ASSERT_EQ(GetForegroundWindow(), front.Handle());
        SetCursorPos(321, 234);
        POINT cursor{};
        GetCursorPos(&cursor);
        TakeThreadWakeUps();

        TrayIcon tray(nullptr);
        tray.SetMenuOwner(c.menuOwner);
        int calls = 0;
        POINT at{};
        HWND foreground = nullptr;
        bool ownerShown = true;
        int wakeUpsBefore = -1;
        tray.OnMenuRequested = [&](POINT p) {
            ++calls;
            at = p;
            foreground = GetForegroundWindow();
            ownerShown = IsWindowVisible(owner.Handle()) != FALSE;
            wakeUpsBefore = TakeThreadWakeUps();
        };
        Notify(tray, WM_RBUTTONUP);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(at.x, cursor.x);
        EXPECT_EQ(at.y, cursor.y);
        EXPECT_EQ(foreground, c.expectedFront) << "the foreground window while the menu is open";
        EXPECT_FALSE(ownerShown) << "the owner is not made visible";
        EXPECT_EQ(wakeUpsBefore, 0) << "the wake-up is posted after the menu, not before";
        EXPECT_EQ(TakeThreadWakeUps(), 1) << "one WM_NULL to the thread's queue after the menu";
    }

    TrayIcon noMenu(nullptr);
    SetForegroundWindow(front.Handle());
    noMenu.SetMenuOwner(owner.Handle());
    Notify(noMenu, WM_RBUTTONUP);
    EXPECT_EQ(GetForegroundWindow(), front.Handle()) << "without a menu nothing is brought forward";
    EXPECT_EQ(TakeThreadWakeUps(), 0);
}

TEST(TrayIcon, AMenuThatFailsIsReportedAndStillGetsItsWakeUp) {
    TakeThreadWakeUps();
    TrayIcon tray(nullptr);
    tray.OnMenuRequested = [](POINT) { throw std::runtime_error("The menu could not be built"); };
    // The report's own message loop takes the wake-up posted after the failure.
    WakeUpWatch watch;
    ASSERT_TRUE(watch.Watching());
    auto report = pwtest::AnswerDialog(Application::Instance().Title(), IDOK);
    Notify(tray, WM_RBUTTONUP);
    EXPECT_EQ(report.get(), "The menu could not be built.") << "the window's error report";
    TakeThreadWakeUps();
    EXPECT_EQ(watch.Count(), 1) << "one WM_NULL after the failed menu";
}

TEST(TrayIcon, TheTooltipIsCutTo127Characters) {
    for (size_t length : {1u, 126u, 127u, 128u, 200u}) {
        SCOPED_TRACE("tooltip of " + std::to_string(length) + " characters");
        const std::string tip = Pattern(length);
        TrayIcon tray(nullptr);
        tray.SetTooltip(tip);
        tray.Show();
        EXPECT_EQ(tray.Tooltip(), tip) << "the tooltip itself is kept whole";
        EXPECT_EQ(IconsWithTip(tip.substr(0, 127)).size(), 1u);
    }

    // Counted in UTF-16 units, and never through the middle of a character: an
    // emoji (two units) that would be cut in half is left out whole.
    const struct {
        std::string tip;
        std::wstring shown;
    } wide[] = {
        {std::string(125, 'a') + "\xF0\x9F\x93\x81", std::wstring(125, L'a') + L"\xD83D\xDCC1"},
        {std::string(126, 'a') + "\xF0\x9F\x93\x81", std::wstring(126, L'a')},
        {"\xCE\xA6\xE6\x96\x87", L"\x03A6\x6587"},
    };
    for (const auto& c : wide) {
        TrayIcon tray(nullptr);
        tray.SetTooltip(c.tip);
        EXPECT_EQ(std::wstring(tray.NotifyRecord().szTip), c.shown);
    }

    // Changes while shown reach the icon, an emptied tooltip included.
    TrayIcon tray(nullptr);
    tray.SetTooltip(UniqueTip("first tip"));
    tray.Show();
    const auto before = IconsWithTip(UniqueTip("first tip"));
    ASSERT_EQ(before.size(), 1u);
    const HWND shownWindow = before[0].window;
    auto tipOfOurs = [&] {
        for (const auto& icon : IconsInWineTray())
            if (icon.window == shownWindow)
                return icon.tip;
        return std::string("<icon gone>");
    };
    tray.SetTooltip(Pattern(150));
    EXPECT_EQ(tipOfOurs(), Pattern(127));
    tray.SetTooltip("");
    EXPECT_EQ(tipOfOurs(), "") << "an emptied tooltip leaves no old text behind";
    EXPECT_EQ(tray.NotifyRecord().uFlags & NIF_TIP, 0u);
}

TEST(TrayIcon, HideRemovesTheIconAndShowBringsItBack) {
    const std::string tip = UniqueTip("show and hide test");
    const size_t iconsBefore = IconsInWineTray().size();
    {
        // Never shown (a second copy of the program): nothing ever reaches the shell.
        TrayIcon tray(nullptr);
        tray.SetTooltip(tip);
        tray.Hide();
        EXPECT_FALSE(tray.IconAdded());
        EXPECT_FALSE(ShellHasIcon(tray.WindowHandle(), tray.IconId()));
        EXPECT_FALSE(tray.RetryPending());
        EXPECT_EQ(IconsInWineTray().size(), iconsBefore);
    }
    EXPECT_EQ(IconsInWineTray().size(), iconsBefore);

    TrayIcon tray(nullptr);
    tray.SetTooltip(tip);
    tray.Show();
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    ASSERT_TRUE(ShellHasIcon(hwnd, id));

    tray.Hide();
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(tray.IconAdded());
    EXPECT_TRUE(IconsWithTip(tip).empty());
    tray.Hide(); // again: nothing to remove, nothing breaks
    EXPECT_FALSE(tray.IconAdded());

    tray.Show();
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_TRUE(tray.IconAdded());
    EXPECT_EQ(IconsWithTip(tip).size(), 1u) << "back with its tooltip";
}

TEST(TrayIcon, TheTaskbarsBroadcastAddsTheIconAgainWhileItIsShown) {
    const struct {
        const char* what;
        bool show, hide, back;
    } cases[] = {
        {"shown icon lost with the old taskbar", true, false, true},
        {"hidden", true, true, false},
        {"never shown", false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tip = UniqueTip("broadcast test");
        TrayIcon tray(nullptr);
        tray.SetTooltip(tip);
        if (c.show)
            tray.Show();
        if (c.hide)
            tray.Hide();
        const HWND hwnd = tray.WindowHandle();
        const UINT id = tray.IconId();
        if (ShellHasIcon(hwnd, id)) {
            ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // as a restarted shell forgets it
        }

        // Posted to every top-level window before the call returns: one pump delivers it.
        ASSERT_TRUE(PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0));
        pwtest::PumpFor(100);
        EXPECT_EQ(ShellHasIcon(hwnd, id), c.back);
        EXPECT_EQ(IconsWithTip(tip).size(), c.back ? 1u : 0u);
        EXPECT_EQ(tray.IconAdded(), c.back);
        EXPECT_FALSE(tray.RetryPending());
    }
}

TEST(TrayIcon, TheEndOfTheLogonRemovesTheIconOnlyWhenItReallyEnds) {
    const struct {
        const char* what;
        UINT message;
        WPARAM ending;
        LRESULT answer;
        bool kept;
    } cases[] = {
        {"the logon may end", WM_QUERYENDSESSION, 0, TRUE, true},
        {"the logon ends", WM_ENDSESSION, TRUE, 0, false},
        {"the end was cancelled", WM_ENDSESSION, FALSE, 0, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrayIcon tray(nullptr);
        tray.SetTooltip(UniqueTip("end session test"));
        tray.Show();
        EXPECT_EQ(SendMessageA(tray.WindowHandle(), c.message, c.ending, 0), c.answer);
        EXPECT_EQ(ShellHasIcon(tray.WindowHandle(), tray.IconId()), c.kept);
        EXPECT_EQ(tray.IconAdded(), c.kept);
    }
}

TEST(TrayIcon, ARefusedAddIsTriedAgainUntilTheShellTakesTheIcon) {
    const std::string tip = UniqueTip("retry test");
    TrayIcon tray(nullptr);
    tray.SetRetryDelays({300, 600});
    tray.SetTooltip(tip);
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    // Another icon of the same identity makes the shell refuse the tray icon's add.
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));

    tray.Show();
    EXPECT_FALSE(tray.IconAdded()) << "the add was refused";
    EXPECT_TRUE(tray.RetryPending()) << "a refusal leaves the icon wanted";

    pwtest::PumpFor(500); // past the first try, which is refused again
    EXPECT_FALSE(tray.IconAdded());
    EXPECT_TRUE(tray.RetryPending()) << "a refused try waits for the next";

    ASSERT_TRUE(ShellDeleteIcon(hwnd, id));
    ASSERT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 3000))
        << "the second try did not add the icon";
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip(tip).size(), 1u) << "the tray icon's own, with its tooltip";
    EXPECT_FALSE(tray.RetryPending());
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheFirstTryOfTheProgramsOwnDelaysComesAfterOneSecond) {
    TrayIcon tray(nullptr);
    tray.SetTooltip(UniqueTip("default delays"));
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray.Show();
    ASSERT_TRUE(tray.RetryPending());
    ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // the way is free at once

    pwtest::PumpFor(800);
    EXPECT_FALSE(tray.IconAdded()) << "tried before a second had passed";
    ASSERT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 3000))
        << "no try came after the first second";
    EXPECT_FALSE(tray.RetryPending());
}

TEST(TrayIcon, TheTaskbarsBroadcastBringsInARefusedIconAndEndsTheTries) {
    TrayIcon tray(nullptr); // the program's own delays: the broadcast comes before the first try
    tray.SetTooltip(UniqueTip("refused then broadcast"));
    const HWND hwnd = tray.WindowHandle();
    const UINT id = tray.IconId();
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray.Show();
    ASSERT_TRUE(tray.RetryPending());

    ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // the old taskbar is gone with its icons
    PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 500));
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(tray.RetryPending());
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheTriesEndWithTheLastDelayOrWhenTheIconIsHidden) {
    const struct {
        const char* what;
        bool hide;
    } cases[] = {
        {"every try refused", false},
        {"hidden while waiting", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TrayIcon tray(nullptr);
        tray.SetRetryDelays({50, 50, 50});
        const HWND hwnd = tray.WindowHandle();
        const UINT id = tray.IconId();
        ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
        tray.Show();
        ASSERT_TRUE(tray.RetryPending());
        if (c.hide)
            tray.Hide();
        else
            ASSERT_TRUE(pwtest::WaitUntil([&] { return !tray.RetryPending(); }, 3000))
                << "the tries did not end";
        EXPECT_FALSE(tray.RetryPending());
        EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains";
        EXPECT_FALSE(tray.IconAdded());

        // The new taskbar refuses too: a wanted icon starts its tries afresh.
        tray.SetRetryDelays({300, 300});
        PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0);
        pwtest::PumpFor(50);
        EXPECT_EQ(tray.RetryPending(), !c.hide);

        ShellDeleteIcon(hwnd, id); // the way is free now: only a wanted icon comes back
        if (!c.hide)
            EXPECT_TRUE(pwtest::WaitUntil([&] { return tray.IconAdded(); }, 3000));
        else
            pwtest::PumpFor(400);
        EXPECT_EQ(ShellHasIcon(hwnd, id), !c.hide);
        EXPECT_FALSE(tray.RetryPending());
    }
}

TEST(TrayIcon, AnIconFreedWhileARetryWaitsLeavesNothingBehind) {
    auto tray = std::make_unique<TrayIcon>(nullptr);
    tray->SetRetryDelays({50});
    const HWND hwnd = tray->WindowHandle();
    const UINT id = tray->IconId();
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray->Show();
    ASSERT_TRUE(tray->RetryPending());
    tray.reset(); // removes the icon of its identity, whoever added it
    pwtest::PumpFor(200);
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(TrayIcon, AnIconMayBeFreedByItsOwnHandlers) {
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
        auto tray = std::make_unique<TrayIcon>(nullptr);
        tray->SetTooltip(UniqueTip("freed by handler"));
        tray->Show();
        const HWND hwnd = tray->WindowHandle();
        const UINT id = tray->IconId();
        // The handler goes on after the free with a text it holds itself: a handler
        // destroyed while it runs would read that text from freed memory.
        const std::string text = Pattern(200);
        std::string readAfterFree;
        auto freeTray = [&tray, &readAfterFree, text] {
            tray.reset();
            readAfterFree = text;
        };
        if (c.byMenu)
            tray->OnMenuRequested = [freeTray](POINT) { freeTray(); };
        else
            tray->OnLeftButtonDown = freeTray;
        Notify(*tray, c.notification);
        EXPECT_EQ(tray, nullptr);
        EXPECT_EQ(readAfterFree, text);
        EXPECT_FALSE(ShellHasIcon(hwnd, id));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(TakeThreadWakeUps(), c.byMenu ? 1 : 0);
    }
}
