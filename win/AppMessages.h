#pragma once
// The program's own window messages, numbered in one place so that no two collide.
// Each names the window it is for; none is ever taken as a pointer, since any
// program can post any of them.

#include <windows.h>

namespace pw {

// The tray icon's notifications from the shell, to the tray icon's window.
constexpr UINT kTrayIconMessage = WM_APP + 1;
// To the main window: start the flow of a folder that waited for another flow.
constexpr UINT kRunQueuedFlowMessage = WM_APP + 2;
// To the launcher's window: a launch thread is done (wParam is its number).
constexpr UINT kLaunchDoneMessage = WM_APP + 3;
// To the main window at the end of the start-up: what can wait until the program is ready.
constexpr UINT kFinishStartMessage = WM_APP + 4;
// To the folder switcher: a row was clicked (wParam is its index), after the list took the click.
constexpr UINT kSwitcherRowClickedMessage = WM_APP + 9;

} // namespace pw
