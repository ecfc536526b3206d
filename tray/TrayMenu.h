#pragma once
// The tray icon's menu: an entry per folder shortcut (Shift held while choosing one
// opens it in a terminal), then Configure Shortcuts,
// Configure Options, About Pathwink, Show all folders, Help and Exit Pathwink. Built anew at every
// opening, so folder entries never accumulate and no separator ever stands first,
// last or doubled.

#include "win/Scoped.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pw {

class TrayMenu {
public:
    struct FolderEntry {
        std::string text; // what the entry shows
        std::string path; // what it opens: exactly the path it showed
    };
    enum class Command {
        None,
        ConfigureShortcuts,
        ConfigureOptions,
        About,
        Help,
        Exit,
        OpenFolder,
        OpenFolderInTerminal, // a folder entry chosen with Shift held
        ShowAllFolders
    };
    struct Choice {
        Command command = Command::None;
        std::string folder; // for OpenFolder and OpenFolderInTerminal
    };

    // showAllFolders is the text of the entry that shows all folders (with its key).
    void Build(std::vector<FolderEntry> folders, const std::string& showAllFolders);
    // Shows the menu at `at` (aligned as the system aligns menus: right-aligned
    // where drop-down menus are) for owner and returns what the user chose.
    Choice Show(HWND owner, POINT at) const;
    // The menu last built.
    HMENU Handle() const { return menu_.Get(); }

private:
    UniqueMenu menu_;
    std::vector<FolderEntry> folders_;
};

} // namespace pw
