#include "tests/store/StoreTestSupport.h"

#include "store/SettingsFormat.h"
#include "win/Text.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace storetest {

std::optional<std::string> ReadBytes(const std::string& path) {
    return pwtest::FileBytes(pwtest::Wide(path));
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "cannot create " << path << ": " << GetLastError();
    DWORD written = 0;
    WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(written, bytes.size());
}

std::vector<std::string> Listing(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        std::string name = fd.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return names;
}

std::vector<std::string> SectionLines(const std::string& file, const char* section) {
    std::vector<char> buffer(1 << 20);
    const DWORD n = GetPrivateProfileSectionA(section, buffer.data(),
                                              static_cast<DWORD>(buffer.size()), file.c_str());
    std::vector<std::string> lines;
    for (DWORD pos = 0; pos < n;) {
        std::string line(&buffer[pos]);
        pos += static_cast<DWORD>(line.size()) + 1;
        lines.push_back(line);
    }
    return lines;
}

std::string ProfileText(const std::string& file, const char* section, const std::string& key,
                        const char* defaultText) {
    std::wstring buffer(pw::kMaxSettingsText + 1, L'\0');
    const DWORD n = GetPrivateProfileStringW(
        pw::Wide(section).c_str(), pw::Wide(key).c_str(), pw::Wide(defaultText).c_str(),
        buffer.data(), static_cast<DWORD>(buffer.size()), pw::Wide(file).c_str());
    buffer.resize(n);
    return pw::Utf8(buffer);
}

std::string AnsiProfileText(const std::string& file, const char* section, const std::string& key,
                            const char* defaultText) {
    char buffer[2048];
    const DWORD n = GetPrivateProfileStringA(section, key.c_str(), defaultText, buffer,
                                             sizeof buffer, file.c_str());
    return std::string(buffer, n);
}

bool FileHasSection(const std::string& file, const char* section) {
    std::vector<char> buffer(1 << 16);
    const DWORD n = GetPrivateProfileSectionNamesA(buffer.data(), static_cast<DWORD>(buffer.size()),
                                                   file.c_str());
    for (DWORD pos = 0; pos < n;) {
        std::string name(&buffer[pos]);
        pos += static_cast<DWORD>(name.size()) + 1;
        if (lstrcmpiA(name.c_str(), section) == 0)
            return true;
    }
    return false;
}

Sandbox::Sandbox() {
    folder = pwtest::MakeTempFolder("pwstore_");
    EXPECT_FALSE(folder.empty()) << "no temporary folder";
    exePath = folder + "\\Pathwink.exe";
    iniPath = folder + "\\Pathwink.INI";
    registryBase = "Software\\Pathwink store tests\\" + pwtest::LeafName(folder);
    keys.machineRoot = HKEY_CURRENT_USER;
    keys.machineKey = registryBase + "\\Machine";
    keys.userRoot = HKEY_CURRENT_USER;
    keys.userKey = registryBase + "\\User";
    keys.valueName = "Pathwink";
    // As for a program ordinary users cannot replace: the value goes to the machine's
    // key when it opens.
    keys.isProtected = [](const std::string&) { return true; };
    HKEY key = nullptr;
    EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, keys.machineKey.c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (key)
        RegCloseKey(key);
}

Sandbox::~Sandbox() {
    pwtest::RemoveTree(folder);
    RegDeleteTreeA(HKEY_CURRENT_USER, registryBase.c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, registryBase.c_str());
}

pw::SettingsStore Sandbox::Store() const {
    const std::string exe = exePath;
    return pw::SettingsStore([exe] { return exe; }, keys);
}

std::optional<RegValue> ReadRegValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return std::nullopt;
    RegValue value;
    DWORD size = 0;
    LONG r = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (r == ERROR_SUCCESS) {
        value.data.resize(size);
        r = RegQueryValueExA(opened, name.c_str(), nullptr, &value.type,
                             reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
    }
    RegCloseKey(opened);
    if (r != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool RegKeyExists(HKEY root, const std::string& key) {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
        return false;
    RegCloseKey(opened);
    return true;
}

void SetRegText(HKEY root, const std::string& key, const std::string& name,
                const std::string& text) {
    HKEY opened = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr),
        ERROR_SUCCESS);
    RegSetValueExA(opened, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(opened);
}

bool IsFree(UINT modifiers, UINT virtualKey) {
    if (!RegisterHotKey(nullptr, 0x7101, modifiers, virtualKey))
        return false;
    UnregisterHotKey(nullptr, 0x7101);
    return true;
}

int BindingWindowCount() {
    // The bindings' windows are message-only: EnumWindows does not list them.
    int count = 0;
    for (HWND w = FindWindowExA(HWND_MESSAGE, nullptr, "PathwinkHotKeyWindow", nullptr); w;
         w = FindWindowExA(HWND_MESSAGE, w, "PathwinkHotKeyWindow", nullptr)) {
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        if (pid == GetCurrentProcessId())
            ++count;
    }
    return count;
}

std::string BesideThisProgram(const std::string& leaf) {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string self(path, n);
    return self.substr(0, self.find_last_of("\\/") + 1) + leaf;
}

} // namespace storetest
