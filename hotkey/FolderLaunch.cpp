#include "hotkey/FolderLaunch.h"

#include "hotkey/HotkeyBinding.h"
#include "win/Messages.h"

#include <shellapi.h>

namespace pw {

std::string MissingFolderText(const std::string& path) {
    return "The folder \"" + path +
           "\" does not exist or is inaccessible. Please open the Pathwink configuration tab "
           "to delete or edit this folder shortcut.";
}

bool IsExistingDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void FolderLaunch::OpenFolder(const std::string& path) const {
    if (IsExistingDirectory(path)) {
        ShellExecuteA(ownerWindow_ ? ownerWindow_() : nullptr, "explore", path.c_str(), nullptr,
                      nullptr, SW_SHOWNORMAL);
    } else {
        PlainMessage(MissingFolderText(path));
    }
}

void FolderLaunch::OpenBindingFolder(HotkeyBinding& sender) const {
    // A copy: the binding may be freed while the missing-folder message is open.
    const std::string path = sender.Folder();
    OpenFolder(path);
}

} // namespace pw
