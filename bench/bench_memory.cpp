// Memory of Pathwink idle in the tray next to the reference programs, kept alive
// the same way (a hidden window, waiting in the message loop). A round starts the
// minimal window program, the minimal tab-control program and Pathwink.exe tray
// with 20 shortcuts together, waits until each is ready, lets them settle, reads
// each one's memory and ends them; then Pathwink with 0 and with 1,000 shortcuts,
// one at a time (one copy of Pathwink runs at a time). Prints Markdown medians.
//
//   wine bench_memory.exe [rounds] [settle seconds]      (default 9 and 3)
//
// Working set and private bytes come from GetProcessMemoryInfo. Under Wine they
// are the Linux process's VmRSS and RssAnon + VmSwap (/proc/<pid>/status): resident
// memory, not committed memory as on Windows. The benchmark also reads VmRSS and
// RssAnon itself, through Wine's Z: drive, as a cross-check.

#include "bench/BenchSupport.h"

#include <windows.h>

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

using namespace bench;

namespace {

// The Linux process whose command line names a file in folder (unique to one run),
// found through Wine's Z: drive; 0 when none.
unsigned long LinuxPidRunningFrom(const std::wstring& folder) {
    const std::wstring leaf = folder.substr(folder.find_last_of(L'\\') + 1);
    const std::string wanted(leaf.begin(), leaf.end());
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    unsigned long pid = 0;
    do {
        const std::wstring name = found.cFileName;
        if (name.empty() || name.find_first_not_of(L"0123456789") != std::wstring::npos)
            continue;
        const std::string commandLine = ReadWholeFile(L"Z:\\proc\\" + name + L"\\cmdline");
        if (commandLine.find(wanted) != std::string::npos)
            pid = std::wcstoul(name.c_str(), nullptr, 10);
    } while (!pid && FindNextFileW(search, &found));
    FindClose(search);
    return pid;
}

// A "Key:   123 kB" line of /proc/<pid>/status, in MiB; -1 when absent.
double StatusMiB(const std::string& status, const char* key) {
    const size_t at = status.find(std::string(key) + ":");
    return at == std::string::npos ? -1
                                   : std::atof(status.c_str() + at + std::strlen(key) + 1) / 1024;
}

struct Reading {
    double workingSet = -1, privateBytes = -1, vmRss = -1, rssAnon = -1;
};

Reading Read(const RunningProgram& run, const std::wstring& folder) {
    Reading r;
    PROCESS_MEMORY_COUNTERS_EX counters{};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(run.Process(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                             sizeof counters)) {
        r.workingSet = counters.WorkingSetSize / 1048576.0;
        // Wine fills only the basic record; its PagefileUsage is the same commit
        // charge that Windows reports in both fields.
        r.privateBytes =
            (counters.cb >= sizeof counters ? counters.PrivateUsage : counters.PagefileUsage) /
            1048576.0;
    }
    if (const unsigned long pid = LinuxPidRunningFrom(folder)) {
        const std::string status =
            ReadWholeFile(L"Z:\\proc\\" + std::to_wstring(pid) + L"\\status");
        r.vmRss = StatusMiB(status, "VmRSS");
        r.rssAnon = StatusMiB(status, "RssAnon");
    }
    return r;
}

struct Subject {
    Program program;
    std::wstring folder;
    std::vector<double> workingSet, privateBytes, vmRss, rssAnon;
};

Subject Copied(const wchar_t* label, const wchar_t* exeName, const wchar_t* args,
               const wchar_t* readyClass, int shortcuts) {
    Subject s;
    s.folder = MakeScratchFolder(L"memory");
    const std::wstring exe = s.folder + L"\\" + exeName;
    CopyFileW(Beside(exeName).c_str(), exe.c_str(), FALSE);
    if (!readyClass)
        WriteSettings(s.folder + L"\\Pathwink.INI", shortcuts);
    s.program = Program{label, exe, args, readyClass, shortcuts};
    return s;
}

} // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    const DWORD settleMs = static_cast<DWORD>((argc > 2 ? std::atof(argv[2]) : 3.0) * 1000);

    std::vector<Subject> subjects;
    subjects.push_back(Copied(L"minimal window program", L"bench_minimal_window.exe", L"",
                              L"MinimalBenchWindow", -1));
    subjects.push_back(Copied(L"minimal tab-control program", L"bench_minimal_tabs.exe", L"",
                              L"MinimalTabsBenchWindow", -1));
    subjects.push_back(Copied(L"Pathwink.exe tray", L"Pathwink.exe", L"tray", nullptr, 20));
    subjects.push_back(Copied(L"Pathwink.exe tray", L"Pathwink.exe", L"tray", nullptr, 0));
    subjects.push_back(Copied(L"Pathwink.exe tray", L"Pathwink.exe", L"tray", nullptr, 1000));
    // Started together within a batch; one Pathwink per batch.
    const std::vector<std::vector<size_t>> batches = {{0, 1, 2}, {3}, {4}};

    int failures = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const auto& batch : batches) {
            std::vector<std::unique_ptr<RunningProgram>> runs;
            bool ready = true;
            for (size_t i : batch) {
                runs.push_back(std::make_unique<RunningProgram>(subjects[i].program));
                ready = runs.back()->WaitUntilReady() >= 0 && ready;
            }
            if (!ready) {
                ++failures;
                continue;
            }
            Sleep(settleMs);
            for (size_t k = 0; k < batch.size(); ++k) {
                Subject& s = subjects[batch[k]];
                const Reading r = Read(*runs[k], s.folder);
                s.workingSet.push_back(r.workingSet);
                s.privateBytes.push_back(r.privateBytes);
                if (r.vmRss >= 0) {
                    s.vmRss.push_back(r.vmRss);
                    s.rssAnon.push_back(r.rssAnon);
                }
            }
        }
    }

    const double minimalWs = Median(subjects[0].workingSet);
    const double minimalPrivate = Median(subjects[0].privateBytes);
    std::printf("| program | stored shortcuts | working set | private bytes | VmRSS (/proc) | "
                "RssAnon (/proc) | working set / minimal | private bytes / minimal |\n");
    std::printf("|---|---:|---:|---:|---:|---:|---:|---:|\n");
    for (const Subject& s : subjects) {
        const std::string count = s.program.readyClass ? "-" : std::to_string(s.program.shortcuts);
        const double ws = Median(s.workingSet), priv = Median(s.privateBytes);
        std::printf("| %s | %s | %.1f MiB | %.1f MiB | %.1f MiB | %.1f MiB | %.2f | %.2f |\n",
                    Narrow(s.program.label).c_str(), count.c_str(), ws, priv, Median(s.vmRss),
                    Median(s.rssAnon), ws / minimalWs, priv / minimalPrivate);
    }
    std::printf("\n%d rounds, %.1f s settle time, %d batches not ready in 60 s\n", rounds,
                settleMs / 1000.0, failures);
    for (const Subject& s : subjects)
        RemoveScratchFolder(s.folder);
    return failures ? 1 : 0;
}
