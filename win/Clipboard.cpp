#include "win/Clipboard.h"

#include "win/Text.h"

#include <cstring>

namespace pw {

bool CopyToClipboard(HWND owner, const std::string& text) {
    const std::wstring wide = Wide(text);
    const size_t bytes = (wide.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory)
        return false;
    std::memcpy(GlobalLock(memory), wide.c_str(), bytes);
    GlobalUnlock(memory);
    // Another program may hold the clipboard open for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(owner) != FALSE); ++attempt)
        Sleep(20);
    const bool copied = opened && EmptyClipboard() && SetClipboardData(CF_UNICODETEXT, memory);
    if (opened)
        CloseClipboard();
    if (!copied)
        GlobalFree(memory); // the clipboard owns it only once it is set
    return copied;
}

} // namespace pw
