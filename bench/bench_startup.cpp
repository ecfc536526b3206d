// Start-up cost of Pathwink: from CreateProcess until the program answers in its
// message loop (the main window exists and every stored hotkey has been tried),
// with 0 and 1,000 stored shortcuts, next to a minimal program that creates one
// window and exits. Prints a Markdown table of medians.
//
//   wine bench_startup.exe [runs]      (Pathwink.exe and bench_minimal_window.exe beside it)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string Beside(const char* name) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path);
    return s.substr(0, s.find_last_of('\\') + 1) + name;
}

std::string MakeFolder() {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    std::string path = std::string(tmp) + "pwbench" + std::to_string(GetCurrentProcessId()) + "_" +
                       std::to_string(GetTickCount());
    CreateDirectoryA(path.c_str(), nullptr);
    return path;
}

// count shortcuts with distinct keys: every key code under four modifier sets.
void WriteSettings(const std::string& ini, int count) {
    std::ofstream out(ini, std::ios::binary);
    out << "[Options]\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=" << count << "\r\n";
    const int mods[] = {0xC000, 0x6000, 0xA000, 0xE000};
    for (int i = 0; i < count; ++i) {
        const int key = mods[i / 250 % 4] | (0x30 + i % 250 % 0xC0);
        out << i << "Path=C:\\windows\\bench" << i << "\r\n" << i << "ShortCut=" << key << "\r\n";
    }
}

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The main window of a process, once it exists.
HWND MainWindowOf(DWORD pid) {
    for (HWND w = FindWindowExA(nullptr, nullptr, "TPathwinkMainForm", nullptr); w;
         w = FindWindowExA(nullptr, w, "TPathwinkMainForm", nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == pid)
            return w;
    }
    return nullptr;
}

HWND ListOf(HWND main) {
    HWND found = nullptr;
    EnumChildWindows(
        main,
        [](HWND w, LPARAM lp) -> BOOL {
            char cls[32];
            GetClassNameA(w, cls, sizeof cls);
            if (lstrcmpiA(cls, "ListBox") != 0)
                return TRUE;
            *reinterpret_cast<HWND*>(lp) = w;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Start-up is complete when the list shows every stored shortcut (for none, when
// the status text says so): the list is filled last, after every hotkey was tried.
bool Ready(HWND main, int count) {
    if (!main)
        return false;
    if (count > 0) {
        DWORD_PTR rows = 0;
        return SendMessageTimeoutA(ListOf(main), LB_GETCOUNT, 0, 0, SMTO_NORMAL, 1000, &rows) &&
               static_cast<int>(rows) == count;
    }
    char text[128] = "";
    for (HWND w = GetWindow(main, GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
        char cls[32];
        GetClassNameA(w, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0) {
            DWORD_PTR n;
            SendMessageTimeoutA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                                SMTO_NORMAL, 1000, &n);
            break;
        }
    }
    return std::strncmp(text, "Currently", 9) == 0;
}

// Starts Pathwink and waits until it is ready; or starts another program and waits
// for its end. Returns seconds.
double TimeRun(const std::string& exe, const std::string& args, int shortcuts) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\" " + args;
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    double elapsed;
    if (shortcuts >= 0) {
        while (!Ready(MainWindowOf(pi.dwProcessId), shortcuts) && Seconds(start) < 60)
            Sleep(1);
        elapsed = Seconds(start);
        TerminateProcess(pi.hProcess, 0);
    } else {
        WaitForSingleObject(pi.hProcess, 60000);
        elapsed = Seconds(start);
    }
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return elapsed;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 7;
    const std::string folder = MakeFolder();
    const std::string exe = folder + "\\Pathwink.exe";
    CopyFileA(Beside("Pathwink.exe").c_str(), exe.c_str(), FALSE);
    const std::string minimal = Beside("bench_minimal_window.exe");

    std::vector<double> base;
    for (int i = 0; i < runs; ++i)
        base.push_back(TimeRun(minimal, "", -1));
    const double minimalMedian = Median(base);

    std::printf("| program | stored shortcuts | median start-up (ms) | ratio to minimal |\n");
    std::printf("|---|---:|---:|---:|\n");
    std::printf("| minimal window program | - | %.0f | 1.0 |\n", minimalMedian * 1000);
    for (int count : {0, 1000}) {
        WriteSettings(folder + "\\Pathwink.INI", count);
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(TimeRun(exe, "tray", count));
        const double m = Median(times);
        std::printf("| Pathwink.exe tray | %d | %.0f | %.1f |\n", count, m * 1000, m / minimalMedian);
    }
    DeleteFileA((folder + "\\Pathwink.INI").c_str());
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
