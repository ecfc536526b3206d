// Prepares a Wine prefix's session before the tests start: the first Windows
// process boots the session (its desktop and services), and the first Explorer
// window is opened and closed here, the way the program opens folders, instead of
// during a test. Says what it waited for and how long; exits 1 with what it saw when
// a deadline passes.
//
// It also leaves a copy of itself in the session that holds the desktop's list of
// shell windows and its class object until the session ends: under Wine the desktop
// deadlocks when the last reference to them ends while another program's request
// waits (an Explorer window opening as Pathwink asks the list), and then no program
// of the session can make a window.
//
//   wine prepare_wine.exe [DEADLINE_SECONDS]
//   wine prepare_wine.exe --hold-shell-windows EVENT_NAME   (that copy)

#include "tests/support/TestSupport.h"
#include "win/Scoped.h"

#include <exdisp.h>
#include <objbase.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace pwtest;

namespace {

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// What the session holds when no window came: every process with its parent, and
// the process behind the desktop window (none when the desktop process is gone).
void PrintSession() {
    DWORD desktopPid = 0;
    GetWindowThreadProcessId(GetDesktopWindow(), &desktopPid);
    const size_t topLevels = FindTopLevels(nullptr, nullptr).size();
    std::printf("prepare_wine: the desktop window belongs to process %04lx; %zu top-level windows;"
                " processes:",
                desktopPid, topLevels);
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        std::printf(" %s %04lx<%04lx", Utf8(entry.szExeFile).c_str(), entry.th32ProcessID,
                    entry.th32ParentProcessID);
    if (snapshot != INVALID_HANDLE_VALUE)
        CloseHandle(snapshot);
    std::printf("\n");
}

// The copy that holds them; the event says it does.
int HoldShellWindows(const char* eventName) {
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IClassFactory* factory = nullptr;
    IShellWindows* windows = nullptr;
    if (!WaitUntil(
            [&] {
                return SUCCEEDED(CoGetClassObject(CLSID_ShellWindows, CLSCTX_LOCAL_SERVER, nullptr,
                                                  IID_IClassFactory,
                                                  reinterpret_cast<void**>(&factory))) &&
                       SUCCEEDED(factory->CreateInstance(nullptr, IID_IShellWindows,
                                                         reinterpret_cast<void**>(&windows)));
            },
            20000))
        return 1;
    SetEvent(pw::UniqueKernelHandle(OpenEventA(EVENT_MODIFY_STATE, FALSE, eventName)).Get());
    Sleep(INFINITE);
    return 0;
}

bool StartShellWindowsHolder() {
    const std::string event = "pwtest-shell-windows-held-" + std::to_string(GetCurrentProcessId());
    const pw::UniqueKernelHandle held(CreateEventA(nullptr, TRUE, FALSE, event.c_str()));
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    PROCESS_INFORMATION holder{};
    if (!StartProcess("\"" + std::string(self) + "\" --hold-shell-windows " + event, "", holder,
                      SW_HIDE))
        return false;
    CloseHandle(holder.hThread);
    CloseHandle(holder.hProcess);
    return WaitForSingleObject(held.Get(), 25000) == WAIT_OBJECT_0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 2 && std::string(argv[1]) == "--hold-shell-windows")
        return HoldShellWindows(argv[2]);
    const int deadlineMs = (argc > 1 ? std::atoi(argv[1]) : 120) * 1000;
    const auto start = std::chrono::steady_clock::now();
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const std::string folder = MakeTempFolder("pwprepare");
    if (folder.empty()) {
        std::printf("prepare_wine: no folder could be made in the temporary folder\n");
        return 1;
    }
    const std::wstring path = Wide(folder);
    // The desktop process is started by this process alone, before Explorer's: in a
    // failed clean run the session had no desktop process while Explorer's waited.
    DWORD desktopPid = 0;
    WaitUntil(
        [&] { return GetWindowThreadProcessId(GetDesktopWindow(), &desktopPid) && desktopPid; },
        deadlineMs / 4);
    std::printf("prepare_wine: the desktop's process %04lx after %.1f s\n", desktopPid,
                SecondsSince(start));
    std::printf("prepare_wine: the shell window list %s after %.1f s\n",
                StartShellWindowsHolder() ? "is held" : "could not be held", SecondsSince(start));
    // On a fresh prefix the first Explorer process can end without a window (seen
    // once in a clean run, with the shell reporting success): the folder is asked
    // for again within the deadline, and each attempt is logged. A session where
    // none came is started afresh by the caller.
    constexpr int kAttempts = 2;
    HWND window = nullptr;
    for (int attempt = 1; attempt <= kAttempts && !window; ++attempt) {
        SHELLEXECUTEINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC | SEE_MASK_NOCLOSEPROCESS;
        info.lpVerb = L"explore";
        info.lpFile = path.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExW(&info)) {
            std::printf("prepare_wine: the shell refused to explore %s (error %lu) after %.1f s\n",
                        folder.c_str(), GetLastError(), SecondsSince(start));
            Sleep(1000);
            continue;
        }
        WaitUntil([&] { return (window = FindExplorerFor(folder)) != nullptr; },
                  deadlineMs / kAttempts);
        if (!window) {
            DWORD exitCode = STILL_ACTIVE;
            std::string process = "was not reported";
            if (info.hProcess && GetExitCodeProcess(info.hProcess, &exitCode))
                process = exitCode == STILL_ACTIVE ? "still runs"
                                                   : "ended with " + std::to_string(exitCode);
            std::printf("prepare_wine: attempt %d: %s; the started process %s (after %.1f s)\n",
                        attempt, WaitAndCloseExplorer(folder, 0).message(), process.c_str(),
                        SecondsSince(start));
        }
        if (info.hProcess)
            CloseHandle(info.hProcess);
    }
    if (!window) {
        PrintSession();
        RemoveTree(folder);
        return 1;
    }
    std::printf("prepare_wine: Explorer's first window (\"%s\") came after %.1f s",
                LeafName(folder).c_str(), SecondsSince(start));
    // Closed, its process ends: nothing of it is left for the tests to find.
    const bool ended = CloseExplorer(window);
    std::printf("; %s after %.1f s\n",
                ended ? "closed, its process ended" : "its process did not end within 10 s",
                SecondsSince(start));
    RemoveTree(folder);
    CoUninitialize();
    return ended ? 0 : 1;
}
