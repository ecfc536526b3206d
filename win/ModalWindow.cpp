#include "win/ModalWindow.h"

#include "win/MessageLoop.h"
#include "win/Scoped.h"

#include <algorithm>
#include <vector>

namespace pw {

namespace {

// The thread's visible, enabled top-level windows other than except, disabled.
std::vector<HWND> DisableThreadWindows(HWND except) {
    struct State {
        HWND except;
        std::vector<HWND> found;
    } state{except, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM lp) -> BOOL {
            auto* s = reinterpret_cast<State*>(lp);
            if (hwnd != s->except && IsWindowVisible(hwnd) && IsWindowEnabled(hwnd))
                s->found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&state));
    for (HWND hwnd : state.found)
        EnableWindow(hwnd, FALSE);
    return state.found;
}

} // namespace

void CentreOverOwner(HWND window, HWND owner) {
    RECT over{};
    bool haveOwnerRect = false;
    if (owner && IsWindow(owner) && IsWindowVisible(owner)) {
        if (!IsIconic(owner)) {
            haveOwnerRect = GetWindowRect(owner, &over) != FALSE;
        } else {
            // Minimised: where it comes back when restored. The normal rectangle is
            // in work-area coordinates unless the window is a tool window.
            WINDOWPLACEMENT wp{};
            wp.length = sizeof wp;
            if (GetWindowPlacement(owner, &wp)) {
                over = wp.rcNormalPosition;
                if (!(GetWindowLongW(owner, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
                    MONITORINFO mi{};
                    mi.cbSize = sizeof mi;
                    GetMonitorInfoW(MonitorFromRect(&over, MONITOR_DEFAULTTOPRIMARY), &mi);
                    OffsetRect(&over, mi.rcWork.left - mi.rcMonitor.left,
                               mi.rcWork.top - mi.rcMonitor.top);
                }
                haveOwnerRect = true;
            }
        }
    }
    if (!haveOwnerRect || IsRectEmpty(&over)) {
        // No owner on the screen (the program runs in the tray): the screen's middle.
        HMONITOR monitor = owner && IsWindow(owner)
                               ? MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY)
                               : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        MONITORINFO mi{};
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(monitor, &mi);
        over = mi.rcWork;
    }
    RECT me;
    GetWindowRect(window, &me);
    const int width = me.right - me.left, height = me.bottom - me.top;
    int x = over.left + ((over.right - over.left) - width) / 2;
    int y = over.top + ((over.bottom - over.top) - height) / 2;
    x = std::max(x, GetSystemMetrics(SM_XVIRTUALSCREEN));
    y = std::max(y, GetSystemMetrics(SM_YVIRTUALSCREEN));
    SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool RunModalWindow(HWND window, const std::function<void()>& focus,
                    const std::function<bool()>& done) {
    const HWND wasActive = GetActiveWindow();
    const std::vector<HWND> disabled = DisableThreadWindows(window);
    const ScopeExit restore([&] {
        // Enabled again before the window hides, so that the activation goes back
        // to the owner rather than to some other application.
        for (HWND hwnd : disabled)
            if (IsWindow(hwnd))
                EnableWindow(hwnd, TRUE);
        // ShowWindow, not SetWindowPos: under Wine only SW_HIDE hands the
        // activation on to the owner.
        if (IsWindow(window))
            ShowWindow(window, SW_HIDE);
        // The window that was active before the showing gets it back, should that
        // be another window than the owner.
        if (wasActive && wasActive != window && IsWindow(wasActive) && IsWindowVisible(wasActive) &&
            IsWindowEnabled(wasActive) && GetActiveWindow() != wasActive)
            SetActiveWindow(wasActive);
    });
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    if (focus)
        focus();
    return RunModalLoop(done);
}

void EndThreadDialogs() {
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM) -> BOOL {
            wchar_t className[16] = L"";
            GetClassNameW(hwnd, className, 16);
            if (lstrcmpW(className, L"#32770") == 0 && IsWindowVisible(hwnd))
                EndDialog(hwnd, IDCANCEL);
            return TRUE;
        },
        0);
}

} // namespace pw
