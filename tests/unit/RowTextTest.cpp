// Texts the list and the tray menu build from a shortcut, and the copy-data text.

#include "main/RowText.h"
#include "store/SettingsFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace pw;

TEST(ShortcutRowText, KeyTextOrNoHotKeyThenATabThenThePathAsStored) {
    EXPECT_EQ(ShortcutRowText(true, "Ctrl+Alt+D", "C:\\Projects"), "Ctrl+Alt+D\tC:\\Projects");
    EXPECT_EQ(ShortcutRowText(false, "", "C:\\Data"), "(No HotKey)\tC:\\Data");
    // A key with no nameable key still counts as a key: its text is empty.
    EXPECT_EQ(ShortcutRowText(true, "", "D:\\"), "\tD:\\");
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

TEST(CopyDataText, ReadsAtMostTheBlockAndStopsAtTheFirstNul) {
    const char withNul[] = "C:\\Folder\0trailing";
    EXPECT_EQ(CopyDataText(withNul, sizeof withNul), "C:\\Folder");
    const char noNul[4] = {'C', ':', '\\', 'X'};
    EXPECT_EQ(CopyDataText(noNul, sizeof noNul), "C:\\X") << "no read past the block";
    EXPECT_EQ(CopyDataText(noNul, 2), "C:");
    EXPECT_EQ(CopyDataText(nullptr, 10), "");
    EXPECT_EQ(CopyDataText(withNul, 0), "");
    const std::vector<char> big(1 << 20, 'a');
    EXPECT_EQ(CopyDataText(big.data(), static_cast<unsigned long>(big.size())).size(), big.size());
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
