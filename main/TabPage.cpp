#include "main/TabPage.h"
#include "win/ProgramName.h"

namespace pw {

TabPage::TabPage(HWND window, int id) : window_(window) {
    RegisterWindowClass(PATHWINK_NAME "Page", 0, GetSysColorBrush(COLOR_BTNFACE));
    Create(WS_EX_CONTROLPARENT, PATHWINK_NAME "Page", "",
           WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, window);
    SetWindowLongPtrW(Handle(), GWLP_ID, id);
}

LRESULT TabPage::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORLISTBOX:
    case WM_CONTEXTMENU: // with the control it is for, which DefWindowProc would not keep
        return SendMessageW(window_, msg, wParam, lParam);
    case WM_SETCURSOR:
        if (SendMessageW(window_, msg, wParam, lParam))
            return TRUE;
        break;
    }
    return Window::HandleMessage(msg, wParam, lParam);
}

} // namespace pw
