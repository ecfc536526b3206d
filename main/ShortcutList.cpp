#include "main/ShortcutList.h"

#include "main/RowText.h"
#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <commctrl.h>

#include <algorithm>
#include <uxtheme.h>
#include <windowsx.h>

namespace pw {

void ShortcutList::Attach(HWND list, HWND hintOwner) {
    list_ = list;
    hintOwner_ = hintOwner;
    Watch();
    SetTabStops();
}

int ShortcutList::SelectedRow() const {
    return static_cast<int>(SendMessageW(list_, LB_GETCURSEL, 0, 0));
}

void ShortcutList::ClearSelection() {
    SendMessageW(list_, LB_SETCURSEL, static_cast<WPARAM>(-1), 0);
}

void ShortcutList::SetTabStops() {
    // One stop, 17 average characters in, or two past the widest key text (a marked
    // one is longer): the key texts' column.
    const int stop = static_cast<int>(std::max<size_t>(17, keyColumnChars_ + 2)) * 4;
    SendMessageW(list_, LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));
}

void ShortcutList::ShowRows(const std::vector<std::string>& rows) {
    HWND list = list_;
    int row = SelectedRow();
    // Filled without the hint's subclass: under Wine every message to a subclassed
    // window asks the server for the subclass chain, which made 1,000 rows 100 times
    // slower to add.
    RemoveWindowSubclass(list, ListBoxProc, 1);
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    const int count = static_cast<int>(rows.size());
    size_t widestKey = 0;
    for (const std::string& text : rows) {
        widestKey =
            std::max(widestKey, Utf16Length(std::string_view(text).substr(0, text.find('\t'))));
    }
    if (widestKey != keyColumnChars_) {
        keyColumnChars_ = widestKey;
        SetTabStops();
    }
    if (count > 0) {
        for (const std::string& text : rows)
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
        if (row > count - 1)
            row = count - 1;
        SendMessageW(list, LB_SETCURSEL, row, 0);
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    Watch();
    InvalidateRect(list, nullptr, TRUE);
}

void ShortcutList::Watch() {
    SetWindowSubclass(list_, ListBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void ShortcutList::CreateItemHint() {
    // Made when a cut-off row is first pointed at: a tooltip window is among the
    // slowest controls to create, and most starts never need one.
    HWND list = list_;
    itemHint_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TRANSPARENT, TOOLTIPS_CLASSW, nullptr,
                                WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0, hintOwner_,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.hwnd = list;
    tool.lpszText = const_cast<wchar_t*>(L"");
    SendMessageW(itemHint_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(itemHint_, TTM_SETMAXTIPWIDTH, 0, 4096);
}

void ShortcutList::HideItemHint() {
    if (!itemHint_)
        return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list_;
    SendMessageW(itemHint_, TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
    itemHintAt_ = {-1, -1};
}

void ShortcutList::UpdateItemHint(POINT clientPoint) {
    HWND list = list_;
    const LRESULT hit =
        SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(clientPoint.x, clientPoint.y));
    const int row = LOWORD(hit);
    if (HIWORD(hit) || row >= SendMessageW(list, LB_GETCOUNT, 0, 0) || !GetActiveWindow()) {
        HideItemHint();
        return;
    }
    std::wstring text(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, row, 0)), L'\0');
    SendMessageW(list, LB_GETTEXT, row, reinterpret_cast<LPARAM>(text.data()));
    // The row is measured as one string, a tab counting as one character of the font.
    SIZE extent{};
    {
        ScopedDc dc(list, reinterpret_cast<HFONT>(SendMessageW(list, WM_GETFONT, 0, 0)));
        GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &extent);
    }
    RECT client;
    GetClientRect(list, &client);
    if (extent.cx + 2 <= client.right) {
        HideItemHint();
        return;
    }
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&item), 2);
    const POINT rowAt{item.left, item.top};
    if (rowAt.x == itemHintAt_.x && rowAt.y == itemHintAt_.y)
        return; // already showing over this row
    itemHintAt_ = rowAt;
    if (!itemHint_)
        CreateItemHint();
    const std::wstring hint = Wide(HintText(Utf8(text)));
    TOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = list;
    tool.lpszText = const_cast<wchar_t*>(hint.c_str());
    SendMessageW(itemHint_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    SendMessageW(itemHint_, TTM_TRACKPOSITION, 0, MAKELPARAM(item.left, item.top));
    SendMessageW(itemHint_, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    // The tooltip places itself by its own rules: put its window where the hint
    // belongs, 1 pixel left of the row, centred on it and raised by 2 pixels.
    RECT shown;
    GetWindowRect(itemHint_, &shown);
    const int height = shown.bottom - shown.top;
    SetWindowPos(itemHint_, HWND_TOPMOST, item.left - 1,
                 item.top + (item.bottom - item.top - height) / 2 - 2, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE);
}

LRESULT CALLBACK ShortcutList::ListBoxProc(HWND list, UINT msg, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR, DWORD_PTR refData) {
    auto* window = reinterpret_cast<ShortcutList*>(refData);
    switch (msg) {
    case WM_MOUSEMOVE:
        if (!window->trackingMouseLeave_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, list, 0};
            window->trackingMouseLeave_ = TrackMouseEvent(&track) != FALSE;
        }
        window->UpdateItemHint({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        break;
    case WM_MOUSELEAVE:
        window->trackingMouseLeave_ = false;
        window->HideItemHint();
        break;
    case WM_NCPAINT: {
        const LRESULT result = DefSubclassProc(list, msg, wParam, lParam);
        // Without visual styles the list has a flat bold frame in the shadow colour
        // (and without the theme library there are none).
        if (!LoadOnDemand(kThemeLibrary, nullptr) || !IsAppThemed()) {
            ScopedDc dc(list, nullptr, true);
            RECT r;
            GetWindowRect(list, &r);
            OffsetRect(&r, -r.left, -r.top);
            HBRUSH shadow = GetSysColorBrush(COLOR_BTNSHADOW);
            FrameRect(dc.Get(), &r, shadow);
            InflateRect(&r, -1, -1);
            FrameRect(dc.Get(), &r, shadow);
        }
        return result;
    }
    case WM_NCDESTROY:
        RemoveWindowSubclass(list, ListBoxProc, 1);
        break;
    }
    return DefSubclassProc(list, msg, wParam, lParam);
}

} // namespace pw
