#pragma once
// HotkeyBinding: holds one system-wide hotkey for as long as it exists and has a
// key, and raises OnPressed when the hotkey is pressed. Registration follows writes
// of the key; a refusal is left in Registered, and Retry asks again. Every binding of a
// thread registers on one hidden message-only window of that thread, under an id
// of its own; WM_HOTKEY is dispatched by that id.

#include "hotkey/KeyCombination.h"
#include <windows.h>

#include <functional>

namespace pw {

class HotkeyBinding {
public:
    HotkeyBinding();
    // Releases the hotkey.
    ~HotkeyBinding();
    HotkeyBinding(const HotkeyBinding&) = delete;
    HotkeyBinding& operator=(const HotkeyBinding&) = delete;

    KeyCombination Key() const { return key_; }
    // The same value again does nothing at all (it is no retry). A different one
    // releases the hotkey held and registers the new combination. Key 0 is "no
    // hotkey" and never holds a registration.
    void SetKey(KeyCombination key);
    // Asks the system again for a refused combination.
    void Retry() { RegisterStep(); }
    // What the user asked for: key from now on, or, when the system refuses it, the key
    // held before (registered again). True when the binding has key: registered, 0, or
    // the same refused key as before, which stays inactive until its combination is free.
    bool ChangeKey(KeyCombination key);

    bool Registered() const { return registered_; }
    // A key, yet not registered: the system refused the combination (another
    // program holds it), so the binding works nowhere until a retry succeeds.
    bool Refused() const { return key_ != 0 && !registered_; }

    // Raised on the GUI thread when the hotkey is pressed (once however long it is
    // held). The handler may free this binding.
    std::function<void()> OnPressed;

private:
    void RegisterStep();
    void ReleaseStep();

    bool registered_ = false;
    KeyCombination key_ = 0;
    int id_;
};

} // namespace pw
