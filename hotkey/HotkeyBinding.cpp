#include "hotkey/HotkeyBinding.h"

namespace pw {

namespace {
constexpr char kHiddenWindowClass[] = "PathwinkHotKeyWindow";
}

HotkeyBinding::HotkeyBinding() = default;

HotkeyBinding::~HotkeyBinding() {
    ReleaseStep();
    window_.DestroyHandle();
}

void HotkeyBinding::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (enabled)
        RegisterStep();
    else
        ReleaseStep();
}

void HotkeyBinding::SetKey(KeyCombination key) {
    if (key == key_)
        return;
    key_ = key;
    ReleaseStep();
    if (enabled_)
        RegisterStep();
}

void HotkeyBinding::RegisterStep() {
    if (registered_)
        return;
    std::uint16_t key;
    ShiftState shift;
    SplitShortCut(key_, key, shift);
    HWND hwnd = window_.HandleNeeded();
    registered_ = hwnd && RegisterHotKey(hwnd, 0, RegistrationModifiers(shift), key & 0xFF);
}

void HotkeyBinding::ReleaseStep() {
    if (!registered_)
        return;
    UnregisterHotKey(window_.Handle(), 0);
    registered_ = false;
}

HWND HotkeyBinding::HiddenWindow::HandleNeeded() {
    if (!Handle()) {
        RegisterWindowClass(kHiddenWindowClass);
        // A message-only window of this GUI thread: WM_HOTKEY is posted to this
        // thread's queue and dispatched by any of its loops. (Children of the desktop
        // would do as well, but grow slower to create the more there are.)
        Create(0, kHiddenWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    return Handle();
}

LRESULT HotkeyBinding::HiddenWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The handler may run a modal loop in which this binding is freed: it runs from
    // a copy, and only the window handle is used after it.
    HWND hwnd = Handle();
    if (msg == WM_HOTKEY && owner_.OnHotKey) {
        auto handler = owner_.OnHotKey;
        handler(owner_);
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

} // namespace pw
