#pragma once
// Base of every window class of the program: one static window procedure that
// finds the object through GWLP_USERDATA and forwards to HandleMessage. No C++
// exception ever leaves the procedure: it ends in the default error report.

#include <windows.h>

namespace pw {

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND Handle() const { return hwnd_; }

protected:
    // Registers a class whose procedure is Window's; repeated calls are harmless.
    static void RegisterWindowClass(const char* className, UINT classStyle = 0,
                                    HBRUSH background = nullptr, HICON icon = nullptr);
    HWND Create(DWORD exStyle, const char* className, const char* title, DWORD style, int x, int y,
                int width, int height, HWND parent);
    // Destroys the native window now (the object stays usable for a new Create).
    void DestroyHandle();

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
};

// What draws in a window it does not own (the configuration pages in the program's
// window): the window offers it each message that is not the window's own.
class WindowView {
public:
    // True when the view took the message, with the result to return.
    virtual bool HandleViewMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;

protected:
    ~WindowView() = default;
};

// Brings the visible, enabled window that owner shows last activated (a dialog, a
// question, the folder browser) to the front; false when it shows none.
bool BringOwnedPopupForward(HWND owner);

} // namespace pw
