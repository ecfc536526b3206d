// The tray menu: one entry per folder shortcut (rebuilt from the table at every
// opening, in table order), then the configuration entries, help and exit.

#include "main/MainWindow.h"

#include "hotkey/KeyNames.h"
#include "main/RowText.h"

namespace pw {

namespace {

enum MenuId : UINT {
    kMenuConfigureShortcuts = 1,
    kMenuConfigureOptions,
    kMenuAbout,
    kMenuHelp,
    kMenuExit,
    kMenuFirstFolder = 1000,
};

} // namespace

void MainWindow::BuildTrayMenu() {
    // The menu is built anew at every opening, so folder entries never accumulate
    // and no separator ever stands first, last or doubled.
    trayMenu_.Reset(CreatePopupMenu());
    HMENU menu = trayMenu_.Get();
    folderItems_.clear();
    for (int i = 0; i < table_.Count(); ++i) {
        const KeyCombination key = table_.Binding(i).Key();
        const std::string text =
            MenuEntryText(table_.Path(i), key ? KeyCombinationText(key) : "", key != 0);
        AppendMenuA(menu, MF_STRING, kMenuFirstFolder + i, text.c_str());
        folderItems_.push_back(table_.Path(i));
    }
    if (!folderItems_.empty())
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); // N3_TopOfMenu
    AppendMenuA(menu, MF_STRING, kMenuConfigureShortcuts, "Configure Shortcuts");
    AppendMenuA(menu, MF_STRING, kMenuConfigureOptions, "Configure Options");
    AppendMenuA(menu, MF_STRING, kMenuAbout, "About Pathwink");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); // N1
    AppendMenuA(menu, MF_STRING, kMenuHelp, "Help");
    AppendMenuA(menu, MF_STRING, kMenuExit, "Exit Pathwink");
}

void MainWindow::ShowTrayMenu(POINT at) {
    BuildTrayMenu();
    const UINT chosen = TrackPopupMenuEx(trayMenu_.Get(),
                                         TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD |
                                             TPM_NONOTIFY,
                                         at.x, at.y, Handle(), nullptr);
    switch (chosen) {
    case 0: return;
    case kMenuConfigureShortcuts: OnConfigureShortcutsChosen(); return;
    case kMenuConfigureOptions: OnConfigureOptionsChosen(); return;
    case kMenuAbout: OnAboutChosen(); return;
    case kMenuHelp: OnHelpChosen(); return;
    case kMenuExit: OnExitChosen(); return;
    }
    const size_t index = chosen - kMenuFirstFolder;
    if (chosen >= kMenuFirstFolder && index < folderItems_.size())
        OnFolderChosen(folderItems_[index]);
}

void MainWindow::OnFolderChosen(const std::string& caption) {
    // The entry carries its own copy of the path: it opens what it showed,
    // whatever happened to the table while the menu was open.
    const std::string path = caption;
    OpenFolder(path);
}

} // namespace pw
