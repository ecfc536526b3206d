#include "hotkey/HotKeyField.h"

#include <commctrl.h>

namespace pw {

HWND HotKeyField::Create(HWND parent, int id, int x, int y, int width, int height) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&icc);
    hwnd_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, HOTKEY_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x,
                        y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (hwnd_) {
        SendRules();
        SendHotKey();
    }
    return hwnd_;
}

KeyCombination HotKeyField::HotKey() {
    if (!hwnd_)
        return ShortCutFromHotKeyValue(
            static_cast<std::uint16_t>((key_ & 0xFF) | (modifiers_ << 8)));
    const auto value = static_cast<std::uint16_t>(SendMessageW(hwnd_, HKM_GETHOTKEY, 0, 0));
    modifiers_ = static_cast<HotKeyModifiers>(value >> 8);
    key_ = value & 0xFF;
    return ShortCutFromHotKeyValue(value);
}

void HotKeyField::SetHotKey(KeyCombination value) {
    key_ = value & 0x1FFF;
    modifiers_ = HotKeyModifiersOf(value);
    SendHotKey();
}

void HotKeyField::SetModifiers(HotKeyModifiers modifiers) {
    if (modifiers == modifiers_)
        return;
    modifiers_ = modifiers;
    SendRules();
    SendHotKey();
}

void HotKeyField::SetInvalidKeys(RefusedCombinations invalidKeys) {
    if (invalidKeys == invalidKeys_)
        return;
    invalidKeys_ = invalidKeys;
    SendRules();
    SendHotKey();
}

void HotKeyField::HandleNotification(WORD code) {
    if (code == EN_CHANGE && OnChange)
        OnChange(*this);
}

void HotKeyField::SendRules() {
    if (hwnd_)
        SendMessageW(hwnd_, HKM_SETRULES, invalidKeys_, MAKELPARAM(modifiers_, 0));
}

void HotKeyField::SendHotKey() {
    if (hwnd_)
        SendMessageW(hwnd_, HKM_SETHOTKEY, MAKEWORD(key_ & 0xFF, modifiers_), 0);
}

} // namespace pw
