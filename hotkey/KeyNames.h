#pragma once
// Key-combination texts with the program's string table and the keyboard layout.

#include "hotkey/KeyCombination.h"

#include <string>

namespace pw {

// The eighteen texts from the string table, loaded at the first call only.
const KeyTexts& ResourceKeyTexts();

// The keyboard layout's name of a virtual key: empty when it has no scan code.
std::string LayoutKeyName(std::uint8_t virtualKey);

// The text shown in the shortcut list and the tray menu, e.g. "Ctrl+Alt+D".
std::string KeyCombinationText(KeyCombination value);

} // namespace pw
