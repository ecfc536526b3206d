#include "tests/e2e/Pathwink.h"

#include "tray/TrayIcon.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

namespace pwtest {

std::string BuiltPathwink() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path);
    return s.substr(0, s.find_last_of("\\/") + 1) + "Pathwink.exe";
}

namespace {
void CopyTree(const std::string& from, const std::string& to) {
    CreateDirectoryA(to.c_str(), nullptr);
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((from + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            CopyTree(from + "\\" + name, to + "\\" + name);
        else
            CopyFileA((from + "\\" + name).c_str(), (to + "\\" + name).c_str(), FALSE);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}
} // namespace

PathwinkProcess::PathwinkProcess(const std::string& settings)
    : PathwinkProcess(settings, MakeTempFolder("pwapp")) {}

PathwinkProcess::PathwinkProcess(const std::string& settings, const std::string& folder) {
    folder_ = folder;
    const std::string built = BuiltPathwink();
    CopyFileA(built.c_str(), ExePath().c_str(), FALSE);
    CopyTree(built.substr(0, built.find_last_of('\\')) + "\\help", folder_ + "\\help");
    if (!settings.empty())
        std::ofstream(SettingsPath(), std::ios::binary) << settings;
}

PathwinkProcess::~PathwinkProcess() {
    Kill();
    RemoveTree(folder_);
}

bool PathwinkProcess::Launch(const std::string& arguments, int showCommand) {
    return LaunchCommand("\"" + ExePath() + "\"" + (arguments.empty() ? "" : " " + arguments),
                         folder_, showCommand);
}

::testing::AssertionResult PathwinkProcess::Start(const std::string& arguments, int showCommand) {
    if (!Launch(arguments, showCommand))
        return ::testing::AssertionFailure() << "CreateProcess failed (" << GetLastError()
                                             << ") for " << ExePath() << " " << arguments;
    return WaitForMainWindow() << " (started with \"" << arguments << "\")";
}

bool StartedProgram::LaunchCommand(const std::string& commandLine, const std::string& currentFolder,
                                   int showCommand) {
    Kill();
    return StartProcess(commandLine, currentFolder, pi_, showCommand);
}

::testing::AssertionResult StartedProgram::WaitForMainWindow(int timeoutMs) {
    WaitUntil(
        [&] {
            mainWindow_ = FindTopLevel("TPathwinkMainForm", nullptr, pi_.dwProcessId);
            return mainWindow_ != nullptr || !Running();
        },
        timeoutMs);
    if (!mainWindow_) {
        ::testing::AssertionResult failure = ::testing::AssertionFailure();
        failure << "no main window (TPathwinkMainForm) of process " << pi_.dwProcessId;
        if (Running())
            failure << " within " << timeoutMs << " ms; it shows:" << Shown();
        else
            failure << ": it ended with code 0x" << std::hex << ExitCode();
        return failure;
    }
    // The window exists before start-up is complete: wait until the process idles.
    WaitForInputIdle(pi_.hProcess, 5000);
    return ::testing::AssertionSuccess();
}

bool StartedProgram::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

::testing::AssertionResult StartedProgram::WaitForExit(int timeoutMs) const {
    if (!pi_.hProcess)
        return ::testing::AssertionFailure() << "no process was started";
    if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(timeoutMs)) == WAIT_OBJECT_0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "process " << pi_.dwProcessId << " still runs after "
                                         << timeoutMs << " ms; it shows:" << Shown();
}

DWORD StartedProgram::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void StartedProgram::Kill() {
    if (!pi_.hProcess)
        return;
    if (Running()) {
        TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
    }
    CloseHandle(pi_.hProcess);
    CloseHandle(pi_.hThread);
    pi_ = {};
    mainWindow_ = nullptr;
}

::testing::AssertionResult StartedProgram::ClosedWithin(int timeoutMs) const {
    PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
    return WaitForExit(timeoutMs);
}

std::string PathwinkProcess::ReadSettings() const {
    std::ifstream in(SettingsPath(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

bool PathwinkProcess::SettingsExist() const {
    return GetFileAttributesA(SettingsPath().c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string PathwinkProcess::Profile(const char* section, const char* key, const char* def) const {
    char buf[4096];
    GetPrivateProfileStringA(section, key, def, buf, sizeof buf, SettingsPath().c_str());
    return buf;
}

HWND StartedProgram::Control(const char* className, const char* caption) const {
    MakePages();
    return FindChildByText(mainWindow_, className, caption);
}

void StartedProgram::Click(HWND button) const {
    if (!button)
        return;
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void StartedProgram::SetCheck(const char* caption, bool checked) const {
    HWND box = Control("Button", caption);
    SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
}

bool StartedProgram::Checked(const char* caption) const {
    return SendMessageA(Control("Button", caption), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int StartedProgram::ActivePage() const {
    MakePages();
    return static_cast<int>(
        SendMessageA(FindChildByClass(mainWindow_, WC_TABCONTROLA), TCM_GETCURSEL, 0, 0));
}

namespace {
// Says, when a wait of a second or more passed its deadline, what it waited for.
void TellMissed(const std::string& what, DWORD processId, int timeoutMs) {
    if (timeoutMs < 1000)
        return;
    std::printf("[ NO WAIT ] %s of process %lu within %d ms; it shows:%s\n", what.c_str(),
                processId, timeoutMs, WindowsShown(processId).c_str());
    std::fflush(stdout);
}

std::string Quoted(const char* text) {
    return text ? "\"" + std::string(text) + "\"" : std::string("any");
}
} // namespace

HWND StartedProgram::WaitForWindow(const char* className, const char* caption,
                                   int timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels(className, caption, pi_.dwProcessId))
                if (IsWindowVisible(w)) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    if (!found)
        TellMissed(std::string("no visible window of class ") + Quoted(className) + " captioned " +
                       Quoted(caption),
                   pi_.dwProcessId, timeoutMs);
    return found;
}

HWND StartedProgram::WaitForMessage(const char* caption, const std::string& prefix,
                                    int timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels("#32770", caption, pi_.dwProcessId))
                if (IsWindowVisible(w) && MessageTextOf(w).rfind(prefix, 0) == 0) {
                    found = w;
                    return true;
                }
            return false;
        },
        timeoutMs);
    if (!found)
        TellMissed("no message " + Quoted(caption) + " beginning \"" + Shortened(prefix, 60) + "\"",
                   pi_.dwProcessId, timeoutMs);
    return found;
}

HWND StartedProgram::WaitForEditorWith(const std::string& caption,
                                       const std::optional<std::string>& folder,
                                       int timeoutMs) const {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels("TDlgNewShortcut", nullptr, pi_.dwProcessId))
                if (IsWindowVisible(w) && TextUtf8(w) == caption &&
                    (!folder || TextUtf8(EditorFolderField(w)) == *folder))
                    found = w;
            return found != nullptr;
        },
        timeoutMs);
    if (!found)
        TellMissed("no editor \"" + caption + "\"" +
                       (folder ? " with the folder \"" + Shortened(*folder, 80) + "\"" : ""),
                   pi_.dwProcessId, timeoutMs);
    return found;
}

HWND StartedProgram::TrayWindow() const {
    return FindTopLevel("TPathwinkMainForm", nullptr, pi_.dwProcessId);
}

void StartedProgram::TrayNotify(UINT notification) const {
    PostMessageA(TrayWindow(), pw::TrayIcon::kCallbackMessage, 0, notification);
}

HWND StartedProgram::WaitForMenu(int timeoutMs) const {
    HWND menu = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels("#32768", nullptr, pi_.dwProcessId))
                if (IsWindowVisible(w))
                    menu = w;
            return menu != nullptr || !Running();
        },
        timeoutMs);
    if (!menu)
        TellMissed("no open menu (#32768)", pi_.dwProcessId, timeoutMs);
    return menu;
}

bool StartedProgram::ChooseFromTrayMenu(int downs) const {
    TrayNotify(WM_RBUTTONUP);
    HWND menu = WaitForMenu();
    if (!menu)
        return false;
    if (downs < 0)
        PostMessageA(menu, WM_KEYDOWN, VK_UP, 0);
    for (int i = 0; i < downs; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
    return true;
}

HWND StartedProgram::WaitForDialog(const char* caption, int timeoutMs) const {
    return WaitForWindow("#32770", caption, timeoutMs);
}

bool StartedProgram::NoWindow(const char* className, const char* caption) const {
    for (HWND w : FindTopLevels(className, caption, pi_.dwProcessId))
        if (IsWindowVisible(w))
            return false;
    return true;
}

std::string StartedProgram::StatusText() const {
    // The status text is the one static control directly on the window.
    for (HWND child = GetWindow(mainWindow_, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT)) {
        char cls[32];
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0)
            return TextOf(child);
    }
    return "<no status text>";
}

HWND StartedProgram::WaitForEditor(int timeoutMs) const {
    return WaitForWindow("TDlgNewShortcut", nullptr, timeoutMs);
}

bool StartedProgram::EditorShown() const {
    return !NoWindow("TDlgNewShortcut", nullptr);
}

HWND StartedProgram::ShortcutList() const {
    MakePages();
    return FindChildByClass(mainWindow_, "ListBox");
}

void StartedProgram::MakePages() const {
    MakePagesFromTray(mainWindow_, pi_.dwProcessId);
}

void MakePagesFromTray(HWND mainWindow, DWORD processId) {
    if (!mainWindow || FindChildByClass(mainWindow, WC_TABCONTROLA))
        return;
    // As a click on the tray icon would, once the icon is there.
    HWND tray = nullptr;
    WaitUntil([&] {
        return (tray = FindTopLevel("TPathwinkMainForm", nullptr, processId)) != nullptr ||
               !IsWindow(mainWindow);
    });
    PostMessageA(tray, pw::TrayIcon::kCallbackMessage, 0, WM_LBUTTONDOWN);
    WaitUntil([&] {
        return FindChildByClass(mainWindow, "ListBox") != nullptr || !IsWindow(mainWindow);
    });
}

std::vector<std::wstring> StartedProgram::WideRows() const {
    // A list that does not answer shows as one row that no test expects.
    return ListRows(ShortcutList())
        .value_or(std::vector<std::wstring>{L"<the list did not answer within 3 s>"});
}

std::vector<std::string> StartedProgram::Rows() const {
    return AnsiRows(WideRows());
}

std::vector<std::string> AnsiRows(const std::vector<std::wstring>& wideRows) {
    std::vector<std::string> rows;
    for (const std::wstring& w : wideRows) {
        std::string row(w.size() * 2 + 1, '\0');
        row.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), row.data(),
                                static_cast<int>(row.size()), nullptr, nullptr)));
        rows.push_back(row);
    }
    return rows;
}

int StartedProgram::SelectedRow() const {
    return static_cast<int>(SendMessageA(ShortcutList(), LB_GETCURSEL, 0, 0));
}

void StartedProgram::SelectRow(int row) const {
    HWND list = ShortcutList();
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void StartedProgram::DoubleClickRow(int row) const {
    HWND list = ShortcutList();
    SelectRow(row);
    PostMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
}

void StartedProgram::Focus(HWND control) const {
    const DWORD target = GetWindowThreadProcessId(control, nullptr);
    AttachThreadInput(GetCurrentThreadId(), target, TRUE);
    SetForegroundWindow(GetAncestor(control, GA_ROOT));
    SetFocus(control);
    AttachThreadInput(GetCurrentThreadId(), target, FALSE);
}

HWND StartedProgram::FocusedWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(mainWindow_, nullptr), &info);
    return info.hwndFocus;
}

std::future<bool> SendCopyData(HWND target, ULONG_PTR dwData, std::optional<std::string> block,
                               DWORD size, int timeoutMs) {
    return std::async(std::launch::async, [target, dwData, block, size, timeoutMs] {
        COPYDATASTRUCT cds{dwData, size,
                           block ? const_cast<char*>(block->data()) : static_cast<char*>(nullptr)};
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                   SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &result) != 0;
    });
}

std::future<bool> StartedProgram::SendCopyData(const void* data, DWORD size, int timeoutMs) const {
    // The block is copied: the caller's buffer may be gone before the send ends.
    std::optional<std::string> block;
    if (data)
        block = std::string(static_cast<const char*>(data), size);
    return pwtest::SendCopyData(mainWindow_, 0, std::move(block), size, timeoutMs);
}

HWND EditorFolderField(HWND editor) {
    return FindChildByClass(editor, "Edit");
}
HWND EditorHotkeyField(HWND editor) {
    return FindChildByClass(editor, "msctls_hotkey32");
}

void SetEditorFolder(HWND editor, const std::string& text) {
    SendMessageA(EditorFolderField(editor), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string EditorFolder(HWND editor) {
    return TextOf(EditorFolderField(editor));
}

void SetEditorHotkey(HWND editor, WORD controlValue) {
    SendMessageA(EditorHotkeyField(editor), HKM_SETHOTKEY, controlValue, 0);
}

WORD EditorHotkey(HWND editor) {
    return static_cast<WORD>(SendMessageA(EditorHotkeyField(editor), HKM_GETHOTKEY, 0, 0));
}

void TypeIntoHotkeyField(HWND editor, WORD vk, bool ctrl, bool alt, bool shift) {
    HWND field = EditorHotkeyField(editor);
    const DWORD target = GetWindowThreadProcessId(editor, nullptr);
    const DWORD self = GetCurrentThreadId();
    AttachThreadInput(self, target, TRUE);
    SetForegroundWindow(editor);
    SetFocus(field);
    AttachThreadInput(self, target, FALSE);
    const WORD before = EditorHotkey(editor);
    TypeKey(vk, ctrl, alt, shift);
    WaitUntil([&] { return EditorHotkey(editor) != before; }, 3000);
}

void ClickEditorButton(HWND editor, const char* caption) {
    HWND button = FindChildByText(editor, "Button", caption);
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void Press(HWND dialog, int buttonId) {
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, buttonId)));
}

namespace {
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
} // namespace

std::optional<std::string> RunValue(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::string> value;
    if (RegQueryValueExW(key, L"Pathwink", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, L"Pathwink", nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &size) == ERROR_SUCCESS) {
            text.resize(wcslen(text.c_str()));
            value = Utf8(text);
        }
    }
    RegCloseKey(key);
    return value;
}

bool SetRunValue(HKEY root, const std::optional<std::string>& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LONG result;
    if (value) {
        const std::wstring text = Wide(*value);
        result =
            RegSetValueExW(key, L"Pathwink", 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    } else {
        result = RegDeleteValueW(key, L"Pathwink");
    }
    RegCloseKey(key);
    return result == ERROR_SUCCESS || (!value && result == ERROR_FILE_NOT_FOUND);
}

bool Ready(std::future<bool>& sent, int timeoutMs) {
    return sent.valid() &&
           sent.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

} // namespace pwtest
