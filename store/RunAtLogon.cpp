#include "store/RunAtLogon.h"

#include "win/Errors.h"
#include "win/UniqueHandle.h"

#include <algorithm>
#include <utility>

namespace pw {

namespace {

std::string RelativeKey(const std::string& key) {
    // RegOpenKeyExA refuses a leading backslash (error 161 under Wine).
    return key.substr(std::min(key.find_first_not_of('\\'), key.size()));
}

} // namespace

void SetRunAtLogon(const RunAtLogonKeys& keys, const std::string& command) {
    const std::string failure = "Failed to set data for '" + keys.valueName + "'";
    const BYTE* data = reinterpret_cast<const BYTE*>(command.c_str());
    const DWORD size = static_cast<DWORD>(command.size() + 1); // with its terminating zero

    HKEY opened = nullptr;
    if (RegOpenKeyExA(keys.machineRoot, RelativeKey(keys.machineKey).c_str(), 0, KEY_ALL_ACCESS,
                      &opened) == ERROR_SUCCESS) {
        UniqueRegKey machine(opened);
        if (RegSetValueExA(machine.Get(), keys.valueName.c_str(), 0, REG_SZ, data, size) !=
            ERROR_SUCCESS)
            throw UserError(failure);
        return;
    }
    if (RegCreateKeyExA(keys.userRoot, RelativeKey(keys.userKey).c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE | KEY_QUERY_VALUE, nullptr, &opened,
                        nullptr) != ERROR_SUCCESS)
        throw UserError(failure);
    UniqueRegKey user(opened);
    if (RegSetValueExA(user.Get(), keys.valueName.c_str(), 0, REG_SZ, data, size) != ERROR_SUCCESS)
        throw UserError(failure);
}

void RemoveRunAtLogon(const RunAtLogonKeys& keys) {
    const std::pair<HKEY, std::string> places[] = {{keys.machineRoot, keys.machineKey},
                                                   {keys.userRoot, keys.userKey}};
    for (const auto& [root, key] : places) {
        HKEY opened = nullptr;
        if (RegOpenKeyExA(root, RelativeKey(key).c_str(), 0, KEY_SET_VALUE, &opened) ==
            ERROR_SUCCESS) {
            UniqueRegKey held(opened);
            RegDeleteValueA(held.Get(), keys.valueName.c_str());
        }
    }
}

} // namespace pw
