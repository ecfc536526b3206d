#pragma once
// What the list, the tray menu, the tray icon's tooltip and the inactive notice
// show of the shortcut table: each key's text with its marks (inactive, or the
// character it takes from AltGr on a loaded keyboard layout when that warning is on).

#include "hotkey/AltGrCharacters.h"
#include "main/RowText.h"
#include "store/Options.h"
#include "store/ShortcutTable.h"
#include "tray/TrayMenu.h"

#include <string>
#include <vector>

namespace pw {

class ShortcutDisplay {
public:
    ShortcutDisplay(const ShortcutTable& table, const Options& options,
                    const KeyboardLookups& keyboard)
        : table_(table), options_(options), keyboard_(keyboard) {}

    std::vector<std::string> ListRows() const;
    // The menu marks inactive keys only: no layouts are asked, no AltGr characters.
    std::vector<TrayMenu::FolderEntry> MenuEntries() const;
    std::string Tooltip() const;
    // The tray menu's entry that shows all folders: "Show all folders", a tab and the
    // key with its inactive mark when there is a key.
    std::string ShowAllFoldersEntry(const HotkeyBinding& binding) const;
    // The shortcuts another program (or another shortcut) holds the key of.
    std::vector<InactiveShortcut> InactiveShortcuts() const;

private:
    // The key text with its marks; "" for no key.
    std::string KeyText(int index, const std::vector<HKL>& layouts) const;

    const ShortcutTable& table_;
    const Options& options_;
    const KeyboardLookups& keyboard_;
};

} // namespace pw
