// Start-up cost of Pathwink: from CreateProcess until the program idles in its
// message loop (the main window exists and every stored hotkey has been tried),
// with 0 and 1,000 stored shortcuts, next to a minimal program that creates one
// window and exits. Prints a Markdown table of medians.
//
//   wine bench_startup.exe [runs]      (Pathwink.exe and bench_minimal_window.exe beside it)

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
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

// Starts exe, waits for its input idle (waitIdle) or its end; returns seconds.
double TimeRun(const std::string& exe, const std::string& args, bool waitIdle) {
    STARTUPINFOA si{sizeof si};
    PROCESS_INFORMATION pi{};
    std::string cmd = "\"" + exe + "\" " + args;
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    double elapsed;
    if (waitIdle) {
        WaitForInputIdle(pi.hProcess, 60000);
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
        base.push_back(TimeRun(minimal, "", false));
    const double minimalMedian = Median(base);

    std::printf("| program | stored shortcuts | median start-up (ms) | ratio to minimal |\n");
    std::printf("|---|---:|---:|---:|\n");
    std::printf("| minimal window program | - | %.0f | 1.0 |\n", minimalMedian * 1000);
    for (int count : {0, 1000}) {
        WriteSettings(folder + "\\Pathwink.INI", count);
        std::vector<double> times;
        for (int i = 0; i < runs; ++i)
            times.push_back(TimeRun(exe, "tray", true));
        const double m = Median(times);
        std::printf("| Pathwink.exe tray | %d | %.0f | %.1f |\n", count, m * 1000, m / minimalMedian);
    }
    DeleteFileA((folder + "\\Pathwink.INI").c_str());
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(folder.c_str());
    return 0;
}
