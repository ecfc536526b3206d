#include "dialogs/ShortcutEditor.h"

#include "win/AccessibleName.h"
#include "win/Dpi.h"
#include "win/ModalWindow.h"
#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <commctrl.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <stdexcept>
#include <utility>

namespace pw {

namespace {

// Control ids. IDOK and IDCANCEL are avoided on purpose: the dialog-key handling
// of the message loop turns Enter and Escape into commands with those ids, and
// neither key may end the dialog.
enum : int {
    kFolderLabel = 100,
    kFolderEdit,
    kBrowseButton,
    kHotkeyLabel,
    kHotkeyField,
    kOkButton,
    kCancelButton,
};

constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 402, kClientHeight = 103; // at 96 DPI
constexpr int kFontHeight = -11;                       // 8 points at 96 DPI

using Row = ControlSpec<ShortcutEditor>; // one control of the layout table

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

const char* const kFolderHint =
    "Path of folder the shortcut will point to. Click \"...\" to browse a folder.";
const char* const kBrowseHint = "Click to browse to a folder.";
const char* const kHotkeyHint = "The HotKey combination of the shortcut. Click here and then "
                                "perform the key combination you desire for the shortcut.";

} // namespace

// The dialog's controls. Bounds are at 96 DPI, relative to the client area.
const std::vector<Row>& ShortcutEditor::Controls() {
    static const std::vector<Row> rows = {
        // id, class, caption, style, exStyle, parent, x, y, w, h, tab, font, click
        {kFolderLabel, "Static", "Folder:", kLabel, 0, 0, 8, 8, 34, 13, kNoTabStop,
         FontRole::Normal, nullptr},
        {kFolderEdit, "Edit", "", ES_LEFT | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, 0, 8, 24, 361, 21, 0,
         FontRole::Normal, nullptr},
        {kBrowseButton, "Button", "...", BS_PUSHBUTTON, 0, 0, 376, 24, 19, 21, 1, FontRole::Normal,
         &ShortcutEditor::OnBrowseClicked},
        {kHotkeyLabel, "Static", "HotKey:", kLabel, 0, 0, 8, 56, 39, 13, kNoTabStop,
         FontRole::Normal, nullptr},
        // HotkeyField, tab 2: HotkeyFieldRow() below.
        {kOkButton, "Button", "OK", BS_PUSHBUTTON, 0, 0, 240, 72, 75, 25, 3, FontRole::Normal,
         &ShortcutEditor::OnOkClicked},
        {kCancelButton, "Button", "Cancel", BS_PUSHBUTTON, 0, 0, 320, 72, 75, 25, 4,
         FontRole::Normal, &ShortcutEditor::OnCancelClicked},
    };
    return rows;
}

// The hot-key field is made by HotkeyField::Create, not by the layout loop; its row
// stands apart and is slotted into the tab order by its tab position.
const Row& ShortcutEditor::HotkeyFieldRow() {
    // clang-format off
    static const Row row{kHotkeyField, HOTKEY_CLASSA, "", 0, WS_EX_CLIENTEDGE, 0,
                         8, 72, 209, 19, 2, FontRole::Normal, nullptr};
    // clang-format on
    return row;
}

ShortcutEditor::ShortcutEditor(HWND owner) : owner_(owner) {
    RegisterWindowClass(kClassName, 0, reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    // Sized once its DPI is known; placed at the first showing.
    if (!Create(kExStyle, kClassName, "New Folder Shortcut", kStyle, 0, 0, 0, 0, owner))
        throw std::runtime_error("The shortcut editor could not be created");
    HWND self = Handle();
    const UINT dpi = DpiOf(self);
    font_.Reset(CreateSystemUiFont(kFontHeight, dpi));
    SizeToClientArea(dpi);
    layout_.Create(self, Controls(), dpi, [this](FontRole role) { return FontFor(role); });
    FitLabels();

    // A path has no length limit (0 lifts the edit control's default one).
    SendMessageW(layout_[kFolderEdit], EM_SETLIMITTEXT, 0, 0);

    // The value first, then the Ctrl+Alt substitution, then the window, whose
    // creation hands both to the control as its rules; later writes of the value
    // leave the rules alone.
    hotkeyField_.SetValue(kWithCtrl | kWithAlt);
    hotkeyField_.SetDefaultModifiers(kWithCtrl | kWithAlt);
    hotkeyField_.Create(self, HotkeyFieldRow().id, 0, 0, 0, 0);
    PlaceHotkeyField();
    NameByLabel(hotkeyField_.Handle());

    CreateHints();

    // A fixed dialog frame: the system menu keeps only Move and Close.
    HMENU sysMenu = GetSystemMenu(self, FALSE);
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
        DeleteMenu(sysMenu, command, MF_BYCOMMAND);

    activeControl_ = layout_[kFolderEdit];
}

ShortcutEditor::~ShortcutEditor() {
    // The controls go before the font they draw with.
    DestroyHandle();
}

void ShortcutEditor::SizeToClientArea(UINT dpi) {
    RECT r{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&r, kStyle, FALSE, kExStyle, dpi);
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ShortcutEditor::FitLabels() {
    // The labels' bounds are their text's extent in Tahoma 8 at 96 DPI. A wider
    // face under the same name, or a DPI at which the text does not scale in
    // step, would cut their ends off: then they grow to their text.
    for (const Row& s : Controls()) {
        if (s.tabOrder != kNoTabStop)
            continue;
        HWND label = layout_[s.id];
        const RECT text =
            MeasureText(label, font_.Get(), Wide(s.caption), DT_SINGLELINE | DT_NOPREFIX);
        RECT now;
        GetClientRect(label, &now);
        const int width = std::max(now.right, text.right);
        const int height = std::max(now.bottom, text.bottom);
        if (width != now.right || height != now.bottom)
            SetWindowPos(label, nullptr, 0, 0, width, height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void ShortcutEditor::PlaceHotkeyField() {
    HWND field = hotkeyField_.Handle();
    if (!field)
        return;
    const UINT dpi = layout_.Dpi();
    const Row& row = HotkeyFieldRow();
    // Z order is tab order: right behind its label, which the layout put before OK,
    // the control whose tab position comes next.
    const HWND before = layout_[kHotkeyLabel];
    SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    SetWindowPos(field, before, Scale(row.x, dpi), Scale(row.y, dpi), Scale(row.width, dpi),
                 Scale(row.height, dpi), SWP_NOACTIVATE);
    InvalidateRect(field, nullptr, TRUE);
}

void ShortcutEditor::CreateHints() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    InitCommonControlsEx(&icc);
    hints_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, Handle(),
                             nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hints_)
        return; // hints are a help, not a function: the dialog works without them
    const std::pair<HWND, const char*> tools[] = {
        {layout_[kFolderEdit], kFolderHint},
        {layout_[kBrowseButton], kBrowseHint},
        {hotkeyField_.Handle(), kHotkeyHint},
    };
    SetHintWidth(layout_.Dpi());
    for (const auto& [control, text] : tools) {
        const std::wstring wideText = Wide(text);
        TTTOOLINFOW ti{};
        ti.cbSize = sizeof ti;
        ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
        ti.hwnd = Handle();
        ti.uId = reinterpret_cast<UINT_PTR>(control);
        ti.lpszText = const_cast<wchar_t*>(wideText.c_str());
        SendMessageW(hints_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
    }
}

void ShortcutEditor::SetHintWidth(UINT dpi) {
    // Long hints wrap at the dialog's width instead of running across the screen.
    if (hints_)
        SendMessageW(hints_, TTM_SETMAXTIPWIDTH, 0, Scale(kClientWidth, dpi));
}

void ShortcutEditor::SetCaption(const std::string& caption) {
    SetWindowTextW(Handle(), Wide(caption).c_str());
}

std::string ShortcutEditor::FolderText() const {
    HWND edit = layout_[kFolderEdit];
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    text.resize(
        static_cast<size_t>(GetWindowTextW(edit, text.data(), static_cast<int>(text.size()))));
    return Utf8(text);
}

void ShortcutEditor::SetFolderText(const std::string& text) {
    SetWindowTextW(layout_[kFolderEdit], Wide(text).c_str());
}

KeyCombination ShortcutEditor::HotkeyValue() {
    return hotkeyField_.Value();
}

void ShortcutEditor::SetHotkeyValue(KeyCombination value) {
    hotkeyField_.SetValue(value);
}

void ShortcutEditor::SetActiveControl(Field field) {
    activeControl_ = field == Field::Folder ? layout_[kFolderEdit] : hotkeyField_.Handle();
    if (showing_ && GetActiveWindow() == Handle())
        FocusActiveControl();
}

void ShortcutEditor::FocusActiveControl() {
    HWND control = activeControl_;
    if (!control || !IsWindowEnabled(control))
        return;
    SetFocus(control);
    // As a dialog does when it gives an edit the focus: its whole text selected.
    if (control == layout_[kFolderEdit])
        SendMessageW(control, EM_SETSEL, 0, -1);
}

void ShortcutEditor::PlaceAtFirstShowing() {
    if (placed_)
        return;
    placed_ = true;
    CentreOverOwner(Handle(), owner_);
}

int ShortcutEditor::ShowModal() {
    HWND self = Handle();
    if (!self)
        return kResultCancel;
    if (showing_) {
        // Already open for another flow: that one keeps it.
        BringToFront();
        return kResultCancel;
    }
    PlaceAtFirstShowing();
    modalResult_ = 0;
    showing_ = true;
    const ScopeExit notShowing([this] { showing_ = false; });
    const bool ended = RunModalWindow(
        self, [this] { FocusActiveControl(); }, [this] { return modalResult_ != 0 || !Handle(); });
    return ended && modalResult_ == kResultOK ? kResultOK : kResultCancel;
}

void ShortcutEditor::BringToFront() {
    if (!showing_)
        return;
    // The folder browser, when open, is the window to come forward.
    if (!BringOwnedPopupForward(Handle()))
        SetForegroundWindow(Handle());
}

void ShortcutEditor::OnOkClicked() {
    if (showing_)
        modalResult_ = kResultOK;
}

void ShortcutEditor::OnCancelClicked() {
    if (showing_)
        modalResult_ = kResultCancel;
}

void ShortcutEditor::OnBrowseClicked() {
    // The shell's folder browser needs COM in a single-threaded apartment.
    if (!EnterComOnThisThread("browse for a folder"))
        return;
    wchar_t displayName[MAX_PATH + 1] = {};
    BROWSEINFOW bi{};
    bi.hwndOwner = Handle();
    bi.pidlRoot = nullptr;
    bi.pszDisplayName = displayName;
    bi.lpszTitle = L"Select folder for shortcut.";
    bi.ulFlags = BIF_RETURNONLYFSDIRS;
    bi.lpfn = nullptr;
    bi.lParam = 0;
    bi.iImage = 0;
    if (const UniqueCoTaskMem<ITEMIDLIST> item(SHBrowseForFolderW(&bi)); item) {
        // A path longer than MAX_PATH is given whole (the plain call would fail).
        std::wstring path(32768, L'\0');
        if (SHGetPathFromIDListEx(item.Get(), path.data(), static_cast<DWORD>(path.size()),
                                  GPFIDL_DEFAULT)) {
            path.resize(wcslen(path.c_str()));
            SetFolderText(Utf8(path));
        }
    }
}

void ShortcutEditor::ApplyDpi(UINT dpi, const RECT* suggested) {
    UniqueFont old = std::move(font_); // in use until every control has the new one
    font_.Reset(CreateSystemUiFont(kFontHeight, dpi));
    if (suggested)
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    layout_.Rescale(dpi);
    FitLabels();
    PlaceHotkeyField();
    SetHintWidth(dpi);
}

LRESULT ShortcutEditor::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND self = Handle();
    switch (msg) {
    case WM_COMMAND: {
        HWND from = reinterpret_cast<HWND>(lParam);
        // Commands without a control (Enter and Escape turned into IDOK and
        // IDCANCEL by the dialog-key handling) are ignored.
        if (!from)
            return 0;
        if (HIWORD(wParam) == BN_CLICKED)
            DispatchClick(*this, Controls(), LOWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        // The close box and the system menu's Close end the showing like Cancel;
        // the window itself lives on for the next flow.
        if (showing_)
            modalResult_ = kResultCancel;
        else
            ShowWindow(self, SW_HIDE);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(self, focus))
                activeControl_ = focus;
        } else {
            FocusActiveControl();
        }
        return 0;
    case WM_SETFOCUS:
        FocusActiveControl();
        return 0;
    case WM_DPICHANGED: {
        const DpiChange change = ReadDpiChange(Handle(), wParam, lParam);
        ApplyDpi(change.dpi, change.suggested ? &*change.suggested : nullptr);
        return 0;
    }
    default:
        return Window::HandleMessage(msg, wParam, lParam);
    }
}

} // namespace pw
