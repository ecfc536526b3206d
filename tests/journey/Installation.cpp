#include "tests/journey/Installation.h"
#include "tray/TrayIcon.h"

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <bcrypt.h>
#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <sstream>

namespace pwtest {

namespace {
std::string ShellFolder(int csidl) {
    char path[MAX_PATH] = "";
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

std::string Directory(const std::string& path) {
    return path.substr(0, path.find_last_of("\\/"));
}
} // namespace

Installation Installation::ForCurrentUser() {
    Installation i;
    i.dir = ShellFolder(CSIDL_LOCAL_APPDATA) + "\\Programs\\Pathwink";
    i.shortcut = ShellFolder(CSIDL_PROGRAMS) + "\\Pathwink.lnk";
    return i;
}

std::string BuiltSetup() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return Directory(path) + "\\" PW_SETUP_FILE;
}

std::string BesideTheTest(const std::string& relative) {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return Directory(path) + "\\" + relative;
}

std::string Sha256Hex(const std::string& bytes) {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    unsigned char digest[32] = {};
    const bool done =
        BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) == 0 &&
        BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0 &&
        BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                       static_cast<ULONG>(bytes.size()), 0) == 0 &&
        BCryptFinishHash(hash, digest, sizeof digest, 0) == 0;
    if (hash)
        BCryptDestroyHash(hash);
    if (algorithm)
        BCryptCloseAlgorithmProvider(algorithm, 0);
    if (!done)
        return "<no hash>";
    std::string hex;
    for (unsigned char b : digest)
        hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
    return hex;
}

namespace {
unsigned long Little(const std::string& bytes, size_t at, int size) {
    unsigned long value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + static_cast<size_t>(i)]);
    return value;
}
} // namespace

WORD ProgramMachine(const std::string& bytes) {
    if (bytes.size() < 0x40 || bytes.compare(0, 2, "MZ") != 0)
        return 0;
    const size_t pe = Little(bytes, 0x3C, 4);
    if (pe + 6 > bytes.size() || bytes.compare(pe, 4, std::string("PE\0\0", 4)) != 0)
        return 0;
    return static_cast<WORD>(Little(bytes, pe + 4, 2));
}

std::vector<ZipEntry> ZipEntries(const std::string& bytes) {
    // The end record (22 bytes, then a comment of up to 64 KiB) says where the
    // central directory starts and how many entries it has.
    std::vector<ZipEntry> entries;
    const size_t end = bytes.rfind(std::string("PK\5\6", 4));
    if (end == std::string::npos || end + 22 > bytes.size())
        return entries;
    const unsigned long count = Little(bytes, end + 10, 2);
    size_t at = Little(bytes, end + 16, 4);
    for (unsigned long i = 0; i < count; ++i) {
        if (at + 46 > bytes.size() || bytes.compare(at, 4, std::string("PK\1\2", 4)) != 0)
            return {};
        const size_t nameLength = Little(bytes, at + 28, 2);
        entries.push_back({bytes.substr(at + 46, nameLength), Little(bytes, at + 24, 4)});
        at += 46 + nameLength + Little(bytes, at + 30, 2) + Little(bytes, at + 32, 2);
    }
    return entries;
}

std::vector<std::string> YamlValues(const std::string& text, const std::string& key) {
    std::vector<std::string> values;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        size_t at = line.find_first_not_of(" -");
        if (at == std::string::npos || line.compare(at, key.size() + 2, key + ": ") != 0)
            continue;
        std::string value = line.substr(at + key.size() + 2);
        while (!value.empty() && (value.back() == '\r' || value.back() == ' '))
            value.pop_back();
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        values.push_back(value);
    }
    return values;
}

std::vector<std::string> JsonStrings(const std::string& text, const std::string& key) {
    // Enough JSON for our own manifest: strings without escapes other than \\ and \".
    std::vector<std::string> strings;
    size_t at = text.find("\"" + key + "\"");
    if (at == std::string::npos)
        return strings;
    at = text.find(':', at) + 1;
    int depth = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        if (c == '[' || c == '{') {
            ++depth;
        } else if (c == ']' || c == '}') {
            if (--depth < 0)
                break;
        } else if (c == ',' && depth == 0) {
            break;
        } else if (c == '"') {
            std::string s;
            for (++at; at < text.size() && text[at] != '"'; ++at) {
                if (text[at] == '\\')
                    ++at;
                s += text[at];
            }
            strings.push_back(s);
        }
        if (depth == 0 && !strings.empty() && c == '"')
            break;
    }
    return strings;
}

bool FileExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::vector<std::string> FolderEntries(const std::string& path) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = fd.cFileName;
        if (name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    std::sort(names.begin(), names.end());
    return names;
}

std::string LinkTarget(const std::string& lnk) {
    const HRESULT init = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::string target;
    IShellLinkA* link = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&link)))) {
        IPersistFile* file = nullptr;
        if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
            std::wstring wide(lnk.size() + 1, L'\0');
            wide.resize(static_cast<size_t>(MultiByteToWideChar(
                CP_ACP, 0, lnk.c_str(), -1, wide.data(), static_cast<int>(wide.size()))));
            char path[MAX_PATH] = "";
            if (SUCCEEDED(file->Load(wide.c_str(), STGM_READ)) &&
                SUCCEEDED(link->GetPath(path, sizeof path, nullptr, SLGP_RAWPATH)))
                target = path;
            file->Release();
        }
        link->Release();
    }
    if (SUCCEEDED(init))
        CoUninitialize();
    return target;
}

std::optional<std::string> RegString(HKEY root, const char* key, const char* value) {
    char buf[4096];
    DWORD size = sizeof buf;
    if (RegGetValueA(root, key, value, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(buf);
}

std::optional<DWORD> RegDword(HKEY root, const char* key, const char* value) {
    DWORD data = 0, size = sizeof data;
    if (RegGetValueA(root, key, value, RRF_RT_REG_DWORD, nullptr, &data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return data;
}

bool RegKeyExists(HKEY root, const char* key) {
    HKEY h = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool SetRegString(HKEY root, const char* key, const char* value, const std::string& data) {
    return RegSetKeyValueA(root, key, value, REG_SZ, data.c_str(),
                           static_cast<DWORD>(data.size() + 1)) == ERROR_SUCCESS;
}

void DeleteRegValue(HKEY root, const char* key, const char* value) {
    RegDeleteKeyValueA(root, key, value);
}

Program::~Program() {
    Kill();
}

bool Program::Start(const std::string& exe, const std::string& arguments,
                    const std::string& folder) {
    Kill();
    return StartProcess("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments), folder,
                        pi_);
}

bool Program::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool Program::WaitForExit(int timeoutMs) const {
    // Pumped: the installers send messages to windows of this process too.
    return pi_.hProcess &&
           WaitUntil([&] { return WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0; },
                     timeoutMs);
}

DWORD Program::ExitCode() const {
    DWORD code = STILL_ACTIVE;
    if (pi_.hProcess)
        GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void Program::Kill() {
    if (!pi_.hProcess)
        return;
    if (Running()) {
        TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = {};
}

HANDLE OpenChildProcess(DWORD parent, int timeoutMs) {
    HANDLE child = nullptr;
    WaitUntil(
        [&] {
            HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
            if (snap == INVALID_HANDLE_VALUE)
                return false;
            PROCESSENTRY32 entry{};
            entry.dwSize = sizeof entry;
            for (BOOL more = Process32First(snap, &entry); more && !child;
                 more = Process32Next(snap, &entry))
                if (entry.th32ParentProcessID == parent && entry.th32ProcessID != parent)
                    child = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION |
                                            PROCESS_TERMINATE,
                                        FALSE, entry.th32ProcessID);
            CloseHandle(snap);
            return child != nullptr;
        },
        timeoutMs);
    return child;
}

std::string ProcessImage(HANDLE process) {
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    if (!QueryFullProcessImageNameA(process, 0, path, &size))
        return "<unknown>";
    return path;
}

std::string DescribeProcesses() {
    std::string text;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return "<no snapshot>";
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snap, &entry); more; more = Process32Next(snap, &entry))
        text += "\n  " + std::to_string(entry.th32ProcessID) + " <- " +
                std::to_string(entry.th32ParentProcessID) + " " + entry.szExeFile;
    CloseHandle(snap);
    return text;
}

std::string DescribeWindowsOf(DWORD processId) {
    std::string text;
    for (HWND w : FindTopLevels(nullptr, nullptr, processId)) {
        char cls[256] = "";
        GetClassNameA(w, cls, sizeof cls);
        text += std::string("\n  ") + cls + " \"" + TextOf(w) + "\"" +
                (IsWindowVisible(w) ? " visible" : " hidden");
    }
    return text.empty() ? "\n  (no windows)" : text;
}

bool InstalledPathwink::Start(const std::string& arguments) {
    main_ = nullptr;
    if (!process_.Start(installation_.Exe(), arguments, installation_.dir))
        return false;
    WaitUntil(
        [&] {
            main_ = FindTopLevel("TPathwinkMainForm", nullptr, process_.Id());
            return main_ != nullptr || !process_.Running();
        },
        15000);
    // The window exists before start-up is complete: wait until the process idles.
    if (main_)
        WaitForInputIdle(process_.Handle(), 5000);
    return main_ != nullptr;
}

int InstalledPathwink::ActivePage() const {
    return static_cast<int>(
        SendMessageA(FindChildByClass(main_, WC_TABCONTROLA), TCM_GETCURSEL, 0, 0));
}

void InstalledPathwink::Click(const char* caption) const {
    HWND button = FindChildByText(main_, "Button", caption);
    if (button)
        PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
}

HWND InstalledPathwink::WaitForEditor(int timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels("TDlgNewShortcut", nullptr, process_.Id()))
                if (IsWindowVisible(w))
                    found = w;
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

bool InstalledPathwink::EditorShown() const {
    for (HWND w : FindTopLevels("TDlgNewShortcut", nullptr, process_.Id()))
        if (IsWindowVisible(w))
            return true;
    return false;
}

std::vector<std::string> InstalledPathwink::Rows() const {
    MakePagesFromTray(main_, process_.Id());
    return AnsiRows(
        ListRows(FindChildByClass(main_, "ListBox")).value_or(std::vector<std::wstring>{}));
}

std::future<bool> InstalledPathwink::SendFolder(const std::string& folder) const {
    // What another program does: find the window by its class, send the folder.
    return std::async(std::launch::async, [folder] {
        HWND target = FindWindowA("TPathwinkMainForm", nullptr);
        if (!target)
            return false;
        COPYDATASTRUCT cds{0, static_cast<DWORD>(folder.size() + 1),
                           const_cast<char*>(folder.c_str())};
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                   SMTO_ABORTIFHUNG, 60000, &result) != 0;
    });
}

HWND InstalledPathwink::OpenTrayMenu() const {
    constexpr UINT kTrayCallback = pw::TrayIcon::kCallbackMessage;
    // The program's window serves the icon, which is added near the end of start-up.
    HWND tray = nullptr;
    if (!WaitUntil([&] {
            return (tray = FindTopLevel("TPathwinkMainForm", nullptr, process_.Id())) != nullptr;
        }))
        return nullptr;
    PostMessageA(tray, kTrayCallback, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    WaitUntil([&] {
        for (HWND w : FindTopLevels("#32768", nullptr, process_.Id()))
            if (IsWindowVisible(w))
                menu = w;
        return menu != nullptr;
    });
    return menu;
}

bool InstalledPathwink::ChooseFromTrayMenu(const std::vector<WORD>& keys) const {
    HWND menu = OpenTrayMenu();
    if (!menu)
        return false;
    for (WORD key : keys)
        PostMessageA(menu, WM_KEYDOWN, key, 0);
    return true;
}

} // namespace pwtest
