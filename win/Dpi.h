#pragma once
// Bounds and fonts are designed at 96 DPI and scaled to the window's DPI.

#include <windows.h>

#include <optional>

namespace pw {

inline int Scale(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), 96);
}

// The DPI of the monitor the window is on (96 when the system cannot tell).
UINT DpiOf(HWND hwnd);
// The DPI of the primary monitor, for windows that do not exist yet.
UINT SystemDpi();

// What a WM_DPICHANGED says, read so that a forged one (any program can post the
// message, with any pointer) does no harm: the new DPI (the window's own when it says
// 0), and the rectangle the system suggests when its pointer can be read at all.
struct DpiChange {
    UINT dpi;
    std::optional<RECT> suggested;
};
DpiChange ReadDpiChange(HWND window, WPARAM wParam, LPARAM lParam);

// The work area (the screen less the taskbar) of the monitor the pointer is on, and
// that monitor's DPI: where a menu or a message the user just asked for appears.
struct PointerScreen {
    RECT workArea;
    UINT dpi;
};
PointerScreen ScreenOfPointer();

// heightAt96 is the font's cell-less height in pixels at 96 DPI, negative as in LOGFONT.
HFONT CreateUiFont(const char* face, int heightAt96, UINT dpi, bool bold = false,
                   bool italic = false, bool underline = false);
// The system's font for messages and dialogs (its face; its height at 96 DPI is
// heightAt96 when the system gives none), at dpi.
HFONT CreateSystemUiFont(int heightAt96, UINT dpi, bool bold = false, bool underline = false);

} // namespace pw
