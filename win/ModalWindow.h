#pragma once
// A window of our own shown modally, as a dialog box is: placed over its owner,
// the thread's other windows disabled while a nested message loop runs.

#include <windows.h>

#include <functional>

namespace pw {

// Centres window over owner: over the owner's rectangle when it is on the screen
// (where it comes back when restored, if minimised), otherwise in the middle of the
// work area of the owner's monitor (the primary one without an owner). Never
// placed above or left of the virtual screen.
void CentreOverOwner(HWND window, HWND owner);

// Disables the thread's other visible, enabled top-level windows, shows window,
// brings it to the front, calls focus, and runs a nested loop until done() holds.
// Afterwards the windows are enabled again, window is hidden and the window that
// was active before gets the activation back. False when a quit message ended the
// loop (it is posted again for the outer loop).
bool RunModalWindow(HWND window, const std::function<void()>& focus,
                    const std::function<bool()>& done);

// Ends every dialog box of this thread (message boxes, the folder browser, plain
// messages) as if cancelled: each returns IDCANCEL to the code that showed it.
void EndThreadDialogs();

} // namespace pw
