// Hotkey latency, in-process: a shortcut on Ctrl+Alt+F11 whose handler is
// the program's own (FolderLaunch::OpenFolder) with a FolderShell that runs
// the real folder check on C:\windows and, instead of opening Explorer, notes the
// time. Each press is sent with SendInput (Ctrl, Alt, F11 down and up) and timed
// with QueryPerformanceCounter from just before SendInput to:
//   - the shortcut's handler (WM_HOTKEY dispatched on the window thread),
//   - the folder check (called on the launch's own thread),
//   - the open step, which follows the check;
// the check step alone is the time from the check's call to the open's.
// Prints a Markdown table of medians and maxima in microseconds.
//
//   wine bench_hotkey.exe [presses]      (default 200, after 10 that are not counted)

#include "bench/BenchSupport.h"
#include "hotkey/KeyCombination.h"
#include "open/FolderLaunch.h"
#include "store/ShortcutTable.h"
#include "tests/open/HostedLaunch.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <type_traits>
#include <vector>

using bench::Median;
using bench::PumpUntil;
using bench::SendCombination;

namespace {

std::atomic<long long> checkAt{0}, openAt{0};

long long Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Microseconds(long long from, long long to) {
    static const double ticksPerUs = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    return static_cast<double>(to - from) / ticksPerUs;
}

} // namespace

int main(int argc, char** argv) {
    using namespace pw;
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    constexpr int kWarmUp = 10;

    FolderShell shell;
    // The folder types follow the library's: whatever text type the path has.
    shell.isFolder = [](const auto& path) {
        checkAt = Ticks();
        return IsExistingDirectory(path);
    };
    shell.open = [](const auto&) -> DWORD {
        openAt = Ticks();
        return 0;
    };
    pwtest::HostedLaunch launch(shell);

    long long handlerAt = 0;
    ShortcutTable table([&](const std::string& folder) {
        handlerAt = Ticks();
        launch.OpenFolder(folder);
    });
    if (!table.AddShortcut("C:\\windows",
                           static_cast<KeyCombination>(kWithCtrl | kWithAlt | VK_F11))) {
        std::fprintf(stderr, "Ctrl+Alt+F11 could not be registered (error %lu)\n", GetLastError());
        return 2;
    }

    std::vector<double> toHandler, toCheck, toOpen, checkStep;
    int lost = 0;
    for (int i = 0; i < kWarmUp + presses; ++i) {
        handlerAt = checkAt = openAt = 0;
        const long long sent = Ticks();
        SendCombination(VK_F11);
        // Done when the open step ran; the launch's report comes a moment later.
        const bool opened = PumpUntil([&] { return openAt != 0; }, 2000);
        PumpUntil([] { return false; }, 20);
        if (!opened) {
            ++lost;
            continue;
        }
        if (i < kWarmUp)
            continue;
        toHandler.push_back(Microseconds(sent, handlerAt));
        toCheck.push_back(Microseconds(sent, checkAt));
        toOpen.push_back(Microseconds(sent, openAt));
        checkStep.push_back(Microseconds(checkAt, openAt));
    }

    std::printf("| from SendInput of Ctrl+Alt+F11 to | median | maximum |\n");
    std::printf("|---|---:|---:|\n");
    auto row = [](const char* what, const std::vector<double>& v) {
        if (v.empty())
            std::printf("| %s | - | - |\n", what);
        else
            std::printf("| %s | %.0f us | %.0f us |\n", what, Median(v),
                        *std::max_element(v.begin(), v.end()));
    };
    row("the shortcut's handler (WM_HOTKEY on the window thread)", toHandler);
    row("the folder check (on the launch thread)", toCheck);
    row("the open step (after the check of an existing folder)", toOpen);
    row("*the check step alone (check called to open called)*", checkStep);
    std::printf("\n%zu presses timed (%d more not counted), %d lost (no open within 2 s)\n",
                toOpen.size(), kWarmUp, lost);
    return lost ? 1 : 0;
}
