#include "win/Layout.h"

#include "win/AccessibleName.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <algorithm>
#include <utility>

namespace pw {

namespace {

// The classes whose name a screen reader takes from the label before them.
bool TakesNameFromLabel(const char* className) {
    for (const char* named : {"Edit", "ListBox", "ComboBox", "msctls_hotkey32"})
        if (lstrcmpiA(className, named) == 0)
            return true;
    return false;
}

} // namespace

void Layout::CreateItems(HWND window, std::vector<Item> items, UINT dpi, FontFn fonts) {
    window_ = window;
    dpi_ = dpi;
    fonts_ = std::move(fonts);
    // The creation order is the Z order, which is what the Tab key follows and what a
    // screen reader names a control by (the label before it). Within a parent,
    // controls that take focus come in tab order, each label right before the control
    // that follows it in the table; labels after the last such control come last.
    std::map<int, int> nextTabOrder; // by parent, going backwards through the table
    std::vector<std::pair<std::pair<int, int>, Item>> ordered;
    for (auto item = items.rbegin(); item != items.rend(); ++item) {
        const bool label = item->tabOrder == kNoTabStop;
        if (!label)
            nextTabOrder[item->parentId] = item->tabOrder;
        const auto next = nextTabOrder.find(item->parentId);
        const int order = next == nextTabOrder.end() ? 1 << 20 : next->second;
        ordered.push_back({{order, label ? 0 : 1}, *item});
    }
    std::reverse(ordered.begin(), ordered.end()); // the table's order again
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& entry : ordered) {
        const Item& item = entry.second;
        HWND parent = item.parentId ? (*this)[item.parentId] : window;
        DWORD style = WS_CHILD | WS_VISIBLE | item.style;
        if (item.tabOrder != kNoTabStop)
            style |= WS_TABSTOP;
        HWND hwnd = CreateWindowExW(item.exStyle, Wide(item.className).c_str(),
                                    Wide(item.caption).c_str(), style, 0, 0, 0, 0, parent,
                                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)),
                                    GetModuleHandleW(nullptr), nullptr);
        handles_[item.id] = hwnd;
        if (TakesNameFromLabel(item.className))
            NameByLabel(hwnd);
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
