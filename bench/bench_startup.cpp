// Start-up cost of Pathwink next to what the platform costs. Four programs are
// started in turn (one round starts each once, each round in another order, after
// one round that is not counted) and timed from CreateProcess until they are
// ready:
//   - bench_minimal_window.exe: one hidden window, no manifest;
//   - bench_minimal_tabs.exe: Pathwink's manifest (Common Controls 6), one hidden
//     window with one tab control;
//   - Pathwink.exe tray with 0 and with 1,000 stored shortcuts, each copy in a
//     folder of its own with its settings file.
// A program is ready when its window exists and answers a message: it is then in
// its message loop, which Pathwink enters once every hotkey was tried. Other builds
// of Pathwink run in the same rounds, two rows each, e.g. an earlier version:
//
//   wine bench_startup.exe [rounds] [label=C:\path\to\Pathwink.exe ...]   (default 25)
//
// The Pathwink.exe beside this program is labelled "Pathwink.exe tray". Prints a
// Markdown table of medians.

#include "bench/BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

using namespace bench;

namespace {
constexpr DWORD kSettleMs = 300;
} // namespace

int main(int argc, char** argv) {
    int rounds = 25;
    std::vector<std::pair<std::wstring, std::wstring>> builds; // label, exe
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos)
            rounds = std::max(1, std::atoi(arg.c_str()));
        else
            builds.emplace_back(std::wstring(arg.begin(), arg.begin() + eq),
                                std::wstring(arg.begin() + eq + 1, arg.end()));
    }
    builds.emplace_back(L"Pathwink.exe tray", Beside(L"Pathwink.exe"));

    std::vector<std::wstring> folders;
    auto pathwinkWith = [&folders](const std::pair<std::wstring, std::wstring>& build,
                                   int shortcuts) {
        folders.push_back(MakeScratchFolder(L"startup"));
        const std::wstring exe = folders.back() + L"\\Pathwink.exe";
        CopyFileW(build.second.c_str(), exe.c_str(), FALSE);
        WriteSettings(folders.back() + L"\\Pathwink.INI", shortcuts);
        return Program{build.first, exe, L"tray", nullptr, shortcuts};
    };
    std::vector<Program> programs = {
        {L"minimal window program", Beside(L"bench_minimal_window.exe"), L"", L"MinimalBenchWindow",
         -1},
        {L"minimal tab-control program", Beside(L"bench_minimal_tabs.exe"), L"",
         L"MinimalTabsBenchWindow", -1},
    };
    for (int shortcuts : {0, 1000})
        for (const auto& build : builds)
            programs.push_back(pathwinkWith(build, shortcuts));

    const size_t n = programs.size();
    std::vector<std::vector<double>> times(n);
    int failures = 0;
    for (int round = -1; round < rounds; ++round) { // round -1 warms the caches up
        for (size_t k = 0; k < n; ++k) {
            const size_t i = (static_cast<size_t>(round + 1) + k) % n;
            RunningProgram run(programs[i]);
            const double ms = run.WaitUntilReady();
            // What a program does right after it is ready (Pathwink's tray icon) ends
            // before it is ended, so that no start pays for the one before it.
            Sleep(kSettleMs);
            run.End();
            if (ms < 0 || run.UnheldAtReady())
                ++failures;
            else if (round >= 0)
                times[i].push_back(ms);
        }
    }

    const double minimal = Median(times[0]);
    const double tabs = Median(times[1]);
    std::printf("| program | stored shortcuts | median start-up | fastest | slowest | ratio to "
                "minimal window | ratio to minimal tabs |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
    for (size_t i = 0; i < n; ++i) {
        const double m = Median(times[i]);
        const std::string count =
            programs[i].readyClass ? "-" : std::to_string(programs[i].shortcuts);
        std::printf("| %s | %s | %.0f ms | %.0f ms | %.0f ms | %.2f | %.2f |\n",
                    Narrow(programs[i].label).c_str(), count.c_str(), m, Min(times[i]),
                    Max(times[i]), m / minimal, m / tabs);
    }
    std::printf("\n%d rounds (each program once per round, in turn), %d runs not ready in 60 s "
                "or without their last hotkey at ready\n",
                rounds, failures);
    for (const std::wstring& folder : folders)
        RemoveScratchFolder(folder);
    return failures ? 1 : 0;
}
