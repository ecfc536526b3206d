#include "win/Dpi.h"

#include "win/Scoped.h"

namespace pw {

UINT DpiOf(HWND hwnd) {
    UINT dpi = hwnd ? GetDpiForWindow(hwnd) : 0;
    return dpi ? dpi : SystemDpi();
}

UINT SystemDpi() {
    const ScopedDc dc(nullptr);
    const int dpi = dc.Get() ? GetDeviceCaps(dc.Get(), LOGPIXELSY) : 96;
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

HFONT CreateUiFont(const char* face, int heightAt96, UINT dpi, bool bold, bool italic,
                   bool underline) {
    LOGFONTA lf{};
    lf.lfHeight = Scale(heightAt96, dpi);
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = italic;
    lf.lfUnderline = underline;
    lf.lfCharSet = ANSI_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectA(&lf);
}

} // namespace pw
