#include "tests/tray/ShellTray.h"

#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>

namespace pwtest {
namespace {

NOTIFYICONDATAA Record(HWND hwnd, UINT id) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = hwnd;
    data.uID = id;
    return data;
}

// Memory in another process, for messages whose pointers that process follows.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, SIZE_T size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ =
            OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            base_ = static_cast<BYTE*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() {
        if (base_)
            VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    BYTE* At(SIZE_T offset) const { return base_ ? base_ + offset : nullptr; }
    bool Write(SIZE_T offset, const void* data, SIZE_T size) const {
        return base_ && WriteProcessMemory(process_, base_ + offset, data, size, nullptr);
    }
    bool Read(SIZE_T offset, void* data, SIZE_T size) const {
        return base_ && ReadProcessMemory(process_, base_ + offset, data, size, nullptr);
    }

private:
    HANDLE process_ = nullptr;
    BYTE* base_ = nullptr;
};

// The tooltip text that tooltip holds for the tool of icon, or false when it
// holds no such tool. The tray's process owns both windows: the tool record and
// the text buffer are placed in its memory.
bool ReadToolText(HWND tooltip, HWND icon, std::string& text) {
    constexpr SIZE_T kTextOffset = 1024;
    constexpr SIZE_T kTextChars = 1024;
    RemoteBuffer remote(tooltip, kTextOffset + kTextChars * sizeof(WCHAR));
    TTTOOLINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = icon;
    info.uId = reinterpret_cast<UINT_PTR>(icon); // the tray's tools are TTF_IDISHWND
    info.lpszText = reinterpret_cast<LPWSTR>(remote.At(kTextOffset));
    const WCHAR empty = 0;
    if (!remote.Write(0, &info, sizeof info) || !remote.Write(kTextOffset, &empty, sizeof empty))
        return false;
    DWORD_PTR found = 0;
    if (!SendMessageTimeoutW(tooltip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(remote.At(0)),
                             SMTO_ABORTIFHUNG, 2000, &found) ||
        !found)
        return false;
    remote.Write(0, &info, sizeof info);
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(tooltip, TTM_GETTEXTW, kTextChars, reinterpret_cast<LPARAM>(remote.At(0)),
                        SMTO_ABORTIFHUNG, 2000, &ignored);
    std::wstring wide(kTextChars, L'\0');
    if (!remote.Read(kTextOffset, wide.data(), (kTextChars - 1) * sizeof(WCHAR)))
        return false;
    wide.resize(wide.find(L'\0'));
    char narrow[4 * kTextChars] = {};
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, narrow, sizeof narrow, nullptr, nullptr);
    text = narrow;
    return true;
}

} // namespace

bool ShellHasIcon(HWND hwnd, UINT id) {
    NOTIFYICONDATAA data = Record(hwnd, id);
    return Shell_NotifyIconA(NIM_MODIFY, &data) != FALSE;
}

bool ShellAddIcon(HWND hwnd, UINT id, const char* tip) {
    NOTIFYICONDATAA data = Record(hwnd, id);
    data.uFlags = NIF_TIP;
    lstrcpynA(data.szTip, tip, sizeof data.szTip);
    return Shell_NotifyIconA(NIM_ADD, &data) != FALSE;
}

bool ShellDeleteIcon(HWND hwnd, UINT id) {
    NOTIFYICONDATAA data = Record(hwnd, id);
    return Shell_NotifyIconA(NIM_DELETE, &data) != FALSE;
}

std::vector<ShownIcon> IconsInWineTray() {
    std::vector<ShownIcon> icons;
    HWND tray = FindTopLevel(kWineTrayClass, nullptr);
    if (!tray)
        return icons;
    // Each icon's tooltip is a pop-up owned by the tray window.
    std::vector<HWND> tooltips;
    // A notification's balloon is such a pop-up too, with a tool for its icon: not a tooltip.
    for (HWND w : FindTopLevels(TOOLTIPS_CLASSA, nullptr))
        if (GetWindow(w, GW_OWNER) == tray && !(GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON))
            tooltips.push_back(w);
    for (HWND icon = GetWindow(tray, GW_CHILD); icon; icon = GetWindow(icon, GW_HWNDNEXT)) {
        ShownIcon shown{icon, {}, {}};
        GetWindowRect(icon, &shown.rect);
        for (HWND tooltip : tooltips)
            if (ReadToolText(tooltip, icon, shown.tip))
                break;
        icons.push_back(shown);
    }
    return icons;
}

std::vector<ShownBalloon> BalloonsInWineTray() {
    std::vector<ShownBalloon> balloons;
    HWND tray = FindTopLevel(kWineTrayClass, nullptr);
    if (!tray)
        return balloons;
    // Made for an icon's window, a child of the tray window: the tray window owns it.
    for (HWND w : FindTopLevels(TOOLTIPS_CLASSA, nullptr)) {
        if (GetWindow(w, GW_OWNER) != tray || !IsWindowVisible(w) ||
            !(GetWindowLongA(w, GWL_STYLE) & TTS_BALLOON))
            continue;
        ShownBalloon shown{w, {}};
        for (HWND icon = GetWindow(tray, GW_CHILD); icon; icon = GetWindow(icon, GW_HWNDNEXT))
            if (ReadToolText(w, icon, shown.text))
                break;
        balloons.push_back(shown);
    }
    return balloons;
}

std::vector<ShownIcon> IconsWithTip(const std::string& tip) {
    std::vector<ShownIcon> found;
    for (const ShownIcon& icon : IconsInWineTray())
        if (icon.tip == tip)
            found.push_back(icon);
    return found;
}

void ClickAt(POINT at, DWORD downFlag) {
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT& in : inputs) {
        in.type = INPUT_MOUSE;
        in.mi.dx = MulDiv(at.x, 65535, width - 1);
        in.mi.dy = MulDiv(at.y, 65535, height - 1);
    }
    inputs[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | downFlag;
    inputs[2].mi.dwFlags = MOUSEEVENTF_ABSOLUTE | (downFlag << 1); // the matching "up" flag
    SendInput(3, inputs, sizeof(INPUT));
}

} // namespace pwtest
