#include "bench/BenchSupport.h"

#include <algorithm>
#include <cstdio>

namespace bench {

namespace {

// Pathwink's main window class: the name other programs look for.
constexpr wchar_t kPathwinkWindowClass[] = L"TPathwinkMainForm";
// How long one question to a program's window may wait for its answer.
constexpr UINT kAnswerTimeoutMs = 1000;

// The first top-level window of windowClass that belongs to process pid.
HWND TopLevelWindowOf(DWORD pid, const wchar_t* windowClass) {
    for (HWND w = FindWindowExW(nullptr, nullptr, windowClass, nullptr); w;
         w = FindWindowExW(nullptr, w, windowClass, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid)
            return w;
    }
    return nullptr;
}

// The stored form of entry i's combination in WriteSettings' files: one of 192 key
// codes from 0x30 under four sets of modifiers (Ctrl+Alt first), 250 entries a set.
int StoredKeyOfEntry(int i) {
    const int mods[] = {0xC000, 0x6000, 0xA000, 0xE000}; // Ctrl+Alt, Shift+Ctrl, ...
    return mods[i / 250 % 4] | (0x30 + i % 250 % 0xC0);
}

// True when a program holds the hotkey of entry i (this process cannot register it).
bool HotkeyOfEntryIsHeld(int i) {
    const int stored = StoredKeyOfEntry(i);
    UINT modifiers = MOD_NOREPEAT;
    if (stored & 0x2000)
        modifiers |= MOD_SHIFT;
    if (stored & 0x4000)
        modifiers |= MOD_CONTROL;
    if (stored & 0x8000)
        modifiers |= MOD_ALT;
    constexpr int kProbeId = 0xBE00;
    if (!RegisterHotKey(nullptr, kProbeId, modifiers, stored & 0xFF))
        return true;
    UnregisterHotKey(nullptr, kProbeId);
    return false;
}

// The last entry of count whose combination is not a repeat, or -1: the last hotkey
// Pathwink registers at start-up.
int LastRegisteredEntry(int count) {
    for (int i = count - 1; i >= 0; --i)
        if (i % 250 < 0xC0)
            return i;
    return -1;
}

} // namespace

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path);
    return s.substr(0, s.find_last_of(L'\\') + 1) + name;
}

std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string text;
    char buffer[4096];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n > 0)
        text.append(buffer, n);
    CloseHandle(file);
    return text;
}

std::wstring MakeScratchFolder(const wchar_t* tag) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int made = 0;
    const std::wstring path = std::wstring(temp) + L"pwbench_" + tag + L"_" +
                              std::to_wstring(GetCurrentProcessId()) + L"_" +
                              std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++made);
    CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

void RemoveScratchFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileW((folder + L"\\" + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(folder.c_str());
}

void WriteSettings(const std::wstring& iniFile, int count) {
    std::string text =
        "[Options]\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=" + std::to_string(count) + "\r\n";
    for (int i = 0; i < count; ++i) {
        const int key = StoredKeyOfEntry(i);
        char folder[32];
        std::snprintf(folder, sizeof folder, "C:\\windows\\bench%04d", i);
        const std::string n = std::to_string(i);
        text += n + "Path=" + folder + "\r\n" + n + "ShortCut=" + std::to_string(key) + "\r\n";
    }
    HANDLE file = CreateFileW(iniFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

RunningProgram::RunningProgram(const Program& program) : program_(program) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + program.exe + L"\"";
    if (!program.args.empty())
        commandLine += L" " + program.args;
    started_ = Now();
    if (!CreateProcessW(program.exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, nullptr, &startup, &info_))
        info_ = PROCESS_INFORMATION{};
}

RunningProgram::~RunningProgram() {
    End();
}

// The window is looked up once: each look-up asks the Wine server, which the
// program under test needs too. Once it is known, a poll is one message that
// waits until the program reads its messages.
bool RunningProgram::Ready() {
    if (!window_)
        window_ = TopLevelWindowOf(info_.dwProcessId, program_.readyClass ? program_.readyClass
                                                                          : kPathwinkWindowClass);
    if (!window_)
        return false;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, kAnswerTimeoutMs, &answer))
        return false;
    // Pathwink reads messages once every hotkey was tried: the last one it registers
    // is held by then (asked only now, so that the probe never takes a key first).
    const int last = program_.readyClass ? -1 : LastRegisteredEntry(program_.shortcuts);
    if (last >= 0 && !HotkeyOfEntryIsHeld(last))
        ++unheldAtReady_;
    return true;
}

double RunningProgram::WaitUntilReady(DWORD timeoutMs) {
    if (!Started())
        return -1;
    for (;;) {
        if (Ready())
            return Milliseconds(started_, Now());
        if (Milliseconds(started_, Now()) > timeoutMs ||
            WaitForSingleObject(info_.hProcess, 0) == WAIT_OBJECT_0)
            return -1;
        Sleep(1);
    }
}

void RunningProgram::End() {
    if (!Started())
        return;
    TerminateProcess(info_.hProcess, 0);
    WaitForSingleObject(info_.hProcess, 10000);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
    info_ = PROCESS_INFORMATION{};
}

LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t;
}

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to) {
    static const double ticksPerMs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1000.0;
    }();
    return static_cast<double>(to.QuadPart - from.QuadPart) / ticksPerMs;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return -1;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Max(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::max_element(values.begin(), values.end());
}

double Min(const std::vector<double>& values) {
    return values.empty() ? -1 : *std::min_element(values.begin(), values.end());
}

std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

void SendCombination(WORD key) {
    const WORD keys[] = {VK_CONTROL, VK_MENU, key};
    INPUT input[6]{};
    for (int i = 0; i < 3; ++i) {
        input[i].type = input[5 - i].type = INPUT_KEYBOARD;
        input[i].ki.wVk = input[5 - i].ki.wVk = keys[i];
        input[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    SendInput(6, input, sizeof(INPUT));
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

} // namespace bench
