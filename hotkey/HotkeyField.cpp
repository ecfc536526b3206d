#include "hotkey/HotkeyField.h"

#include <commctrl.h>

namespace pw {

HWND HotkeyField::Create(HWND parent, int id, int x, int y, int width, int height) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&icc);
    hwnd_ =
        CreateWindowExW(WS_EX_CLIENTEDGE, HOTKEY_CLASSW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP, x,
                        y, width, height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                        GetModuleHandleW(nullptr), nullptr);
    if (hwnd_) {
        SendRules();
        SendValue();
    }
    return hwnd_;
}

void HotkeyField::Attach(HWND control) {
    hwnd_ = control;
    SendRules();
    SendValue();
}

KeyCombination HotkeyField::Value() {
    if (hwnd_)
        value_ = KeyCombinationFromHotkeyControl(
            static_cast<std::uint16_t>(SendMessageW(hwnd_, HKM_GETHOTKEY, 0, 0)));
    return value_;
}

void HotkeyField::SetValue(KeyCombination value) {
    value_ = value & (kAnyModifier | 0xFF);
    SendValue();
}

void HotkeyField::SetDefaultModifiers(KeyCombination modifiers) {
    if (modifiers == defaultModifiers_)
        return;
    defaultModifiers_ = modifiers;
    SendRules();
    SendValue();
}

void HotkeyField::SendRules() {
    if (hwnd_)
        SendMessageW(hwnd_, HKM_SETRULES, HKCOMB_NONE | HKCOMB_S,
                     MAKELPARAM(HotkeyControlModifiersOf(defaultModifiers_), 0));
}

void HotkeyField::SendValue() {
    if (hwnd_)
        SendMessageW(hwnd_, HKM_SETHOTKEY,
                     MAKEWORD(VirtualKeyOf(value_), HotkeyControlModifiersOf(value_)), 0);
}

} // namespace pw
