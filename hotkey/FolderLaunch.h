#pragma once
// Opening a folder in Explorer: the folder is tested afresh at every call, then
// handed to the shell's "explore" verb, or the user is told it is missing.

#include <windows.h>

#include <functional>
#include <string>

namespace pw {

class HotkeyBinding;

// "The folder "<path>" does not exist or is inaccessible. Please open ..."
std::string MissingFolderText(const std::string& path);

// GetFileAttributes succeeds and reports a directory; the path is taken as typed.
bool IsExistingDirectory(const std::string& path);

class FolderLaunch {
public:
    // ownerWindow is asked at every launch, so a window created later still counts.
    explicit FolderLaunch(std::function<HWND()> ownerWindow) : ownerWindow_(std::move(ownerWindow)) {}

    // Opens the folder or shows the missing-folder message; returns once that is closed.
    void OpenFolder(const std::string& path) const;

    // The OnHotKey handler of every binding: opens the binding's folder.
    void OpenBindingFolder(HotkeyBinding& sender) const;

private:
    std::function<HWND()> ownerWindow_;
};

} // namespace pw
