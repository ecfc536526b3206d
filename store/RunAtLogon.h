#pragma once
// The run-at-logon value: "<executable>" tray under the Run key of the machine or
// of the user.

#include <windows.h>

#include <string>

namespace pw {

// Where the run-at-logon value goes: the machine-wide Run key when it opens with
// full access, otherwise the user's. Tests point these at keys of their own.
struct RunAtLogonKeys {
    HKEY machineRoot = HKEY_LOCAL_MACHINE;
    std::string machineKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    HKEY userRoot = HKEY_CURRENT_USER;
    std::string userKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string valueName = "Pathwink";
};

// Writes command as the value: into the machine-wide key when it opens with full
// access, otherwise into the user's. Throws UserError("Failed to set data for
// '<value>'") when the write fails.
void SetRunAtLogon(const RunAtLogonKeys& keys, const std::string& command);
// Removes the value from both keys (absent values are no failure).
void RemoveRunAtLogon(const RunAtLogonKeys& keys);

} // namespace pw
