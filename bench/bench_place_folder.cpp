// From a folder key to the window in front showing the folder, end to end:
// Pathwink.exe tray with two shortcuts (Ctrl+Alt+F6 to folder A, Ctrl+Alt+F7 to
// folder B) and another program's window in front:
//   - a Save As dialog of file_dialog_host.exe, classic (GetSaveFileNameW) and item
//     (IFileSaveDialog): timed until that program says its dialog shows the folder
//     (asked with WM_COPYDATA, answered by the dialog's own thread, every
//     millisecond);
//   - an Explorer window: timed until its title is the folder's name.
// The presses alternate between A and B, so that every one moves the window.
// Each press is sent with SendInput and timed with QueryPerformanceCounter from
// just before it. Prints a Markdown table of medians and maxima in milliseconds.
//
//   wine bench_place_folder.exe [presses]   (default 100 per window, after 5 not counted)

#include "bench/BenchSupport.h"
#include "tests/e2e/FileDialogHost.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

using namespace bench;

namespace {

constexpr DWORD kTimeoutMs = 10000;

// Polls every millisecond until shown() or the timeout; the milliseconds since from, or -1.
double TimeUntil(const LARGE_INTEGER& from, const std::function<bool()>& shown) {
    const DWORD start = GetTickCount();
    while (!shown()) {
        if (GetTickCount() - start > kTimeoutMs)
            return -1;
        Sleep(1);
    }
    return Milliseconds(from, Now());
}

HWND VisibleWindowOf(DWORD process, const wchar_t* className) {
    struct Search {
        DWORD process;
        const wchar_t* className;
        HWND found;
    } search{process, className, nullptr};
    EnumWindows(
        [](HWND window, LPARAM parameter) {
            auto& s = *reinterpret_cast<Search*>(parameter);
            DWORD owner = 0;
            GetWindowThreadProcessId(window, &owner);
            wchar_t name[64];
            GetClassNameW(window, name, 64);
            if (owner != s.process || lstrcmpW(name, s.className) != 0 || !IsWindowVisible(window))
                return TRUE;
            s.found = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

bool ShowsFolder(HWND host, const std::wstring& folder) {
    COPYDATASTRUCT data{pwtest::kHostFolderIsData,
                        static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)),
                        const_cast<wchar_t*>(folder.c_str())};
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(host, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG, 1000, &answer) &&
           answer == 1;
}

std::wstring Leaf(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

std::wstring TitleOf(HWND window) {
    wchar_t title[MAX_PATH] = L"";
    GetWindowTextW(window, title, MAX_PATH);
    return title;
}

struct Timings {
    std::vector<double> ms;
    int lost = 0;
};

// Presses the keys in turn with window in front, each timed until shows(its folder).
Timings Measure(HWND window, const std::wstring folders[2], int presses,
                const std::function<bool(const std::wstring&)>& shows) {
    constexpr int kWarmUp = 5;
    Timings timings;
    for (int i = 0; i < kWarmUp + presses; ++i) {
        if (GetForegroundWindow() != window) {
            SetForegroundWindow(window);
            Sleep(50);
        }
        const int which = i % 2;
        Sleep(20); // the last press's keys are up everywhere
        const LARGE_INTEGER sent = Now();
        SendCombination(which == 0 ? VK_F6 : VK_F7);
        const double ms = TimeUntil(sent, [&] { return shows(folders[which]); });
        if (ms < 0)
            ++timings.lost;
        else if (i >= kWarmUp)
            timings.ms.push_back(ms);
    }
    return timings;
}

void PrintRow(const char* what, const Timings& t) {
    if (t.ms.empty())
        std::printf("| %s | - | - | - | %d |\n", what, t.lost);
    else
        std::printf("| %s | %.1f ms | %.1f ms | %zu | %d |\n", what, Median(t.ms), Max(t.ms),
                    t.ms.size(), t.lost);
}

} // namespace

int main(int argc, char** argv) {
    const int presses = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;

    const std::wstring folders[2] = {MakeScratchFolder(L"place_a"), MakeScratchFolder(L"place_b")};
    const std::wstring start = MakeScratchFolder(L"place_start");
    const std::wstring pathwinkFolder = MakeScratchFolder(L"place_app");
    const std::wstring exe = pathwinkFolder + L"\\Pathwink.exe";
    CopyFileW(Beside(L"Pathwink.exe").c_str(), exe.c_str(), FALSE);
    const std::string ini = "[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\nOpenInFront=1\r\n"
                            "[Shortcuts]\r\nCount=2\r\n0Path=" +
                            Narrow(folders[0]) + "\r\n0ShortCut=" + std::to_string(0xC000 | VK_F6) +
                            "\r\n1Path=" + Narrow(folders[1]) +
                            "\r\n1ShortCut=" + std::to_string(0xC000 | VK_F7) + "\r\n";
    const HANDLE file = CreateFileW((pathwinkFolder + L"\\Pathwink.INI").c_str(), GENERIC_WRITE, 0,
                                    nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, ini.data(), static_cast<DWORD>(ini.size()), &written, nullptr);
    CloseHandle(file);

    RunningProgram pathwink(Program{L"Pathwink.exe tray", exe, L"tray", nullptr, 2});
    if (pathwink.WaitUntilReady() < 0) {
        std::fprintf(stderr, "Pathwink did not start\n");
        return 2;
    }

    std::printf("| window in front | median | worst | presses | lost (no folder within 10 s) "
                "|\n|---|---:|---:|---:|---:|\n");
    int lost = 0;
    for (const wchar_t* kind : {L"classic", L"item"}) {
        const std::wstring report = start + L"\\report.txt";
        RunningProgram host(Program{kind, Beside(L"file_dialog_host.exe"),
                                    std::wstring(kind) + L" \"" + report + L"\" \"" + start + L"\"",
                                    L"PathwinkTestDialogHost", 0});
        host.WaitUntilReady();
        HWND dialog = nullptr;
        TimeUntil(Now(),
                  [&] { return (dialog = VisibleWindowOf(host.Id(), L"#32770")) != nullptr; });
        const HWND hostWindow = FindWindowW(L"PathwinkTestDialogHost", nullptr);
        if (!dialog || !hostWindow) {
            std::fprintf(stderr, "no %ls dialog\n", kind);
            return 2;
        }
        Sleep(500);
        const Timings t = Measure(dialog, folders, presses, [&](const std::wstring& folder) {
            return ShowsFolder(hostWindow, folder);
        });
        PrintRow(lstrcmpW(kind, L"classic") == 0 ? "classic Save As (GetSaveFileNameW)"
                                                 : "item dialog (IFileSaveDialog)",
                 t);
        lost += t.lost;
        Sleep(1000); // the last press has put the name back: the dialog may go
        host.End();
    }

    ShellExecuteW(nullptr, L"explore", start.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    HWND explorer = nullptr;
    TimeUntil(Now(), [&] {
        explorer = FindWindowW(L"ExplorerWClass", Leaf(start).c_str());
        return explorer != nullptr;
    });
    if (explorer) {
        Sleep(500);
        const Timings t = Measure(explorer, folders, presses, [&](const std::wstring& folder) {
            return TitleOf(explorer) == Leaf(folder);
        });
        PrintRow("Wine's Explorer window", t);
        lost += t.lost;
        PostMessageW(explorer, WM_CLOSE, 0, 0);
    }
    pathwink.End();
    Sleep(500);
    for (const std::wstring& folder : {folders[0], folders[1], start, pathwinkFolder})
        RemoveScratchFolder(folder);
    return lost ? 1 : 0;
}
