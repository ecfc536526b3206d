// Which folders the switcher lists for what the user typed, and in which order.

#include "switcher/FolderRanking.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pw;

TEST(OwnNameOf, IsTheLastComponentOrTheWholeRoot) {
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\work\\notes", "notes"},
        {"c:\\work\\notes\\", "notes"},
        {"c:\\work/notes", "notes"},
        {"d:\\", "d:\\"},
        {"d:", "d:"},
        {"notes", "notes"},
    };
    for (const auto& [path, name] : cases)
        EXPECT_EQ(OwnNameOf(path), name) << path;
}

TEST(RankFolders, EveryWordMustOccurAndOwnNamesThatStartOrContainTheTextComeFirst) {
    // Folded (lower-case) paths, as the switcher keeps them, in the table's order.
    const std::vector<std::string> paths = {
        "c:\\projects\\web",                    // 0
        "c:\\web\\archive",                     // 1: "web" in a parent only
        "d:\\cobweb",                           // 2: own name contains "web"
        "e:\\webcam",                           // 3: own name starts with "web"
        "c:\\\xCE\xAD\xCF\x81\xCE\xB3\xCE\xB1", // 4: Greek "έργα"
        "c:\\\xE6\x96\x87\xE6\xA1\xA3\\2024",   // 5: CJK "文档" in a parent
        "f:\\",                                 // 6: a drive
    };
    struct Case {
        const char* query;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {"", {0, 1, 2, 3, 4, 5, 6}},       // nothing typed: every folder, in the table's order
        {"   ", {0, 1, 2, 3, 4, 5, 6}},    // blanks alone too
        {"web", {0, 3, 2, 1}},             // starts, then contains, then the rest
        {" web ", {0, 3, 2, 1}},           // blanks at the ends do not count
        {"c:\\ web", {0, 1}},              // two words, both must occur
        {"web c:\\", {0, 1}},              // in any order
        {"archive web", {1}},              // a word in the parent and one in the own name
        {"we b", {0, 1, 2, 3}},            // "we b" is in no name: all that hold both words
        {"\xCE\xAD\xCF\x81", {4}},         // Greek
        {"\xE6\x96\x87\xE6\xA1\xA3", {5}}, // CJK in a parent folder
        {"f:", {6}},                       // a drive is its own name
        {"zzz", {}},                       // nothing matches: an empty list
        {"WEB", {}},                       // the caller folds the query; unfolded text differs
    };
    for (const Case& c : cases)
        EXPECT_EQ(RankFolders(paths, c.query), c.expected) << "query: \"" << c.query << "\"";
}
