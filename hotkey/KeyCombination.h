#pragma once
// Key combinations: one 16-bit value everywhere (virtual key in bits 0-7,
// Shift 0x2000, Ctrl 0x4000, Alt 0x8000; 0 = no hotkey). Pure logic, no Win32.

#include "win/ResourceIds.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace pw {

using KeyCombination = std::uint16_t;

// The modifier bits of a key combination: the one encoding of Shift, Ctrl and Alt
// inside the program. The system's two others (RegisterHotKey's MOD_* and the
// hot-key control's HOTKEYF_*) are converted to and from it here only.
constexpr KeyCombination kWithShift = 0x2000;
constexpr KeyCombination kWithCtrl = 0x4000;
constexpr KeyCombination kWithAlt = 0x8000;
constexpr KeyCombination kAnyModifier = kWithShift | kWithCtrl | kWithAlt;

// The virtual-key code of a combination (its low byte).
constexpr std::uint8_t VirtualKeyOf(KeyCombination value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

// Weak: fewer than two of Shift, Ctrl and Alt, and not 0 (0 is "no hotkey").
bool IsWeakShortcut(KeyCombination value);

// RegisterHotKey's flags for the combination's modifiers (MOD_ALT 1, MOD_CONTROL 2,
// MOD_SHIFT 4) with MOD_NOREPEAT (0x4000), so that a held combination is one press.
unsigned RegistrationModifiers(KeyCombination value);

// The hot-key control's value (HOTKEYF_SHIFT 1, _CONTROL 2, _ALT 4, _EXT 8 in the
// high byte) to a key combination; the extended-key flag is dropped.
KeyCombination KeyCombinationFromHotkeyControl(std::uint16_t controlValue);
// The other way: the control's modifier byte (HOTKEYF_SHIFT, _CONTROL, _ALT) of a value.
std::uint8_t HotkeyControlModifiersOf(KeyCombination value);

// The texts of the string table, in the order its one list gives (win/ResourceIds.h).
#define PW_KEY_TEXT_NAME(offset, name, text) kt##name = offset,
enum KeyText { PW_KEY_TEXTS(PW_KEY_TEXT_NAME) ktCount };
#undef PW_KEY_TEXT_NAME
using KeyTexts = std::array<std::string, ktCount>;

// Names a key the table does not cover (the keyboard layout's name; may be empty).
using LayoutKeyNameFn = std::function<std::string(std::uint8_t virtualKey)>;

// The display text: "Shift+", "Ctrl+", "Alt+" as set, then the key's name; empty
// when the key has no name (modifiers alone are never rendered).
std::string KeyCombinationText(KeyCombination value, const KeyTexts& texts,
                               const LayoutKeyNameFn& layoutName);

} // namespace pw
