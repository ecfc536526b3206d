#include "win/Dpi.h"

#include "win/Scoped.h"
#include "win/Text.h"

#include <shellscalingapi.h>

#include <string>

namespace pw {

UINT DpiOf(HWND hwnd) {
    UINT dpi = hwnd ? GetDpiForWindow(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

DpiChange ReadDpiChange(HWND window, WPARAM wParam, LPARAM lParam) {
    DpiChange change{HIWORD(wParam), std::nullopt};
    if (change.dpi == 0)
        change.dpi = DpiOf(window);
    // A read of this process's own memory that fails, rather than faults, at a bad pointer.
    RECT r{};
    SIZE_T read = 0;
    if (lParam &&
        ReadProcessMemory(GetCurrentProcess(), reinterpret_cast<const void*>(lParam), &r, sizeof r,
                          &read) &&
        read == sizeof r)
        change.suggested = r;
    return change;
}

UINT SystemDpi() {
    const ScopedDc dc(nullptr);
    const int dpi = dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

PointerScreen ScreenOfPointer() {
    POINT pointer{};
    GetCursorPos(&pointer);
    const HMONITOR monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    PointerScreen screen{{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)},
                         SystemDpi()};
    if (GetMonitorInfoW(monitor, &info))
        screen.workArea = info.rcWork;
    UINT dpiX = 0, dpiY = 0;
    if (SUCCEEDED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) && dpiY)
        screen.dpi = dpiY;
    return screen;
}

HFONT CreateUiFont(const char* face, int heightAt96, UINT dpi, bool bold, bool italic,
                   bool underline) {
    LOGFONTW lf{};
    lf.lfHeight = Scale(heightAt96, dpi);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    // Any character set: text in every script finds its glyphs, through font linking.
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, Wide(face).c_str(), LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

HFONT CreateSystemUiFont(int heightAt96, UINT dpi, bool bold, bool underline) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    std::string face = "Tahoma";
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0) &&
        ncm.lfMessageFont.lfFaceName[0])
        face = Utf8(ncm.lfMessageFont.lfFaceName);
    return CreateUiFont(face.c_str(), heightAt96, dpi, bold, false, underline);
}

} // namespace pw
