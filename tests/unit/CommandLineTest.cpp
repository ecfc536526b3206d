// Which command lines start Pathwink hidden in the tray.

#include "app/CommandLine.h"

#include <gtest/gtest.h>

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
