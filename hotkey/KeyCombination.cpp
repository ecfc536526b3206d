#include "hotkey/KeyCombination.h"

namespace pw {

KeyCombination ComposeShortCut(std::uint16_t key, ShiftState shift) {
    if (key & 0xFF00)
        return 0;
    KeyCombination value = key;
    if (shift & ssShift)
        value += scShift;
    if (shift & ssCtrl)
        value += scCtrl;
    if (shift & ssAlt)
        value += scAlt;
    return value;
}

void SplitShortCut(KeyCombination value, std::uint16_t& key, ShiftState& shift) {
    key = value & 0x1FFF;
    shift = 0;
    if (value & scShift)
        shift |= ssShift;
    if (value & scCtrl)
        shift |= ssCtrl;
    if (value & scAlt)
        shift |= ssAlt;
}

bool IsWeakShortCut(KeyCombination value) {
    std::uint16_t key;
    ShiftState shift;
    SplitShortCut(value, key, shift);
    int count =
        ((shift & ssAlt) ? 1 : 0) + ((shift & ssCtrl) ? 1 : 0) + ((shift & ssShift) ? 1 : 0);
    return count < 2 && value != 0;
}

unsigned RegistrationModifiers(ShiftState shift) {
    unsigned flags = 0;
    if (shift & ssShift)
        flags |= 0x0004; // MOD_SHIFT
    if (shift & ssAlt)
        flags |= 0x0001; // MOD_ALT
    if (shift & ssCtrl)
        flags |= 0x0002; // MOD_CONTROL
    return flags;
}

KeyCombination ShortCutFromHotKeyValue(std::uint16_t controlValue) {
    const std::uint8_t key = controlValue & 0xFF;
    const std::uint8_t mods = controlValue >> 8;
    KeyCombination value = key;
    if (mods & 0x01) // HOTKEYF_SHIFT
        value += scShift;
    if (mods & 0x02) // HOTKEYF_CONTROL
        value += scCtrl;
    if (mods & 0x04) // HOTKEYF_ALT
        value += scAlt;
    return value;
}

std::uint8_t HotKeyModifiersOf(KeyCombination value) {
    std::uint8_t mods = 0;
    if (value & scShift)
        mods |= 0x01; // HOTKEYF_SHIFT
    if (value & scCtrl)
        mods |= 0x02; // HOTKEYF_CONTROL
    if (value & scAlt)
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
    std::string name = KeyName(static_cast<std::uint8_t>(value & 0xFF), texts, layoutName);
    if (name.empty())
        return {};
    std::string text;
    if (value & scShift)
        text += texts[ktShift];
    if (value & scCtrl)
        text += texts[ktCtrl];
    if (value & scAlt)
        text += texts[ktAlt];
    return text + name;
}

} // namespace pw
