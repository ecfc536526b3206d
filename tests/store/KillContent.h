#pragma once
// The two contents the save-kill test alternates between, built alike by the test
// and by its helper program store_save_loop.exe.

#include "store/Settings.h"

#include <string>
#include <vector>

namespace killtest {

constexpr int kEntries = 500;

// Generation 0 is content A, 1 is content B: every option and every entry differ.
inline pw::Options OptionsOf(int generation) {
    pw::Options o;
    o.warnOfWeakKeys = generation == 0;
    o.confirmExit = generation != 0;
    o.doubleClickEdits = generation == 0;
    o.runAtLogon = generation != 0;
    return o;
}

// The options a load gave are those of generation.
inline bool AreOptionsOf(const pw::Options& o, int generation) {
    const pw::Options g = OptionsOf(generation);
    return o.warnOfWeakKeys == g.warnOfWeakKeys && o.confirmExit == g.confirmExit &&
           o.doubleClickEdits == g.doubleClickEdits && o.runAtLogon == g.runAtLogon &&
           o.warnOfAltGr == g.warnOfAltGr;
}

inline std::string PathOf(int generation, int i) {
    const std::string n = std::to_string(1000 + i).substr(1);
    return generation == 0 ? "C:\\Kill test A\\Folder " + n : "D:\\Kill test B\\Map " + n + " (B)";
}

// Content B's keys are all Ctrl+Alt+Shift+F10: loading registers it at most once.
inline pw::KeyCombination KeyOf(int generation) {
    return generation == 0 ? 0 : 0xE079;
}

// The entries of a generation: values only, nothing registered.
inline std::vector<pw::StoredShortcut> EntriesOf(int generation) {
    std::vector<pw::StoredShortcut> entries;
    for (int i = 0; i < kEntries; ++i)
        entries.push_back({PathOf(generation, i), KeyOf(generation)});
    return entries;
}

inline pw::RunAtLogonKeys KeysUnder(const std::string& registryBase) {
    pw::RunAtLogonKeys keys;
    keys.machineRoot = HKEY_CURRENT_USER;
    keys.machineKey = registryBase + "\\Machine";
    keys.userRoot = HKEY_CURRENT_USER;
    keys.userKey = registryBase + "\\User";
    return keys;
}

} // namespace killtest
