#pragma once
// Drives a real Pathwink.exe from the test process: each instance runs from a
// folder of its own (the executable copied there, so its settings file is
// private), and is ended when the object goes. Paths and texts are UTF-8.

#include "tests/support/TestSupport.h"

#include <windows.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace pwtest {

// What the program shows, word for word, where the tests expect it.
constexpr char kAlreadyActive[] =
    "Pathwink is already active.\nLeft-click the golden folder icon in the tray, next to the "
    "clock.";
constexpr char kWeakText[] =
    "Warning: the shortcut key combination you have chosen is \"weak.\"\nShortcuts should have "
    "two or more modifiers (Alt, Ctrl, or Shift) to avoid interfering with other "
    "applications.\nAre you sure you want to use this shortcut?";
constexpr char kFolderText[] =
    "The folder you have selected is either invalid or is a removable drive without media "
    "present.\nAre you sure you wish to specify this folder?";
constexpr char kRefusedText[] =
    "Unable to register shortcut.  Another system shortcut with the same hotkey probably exists.";
constexpr char kNewCaption[] = "New Folder Shortcut - Pathwink";
constexpr char kEditCaption[] = "Edit Folder Shortcut - Pathwink";
// Settings that keep a run quiet: no exit question, no run-at-logon value.
constexpr char kQuiet[] = "[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\n";

// One started process of a Pathwink.exe and its main window, ended with the object.
// The waits say which process and window they waited for when their deadline passes.
class StartedProgram {
public:
    StartedProgram() = default;
    ~StartedProgram() { Kill(); }
    StartedProgram(const StartedProgram&) = delete;
    StartedProgram& operator=(const StartedProgram&) = delete;

    // Starts the whole command line (its first part the quoted executable) in
    // currentFolder without waiting for anything; an earlier run's handles go.
    bool LaunchCommand(const std::string& commandLine, const std::string& currentFolder,
                       int showCommand = -1);
    // Waits until the main window (class TPathwinkMainForm) exists and start-up is done.
    ::testing::AssertionResult WaitForMainWindow(int timeoutMs = 15000);
    // Both: the run-at-logon value's command, say.
    ::testing::AssertionResult StartCommand(const std::string& commandLine,
                                            const std::string& currentFolder) {
        if (!LaunchCommand(commandLine, currentFolder))
            return ::testing::AssertionFailure()
                   << "CreateProcess failed (" << GetLastError() << ") for " << commandLine;
        return WaitForMainWindow();
    }

    HWND MainWindow() const { return mainWindow_; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    HANDLE Process() const { return pi_.hProcess; }
    bool Running() const;
    // Waits for the process to end; when it does not, says what it shows.
    ::testing::AssertionResult WaitForExit(int timeoutMs = 10000) const;
    DWORD ExitCode() const;
    // Ends the process for good (used when a test fails half-way).
    void Kill();
    // Asks the main window to close (WM_CLOSE, as the installer does) and waits for
    // the end.
    ::testing::AssertionResult ClosedWithin(int timeoutMs) const;
    // The visible windows of the process, for a report.
    std::string Shown() const { return WindowsShown(ProcessId()); }

    // Controls of the main window, by class and caption (pages included).
    HWND Control(const char* className, const char* caption) const;
    // Clicks a button the way a user does: a posted click, so a modal window it
    // opens does not block the test.
    void Click(HWND button) const;
    void Click(const char* caption) const { Click(Control("Button", caption)); }
    // Ticks or clears a check box and raises its click.
    void SetCheck(const char* caption, bool checked) const;
    bool Checked(const char* caption) const;
    int ActivePage() const;
    bool MainVisible() const { return IsWindowVisible(mainWindow_) != FALSE; }

    // The waits below give null when their deadline passes and then print which
    // window of which process they waited for and what it showed instead (a wait of
    // less than a second, a poll inside another wait, prints nothing).
    // A visible dialog (#32770) of this process with that caption, waited for.
    HWND WaitForDialog(const char* caption, int timeoutMs = 10000) const;
    // A visible top-level window of this process with that class and caption.
    HWND WaitForWindow(const char* className, const char* caption, int timeoutMs = 10000) const;
    // A visible message (#32770) with that caption whose text begins with prefix.
    HWND WaitForMessage(const char* caption, const std::string& prefix, int timeoutMs = 5000) const;
    // True when no visible window of this process has that class and caption.
    bool NoWindow(const char* className, const char* caption) const;

    // The shortcut editor (class TDlgNewShortcut) once it is shown.
    HWND WaitForEditor(int timeoutMs = 10000) const;
    // The editor shown with that caption and, unless nullopt, that folder (UTF-8,
    // read in the wide form).
    HWND WaitForEditorWith(const std::string& caption, const std::optional<std::string>& folder,
                           int timeoutMs = 10000) const;
    bool EditorShown() const;
    // The main window's pages are made when it is first shown: after a start in the
    // tray, this opens it as a click on the tray icon would (nothing when they exist).
    // Every reader of the main window's controls below calls it first.
    void MakePages() const;
    HWND ShortcutList() const;
    // The list's rows as the list box holds them (in the ANSI code page, as the
    // tests' own paths are), and its selection.
    std::vector<std::string> Rows() const;
    // The same in their wide form, exact in any script.
    std::vector<std::wstring> WideRows() const;
    int SelectedRow() const;
    // Selects a row the way a user does (the list tells its window).
    void SelectRow(int row) const;
    void DoubleClickRow(int row) const;
    // The status text under the pages.
    std::string StatusText() const;
    bool Enabled(const char* buttonCaption) const {
        return IsWindowEnabled(Control("Button", buttonCaption)) != FALSE;
    }
    // The tray icon's hidden window, and a mouse notification delivered to it as the
    // shell does (WM_LBUTTONDOWN, WM_RBUTTONUP, NIN_BALLOONUSERCLICK ...).
    HWND TrayWindow() const;
    void TrayNotify(UINT notification) const;
    // The open tray menu (#32768), waited for; null when it did not open or the
    // process ended.
    HWND WaitForMenu(int timeoutMs = 5000) const;
    // Opens the tray menu and chooses the entry reached by downs presses of Down (-1:
    // Up once, which from no selection is the last entry, Exit Pathwink).
    bool ChooseFromTrayMenu(int downs) const;

    // The window with the keyboard focus in Pathwink's GUI thread.
    HWND FocusedWindow() const;
    // Brings control's window forward with the keyboard focus in control, where keys
    // typed with SendInput go.
    void Focus(HWND control) const;
    // Sends WM_COPYDATA from another thread; the future holds whether it was delivered.
    std::future<bool> SendCopyData(const void* data, DWORD size, int timeoutMs = 60000) const;
    std::future<bool> SendFolder(const std::string& folder) const {
        return SendCopyData(folder.c_str(), static_cast<DWORD>(folder.size() + 1));
    }

protected:
    PROCESS_INFORMATION pi_{};
    HWND mainWindow_ = nullptr;
};

class PathwinkProcess : public StartedProgram {
public:
    // A fresh folder with a copy of Pathwink.exe (and its help folder). settings,
    // when not empty, is written as Pathwink.INI before the start (as bytes: a
    // UTF-16 file too).
    explicit PathwinkProcess(const std::string& settings = "");
    // The same in a folder the caller made (it must exist), for a folder whose place
    // or length matters; it goes with the object all the same.
    PathwinkProcess(const std::string& settings, const std::string& folder);
    ~PathwinkProcess();

    // Starts the copy with the given arguments (after the quoted executable path)
    // and waits until its main window exists; says what it saw when it did not appear.
    ::testing::AssertionResult Start(const std::string& arguments = "", int showCommand = -1);
    // Starts without waiting for anything.
    bool Launch(const std::string& arguments = "", int showCommand = -1);

    const std::string& Folder() const { return folder_; }
    std::string ExePath() const { return folder_ + "\\Pathwink.exe"; }
    std::string SettingsPath() const { return folder_ + "\\Pathwink.INI"; }
    std::string ReadSettings() const; // "" when absent
    bool SettingsExist() const;
    std::string Profile(const char* section, const char* key, const char* def = "<absent>") const;

private:
    std::string folder_;
};

// The build's Pathwink.exe: beside the test program.
std::string BuiltPathwink();

// The editor's parts.
HWND EditorFolderField(HWND editor);
HWND EditorHotkeyField(HWND editor);
void SetEditorFolder(HWND editor, const std::string& text);
std::string EditorFolder(HWND editor);
// The hot-key field's value in the control's own encoding (HOTKEYF_ flags << 8 | key).
void SetEditorHotkey(HWND editor, WORD controlValue);
WORD EditorHotkey(HWND editor);
// Gives the hot-key field the focus and types a key into it with SendInput.
void TypeIntoHotkeyField(HWND editor, WORD vk, bool ctrl = false, bool alt = false,
                         bool shift = false);
void ClickEditorButton(HWND editor, const char* caption);

// Makes the pages of a Pathwink main window that has none yet (a start in the tray)
// by opening it as a click on the tray icon would; nothing when they exist.
void MakePagesFromTray(HWND mainWindow, DWORD processId);
// Rows in the ANSI code page, as the tests' own paths are.
std::vector<std::string> AnsiRows(const std::vector<std::wstring>& wideRows);

// The "Pathwink" value of a Run key (HKEY_CURRENT_USER's or HKEY_LOCAL_MACHINE's
// Software\Microsoft\Windows\CurrentVersion\Run), read in its wide form; nullopt
// when absent or not a text.
std::optional<std::string> RunValue(HKEY root);
// Writes the value, or removes it for nullopt; false when the key refused.
bool SetRunValue(HKEY root, const std::optional<std::string>& value);
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
    std::optional<std::string> user_, machine_;
};

// Sends WM_COPYDATA to target from a thread of its own (the call returns when the
// dialog it opens is closed); the future holds whether it was delivered. block
// (copied) holds the data, nullopt sends lpData null; size is cbData.
std::future<bool> SendCopyData(HWND target, ULONG_PTR dwData, std::optional<std::string> block,
                               DWORD size, int timeoutMs = 60000);

// True once a send's future holds its answer, within timeoutMs.
bool Ready(std::future<bool>& sent, int timeoutMs);

// Declared after a copy-data send: when the test leaves with the send still blocked
// in a dialog of the program, ends the program first, so the send returns at once.
struct EndsABlockedSend {
    StartedProgram& app;
    std::future<bool>& sent;
    ~EndsABlockedSend() {
        if (!Ready(sent, 0) && sent.valid())
            app.Kill();
    }
};

// Answers a message box: presses the button with that id (IDYES, IDNO, IDOK ...).
void Press(HWND dialog, int buttonId);

} // namespace pwtest
