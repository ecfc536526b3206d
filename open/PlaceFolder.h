#pragma once
// Shows a pressed key's folder where the user is working, as FolderPlacement
// decides from the window that was in front: in that file dialog, in that folder
// picker's folder box, in that Explorer window, or by bringing forward the Explorer
// window that already shows it. The thin layer between that decision and other
// programs' windows and the shell. Every message to another program's window waits
// at most kAnswerWaitMs (SMTO_ABORTIFHUNG: a window the system knows to hang is not
// waited for), and every call into the shell runs on a thread of its own for at most
// kShellWaitMs; what does not answer in time is left, and the next step is tried.
// Work that was given up never acts afterwards (see RunBounded).

#include "open/FolderPlacement.h"

#include <windows.h>

#include <functional>
#include <string>

namespace pw {

constexpr DWORD kAnswerWaitMs = 1000;
constexpr DWORD kShellWaitMs = 2000;

// The window in front as FolderPlacement reads it: its class, whether it is one of
// this process's, and its descendants. No message is sent to it.
WindowFacts FactsOf(HWND window);

// Shows the folder (which exists) by the window that was in front; the step that
// did it, NewExplorerWindow when the folder still needs a new window, or
// FileDialogClosed when a file dialog took the typed path for its file.
PlacementStep PlaceFolder(HWND windowInFront, const std::string& path);

// The text typed into a file dialog's name box for a folder: its full path with a
// closing separator, so that a dialog that finds no such folder refuses it rather
// than take it for a file name (the item dialogs, and the classic ones that ask
// for existing paths, do; a classic Save As that does not still takes it).
std::string PathTypedIntoFileDialog(const std::string& path);

// The Explorer window whose active tab shows the folder, asked of the shell's window
// list (IShellWindows::FindWindowSW, then the window's browsers); null when none
// does or the shell did not answer.
HWND FindExplorerWindowShowing(const std::string& path);

// Runs work on a thread of its own, in a COM apartment of that thread, and waits for
// it at most timeoutMs; what the work found after that is dropped. The work calls
// commit() right before its one call with an effect and makes that call only when
// commit() is true: once the wait has given up, commit() is false, so work given
// up never acts later; work that committed in time counts as done, even if it
// ends late. True when the work succeeded, or committed, in time.
bool RunBounded(std::function<bool(const std::function<bool()>& commit)> work, DWORD timeoutMs);

} // namespace pw
