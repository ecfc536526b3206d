#include "hotkey/HotkeyBinding.h"
#include "win/ProgramName.h"

#include "win/Window.h"

#include <unordered_map>

namespace pw {

namespace {

constexpr char kHiddenWindowClass[] = PATHWINK_NAME "HotKeyWindow";
// RegisterHotKey takes ids 0x0000 to 0xBFFF from applications.
constexpr int kLastId = 0xBFFF;

// The thread's one window for every binding: a message-only window (WM_HOTKEY is
// posted to this thread's queue and dispatched by any of its loops), created at
// the first registration. One window instead of one per binding: under Wine each
// window costs about a millisecond to create.
class HotkeyWindow : public Window {
public:
    static HotkeyWindow& OfThisThread() {
        thread_local HotkeyWindow window;
        return window;
    }

    HWND HandleNeeded() {
        if (!Handle()) {
            RegisterWindowClass(kHiddenWindowClass);
            Create(0, kHiddenWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
        }
        return Handle();
    }

    int Add(HotkeyBinding* binding) {
        // The next free id after the last one given; a freed id comes back last.
        for (int tries = 0; tries <= kLastId; ++tries) {
            nextId_ = nextId_ >= kLastId ? 1 : nextId_ + 1;
            if (bindings_.emplace(nextId_, binding).second)
                return nextId_;
        }
        return 0; // 49,151 bindings at once: this one can hold nothing
    }
    void Remove(int id) { bindings_.erase(id); }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_HOTKEY) {
            auto it = bindings_.find(static_cast<int>(wParam));
            if (it != bindings_.end() && it->second->OnPressed) {
                // The handler may run a modal loop in which its binding is freed:
                // it runs from a copy, and the binding is not used after it.
                auto handler = it->second->OnPressed;
                handler();
            }
            return 0;
        }
        return Window::HandleMessage(msg, wParam, lParam);
    }

private:
    std::unordered_map<int, HotkeyBinding*> bindings_;
    int nextId_ = 0;
};

} // namespace

HotkeyBinding::HotkeyBinding() : id_(HotkeyWindow::OfThisThread().Add(this)) {}

HotkeyBinding::~HotkeyBinding() {
    ReleaseStep();
    HotkeyWindow::OfThisThread().Remove(id_);
}

void HotkeyBinding::SetKey(KeyCombination key) {
    if (key == key_)
        return;
    ReleaseStep();
    key_ = key;
    RegisterStep();
}

bool HotkeyBinding::ChangeKey(KeyCombination key) {
    const KeyCombination oldKey = key_;
    const bool staysInactive = Refused() && key == oldKey;
    SetKey(key);
    Retry(); // an unchanged key that was refused may be free by now
    if (key == 0 || registered_ || staysInactive)
        return true;
    // The old key comes back before anyone is told, so that a Cancel, a save at the end
    // of the logon or a close meanwhile all find the binding exactly as it was.
    SetKey(oldKey);
    return false;
}

void HotkeyBinding::RegisterStep() {
    // Virtual key 0 would be a registration of keys that have no virtual-key code.
    if (registered_ || id_ == 0 || key_ == 0)
        return;
    HWND hwnd = HotkeyWindow::OfThisThread().HandleNeeded();
    registered_ =
        hwnd && RegisterHotKey(hwnd, id_, RegistrationModifiers(key_), VirtualKeyOf(key_));
}

void HotkeyBinding::ReleaseStep() {
    if (!registered_)
        return;
    UnregisterHotKey(HotkeyWindow::OfThisThread().Handle(), id_);
    registered_ = false;
}

} // namespace pw
