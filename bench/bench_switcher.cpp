// The folder switcher with 1,000 shortcuts, in-process: its key (Ctrl+Alt+F11 here)
// is a real hotkey binding whose handler shows the switcher, as the program's does.
// Timed with QueryPerformanceCounter:
//   - from SendInput of the key to the switcher painted (every pending paint of the
//     window and its controls done: RedrawWindow with RDW_UPDATENOW);
//   - from SendInput of a typed key to the list filtered and repainted. The keys type
//     "project 7" one by one, then Backspace empties the box again: the first letters
//     keep all 1,000 rows (no refill), the last ones narrow them to a few, and the
//     first Backspace ("project ") fills all 1,000 rows in again (the longest refill).
// Prints a Markdown table of medians and maxima in milliseconds.
//
//   wine bench_switcher.exe [rounds]      (default 30, after 3 that are not counted)

#include "bench/BenchSupport.h"
#include "hotkey/HotkeyBinding.h"
#include "switcher/FolderSwitcher.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using bench::Median;
using bench::PumpUntil;
using bench::SendCombination;

namespace {

long long Ticks() {
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return t.QuadPart;
}

double Milliseconds(long long from, long long to) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(to - from) * 1000.0 / static_cast<double>(f.QuadPart);
}

void SendKey(WORD vk, bool ctrlAlt) {
    std::vector<INPUT> input;
    auto add = [&](WORD key, bool up) {
        INPUT i{};
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = key;
        i.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        input.push_back(i);
    };
    if (ctrlAlt) {
        add(VK_CONTROL, false);
        add(VK_MENU, false);
    }
    add(vk, false);
    add(vk, true);
    if (ctrlAlt) {
        add(VK_MENU, true);
        add(VK_CONTROL, true);
    }
    SendInput(static_cast<UINT>(input.size()), input.data(), sizeof(INPUT));
}

int TextLength(HWND box) {
    return GetWindowTextLengthW(box);
}

} // namespace

int main(int argc, char** argv) {
    using namespace pw;
    SetProcessDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    constexpr int kWarmUp = 3;

    std::vector<std::string> rows, paths;
    for (int i = 0; i < 1000; ++i) {
        char path[128];
        std::snprintf(path, sizeof path, "C:\\Users\\me\\Work\\Client %03d\\project %04d Data",
                      i % 97, i);
        paths.push_back(path);
        rows.push_back((i % 3 ? std::string("(No HotKey)") : "Ctrl+Alt+" + std::to_string(i % 10)) +
                       "\t" + path);
    }

    FolderSwitcher switcher;
    long long shownAt = 0;
    HotkeyBinding key;
    key.OnPressed = [&] {
        switcher.Show(rows, paths, nullptr);
        RedrawWindow(switcher.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        shownAt = Ticks();
    };
    key.SetKey(static_cast<KeyCombination>(kWithCtrl | kWithAlt | VK_F11));
    if (!key.Registered()) {
        std::fprintf(stderr, "Ctrl+Alt+F11 could not be registered (error %lu)\n", GetLastError());
        return 2;
    }
    const HWND box = FindWindowExW(switcher.Handle(), nullptr, L"Edit", nullptr);

    const WORD typed[] = {'P',     'R',      'O',     'J',     'E',     'C',
                          'T',     VK_SPACE, '7',     VK_BACK, VK_BACK, VK_BACK,
                          VK_BACK, VK_BACK,  VK_BACK, VK_BACK, VK_BACK, VK_BACK};
    std::vector<double> toPainted, perKey, refill;
    int lost = 0;
    for (int round = 0; round < kWarmUp + rounds; ++round) {
        shownAt = 0;
        const long long sent = Ticks();
        SendKey(VK_F11, true);
        if (!PumpUntil([&] { return shownAt != 0; }, 2000)) {
            ++lost;
            continue;
        }
        if (round >= kWarmUp)
            toPainted.push_back(Milliseconds(sent, shownAt));
        for (size_t k = 0; k < std::size(typed); ++k) {
            const int before = TextLength(box);
            const long long keyAt = Ticks();
            SendKey(typed[k], false);
            if (!PumpUntil([&] { return TextLength(box) != before; }, 2000)) {
                ++lost;
                break;
            }
            RedrawWindow(switcher.Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            const long long repainted = Ticks();
            if (round >= kWarmUp) {
                perKey.push_back(Milliseconds(keyAt, repainted));
                if (typed[k] == VK_BACK && typed[k - 1] != VK_BACK)
                    refill.push_back(Milliseconds(keyAt, repainted));
            }
        }
        switcher.Dismiss();
        PumpUntil([] { return false; }, 20); // the hiding and the activation settle
    }

    std::printf("| 1,000 shortcuts: from SendInput to | median | maximum |\n");
    std::printf("|---|---:|---:|\n");
    auto row = [](const char* what, const std::vector<double>& v) {
        if (v.empty())
            std::printf("| %s | - | - |\n", what);
        else
            std::printf("| %s | %.2f ms | %.2f ms |\n", what, Median(v),
                        *std::max_element(v.begin(), v.end()));
    };
    row("the switcher painted (its key)", toPainted);
    row("the list repainted (each typed key)", perKey);
    row("*the first Backspace (all 1,000 rows filled in again)*", refill);
    std::printf("\n%zu showings and %zu keys timed (%d rounds not counted), %d lost\n",
                toPainted.size(), perKey.size(), kWarmUp, lost);
    return lost ? 1 : 0;
}
