#pragma once
// Helpers shared by the Win32 and end-to-end tests: waiting with a deadline while
// pumping messages, finding windows, reading their texts, injecting keys.

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace pwtest {

// Pumps this thread's messages and polls pred until it holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
// CreateProcessW of commandLine (UTF-8) in folder (empty: this one's), with
// showCommand unless it is -1, tried up to five times: Wine now and then refuses a
// start (error 1359, an internal error). Each refusal is written to stderr; on
// false, GetLastError() holds the last try's error.
bool StartProcess(const std::string& commandLine, const std::string& folder,
                  PROCESS_INFORMATION& pi, int showCommand = -1);
void PumpFor(int ms);
// The rows of a shortcut list in their wide form, each read with a deadline;
// nullopt when the program did not answer in time.
std::optional<std::vector<std::wstring>> ListRows(HWND list, int timeoutMs = 3000);

// A visible or hidden top-level window of the given class and exact title (either
// may be null to match any); processId 0 matches any process.
HWND FindTopLevel(const char* className, const char* title, DWORD processId = 0);
std::vector<HWND> FindTopLevels(const char* className, const char* title, DWORD processId = 0);
HWND FindChildByClass(HWND parent, const char* className, int index = 0);
HWND FindChildByText(HWND parent, const char* className, const char* text);

// Works across processes (WM_GETTEXT), unlike GetWindowTextA on another's control.
std::string TextOf(HWND hwnd);
// The text of a message box or plain message: its static control with id 0xFFFF.
std::string MessageTextOf(HWND dialog);

// Text as UTF-8 inside the tests and UTF-16 towards the system.
std::string Utf8(const std::wstring& text);
std::wstring Wide(const std::string& utf8);
// A window's text read across processes in its wide form (the ANSI form turns what
// the code page lacks into '?'); nullopt when its thread did not answer in time.
std::optional<std::wstring> WideTextOf(HWND hwnd, int timeoutMs = 3000);
std::wstring WideText(HWND hwnd); // "<no answer>" when it did not answer
std::string TextUtf8(HWND hwnd);  // "" when it did not answer
// The text of a message box in UTF-8.
std::string BoxTextUtf8(HWND box);
// The visible top-level windows of a process (tooltips left out), for the report
// when a wait fails: class, caption, and a message box's text or the shortcut
// editor's folder.
std::string WindowsShown(DWORD processId);

// A text for a report: tabs and line breaks shown as \t and \n, cut after most bytes
// (not inside a character) with its full length.
std::string Shortened(const std::string& text, size_t most = 160);

// Rows for a report, each in braces and shortened; " none" for no row.
std::string Listed(const std::vector<std::string>& rows, size_t most = 160);
std::string Listed(const std::vector<std::wstring>& rows, size_t most = 160);

// A combination is free when this process can register it for a moment.
bool IsFree(UINT modifiers, UINT vk);

// A folder under the temporary folder with a unique leaf name beginning with prefix.
std::string MakeTempFolder(const std::string& prefix);
void RemoveTree(const std::string& path);
std::string LeafName(const std::string& path);
// How many names (hard links) the file has; 0 when it cannot be asked.
DWORD FileNameCount(const std::string& path);
// The same for names in any script: name, a blank and a unique ending; empty when
// it could not be made.
std::wstring MakeTempFolder(const std::wstring& name);
void RemoveTree(const std::wstring& path);
// A whole file's bytes, read while others may write it; nullopt when it cannot be opened.
std::optional<std::string> FileBytes(const std::wstring& path);

// True under Wine (ntdll exports wine_get_version), where a few controls differ.
bool RunningUnderWine();
// Makes link a symbolic link to target, a path relative to link's folder, or with
// no target removes the link. Wine's CreateSymbolicLink does nothing and its
// DeleteFile removes the link's target, so there ln and rm do it.
bool SetSymbolicLink(const std::string& link, const std::string& relativeTarget);

// Puts another program's window in front, once its own thread has taken the
// activation in: under load Wine changes the foreground long before that.
bool BringToFront(HWND window);
// Key injection through SendInput: modifiers down, key down/up, modifiers up.
void TypeKey(WORD vk, bool ctrl = false, bool alt = false, bool shift = false);
// Types text as characters (any script), the way an input method hands them over.
void TypeCharacters(const std::wstring& text);
// A key down (or up) alone, through SendInput.
void PressOrRelease(WORD vk, bool up);
// The clipboard's Unicode text; nothing when it holds none or cannot be opened.
std::optional<std::wstring> ClipboardText();

// Watches from a second thread for a dialog (#32770) with the given caption in
// this process, reads its text and presses the button with buttonId. The future
// holds the text or, after timeoutMs, "<no dialog ...>" with what was shown instead.
std::future<std::string> AnswerDialog(const std::string& caption, int buttonId,
                                      int timeoutMs = 10000);

// While it lives (at most timeoutMs), a thread of its own closes every message box
// (#32770) this process shows and keeps what each said: a test whose own code may
// show one (a launch that fails says so) is told, not blocked for ever by it.
class BoxCloser {
public:
    explicit BoxCloser(int timeoutMs = 120000);
    ~BoxCloser();
    BoxCloser(const BoxCloser&) = delete;
    BoxCloser& operator=(const BoxCloser&) = delete;
    // The boxes closed so far, each as [caption: text]; "" when there was none.
    std::string Closed() const;

private:
    mutable std::mutex mutex_;
    std::string closed_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Explorer's windows (ExplorerWClass) titled with the folder's leaf name (UTF-8,
// compared in the wide form, so in any script), and the first of them.
std::vector<HWND> ExplorersFor(const std::string& folder);
HWND FindExplorerFor(const std::string& folder);
// Closes an Explorer window and waits until its process has ended: under Wine one that
// still ends while the next starts can deadlock the desktop's list of shell windows.
bool CloseExplorer(HWND explorer);
// Waits for such a window and closes it (as above); when none came, says which title it
// waited for, the Explorer windows there were and how many explorer.exe processes ran.
::testing::AssertionResult WaitAndCloseExplorer(const std::string& folder, int timeoutMs = 15000);
// The running processes with that executable name (explorer.exe, Pathwink.exe).
int ProcessCount(const wchar_t* exeName);

} // namespace pwtest
