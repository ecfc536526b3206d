#include "win/Layout.h"

#include "win/Scoped.h"
#include "win/Text.h"

#include <algorithm>

namespace pw {

void Layout::CreateItems(HWND window, std::vector<Item> items, UINT dpi, FontFn fonts) {
    window_ = window;
    dpi_ = dpi;
    fonts_ = std::move(fonts);
    // Within a parent, controls that take focus come first in tab order; the
    // creation order is the Z order, which is what the Tab key follows.
    std::stable_sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        auto key = [](const Item& i) { return i.tabOrder == kNoTabStop ? 1 << 20 : i.tabOrder; };
        return key(a) < key(b);
    });
    for (const Item& item : items) {
        HWND parent = item.parentId ? (*this)[item.parentId] : window;
        DWORD style = WS_CHILD | WS_VISIBLE | item.style;
        if (item.tabOrder != kNoTabStop)
            style |= WS_TABSTOP;
        HWND hwnd = CreateWindowExW(item.exStyle, Wide(item.className).c_str(),
                                    Wide(item.caption).c_str(), style, 0, 0, 0, 0, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)),
                                    GetModuleHandleW(nullptr), nullptr);
        handles_[item.id] = hwnd;
        items_.push_back(item);
        Place(item);
    }
}

void Layout::Place(const Item& item) {
    HWND hwnd = (*this)[item.id];
    if (!hwnd)
        return;
    HFONT font = fonts_ ? fonts_(item.font) : nullptr;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    int w = Scale(item.width, dpi_), h = Scale(item.height, dpi_);
    if (item.width == 0 || item.height == 0) {
        // Sized to the caption, as an auto-sizing label is.
        const RECT r = MeasureText(hwnd, font, Wide(item.caption), DT_NOPREFIX | DT_SINGLELINE);
        if (item.width == 0)
            w = r.right;
        if (item.height == 0)
            h = r.bottom;
    }
    SetWindowPos(hwnd, nullptr, Scale(item.x, dpi_), Scale(item.y, dpi_), w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Layout::Rescale(UINT dpi) {
    dpi_ = dpi;
    for (const Item& item : items_)
        Place(item);
    for (const Item& item : items_)
        InvalidateRect((*this)[item.id], nullptr, TRUE);
}

} // namespace pw
