// Key combinations as values: composing, splitting, the weak rule, the control's
// encoding and the display text with a fixed name table.

#include "hotkey/KeyCombination.h"

#include <gtest/gtest.h>

using namespace pw;

namespace {

KeyTexts EnglishTexts() {
    return {"BkSp", "Tab", "Esc",   "Enter", "Space", "PgUp", "PgDn",   "End",   "Home",
            "Left", "Up",  "Right", "Down",  "Ins",   "Del",  "Shift+", "Ctrl+", "Alt+"};
}

std::string Text(KeyCombination v) {
    return KeyCombinationText(v, EnglishTexts(), [](std::uint8_t vk) {
        return vk == 0x6A ? std::string("Num *") : std::string();
    });
}

} // namespace

TEST(KeyCombinationText, RendersModifiersInShiftCtrlAltOrderBeforeTheKeyName) {
    const struct {
        KeyCombination value;
        const char* text;
    } cases[] = {
        {0xC046, "Ctrl+Alt+F"},     {0xE070, "Shift+Ctrl+Alt+F1"},
        {0x4025, "Ctrl+Left"},      {0x6074, "Shift+Ctrl+F5"},
        {0x0008, "BkSp"},           {0x0009, "Tab"},
        {0x000D, "Enter"},          {0x001B, "Esc"},
        {0x0020, "Space"},          {0x0021, "PgUp"},
        {0x0022, "PgDn"},           {0x0023, "End"},
        {0x0024, "Home"},           {0x0026, "Up"},
        {0x0027, "Right"},          {0x0028, "Down"},
        {0x802D, "Alt+Ins"},        {0x202E, "Shift+Del"},
        {0xC030, "Ctrl+Alt+0"},     {0xC05A, "Ctrl+Alt+Z"},
        {0xC06A, "Ctrl+Alt+Num *"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(c.value), c.text) << std::hex << c.value;
}

TEST(KeyCombinationText, FunctionKeysRunFromF1ToF24) {
    for (int n = 1; n <= 24; ++n)
        EXPECT_EQ(Text(static_cast<KeyCombination>(0x6F + n)), "F" + std::to_string(n));
}

TEST(KeyCombinationText, KeypadDigitsReadLikeTopRowDigitsButAreOtherValues) {
    for (int d = 0; d <= 9; ++d) {
        const KeyCombination keypad = static_cast<KeyCombination>(0xC060 + d);
        const KeyCombination topRow = static_cast<KeyCombination>(0xC030 + d);
        EXPECT_NE(keypad, topRow);
        EXPECT_EQ(Text(keypad), Text(topRow));
        EXPECT_EQ(Text(keypad), "Ctrl+Alt+" + std::to_string(d));
    }
}

TEST(KeyCombinationText, ModifiersWithoutANamedKeyRenderAsNothing) {
    EXPECT_EQ(Text(0), "");
    EXPECT_EQ(Text(0xC000), "");
    EXPECT_EQ(Text(0x2000), "");
    EXPECT_EQ(Text(0xE0FF), ""); // a key the layout has no name for
}

TEST(KeyCombinationText, BitsEightToTwelveAreIgnored) {
    EXPECT_EQ(Text(0xC044 | 0x1F00), "Ctrl+Alt+D");
    EXPECT_EQ(Text(0x0125), "Left");
}

TEST(IsWeakShortcut, NeedsTwoModifiersUnlessThereIsNoHotkeyAtAll) {
    const struct {
        KeyCombination value;
        bool weak;
    } cases[] = {
        {0x0000, false}, // no hotkey is never weak
        {0x4000, true},  // Ctrl alone
        {0x2000, true},  // Shift alone
        {0xC000, false}, // Ctrl+Alt without a key
        {0x4044, true},  // Ctrl+D
        {0x8044, true},  // Alt+D
        {0x0044, true},  // D alone
        {0xC044, false}, // Ctrl+Alt+D
        {0x6044, false}, // Shift+Ctrl+D
        {0xE044, false}, // all three
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsWeakShortcut(c.value), c.weak) << std::hex << c.value;
}

TEST(RegistrationModifiers, MapsToRegisterHotKeyFlagsAndNeverRepeats) {
    // A held combination must be one press, not one per keyboard repeat.
    constexpr unsigned kNoRepeat = 0x4000;
    EXPECT_EQ(RegistrationModifiers(kWithShift | 'D'), kNoRepeat | 0x0004u);
    EXPECT_EQ(RegistrationModifiers(kWithAlt | 'D'), kNoRepeat | 0x0001u);
    EXPECT_EQ(RegistrationModifiers(kWithCtrl | 'D'), kNoRepeat | 0x0002u);
    EXPECT_EQ(RegistrationModifiers(0xE044), kNoRepeat | 0x0007u);
    EXPECT_EQ(RegistrationModifiers(0x1F44), kNoRepeat) << "bits 8-12 are no modifier";
}

TEST(KeyCombinationFromHotkeyControl, ConvertsControlFlagsAndDropsExtended) {
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0644), 0xC044); // Ctrl+Alt+D
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0744), 0xE044); // Shift+Ctrl+Alt+D
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0444), 0x8044); // Alt+D
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0125), 0x2025); // Shift+Left
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0E25), 0xC025); // Ctrl+Alt+Left, extended
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0x0825), 0x0025); // extended flag alone
    EXPECT_EQ(KeyCombinationFromHotkeyControl(0), 0);
}

TEST(HotkeyControlModifiersOf, IsTheInverseForEveryModifierSet) {
    for (unsigned mods = 0; mods < 8; ++mods) {
        const auto control = static_cast<std::uint16_t>((mods << 8) | 0x44);
        EXPECT_EQ(HotkeyControlModifiersOf(KeyCombinationFromHotkeyControl(control)), mods) << mods;
    }
    EXPECT_EQ(HotkeyControlModifiersOf(0x1F44), 0) << "bits 8-12 are no modifier";
}
