// Start-up cost of Pathwink next to what the platform costs. Four programs are
// started in turn (one round starts each once, each round in another order, after
// one round that is not counted) and timed from CreateProcess until they are
// ready:
//   - bench_minimal_window.exe: one hidden window, no manifest;
//   - bench_minimal_tabs.exe: Pathwink's manifest (Common Controls 6), one hidden
//     window with one tab control;
//   - Pathwink.exe tray with 0 and with 1,000 stored shortcuts, each copy in a
//     folder of its own with its settings file.
// A reference program is ready when its window exists and answers a message (it
// is then in its message loop), Pathwink when its list shows every stored shortcut.
// Prints a Markdown table of medians.
//
//   wine bench_startup.exe [rounds]      (default 25; the programs beside it)

#include "bench/BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace bench;

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 25;

    std::vector<std::wstring> folders;
    auto pathwinkWith = [&folders](int shortcuts) {
        folders.push_back(MakeScratchFolder(L"startup"));
        const std::wstring exe = folders.back() + L"\\Pathwink.exe";
        CopyFileW(Beside(L"Pathwink.exe").c_str(), exe.c_str(), FALSE);
        WriteSettings(folders.back() + L"\\Pathwink.INI", shortcuts);
        return Program{L"Pathwink.exe tray", exe, L"tray", nullptr, shortcuts};
    };
    const std::vector<Program> programs = {
        {L"minimal window program", Beside(L"bench_minimal_window.exe"), L"", L"MinimalBenchWindow",
         -1},
        {L"minimal tab-control program", Beside(L"bench_minimal_tabs.exe"), L"",
         L"MinimalTabsBenchWindow", -1},
        pathwinkWith(0),
        pathwinkWith(1000),
    };

    const size_t n = programs.size();
    std::vector<std::vector<double>> times(n);
    int failures = 0;
    for (int round = -1; round < rounds; ++round) { // round -1 warms the caches up
        for (size_t k = 0; k < n; ++k) {
            const size_t i = (static_cast<size_t>(round + 1) + k) % n;
            RunningProgram run(programs[i]);
            const double ms = run.WaitUntilReady();
            run.End();
            if (ms < 0)
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
    std::printf("\n%d rounds (each program once per round, in turn), %d runs not ready in 60 s\n",
                rounds, failures);
    for (const std::wstring& folder : folders)
        RemoveScratchFolder(folder);
    return failures ? 1 : 0;
}
