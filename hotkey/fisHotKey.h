#pragma once
// TfisHotKey: holds one system-wide hotkey on its own hidden window for as long
// as it exists and is enabled, and raises OnHotKey when the hotkey is pressed.
// Registration follows writes of Enabled and Key; a refusal is left in Registered.

#include "hotkey/ShortCut.h"
#include "win/Window.h"

#include <functional>
#include <string>

namespace pw {

class TfisHotKey {
public:
    TfisHotKey();
    // Releases the hotkey, then destroys the hidden window.
    ~TfisHotKey();
    TfisHotKey(const TfisHotKey&) = delete;
    TfisHotKey& operator=(const TfisHotKey&) = delete;

    // Payload: the folder path. Stored, never interpreted.
    std::string Data;

    bool Enabled() const { return enabled_; }
    // True registers (unless already registered), false releases; no test for an
    // unchanged value, so writing true again is how a refused hotkey is retried.
    void SetEnabled(bool enabled);

    TShortCut Key() const { return key_; }
    // The same value again does nothing at all (it is no retry). A different one
    // releases the hotkey held and, when enabled, registers the new combination.
    void SetKey(TShortCut key);

    bool Registered() const { return registered_; }

    // Raised on the GUI thread when the hotkey is pressed; the argument is this binding.
    std::function<void(TfisHotKey&)> OnHotKey;

    // The hidden window, or nullptr before the first registration attempt.
    HWND WindowHandle() const { return window_.Handle(); }

private:
    class HiddenWindow : public Window {
    public:
        explicit HiddenWindow(TfisHotKey& owner) : owner_(owner) {}
        HWND HandleNeeded();
        using Window::DestroyHandle;

    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        TfisHotKey& owner_;
    };

    void RegisterStep();
    void ReleaseStep();

    bool enabled_ = true;
    bool registered_ = false;
    TShortCut key_ = 0;
    HiddenWindow window_{*this};
};

} // namespace pw
