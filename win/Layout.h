#pragma once
// A window's controls described by a table: id, class, caption, style, bounds at
// 96 DPI, tab order and click handler. One loop creates them (in tab order within
// each parent, which is what the Tab key follows) and scales every bound by the
// window's DPI; Rescale moves them again when the DPI changes.

#include "win/Dpi.h"

#include <windows.h>

#include <functional>
#include <map>
#include <vector>

namespace pw {

enum class FontRole { Normal, Bold, Title, Link };

constexpr int kNoTabStop = -1;

template <class Owner> struct ControlSpec {
    int id;                // control id; the handler switch dispatches on it
    const char* className; // window class
    const char* caption;
    DWORD style; // WS_CHILD | WS_VISIBLE are added
    DWORD exStyle;
    int parentId;            // 0: the window itself; otherwise a container's id
    int x, y, width, height; // at 96 DPI; a zero width or height sizes the caption's text
    int tabOrder;            // kNoTabStop for controls that take no focus
    FontRole font;
    void (Owner::*onClick)(); // BN_CLICKED / STN_CLICKED handler, or nullptr
};

class Layout {
public:
    struct Item {
        int id;
        const char* className;
        const char* caption;
        DWORD style, exStyle;
        int parentId;
        int x, y, width, height, tabOrder;
        FontRole font;
    };
    using FontFn = std::function<HFONT(FontRole)>;

    template <class Owner>
    void Create(HWND window, const std::vector<ControlSpec<Owner>>& rows, UINT dpi, FontFn fonts) {
        std::vector<Item> items;
        for (const auto& s : rows)
            items.push_back({s.id, s.className, s.caption, s.style, s.exStyle, s.parentId, s.x, s.y,
                             s.width, s.height, s.tabOrder, s.font});
        CreateItems(window, std::move(items), dpi, std::move(fonts));
    }

    // A window made by the owner itself (a tab page) that holds controls of the table.
    void AddContainer(int id, HWND hwnd) { handles_[id] = hwnd; }
    // Moves and re-fonts every control for a new DPI (the fonts function is asked again).
    void Rescale(UINT dpi);

    HWND operator[](int id) const {
        auto it = handles_.find(id);
        return it == handles_.end() ? nullptr : it->second;
    }
    UINT Dpi() const { return dpi_; }

private:
    void CreateItems(HWND window, std::vector<Item> items, UINT dpi, FontFn fonts);
    void Place(const Item& item);

    HWND window_ = nullptr;
    UINT dpi_ = 96;
    FontFn fonts_;
    std::vector<Item> items_;
    std::map<int, HWND> handles_;
};

// Runs the click handler bound to control id; true when the table has one.
template <class Owner>
bool DispatchClick(Owner& owner, const std::vector<ControlSpec<Owner>>& rows, int id) {
    for (const auto& s : rows)
        if (s.id == id && s.onClick) {
            (owner.*s.onClick)();
            return true;
        }
    return false;
}

} // namespace pw
