#pragma once
// Key combinations: one 16-bit value everywhere (virtual key in bits 0-7,
// Shift 0x2000, Ctrl 0x4000, Alt 0x8000; 0 = no hotkey). Pure logic, no Win32.

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace pw {

using KeyCombination = std::uint16_t;

// Modifier set with the bit values of the user-interface library's shift state.
using ShiftState = std::uint8_t;
constexpr ShiftState ssShift = 1;
constexpr ShiftState ssAlt = 2;
constexpr ShiftState ssCtrl = 4;

constexpr KeyCombination scShift = 0x2000;
constexpr KeyCombination scCtrl = 0x4000;
constexpr KeyCombination scAlt = 0x8000;

// A key with a non-zero high byte cannot be composed and yields 0.
KeyCombination ComposeShortCut(std::uint16_t key, ShiftState shift);
// The key keeps bits 8-12 (value AND 0x1FFF); the set holds the three modifiers.
void SplitShortCut(KeyCombination value, std::uint16_t& key, ShiftState& shift);

// Weak: fewer than two of Shift, Ctrl and Alt, and not 0 (0 is "no hotkey").
bool IsWeakShortCut(KeyCombination value);

// RegisterHotKey's flags: MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4; nothing else.
unsigned RegistrationModifiers(ShiftState shift);

// The hot-key control's value (HOTKEYF_SHIFT 1, _CONTROL 2, _ALT 4, _EXT 8 in the
// high byte) to a key combination; the extended-key flag is dropped.
KeyCombination ShortCutFromHotKeyValue(std::uint16_t controlValue);
// The other way: the control's modifier byte (HOTKEYF_SHIFT, _CONTROL, _ALT) of a value.
std::uint8_t HotKeyModifiersOf(KeyCombination value);

// The texts of the string table, in this order: BkSp, Tab, Esc, Enter, Space, PgUp,
// PgDn, End, Home, Left, Up, Right, Down, Ins, Del, Shift+, Ctrl+, Alt+.
enum KeyText {
    ktBkSp,
    ktTab,
    ktEsc,
    ktEnter,
    ktSpace,
    ktPgUp,
    ktPgDn,
    ktEnd,
    ktHome,
    ktLeft,
    ktUp,
    ktRight,
    ktDown,
    ktIns,
    ktDel,
    ktShift,
    ktCtrl,
    ktAlt,
    ktCount
};
using KeyTexts = std::array<std::string, ktCount>;

// Names a key the table does not cover (the keyboard layout's name; may be empty).
using LayoutKeyNameFn = std::function<std::string(std::uint8_t virtualKey)>;

// The display text: "Shift+", "Ctrl+", "Alt+" as set, then the key's name; empty
// when the key has no name (modifiers alone are never rendered).
std::string KeyCombinationText(KeyCombination value, const KeyTexts& texts,
                               const LayoutKeyNameFn& layoutName);

} // namespace pw
