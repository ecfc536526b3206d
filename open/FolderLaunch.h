#pragma once
// Opening a folder in Explorer. The folder is tested afresh at every call and,
// on a thread of its own, shown by the window that was in front (see PlaceFolder)
// or handed to the shell's "explore" verb, so that a folder that does not answer
// (a network share that is gone) or a window in front that hangs never holds up
// the program's window thread; a missing folder, or a launch the shell refuses, is
// told on the window thread once it is known. A path the shell cannot open (kShellPathLimit or
// longer: Explorer has no way to show it, and some shells die of it) is never handed to it.

#include "open/PlaceFolder.h"
#include "open/Terminal.h"

#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>

namespace pw {

// The texts of the messages a launch may end in. A path too long for the box is
// shown shortened in its middle (the box asks for it so, see PlainMessage).
// "The folder "<path>" does not exist or is inaccessible. Please open ..."
std::string MissingFolderText(const std::string& path);
// "Windows could not open the folder "<path>"." and the reason on its own line.
std::string LaunchFailedText(const std::string& path, const std::string& reason);
// The folder exists but its path is too long for Explorer.
std::string PathTooLongToOpenText(const std::string& path);
// The folder was gone when the file dialog in front took its typed path, and the
// dialog closed with that path as the file it chose.
std::string DialogChoseFileText(const std::string& path, const std::string& chosen);
// "Pathwink could not start the terminal "<program>" in the folder "<path>"." and
// the reason on its own line.
std::string TerminalFailedText(const std::string& program, const std::string& path,
                               const std::string& reason);

// The path as the file functions take it: a long one (MAX_PATH or more) with the
// prefix that lifts that limit ("\\?\" or "\\?\UNC\"), any other as it is.
std::wstring FileSystemPath(const std::string& path);
// GetFileAttributes succeeds and reports a directory; the path is taken as typed.
bool IsExistingDirectory(const std::string& path);
// The same for anything but a directory.
bool IsExistingFile(const std::string& path);
// The shell's "explore" verb for path: 0, or the system's error code;
// ERROR_FILENAME_EXCED_RANGE, without asking the shell, for a path of kShellPathLimit
// UTF-16 units or more.
DWORD ExploreFolder(const std::string& path);

// What a launch does off the window thread, in this order; tests replace any step.
struct FolderShell {
    std::function<bool(const std::string&)> isFolder = IsExistingDirectory;
    // Given the window that was in front: NewExplorerWindow when it did not show the folder.
    std::function<PlacementStep(HWND, const std::string&)> place = PlaceFolder;
    std::function<DWORD(const std::string&)> open = ExploreFolder;
    // Given the [Options] terminal setting, for a terminal instead of Explorer.
    std::function<TerminalStart(const std::string&, const std::string&)> terminal = StartTerminal;
};

class FolderLaunch {
public:
    // Each launch's end is posted to resultWindow as kLaunchDoneMessage; the window
    // hands its wParam to OnLaunchDone, on the thread that started the launch.
    explicit FolderLaunch(HWND resultWindow, FolderShell shell = FolderShell());
    // Launches still under way finish on their own; what they find is no longer told.
    ~FolderLaunch();
    FolderLaunch(const FolderLaunch&) = delete;
    FolderLaunch& operator=(const FolderLaunch&) = delete;

    // What a launch does when the folder is not there.
    enum class IfMissing { Tell, StaySilent };

    // Starts the check and the launch and returns at once. Without windowInFront the
    // folder opens in a new Explorer window; with it (the foreground window when the
    // key was pressed, null for none) it goes where PlaceFolder puts it, and into a
    // new window only when that did not show it. A folder whose missing message is
    // still open gets no second one: that message comes to the front.
    void OpenFolder(const std::string& path, IfMissing ifMissing = IfMissing::Tell,
                    std::optional<HWND> windowInFront = std::nullopt);
    // The same for the terminal that terminalSetting stands for (see StartTerminal):
    // a missing folder is told, and so is a terminal that cannot start.
    void OpenInTerminal(const std::string& path, const std::string& terminalSetting);

    // What the launch that kLaunchDoneMessage names found is told, if it is one of ours
    // and done; otherwise (a message another program posted) nothing happens.
    void OnLaunchDone(WPARAM number);

private:
    struct Job;
    void Start(std::shared_ptr<Job> job);
    static DWORD WINAPI RunJob(void* job);
    void Finish(const Job& job);

    HWND resultWindow_;
    FolderShell shell_;
    // Jobs started and not yet told back, by the number their done message carries.
    std::unordered_map<WPARAM, std::shared_ptr<Job>> jobs_;
    WPARAM lastJobNumber_ = 0;
    // Folders whose missing message is open, with its window once it shows.
    std::map<std::string, HWND> missingShown_;
};

} // namespace pw
