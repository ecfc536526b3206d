#pragma once
// Helpers of the store tests: a sandbox folder with a would-be executable path in
// it and registry keys of its own, raw file access, registry reads, hotkey probes.

#include "store/Settings.h"
#include "store/ShortcutTable.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace storetest {

// The settings file's shortcuts added to table as the program loads them.
inline void LoadInto(const pw::SettingsStore& store, pw::ShortcutTable& table) {
    for (const pw::StoredShortcut& stored : store.LoadShortcuts())
        table.AddStored(stored);
}

std::optional<std::string> ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
// Leaf names of the files and folders in folder.
std::vector<std::string> Listing(const std::string& folder);

// The raw strings of a section as GetPrivateProfileSectionA returns them.
std::vector<std::string> SectionLines(const std::string& file, const char* section);
// What GetPrivateProfileStringA gives for key (2,048-character buffer).
std::string ProfileText(const std::string& file, const char* section, const std::string& key,
                        const char* defaultText = "<absent>");
// The same through the ANSI form of the reader, as earlier versions read the file:
// the bytes in the ANSI code page, at most 2,047 of them.
std::string AnsiProfileText(const std::string& file, const char* section, const std::string& key,
                            const char* defaultText = "<absent>");
bool FileHasSection(const std::string& file, const char* section);

// A temporary folder holding "Pathwink.exe"'s would-be settings file, plus the keys
// HKCU\Software\Pathwink store tests\<unique>\{Machine,User} for the run-at-logon
// value (Machine exists, User does not). Both are removed at the end.
class Sandbox {
public:
    Sandbox();
    ~Sandbox();
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    std::string folder;
    std::string exePath;      // <folder>\Pathwink.exe (never created)
    std::string iniPath;      // <folder>\Pathwink.INI
    std::string registryBase; // under HKEY_CURRENT_USER
    pw::RunAtLogonKeys keys;

    pw::SettingsStore Store() const;
    void WriteIni(const std::string& bytes) const { WriteBytes(iniPath, bytes); }
};

// A registry value's data and type, or nothing when the key or value is absent.
struct RegValue {
    DWORD type = 0;
    std::string data; // the bytes as stored, a terminating zero included
};
std::optional<RegValue> ReadRegValue(HKEY root, const std::string& key, const std::string& name);
bool RegKeyExists(HKEY root, const std::string& key);
void SetRegText(HKEY root, const std::string& key, const std::string& name,
                const std::string& text);

// True when nobody holds the combination: a probe registration succeeds and is undone.
bool IsFree(UINT modifiers, UINT virtualKey);
// Hidden windows of the hotkey bindings of this process.
int BindingWindowCount();

// The executable beside this test program (bin/).
std::string BesideThisProgram(const std::string& leaf);

} // namespace storetest
