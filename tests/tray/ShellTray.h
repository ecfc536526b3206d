#pragma once
// What the shell holds, asked of the shell itself: whether an icon exists for a
// window and identifier, and the icons shown in Wine's stand-alone tray window
// with the tooltips its process keeps for them.

#include <windows.h>

#include <string>
#include <vector>

namespace pwtest {

// Wine's tray window when no X system tray exists ("Wine System Tray").
constexpr char kWineTrayClass[] = "__winex11_standalone_tray";

struct ShownIcon {
    HWND window; // the icon's window inside the tray window (another process's)
    RECT rect;   // in screen coordinates
    std::string tip;
};

// True when the shell holds an icon for (hwnd, id): a modify that changes nothing
// succeeds only then.
bool ShellHasIcon(HWND hwnd, UINT id);
// Adds or deletes an icon for (hwnd, id) as another owner of that identity would.
bool ShellAddIcon(HWND hwnd, UINT id, const char* tip);
bool ShellDeleteIcon(HWND hwnd, UINT id);

// Every icon in Wine's stand-alone tray window, in no particular order.
std::vector<ShownIcon> IconsInWineTray();
// Those whose tooltip is exactly tip.
std::vector<ShownIcon> IconsWithTip(const std::string& tip);

// A notification (balloon) Wine's tray shows for an icon: a tooltip window of the
// tray's process with the balloon style, whose tool is the icon's window.
struct ShownBalloon {
    HWND window;
    std::string text;
};
// The balloons visible now.
std::vector<ShownBalloon> BalloonsInWineTray();

// Presses and releases a mouse button (MOUSEEVENTF_LEFTDOWN or _RIGHTDOWN) at a
// screen point through SendInput, as the user's hand would.
void ClickAt(POINT at, DWORD downFlag);

} // namespace pwtest
