#pragma once
// HotKeyField: the hot-key edit control (msctls_hotkey32) with the value converted to
// and from a key combination, and the control's rules kept beside it.

#include "hotkey/KeyCombination.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace pw {

// Modifiers, with the bit values of HOTKEYF_SHIFT, _CONTROL, _ALT and _EXT.
using HotKeyModifiers = std::uint8_t;
constexpr HotKeyModifiers hkShift = 0x01;
constexpr HotKeyModifiers hkCtrl = 0x02;
constexpr HotKeyModifiers hkAlt = 0x04;
constexpr HotKeyModifiers hkExt = 0x08;

// Refused modifier combinations, with the bit values of HKCOMB_NONE ... HKCOMB_SCA.
using RefusedCombinations = std::uint8_t;
constexpr RefusedCombinations hcNone = 0x01;
constexpr RefusedCombinations hcShift = 0x02;
constexpr RefusedCombinations hcCtrl = 0x04;
constexpr RefusedCombinations hcAlt = 0x08;
constexpr RefusedCombinations hcShiftCtrl = 0x10;
constexpr RefusedCombinations hcShiftAlt = 0x20;
constexpr RefusedCombinations hcCtrlAlt = 0x40;
constexpr RefusedCombinations hcShiftCtrlAlt = 0x80;

class HotKeyField {
public:
    HotKeyField() = default;
    HotKeyField(const HotKeyField&) = delete;
    HotKeyField& operator=(const HotKeyField&) = delete;

    // Creates the control window (a child of parent, destroyed with it) and hands
    // it the rules and the value held at this moment.
    HWND Create(HWND parent, int id, int x, int y, int width, int height);
    HWND Handle() const { return hwnd_; }

    // Reading asks the window; as a side effect the modifiers and the key become
    // the window's. HOTKEYF_EXT is dropped from the result.
    KeyCombination HotKey();
    // Writing sets key and modifiers and sends the value; the rules are not resent.
    void SetHotKey(KeyCombination value);

    HotKeyModifiers Modifiers() const { return modifiers_; }
    // A changed set sends the rules and then the value.
    void SetModifiers(HotKeyModifiers modifiers);

    RefusedCombinations InvalidKeys() const { return invalidKeys_; }
    void SetInvalidKeys(RefusedCombinations invalidKeys);

    std::function<void(HotKeyField&)> OnChange;
    // The parent forwards the control's WM_COMMAND notification codes here.
    void HandleNotification(WORD code);

private:
    void SendRules();
    void SendHotKey();

    HWND hwnd_ = nullptr;
    std::uint16_t key_ = 0x41; // the A key with Alt, until someone writes a value
    HotKeyModifiers modifiers_ = hkAlt;
    RefusedCombinations invalidKeys_ = hcNone | hcShift;
};

} // namespace pw
