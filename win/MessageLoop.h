#pragma once
// The program's message loops: the main one and the nested one of a modal window.
// Both give the active window dialog navigation (Tab, arrows, mnemonics).

#include <windows.h>

#include <functional>

namespace pw {

// Translates and dispatches one message, through IsDialogMessage for the
// thread's active window.
void DispatchWithDialogKeys(MSG& msg);

// Runs until WM_QUIT; returns its exit code.
int RunMessageLoop();

// Runs a nested loop until done() holds. A WM_QUIT met here is posted again so
// that the outer loop ends too; returns false in that case.
bool RunModalLoop(const std::function<bool()>& done);

} // namespace pw
