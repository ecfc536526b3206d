#pragma once
// The run-at-logon value "Pathwink" = "<executable>" tray. One value at a time:
// machine-wide (HKLM) only for an executable that ordinary users cannot replace,
// so that no user can plant a program that runs at every other user's logon;
// otherwise the user's own (HKCU).

#include "win/Errors.h"
#include "win/ProgramName.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace pw {

// True when ordinary users cannot replace the executable: neither the file nor its
// folder lets anyone but the system and administrators change it, and no folder
// above it, up to the root of its volume, lets anyone else delete, rename or
// re-secure it, by its access list or by being its owner. Program Files is judged
// by its rights like any other folder.
bool ExecutableIsProtected(const std::string& executablePath);

// What an object is to the program it may hold: the program or its folder, which
// must not change, or a folder above them, which must not be deleted, renamed or
// re-secured, nor let the folder it holds be deleted (and so replaced).
enum class SecuredRole { Itself, Container };
// True when a security descriptor (its owner and DACL) lets an account other than
// the system, the administrators and the installer service change the object in
// that role: an entry that allows such a right, an owner who is such an account
// (an owner may always change the access list), no DACL, or a descriptor that
// cannot be read (null).
bool OrdinaryUsersMayChange(PSECURITY_DESCRIPTOR descriptor, SecuredRole role);

// The program and every folder above it up to volumeRoot (C:\Tools\P\P.exe with the
// root C:\ gives it, C:\Tools\P, C:\Tools and C:\), whose security decides whether
// it can be replaced; up to the path's first component when the root is not above it.
std::vector<std::string> ProgramAndFoldersAbove(const std::string& executablePath,
                                                const std::string& volumeRoot);
// True when the descriptors of those, in that order, let an ordinary user replace
// the program: the first two in the role Itself, the others as Container.
bool OrdinaryUsersMayReplace(const std::vector<PSECURITY_DESCRIPTOR>& programAndFoldersAbove);

// A failed write or removal of the value: the settings file itself was saved.
class RunAtLogonError : public UserError {
public:
    using UserError::UserError;
};

// Where the value goes. Tests point these at keys of their own and decide the
// protection themselves.
struct RunAtLogonKeys {
    HKEY machineRoot = HKEY_LOCAL_MACHINE;
    std::string machineKey = "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";
    HKEY userRoot = HKEY_CURRENT_USER;
    std::string userKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    std::string valueName = PATHWINK_NAME;
    std::function<bool(const std::string& executablePath)> isProtected = ExecutableIsProtected;
};

// Writes the value for executablePath: into the machine-wide key when the
// executable is protected and that key opens for writing, otherwise into the
// user's; this program's value (the same command) in the other key is removed.
// Throws RunAtLogonError("Failed to set data for '<value>'." and the system's reason).
void SetRunAtLogon(const RunAtLogonKeys& keys, const std::string& executablePath);
// Removes the value from both keys. A value that stays (a key that cannot be
// written) throws RunAtLogonError with the key and the system's reason; an absent value
// or key is no failure.
void RemoveRunAtLogon(const RunAtLogonKeys& keys);

} // namespace pw
