#include "hotkey/KeyNames.h"

#include "win/ResourceIds.h"
#include "win/Text.h"

#include <windows.h>

namespace pw {

const KeyTexts& ResourceKeyTexts() {
    static const KeyTexts texts = [] {
        KeyTexts loaded;
        HINSTANCE inst = GetModuleHandleW(nullptr);
        for (int i = 0; i < ktCount; ++i) {
            wchar_t buf[64] = L"";
            LoadStringW(inst, IDS_KEY_FIRST + i, buf, 64);
            loaded[i] = Utf8(buf);
        }
        return loaded;
    }();
    return texts;
}

std::string LayoutKeyName(std::uint8_t virtualKey) {
    const UINT scanCode = MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC);
    if (scanCode == 0)
        return {};
    wchar_t buf[256] = L"";
    GetKeyNameTextW(static_cast<LONG>(scanCode << 16), buf, 256);
    return Utf8(buf);
}

std::string KeyCombinationText(KeyCombination value) {
    return KeyCombinationText(value, ResourceKeyTexts(), LayoutKeyName);
}

} // namespace pw
