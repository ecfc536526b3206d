#include "switcher/FolderSwitcher.h"

#include "switcher/FolderRanking.h"
#include "win/AppMessages.h"
#include "win/Clipboard.h"
#include "win/Dpi.h"
#include "win/Text.h"

#include <commctrl.h>
#include <shellscalingapi.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

namespace pw {

namespace {

// After a close, the window in front is watched for a moment: under Wine a focus
// change that comes late can still hand the desktop the focus after that window took
// it. Ten checks, 100 ms apart; then nothing runs until the next showing.
constexpr UINT_PTR kFocusBackTimer = 1;
constexpr UINT kFocusBackDelayMs = 100;
constexpr int kFocusBackChecks = 10;

using Row = ControlSpec<FolderSwitcher>;

enum ControlId : int {
    idFilterLabel = 100,
    idFilterBox,
    idCountLabel,
    idFolderList,
    idKeysLabel,
};

// Client area at 96 DPI.
constexpr int kClientWidth = 440;
constexpr int kClientHeight = 309;
constexpr DWORD kStyle = WS_POPUP | WS_BORDER | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

} // namespace

std::string FoldCase(const std::string& text) {
    if (text.empty())
        return text;
    const std::wstring wide = Wide(text);
    const int length = static_cast<int>(wide.size());
    constexpr DWORD kFlags = LCMAP_LOWERCASE | LCMAP_LINGUISTIC_CASING;
    const int needed = LCMapStringEx(LOCALE_NAME_INVARIANT, kFlags, wide.c_str(), length, nullptr,
                                     0, nullptr, nullptr, 0);
    if (needed <= 0)
        return text;
    std::wstring folded(static_cast<std::size_t>(needed), L'\0');
    LCMapStringEx(LOCALE_NAME_INVARIANT, kFlags, wide.c_str(), length, folded.data(), needed,
                  nullptr, nullptr, 0);
    return Utf8(folded);
}

// Each label comes before the control it names: a screen reader reads it as the
// control's name.
const std::vector<Row>& FolderSwitcher::Controls() {
    static const std::vector<Row> rows = {
        // id, class, caption, style, exStyle, parent, x, y, w, h, tab, font, click
        {idFilterLabel, "STATIC", "&Type to filter the folders:", SS_LEFT, 0, 0, 8, 8, 424, 15,
         kNoTabStop, FontRole::Normal, nullptr},
        {idFilterBox, "EDIT", "", ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 0, 8, 25, 424, 22, 0,
         FontRole::Normal, nullptr},
        {idCountLabel, "STATIC", "Folders:", SS_LEFT | SS_NOPREFIX, 0, 0, 8, 54, 424, 15,
         kNoTabStop, FontRole::Normal, nullptr},
        {idFolderList, "LISTBOX", "",
         LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL, WS_EX_CLIENTEDGE, 0, 8,
         71, 424, 213, 1, FontRole::Normal, nullptr},
        {idKeysLabel, "STATIC",
         "Ctrl+Enter: open in a terminal   Shift+Enter: new window   Ctrl+C: copy path",
         SS_LEFT | SS_NOPREFIX, 0, 0, 8, 289, 424, 15, kNoTabStop, FontRole::Normal, nullptr},
    };
    return rows;
}

FolderSwitcher::FolderSwitcher() {
    RegisterWindowClass(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
    if (!Create(kExStyle, kClassName, kCaption, kStyle, 0, 0, 0, 0, nullptr))
        throw std::runtime_error("The folder switcher could not be created");
    CreateControls();
}

FolderSwitcher::~FolderSwitcher() {
    // The controls go before the font they draw with.
    DestroyHandle();
}

void FolderSwitcher::CreateControls() {
    const UINT dpi = DpiOf(Handle());
    font_.Reset(CreateSystemUiFont(-11, dpi));
    layout_.Create(Handle(), Controls(), dpi, [this](FontRole) { return font_.Get(); });
    SetWindowSubclass(layout_[idFilterBox], FilterBoxProc, 1, reinterpret_cast<DWORD_PTR>(this));
}

void FolderSwitcher::ApplyDpi(UINT dpi) {
    font_.Reset(CreateSystemUiFont(-11, dpi));
    layout_.Rescale(dpi);
}

bool FolderSwitcher::Showing() const {
    return IsWindowVisible(Handle()) != FALSE;
}

void FolderSwitcher::Show(std::vector<std::string> rows, std::vector<std::string> paths,
                          HWND inFront) {
    rows_ = std::move(rows);
    paths_ = std::move(paths);
    foldedPaths_.clear();
    foldedPaths_.reserve(paths_.size());
    for (const std::string& path : paths_)
        foldedPaths_.push_back(FoldCase(path));
    inFront_ = inFront;

    // One tab stop, as the main list has it: two characters past the widest key text.
    std::size_t keyChars = 0;
    for (const std::string& row : rows_)
        keyChars = std::max(keyChars, Utf16Length(row.substr(0, row.find('\t'))));
    const int stop = static_cast<int>(std::max<std::size_t>(17, keyChars + 2)) * 4;
    SendMessageW(layout_[idFolderList], LB_SETTABSTOPS, 1, reinterpret_cast<LPARAM>(&stop));

    PlaceAtPointer();
    closing_ = true; // the empty text's EN_CHANGE is not a filter yet
    SetWindowTextW(layout_[idFilterBox], L"");
    closing_ = false;
    shown_.clear();
    SendMessageW(layout_[idFolderList], LB_RESETCONTENT, 0, 0);
    Refilter();
    // Shown first, then activated once: the activation puts the focus in the filter
    // box. A second activation would take the foreground back from a window the user
    // went to in between.
    KillTimer(Handle(), kFocusBackTimer);
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW | SWP_FRAMECHANGED);
    SetForegroundWindow(Handle());
}

void FolderSwitcher::PlaceAtPointer() {
    POINT pointer{};
    GetCursorPos(&pointer);
    HMONITOR monitor = MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    GetMonitorInfoW(monitor, &info);
    UINT dpiX = 96, dpiY = 96;
    if (FAILED(GetDpiForMonitor(monitor, MDT_EFFECTIVE_DPI, &dpiX, &dpiY)) || dpiY == 0)
        dpiY = SystemDpi();
    if (dpiY != layout_.Dpi())
        ApplyDpi(dpiY);
    RECT frame{0, 0, Scale(kClientWidth, dpiY), Scale(kClientHeight, dpiY)};
    AdjustWindowRectExForDpi(&frame, kStyle, FALSE, kExStyle, dpiY);
    const RECT& work = info.rcWork;
    const int width = std::min<int>(frame.right - frame.left, work.right - work.left);
    const int height = std::min<int>(frame.bottom - frame.top, work.bottom - work.top);
    const int x = std::clamp<int>(pointer.x, work.left, work.right - width);
    const int y = std::clamp<int>(pointer.y, work.top, work.bottom - height);
    SetWindowPos(Handle(), HWND_TOPMOST, x, y, width, height, SWP_NOACTIVATE);
}

void FolderSwitcher::Refilter() {
    const HWND box = layout_[idFilterBox];
    std::wstring typed(static_cast<std::size_t>(GetWindowTextLengthW(box)) + 1, L'\0');
    typed.resize(static_cast<std::size_t>(
        GetWindowTextW(box, typed.data(), static_cast<int>(typed.size()))));
    std::vector<int> ranked = RankFolders(foldedPaths_, FoldCase(Utf8(typed)));
    const HWND list = layout_[idFolderList];
    // A character that keeps every row where it was (the first letters typed into a
    // long list often do) costs no refill, and the selection stays.
    if (ranked == shown_ && SendMessageW(list, LB_GETCOUNT, 0, 0) == LRESULT(shown_.size()))
        return;
    shown_ = std::move(ranked);

    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    SendMessageW(list, LB_RESETCONTENT, 0, 0);
    for (const int index : shown_)
        SendMessageW(
            list, LB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(Wide(rows_[static_cast<std::size_t>(index)]).c_str()));
    if (!shown_.empty())
        SendMessageW(list, LB_SETCURSEL, 0, 0);
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);

    const std::string count =
        shown_.size() == rows_.size()
            ? "Folders: " + std::to_string(rows_.size())
            : "Folders: " + std::to_string(shown_.size()) + " of " + std::to_string(rows_.size());
    SetWindowTextW(layout_[idCountLabel], Wide(count).c_str());
}

int FolderSwitcher::SelectedRow() const {
    return static_cast<int>(SendMessageW(layout_[idFolderList], LB_GETCURSEL, 0, 0));
}

void FolderSwitcher::ChooseRow(int shownRow) {
    if (shownRow < 0 || shownRow >= static_cast<int>(shown_.size()))
        return;
    const std::string path = paths_[static_cast<std::size_t>(shown_[shownRow])];
    const HWND inFront = inFront_;
    // Enter comes as a key or, through the dialog keys, as IDOK; a click as a click:
    // the keys held say where either opens.
    const OpenIn where = GetKeyState(VK_CONTROL) < 0 ? OpenIn::Terminal
                         : GetKeyState(VK_SHIFT) < 0 ? OpenIn::NewWindow
                                                     : OpenIn::WindowInFront;
    Close(true); // the folder opens over the window that was in front
    if (OnChosen)
        OnChosen(path, inFront, where);
}

void FolderSwitcher::CopySelectedPath() {
    const int row = SelectedRow();
    if (row < 0 || row >= static_cast<int>(shown_.size()))
        return;
    CopyToClipboard(Handle(), paths_[static_cast<std::size_t>(shown_[row])]);
    Close(true); // back where the path is pasted
}

void FolderSwitcher::Dismiss() {
    Close(true);
}

void FolderSwitcher::Close(bool giveFocusBack) {
    if (closing_ || !Showing())
        return;
    closing_ = true;
    // The window in front is activated before this one hides, so that the hiding
    // activates nothing else after it.
    const bool focusBack = giveFocusBack && inFront_ && IsWindow(inFront_);
    if (focusBack)
        SetForegroundWindow(inFront_);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_HIDEWINDOW | SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER);
    if (focusBack) {
        focusBackChecks_ = 0;
        SetTimer(Handle(), kFocusBackTimer, kFocusBackDelayMs, nullptr);
    }
    closing_ = false;
}

LRESULT CALLBACK FolderSwitcher::FilterBoxProc(HWND box, UINT msg, WPARAM wParam, LPARAM lParam,
                                               UINT_PTR, DWORD_PTR data) {
    auto* self = reinterpret_cast<FolderSwitcher*>(data);
    switch (msg) {
    case WM_KEYDOWN:
        switch (wParam) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END:
            // The list moves its selection; the caret stays in the filter box.
            SendMessageW(self->layout_[idFolderList], WM_KEYDOWN, wParam, lParam);
            return 0;
        case VK_RETURN:
            self->ChooseRow(self->SelectedRow());
            return 0;
        case VK_ESCAPE:
            self->Dismiss();
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r' || wParam == L'\n' || wParam == 0x1B)
            return 0; // handled as keys: no beep
        // Ctrl+C: selected filter text is the box's to copy, else the folder's path.
        if (wParam == 0x03) {
            DWORD start = 0, end = 0;
            SendMessageW(box, EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                         reinterpret_cast<LPARAM>(&end));
            if (start == end) {
                self->CopySelectedPath();
                return 0;
            }
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(box, FilterBoxProc, 1);
        break;
    }
    return DefSubclassProc(box, msg, wParam, lParam);
}

LRESULT FolderSwitcher::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (id == idFilterBox && code == EN_CHANGE && !closing_)
            Refilter();
        else if (id == idFolderList && code == LBN_DBLCLK)
            ChooseRow(SelectedRow());
        else if (id == IDOK) // Enter, from the dialog keys of the message loop
            ChooseRow(SelectedRow());
        else if (id == IDCANCEL) // Esc
            Dismiss();
        return 0;
    }
    case WM_PARENTNOTIFY:
        if (LOWORD(wParam) == WM_LBUTTONDOWN) {
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            const HWND list = layout_[idFolderList];
            MapWindowPoints(Handle(), list, &at, 1);
            const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(at.x, at.y));
            // A row, not the space below the last one: chosen once the list has taken the click.
            if (ChildWindowFromPoint(Handle(), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}) ==
                    list &&
                HIWORD(hit) == 0)
                PostMessageW(Handle(), kSwitcherRowClickedMessage, LOWORD(hit), 0);
        }
        return 0;
    case WM_TIMER:
        if (wParam == kFocusBackTimer) {
            const HWND front = GetForegroundWindow();
            const bool desktopHasIt = !front || front == GetDesktopWindow();
            if (desktopHasIt && !Showing() && IsWindow(inFront_))
                SetForegroundWindow(inFront_);
            if (Showing() || ++focusBackChecks_ >= kFocusBackChecks)
                KillTimer(Handle(), kFocusBackTimer);
        }
        return 0;
    case kSwitcherRowClickedMessage:
        if (Showing())
            ChooseRow(static_cast<int>(wParam));
        return 0;
    case WM_ACTIVATE:
        // A click elsewhere or another window's activation: the user went on elsewhere.
        if (LOWORD(wParam) == WA_INACTIVE)
            Close(false);
        else
            SetFocus(layout_[idFilterBox]);
        return 0;
    case WM_DPICHANGED: {
        const DpiChange change = ReadDpiChange(Handle(), wParam, lParam);
        ApplyDpi(change.dpi);
        if (const auto& r = change.suggested)
            SetWindowPos(Handle(), nullptr, r->left, r->top, r->right - r->left, r->bottom - r->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        Dismiss();
        return 0;
    }
    return Window::HandleMessage(msg, wParam, lParam);
}

} // namespace pw
