#pragma once
// What the shell holds, asked of the shell itself: whether an icon exists for a
// window and identifier, and the icons shown in Wine's stand-alone tray window
// with the tooltips its process keeps for them. And what this program gave the
// shell: every Shell_NotifyIconW call, which can also be refused as a shell would.

#include <windows.h>
#include <shellapi.h>

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

// One Shell_NotifyIconW call of this program as the shell got it.
struct ShellCall {
    DWORD message;          // NIM_ADD, NIM_MODIFY, NIM_DELETE, NIM_SETVERSION, NIM_SETFOCUS
    NOTIFYICONDATAW record; // the first cbSize bytes given, the rest zero
    bool accepted;
};
// A call in a few words, for comparing sequences: "add", "version 4", "tip",
// "notification", "modify", "delete", followed by " (refused)" when it was.
std::string Describe(const ShellCall& call);
std::vector<std::string> Describe(const std::vector<ShellCall>& calls);

// While it exists, every Shell_NotifyIconW call of this program (the tray icon's:
// the tests' own calls go through Shell_NotifyIconA) passes through the log, which
// stands in the program's import table in the function's place. One log at a time.
class ShellCallLog {
public:
    ShellCallLog();
    ~ShellCallLog();
    ShellCallLog(const ShellCallLog&) = delete;
    ShellCallLog& operator=(const ShellCallLog&) = delete;

    // False when the program's import of the function was not found.
    bool Installed() const { return installed_; }
    // The calls since the log began or was last taken, in order.
    std::vector<ShellCall> Take();
    // The next count calls of message are refused (FALSE) without reaching the shell.
    void Refuse(DWORD message, int count);

private:
    bool installed_ = false;
};

} // namespace pwtest
