#include "tests/tray/ShellTray.h"

#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <map>

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

using NotifyIconFunction = BOOL(WINAPI*)(DWORD, PNOTIFYICONDATAW);

// The program's import slot of shell32's Shell_NotifyIconW: the place every call of
// the program's code reads the function's address from.
NotifyIconFunction* ImportSlot() {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress)
        return nullptr;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         dll->Name; ++dll) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + dll->Name), "shell32.dll") != 0 ||
            !dll->OriginalFirstThunk)
            continue;
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal))
                continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "Shell_NotifyIconW") == 0)
                return reinterpret_cast<NotifyIconFunction*>(&slot->u1.Function);
        }
    }
    return nullptr;
}

bool WriteSlot(NotifyIconFunction* slot, NotifyIconFunction value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old))
        return false;
    *slot = value;
    VirtualProtect(slot, sizeof *slot, old, &old);
    return true;
}

struct LogState {
    NotifyIconFunction shell = nullptr;
    std::vector<ShellCall> calls;
    std::map<DWORD, int> refusals;
};
LogState* activeLog = nullptr;

BOOL WINAPI LoggedNotifyIcon(DWORD message, PNOTIFYICONDATAW data) {
    LogState& log = *activeLog;
    ShellCall call{message, {}, false};
    std::memcpy(&call.record, data, std::min<size_t>(data->cbSize, sizeof call.record));
    int& refusals = log.refusals[message];
    if (refusals > 0)
        --refusals;
    else
        call.accepted = log.shell(message, data) != FALSE;
    log.calls.push_back(call);
    return call.accepted;
}

} // namespace

std::string Describe(const ShellCall& call) {
    std::string text;
    switch (call.message) {
    case NIM_ADD:
        text = "add";
        break;
    case NIM_DELETE:
        text = "delete";
        break;
    case NIM_SETVERSION:
        text = "version " + std::to_string(call.record.uVersion);
        break;
    case NIM_MODIFY:
        text = call.record.uFlags & NIF_INFO  ? "notification"
               : call.record.uFlags & NIF_TIP ? "tip"
                                              : "modify";
        break;
    default:
        text = "message " + std::to_string(call.message);
    }
    return call.accepted ? text : text + " (refused)";
}

std::vector<std::string> Describe(const std::vector<ShellCall>& calls) {
    std::vector<std::string> texts;
    for (const ShellCall& call : calls)
        texts.push_back(Describe(call));
    return texts;
}

ShellCallLog::ShellCallLog() {
    NotifyIconFunction* slot = ImportSlot();
    if (activeLog || !slot)
        return;
    activeLog = new LogState{*slot, {}, {}};
    installed_ = WriteSlot(slot, LoggedNotifyIcon);
    if (!installed_) {
        delete activeLog;
        activeLog = nullptr;
    }
}

ShellCallLog::~ShellCallLog() {
    if (!installed_)
        return;
    WriteSlot(ImportSlot(), activeLog->shell);
    delete activeLog;
    activeLog = nullptr;
}

std::vector<ShellCall> ShellCallLog::Take() {
    std::vector<ShellCall> calls;
    if (installed_)
        calls.swap(activeLog->calls);
    return calls;
}

void ShellCallLog::Refuse(DWORD message, int count) {
    if (installed_)
        activeLog->refusals[message] = count;
}

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
