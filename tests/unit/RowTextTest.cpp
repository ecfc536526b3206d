// Texts the list and the tray menu build from a shortcut, and the copy-data text.

#include "main/RowText.h"
#include "store/SettingsFormat.h"
#include "win/Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace pw;

TEST(ShortcutRowText, KeyTextOrNoHotkeyThenATabThenThePathAsStored) {
    EXPECT_EQ(ShortcutRowText(true, "Ctrl+Alt+D", "C:\\Projects"), "Ctrl+Alt+D\tC:\\Projects");
    EXPECT_EQ(ShortcutRowText(false, "", "C:\\Data"), "(No HotKey)\tC:\\Data");
    // A key with no nameable key still counts as a key: its text is empty.
    EXPECT_EQ(ShortcutRowText(true, "", "D:\\"), "\tD:\\");
}

TEST(MarkedKeyText, SaysInactiveOrTheCharacterTakenAndNothingForAWorkingKey) {
    struct Case {
        bool inactive;
        const char* character;
        const char* expected;
    };
    const Case cases[] = {
        {false, "", "Ctrl+Alt+D"},
        {true, "", "Ctrl+Alt+D (inactive)"},
        {false, "\xE2\x82\xAC", "Ctrl+Alt+D (takes \xE2\x82\xAC)"},
        {true, "\xE2\x82\xAC", "Ctrl+Alt+D (inactive)"}, // held elsewhere, it takes nothing
    };
    for (const Case& c : cases)
        EXPECT_EQ(MarkedKeyText("Ctrl+Alt+D", {c.inactive, c.character}), c.expected);
    EXPECT_EQ(MenuEntryText("C:\\P", MarkedKeyText("F5", {true, ""}), true),
              "C:\\P\tF5 (inactive)");
}

TEST(InactiveTexts, CountInTheTooltipOneLinePerShortcutWithinTheNotificationsRoom) {
    EXPECT_EQ(TrayTooltipText(0), "Pathwink") << "the tooltip of a program where all works";
    EXPECT_EQ(TrayTooltipText(1), "Pathwink (1 shortcut inactive)");
    EXPECT_EQ(TrayTooltipText(12), "Pathwink (12 shortcuts inactive)");
    EXPECT_EQ(InactiveNoticeTitle(1), "A shortcut is inactive");
    EXPECT_EQ(InactiveNoticeTitle(3), "3 shortcuts are inactive");

    EXPECT_EQ(InactiveNoticeText({{"Ctrl+Alt+D", "C:\\Projects"}}),
              "Ctrl+Alt+D for C:\\Projects is used by another program.");
    EXPECT_EQ(InactiveNoticeText({{"Ctrl+Alt+D", "C:\\A"}, {"F5", "C:\\B", true}}),
              "Ctrl+Alt+D for C:\\A is used by another program.\n"
              "F5 for C:\\B is already the key of another shortcut.");

    // Many: whole lines while they fit, then how many more. Long paths: cut with "...",
    // between characters (a character beyond U+FFFF counts two units).
    std::vector<InactiveShortcut> many;
    for (int i = 0; i < 20; ++i)
        many.push_back(
            {"Ctrl+Alt+F" + std::to_string(i % 12 + 1), "C:\\Folder" + std::to_string(i)});
    const std::string astral = "\xF0\x9F\x93\x81"; // one character, two UTF-16 units
    std::string longPath = "C:\\";
    for (int i = 0; i < 200; ++i)
        longPath += astral;
    // A key text that leaves the path no room (no key name is that long today).
    const std::string longKey(240, 'K');
    const std::vector<std::vector<InactiveShortcut>> inputs = {
        many,
        {{"F1", longPath}},
        {{"F1", longPath}, {"F2", "C:\\B"}},
        {{"F2", "C:\\B"}, {"F1", longPath}},
        {{longKey, "C:\\P"}},
        {{longKey + longKey, longPath}, {"F2", "C:\\B"}},
        {{longKey, "C:\\P", true}}};
    for (const auto& input : inputs) {
        const std::string text = InactiveNoticeText(input);
        EXPECT_LE(Utf16Length(text), 255u) << text;
        EXPECT_EQ(text.find("\xF0\x9F\x93"), text.find(astral)) << "no character cut in two";
        if (input.size() > 1 && text.find("more.") != std::string::npos) {
            const size_t lines = std::count(text.begin(), text.end(), '\n') + 1;
            EXPECT_NE(text.find("...and " + std::to_string(input.size() - (lines - 1)) + " more."),
                      std::string::npos)
                << text;
        }
    }
    EXPECT_EQ(InactiveNoticeText({{"F2", "C:\\B"}, {"F1", longPath}}),
              "F2 for C:\\B is used by another program.\n...and 1 more.");
    const std::string cut = InactiveNoticeText({{"F1", longPath}});
    EXPECT_EQ(cut.rfind("F1 for C:\\" + astral, 0), 0u);
    EXPECT_NE(cut.find("... is used by another program."), std::string::npos) << cut;
}

TEST(HintText, ShowsEveryTabAsEightSpaces) {
    EXPECT_EQ(HintText("Ctrl+Alt+D\tC:\\A\tB"), "Ctrl+Alt+D        C:\\A        B");
    EXPECT_EQ(HintText("no tabs"), "no tabs");
}

TEST(MenuEntryText, KeepsThePathReadableAndAddsTheKeyColumnOnlyForAKey) {
    const struct {
        const char* path;
        const char* key;
        bool hasKey;
        std::size_t maxPathUnits;
        const char* entry;
    } cases[] = {
        {"C:\\Projects", "Ctrl+Alt+D", true, 1000, "C:\\Projects\tCtrl+Alt+D"},
        {"C:\\Projects", "", false, 1000, "C:\\Projects"},
        {"C:\\Tom & Jerry", "", false, 1000, "C:\\Tom && Jerry"},
        {"C:\\&&", "F5", true, 1000, "C:\\&&&&\tF5"},
        // A tab kept from a hand-edited file would start the key column.
        {"C:\\A\tB", "F5", true, 1000, "C:\\A B\tF5"},
        {"C:\\A\x01\x1F", "", false, 1000, "C:\\A  "},
        // Too long: the start and the end, the key column untouched.
        {"C:\\Projects\\2024\\Reports", "F5", true, 13, "C:\\Pr...ports\tF5"},
        {"C:\\A & B\\x", "", false, 8, "C:\\...\\x"},
        {"C:\\&&&&&&&&", "", false, 8, "C:\\...&&&&"},
        {"C:\\Tom & Jerry", "", false, 9, "C:\\...rry"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(MenuEntryText(c.path, c.key, c.hasKey, c.maxPathUnits), c.entry) << c.path;
}

TEST(ShortenedInMiddle, KeepsTheStartAndTheEndAndCutsBetweenCharacters) {
    const std::string astral = "\xF0\x9F\x93\x81"; // one character, two UTF-16 units
    const struct {
        std::string text;
        std::size_t units;
        std::string shown;
    } cases[] = {
        {"C:\\Folder", 9, "C:\\Folder"},
        {"C:\\Folder", 8, "C:\\...er"},
        {"C:\\Folder", 7, "C:...er"},
        {"C:\\Folder", 3, "..."},
        {"C:\\Folder", 2, ".."},
        {"C:\\Folder", 0, ""},
        {"", 0, ""},
        {"ab" + astral + astral + "yz", 7, "ab...yz"},
        {"a" + astral + "bcdef" + astral + "z", 8, "a" + astral + "..." + "z"},
        {"a" + astral + "bcdef" + astral + "z", 9, "a" + astral + "..." + astral + "z"},
        {
            "\xCE\xA6\xCE\xA6\xCE\xA6\xCE\xA6\xCE\xA6",
            4,
            "\xCE\xA6...",
        },
    };
    for (const auto& c : cases) {
        const std::string shown = ShortenedInMiddle(c.text, c.units);
        EXPECT_EQ(shown, c.shown) << c.text << " in " << c.units;
        EXPECT_LE(Utf16Length(shown), c.units) << c.text;
    }
    // The largest length that fits, found by halving.
    for (std::size_t limit : {0u, 1u, 7u, 32766u, 32767u})
        EXPECT_EQ(LongestThatFits(32767, [limit](std::size_t n) { return n <= limit; }), limit);
}

TEST(HasControlCharacters, TheEditorRefusesAnythingBelowBlankTheFileOnlyLineBreaks) {
    EXPECT_FALSE(HasControlCharacters("C:\\My Folder\\\xE9t\xE9"));
    EXPECT_FALSE(HasControlCharacters(""));
    EXPECT_FALSE(HasLineBreak("C:\\My Folder\\\xE9t\xE9"));
    const struct {
        char c;
        bool lineBreak;
    } cases[] = {{'\n', true}, {'\r', true}, {'\t', false}, {'\x01', false}, {'\x1F', false}};
    for (const auto& c : cases) {
        const std::string path = std::string("C:\\A") + c.c + "B";
        EXPECT_TRUE(HasControlCharacters(path)) << int(c.c);
        EXPECT_EQ(HasLineBreak(path), c.lineBreak) << int(c.c);
    }
}
