// Helper of the save-kill test: loads the settings file of the executable path it
// is given, saves content B once (which also removes what earlier helpers left),
// signals the named event, then saves contents A and B alternately until killed.
// Each save must leave the file with as many names (hard links) as it had at the
// start. Without arguments it ends at once (an ended process).
// It reads the shortcuts as LoadShortcuts does but makes no bindings of them: under
// Wine each binding's hidden window costs 5-20 ms, which 60 runs of 500 cannot afford.

#include "tests/store/KillContent.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: store_save_loop <executable path> <ready event> <registry key>\n");
        return 2;
    }
    const std::string exe = argv[1];
    pw::SettingsStore store([exe] { return exe; }, killtest::KeysUnder(argv[3]));
    store.LoadOptions();
    if (pw::ReadStoredShortcuts(store.SettingsFileName()).size() != killtest::kEntries) {
        std::fprintf(stderr, "the settings file does not hold %d shortcuts\n", killtest::kEntries);
        return 5;
    }

    const DWORD names = pwtest::FileNameCount(store.SettingsFileName());

    const std::vector<pw::StoredShortcut> a = killtest::EntriesOf(0), b = killtest::EntriesOf(1);

    auto save = [&](unsigned long n) {
        const int generation = static_cast<int>(n % 2);
        try {
            store.SaveSettings(killtest::OptionsOf(generation), generation ? b : a);
            if (pwtest::FileNameCount(store.SettingsFileName()) == names)
                return true;
            std::fprintf(stderr, "save %lu: the file no longer has %lu names\n", n, names);
            return false;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "save %lu failed: %s\n", n, e.what());
            return false;
        }
    };
    if (!save(1))
        return 4;
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[2]);
    if (!ready) {
        std::fprintf(stderr, "no event %s\n", argv[2]);
        return 3;
    }
    SetEvent(ready);
    CloseHandle(ready);
    for (unsigned long n = 2;; ++n)
        if (!save(n))
            return 4;
}
