#pragma once
// Texts built from a shortcut for the list and the tray menu, free of Win32.

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace pw {

// What a shortcut's key does at the moment besides opening its folder.
struct KeyMarks {
    bool inactive = false;      // enabled but not registered: another program holds it
    std::string altGrCharacter; // the character it takes from AltGr on a loaded layout, or ""
};
// The key text with its marks: "Ctrl+Alt+D (inactive)", "Ctrl+Alt+E (takes €)". An
// inactive key takes nothing, so it is marked inactive only. No marks: keyText as it is.
std::string MarkedKeyText(const std::string& keyText, const KeyMarks& marks);

// The tray icon's tooltip: "Pathwink", or "Pathwink (2 shortcuts inactive)".
std::string TrayTooltipText(int inactiveCount);
// A shortcut whose combination is held elsewhere: by another program, or by
// another shortcut of the table (a file edited by hand can bind one twice).
struct InactiveShortcut {
    std::string keyText;
    std::string path;
    bool heldByAnotherShortcut = false;
};
// The notification about inactive shortcuts: a title within 63 UTF-16 units, and a
// line per shortcut ("Ctrl+Alt+D for C:\Projects is used by another program.", or
// "... is already the key of another shortcut.") within 255 units; what does not
// fit ends in "...and N more.".
std::string InactiveNoticeTitle(int inactiveCount);
std::string InactiveNoticeText(const std::vector<InactiveShortcut>& shortcuts);

// List row: the key text (or "(No HotKey)" for key 0), a tab, the path as stored.
std::string ShortcutRowText(bool hasKey, const std::string& keyText, const std::string& path);

// The list's item hint shows the row with every tab as eight spaces.
std::string HintText(const std::string& row);

// Tray menu entry: the path, shortened in its middle to maxPathUnits UTF-16 units
// when longer, with a blank for each control character (a tab would start the key
// column) and '&' doubled so the menu shows it as typed, then a tab and the key
// text when the key is not 0.
std::string MenuEntryText(const std::string& path, const std::string& keyText, bool hasKey,
                          std::size_t maxPathUnits = static_cast<std::size_t>(-1));

} // namespace pw
