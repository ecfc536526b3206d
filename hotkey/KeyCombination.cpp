#include "hotkey/KeyCombination.h"

namespace pw {

bool IsWeakShortcut(KeyCombination value) {
    const int count = ((value & kWithShift) ? 1 : 0) + ((value & kWithCtrl) ? 1 : 0) +
                      ((value & kWithAlt) ? 1 : 0);
    return count < 2 && value != 0;
}

unsigned RegistrationModifiers(KeyCombination value) {
    unsigned flags = 0x4000; // MOD_NOREPEAT: ignored before Windows 7 (and by Wine)
    if (value & kWithShift)
        flags |= 0x0004; // MOD_SHIFT
    if (value & kWithAlt)
        flags |= 0x0001; // MOD_ALT
    if (value & kWithCtrl)
        flags |= 0x0002; // MOD_CONTROL
    return flags;
}

KeyCombination KeyCombinationFromHotkeyControl(std::uint16_t controlValue) {
    const std::uint8_t mods = controlValue >> 8;
    KeyCombination value = controlValue & 0xFF;
    if (mods & 0x01) // HOTKEYF_SHIFT
        value |= kWithShift;
    if (mods & 0x02) // HOTKEYF_CONTROL
        value |= kWithCtrl;
    if (mods & 0x04) // HOTKEYF_ALT
        value |= kWithAlt;
    return value;
}

std::uint8_t HotkeyControlModifiersOf(KeyCombination value) {
    std::uint8_t mods = 0;
    if (value & kWithShift)
        mods |= 0x01; // HOTKEYF_SHIFT
    if (value & kWithCtrl)
        mods |= 0x02; // HOTKEYF_CONTROL
    if (value & kWithAlt)
        mods |= 0x04; // HOTKEYF_ALT
    return mods;
}

namespace {

std::string KeyName(std::uint8_t vk, const KeyTexts& texts, const LayoutKeyNameFn& layoutName) {
    switch (vk) {
    case 0x08:
        return texts[ktBkSp];
    case 0x09:
        return texts[ktTab];
    case 0x0D:
        return texts[ktEnter];
    case 0x1B:
        return texts[ktEsc];
    case 0x20:
        return texts[ktSpace];
    case 0x21:
        return texts[ktPgUp];
    case 0x22:
        return texts[ktPgDn];
    case 0x23:
        return texts[ktEnd];
    case 0x24:
        return texts[ktHome];
    case 0x25:
        return texts[ktLeft];
    case 0x26:
        return texts[ktUp];
    case 0x27:
        return texts[ktRight];
    case 0x28:
        return texts[ktDown];
    case 0x2D:
        return texts[ktIns];
    case 0x2E:
        return texts[ktDel];
    }
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return std::string(1, static_cast<char>(vk));
    if (vk >= 0x60 && vk <= 0x69) // keypad digits read like the top row
        return std::string(1, static_cast<char>(vk - 0x30));
    if (vk >= 0x70 && vk <= 0x87) // F1 to F24
        return "F" + std::to_string(vk - 0x6F);
    return layoutName ? layoutName(vk) : std::string();
}

} // namespace

std::string KeyCombinationText(KeyCombination value, const KeyTexts& texts,
                               const LayoutKeyNameFn& layoutName) {
    std::string name = KeyName(VirtualKeyOf(value), texts, layoutName);
    if (name.empty())
        return {};
    std::string text;
    if (value & kWithShift)
        text += texts[ktShift];
    if (value & kWithCtrl)
        text += texts[ktCtrl];
    if (value & kWithAlt)
        text += texts[ktAlt];
    return text + name;
}

} // namespace pw
