#pragma once
// The settings file beside the executable (its path with the extension replaced
// by ".INI") and the run-at-logon value. Loading never fails: missing or malformed
// values take their defaults. Saving replaces the file in one step, or throws
// with nothing half-written.

#include "store/Options.h"
#include "store/RunAtLogon.h"
#include "store/SettingsFormat.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pw {

// Every entry the file holds is loaded; entries it lacks (a Count beyond them) are
// made up only below this number, so that a huge Count costs no windows and
// registration attempts.
constexpr int kMaxLoadedShortcuts = 1000;

// How [Shortcuts] is read: whole, with a buffer that grows from initialChars; a
// section that does not fit in maxChars is read key by key instead. Tests shrink
// both to reach the growth and the fallback.
struct SectionReadSizes {
    std::size_t initialChars = 64 * 1024;
    std::size_t maxChars = 16 * 1024 * 1024;
};

// The entries of [Shortcuts] of a settings file (in any of its encodings, see
// SettingsEncodingOf) as LoadShortcuts creates them, read with one
// GetPrivateProfileSectionA and the profile reader's rules (see SettingsFormat.h).
std::vector<StoredShortcut> ReadStoredShortcuts(const std::string& settingsFile,
                                                SectionReadSizes sizes = {});

class SettingsStore {
public:
    // The running executable's path, asked afresh at every load and save.
    SettingsStore();
    SettingsStore(std::function<std::string()> executablePath, RunAtLogonKeys keys);

    std::string ExecutablePath() const { return executablePath_(); }
    std::string SettingsFileName() const;

    Options LoadOptions() const;
    // The entries of [Shortcuts], in the file's order.
    std::vector<StoredShortcut> LoadShortcuts() const;
    // Rewrites [Options] and [Shortcuts] (other sections, keys and comments are kept,
    // and the file keeps its encoding: see SettingsEncodingOf), then
    // brings the run-at-logon value in line with options.runAtLogon. The work is
    // done on a copy beside the file ("~pw<pid>.tmp") that then replaces it in one
    // rename, or for a linked file is written over it (see store/FileReplace.h);
    // copies left by processes that ended mid-save are removed after the next
    // successful save. A read-only file is never replaced. A failure throws
    // UserError("Unable to write to <file>." and the system's reason on a line of
    // its own, or "<other file> is in the way: <reason>" when another file stopped
    // it), with the file as it was; so does, before anything is touched, a
    // path holding a line break (the one thing a value cannot hold). A failure of
    // the run-at-logon value after the file was saved throws RunAtLogonError.
    void SaveSettings(const Options& options, const std::vector<StoredShortcut>& shortcuts) const;

private:
    std::function<std::string()> executablePath_;
    RunAtLogonKeys keys_;
};

} // namespace pw
