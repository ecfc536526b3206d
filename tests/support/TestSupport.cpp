#include "tests/support/TestSupport.h"

#include "win/Scoped.h"

#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

bool StartProcess(const std::string& commandLine, const std::string& folder,
                  PROCESS_INFORMATION& pi, int showCommand) {
    STARTUPINFOW si{};
    si.cb = sizeof si;
    if (showCommand >= 0) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(showCommand);
    }
    const std::wstring folderW = Wide(folder);
    for (int attempt = 0; attempt < 5; ++attempt) {
        std::wstring command = Wide(commandLine);
        if (CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                           folder.empty() ? nullptr : folderW.c_str(), &si, &pi))
            return true;
        const DWORD error = GetLastError();
        std::fprintf(stderr, "[ START   ] error %lu starting %s\n", error, commandLine.c_str());
        Sleep(200);
        SetLastError(error);
    }
    return false;
}

std::optional<std::vector<std::wstring>> ListRows(HWND list, int timeoutMs) {
    const auto ms = static_cast<UINT>(timeoutMs);
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutW(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, ms, &count) ||
        static_cast<LRESULT>(count) == LB_ERR)
        return std::nullopt;
    std::vector<std::wstring> rows;
    for (WPARAM i = 0; i < count; ++i) {
        // LB_GETTEXT across processes is only right in its wide form under Wine.
        DWORD_PTR length = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXTLEN, i, 0, SMTO_ABORTIFHUNG, ms, &length) ||
            static_cast<LRESULT>(length) == LB_ERR)
            return std::nullopt;
        std::wstring row(length + 1, L'\0');
        DWORD_PTR copied = 0;
        if (!SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()),
                                 SMTO_ABORTIFHUNG, ms, &copied))
            return std::nullopt;
        row.resize(wcslen(row.c_str()));
        rows.push_back(row);
    }
    return rows;
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

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::optional<std::wstring> WideTextOf(HWND hwnd, int timeoutMs) {
    const auto ms = static_cast<UINT>(timeoutMs);
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, ms, &length))
        return std::nullopt;
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                             SMTO_ABORTIFHUNG, ms, &copied))
        return std::nullopt;
    text.resize(std::min<size_t>(copied, length));
    return text;
}

std::wstring WideText(HWND hwnd) {
    return WideTextOf(hwnd).value_or(L"<no answer>");
}

std::string TextUtf8(HWND hwnd) {
    return Utf8(WideTextOf(hwnd).value_or(L""));
}

std::string BoxTextUtf8(HWND box) {
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? TextUtf8(text) : std::string("<no text control>");
}

std::string WindowsShown(DWORD processId) {
    std::string out;
    for (HWND w : FindTopLevels(nullptr, nullptr, processId)) {
        char cls[64] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (!IsWindowVisible(w) || lstrcmpA(cls, "tooltips_class32") == 0)
            continue;
        out += std::string(" [") + cls + " \"" + TextUtf8(w) + "\"";
        std::string inside;
        if (lstrcmpA(cls, "#32770") == 0)
            inside = BoxTextUtf8(w);
        else if (lstrcmpA(cls, "TDlgNewShortcut") == 0) // the shortcut editor
            inside = "folder " + TextUtf8(FindChildByClass(w, "Edit"));
        out += (inside.empty() ? "" : ": " + Shortened(inside)) + "]";
    }
    return out.empty() ? " no window" : out;
}

std::string Shortened(const std::string& text, size_t most) {
    std::string s;
    for (char c : text)
        s += c == '\t' ? std::string("\\t") : c == '\n' ? std::string("\\n") : std::string(1, c);
    if (s.size() <= most)
        return s;
    while (most > 0 && (static_cast<unsigned char>(s[most]) & 0xC0) == 0x80)
        --most; // not inside a character
    return s.substr(0, most) + "...(" + std::to_string(text.size()) + ")";
}

std::string Listed(const std::vector<std::string>& rows, size_t most) {
    std::string out;
    for (const auto& r : rows)
        out += " {" + Shortened(r, most) + "}";
    return out.empty() ? " none" : out;
}

std::string Listed(const std::vector<std::wstring>& rows, size_t most) {
    std::vector<std::string> utf8;
    for (const auto& r : rows)
        utf8.push_back(Utf8(r));
    return Listed(utf8, most);
}

bool IsFree(UINT modifiers, UINT vk) {
    // An identifier no test holds a combination under.
    constexpr int kProbe = 0x7F01;
    if (!RegisterHotKey(nullptr, kProbe, modifiers, vk))
        return false;
    UnregisterHotKey(nullptr, kProbe);
    return true;
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

std::wstring MakeTempFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        const std::wstring path =
            std::wstring(temp) + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

std::optional<std::string> FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
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

bool SetSymbolicLink(const std::string& link, const std::string& relativeTarget) {
    using UnixName = char*(CDECL*)(const wchar_t*);
    const auto unixName = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unixName)
        return relativeTarget.empty()
                   ? DeleteFileA(link.c_str()) != FALSE
                   : CreateSymbolicLinkA(link.c_str(), relativeTarget.c_str(), 0) != FALSE;
    char* linkName = unixName(Wide(link).c_str());
    if (!linkName)
        return false;
    std::string target = relativeTarget;
    std::replace(target.begin(), target.end(), '\\', '/');
    PROCESS_INFORMATION pi{};
    const bool started =
        StartProcess(target.empty() ? "/bin/rm \"" + std::string(linkName) + "\""
                                    : "/bin/ln -s \"" + target + "\" \"" + linkName + "\"",
                     "", pi);
    HeapFree(GetProcessHeap(), 0, linkName);
    if (!started)
        return false;
    // Wine gives a Unix process no exit code to read: the change is waited for instead.
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return WaitUntil([&] {
        return (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) == !target.empty();
    });
}

bool BringToFront(HWND window) {
    SetForegroundWindow(window);
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    DWORD_PTR answer = 0;
    // Then a message answered: what the activation left to do in that thread is done.
    return WaitUntil(
               [&] {
                   return GetForegroundWindow() == window && GetGUIThreadInfo(thread, &info) &&
                          info.hwndActive == window;
               },
               5000) &&
           SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer);
}

void TypeKey(WORD vk, bool ctrl, bool alt, bool shift) {
    std::vector<WORD> modifiers;
    for (const auto& [down, key] :
         {std::pair<bool, WORD>{ctrl, VK_CONTROL}, {alt, VK_MENU}, {shift, VK_SHIFT}})
        if (down)
            modifiers.push_back(key);
    // Under Wine a window that takes the focus or the pointer sets the key state back to
    // the X server's, where no key is down: lost modifiers are pressed until they hold.
    const auto up = [](WORD key) { return GetAsyncKeyState(key) >= 0; };
    for (int tries = 0; tries < 5 && std::any_of(modifiers.begin(), modifiers.end(), up); ++tries)
        for (WORD key : modifiers)
            if (up(key))
                PressOrRelease(key, false);
    std::vector<INPUT> inputs{KeyInput(vk, false), KeyInput(vk, true)};
    for (auto m = modifiers.rbegin(); m != modifiers.rend(); ++m)
        inputs.push_back(KeyInput(*m, true));
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

void TypeCharacters(const std::wstring& text) {
    for (wchar_t c : text) {
        INPUT input[2]{};
        for (INPUT& i : input) {
            i.type = INPUT_KEYBOARD;
            i.ki.wScan = c;
            i.ki.dwFlags = KEYEVENTF_UNICODE;
        }
        input[1].ki.dwFlags |= KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

void PressOrRelease(WORD vk, bool up) {
    INPUT input = KeyInput(vk, up);
    SendInput(1, &input, sizeof input);
}

std::optional<std::wstring> ClipboardText() {
    if (!OpenClipboard(nullptr))
        return std::nullopt;
    std::optional<std::wstring> text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        text = static_cast<const wchar_t*>(GlobalLock(data));
        GlobalUnlock(data);
    }
    CloseClipboard();
    return text;
}

namespace {
// Every visible message box of this process, for a report.
std::string BoxesShown(DWORD processId) {
    std::string out;
    for (HWND w : FindTopLevels("#32770", nullptr, processId))
        if (IsWindowVisible(w))
            out += " [" + TextUtf8(w) + ": " + BoxTextUtf8(w) + "]";
    return out.empty() ? " none" : out;
}
} // namespace

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
        return "<no dialog \"" + caption + "\" within " + std::to_string(timeoutMs) +
               " ms; boxes shown:" + BoxesShown(pid) + ">";
    });
}

BoxCloser::BoxCloser(int timeoutMs) {
    const DWORD pid = GetCurrentProcessId();
    thread_ = std::thread([this, pid, timeoutMs] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (!stop_ && std::chrono::steady_clock::now() < end) {
            for (HWND box : FindTopLevels("#32770", nullptr, pid)) {
                if (!IsWindowVisible(box))
                    continue;
                const std::string seen = "[" + TextUtf8(box) + ": " + BoxTextUtf8(box) + "]";
                PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
                // Closed once it is gone: a box is told once, however long it takes.
                const auto gone = std::chrono::steady_clock::now() + std::chrono::seconds(5);
                while (IsWindow(box) && IsWindowVisible(box) &&
                       std::chrono::steady_clock::now() < gone)
                    std::this_thread::sleep_for(std::chrono::milliseconds(10));
                std::lock_guard<std::mutex> lock(mutex_);
                closed_ += (closed_.empty() ? "" : " ") + seen +
                           (IsWindow(box) && IsWindowVisible(box) ? " (did not close)" : "");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        if (!stop_) {
            std::lock_guard<std::mutex> lock(mutex_);
            closed_ += (closed_.empty() ? "" : " ") + std::string("<gave up watching after ") +
                       std::to_string(timeoutMs) + " ms>";
        }
    });
}

BoxCloser::~BoxCloser() {
    stop_ = true;
    thread_.join();
}

std::string BoxCloser::Closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

std::vector<HWND> ExplorersFor(const std::string& folder) {
    std::vector<HWND> found;
    const std::string leaf = LeafName(folder);
    for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
        if (TextUtf8(w) == leaf)
            found.push_back(w);
    return found;
}

HWND FindExplorerFor(const std::string& folder) {
    const auto found = ExplorersFor(folder);
    return found.empty() ? nullptr : found.front();
}

int ProcessCount(const wchar_t* exeName) {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (lstrcmpiW(entry.szExeFile, exeName) == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

bool CloseExplorer(HWND explorer) {
    DWORD processId = 0;
    GetWindowThreadProcessId(explorer, &processId);
    const pw::UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, processId));
    PostMessageA(explorer, WM_CLOSE, 0, 0);
    // Gone before the test goes on: a key pressed while it still closes would show
    // its folder in this window, the one in front.
    return WaitUntil([&] { return !IsWindow(explorer); }, 5000) && process &&
           WaitForSingleObject(process.Get(), 10000) == WAIT_OBJECT_0;
}

::testing::AssertionResult WaitAndCloseExplorer(const std::string& folder, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = FindExplorerFor(folder)) != nullptr; }, timeoutMs);
    if (found) {
        CloseExplorer(found);
        return ::testing::AssertionSuccess();
    }
    std::string titles;
    for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
        titles += " \"" + TextUtf8(w) + "\"";
    return ::testing::AssertionFailure()
           << "no Explorer window (ExplorerWClass) titled \"" << LeafName(folder) << "\" within "
           << timeoutMs << " ms; Explorer windows:" << (titles.empty() ? " none" : titles) << "; "
           << ProcessCount(L"explorer.exe") << " explorer.exe processes (the desktop's included)";
}

} // namespace pwtest
