#pragma once
// Drives a real Pathwink.exe from the test process: each instance runs from a
// folder of its own (the executable copied there, so its settings file is
// private), and is ended when the object goes.

#include <windows.h>

#include <future>
#include <string>
#include <vector>

namespace pwtest {

class PathwinkProcess {
public:
    // A fresh folder with a copy of Pathwink.exe (and its help folder). settings,
    // when not empty, is written as Pathwink.INI before the start.
    explicit PathwinkProcess(const std::string& settings = "");
    // The same in a folder the caller made (it must exist), for a folder whose place
    // or length matters; it goes with the object all the same.
    PathwinkProcess(const std::string& settings, const std::string& folder);
    ~PathwinkProcess();
    PathwinkProcess(const PathwinkProcess&) = delete;
    PathwinkProcess& operator=(const PathwinkProcess&) = delete;

    // Starts the copy with the given arguments (after the quoted executable path)
    // and waits until its main window exists; false when it did not appear.
    bool Start(const std::string& arguments = "", int showCommand = -1);
    // Starts without waiting for anything.
    bool Launch(const std::string& arguments = "", int showCommand = -1);

    HWND MainWindow() const { return mainWindow_; }
    DWORD ProcessId() const { return pi_.dwProcessId; }
    HANDLE Process() const { return pi_.hProcess; }
    bool Running() const;
    // Waits for the process to end; true when it did.
    bool WaitForExit(int timeoutMs = 10000) const;
    DWORD ExitCode() const;
    // Ends the process for good (used when a test fails half-way).
    void Kill();

    const std::string& Folder() const { return folder_; }
    std::string ExePath() const { return folder_ + "\\Pathwink.exe"; }
    std::string SettingsPath() const { return folder_ + "\\Pathwink.INI"; }
    std::string ReadSettings() const; // "" when absent
    bool SettingsExist() const;
    std::string Profile(const char* section, const char* key, const char* def = "<absent>") const;

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

    // A visible dialog (#32770) of this process with that caption, waited for.
    HWND WaitForDialog(const char* caption, int timeoutMs = 10000) const;
    // A visible top-level window of this process with that class and caption.
    HWND WaitForWindow(const char* className, const char* caption, int timeoutMs = 10000) const;
    // True when no visible window of this process has that class and caption.
    bool NoWindow(const char* className, const char* caption) const;

    // The shortcut editor (class ShortcutEditor) once it is shown.
    HWND WaitForEditor(int timeoutMs = 10000) const;
    bool EditorShown() const;
    // The list's rows as the list box holds them, and its selection.
    std::vector<std::string> Rows() const;
    int SelectedRow() const;
    // Selects a row the way a user does (the list tells its window).
    void SelectRow(int row) const;
    void DoubleClickRow(int row) const;
    // The status text under the pages.
    std::string StatusText() const;
    bool Enabled(const char* buttonCaption) const {
        return IsWindowEnabled(Control("Button", buttonCaption)) != FALSE;
    }
    // The window with the keyboard focus in Pathwink's GUI thread.
    HWND FocusedWindow() const;
    // Sends WM_COPYDATA from another thread; the future holds whether it was delivered.
    std::future<bool> SendCopyData(const void* data, DWORD size, int timeoutMs = 60000) const;
    std::future<bool> SendFolder(const std::string& folder) const {
        return SendCopyData(folder.c_str(), static_cast<DWORD>(folder.size() + 1));
    }

private:
    std::string folder_;
    PROCESS_INFORMATION pi_{};
    HWND mainWindow_ = nullptr;
};

// The build's Pathwink.exe: beside the test program.
std::string BuiltPathwink();

// The editor's parts.
HWND EditorFolderField(HWND editor);
HWND EditorHotKeyField(HWND editor);
void SetEditorFolder(HWND editor, const std::string& text);
std::string EditorFolder(HWND editor);
// The hot-key field's value in the control's own encoding (HOTKEYF_ flags << 8 | key).
void SetEditorHotKey(HWND editor, WORD controlValue);
WORD EditorHotKey(HWND editor);
// Gives the hot-key field the focus and types a key into it with SendInput.
void TypeIntoHotKeyField(HWND editor, WORD vk, bool ctrl = false, bool alt = false,
                         bool shift = false);
void ClickEditorButton(HWND editor, const char* caption);

// True once a send's future holds its answer, within timeoutMs.
bool Ready(std::future<bool>& sent, int timeoutMs);

// Declared after a copy-data send: when the test leaves with the send still blocked
// in a dialog of the program, ends the program first, so the send returns at once.
struct EndsABlockedSend {
    PathwinkProcess& app;
    std::future<bool>& sent;
    ~EndsABlockedSend() {
        if (!Ready(sent, 0) && sent.valid())
            app.Kill();
    }
};

// Answers a message box: presses the button with that id (IDYES, IDNO, IDOK ...).
void Press(HWND dialog, int buttonId);

} // namespace pwtest
