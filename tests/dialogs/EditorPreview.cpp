// Shows the editor dialog with sample content for a few seconds, for pictures of
// it (tests/dialogs/screenshot.sh). Arguments: seconds to stay open (default 20),
// then optionally "hint" to point the mouse at the hot-key field so that its hint
// shows.

#include "dialogs/ShortcutEditor.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

HWND g_dialog = nullptr;
bool g_hint = false;

void MoveMouseTo(int x, int y) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = MulDiv(x, 65536, GetSystemMetrics(SM_CXSCREEN)) + 1;
    in.mi.dy = MulDiv(y, 65536, GetSystemMetrics(SM_CYSCREEN)) + 1;
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
}

void CALLBACK OnHintTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    HWND field = FindWindowExA(g_dialog, nullptr, "msctls_hotkey32", nullptr);
    RECT r;
    GetWindowRect(field, &r);
    MoveMouseTo((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void CALLBACK OnEndTimer(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    PostMessageA(g_dialog, WM_CLOSE, 0, 0);
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR cmdLine, int) {
    int seconds = 20;
    if (cmdLine && *cmdLine)
        seconds = std::atoi(cmdLine);
    g_hint = cmdLine && std::strstr(cmdLine, "hint");
    if (seconds <= 0)
        seconds = 20;

    pw::ShortcutEditor dialog(nullptr);
    g_dialog = dialog.Handle();
    dialog.SetCaption("New Folder Shortcut");
    dialog.SetFolderText("C:\\Users\\Public\\Documents\\Projects");
    dialog.SetHotkeyValue(0xC044); // Ctrl+Alt+D
    dialog.SetActiveControl(pw::ShortcutEditor::Field::Hotkey);
    // The pointer starts in the middle of the screen, over the dialog: out of the
    // way, unless a hint is wanted.
    MoveMouseTo(1, 1);
    if (g_hint)
        SetTimer(nullptr, 0, 1000, OnHintTimer);
    SetTimer(nullptr, 0, static_cast<UINT>(seconds) * 1000, OnEndTimer);
    return dialog.ShowModal();
}
