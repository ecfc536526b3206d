#pragma once
// The program's own split of its command line, what the line asks for, and the
// folders a drop adds: free of Win32 so they test fast.
// Characters at or below blank separate arguments and are skipped before each;
// double quotes group characters and are removed; a pair of quotes at the very
// start of an argument is skipped like a separator.

#include <string>
#include <vector>

namespace pw {

// Argument 0 is the program's own path.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// True when argument 1 is exactly "tray" (byte for byte, case-sensitive).
bool StartsInTray(const std::string& commandLine);

// What a command line asks for, by its first argument (case-sensitive, like "tray"):
// "add" with the folders after it, "menu add" and "menu remove" (Explorer's folder
// menu item), "menu" with anything else, "/?", "/h", "/help", "-?", "-h", "--h" or
// "--help" the commands' help; every other line starts the program.
struct Command {
    enum class Kind { Start, AddFolders, MenuAdd, MenuRemove, MenuUnknown, Help };
    Kind kind = Kind::Start;
    std::vector<std::string> folders; // for AddFolders, as written (empty ones end the list)
};
Command ParseCommand(const std::string& commandLine);

// The folders a drop adds, in the order dropped: a folder itself, a file its
// containing folder (a file at a root gives the root: "C:\", "\\?\C:\", "\"), each folder
// once. isFile tells an existing file from a folder; a path that is neither is
// taken as the folder it names, for the dialog to question.
std::vector<std::string> FoldersOfDrop(const std::vector<std::string>& paths,
                                       bool (*isFile)(const std::string& path));

} // namespace pw
