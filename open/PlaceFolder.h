#pragma once
// Shows a pressed key's folder where the user is working, as FolderPlacement
// decides from the window that was in front: in that file dialog, in that
// Explorer window, or by bringing forward the Explorer window that already shows
// it. The thin layer between that decision and other programs' windows and the
// shell. Every message to another program's window waits at most kAnswerWaitMs
// (SMTO_ABORTIFHUNG: a window the system knows to hang is not waited for), and
// every call into the shell runs on a thread of its own for at most kShellWaitMs;
// what does not answer in time is left, and the next step is tried.

#include "open/FolderPlacement.h"

#include <windows.h>

#include <string>

namespace pw {

constexpr DWORD kAnswerWaitMs = 1000;
constexpr DWORD kShellWaitMs = 2000;

// The window in front as FolderPlacement reads it: its class, whether it is one of
// this process's, and its descendants. No message is sent to it.
WindowFacts FactsOf(HWND window);

// Shows the folder (which exists) by the window that was in front; the step that
// did it, or NewExplorerWindow when the folder still needs a new window.
PlacementStep PlaceFolder(HWND windowInFront, const std::string& path);

// The Explorer window that shows the folder, asked of the shell's window list
// (IShellWindows::FindWindowSW); null when none does or the shell did not answer.
HWND FindExplorerWindowShowing(const std::string& path);

} // namespace pw
