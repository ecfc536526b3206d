#include "win/MessageLoop.h"

namespace pw {

void DispatchWithDialogKeys(MSG& msg) {
    HWND active = GetActiveWindow();
    if (active && IsDialogMessageW(active, &msg))
        return;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
}

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchWithDialogKeys(msg);
    return static_cast<int>(msg.wParam);
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
            return false;
        DispatchWithDialogKeys(msg);
    }
    return true;
}

} // namespace pw
