#pragma once
// Opening a folder in Explorer. The folder is tested afresh at every call and
// handed to the shell's "explore" verb on a thread of its own, so that a folder
// that does not answer (a network share that is gone) never holds up the program's
// window thread; a missing folder, or a launch the shell refuses, is told on the
// window thread once it is known.

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace pw {

class HotkeyBinding;

// "The folder "<path>" does not exist or is inaccessible. Please open ..."
std::string MissingFolderText(const std::string& path);
// "Windows could not open the folder "<path>"." and the reason on its own line.
std::string LaunchFailedText(const std::string& path, const std::string& reason);

// The path as the file functions take it: a long one (MAX_PATH or more) with the
// prefix that lifts that limit ("\\?\" or "\\?\UNC\"), any other as it is.
std::wstring FileSystemPath(const std::string& path);
// GetFileAttributes succeeds and reports a directory; the path is taken as typed.
bool IsExistingDirectory(const std::string& path);
// The shell's "explore" verb for path: 0, or the system's error code.
DWORD ExploreFolder(const std::string& path);

// What a launch does off the window thread; tests replace either step.
struct FolderShell {
    std::function<bool(const std::string&)> isFolder = IsExistingDirectory;
    std::function<DWORD(const std::string&)> open = ExploreFolder;
};

class FolderLaunch {
public:
    explicit FolderLaunch(FolderShell shell = FolderShell());
    // Launches still under way finish on their own; what they find is no longer told.
    ~FolderLaunch();
    FolderLaunch(const FolderLaunch&) = delete;
    FolderLaunch& operator=(const FolderLaunch&) = delete;

    // What a launch does when the folder is not there.
    enum class IfMissing { Tell, StaySilent };

    // Starts the check and the launch and returns at once.
    void OpenFolder(const std::string& path, IfMissing ifMissing = IfMissing::Tell);

    // The OnHotKey handler of every binding: opens the binding's folder.
    void OpenBindingFolder(HotkeyBinding& sender);

    // Launches started and not yet told back (for tests and benchmarks).
    int Pending() const { return pending_; }

private:
    class ResultWindow;
    struct Job;
    static DWORD WINAPI RunJob(void* job);
    void Finish(Job& job);

    FolderShell shell_;
    std::unique_ptr<ResultWindow> results_;
    int pending_ = 0;
};

} // namespace pw
