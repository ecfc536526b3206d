#include "hotkey/KeyNames.h"

#include "win/ResourceIds.h"

#include <windows.h>

namespace pw {

const KeyTexts& ResourceKeyTexts() {
    static const KeyTexts texts = [] {
        KeyTexts loaded;
        HINSTANCE inst = GetModuleHandleA(nullptr);
        for (int i = 0; i < ktCount; ++i) {
            char buf[64] = "";
            LoadStringA(inst, IDS_KEY_FIRST + i, buf, sizeof buf);
            loaded[i] = buf;
        }
        return loaded;
    }();
    return texts;
}

std::string LayoutKeyName(std::uint8_t virtualKey) {
    const UINT scanCode = MapVirtualKeyA(virtualKey, MAPVK_VK_TO_VSC);
    if (scanCode == 0)
        return {};
    char buf[256] = "";
    GetKeyNameTextA(static_cast<LONG>(scanCode << 16), buf, sizeof buf);
    return buf;
}

std::string KeyCombinationText(KeyCombination value) {
    return KeyCombinationText(value, ResourceKeyTexts(), LayoutKeyName);
}

} // namespace pw
