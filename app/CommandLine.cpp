#include "app/CommandLine.h"

#include <algorithm>

namespace pw {

namespace {

bool IsSeparator(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}
bool IsArgumentChar(char c) {
    return static_cast<unsigned char>(c) > ' ';
}

// Reads one argument starting at p; returns the position after it.
const char* NextArgument(const char* p, std::string& arg) {
    for (;;) {
        while (IsSeparator(*p))
            ++p;
        if (p[0] == '"' && p[1] == '"')
            p += 2;
        else
            break;
    }
    arg.clear();
    while (IsArgumentChar(*p)) {
        if (*p == '"') {
            ++p;
            while (*p != '\0' && *p != '"')
                arg += *p++;
            if (*p != '\0')
                ++p;
        } else {
            arg += *p++;
        }
    }
    return p;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    // An empty argument ends the list, as it does for the program's argument count.
    std::vector<std::string> args;
    const char* p = commandLine.c_str();
    std::string arg;
    for (;;) {
        p = NextArgument(p, arg);
        if (arg.empty())
            break;
        args.push_back(arg);
    }
    return args;
}

bool StartsInTray(const std::string& commandLine) {
    const auto args = SplitCommandLine(commandLine);
    return args.size() > 1 && args[1] == "tray";
}

Command ParseCommand(const std::string& commandLine) {
    const auto args = SplitCommandLine(commandLine);
    Command command;
    if (args.size() < 2)
        return command;
    if (args[1] == "add") {
        command.kind = Command::Kind::AddFolders;
        command.folders.assign(args.begin() + 2, args.end());
    } else if (args[1] == "menu") {
        const std::string word = args.size() > 2 ? args[2] : "";
        command.kind = word == "add"      ? Command::Kind::MenuAdd
                       : word == "remove" ? Command::Kind::MenuRemove
                                          : Command::Kind::MenuUnknown;
    } else {
        // The ways help is asked for, in lower case like every other word.
        for (const char* word : {"/?", "/h", "/help", "-?", "-h", "--h", "--help"})
            if (args[1] == word)
                command.kind = Command::Kind::Help;
    }
    return command;
}

std::vector<std::string> FoldersOfDrop(const std::vector<std::string>& paths,
                                       bool (*isFile)(const std::string& path)) {
    std::vector<std::string> folders;
    for (const std::string& path : paths) {
        std::string folder = path;
        const size_t slash = path.find_last_of("\\/");
        if (isFile(path) && slash != std::string::npos) {
            // A root keeps its separator: "\x.txt" is in "\", "\\?\C:\x.txt" in "\\?\C:\".
            folder = path.substr(0, slash);
            if (folder.empty() || folder.back() == ':')
                folder = path.substr(0, slash + 1);
        }
        if (!folder.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

} // namespace pw
