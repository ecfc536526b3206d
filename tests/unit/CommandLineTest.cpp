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
    using Texts = std::vector<std::string>;
    EXPECT_EQ(SplitCommandLine("\"C:\\My Tools\\P.exe\"  a \"b c\"d  "),
              (Texts{"C:\\My Tools\\P.exe", "a", "b cd"}));
    EXPECT_EQ(SplitCommandLine("p \"open only"), (Texts{"p", "open only"}));
    EXPECT_EQ(SplitCommandLine("p \xE9t\xE9"), (Texts{"p", "\xE9t\xE9"})); // ANSI letters are text
    EXPECT_EQ(SplitCommandLine("   "), Texts{});
}

TEST(ParseCommand, AddTakesTheFoldersAfterItMenuTakesOneWordEverythingElseStarts) {
    using Kind = Command::Kind;
    using Texts = std::vector<std::string>;
    const struct {
        const char* commandLine;
        Kind kind;
        Texts folders;
    } cases[] = {
        {"Pathwink.exe", Kind::Start, {}},
        {"Pathwink.exe tray", Kind::Start, {}},
        {"\"C:\\P\\Pathwink.exe\" add \"C:\\My Folder\"", Kind::AddFolders, {"C:\\My Folder"}},
        {"p add \"C:\\\"", Kind::AddFolders, {"C:\\"}}, // a backslash before a quote is no escape
        {"p add \"D:\\A\\\" \"E:\\\"", Kind::AddFolders, {"D:\\A\\", "E:\\"}},
        {"p add . ..\\x", Kind::AddFolders, {".", "..\\x"}},
        {"p add", Kind::AddFolders, {}},
        {"p add \"\"", Kind::AddFolders, {}}, // an empty folder is none
        {"p Add C:\\x", Kind::Start, {}},     // case-sensitive, like "tray"
        {"p tray add C:\\x", Kind::Start, {}},
        {"p menu add", Kind::MenuAdd, {}},
        {"p menu remove", Kind::MenuRemove, {}},
        {"p menu", Kind::MenuUnknown, {}},
        {"p menu Remove", Kind::MenuUnknown, {}},
        {"p menu add C:\\x", Kind::MenuAdd, {}},
        {"p /?", Kind::Help, {}},
        {"p -h", Kind::Help, {}},
        {"p --help", Kind::Help, {}},
        {"\"C:\\P\\Pathwink.exe\" \"/?\" tray", Kind::Help, {}},
        {"p /h", Kind::Help, {}},
        {"p /help", Kind::Help, {}},
        {"p -?", Kind::Help, {}},
        {"p --h", Kind::Help, {}},
        {"p --HELP", Kind::Start, {}}, // other words start the program, as before
        {"p /H", Kind::Start, {}},
        {"p -help", Kind::Start, {}},
        {"p tray /?", Kind::Start, {}},
    };
    for (const auto& c : cases) {
        const Command command = ParseCommand(c.commandLine);
        EXPECT_EQ(command.kind, c.kind) << c.commandLine;
        EXPECT_EQ(command.folders, c.folders) << c.commandLine;
    }
}

TEST(FoldersOfDrop, FilesStandForTheirFoldersAndEachFolderComesOnce) {
    using Texts = std::vector<std::string>;
    // Names with a dot are files here.
    auto isFile = [](const std::string& path) { return path.find('.') != std::string::npos; };
    const struct {
        const char* what;
        Texts dropped, folders;
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
