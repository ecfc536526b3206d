// Times loading and saving the settings file for 10, 100 and 1,000 shortcuts, next
// to the same work done key by key with one profile call per key, and prints a
// Markdown table of medians. Run under Wine: see bench/README.md.

#include "store/Settings.h"
#include "store/ShortcutTable.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace pw;

namespace {

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER c;
    QueryPerformanceCounter(&c);
    return 1000.0 * static_cast<double>(c.QuadPart) / static_cast<double>(frequency.QuadPart);
}

struct Timing {
    double median, low, high;
};

// before runs outside the clock (to put the file in a known state), then work is timed.
Timing Measure(int runs, const std::function<void()>& before, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        if (before)
            before();
        const double start = NowMs();
        work();
        ms.push_back(NowMs() - start);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.front(), ms.back()};
}

std::string Cell(const Timing& t) {
    char text[64];
    if (t.median < 10)
        std::snprintf(text, sizeof text, "%.2f", t.median);
    else
        std::snprintf(text, sizeof text, "%.0f", t.median);
    return text;
}

std::string Ratio(const Timing& slow, const Timing& fast) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f×", slow.median / std::max(fast.median, 1e-6));
    return text;
}

// Key combinations with two or three modifiers, 240 of them; a larger table repeats them
// (the repeats are refused at registration, as in a real file with duplicates).
KeyCombination RealKey(int i) {
    static const KeyCombination mods[] = {0xE000, 0xC000, 0xA000, 0x6000};
    std::vector<std::uint8_t> keys;
    for (int k = 0x7C; k <= 0x87; ++k) // F13-F24
        keys.push_back(static_cast<std::uint8_t>(k));
    for (int k = 'A'; k <= 'Z'; ++k)
        keys.push_back(static_cast<std::uint8_t>(k));
    for (int k = '0'; k <= '9'; ++k)
        keys.push_back(static_cast<std::uint8_t>(k));
    for (int k = 0x60; k <= 0x69; ++k) // keypad digits
        keys.push_back(static_cast<std::uint8_t>(k));
    keys.push_back(0x13); // Pause
    keys.push_back(0x91); // Scroll Lock
    const int n = static_cast<int>(keys.size());
    return static_cast<KeyCombination>(mods[(i / n) % 4] | keys[i % n]);
}

// Values only: nothing is registered while they are built.
std::vector<StoredShortcut> Entries(int n, bool realKeys) {
    std::vector<StoredShortcut> entries;
    for (int i = 0; i < n; ++i)
        entries.push_back({"C:\\Bench folders\\Project " + std::to_string(i) + "\\Sources",
                           realKeys ? RealKey(i) : KeyCombination(0)});
    return entries;
}

// The straightforward save: one WritePrivateProfileStringA per key, in place.
void SaveKeyByKey(const std::string& file, const Options& o,
                  const std::vector<StoredShortcut>& entries) {
    const char* flag[] = {"0", "1"};
    WritePrivateProfileStringA("Options", "WarnWeakKey", flag[o.warnOfWeakKeys], file.c_str());
    WritePrivateProfileStringA("Options", "ConfirmExit", flag[o.confirmExit], file.c_str());
    WritePrivateProfileStringA("Options", "DClickEdits", flag[o.doubleClickEdits], file.c_str());
    WritePrivateProfileStringA("Options", "RunOnStarup", flag[o.runAtLogon], file.c_str());
    WritePrivateProfileStringA("Shortcuts", nullptr, nullptr, file.c_str());
    if (entries.empty())
        return;
    WritePrivateProfileStringA("Shortcuts", "Count", std::to_string(entries.size()).c_str(),
                               file.c_str());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const int at = static_cast<int>(i);
        WritePrivateProfileStringA("Shortcuts", ShortcutPathKey(at).c_str(),
                                   ProfileTextToWrite(entries[i].path).c_str(), file.c_str());
        WritePrivateProfileStringA("Shortcuts", ShortcutKeyKey(at).c_str(),
                                   std::to_string(entries[i].key).c_str(), file.c_str());
    }
}

std::string Text(const std::string& file, const std::string& key, const char* defaultText) {
    char buffer[2048];
    const DWORD n = GetPrivateProfileStringA("Shortcuts", key.c_str(), defaultText, buffer,
                                             sizeof buffer, file.c_str());
    return std::string(buffer, n);
}

// The straightforward read: one GetPrivateProfileStringA per key.
std::vector<StoredShortcut> ReadKeyByKey(const std::string& file) {
    std::vector<StoredShortcut> entries;
    const int count = SettingsNumberOr(Text(file, "Count", ""), 0);
    for (int i = 0; i < std::min(count, kMaxLoadedShortcuts); ++i)
        entries.push_back({Text(file, ShortcutPathKey(i), "C:\\"),
                           KeyCombinationFromSettingsNumber(
                               SettingsNumberOr(Text(file, ShortcutKeyKey(i), ""), 0))});
    return entries;
}

std::string TempFolder() {
    char tmp[MAX_PATH];
    GetTempPathA(sizeof tmp, tmp);
    const std::string folder =
        std::string(tmp) + "pathwink_bench_" + std::to_string(GetCurrentProcessId());
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

} // namespace

int main() {
    const std::string folder = TempFolder();
    const std::string exe = folder + "\\Pathwink.exe";
    const std::string naiveFile = folder + "\\KeyByKey.INI";
    RunAtLogonKeys keys;
    keys.machineRoot = HKEY_CURRENT_USER;
    keys.machineKey = "Software\\Pathwink bench\\Machine";
    keys.userRoot = HKEY_CURRENT_USER;
    keys.userKey = "Software\\Pathwink bench\\User";
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, keys.machineKey.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                    nullptr, &key, nullptr);
    if (key)
        RegCloseKey(key);
    SettingsStore store([exe] { return exe; }, keys);
    const std::string file = store.SettingsFileName();
    Options options;

    std::printf("| shortcuts | keys | save: ours (ms) | save: key by key (ms) | ratio "
                "| read: ours (ms) | read: key by key (ms) | ratio | LoadShortcuts (ms) |\n");
    std::printf("|---:|---|---:|---:|---:|---:|---:|---:|---:|\n");
    const struct {
        int n;
        bool realKeys;
    } rows[] = {{10, false}, {100, false}, {1000, false}, {10, true}, {100, true}, {1000, true}};
    for (const auto& row : rows) {
        const int n = row.n;
        const int runs = n >= 1000 ? 5 : 9;
        const std::vector<StoredShortcut> table = Entries(n, row.realKeys);
        auto fresh = [&] {
            DeleteFileA(file.c_str());
            DeleteFileA(naiveFile.c_str());
        };

        const Timing save = Measure(runs, fresh, [&] { store.SaveSettings(options, table); });
        const Timing naiveSave =
            Measure(runs, fresh, [&] { SaveKeyByKey(naiveFile, options, table); });

        store.SaveSettings(options, table);
        SaveKeyByKey(naiveFile, options, table);
        std::size_t check = 0;
        const Timing read = Measure(runs, nullptr, [&] {
            store.LoadOptions();
            check += ReadStoredShortcuts(file).size();
        });
        const Timing naiveRead = Measure(runs, nullptr, [&] {
            store.LoadOptions();
            check += ReadKeyByKey(naiveFile).size();
        });
        if (ReadStoredShortcuts(file) != ReadKeyByKey(naiveFile) ||
            check != static_cast<std::size_t>(2 * runs * n)) {
            std::fprintf(stderr, "the two files do not read alike for %d shortcuts\n", n);
            return 1;
        }
        const Timing load = Measure(n >= 1000 ? 3 : runs, nullptr, [&] {
            ShortcutTable loaded(nullptr);
            for (const StoredShortcut& stored : store.LoadShortcuts())
                loaded.AddStored(stored);
        });

        std::printf("| %d | %s | %s | %s | %s | %s | %s | %s | %s |\n", n,
                    row.realKeys ? "real" : "0", Cell(save).c_str(), Cell(naiveSave).c_str(),
                    Ratio(naiveSave, save).c_str(), Cell(read).c_str(), Cell(naiveRead).c_str(),
                    Ratio(naiveRead, read).c_str(), Cell(load).c_str());
        std::fflush(stdout);
    }

    DeleteFileA(file.c_str());
    DeleteFileA(naiveFile.c_str());
    RemoveDirectoryA(folder.c_str());
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Pathwink bench");
    return 0;
}
