// Which command lines start Pathwink hidden in the tray, which ask for a command,
// and the folders a drop stands for.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

using pw::Command;
using pw::FoldersOfDrop;
using pw::ParseCommand;
using pw::SplitCommandLine;
using pw::StartsInTray;

TEST(StartsInTray, OnlyTheExactWordAsFirstArgument) {
    const struct {
        const char* commandLine;
        bool tray;
    } cases[] = {
        {"Pathwink.exe", false},
        {"Pathwink.exe tray", true},
        {"\"C:\\Program Files\\Pathwink\\Pathwink.exe\" tray", true}, // the run-at-logon value
        {"Pathwink.exe \"tray\"", true},                              // quotes are removed
        {"Pathwink.exe t\"ra\"y", true},  // quotes group anywhere in an argument
        {"Pathwink.exe \"\"tray", true},  // a leading pair of quotes is skipped
        {"Pathwink.exe \"\" tray", true}, // ... also when it stands alone
        {"Pathwink.exe\ttray\t", true},   // tabs separate like blanks
        {"Pathwink.exe \x01tray", true},  // so does any character below blank
        {"Pathwink.exe Tray", false},     // case-sensitive
        {"Pathwink.exe TRAY", false},
        {"Pathwink.exe /tray", false},
        {"Pathwink.exe -tray", false},
        {"Pathwink.exe \"tray \"", false}, // quoted with a trailing blank
        {"Pathwink.exe trays", false},
        {"Pathwink.exe other tray", false}, // second argument only
        {"Pathwink.exe tray other", true},  // later arguments are ignored
        {"Pathwink.exe \"", false},
        {"", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(StartsInTray(c.commandLine), c.tray) << c.commandLine;
}

TEST(SplitCommandLine, GroupsQuotedBlanksAndDropsTheQuotes) {
    using V = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("\"C:\\My Tools\\P.exe\"  a \"b c\"d  "),
              (V{"C:\\My Tools\\P.exe", "a", "b cd"}));
    EXPECT_EQ(SplitCommandLine("p \"open only"), (V{"p", "open only"}));
    EXPECT_EQ(SplitCommandLine("p \xE9t\xE9"), (V{"p", "\xE9t\xE9"})); // ANSI letters are text
    EXPECT_EQ(SplitCommandLine("   "), V{});
}

TEST(ParseCommand, AddTakesTheFoldersAfterItMenuTakesOneWordEverythingElseStarts) {
    using K = Command::Kind;
    using V = std::vector<std::string>;
    const struct {
        const char* commandLine;
        K kind;
        V folders;
    } cases[] = {
        {"Pathwink.exe", K::Start, {}},
        {"Pathwink.exe tray", K::Start, {}},
        {"\"C:\\P\\Pathwink.exe\" add \"C:\\My Folder\"", K::AddFolders, {"C:\\My Folder"}},
        {"p add \"C:\\\"", K::AddFolders, {"C:\\"}}, // a backslash before a quote is no escape
        {"p add \"D:\\A\\\" \"E:\\\"", K::AddFolders, {"D:\\A\\", "E:\\"}},
        {"p add . ..\\x", K::AddFolders, {".", "..\\x"}},
        {"p add", K::AddFolders, {}},
        {"p add \"\"", K::AddFolders, {}}, // an empty folder is none
        {"p Add C:\\x", K::Start, {}},     // case-sensitive, like "tray"
        {"p tray add C:\\x", K::Start, {}},
        {"p menu add", K::MenuAdd, {}},
        {"p menu remove", K::MenuRemove, {}},
        {"p menu", K::MenuUnknown, {}},
        {"p menu Remove", K::MenuUnknown, {}},
        {"p menu add C:\\x", K::MenuAdd, {}},
        {"p /?", K::Help, {}},
        {"p -h", K::Help, {}},
        {"p --help", K::Help, {}},
        {"\"C:\\P\\Pathwink.exe\" \"/?\" tray", K::Help, {}},
        {"p /h", K::Start, {}}, // other words start the program, as before
        {"p /help", K::Start, {}},
        {"p -?", K::Start, {}},
        {"p --HELP", K::Start, {}},
        {"p tray /?", K::Start, {}},
    };
    for (const auto& c : cases) {
        const Command command = ParseCommand(c.commandLine);
        EXPECT_EQ(command.kind, c.kind) << c.commandLine;
        EXPECT_EQ(command.folders, c.folders) << c.commandLine;
    }
}

TEST(FoldersOfDrop, FilesStandForTheirFoldersAndEachFolderComesOnce) {
    using V = std::vector<std::string>;
    // Names with a dot are files here.
    auto isFile = [](const std::string& path) { return path.find('.') != std::string::npos; };
    const struct {
        const char* what;
        V dropped, folders;
    } cases[] = {
        {"each folder once",
         {"C:\\A", "C:\\B\\x.txt", "C:\\B\\y.txt", "C:\\A", "C:\\B"},
         {"C:\\A", "C:\\B"}},
        {"a file at a drive's root gives the root", {"C:\\boot.ini", "D:\\"}, {"C:\\", "D:\\"}},
        {"in the order dropped", {"C:\\B\\x.txt", "C:\\A"}, {"C:\\B", "C:\\A"}},
        {"nothing empty; a file without a folder stays as it is", {"", "name.txt"}, {"name.txt"}},
        {"a file whose only separator comes first: the root", {"\\x.txt", "/y.txt"}, {"\\", "/"}},
        {"a long-path drive's root", {"\\\\?\\C:\\x.txt"}, {"\\\\?\\C:\\"}},
        {"a long-path folder", {"\\\\?\\C:\\A\\x.txt"}, {"\\\\?\\C:\\A"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldersOfDrop(c.dropped, isFile), c.folders) << c.what;
}
