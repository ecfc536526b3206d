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
    const std::vector<std::vector<InactiveShortcut>> inputs = {many,
                                                               {{"F1", longPath}},
                                                               {{"F1", longPath}, {"F2", "C:\\B"}},
                                                               {{"F2", "C:\\B"}, {"F1", longPath}}};
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
    EXPECT_EQ(MenuEntryText("C:\\Projects", "Ctrl+Alt+D", true), "C:\\Projects\tCtrl+Alt+D");
    EXPECT_EQ(MenuEntryText("C:\\Projects", "", false), "C:\\Projects");
    EXPECT_EQ(MenuEntryText("C:\\Tom & Jerry", "", false), "C:\\Tom && Jerry");
    EXPECT_EQ(MenuEntryText("C:\\&&", "F5", true), "C:\\&&&&\tF5");
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
