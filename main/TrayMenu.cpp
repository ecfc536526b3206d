// The tray menu: one entry per folder shortcut (rebuilt from the table at every
// opening, in table order), then the configuration entries, help and exit.

#include "main/MainForm.h"

#include "hotkey/KeyNames.h"
#include "main/RowText.h"

namespace pw {

namespace {

enum MenuId : UINT {
    idConfigureShortcuts1 = 1,
    idConfigureOptions1,
    idAbout1,
    idHelp1,
    idDisableandExit1,
    idFirstFolderItem = 1000,
};

} // namespace

void TPathwinkMainForm::PopupMenuTrayPopup() {
    // The menu is built anew at every opening, so folder entries never accumulate
    // and no separator ever stands first, last or doubled.
    trayMenu_.Reset(CreatePopupMenu());
    HMENU menu = trayMenu_.Get();
    folderItems_.clear();
    for (int i = 0; i < table_.Count(); ++i) {
        const TShortCut key = table_.Binding(i).Key();
        const std::string text =
            MenuEntryText(table_.Path(i), key ? KeyCombinationText(key) : "", key != 0);
        AppendMenuA(menu, MF_STRING, idFirstFolderItem + i, text.c_str());
        folderItems_.push_back(table_.Path(i));
    }
    if (!folderItems_.empty())
        AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); // N3_TopOfMenu
    AppendMenuA(menu, MF_STRING, idConfigureShortcuts1, "Configure Shortcuts");
    AppendMenuA(menu, MF_STRING, idConfigureOptions1, "Configure Options");
    AppendMenuA(menu, MF_STRING, idAbout1, "About Pathwink");
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr); // N1
    AppendMenuA(menu, MF_STRING, idHelp1, "Help");
    AppendMenuA(menu, MF_STRING, idDisableandExit1, "Exit Pathwink");
}

void TPathwinkMainForm::ShowTrayMenu(POINT at) {
    PopupMenuTrayPopup();
    const UINT chosen = TrackPopupMenuEx(trayMenu_.Get(),
                                         TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD |
                                             TPM_NONOTIFY,
                                         at.x, at.y, Handle(), nullptr);
    switch (chosen) {
    case 0: return;
    case idConfigureShortcuts1: ConfigureShortcuts1Click(); return;
    case idConfigureOptions1: ConfigureOptions1Click(); return;
    case idAbout1: About1Click(); return;
    case idHelp1: Help1Click(); return;
    case idDisableandExit1: DisableandExit1Click(); return;
    }
    const size_t index = chosen - idFirstFolderItem;
    if (chosen >= idFirstFolderItem && index < folderItems_.size())
        FolderItemClick(folderItems_[index]);
}

void TPathwinkMainForm::FolderItemClick(const std::string& caption) {
    // The entry carries its own copy of the path: it opens what it showed,
    // whatever happened to the table while the menu was open.
    const std::string path = caption;
    OpenFolder(path);
}

} // namespace pw
