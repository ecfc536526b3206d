#pragma once
// HotkeyBinding: holds one system-wide hotkey for as long as it exists and is
// enabled, and raises OnHotKey when the hotkey is pressed. Registration follows
// writes of Enabled and Key; a refusal is left in Registered. Every binding of a
// thread registers on one hidden message-only window of that thread, under an id
// of its own; WM_HOTKEY is dispatched by that id.

#include "hotkey/KeyCombination.h"
#include <windows.h>

#include <functional>
#include <string>

namespace pw {

class HotkeyBinding {
public:
    HotkeyBinding();
    // Releases the hotkey.
    ~HotkeyBinding();
    HotkeyBinding(const HotkeyBinding&) = delete;
    HotkeyBinding& operator=(const HotkeyBinding&) = delete;

    // The folder this binding opens. Stored, never interpreted.
    const std::string& Folder() const { return folder_; }
    void SetFolder(std::string folder) { folder_ = std::move(folder); }

    bool Enabled() const { return enabled_; }
    // True registers (unless already registered), false releases; no test for an
    // unchanged value, so writing true again is how a refused hotkey is retried.
    void SetEnabled(bool enabled);

    KeyCombination Key() const { return key_; }
    // The same value again does nothing at all (it is no retry). A different one
    // releases the hotkey held and, when enabled, registers the new combination.
    void SetKey(KeyCombination key);

    bool Registered() const { return registered_; }
    // Enabled with a key, yet not registered: the system refused the combination
    // (another program holds it), so the binding works nowhere until a retry succeeds.
    bool Refused() const { return enabled_ && key_ != 0 && !registered_; }

    // Raised on the GUI thread when the hotkey is pressed; the argument is this binding.
    std::function<void(HotkeyBinding&)> OnHotKey;

    // The window the hotkey is registered on while it is held, else nullptr.
    HWND WindowHandle() const;
    // The id it is registered under (unique among the thread's bindings).
    int Id() const { return id_; }

private:
    void RegisterStep();
    void ReleaseStep();

    std::string folder_;
    bool enabled_ = true;
    bool registered_ = false;
    KeyCombination key_ = 0;
    int id_;
};

} // namespace pw
