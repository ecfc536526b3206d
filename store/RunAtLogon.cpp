#include "store/RunAtLogon.h"

#include "store/SettingsFormat.h"
#include "win/Errors.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <utility>

namespace pw {

namespace {

std::string RelativeKey(const std::string& key) {
    // RegOpenKeyExA refuses a leading backslash (error 161 under Wine).
    return key.substr(std::min(key.find_first_not_of('\\'), key.size()));
}

std::string KeyName(HKEY root, const std::string& key) {
    const char* rootName = root == HKEY_LOCAL_MACHINE  ? "HKEY_LOCAL_MACHINE"
                           : root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER"
                                                       : "the registry";
    return std::string(rootName) + "\\" + RelativeKey(key);
}

std::wstring Lower(const std::string& s) {
    std::wstring wide = Wide(s);
    CharLowerBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return wide;
}

bool IsAdministrativeSid(PSID sid) {
    for (WELL_KNOWN_SID_TYPE type : {WinLocalSystemSid, WinBuiltinAdministratorsSid})
        if (IsWellKnownSid(sid, type))
            return true;
    // The account that installs system files owns Program Files and Windows.
    UniqueLocalMem<wchar_t*> text;
    return ConvertSidToStringSidW(sid, text.Put()) &&
           lstrcmpiW(text.Get(), L"S-1-5-80-956008885-3418522649-1831038044-1853292631-"
                                 L"2271478464") == 0;
}

// The object's owner and DACL; empty when they cannot be read.
UniqueLocalMem<PSECURITY_DESCRIPTOR> ReadSecurity(const std::string& path) {
    UniqueLocalMem<PSECURITY_DESCRIPTOR> descriptor;
    if (GetNamedSecurityInfoW(Wide(path).c_str(), SE_FILE_OBJECT,
                              OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, nullptr, nullptr, descriptor.Put()) != ERROR_SUCCESS)
        descriptor.Reset();
    return descriptor;
}

// The folder that holds path ("C:\" for "C:\Tools"); "" for a root or a bare name.
std::string ContainerOf(const std::string& path) {
    std::string folder = FolderOf(path);
    if (!folder.empty() && folder.back() == ':')
        folder += '\\';
    return folder == path ? std::string() : folder;
}

bool ReadValue(HKEY root, const std::string& key, const std::string& name, std::string& value) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, Wide(RelativeKey(key)).c_str(), 0, KEY_QUERY_VALUE, &opened) !=
        ERROR_SUCCESS)
        return false;
    UniqueRegKey held(opened);
    DWORD size = 0, type = 0;
    const std::wstring wideName = Wide(name);
    if (RegQueryValueExW(held.Get(), wideName.c_str(), nullptr, &type, nullptr, &size) !=
            ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return false;
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    if (RegQueryValueExW(held.Get(), wideName.c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer.data()), &size) != ERROR_SUCCESS)
        return false;
    buffer.resize(std::min<size_t>(size / sizeof(wchar_t), buffer.size()));
    while (!buffer.empty() && buffer.back() == L'\0')
        buffer.pop_back();
    value = Utf8(buffer);
    return true;
}

// Deletes the value; ERROR_SUCCESS also when it or its key is absent.
LONG DeleteValue(HKEY root, const std::string& key, const std::string& name) {
    std::string ignored;
    if (!ReadValue(root, key, name, ignored))
        return ERROR_SUCCESS;
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExW(root, Wide(RelativeKey(key)).c_str(), 0, KEY_SET_VALUE, &opened);
    if (result != ERROR_SUCCESS)
        return result;
    UniqueRegKey held(opened);
    result = RegDeleteValueW(held.Get(), Wide(name).c_str());
    return result == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : result;
}

// Removes the value from key when it starts exactly this command (compared without
// regard to case): another copy's value is not ours to take away.
void DeleteOwnValue(HKEY root, const std::string& key, const std::string& name,
                    const std::string& command) {
    std::string value;
    if (ReadValue(root, key, name, value) && Lower(value) == Lower(command))
        DeleteValue(root, key, name);
}

} // namespace

bool OrdinaryUsersMayChange(PSECURITY_DESCRIPTOR descriptor, SecuredRole role) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL defaulted = FALSE, present = FALSE;
    if (!descriptor || !GetSecurityDescriptorOwner(descriptor, &owner, &defaulted) || !owner ||
        !GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted))
        return true; // cannot tell: assume the worst
    if (!present || !dacl)
        return true; // no DACL grants everything to everyone
    // Changing the object itself, or (as a folder above it) deleting or renaming
    // that folder or the one it holds, which lets one put another in its place;
    // changing the security or the owner leads to either.
    const DWORD rights = role == SecuredRole::Itself
                             ? FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                   FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER |
                                   GENERIC_WRITE | GENERIC_ALL
                             : FILE_DELETE_CHILD | DELETE | WRITE_DAC | WRITE_OWNER | GENERIC_ALL;
    bool ownerRightsAce = false;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            continue;
        const auto* header = static_cast<const ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        ownerRightsAce = ownerRightsAce || IsWellKnownSid(sid, WinCreatorOwnerRightsSid);
        if ((allowed->Mask & rights) && !IsAdministrativeSid(sid))
            return true;
    }
    // The owner may always change the security (and so do anything), whatever the
    // DACL says, unless an OWNER RIGHTS entry (checked above) says what it may.
    return !ownerRightsAce && !IsAdministrativeSid(owner);
}

std::vector<std::string> ProgramAndFoldersAbove(const std::string& executablePath,
                                                const std::string& volumeRoot) {
    std::vector<std::string> objects;
    for (std::string path = executablePath; !path.empty(); path = ContainerOf(path)) {
        objects.push_back(path);
        if (Lower(path + "\\") == Lower(volumeRoot) || Lower(path) == Lower(volumeRoot))
            break;
    }
    return objects;
}

bool OrdinaryUsersMayReplace(const std::vector<PSECURITY_DESCRIPTOR>& programAndFoldersAbove) {
    for (std::size_t i = 0; i < programAndFoldersAbove.size(); ++i)
        if (OrdinaryUsersMayChange(programAndFoldersAbove[i],
                                   i < 2 ? SecuredRole::Itself : SecuredRole::Container))
            return true;
    return false;
}

bool ExecutableIsProtected(const std::string& executablePath) {
    std::wstring root(MAX_PATH + 1, L'\0');
    if (!GetVolumePathNameW(Wide(executablePath).c_str(), root.data(),
                            static_cast<DWORD>(root.size())))
        root.clear();
    const auto objects = ProgramAndFoldersAbove(executablePath, Utf8(root.c_str()));
    if (objects.size() < 2)
        return false; // a bare name: its folder is unknown
    std::vector<UniqueLocalMem<PSECURITY_DESCRIPTOR>> owned;
    std::vector<PSECURITY_DESCRIPTOR> descriptors;
    for (const std::string& path : objects) {
        owned.push_back(ReadSecurity(path));
        descriptors.push_back(owned.back().Get());
    }
    return !OrdinaryUsersMayReplace(descriptors);
}

void SetRunAtLogon(const RunAtLogonKeys& keys, const std::string& executablePath) {
    const std::string command = RunAtLogonCommand(executablePath);
    const std::wstring wideCommand = Wide(command);
    const std::wstring valueName = Wide(keys.valueName);
    const BYTE* data = reinterpret_cast<const BYTE*>(wideCommand.c_str());
    // With its terminating zero.
    const DWORD size = static_cast<DWORD>((wideCommand.size() + 1) * sizeof(wchar_t));
    auto failure = [&keys](LONG error) {
        return RunAtLogonError("Failed to set data for '" + keys.valueName + "'.\n" +
                               SystemReason(static_cast<DWORD>(error)));
    };

    HKEY opened = nullptr;
    if (keys.isProtected && keys.isProtected(executablePath) &&
        RegOpenKeyExW(keys.machineRoot, Wide(RelativeKey(keys.machineKey)).c_str(), 0,
                      KEY_SET_VALUE | KEY_QUERY_VALUE, &opened) == ERROR_SUCCESS) {
        UniqueRegKey machine(opened);
        const LONG result = RegSetValueExW(machine.Get(), valueName.c_str(), 0, REG_SZ, data, size);
        if (result != ERROR_SUCCESS)
            throw failure(result);
        DeleteOwnValue(keys.userRoot, keys.userKey, keys.valueName, command);
        return;
    }
    LONG result = RegCreateKeyExW(keys.userRoot, Wide(RelativeKey(keys.userKey)).c_str(), 0,
                                  nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_QUERY_VALUE,
                                  nullptr, &opened, nullptr);
    if (result != ERROR_SUCCESS)
        throw failure(result);
    UniqueRegKey user(opened);
    result = RegSetValueExW(user.Get(), valueName.c_str(), 0, REG_SZ, data, size);
    if (result != ERROR_SUCCESS)
        throw failure(result);
    // Without administrator rights this fails; the value then stays for the
    // administrator to remove, and there is nothing more this copy can do.
    DeleteOwnValue(keys.machineRoot, keys.machineKey, keys.valueName, command);
}

void RemoveRunAtLogon(const RunAtLogonKeys& keys) {
    const std::pair<HKEY, std::string> places[] = {{keys.machineRoot, keys.machineKey},
                                                   {keys.userRoot, keys.userKey}};
    for (const auto& [root, key] : places) {
        const LONG result = DeleteValue(root, key, keys.valueName);
        if (result != ERROR_SUCCESS)
            throw RunAtLogonError("Unable to remove the value '" + keys.valueName + "' from " +
                                  KeyName(root, key) + ".\n" +
                                  SystemReason(static_cast<DWORD>(result)));
    }
}

} // namespace pw
