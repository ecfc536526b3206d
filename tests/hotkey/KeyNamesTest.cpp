// Key texts as the program shows them: the string table's eighteen texts and the
// keyboard layout's names for keys outside the table.

#include "hotkey/KeyNames.h"

#include <windows.h>
#include <gtest/gtest.h>

using namespace pw;

TEST(ResourceKeyTexts, HoldsTheEighteenTextsInTableOrder) {
    const KeyTexts& t = ResourceKeyTexts();
    const char* expected[] = {"BkSp", "Tab", "Esc",  "Enter",  "Space", "PgUp",
                              "PgDn", "End", "Home", "Left",   "Up",    "Right",
                              "Down", "Ins", "Del",  "Shift+", "Ctrl+", "Alt+"};
    for (int i = 0; i < ktCount; ++i)
        EXPECT_EQ(t[i], expected[i]) << i;
    EXPECT_EQ(&ResourceKeyTexts(), &t); // loaded once
}

TEST(KeyCombinationTextWin32, RendersTheExamplesWithTheStringTable) {
    EXPECT_EQ(KeyCombinationText(0xC046), "Ctrl+Alt+F");
    EXPECT_EQ(KeyCombinationText(0xE070), "Shift+Ctrl+Alt+F1");
    EXPECT_EQ(KeyCombinationText(0x4025), "Ctrl+Left");
    EXPECT_EQ(KeyCombinationText(0xC082), "Ctrl+Alt+F19");
    EXPECT_EQ(KeyCombinationText(0xC065), "Ctrl+Alt+5");
    EXPECT_EQ(KeyCombinationText(0xC035), "Ctrl+Alt+5");
    EXPECT_EQ(KeyCombinationText(0xC000), "");
    EXPECT_EQ(KeyCombinationText(0x2000), "");
    EXPECT_EQ(KeyCombinationText(0xDF44), "Ctrl+Alt+D"); // bits 8-12 set
}

TEST(KeyCombinationTextWin32, NamesOtherKeysAsTheKeyboardLayoutDoes) {
    // Keypad multiply and a punctuation key are outside the table.
    for (std::uint8_t vk :
         {std::uint8_t(VK_MULTIPLY), std::uint8_t(VK_OEM_1), std::uint8_t(VK_OEM_COMMA)}) {
        const UINT scan = MapVirtualKeyA(vk, MAPVK_VK_TO_VSC);
        ASSERT_NE(scan, 0u) << "the test layout has no scan code for " << int(vk);
        char expected[256] = "";
        GetKeyNameTextA(static_cast<LONG>(scan << 16), expected, sizeof expected);
        ASSERT_STRNE(expected, "") << int(vk);
        EXPECT_EQ(LayoutKeyName(vk), expected);
        EXPECT_EQ(KeyCombinationText(static_cast<KeyCombination>(0xC000 | vk)),
                  std::string("Ctrl+Alt+") + expected);
    }
}

TEST(KeyCombinationTextWin32, AKeyWithoutAScanCodeHasNoText) {
    // 0x07 is an unassigned virtual-key code; 0 is no key at all.
    EXPECT_EQ(MapVirtualKeyA(0x07, MAPVK_VK_TO_VSC), 0u);
    EXPECT_EQ(LayoutKeyName(0x07), "");
    EXPECT_EQ(KeyCombinationText(0xC007), "");
    EXPECT_EQ(KeyCombinationText(0), "");
}
