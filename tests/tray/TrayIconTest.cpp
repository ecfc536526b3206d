// TrayIcon against the real shell of the test prefix, seen from the outside: what
// the notification area holds (asked through Shell_NotifyIconA and read from
// Wine's tray window), what the icon gave the shell (its calls, passed through a
// log that can refuse them), what the shell's notifications to its hidden window
// do, and how the icon survives a refused call, a re-created taskbar and the end
// of the logon.

#include "tray/TrayIcon.h"

#include "tests/support/TestSupport.h"
#include "tests/tray/ShellTray.h"
#include "win/Application.h"
#include "win/Scoped.h"
#include "win/Text.h"
#include "win/Window.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

using namespace pw;
using pwtest::Describe;
using pwtest::IconsInWineTray;
using pwtest::IconsWithTip;
using pwtest::ShellAddIcon;
using pwtest::ShellCall;
using pwtest::ShellCallLog;
using pwtest::ShellDeleteIcon;
using pwtest::ShellHasIcon;
using Calls = std::vector<std::string>;

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

// The icon as the program's window serves it: a hidden top-level window (of the class
// the helpers below look for) that hands the icon its messages.
class TrayWindow : public Window {
public:
    TrayWindow() {
        RegisterWindowClass("PathwinkTrayWindow");
        Create(WS_EX_TOOLWINDOW, "PathwinkTrayWindow", "", WS_POPUP, 0, 0, 0, 0, nullptr);
    }
    TrayIcon* served = nullptr;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (served && served->HandleWindowMessage(msg, wParam, lParam, result))
            return result;
        return Window::HandleMessage(msg, wParam, lParam);
    }
};
class HostedTrayIcon : private TrayWindow, public TrayIcon {
public:
    HostedTrayIcon() : TrayIcon(TrayWindow::Handle()) { served = this; }
};

// Records the events of an icon, in order, and where the menu was asked for.
struct EventLog {
    std::vector<std::string> seen;
    POINT menuAt{-1, -1};

    void Bind(TrayIcon& tray) {
        tray.OnSelected = [this] { seen.push_back("selected"); };
        tray.OnMenuRequested = [this](POINT at) {
            seen.push_back("menu");
            menuAt = at;
        };
        tray.OnNotificationClicked = [this] { seen.push_back("notification clicked"); };
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

// The hidden window of the one tray icon that exists, found by its class as the
// shell and other programs find it; null when there is none, or more than one.
HWND HiddenWindow() {
    const auto found = pwtest::FindTopLevels("PathwinkTrayWindow", nullptr, GetCurrentProcessId());
    return found.size() == 1 ? found[0] : nullptr;
}

// True while the shell holds the tray icon.
bool ShellHoldsIcon() {
    return ShellHasIcon(HiddenWindow(), TrayIcon::kIconId);
}

// The two forms of the shell's notifications: the current version's, with the
// event and the icon's identifier in lParam and a screen point in wParam, and
// the old one's (a shell that refused the current version), with the event alone.
enum class Form { Current, Old };

// As the shell delivers a notification: a message on this thread, handled before the call returns.
void Notify(UINT event, Form form = Form::Current, POINT at = {0, 0}) {
    if (form == Form::Current)
        SendMessageA(HiddenWindow(), TrayIcon::kCallbackMessage, MAKEWPARAM(at.x, at.y),
                     MAKELPARAM(event, TrayIcon::kIconId));
    else
        SendMessageA(HiddenWindow(), TrayIcon::kCallbackMessage, TrayIcon::kIconId, event);
}

// Tells the hidden windows that the taskbar was created anew, as a restarted shell does.
void BroadcastTaskbarCreated() {
    // Posted to every top-level window before the call returns: one pump delivers it.
    PostMessageA(HWND_BROADCAST, TrayIcon::TaskbarCreatedMessage(), 0, 0);
    pwtest::PumpFor(100);
}

// The end of a retry delay, as the system tells it when the timer runs out.
void RetryDelayEnds() {
    PostMessageA(HiddenWindow(), WM_TIMER, TrayIcon::kRetryTimerId, 0);
    pwtest::PumpFor(20);
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
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    auto tray = std::make_unique<HostedTrayIcon>();
    tray->SetTooltip("Pathwink");
    const HWND hwnd = HiddenWindow();
    ASSERT_NE(hwnd, nullptr) << "no hidden window of the class PathwinkTrayWindow";
    const UINT id = TrayIcon::kIconId;
    EXPECT_FALSE(ShellHasIcon(hwnd, id)) << "nothing is added before Show()";
    EXPECT_EQ(Describe(shell.Take()), Calls{}) << "nothing reaches the shell before Show()";

    tray->Show();
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip("Pathwink").size(), 1u);
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no try waits";
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "the hidden window is never shown";

    tray->Show(); // while shown: no second add, which the shell would refuse
    EXPECT_EQ(Describe(shell.Take()), Calls{});
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

TEST(TrayIcon, TheShellGetsTheWholeCurrentRecordAndIsAskedForTheCurrentVersion) {
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    auto tray = std::make_unique<HostedTrayIcon>();
    tray->Show();
    const std::vector<ShellCall> calls = shell.Take();
    ASSERT_EQ(Describe(calls), (Calls{"add", "version 4"}))
        << "the keyboard reaches only icons of the current version";
    const NOTIFYICONDATAW& record = calls[0].record;
    // The whole record, which tells the shell every field is there: 976 bytes for
    // 64-bit programs, 956 for 32-bit ones. Wine accepts any size it knows, so only
    // the record itself shows a wrong one.
    EXPECT_EQ(record.cbSize, sizeof(NOTIFYICONDATAW));
    EXPECT_EQ(record.cbSize, sizeof(void*) == 8 ? 976u : 956u);
    EXPECT_EQ(record.hWnd, HiddenWindow());
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uCallbackMessage, kTrayIconMessage);
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_SHOWTIP))
        << "no tip while the tooltip is empty; the standard tooltip with the current version";
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_EQ(calls[1].record.hWnd, record.hWnd);
    EXPECT_EQ(calls[1].record.uID, record.uID);

    HostedTrayIcon other;
    const auto windows =
        pwtest::FindTopLevels("PathwinkTrayWindow", nullptr, GetCurrentProcessId());
    EXPECT_EQ(windows.size(), 2u) << "each icon has its own window, so its own identity";
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
    UniqueIcon designedSmall(static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON, small, small, 0)));
    ASSERT_TRUE(designedSmall);
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
    tray.Show();
    const std::vector<ShellCall> calls = shell.Take();
    ASSERT_EQ(Describe(calls), (Calls{"add", "version 4"}));
    const HICON copy = calls[0].record.hIcon;
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(copy, &info)) << "an icon of the tray icon's own";
    BITMAP bm{};
    GetObjectA(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof bm, &bm);
    DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    EXPECT_EQ(bm.bmWidth, small);
    EXPECT_EQ(Pixels(copy, small), Pixels(designedSmall.Get(), small))
        << "the image drawn for the small size, not the large one shrunk";
}

TEST(TrayIcon, ClicksOnTheShownIconReachItsHandlers) {
    const struct {
        const char* what;
        bool currentVersion;
    } cases[] = {
        {"a shell of the current version (a right click also asks for the menu)", true},
        {"a shell that refused the current version (old messages)", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tip = UniqueTip("click test");
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        if (!c.currentVersion)
            shell.Refuse(NIM_SETVERSION, 1);
        HostedTrayIcon tray;
        tray.SetTooltip(tip);
        EventLog log;
        log.Bind(tray);
        tray.Show();
        EXPECT_EQ(Describe(shell.Take()),
                  (Calls{"add", c.currentVersion ? "version 4" : "version 4 (refused)"}))
            << "a refused version keeps the icon as it is";
        const auto shown = IconsWithTip(tip);
        ASSERT_EQ(shown.size(), 1u) << "the icon is not in Wine's tray window";
        const RECT r = shown[0].rect;
        const POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};

        pwtest::ClickAt(centre, MOUSEEVENTF_LEFTDOWN);
        ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("selected") == 1; }, 5000))
            << "the left click did not come back from the shell";

        pwtest::ClickAt(centre, MOUSEEVENTF_RIGHTDOWN);
        ASSERT_TRUE(pwtest::WaitUntil([&] { return log.Count("menu") == 1; }, 5000))
            << "the right click did not come back from the shell";
        pwtest::PumpFor(100); // anything else the clicks would bring
        // The shell delivers in order: the left release came before the right click.
        EXPECT_EQ(log.seen, (std::vector<std::string>{"selected", "menu"}))
            << "a left click opens no menu, a right click selects nothing and opens one menu";
        EXPECT_EQ(log.menuAt.x, centre.x);
        EXPECT_EQ(log.menuAt.y, centre.y) << "the menu opens where the cursor is";
        TakeThreadWakeUps();
    }
}

TEST(TrayIcon, EnterAndShiftF10OnTheShownIconSelectItAndOpenTheMenuAtTheIcon) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    SetForegroundWindow(front.Handle());
    TakeThreadWakeUps();
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
    tray.SetMenuOwner(owner.Handle());
    EventLog log;
    log.Bind(tray);
    tray.Show();
    ASSERT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
    // Win+B and the arrow keys put the keyboard on the icon; the shell sends each key
    // to the callback with the icon's place, as here, not the cursor's.
    SetCursorPos(5, 5);
    const HWND hidden = pwtest::FindTopLevel("PathwinkTrayWindow", nullptr, GetCurrentProcessId());
    ASSERT_NE(hidden, nullptr);
    const POINT icon{1215, 788};
    SendMessageA(hidden, TrayIcon::kCallbackMessage, MAKEWPARAM(icon.x, icon.y),
                 MAKELPARAM(NIN_KEYSELECT, TrayIcon::kIconId)); // Enter or Space
    EXPECT_EQ(log.seen, (std::vector<std::string>{"selected"}));
    EXPECT_EQ(GetForegroundWindow(), front.Handle()) << "selecting is the owner's to show";

    SendMessageA(hidden, TrayIcon::kCallbackMessage, MAKEWPARAM(icon.x, icon.y),
                 MAKELPARAM(WM_CONTEXTMENU, TrayIcon::kIconId)); // Shift+F10 or the menu key
    EXPECT_EQ(log.seen, (std::vector<std::string>{"selected", "menu"}));
    EXPECT_EQ(log.menuAt.x, icon.x);
    EXPECT_EQ(log.menuAt.y, icon.y) << "the menu opens at the icon";
    EXPECT_EQ(GetForegroundWindow(), owner.Handle()) << "the menu's owner is in front";
    EXPECT_EQ(TakeThreadWakeUps(), 1) << "one WM_NULL after the menu";
}

TEST(TrayIcon, AMenuClosedWithEscGivesTheFocusBackToTheIconAndAScalingChangeLoadsItAgain) {
    TestWindow owner("owner", true);
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
    tray.SetMenuOwner(owner.Handle());
    tray.Show();
    const std::vector<ShellCall> added = shell.Take();
    // A real menu closed with Esc asks for the focus (Wine's tray refuses it), by a click nothing.
    for (const bool escape : {true, false}) {
        tray.OnMenuRequested = [&](POINT at) {
            const UniqueMenu menu(CreatePopupMenu());
            AppendMenuW(menu.Get(), MF_STRING, 1, L"Entry");
            auto user = std::async(std::launch::async, [&] { // waited for at the end
                Sleep(300);
                escape ? pwtest::TypeKey(VK_ESCAPE)
                       : pwtest::ClickAt({1000, 700}, MOUSEEVENTF_LEFTDOWN);
            });
            TrackPopupMenuEx(menu.Get(), TPM_RETURNCMD, at.x, at.y, owner.Handle(), nullptr);
        };
        Notify(WM_CONTEXTMENU, Form::Current, {200, 200});
        const std::vector<ShellCall> calls = shell.Take();
        EXPECT_EQ(calls.size(), escape ? 1u : 0u);
        EXPECT_TRUE(calls.empty() || calls[0].message == NIM_SETFOCUS);
        TakeThreadWakeUps();
    }
    RECT suggested{0, 0, 100, 100};
    SendMessageA(HiddenWindow(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    const std::vector<ShellCall> reloaded = shell.Take();
    ASSERT_EQ(Describe(reloaded), (Calls{"modify"}));
    EXPECT_NE(reloaded[0].record.hIcon, added[0].record.hIcon) << "a new icon";
}

TEST(TrayIcon, OnlyASelectionAMenuRequestAndANotificationClickDoAnything) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    const std::vector<std::string> selected{"selected"}, menu{"menu"}, none{};
    const struct {
        const char* what;
        Form form;
        UINT event;
        std::vector<std::string> expected;
        bool ownerInFront;
        int wakeUps;
    } cases[] = {
        {"left down", Form::Current, WM_LBUTTONDOWN, selected, false, 0},
        {"Enter or Space", Form::Current, NIN_KEYSELECT, selected, false, 0},
        {"right click, Shift+F10 or menu key", Form::Current, WM_CONTEXTMENU, menu, true, 1},
        {"right up (a menu request follows)", Form::Current, WM_RBUTTONUP, none, false, 0},
        {"select after the left release", Form::Current, NIN_SELECT, none, false, 0},
        {"left up", Form::Current, WM_LBUTTONUP, none, false, 0},
        {"left double click", Form::Current, WM_LBUTTONDBLCLK, none, false, 0},
        {"right down (held)", Form::Current, WM_RBUTTONDOWN, none, false, 0},
        {"right double click", Form::Current, WM_RBUTTONDBLCLK, none, false, 0},
        {"mouse move", Form::Current, WM_MOUSEMOVE, none, false, 0},
        {"middle button", Form::Current, WM_MBUTTONDOWN, none, false, 0},
        {"balloon shown", Form::Current, NIN_BALLOONSHOW, none, false, 0},
        {"balloon hidden", Form::Current, NIN_BALLOONHIDE, none, false, 0},
        {"balloon timed out", Form::Current, NIN_BALLOONTIMEOUT, none, false, 0},
        {"balloon clicked",
         Form::Current,
         NIN_BALLOONUSERCLICK,
         {"notification clicked"},
         false,
         0},
        {"old form: left down", Form::Old, WM_LBUTTONDOWN, selected, false, 0},
        {"old form: right up", Form::Old, WM_RBUTTONUP, menu, true, 1},
        {"old form: left up", Form::Old, WM_LBUTTONUP, none, false, 0},
        {"old form: right down (held)", Form::Old, WM_RBUTTONDOWN, none, false, 0},
        {"old form: select", Form::Old, NIN_SELECT, none, false, 0},
        {"old form: context menu (the right release opened it)", Form::Old, WM_CONTEXTMENU, none,
         false, 0},
        {"old form: balloon clicked",
         Form::Old,
         NIN_BALLOONUSERCLICK,
         {"notification clicked"},
         false,
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetForegroundWindow(front.Handle());
        ASSERT_EQ(GetForegroundWindow(), front.Handle());
        TakeThreadWakeUps();
        HostedTrayIcon tray;
        tray.SetMenuOwner(owner.Handle());
        EventLog log;
        log.Bind(tray);
        Notify(c.event, c.form);
        EXPECT_EQ(log.seen, c.expected);
        EXPECT_EQ(GetForegroundWindow(), c.ownerInFront ? owner.Handle() : front.Handle());
        EXPECT_EQ(TakeThreadWakeUps(), c.wakeUps);
    }
}

TEST(TrayIcon, TheMenuOpensWhereAskedWithItsOwnerInFrontAndAWakeUpAfter) {
    TestWindow front("front", true);
    TestWindow owner("owner");
    SetCursorPos(321, 234);
    POINT cursor{};
    GetCursorPos(&cursor);
    const struct {
        const char* what;
        Form form;
        POINT given;
        POINT expected;
        HWND menuOwner;
        HWND expectedFront;
    } cases[] = {
        {"the point the shell gives",
         Form::Current,
         {1215, 788},
         {1215, 788},
         owner.Handle(),
         owner.Handle()},
        {"a screen left of and above the main one",
         Form::Current,
         {-1200, -30},
         {-1200, -30},
         owner.Handle(),
         owner.Handle()},
        {"the old form: at the cursor", Form::Old, {}, cursor, owner.Handle(), owner.Handle()},
        {"no menu owner: the foreground stays",
         Form::Current,
         {40, 50},
         {40, 50},
         nullptr,
         front.Handle()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        SetForegroundWindow(front.Handle());
        ASSERT_EQ(GetForegroundWindow(), front.Handle());
        TakeThreadWakeUps();

        HostedTrayIcon tray;
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
        Notify(c.form == Form::Current ? WM_CONTEXTMENU : WM_RBUTTONUP, c.form, c.given);
        EXPECT_EQ(calls, 1);
        EXPECT_EQ(at.x, c.expected.x);
        EXPECT_EQ(at.y, c.expected.y);
        EXPECT_EQ(foreground, c.expectedFront) << "the foreground window while the menu is open";
        EXPECT_FALSE(ownerShown) << "the owner is not made visible";
        EXPECT_EQ(wakeUpsBefore, 0) << "the wake-up is posted after the menu, not before";
        EXPECT_EQ(TakeThreadWakeUps(), 1) << "one WM_NULL to the thread's queue after the menu";
    }

    HostedTrayIcon noMenu;
    SetForegroundWindow(front.Handle());
    noMenu.SetMenuOwner(owner.Handle());
    Notify(WM_CONTEXTMENU);
    EXPECT_EQ(GetForegroundWindow(), front.Handle()) << "without a menu nothing is brought forward";
    EXPECT_EQ(TakeThreadWakeUps(), 0);
}

TEST(TrayIcon, AMenuThatFailsIsReportedAndStillGetsItsWakeUp) {
    TakeThreadWakeUps();
    HostedTrayIcon tray;
    tray.OnMenuRequested = [](POINT) { throw std::runtime_error("The menu could not be built"); };
    // The report's own message loop takes the wake-up posted after the failure.
    WakeUpWatch watch;
    ASSERT_TRUE(watch.Watching());
    auto report = pwtest::AnswerDialog(kProgramName, IDOK);
    Notify(WM_CONTEXTMENU);
    EXPECT_EQ(report.get(), "The menu could not be built.") << "the window's error report";
    TakeThreadWakeUps();
    EXPECT_EQ(watch.Count(), 1) << "one WM_NULL after the failed menu";
}

TEST(TrayIcon, TheTooltipIsCutTo127Characters) {
    for (size_t length : {1u, 126u, 127u, 128u, 200u}) {
        SCOPED_TRACE("tooltip of " + std::to_string(length) + " characters");
        const std::string tip = Pattern(length);
        HostedTrayIcon tray;
        tray.SetTooltip(tip);
        tray.Show();
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
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        HostedTrayIcon tray;
        tray.SetTooltip(c.tip);
        tray.Show();
        const std::vector<ShellCall> calls = shell.Take();
        ASSERT_FALSE(calls.empty());
        EXPECT_EQ(std::wstring(calls[0].record.szTip), c.shown);
    }

    // Changes while shown reach the icon, an emptied tooltip included.
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
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
    tray.Hide();
    shell.Take();
    tray.Show();
    const std::vector<ShellCall> calls = shell.Take();
    ASSERT_EQ(Describe(calls), (Calls{"add", "version 4"}));
    EXPECT_EQ(calls[0].record.uFlags & NIF_TIP, 0u) << "an icon added again carries no tip";
}

TEST(TrayIcon, AChangeTheShellRefusesRenewsTheIcon) {
    const struct {
        const char* what;
        bool lost;      // the shell forgot the icon, as a restarted one that says nothing
        bool refuseTip; // the shell refuses the change of an icon it holds
        bool refuseAdd; // ... and the add that renews it
        Calls expected;
    } cases[] = {
        {"the shell lost the icon",
         true,
         false,
         false,
         {"tip (refused)", "delete (refused)", "add", "version 4"}},
        {"the shell refused the change",
         false,
         true,
         false,
         {"tip (refused)", "delete", "add", "version 4"}},
        {"the shell refuses the new add too",
         true,
         false,
         true,
         {"tip (refused)", "delete (refused)", "add (refused)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string oldTip = UniqueTip("old tip"), newTip = UniqueTip("new tip");
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        HostedTrayIcon tray;
        tray.SetTooltip(oldTip);
        tray.Show();
        ASSERT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
        if (c.lost) {
            ASSERT_TRUE(ShellDeleteIcon(HiddenWindow(), TrayIcon::kIconId));
        }
        if (c.refuseTip)
            shell.Refuse(NIM_MODIFY, 1);
        if (c.refuseAdd)
            shell.Refuse(NIM_ADD, 1);

        tray.SetTooltip(newTip);
        EXPECT_EQ(Describe(shell.Take()), c.expected);
        if (c.refuseAdd) {
            EXPECT_FALSE(ShellHoldsIcon());
            RetryDelayEnds(); // the refused add waits for its next try, like any other
            EXPECT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
        }
        EXPECT_EQ(IconsWithTip(newTip).size(), 1u) << "one icon, with the new tooltip";
        EXPECT_TRUE(IconsWithTip(oldTip).empty());
    }
}

TEST(TrayIcon, ANotificationIsShownOnceAndOneTheShellRefusedWaitsForTheNextAdd) {
    const struct {
        const char* what;
        bool beforeShow;
        bool lost;
        int refusals;
        Calls expected;
    } cases[] = {
        {"asked before the icon is there: with its add",
         true,
         false,
         0,
         {"add", "version 4", "notification"}},
        {"the icon is there", false, false, 0, {"notification"}},
        {"the shell lost the icon: it is added again with it",
         false,
         true,
         0,
         {"notification (refused)", "delete (refused)", "add", "version 4", "notification"}},
        {"the shell refuses every balloon: asked again only at the next add",
         false,
         false,
         2,
         {"notification (refused)", "delete", "add", "version 4", "notification (refused)"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        HostedTrayIcon tray;
        tray.SetTooltip(UniqueTip("notification test"));
        if (!c.beforeShow) {
            tray.Show();
            ASSERT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
        }
        if (c.lost) {
            ASSERT_TRUE(ShellDeleteIcon(HiddenWindow(), TrayIcon::kIconId));
        }
        shell.Refuse(NIM_MODIFY, c.refusals);
        // 70 and 300 characters: cut to the 63 and 255 the record holds.
        tray.ShowNotification(Pattern(70), "Ctrl+Alt+K " + Pattern(289));
        if (c.beforeShow)
            tray.Show();
        const std::vector<ShellCall> calls = shell.Take();
        ASSERT_EQ(Describe(calls), c.expected);
        const NOTIFYICONDATAW& balloon = calls.back().record;
        EXPECT_EQ(std::wstring(balloon.szInfoTitle), std::wstring(Wide(Pattern(63))));
        EXPECT_EQ(std::wstring(balloon.szInfo), std::wstring(Wide("Ctrl+Alt+K " + Pattern(244))));
        EXPECT_EQ(balloon.dwInfoFlags, static_cast<DWORD>(NIIF_WARNING));
        EXPECT_TRUE(ShellHoldsIcon());

        // The next broadcast of a taskbar brings a refused one, and only a refused one;
        // an icon the shell still holds is kept as it is.
        BroadcastTaskbarCreated();
        const Calls renewed{"modify"};
        const Calls renewedWithIt{"modify", "notification"};
        EXPECT_EQ(Describe(shell.Take()), c.refusals == 2 ? renewedWithIt : renewed);
        BroadcastTaskbarCreated();
        EXPECT_EQ(Describe(shell.Take()), renewed) << "a notification is shown once";
    }
}

TEST(TrayIcon, HideRemovesTheIconAndShowBringsItBack) {
    const std::string tip = UniqueTip("show and hide test");
    const size_t iconsBefore = IconsInWineTray().size();
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    {
        // Never shown (a second copy of the program): nothing ever reaches the shell.
        HostedTrayIcon tray;
        tray.SetTooltip(tip);
        tray.Hide();
        EXPECT_FALSE(ShellHoldsIcon());
        EXPECT_EQ(IconsInWineTray().size(), iconsBefore);
    }
    EXPECT_EQ(Describe(shell.Take()), Calls{});
    EXPECT_EQ(IconsInWineTray().size(), iconsBefore);

    HostedTrayIcon tray;
    tray.SetTooltip(tip);
    tray.Show();
    const HWND hwnd = HiddenWindow();
    const UINT id = TrayIcon::kIconId;
    ASSERT_TRUE(ShellHasIcon(hwnd, id));

    tray.Hide();
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_TRUE(IconsWithTip(tip).empty());
    shell.Take();
    tray.Hide(); // again: nothing to remove, nothing breaks
    EXPECT_EQ(Describe(shell.Take()), Calls{});

    tray.Show();
    EXPECT_TRUE(ShellHasIcon(hwnd, id));
    EXPECT_EQ(IconsWithTip(tip).size(), 1u) << "back with its tooltip";
}

TEST(TrayIcon, TheTaskbarsBroadcastAddsTheIconAgainWhileItIsShown) {
    const struct {
        const char* what;
        bool show, hide, lost;
        Calls expected;
    } cases[] = {
        {"shown icon lost with the old taskbar",
         true,
         false,
         true,
         {"modify (refused)", "add", "version 4"}},
        {"shown icon the shell kept: kept, with its notification", true, false, false, {"modify"}},
        {"hidden", true, true, false, {}},
        {"never shown", false, false, false, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string tip = UniqueTip("broadcast test");
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        HostedTrayIcon tray;
        tray.SetTooltip(tip);
        if (c.show)
            tray.Show();
        if (c.hide)
            tray.Hide();
        const HWND hwnd = HiddenWindow();
        const UINT id = TrayIcon::kIconId;
        if (c.lost) {
            ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // as a restarted shell forgets it
        }
        shell.Take();

        BroadcastTaskbarCreated();
        const bool back = !c.expected.empty();
        EXPECT_EQ(Describe(shell.Take()), c.expected);
        EXPECT_EQ(ShellHasIcon(hwnd, id), back);
        EXPECT_EQ(IconsWithTip(tip).size(), back ? 1u : 0u);
        EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no try waits";
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
        HostedTrayIcon tray;
        tray.SetTooltip(UniqueTip("end session test"));
        tray.Show();
        EXPECT_EQ(SendMessageA(HiddenWindow(), c.message, c.ending, 0), c.answer);
        EXPECT_EQ(ShellHoldsIcon(), c.kept);
    }
}

TEST(TrayIcon, ARefusedAddIsTriedAgainUntilTheShellTakesTheIcon) {
    const std::string tip = UniqueTip("retry test");
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
    tray.SetTooltip(tip);
    const HWND hwnd = HiddenWindow();
    const UINT id = TrayIcon::kIconId;
    // Another icon of the same identity makes the shell refuse the tray icon's add.
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));

    tray.Show();
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add (refused)"}));

    pwtest::PumpFor(1300); // past the first try (after 1 s), which is refused again
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add (refused)"})) << "a refusal leaves it wanted";

    ASSERT_TRUE(ShellDeleteIcon(hwnd, id));
    ASSERT_TRUE(pwtest::WaitUntil([&] { return ShellHasIcon(hwnd, id); }, 3000))
        << "the second try (2 s after the first) did not add the icon";
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
    EXPECT_EQ(IconsWithTip(tip).size(), 1u) << "the tray icon's own, with its tooltip";
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheFirstTryOfTheProgramsOwnDelaysComesAfterOneSecond) {
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray;
    tray.SetTooltip(UniqueTip("default delays"));
    const HWND hwnd = HiddenWindow();
    const UINT id = TrayIcon::kIconId;
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray.Show();
    ASSERT_EQ(Describe(shell.Take()), (Calls{"add (refused)"}));
    ASSERT_TRUE(ShellDeleteIcon(hwnd, id)); // the way is free at once

    pwtest::PumpFor(800);
    EXPECT_EQ(Describe(shell.Take()), Calls{}) << "tried before a second had passed";
    ASSERT_TRUE(pwtest::WaitUntil([&] { return ShellHasIcon(hwnd, id); }, 3000))
        << "no try came after the first second";
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add", "version 4"}));
    EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains at idle";
}

TEST(TrayIcon, TheTaskbarsBroadcastBringsInARefusedIconAndEndsTheTries) {
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    HostedTrayIcon tray; // the program's own delays: the broadcast comes before the first try
    tray.SetTooltip(UniqueTip("refused then broadcast"));
    const HWND hwnd = HiddenWindow();
    shell.Refuse(NIM_ADD, 1);
    tray.Show();
    ASSERT_EQ(Describe(shell.Take()), (Calls{"add (refused)"}));

    BroadcastTaskbarCreated();
    EXPECT_EQ(Describe(shell.Take()), (Calls{"delete (refused)", "add", "version 4"}));
    EXPECT_TRUE(ShellHasIcon(hwnd, TrayIcon::kIconId));
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
        ShellCallLog shell;
        ASSERT_TRUE(shell.Installed());
        shell.Refuse(NIM_ADD, 100);
        HostedTrayIcon tray;
        tray.Show();
        const HWND hwnd = HiddenWindow();
        Calls expected{"add (refused)"};
        if (c.hide) {
            tray.Hide();
            expected.push_back("delete (refused)");
        } else {
            // The program's five delays, each ended at once.
            for (int i = 0; i < 5; ++i) {
                RetryDelayEnds();
                expected.push_back("add (refused)");
            }
        }
        EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains";
        RetryDelayEnds(); // a late tick of a timer that is gone tries nothing
        EXPECT_EQ(Describe(shell.Take()), expected);

        // The new taskbar refuses too: a wanted icon starts its tries afresh.
        BroadcastTaskbarCreated();
        const Calls refusedAgain{"delete (refused)", "add (refused)"};
        EXPECT_EQ(Describe(shell.Take()), c.hide ? Calls{} : refusedAgain);
        shell.Refuse(NIM_ADD, 0); // the shell takes icons again: only a wanted icon comes back
        if (!c.hide)
            EXPECT_TRUE(
                pwtest::WaitUntil([&] { return ShellHasIcon(hwnd, TrayIcon::kIconId); }, 3000))
                << "the first delay of the new tries did not end in an add";
        else
            RetryDelayEnds();
        EXPECT_EQ(ShellHasIcon(hwnd, TrayIcon::kIconId), !c.hide);
        EXPECT_FALSE(KillTimer(hwnd, TrayIcon::kRetryTimerId)) << "no timer remains";
    }
}

TEST(TrayIcon, AnIconFreedWhileARetryWaitsLeavesNothingBehind) {
    ShellCallLog shell;
    ASSERT_TRUE(shell.Installed());
    auto tray = std::make_unique<HostedTrayIcon>();
    const HWND hwnd = HiddenWindow();
    const UINT id = TrayIcon::kIconId;
    ASSERT_TRUE(ShellAddIcon(hwnd, id, "in the way"));
    tray->Show();
    tray.reset();          // removes the icon of its identity, whoever added it
    pwtest::PumpFor(1200); // past the first try
    EXPECT_EQ(Describe(shell.Take()), (Calls{"add (refused)", "delete"})) << "no try after the end";
    EXPECT_FALSE(ShellHasIcon(hwnd, id));
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(TrayIcon, AnIconMayBeFreedByItsOwnHandlers) {
    const struct {
        const char* what;
        UINT event;
        bool byMenu;
    } cases[] = {
        {"selected with the left button", WM_LBUTTONDOWN, false},
        {"selected with Enter", NIN_KEYSELECT, false},
        {"the menu (its exit entry)", WM_CONTEXTMENU, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TakeThreadWakeUps();
        auto tray = std::make_unique<HostedTrayIcon>();
        tray->SetTooltip(UniqueTip("freed by handler"));
        tray->Show();
        const HWND hwnd = HiddenWindow();
        const UINT id = TrayIcon::kIconId;
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
            tray->OnSelected = freeTray;
        Notify(c.event);
        EXPECT_EQ(tray, nullptr);
        EXPECT_EQ(readAfterFree, text);
        EXPECT_FALSE(ShellHasIcon(hwnd, id));
        EXPECT_FALSE(IsWindow(hwnd));
        EXPECT_EQ(TakeThreadWakeUps(), c.byMenu ? 1 : 0);
    }
}
