#pragma once
// HotkeyField: the hot-key edit control (msctls_hotkey32) with its value converted
// to and from a key combination. A key typed alone gets the default modifiers, and
// typing a key with no modifier or with Shift alone is refused by the control's rules.

#include "hotkey/KeyCombination.h"

#include <windows.h>

namespace pw {

class HotkeyField {
public:
    HotkeyField() = default;
    HotkeyField(const HotkeyField&) = delete;
    HotkeyField& operator=(const HotkeyField&) = delete;

    // Creates the control window (a child of parent, destroyed with it) and hands
    // it the rules and the value held at this moment.
    HWND Create(HWND parent, int id, int x, int y, int width, int height);
    HWND Handle() const { return hwnd_; }
    // Takes over a hot-key control its window made, and hands it the rules and the value.
    void Attach(HWND control);

    // Reading asks the window; as a side effect the modifiers and the key become
    // the window's. The extended-key flag is dropped from the result.
    KeyCombination Value();
    // Writing sets key and modifiers and sends the value; the rules are not resent.
    void SetValue(KeyCombination value);
    // The modifiers (kWithShift, kWithCtrl, kWithAlt) a key typed alone gets. A
    // changed set sends the rules and then the value.
    void SetDefaultModifiers(KeyCombination modifiers);

private:
    void SendRules();
    void SendValue();

    HWND hwnd_ = nullptr;
    KeyCombination value_ = kWithAlt | 'A'; // until someone writes a value
    KeyCombination defaultModifiers_ = kWithAlt;
};

} // namespace pw
