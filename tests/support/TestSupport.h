#pragma once
// Helpers shared by the Win32 and end-to-end tests: waiting with a deadline while
// pumping messages, finding windows, reading their texts, injecting keys.

#include <windows.h>

#include <functional>
#include <future>
#include <string>
#include <vector>

namespace pwtest {

// Pumps this thread's messages and polls pred until it holds or timeoutMs passes.
bool WaitUntil(const std::function<bool()>& pred, int timeoutMs = 5000);
void PumpFor(int ms);

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

// A folder under the temporary folder with a unique leaf name beginning with prefix.
std::string MakeTempFolder(const std::string& prefix);
void RemoveTree(const std::string& path);
std::string LeafName(const std::string& path);
// How many names (hard links) the file has; 0 when it cannot be asked.
DWORD FileNameCount(const std::string& path);

// True under Wine (ntdll exports wine_get_version), where a few controls differ.
bool RunningUnderWine();

// Key injection through SendInput: modifiers down, key down/up, modifiers up.
void TypeKey(WORD vk, bool ctrl = false, bool alt = false, bool shift = false);

// Watches from a second thread for a dialog (#32770) with the given caption in
// this process, reads its text and presses the button with buttonId. The future
// holds the text, or "<no dialog>" after timeoutMs.
std::future<std::string> AnswerDialog(const std::string& caption, int buttonId,
                                      int timeoutMs = 10000);

// An Explorer window (ExplorerWClass) whose title is the folder's leaf name.
HWND FindExplorerFor(const std::string& folder);
// Waits for such a window, closes it, and says whether it appeared.
bool WaitAndCloseExplorer(const std::string& folder, int timeoutMs = 15000);

} // namespace pwtest
