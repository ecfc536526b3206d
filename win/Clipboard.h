#pragma once
// Text put on the clipboard, as a folder's path is by "Copy Path" and the switcher's Ctrl+C.

#include <windows.h>

#include <string>

namespace pw {

// Replaces the clipboard's content with text (UTF-8) for owner; false when the
// clipboard stayed busy (another program holds it open) or memory ran out.
bool CopyToClipboard(HWND owner, const std::string& text);

} // namespace pw
