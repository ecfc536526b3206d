#pragma once
// The options of the Options page. Their defaults are the ones here: a settings
// file without a key gives the default of its field.

#include "hotkey/KeyCombination.h"

#include <string>

namespace pw {

struct Options {
    // Ask before keeping a combination with fewer than two of Shift, Ctrl and Alt.
    bool warnOfWeakKeys = true;
    // The Exit button asks first.
    bool confirmExit = true;
    // A double-click in the list edits the shortcut instead of opening its folder.
    bool doubleClickEdits = false;
    // Pathwink starts in the tray at logon.
    bool runAtLogon = true;
    // Warn of (and mark) Ctrl+Alt combinations that type a character with AltGr.
    bool warnOfAltGr = true;

    // The key combination that shows every folder (0: none). Ctrl+Alt+Space: two
    // modifiers, no character on any layout's AltGr, and none of Windows' own.
    KeyCombination showAllFoldersKey = kWithCtrl | kWithAlt | 0x20; // VK_SPACE
    // A pressed key's folder goes into the file dialog or Explorer window in front,
    // or to the window that already shows it; off, it opens in a new window.
    bool openInFront = true;
    // The terminal a folder opens in: a known one's name or another program's path
    // (see TerminalSetting); empty for the first one installed.
    std::string terminal;
};

} // namespace pw
