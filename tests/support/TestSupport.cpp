#include "tests/support/TestSupport.h"

#include <chrono>
#include <thread>

namespace pwtest {

void PumpFor(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    do {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    } while (std::chrono::steady_clock::now() < end);
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (pred())
            return true;
        if (std::chrono::steady_clock::now() >= end)
            return false;
        PumpFor(20);
    }
}

namespace {
struct FindState {
    const char* className;
    const char* title;
    DWORD processId;
    std::vector<HWND> found;
};

bool Matches(HWND hwnd, const FindState& s) {
    if (s.processId) {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (pid != s.processId)
            return false;
    }
    char buf[512];
    if (s.className) {
        GetClassNameA(hwnd, buf, sizeof buf);
        if (lstrcmpA(buf, s.className) != 0)
            return false;
    }
    if (s.title && TextOf(hwnd) != s.title)
        return false;
    return true;
}
} // namespace

namespace {
BOOL CALLBACK CollectMatch(HWND hwnd, LPARAM lp) {
    auto* s = reinterpret_cast<FindState*>(lp);
    if (Matches(hwnd, *s))
        s->found.push_back(hwnd);
    return TRUE;
}

// Windows that match, top-level ones (parent null) or the descendants of parent.
std::vector<HWND> Collect(HWND parent, const char* className, const char* title, DWORD processId) {
    FindState state{className, title, processId, {}};
    if (parent)
        EnumChildWindows(parent, CollectMatch, reinterpret_cast<LPARAM>(&state));
    else
        EnumWindows(CollectMatch, reinterpret_cast<LPARAM>(&state));
    return state.found;
}
} // namespace

std::vector<HWND> FindTopLevels(const char* className, const char* title, DWORD processId) {
    return Collect(nullptr, className, title, processId);
}

HWND FindTopLevel(const char* className, const char* title, DWORD processId) {
    auto all = FindTopLevels(className, title, processId);
    return all.empty() ? nullptr : all.front();
}

HWND FindChildByClass(HWND parent, const char* className, int index) {
    auto found = Collect(parent, className, nullptr, 0);
    return index < static_cast<int>(found.size()) ? found[index] : nullptr;
}

HWND FindChildByText(HWND parent, const char* className, const char* text) {
    auto found = Collect(parent, className, text, 0);
    return found.empty() ? nullptr : found.front();
}

std::string TextOf(HWND hwnd) {
    DWORD_PTR len = 0;
    if (!SendMessageTimeoutA(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &len))
        return {};
    std::string text(len + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return text;
}

std::string MessageTextOf(HWND dialog) {
    HWND text = GetDlgItem(dialog, 0xFFFF);
    return text ? TextOf(text) : std::string("<no text control>");
}

std::string MakeTempFolder(const std::string& prefix) {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    static unsigned counter = 0;
    for (;;) {
        std::string path = std::string(tmp) + prefix + std::to_string(GetCurrentProcessId()) + "_" +
                           std::to_string(GetTickCount()) + "_" + std::to_string(++counter);
        if (CreateDirectoryA(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
}

void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = path + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(path.c_str());
}

std::string LeafName(const std::string& path) {
    std::string p = path;
    while (!p.empty() && (p.back() == '\\' || p.back() == '/'))
        p.pop_back();
    auto pos = p.find_last_of("\\/");
    return pos == std::string::npos ? p : p.substr(pos + 1);
}

DWORD FileNameCount(const std::string& path) {
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    const BOOL known = file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return known ? info.nNumberOfLinks : 0;
}

namespace {
INPUT KeyInput(WORD vk, bool up) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = static_cast<WORD>(MapVirtualKeyA(vk, MAPVK_VK_TO_VSC));
    in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    return in;
}
} // namespace

bool RunningUnderWine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

void TypeKey(WORD vk, bool ctrl, bool alt, bool shift) {
    std::vector<INPUT> inputs;
    if (ctrl)
        inputs.push_back(KeyInput(VK_CONTROL, false));
    if (alt)
        inputs.push_back(KeyInput(VK_MENU, false));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, false));
    inputs.push_back(KeyInput(vk, false));
    inputs.push_back(KeyInput(vk, true));
    if (shift)
        inputs.push_back(KeyInput(VK_SHIFT, true));
    if (alt)
        inputs.push_back(KeyInput(VK_MENU, true));
    if (ctrl)
        inputs.push_back(KeyInput(VK_CONTROL, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

std::future<std::string> AnswerDialog(const std::string& caption, int buttonId, int timeoutMs) {
    const DWORD pid = GetCurrentProcessId();
    return std::async(std::launch::async, [caption, buttonId, timeoutMs, pid]() -> std::string {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (std::chrono::steady_clock::now() < end) {
            for (HWND dlg : FindTopLevels("#32770", caption.c_str(), pid)) {
                if (!IsWindowVisible(dlg))
                    continue;
                std::string text = MessageTextOf(dlg);
                PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dlg, buttonId)));
                return text;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return "<no dialog>";
    });
}

HWND FindExplorerFor(const std::string& folder) {
    return FindTopLevel("ExplorerWClass", LeafName(folder).c_str());
}

bool WaitAndCloseExplorer(const std::string& folder, int timeoutMs) {
    HWND found = nullptr;
    bool ok = WaitUntil([&] { return (found = FindExplorerFor(folder)) != nullptr; }, timeoutMs);
    if (found)
        PostMessageA(found, WM_CLOSE, 0, 0);
    return ok;
}

} // namespace pwtest
