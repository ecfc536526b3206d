#include "tests/e2e/Pathwink.h"

#include "tests/support/TestSupport.h"

#include <commctrl.h>

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

PathwinkProcess::PathwinkProcess(const std::string& settings) {
    folder_ = MakeTempFolder("pwapp");
    const std::string built = BuiltPathwink();
    CopyFileA(built.c_str(), ExePath().c_str(), FALSE);
    CopyTree(built.substr(0, built.find_last_of('\\')) + "\\help", folder_ + "\\help");
    if (!settings.empty())
        std::ofstream(SettingsPath(), std::ios::binary) << settings;
}

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
    STARTUPINFOA si{};
    si.cb = sizeof si;
    if (showCommand >= 0) {
        si.dwFlags = STARTF_USESHOWWINDOW;
        si.wShowWindow = static_cast<WORD>(showCommand);
    }
    std::string cmd = "\"" + ExePath() + "\"" + (arguments.empty() ? "" : " " + arguments);
    return CreateProcessA(ExePath().c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          folder_.c_str(), &si, &pi_) != FALSE;
}

bool PathwinkProcess::Start(const std::string& arguments, int showCommand) {
    if (!Launch(arguments, showCommand))
        return false;
    WaitUntil(
        [&] {
            mainWindow_ = FindTopLevel("TPathwinkMainForm", nullptr, pi_.dwProcessId);
            return mainWindow_ != nullptr || !Running();
        },
        15000);
    // The window exists before start-up is complete: wait until the process idles.
    if (mainWindow_)
        WaitForInputIdle(pi_.hProcess, 5000);
    return mainWindow_ != nullptr;
}

bool PathwinkProcess::Running() const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

bool PathwinkProcess::WaitForExit(int timeoutMs) const {
    return pi_.hProcess && WaitForSingleObject(pi_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD PathwinkProcess::ExitCode() const {
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return code;
}

void PathwinkProcess::Kill() {
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

HWND PathwinkProcess::Control(const char* className, const char* caption) const {
    return FindChildByText(mainWindow_, className, caption);
}

void PathwinkProcess::Click(HWND button) const {
    if (!button)
        return;
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

void PathwinkProcess::SetCheck(const char* caption, bool checked) const {
    HWND box = Control("Button", caption);
    SendMessageA(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
}

bool PathwinkProcess::Checked(const char* caption) const {
    return SendMessageA(Control("Button", caption), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int PathwinkProcess::ActivePage() const {
    return static_cast<int>(
        SendMessageA(FindChildByClass(mainWindow_, WC_TABCONTROLA), TCM_GETCURSEL, 0, 0));
}

HWND PathwinkProcess::WaitForWindow(const char* className, const char* caption,
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
    return found;
}

HWND PathwinkProcess::WaitForDialog(const char* caption, int timeoutMs) const {
    return WaitForWindow("#32770", caption, timeoutMs);
}

bool PathwinkProcess::NoWindow(const char* className, const char* caption) const {
    for (HWND w : FindTopLevels(className, caption, pi_.dwProcessId))
        if (IsWindowVisible(w))
            return false;
    return true;
}

std::string PathwinkProcess::StatusText() const {
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

HWND PathwinkProcess::WaitForEditor(int timeoutMs) const {
    return WaitForWindow("TDlgNewShortcut", nullptr, timeoutMs);
}

bool PathwinkProcess::EditorShown() const {
    return !NoWindow("TDlgNewShortcut", nullptr);
}

std::vector<std::string> PathwinkProcess::Rows() const {
    HWND list = FindChildByClass(mainWindow_, "ListBox");
    std::vector<std::string> rows;
    const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        // LB_GETTEXT across processes is only right in its wide form under Wine.
        const int len = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
        std::wstring w(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(w.data()));
        w.resize(wcslen(w.c_str()));
        std::string row(w.size() * 2 + 1, '\0');
        row.resize(static_cast<size_t>(
            WideCharToMultiByte(CP_ACP, 0, w.c_str(), static_cast<int>(w.size()), row.data(),
                                static_cast<int>(row.size()), nullptr, nullptr)));
        rows.push_back(row);
    }
    return rows;
}

int PathwinkProcess::SelectedRow() const {
    return static_cast<int>(
        SendMessageA(FindChildByClass(mainWindow_, "ListBox"), LB_GETCURSEL, 0, 0));
}

void PathwinkProcess::SelectRow(int row) const {
    HWND list = FindChildByClass(mainWindow_, "ListBox");
    SendMessageA(list, LB_SETCURSEL, static_cast<WPARAM>(row), 0);
    SendMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void PathwinkProcess::DoubleClickRow(int row) const {
    HWND list = FindChildByClass(mainWindow_, "ListBox");
    SelectRow(row);
    PostMessageA(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_DBLCLK),
                 reinterpret_cast<LPARAM>(list));
}

HWND PathwinkProcess::FocusedWindow() const {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    GetGUIThreadInfo(GetWindowThreadProcessId(mainWindow_, nullptr), &info);
    return info.hwndFocus;
}

std::future<bool> PathwinkProcess::SendCopyData(const void* data, DWORD size, int timeoutMs) const {
    HWND target = mainWindow_;
    // The block is copied: the caller's buffer may be gone before the send ends.
    std::shared_ptr<std::vector<char>> block;
    if (data)
        block = std::make_shared<std::vector<char>>(static_cast<const char*>(data),
                                                    static_cast<const char*>(data) + size);
    return std::async(std::launch::async, [target, block, size, timeoutMs] {
        COPYDATASTRUCT cds{0, size, block ? block->data() : nullptr};
        DWORD_PTR result = 0;
        return SendMessageTimeoutA(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds),
                                   SMTO_ABORTIFHUNG, static_cast<UINT>(timeoutMs), &result) != 0;
    });
}

HWND EditorFolderField(HWND editor) {
    return FindChildByClass(editor, "Edit");
}
HWND EditorHotKeyField(HWND editor) {
    return FindChildByClass(editor, "msctls_hotkey32");
}

void SetEditorFolder(HWND editor, const std::string& text) {
    SendMessageA(EditorFolderField(editor), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string EditorFolder(HWND editor) {
    return TextOf(EditorFolderField(editor));
}

void SetEditorHotKey(HWND editor, WORD controlValue) {
    SendMessageA(EditorHotKeyField(editor), HKM_SETHOTKEY, controlValue, 0);
}

WORD EditorHotKey(HWND editor) {
    return static_cast<WORD>(SendMessageA(EditorHotKeyField(editor), HKM_GETHOTKEY, 0, 0));
}

void TypeIntoHotKeyField(HWND editor, WORD vk, bool ctrl, bool alt, bool shift) {
    HWND field = EditorHotKeyField(editor);
    const DWORD target = GetWindowThreadProcessId(editor, nullptr);
    const DWORD self = GetCurrentThreadId();
    AttachThreadInput(self, target, TRUE);
    SetForegroundWindow(editor);
    SetFocus(field);
    AttachThreadInput(self, target, FALSE);
    const WORD before = EditorHotKey(editor);
    TypeKey(vk, ctrl, alt, shift);
    WaitUntil([&] { return EditorHotKey(editor) != before; }, 3000);
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

bool Ready(std::future<bool>& sent, int timeoutMs) {
    return sent.valid() &&
           sent.wait_for(std::chrono::milliseconds(timeoutMs)) == std::future_status::ready;
}

} // namespace pwtest
