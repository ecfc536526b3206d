// Where Pathwink's start-up goes: starts Pathwink.exe tray with the start-up trace
// on (PATHWINK_STARTUP_TRACE names a file; the program appends one line
// "<phase>\t<ms since process creation>" per phase) for 0 and 1,000 stored
// shortcuts, and prints the median duration of each phase (its time minus that of
// the line before it). Other builds of Pathwink with the same trace can run in the
// same rounds, one column each, e.g. an earlier version:
//
//   wine bench_phases.exe [rounds] [label=C:\path\to\Pathwink.exe ...]   (default 25 rounds)
//
// The Pathwink.exe beside this program is the column "after"; a round starts
// every build with every count once, in turn, after one round that is not counted.
// Lines written after "ready" (work the program leaves to its message loop) are
// listed below the totals.

#include "bench/BenchSupport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace bench;

namespace {

struct Build {
    std::wstring label;
    std::wstring exe;
};

struct Phase {
    std::string name;
    double at; // ms since process creation
};

std::vector<Phase> ParseTrace(const std::string& text) {
    std::vector<Phase> phases;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(start, end - start);
        const size_t tab = line.find('\t');
        if (tab != std::string::npos)
            phases.push_back({line.substr(0, tab), std::atof(line.c_str() + tab + 1)});
        start = end + 1;
    }
    return phases;
}

// The "ready" line's place in phases, or -1.
int ReadyIndex(const std::vector<Phase>& phases) {
    for (size_t i = 0; i < phases.size(); ++i)
        if (phases[i].name == "ready")
            return static_cast<int>(i);
    return -1;
}

// One run's phases, or none when the program was not ready within a minute. Work
// the program leaves until its message loop runs is traced after "ready": the run
// ends kAfterReadyMs after the ready line was seen.
constexpr DWORD kAfterReadyMs = 300;

std::vector<Phase> TraceOneStart(const Program& program, const std::wstring& traceFile,
                                 double& outsideMs) {
    DeleteFileW(traceFile.c_str());
    SetEnvironmentVariableW(L"PATHWINK_STARTUP_TRACE", traceFile.c_str());
    RunningProgram run(program);
    SetEnvironmentVariableW(L"PATHWINK_STARTUP_TRACE", nullptr);
    outsideMs = run.WaitUntilReady();
    if (run.UnheldAtReady())
        outsideMs = -1; // not every hotkey worked when its message loop answered
    std::vector<Phase> phases;
    for (int i = 0; i < 5000 && outsideMs >= 0; ++i) {
        phases = ParseTrace(ReadWholeFile(traceFile));
        if (ReadyIndex(phases) >= 0)
            break;
        Sleep(1);
    }
    if (ReadyIndex(phases) >= 0) {
        Sleep(kAfterReadyMs);
        phases = ParseTrace(ReadWholeFile(traceFile));
    }
    run.End();
    return ReadyIndex(phases) >= 0 ? phases : std::vector<Phase>();
}

// Phase names in the order of the base sequence; a name only another sequence has
// goes right before the phase that follows it there.
void MergeOrder(std::vector<std::string>& order, const std::vector<Phase>& sequence) {
    for (size_t i = 0; i < sequence.size(); ++i) {
        if (std::find(order.begin(), order.end(), sequence[i].name) != order.end())
            continue;
        auto at = order.end();
        for (size_t j = i + 1; j < sequence.size() && at == order.end(); ++j)
            at = std::find(order.begin(), order.end(), sequence[j].name);
        order.insert(at, sequence[i].name);
    }
}

} // namespace

int main(int argc, char** argv) {
    int rounds = 25;
    std::vector<Build> builds;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const size_t eq = arg.find('=');
        if (eq == std::string::npos) {
            rounds = std::max(1, std::atoi(arg.c_str()));
            continue;
        }
        const std::string label = arg.substr(0, eq), exe = arg.substr(eq + 1);
        builds.push_back(
            {std::wstring(label.begin(), label.end()), std::wstring(exe.begin(), exe.end())});
    }
    builds.push_back({L"after", Beside(L"Pathwink.exe")});
    const int counts[] = {0, 1000};

    struct Column {
        std::string title;
        Program program;
        std::wstring folder, traceFile;
        std::map<std::string, std::vector<double>> durations;
        std::vector<double> ready, outside;
        std::vector<Phase> lastRun;
    };
    std::vector<Column> columns;
    for (int count : counts) {
        for (const Build& build : builds) {
            Column c;
            c.title = Narrow(build.label) + ", " + (count ? "1,000" : "0");
            c.folder = MakeScratchFolder(L"phases");
            const std::wstring exe = c.folder + L"\\Pathwink.exe";
            if (!CopyFileW(build.exe.c_str(), exe.c_str(), FALSE)) {
                std::fprintf(stderr, "cannot copy %s\n", Narrow(build.exe).c_str());
                return 2;
            }
            WriteSettings(c.folder + L"\\Pathwink.INI", count);
            c.program = Program{build.label, exe, L"tray", nullptr, count};
            c.traceFile = c.folder + L"\\trace.txt";
            columns.push_back(std::move(c));
        }
    }

    int failures = 0;
    const size_t n = columns.size();
    for (int round = -1; round < rounds; ++round) { // round -1 warms the caches up
        for (size_t k = 0; k < n; ++k) {
            Column& c = columns[(static_cast<size_t>(round + 1) + k) % n];
            double outside = -1;
            const std::vector<Phase> phases = TraceOneStart(c.program, c.traceFile, outside);
            if (phases.empty()) {
                ++failures;
                continue;
            }
            if (round < 0)
                continue;
            for (size_t p = 0; p < phases.size(); ++p)
                c.durations[phases[p].name].push_back(phases[p].at - (p ? phases[p - 1].at : 0.0));
            c.ready.push_back(phases[ReadyIndex(phases)].at);
            c.outside.push_back(outside);
            c.lastRun = phases;
        }
    }

    // Rows in the order of the last build's trace ("after"), the others' own phases
    // merged in where they occur.
    std::vector<std::string> order;
    for (size_t i = n; i-- > 0;)
        MergeOrder(order, columns[i].lastRun);

    auto printRow = [&columns](const std::string& name) {
        std::printf("| %s |", name.c_str());
        for (const Column& c : columns) {
            auto it = c.durations.find(name);
            if (it == c.durations.end())
                std::printf(" - |");
            else
                std::printf(" %.1f |", Median(it->second));
        }
        std::printf("\n");
    };
    std::printf("| phase (median ms) |");
    for (const Column& c : columns)
        std::printf(" %s |", c.title.c_str());
    std::printf("\n|---|");
    for (size_t i = 0; i < n; ++i)
        std::printf("---:|");
    std::printf("\n");
    const auto ready = std::find(order.begin(), order.end(), "ready");
    for (auto it = order.begin(); it != order.end() && it <= ready; ++it)
        printRow(*it);
    std::printf("| **ready, ms since process creation** |");
    for (const Column& c : columns)
        std::printf(" **%.0f** |", Median(c.ready));
    std::printf("\n| seen ready from outside (CreateProcess to the message loop answering) |");
    for (const Column& c : columns)
        std::printf(" %.0f |", Median(c.outside));
    std::printf("\n");
    for (auto it = ready == order.end() ? ready : ready + 1; it != order.end(); ++it)
        printRow(*it); // work left to the message loop
    std::printf("\n%d rounds (each column once per round, in turn), %d runs without a "
                "complete trace\n",
                rounds, failures);
    for (const Column& c : columns)
        RemoveScratchFolder(c.folder);
    return failures ? 1 : 0;
}
