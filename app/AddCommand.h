#pragma once
// The commands that end at once: "add <folder>..." hands its folders to the running
// copy (when none runs, the caller starts one with them), "menu add" / "menu
// remove" write or remove Explorer's "Add to Pathwink..." for this executable, and
// "/?" shows them all.

#include "app/CommandLine.h"

#include <functional>
#include <string>
#include <vector>

namespace pw {

// The folder an argument names, as a full path the running copy can use whatever
// its own current folder is: relative to this process's current folder; a bare
// drive ("D:") is that drive's root; trailing backslashes go, except a root's.
std::string AbsoluteFolder(const std::string& argument);

enum class HandOverResult {
    Taken,       // every folder was taken: the running copy shows their dialogs in turn
    NoCopyRuns,  // the other copy has ended meanwhile: this one should start
    NotAnswered, // the running copy did not take them; the user has been told
};

// Hands the folders to the running copy's main window, one after the other, in the
// form that does not wait for the dialog. A copy that is starting has its
// single-instance mark before its window: while no window is found, it is looked
// for again for some seconds, and anotherCopyRuns (which renews the mark) tells
// whether the other copy has ended instead.
HandOverResult HandOverFolders(const std::vector<std::string>& folders,
                               const std::function<bool()>& anotherCopyRuns);

// "Pathwink.exe add" without a folder: tells the user how it is used.
void ShowAddUsage();

// Runs "menu add", "menu remove" (or tells how "menu" is used) with a short
// message; the process's exit code: 0 done, 1 failed (the message gives the
// system's reason).
int RunExplorerMenuCommand(Command::Kind kind);

// "Pathwink.exe /?" (or -h, --help): the commands and their exit codes in a box;
// the process's exit code, 0.
int ShowCommandHelp();

} // namespace pw
