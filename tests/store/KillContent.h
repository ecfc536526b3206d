#pragma once
// The two contents the save-kill test alternates between, built alike by the test
// and by its helper program store_save_loop.exe.

#include "store/Settings.h"

#include <memory>
#include <string>

namespace killtest {

constexpr int kEntries = 500;

// Generation 0 is content A, 1 is content B: every option and every entry differ.
inline pw::Options OptionsOf(int generation) {
    pw::Options o;
    o.WarnWeakKey = generation == 0;
    o.ConfirmExit = generation != 0;
    o.DClickEdits = generation == 0;
    o.RunOnStarup = generation != 0;
    return o;
}

inline std::string PathOf(int generation, int i) {
    const std::string n = std::to_string(1000 + i).substr(1);
    return generation == 0 ? "C:\\Kill test A\\Folder " + n : "D:\\Kill test B\\Map " + n + " (B)";
}

// Content B's keys are all Ctrl+Alt+Shift+F10: loading registers it at most once.
inline pw::KeyCombination KeyOf(int generation) {
    return generation == 0 ? 0 : 0xE079;
}

// Disabled bindings: no window and no registration, only the values that are saved.
inline void Fill(pw::ShortcutTable& table, int generation) {
    for (int i = 0; i < kEntries; ++i) {
        const std::string path = PathOf(generation, i);
        auto binding = std::make_unique<pw::HotkeyBinding>();
        binding->SetEnabled(false);
        binding->SetKey(KeyOf(generation));
        binding->SetFolder(path);
        table.InsertLoaded(path, std::move(binding));
    }
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
