// Folder names in any script, with the real Pathwink.exe: a folder handed over as
// UTF-16 is shown, bound, opened and kept across a restart exactly; the ANSI form
// of the hand-over still works; UTF-16 blocks of any size and content are read
// safely; and the program runs from a folder whose name the ANSI code page cannot
// hold, finding and writing its settings there and starting again from its
// run-at-logon command.
//
// Every text is read in its wide form (WM_GETTEXT, LB_GETTEXT, GetWindowTextW,
// GetPrivateProfileStringW, RegQueryValueExW): the ANSI forms turn what the code
// page lacks into '?'.

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

using namespace pwtest;

namespace {

// Settings that keep a run quiet: no exit question, no run-at-logon value.
constexpr char kQuiet[] = "[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\n";

// dwData of a WM_COPYDATA block that holds UTF-16LE text.
constexpr ULONG_PTR kUtf16Block = 0xFEFF;

constexpr wchar_t kNewCaption[] = L"New Folder Shortcut - Pathwink";
constexpr char kDClickEditsCaption[] =
    "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.";
constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

std::string Utf8(const std::wstring& text) {
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// The test harness keeps its own (ASCII) paths in the ANSI code page.
std::wstring WideFromAnsi(const std::string& text) {
    if (text.empty())
        return {};
    const int n =
        MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// The bytes of a UTF-16LE text, as a settings file or a copy-data block holds them.
std::string Utf16Bytes(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t));
}

// A window's text across processes, in its wide form.
std::wstring WideText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length))
        return L"<no answer>";
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                        SMTO_ABORTIFHUNG, 2000, &copied);
    text.resize(copied);
    return text;
}

std::wstring TitleOf(HWND window) {
    wchar_t title[1024] = L"";
    GetWindowTextW(window, title, 1024);
    return title;
}

// The rows of the main window's shortcut list, in their wide form.
std::vector<std::wstring> WideRows(HWND mainWindow) {
    HWND list = FindChildByClass(mainWindow, "ListBox");
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const int length = static_cast<int>(SendMessageW(list, LB_GETTEXTLEN, i, 0));
        std::wstring row(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(row.data()));
        row.resize(wcslen(row.c_str()));
        rows.push_back(row);
    }
    return rows;
}

std::string Joined(const std::vector<std::wstring>& rows) {
    std::string out;
    for (const auto& row : rows)
        out += " {" + Utf8(row) + "}";
    return out.empty() ? " none" : out;
}

// The visible top-level windows of a process, for the report when a wait fails.
std::string Seen(DWORD processId) {
    std::string out;
    for (HWND w : FindTopLevels(nullptr, nullptr, processId)) {
        char cls[64] = "";
        GetClassNameA(w, cls, sizeof cls);
        if (!IsWindowVisible(w) || lstrcmpA(cls, "tooltips_class32") == 0)
            continue;
        out += std::string(" [") + cls + " \"" + Utf8(WideText(w)) + "\"";
        if (lstrcmpA(cls, "#32770") == 0)
            out += ": " + Utf8(WideText(GetDlgItem(w, 0xFFFF)));
        out += "]";
    }
    return out.empty() ? " no window" : out;
}

// A folder under the temporary folder named name plus a unique ending; empty when
// it could not be made.
std::wstring MakeFolder(const std::wstring& name) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        const std::wstring path =
            std::wstring(temp) + name + L" " + std::to_wstring(GetCurrentProcessId()) + L"_" +
            std::to_wstring(GetTickCount()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr))
            return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            return {};
    }
}

void RemoveTree(const std::wstring& path) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring full = path + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

std::wstring LeafOf(const std::wstring& path) {
    return path.substr(path.find_last_of(L'\\') + 1);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A whole file's bytes; "" when it cannot be read.
std::string FileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
        bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(file);
    return ok;
}

std::wstring Profile(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
    std::wstring value(40000, L'\0');
    const DWORD n = GetPrivateProfileStringW(section, key, L"<absent>", value.data(),
                                             static_cast<DWORD>(value.size()), file.c_str());
    value.resize(n);
    return value;
}

// "FF FE 5B 00 ..." for the first bytes of a file.
std::string FirstBytes(const std::string& bytes, size_t count = 8) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < count; ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        out += std::string(out.empty() ? "" : " ") + digits[b >> 4] + digits[b & 15];
    }
    return out.empty() ? "<empty>" : out;
}

// Sends a WM_COPYDATA block from another thread (the call returns when the dialog
// it opens is closed); the future holds whether it was delivered. A null data
// sends lpData null.
std::future<bool> SendBlock(HWND target, ULONG_PTR dwData, std::optional<std::string> data,
                            DWORD size) {
    return std::async(std::launch::async, [target, dwData, data, size] {
        COPYDATASTRUCT block{dwData, size,
                             data ? const_cast<char*>(data->data()) : static_cast<char*>(nullptr)};
        DWORD_PTR result = 0;
        return SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&block),
                                   SMTO_ABORTIFHUNG, 60000, &result) != 0;
    });
}

// A NUL-terminated UTF-16 text handed over in the new form, cbData counting its NUL.
std::future<bool> SendUtf16(HWND target, const std::wstring& text) {
    const std::string bytes = Utf16Bytes(text + L'\0');
    return SendBlock(target, kUtf16Block, bytes, static_cast<DWORD>(bytes.size()));
}

// The editor, shown with the New caption; null (and what was shown) after the deadline.
HWND WaitForNewEditor(const PathwinkProcess& app, std::string& seen, int timeoutMs = 10000) {
    HWND editor = nullptr;
    WaitUntil(
        [&] {
            editor = app.WaitForEditor(0);
            return editor && WideText(editor) == kNewCaption;
        },
        timeoutMs);
    if (editor && WideText(editor) == kNewCaption)
        return editor;
    seen = Seen(app.ProcessId());
    return nullptr;
}

// An Explorer window titled exactly title; null after the deadline, with the titles
// of the Explorer windows that were there.
HWND WaitForExplorerTitled(const std::wstring& title, std::string& seen, int timeoutMs) {
    HWND found = nullptr;
    WaitUntil(
        [&] {
            for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
                if (TitleOf(w) == title)
                    found = w;
            return found != nullptr;
        },
        timeoutMs);
    if (!found) {
        for (HWND w : FindTopLevels("ExplorerWClass", nullptr))
            seen += " \"" + Utf8(TitleOf(w)) + "\"";
        if (seen.empty())
            seen = " no Explorer window";
    }
    return found;
}

// A combination is free when this process can register it for a moment.
bool IsFree(UINT mods, UINT vk) {
    if (!RegisterHotKey(nullptr, 0x7201, mods, vk))
        return false;
    UnregisterHotKey(nullptr, 0x7201);
    return true;
}

// Ends a run through its window, as Exit Pathwink and the installer do.
::testing::AssertionResult ClosedWithin(PathwinkProcess& app, int timeoutMs) {
    PostMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    if (app.WaitForExit(timeoutMs))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << "still running after " << timeoutMs << " ms; shown:" << Seen(app.ProcessId());
}

// A run of the program with folders of the test, all removed at the end.
class UnicodeFolders : public ::testing::Test {
protected:
    void TearDown() override {
        app_.reset();
        for (const auto& f : folders_)
            RemoveTree(f);
    }
    std::wstring Folder(const std::wstring& name) {
        folders_.push_back(MakeFolder(name));
        return folders_.back();
    }
    std::unique_ptr<PathwinkProcess> app_;
    std::vector<std::wstring> folders_;
};

} // namespace

TEST_F(UnicodeFolders, HandedOverAsUtf16AndKeptExactlyFromTheDialogToExplorerAndAcrossARestart) {
    // Greek, CJK and an emoji, which UTF-16 holds as a surrogate pair.
    const std::wstring folder = Folder(L"Φάκελος 文件夹 📁");
    ASSERT_FALSE(folder.empty()) << "CreateDirectoryW failed: " << GetLastError();
    ASSERT_TRUE(IsFree(MOD_CONTROL | MOD_ALT, 'U')) << "Ctrl+Alt+U is held by another program";
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());

    std::future<bool> sent = SendUtf16(app_->MainWindow(), folder);
    const EndsABlockedSend ends{*app_, sent};
    std::string seen;
    HWND editor = WaitForNewEditor(*app_, seen);
    ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen;
    EXPECT_EQ(WideText(EditorFolderField(editor)), folder) << "the folder field";

    TypeIntoHotKeyField(editor, 'U');
    EXPECT_EQ(EditorHotKey(editor), WORD((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8 | 'U'))
        << "U typed alone becomes Ctrl+Alt+U";
    ClickEditorButton(editor, "OK");
    ASSERT_TRUE(Ready(sent, 5000)) << "the sender still waits; shown:" << Seen(app_->ProcessId());
    EXPECT_TRUE(sent.get()) << "the folder was not delivered";

    const std::wstring row = L"Ctrl+Alt+U\t" + folder;
    EXPECT_TRUE(WaitUntil([&] { return WideRows(app_->MainWindow()).size() == 1; }))
        << "rows:" << Joined(WideRows(app_->MainWindow())) << "; shown:" << Seen(app_->ProcessId());
    EXPECT_EQ(WideRows(app_->MainWindow()), std::vector<std::wstring>{row});

    // The key opens Explorer on exactly that folder: its window bears the last
    // component of the path.
    TypeKey('U', true, true);
    HWND explorer = WaitForExplorerTitled(LeafOf(folder), seen, 15000);
    EXPECT_TRUE(explorer) << "no Explorer window titled \"" << Utf8(LeafOf(folder))
                          << "\"; Explorer windows:" << seen;
    if (explorer)
        PostMessageW(explorer, WM_CLOSE, 0, 0);

    ASSERT_TRUE(ClosedWithin(*app_, 5000));
    EXPECT_EQ(app_->ExitCode(), 0u);
    app_->Kill(); // the ended run's handles go; the same folder starts again
    ASSERT_TRUE(app_->Start());
    EXPECT_EQ(WideRows(app_->MainWindow()), std::vector<std::wstring>{row}) << "after a restart";
    ASSERT_TRUE(ClosedWithin(*app_, 5000));

    // A path outside the ANSI code page makes the file UTF-16LE with a byte-order mark.
    const std::wstring settings = WideFromAnsi(app_->SettingsPath());
    const std::string bytes = FileBytes(settings);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the file begins " << FirstBytes(bytes);
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0Path"), folder);
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0ShortCut"), std::to_wstring('U' + 16384 + 32768));
}

TEST_F(UnicodeFolders, TheAnsiFormStillHandsOverTextInTheAnsiCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "the ANSI code page is " << GetACP() << ", not 1252, which has é as 0xE9";
    const std::wstring folder = Folder(L"Résumé é");
    ASSERT_FALSE(folder.empty()) << "CreateDirectoryW failed: " << GetLastError();
    std::string ansi(folder.size() * 2, '\0');
    BOOL lossy = FALSE;
    ansi.resize(static_cast<size_t>(WideCharToMultiByte(
        CP_ACP, WC_NO_BEST_FIT_CHARS, folder.data(), static_cast<int>(folder.size()), ansi.data(),
        static_cast<int>(ansi.size()), nullptr, &lossy)));
    ASSERT_FALSE(lossy) << "the temporary folder's path is not in the ANSI code page";
    ASSERT_NE(ansi.find('\xE9'), std::string::npos) << "é is not the byte E9";
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());

    // dwData is anything but the UTF-16 mark, the byte-swapped mark included; the
    // text, NUL-terminated, is counted with its NUL.
    const struct {
        const char* what;
        ULONG_PTR dwData;
        bool keep;
    } cases[] = {
        {"dwData 0", 0, false},
        {"dwData 1", 1, false},
        {"dwData 0xFFFE", 0xFFFE, true},
    };
    const auto check = [&](const auto& c) {
        std::future<bool> sent = SendBlock(app_->MainWindow(), c.dwData, ansi + '\0',
                                           static_cast<DWORD>(ansi.size() + 1));
        const EndsABlockedSend ends{*app_, sent};
        std::string seen;
        HWND editor = WaitForNewEditor(*app_, seen);
        ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen;
        EXPECT_EQ(WideText(EditorFolderField(editor)), folder) << "é arrives as U+00E9";
        ClickEditorButton(editor, c.keep ? "OK" : "Cancel");
        ASSERT_TRUE(Ready(sent, 5000))
            << "the sender still waits; shown:" << Seen(app_->ProcessId());
        EXPECT_TRUE(sent.get());
        ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
    EXPECT_TRUE(WaitUntil([&] { return WideRows(app_->MainWindow()).size() == 1; }));
    EXPECT_EQ(WideRows(app_->MainWindow()), std::vector<std::wstring>{L"(No HotKey)\t" + folder});

    // Every path fits the code page: the file stays as earlier versions wrote it.
    const std::string bytes = app_->ReadSettings();
    EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE") << "the file became UTF-16";
    EXPECT_NE(bytes.find("0Path=" + ansi + "\r\n"), std::string::npos) << bytes;
}

TEST_F(UnicodeFolders, Utf16BlocksOfAnySizeAndContentAreReadSafely) {
    app_ = std::make_unique<PathwinkProcess>(kQuiet);
    ASSERT_TRUE(app_->Start());
    const std::string before = app_->ReadSettings();
    // The text ends at the first NUL or at cbData, whichever comes first; an odd
    // last byte is ignored; half a surrogate pair shows as U+FFFD, the replacement
    // character, and the program goes on.
    const struct {
        const char* what;
        std::optional<std::string> data; // nullopt: lpData is null
        DWORD size;
        std::wstring shown;
    } cases[] = {
        {"an odd size: the last byte is ignored", Utf16Bytes(L"C:\\Odd") + "X", 13, L"C:\\Odd"},
        {"an odd size through the last character", Utf16Bytes(L"C:\\Cut"), 11, L"C:\\Cu"},
        {"one byte", std::string("A"), 1, L""},
        {"no NUL within the size", Utf16Bytes(L"C:\\NoEnd"), 16, L"C:\\NoEnd"},
        {"a size that stops short of the NUL", Utf16Bytes(std::wstring(L"C:\\Longer\0", 10)), 10,
         L"C:\\Lo"},
        {"size 0", Utf16Bytes(std::wstring(L"C:\\Zero\0", 8)), 0, L""},
        {"size 0 and no data", std::nullopt, 0, L""},
        {"a NUL in the middle: the text ends there",
         Utf16Bytes(std::wstring(L"C:\\Before\0After\0", 16)), 32, L"C:\\Before"},
        {"a NUL first", Utf16Bytes(std::wstring(L"\0C:\\Late\0", 9)), 18, L""},
        {"a size that cuts a surrogate pair", Utf16Bytes(L"C:\\A📁"), 10, L"C:\\A\xFFFD"},
        {"a lone low surrogate", Utf16Bytes(std::wstring(L"C:\\\xDC01x\0", 6)), 12, L"C:\\\xFFFDx"},
    };
    const auto check = [&](const auto& c) {
        std::future<bool> sent = SendBlock(app_->MainWindow(), kUtf16Block, c.data, c.size);
        const EndsABlockedSend ends{*app_, sent};
        std::string seen;
        HWND editor = WaitForNewEditor(*app_, seen);
        ASSERT_TRUE(editor) << "no New Folder Shortcut dialog; shown:" << seen
                            << (app_->Running() ? "" : " (the program has ended)");
        EXPECT_EQ(WideText(EditorFolderField(editor)), c.shown);
        ClickEditorButton(editor, "Cancel");
        ASSERT_TRUE(Ready(sent, 5000))
            << "the sender still waits; shown:" << Seen(app_->ProcessId());
        EXPECT_TRUE(sent.get());
        ASSERT_TRUE(WaitUntil([&] { return !app_->EditorShown(); }));
        ASSERT_TRUE(app_->Running());
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        check(c);
    }
    EXPECT_TRUE(WideRows(app_->MainWindow()).empty()) << Joined(WideRows(app_->MainWindow()));
    EXPECT_EQ(app_->ReadSettings(), before) << "a cancelled dialog saved";
}

namespace {

// The "Pathwink" value of a Run key, read in its wide form; nullopt when absent
// or not a text.
std::optional<std::wstring> RunValue(HKEY root) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, kRunKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    DWORD type = 0, size = 0;
    std::optional<std::wstring> value;
    if (RegQueryValueExW(key, L"Pathwink", nullptr, &type, nullptr, &size) == ERROR_SUCCESS &&
        type == REG_SZ) {
        std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key, L"Pathwink", nullptr, &type, reinterpret_cast<BYTE*>(text.data()),
                             &size) == ERROR_SUCCESS) {
            text.resize(wcslen(text.c_str()));
            value = text;
        }
    }
    RegCloseKey(key);
    return value;
}

void SetRunValue(HKEY root, const std::optional<std::wstring>& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (value)
        RegSetValueExW(key, L"Pathwink", 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                       static_cast<DWORD>((value->size() + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, L"Pathwink");
    RegCloseKey(key);
}

// Both run-at-logon values as they were before the test, put back after it.
class RunValuesKept {
public:
    RunValuesKept() : user_(RunValue(HKEY_CURRENT_USER)), machine_(RunValue(HKEY_LOCAL_MACHINE)) {}
    ~RunValuesKept() {
        SetRunValue(HKEY_CURRENT_USER, user_);
        SetRunValue(HKEY_LOCAL_MACHINE, machine_);
    }
    RunValuesKept(const RunValuesKept&) = delete;
    RunValuesKept& operator=(const RunValuesKept&) = delete;

private:
    std::optional<std::wstring> user_, machine_;
};

// One start of a Pathwink.exe by its wide command line, ended with the object.
class WideRun {
public:
    WideRun() = default;
    ~WideRun() { Kill(); }
    WideRun(const WideRun&) = delete;
    WideRun& operator=(const WideRun&) = delete;

    // Starts the command (its first part the quoted executable) in currentFolder and
    // waits for the main window; false when it did not appear.
    bool Start(const std::wstring& commandLine, const std::wstring& currentFolder) {
        Kill();
        STARTUPINFOW si{};
        si.cb = sizeof si;
        std::wstring command = commandLine;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            currentFolder.c_str(), &si, &pi_))
            return false;
        WaitUntil(
            [&] {
                main_ = FindTopLevel("TPathwinkMainForm", nullptr, pi_.dwProcessId);
                return main_ != nullptr || WaitForSingleObject(pi_.hProcess, 0) == WAIT_OBJECT_0;
            },
            15000);
        if (main_)
            WaitForInputIdle(pi_.hProcess, 5000);
        return main_ != nullptr;
    }
    HWND MainWindow() const { return main_; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    void Click(const char* caption) const {
        HWND button = FindChildByText(main_, "Button", caption);
        PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
    bool Checked(const char* caption) const {
        return SendMessageW(FindChildByText(main_, "Button", caption), BM_GETCHECK, 0, 0) ==
               BST_CHECKED;
    }
    void SetCheck(const char* caption) const {
        HWND box = FindChildByText(main_, "Button", caption);
        SendMessageW(box, BM_SETCHECK, BST_CHECKED, 0);
        SendMessageW(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                     reinterpret_cast<LPARAM>(box));
    }
    ::testing::AssertionResult ClosedWithin(int timeoutMs) const {
        PostMessageW(main_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(timeoutMs)) != WAIT_OBJECT_0)
            return ::testing::AssertionFailure()
                   << "still running after " << timeoutMs << " ms; shown:" << Seen(pi_.dwProcessId);
        DWORD code = 0;
        GetExitCodeProcess(pi_.hProcess, &code);
        if (code != 0)
            return ::testing::AssertionFailure() << "exit code " << code;
        return ::testing::AssertionSuccess();
    }
    void Kill() {
        if (!pi_.hProcess)
            return;
        if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(pi_.hProcess, 99);
            WaitForSingleObject(pi_.hProcess, 5000);
        }
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
        pi_ = {};
        main_ = nullptr;
    }

private:
    PROCESS_INFORMATION pi_{};
    HWND main_ = nullptr;
};

// The shell opens ".html" files with Notepad while the object lives, so that the
// help page, once opened, is a window whose title and text can be read; the
// association as it was comes back afterwards. (Wine's prefix has none for
// ".html": the help page would open nowhere.)
class HtmlOpensInNotepad {
public:
    HtmlOpensInNotepad() {
        had_ = ReadDefault(L".html", previous_);
        const std::wstring command = L"\"" + WindowsFolder() + L"\\notepad.exe\" \"%1\"";
        ok_ = WriteDefault(L".html", kProgId) &&
              WriteDefault(std::wstring(kProgId) + L"\\shell\\open\\command", command);
    }
    ~HtmlOpensInNotepad() {
        if (had_)
            WriteDefault(L".html", previous_);
        else
            RegDeleteTreeW(HKEY_CLASSES_ROOT, L".html");
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    }
    HtmlOpensInNotepad(const HtmlOpensInNotepad&) = delete;
    HtmlOpensInNotepad& operator=(const HtmlOpensInNotepad&) = delete;
    bool Registered() const { return ok_; }

private:
    static constexpr wchar_t kProgId[] = L"PathwinkTests.HelpInNotepad";
    static std::wstring WindowsFolder() {
        wchar_t folder[MAX_PATH] = L"";
        GetWindowsDirectoryW(folder, MAX_PATH);
        return folder;
    }
    static bool ReadDefault(const std::wstring& key, std::wstring& value) {
        wchar_t buffer[1024] = L"";
        DWORD size = sizeof buffer;
        if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buffer,
                         &size) != ERROR_SUCCESS)
            return false;
        value = buffer;
        return true;
    }
    static bool WriteDefault(const std::wstring& key, const std::wstring& value) {
        return RegSetKeyValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, REG_SZ, value.c_str(),
                               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))) ==
               ERROR_SUCCESS;
    }
    bool had_ = false, ok_ = false;
    std::wstring previous_;
};

std::wstring WithoutCarriageReturns(std::wstring text) {
    text.erase(std::remove(text.begin(), text.end(), L'\r'), text.end());
    return text;
}

} // namespace

TEST(UnicodeProgramFolder, FindsItsSettingsAndHelpThereAndItsRunAtLogonCommandStartsIt) {
    const RunValuesKept runValues;
    const std::wstring folder = MakeFolder(L"Pathwink Ω 文件");
    const std::wstring target = MakeFolder(L"Ziel Ω");
    const std::wstring elsewhere = WideFromAnsi(MakeTempFolder("pwcwd"));
    struct Removed {
        std::vector<std::wstring> folders;
        ~Removed() {
            for (const auto& f : folders)
                RemoveTree(f);
        }
    } removed{{folder, target, elsewhere}};
    ASSERT_FALSE(folder.empty() || target.empty() || elsewhere.empty()) << GetLastError();

    // The program and its help beside it, as the portable package has them.
    const std::wstring built = WideFromAnsi(BuiltPathwink());
    const std::wstring builtFolder = built.substr(0, built.find_last_of(L'\\'));
    const std::wstring exe = folder + L"\\Pathwink.exe";
    const std::wstring help = folder + L"\\help\\help_index.html";
    ASSERT_TRUE(CopyFileW(built.c_str(), exe.c_str(), FALSE)) << GetLastError();
    ASSERT_TRUE(CreateDirectoryW((folder + L"\\help").c_str(), nullptr)) << GetLastError();
    ASSERT_TRUE(CopyFileW((builtFolder + L"\\help\\help_index.html").c_str(), help.c_str(), FALSE))
        << GetLastError();

    // A settings file in UTF-16 with a shortcut whose folder is outside the code page too.
    const std::wstring settings = folder + L"\\Pathwink.INI";
    ASSERT_TRUE(
        WriteFileBytes(settings, Utf16Bytes(L"\xFEFF[Options]\r\nConfirmExit=0\r\nRunOnStarup=1\r\n"
                                            L"[Shortcuts]\r\nCount=1\r\n0Path=" +
                                            target + L"\r\n0ShortCut=0\r\n")));
    const std::vector<std::wstring> rows = {L"(No HotKey)\t" + target};

    // Started from another current folder: the settings file is found beside the
    // executable, not where the program happens to run.
    {
        WideRun run;
        ASSERT_TRUE(run.Start(L"\"" + exe + L"\"", elsewhere)) << "the program did not start";
        EXPECT_EQ(WideRows(run.MainWindow()), rows) << "the settings file was not read";

        // Help opens the page beside the executable.
        const HtmlOpensInNotepad viewer;
        ASSERT_TRUE(viewer.Registered());
        run.Click("Help");
        HWND notepad = nullptr;
        WaitUntil(
            [&] {
                for (HWND w : FindTopLevels("Notepad", nullptr))
                    if (TitleOf(w) == L"help_index.html - Notepad")
                        notepad = w;
                return notepad != nullptr;
            },
            10000);
        if (notepad) {
            std::wstring page = WideFromAnsi(FileBytes(help));
            EXPECT_EQ(WithoutCarriageReturns(WideText(FindChildByClass(notepad, "Edit"))),
                      WithoutCarriageReturns(page))
                << "the viewer shows another text";
            PostMessageW(notepad, WM_CLOSE, 0, 0);
        } else {
            std::string titles;
            for (HWND w : FindTopLevels("Notepad", nullptr))
                titles += " \"" + Utf8(TitleOf(w)) + "\"";
            ADD_FAILURE() << "Help opened no viewer on help_index.html; Notepad windows:"
                          << (titles.empty() ? " none" : titles)
                          << "; Pathwink shows:" << Seen(run.ProcessId());
        }

        run.SetCheck(kDClickEditsCaption);
        ASSERT_TRUE(run.ClosedWithin(5000));
    }
    EXPECT_EQ(Profile(settings, L"Options", L"DClickEdits"), L"1") << "the change was not saved";
    EXPECT_EQ(Profile(settings, L"Shortcuts", L"0Path"), target);
    const std::string bytes = FileBytes(settings);
    EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << "the file begins " << FirstBytes(bytes);
    EXPECT_FALSE(Exists(elsewhere + L"\\Pathwink.INI")) << "settings written where it ran";

    // The run-at-logon value names this executable, whole, and starts it again.
    const std::wstring command = L"\"" + exe + L"\" tray";
    const auto value = RunValue(HKEY_CURRENT_USER);
    ASSERT_TRUE(value.has_value()) << "no value Pathwink in HKEY_CURRENT_USER\\" << Utf8(kRunKey);
    EXPECT_EQ(*value, command);
    WideRun atLogon;
    ASSERT_TRUE(atLogon.Start(*value, elsewhere)) << "the run-at-logon command started nothing";
    EXPECT_FALSE(IsWindowVisible(atLogon.MainWindow())) << "not started in the tray";
    EXPECT_TRUE(WaitUntil([&] {
        return FindTopLevel("PathwinkTrayWindow", nullptr, atLogon.ProcessId()) != nullptr;
    })) << "no tray icon window";
    EXPECT_EQ(WideRows(atLogon.MainWindow()), rows);
    EXPECT_TRUE(atLogon.Checked(kDClickEditsCaption)) << "the saved option was not read";
    EXPECT_TRUE(atLogon.ClosedWithin(5000));
}

TEST_F(UnicodeFolders, AHandEditedUtf8FileReadsAsUtf8AndIsSavedInUtf8WithEveryOtherLineKept) {
    // A folder whose name the ANSI code page cannot hold: an ANSI file would turn
    // into UTF-16 at the save.
    const std::wstring folder =
        Folder(L"pwutf8 Caf\u00E9 \u03A6\u03AC\u03BA\u03B5\u03BB\u03BF\u03C2");
    ASSERT_FALSE(folder.empty()) << GetLastError();
    const std::string path = Utf8(folder);
    // Lines Pathwink does not own, where a save leaves them as they are.
    const std::string comment = "; Gr\xC3\xBC\xC3\x9F"
                                "e from the editor\r\n";
    const std::string mine = "[Mine]\r\nNote=na\xC3\xAFve \xE2\x98\x83\r\n";
    const std::vector<std::wstring> row{L"(No HotKey)\t" + folder};
    const struct {
        const char* what;
        std::string mark;
    } cases[] = {{"with the UTF-8 mark", "\xEF\xBB\xBF"}, {"without a mark", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        app_ = std::make_unique<PathwinkProcess>(c.mark + comment + kQuiet +
                                                 "[Shortcuts]\r\nCount=1\r\n0Path=" + path +
                                                 "\r\n0ShortCut=0\r\n" + mine);
        ASSERT_TRUE(app_->Start());
        EXPECT_TRUE(WaitUntil([&] { return WideRows(app_->MainWindow()) == row; }))
            << "rows:" << Joined(WideRows(app_->MainWindow()));
        ASSERT_TRUE(ClosedWithin(*app_, 5000)); // which saves

        const std::string saved = app_->ReadSettings();
        EXPECT_EQ(saved.find('\0'), std::string::npos) << "UTF-16: " << FirstBytes(saved);
        EXPECT_EQ(saved.substr(0, c.mark.size() + comment.size() + 11),
                  c.mark + comment + "[Options]\r\n")
            << "the mark, the comment and the first section as they were: " << FirstBytes(saved);
        EXPECT_EQ(saved.find("[Options]", saved.find("[Options]") + 1), std::string::npos)
            << "a second [Options]:\n"
            << saved;
        EXPECT_NE(saved.find(mine), std::string::npos) << saved;
        EXPECT_NE(saved.find("0Path=" + path + "\r\n"), std::string::npos) << saved;

        app_->Kill();
        ASSERT_TRUE(app_->Start());
        EXPECT_TRUE(WaitUntil([&] { return WideRows(app_->MainWindow()) == row; }))
            << "after the save; rows:" << Joined(WideRows(app_->MainWindow()));
        app_.reset();
    }
}
