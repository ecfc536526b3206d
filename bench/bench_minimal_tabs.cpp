// The second yardstick: what the platform costs a program built like Pathwink. It
// carries Pathwink's resources (the manifest that selects Common Controls 6, the
// icon, the version information), initialises the common controls and creates one
// hidden window with one tab control, then waits in its message loop. The
// benchmarks end it.

#include <windows.h>

#include <commctrl.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY)
        PostQuitMessage(0);
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

} // namespace

int WINAPI WinMain(HINSTANCE inst, HINSTANCE, LPSTR, int) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSW wc{};
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = inst;
    wc.lpszClassName = L"MinimalTabsBenchWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"minimal tabs",
                                  WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN, 0, 0, 470, 320,
                                  nullptr, nullptr, inst, nullptr);
    HWND tabs = CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, 3,
                                6, 451, 233, window, nullptr, inst, nullptr);
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = const_cast<wchar_t*>(L"Page");
    TabCtrl_InsertItem(tabs, 0, &item);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        DispatchMessageW(&msg);
    return 0;
}
