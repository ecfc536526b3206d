#include "win/MessageLoop.h"

#include <string>

namespace pw {

namespace {

// GetMessageW fails (-1) for a message it cannot hand over, as Wine's did for a
// WM_COPYDATA of a few megabytes: that message is lost, the loop goes on.
void NoteFailedGetMessage() {
    const std::wstring note =
        L"Pathwink: GetMessageW failed (error " + std::to_wstring(GetLastError()) + L")\n";
    OutputDebugStringW(note.c_str());
}

} // namespace

void DispatchWithDialogKeys(MSG& msg) {
    HWND active = GetActiveWindow();
    if (active && IsDialogMessageW(active, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int RunMessageLoop() {
    MSG msg;
    for (;;) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0)
            return static_cast<int>(msg.wParam);
        if (got < 0)
            NoteFailedGetMessage();
        else
            DispatchWithDialogKeys(msg);
    }
}

bool RunModalLoop(const std::function<bool()>& done) {
    MSG msg;
    while (!done()) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (got < 0)
            NoteFailedGetMessage();
        else
            DispatchWithDialogKeys(msg);
    }
    return true;
}

} // namespace pw
