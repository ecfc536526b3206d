#include "tray/TrayMenu.h"
#include "win/ProgramName.h"

#include "win/Text.h"

namespace pw {

namespace {

enum MenuId : UINT {
    kConfigureShortcuts = 1,
    kConfigureOptions,
    kAbout,
    kHelp,
    kExit,
    kShowAllFolders,
    kFirstFolder = 1000,
};

void AppendItem(HMENU menu, UINT id, const std::string& text) {
    AppendMenuW(menu, MF_STRING, id, Wide(text).c_str());
}

} // namespace

void TrayMenu::Build(std::vector<FolderEntry> folders, const std::string& showAllFolders) {
    folders_ = std::move(folders);
    menu_.Reset(CreatePopupMenu());
    HMENU menu = menu_.Get();
    for (size_t i = 0; i < folders_.size(); ++i)
        AppendItem(menu, kFirstFolder + static_cast<UINT>(i), folders_[i].text);
    if (!folders_.empty())
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kConfigureShortcuts, "Configure Shortcuts");
    AppendItem(menu, kConfigureOptions, "Configure Options");
    AppendItem(menu, kAbout, "About " PATHWINK_NAME);
    AppendItem(menu, kShowAllFolders, showAllFolders);
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kHelp, "Help");
    AppendItem(menu, kExit, "Exit " PATHWINK_NAME);
}

TrayMenu::Choice TrayMenu::Show(HWND owner, POINT at) const {
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    const UINT chosen =
        TrackPopupMenuEx(menu_.Get(), align | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                         at.y, owner, nullptr);
    switch (chosen) {
    case 0:
        return {};
    case kConfigureShortcuts:
        return {Command::ConfigureShortcuts, {}};
    case kConfigureOptions:
        return {Command::ConfigureOptions, {}};
    case kAbout:
        return {Command::About, {}};
    case kHelp:
        return {Command::Help, {}};
    case kExit:
        return {Command::Exit, {}};
    case kShowAllFolders:
        return {Command::ShowAllFolders, {}};
    }
    const size_t index = chosen - kFirstFolder;
    // The key state as of the click or the Enter that chose the entry.
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (chosen >= kFirstFolder && index < folders_.size())
        return {shift ? Command::OpenFolderInTerminal : Command::OpenFolder, folders_[index].path};
    return {};
}

} // namespace pw
