#pragma once
// Texts built from a shortcut for the list and the tray menu, free of Win32.

#include <string>

namespace pw {

// List row: the key text (or "(No HotKey)" for key 0), a tab, the path as stored.
std::string ShortcutRowText(bool hasKey, const std::string& keyText, const std::string& path);

// The list's item hint shows the row with every tab as eight spaces.
std::string HintText(const std::string& row);

// Tray menu entry: the path with '&' doubled so the menu shows it as typed, then
// a tab and the key text when the key is not 0.
std::string MenuEntryText(const std::string& path, const std::string& keyText, bool hasKey);

// A copy-data block whose dwData is this holds UTF-16LE text; any other, ANSI text.
constexpr unsigned long kCopyDataUtf16 = 0xFEFF;
// The text a copy-data block hands over: at most size bytes, up to the first NUL
// (ANSI bytes as they are).
std::string CopyDataText(const void* data, unsigned long size);
// The same for UTF-16LE text: at most size bytes (an odd last byte is ignored),
// up to the first NUL character.
std::wstring CopyDataUtf16Text(const void* data, unsigned long size);

} // namespace pw
