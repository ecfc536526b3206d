#pragma once
// THotKey: the hot-key edit control (msctls_hotkey32) with the value converted to
// and from a key combination, and the control's rules kept beside it.

#include "hotkey/ShortCut.h"

#include <windows.h>

#include <cstdint>
#include <functional>

namespace pw {

// Modifiers, with the bit values of HOTKEYF_SHIFT, _CONTROL, _ALT and _EXT.
using THKModifiers = std::uint8_t;
constexpr THKModifiers hkShift = 0x01;
constexpr THKModifiers hkCtrl = 0x02;
constexpr THKModifiers hkAlt = 0x04;
constexpr THKModifiers hkExt = 0x08;

// Refused modifier combinations, with the bit values of HKCOMB_NONE ... HKCOMB_SCA.
using THKInvalidKeys = std::uint8_t;
constexpr THKInvalidKeys hcNone = 0x01;
constexpr THKInvalidKeys hcShift = 0x02;
constexpr THKInvalidKeys hcCtrl = 0x04;
constexpr THKInvalidKeys hcAlt = 0x08;
constexpr THKInvalidKeys hcShiftCtrl = 0x10;
constexpr THKInvalidKeys hcShiftAlt = 0x20;
constexpr THKInvalidKeys hcCtrlAlt = 0x40;
constexpr THKInvalidKeys hcShiftCtrlAlt = 0x80;

class THotKey {
public:
    THotKey() = default;
    THotKey(const THotKey&) = delete;
    THotKey& operator=(const THotKey&) = delete;

    // Creates the control window (a child of parent, destroyed with it) and hands
    // it the rules and the value held at this moment.
    HWND Create(HWND parent, int id, int x, int y, int width, int height);
    HWND Handle() const { return hwnd_; }

    // Reading asks the window; as a side effect the modifiers and the key become
    // the window's. HOTKEYF_EXT is dropped from the result.
    TShortCut HotKey();
    // Writing sets key and modifiers and sends the value; the rules are not resent.
    void SetHotKey(TShortCut value);

    THKModifiers Modifiers() const { return modifiers_; }
    // A changed set sends the rules and then the value.
    void SetModifiers(THKModifiers modifiers);

    THKInvalidKeys InvalidKeys() const { return invalidKeys_; }
    void SetInvalidKeys(THKInvalidKeys invalidKeys);

    std::function<void(THotKey&)> OnChange;
    // The parent forwards the control's WM_COMMAND notification codes here.
    void HandleNotification(WORD code);

private:
    void SendRules();
    void SendHotKey();

    HWND hwnd_ = nullptr;
    std::uint16_t key_ = 0x41; // the A key with Alt, until someone writes a value
    THKModifiers modifiers_ = hkAlt;
    THKInvalidKeys invalidKeys_ = hcNone | hcShift;
};

} // namespace pw
