#include "main/MainWindow.h"
#include "win/ProgramName.h"

#include "PathwinkVersion.h"
#include "main/MainWindowIds.h"
#include "main/RowText.h"
#include "open/Terminal.h"
#include "win/AppMessages.h"
#include "win/Dpi.h"
#include "win/OnDemandLibrary.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <stdexcept>

namespace pw {

using namespace mainwindow;

namespace {

using Row = ControlSpec<MainWindow>;

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLink = SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
constexpr DWORD kCheck = BS_AUTOCHECKBOX;

const char kWebsite[] = "https://www.corvane.example/";
const char kMail[] = "mailto:pathwink@corvane.example?subject=Pathwink";

const char* const kPageCaptions[kPageCount] = {"Folder Shortcuts", "Options", "About"};
const int kPageIds[kPageCount] = {idShortcutsPage, idOptionsPage, idAboutPage};

} // namespace

// The window's controls. Bounds are at 96 DPI, relative to the window's client
// area or, for page controls, to their page. Tab order counts within a parent.
const std::vector<Row>& MainWindow::Controls() {
    static const std::vector<Row> rows = {
        // id, class, caption, style, exStyle, parent, x, y, w, h, tab, font, click
        {idTabs, WC_TABCONTROLA, "", TCS_HOTTRACK | WS_CLIPSIBLINGS, 0, 0, 3, 6, 451, 233, 0,
         FontRole::Normal, nullptr},
        {idStatusLabel, "STATIC", "Status", kLabel, 0, 0, 56, 243, 177, 33, kNoTabStop,
         FontRole::Bold, nullptr},
        {idHelpButton, "BUTTON", "Help", BS_PUSHBUTTON, 0, 0, 245, 249, 65, 25, 1, FontRole::Normal,
         &MainWindow::OnHelpClicked},
        {idExitButton, "BUTTON", "Exit", BS_PUSHBUTTON, 0, 0, 317, 249, 65, 25, 2, FontRole::Normal,
         &MainWindow::OnExitClicked},
        {idTrayButton, "BUTTON", "Tray", BS_PUSHBUTTON, 0, 0, 389, 249, 65, 25, 3, FontRole::Bold,
         &MainWindow::OnTrayClicked},

        // "Folder Shortcuts"
        {idNewButton, "BUTTON", "New Shortcut", BS_PUSHBUTTON, 0, idShortcutsPage, 6, 6, 81, 25, 1,
         FontRole::Normal, &MainWindow::OnNewClicked},
        {idEditButton, "BUTTON", "Edit Selected", BS_PUSHBUTTON, 0, idShortcutsPage, 93, 6, 81, 25,
         2, FontRole::Normal, &MainWindow::OnEditClicked},
        {idDeleteButton, "BUTTON", "Delete Selected", BS_PUSHBUTTON | WS_DISABLED, 0,
         idShortcutsPage, 181, 6, 91, 25, 0, FontRole::Normal, &MainWindow::OnDeleteClicked},
        {idShortcutList, "LISTBOX", "",
         LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL,
         WS_EX_CLIENTEDGE, idShortcutsPage, 6, 38, 432, 161, 3, FontRole::Normal, nullptr},

        // "Options"
        {idWarnWeakKeyBox, "BUTTON", "Warn when selected shortcut key combination is \"weak.\"",
         kCheck, 0, idOptionsPage, 8, 10, 433, 17, 0, FontRole::Normal,
         &MainWindow::OnOptionToggled},
        {idConfirmExitBox, "BUTTON", "Confirm on exit button click.", kCheck, 0, idOptionsPage, 8,
         32, 425, 17, 1, FontRole::Normal, &MainWindow::OnOptionToggled},
        {idDoubleClickEditsBox, "BUTTON",
         "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.",
         kCheck, 0, idOptionsPage, 8, 54, 425, 17, 2, FontRole::Normal,
         &MainWindow::OnOptionToggled},
        {idWarnAltGrBox, "BUTTON",
         "Warn when a key combination types a character on my keyboard (AltGr).", kCheck, 0,
         idOptionsPage, 8, 76, 425, 17, 3, FontRole::Normal, &MainWindow::OnOptionToggled},
        {idOpenInFrontBox, "BUTTON",
         "Open folders in the window in front (a file dialog or an Explorer window).", kCheck, 0,
         idOptionsPage, 8, 98, 425, 17, 4, FontRole::Normal, &MainWindow::OnOptionToggled},
        {idRunAtLogonBox, "BUTTON", "Run " PATHWINK_NAME " automatically when Windows starts.",
         kCheck, 0, idOptionsPage, 8, 120, 425, 17, 5, FontRole::Normal,
         &MainWindow::OnOptionToggled},
        {idShowAllFoldersLabel, "STATIC", "Show all folders:", kLabel, 0, idOptionsPage, 8, 149, 0,
         0, kNoTabStop, FontRole::Normal, nullptr},
        {idShowAllFoldersField, HOTKEY_CLASSA, "", 0, WS_EX_CLIENTEDGE, idOptionsPage, 112, 146,
         160, 21, 6, FontRole::Normal, nullptr},
        {idShowAllFoldersState, "STATIC", "", kLabel, 0, idOptionsPage, 280, 149, 160, 15,
         kNoTabStop, FontRole::Normal, nullptr},
        {idTerminalLabel, "STATIC", "Terminal:", kLabel, 0, idOptionsPage, 8, 177, 0, 0, kNoTabStop,
         FontRole::Normal, nullptr},
        {idTerminalBox, "COMBOBOX", "", CBS_DROPDOWNLIST | WS_VSCROLL, 0, idOptionsPage, 112, 174,
         326, 160, 7, FontRole::Normal, nullptr},

        // "About"
        {idTitleLabel, "STATIC", PATHWINK_NAME, kLabel, 0, idAboutPage, 8, 8, 425, 32, kNoTabStop,
         FontRole::Title, nullptr},
        {idVersionLabel, "STATIC", "Version " PATHWINK_VERSION_TEXT, kLabel, 0, idAboutPage, 8, 46,
         0, 0, kNoTabStop, FontRole::Normal, nullptr},
        {idVisitLabel, "STATIC",
         "\r\n\r\nPlease visit the Corvane Software website for other great software.", kLabel, 0,
         idAboutPage, 8, 73, 425, 39, kNoTabStop, FontRole::Normal, nullptr},
        {idWebsiteLink, "STATIC", "Website: www.corvane.example", kLink, 0, idAboutPage, 8, 128, 0,
         0, kNoTabStop, FontRole::Link, &MainWindow::OnWebsiteClicked},
        {idMailLink, "STATIC", "Email: pathwink@corvane.example", kLink, 0, idAboutPage, 8, 147, 0,
         0, kNoTabStop, FontRole::Link, &MainWindow::OnMailClicked},
        {idCopyrightLabel, "STATIC",
         "Copyright \xC2\xA9 2026 Corvane Software.\r\nFree to use and to share.",
         SS_RIGHT | SS_NOPREFIX, 0, idAboutPage, 213, 176, 227, 26, kNoTabStop, FontRole::Normal,
         nullptr},
    };
    return rows;
}

std::unique_ptr<MainWindow> MainWindow::Make(HWND window, MainWindowEvents& events) {
    if (!LoadOnDemand(kCommonControlsLibrary, "show its window"))
        return nullptr;
    return std::make_unique<MainWindow>(window, events);
}

MainWindow::MainWindow(HWND window, MainWindowEvents& events) : window_(window), events_(events) {
    // The Windows 95 classes include the tabs and the hot-key field.
    INITCOMMONCONTROLSEX classes{sizeof classes, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&classes);
    const UINT dpi = DpiOf(Handle());
    CreateFonts(dpi);
    RECT frame{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, GetWindowLongW(Handle(), GWL_STYLE), FALSE, 0, dpi);
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);

    for (int i = 0; i < kPageCount; ++i) {
        pages_.push_back(std::make_unique<TabPage>(Handle(), kPageIds[i]));
        // A control without a label of its own (the list) is named by its page.
        SetWindowTextW(pages_.back()->Handle(), Wide(kPageCaptions[i]).c_str());
        layout_.AddContainer(kPageIds[i], pages_.back()->Handle());
    }
    layout_.Create(Handle(), Controls(), dpi, [this](FontRole r) { return FontFor(r); });
    // A key typed alone gets Ctrl+Alt, as in the shortcut dialog.
    showAllFoldersField_.SetValue(0);
    showAllFoldersField_.SetDefaultModifiers(kWithCtrl | kWithAlt);
    showAllFoldersField_.Attach(Control(idShowAllFoldersField));
    HWND tabs = Control(idTabs);
    for (int i = 0; i < kPageCount; ++i) {
        const std::wstring caption = Wide(kPageCaptions[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(caption.c_str());
        SendMessageW(tabs, TCM_INSERTITEMW, i, reinterpret_cast<LPARAM>(&item));
    }
    // Pages lie above the tab control in Z order, so they are drawn over its body.
    for (auto& page : pages_)
        SetWindowPos(page->Handle(), HWND_TOP, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PlacePages();
    SelectPage(kPageAbout);
    list_.Attach(Control(idShortcutList), Handle());
    TracePhase("pages and controls");
}

MainWindow::~MainWindow() = default;

int MainWindow::SelectedRow() const {
    return list_.SelectedRow();
}

void MainWindow::ClearSelection() {
    list_.ClearSelection();
    SetListButtonsEnabled();
}

void MainWindow::SetListButtonsEnabled() {
    const bool selected = SelectedRow() >= 0;
    EnableWindow(Control(idDeleteButton), selected);
    EnableWindow(Control(idEditButton), selected);
}

void MainWindow::ShowShortcutRows(const std::vector<std::string>& rows) {
    SetWindowTextW(Control(idStatusLabel),
                   rows.empty() ? L"Currently, there are no folder shortcuts defined." : L"");
    list_.ShowRows(rows);
    SetListButtonsEnabled();
}

void MainWindow::CreateFonts(UINT dpi) {
    fontNormal_.Reset(CreateSystemUiFont(-11, dpi));
    fontBold_.Reset(CreateSystemUiFont(-11, dpi, true));
    fontTitle_.Reset(CreateUiFont("Arial", -27, dpi, true, true));
    fontLink_.Reset(CreateSystemUiFont(-11, dpi, false, true));
    const int iconSize = GetSystemMetricsForDpi(SM_CXICON, dpi);
    icon_.Reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, iconSize, iconSize, 0)));
}

HFONT MainWindow::FontFor(FontRole role) const {
    switch (role) {
    case FontRole::Bold:
        return fontBold_.Get();
    case FontRole::Title:
        return fontTitle_.Get();
    case FontRole::Link:
        return fontLink_.Get();
    case FontRole::Normal:
        break;
    }
    return fontNormal_.Get();
}

void MainWindow::PlacePages() {
    HWND tabs = Control(idTabs);
    RECT r;
    GetClientRect(tabs, &r);
    TabCtrl_AdjustRect(tabs, FALSE, &r);
    MapWindowPoints(tabs, Handle(), reinterpret_cast<POINT*>(&r), 2);
    for (auto& page : pages_)
        SetWindowPos(page->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::SelectPage(int page) {
    TabCtrl_SetCurSel(Control(idTabs), page);
    for (int i = 0; i < kPageCount; ++i)
        ShowWindow(pages_[i]->Handle(), i == page ? SW_SHOW : SW_HIDE);
}

int MainWindow::ActivePage() const {
    return TabCtrl_GetCurSel(Control(idTabs));
}

void MainWindow::ApplyDpi(UINT dpi, const RECT* suggested) {
    CreateFonts(dpi);
    if (suggested)
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    layout_.Rescale(dpi);
    PlacePages();
    list_.SetTabStops();
    InvalidateRect(Handle(), nullptr, TRUE);
}

void MainWindow::ShowAtStartup(int showCommand) {
    shownOnce_ = true;
    RECT r;
    GetWindowRect(Handle(), &r);
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    if (showCommand == SW_SHOWMINNOACTIVE) {
        // A minimised start ends in the tray: the minimise handler hides the window.
        ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
        return;
    }
    ShowWindow(Handle(), showCommand == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL);
    SetForegroundWindow(Handle());
    UpdateWindow(Handle());
}

void MainWindow::ShowAndActivate() {
    if (!shownOnce_) {
        ShowAtStartup(SW_SHOWNORMAL);
        return;
    }
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(Handle());
    SetForegroundWindow(Handle());
}

void MainWindow::ShowOnPage(int page) {
    SelectPage(page);
    ShowAndActivate();
}

void MainWindow::Hide() {
    ShowWindow(Handle(), SW_HIDE);
}

void MainWindow::PaintIcon() {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(Handle(), &ps);
    RECT client;
    GetClientRect(Handle(), &client);
    const UINT dpi = layout_.Dpi();
    const int size = GetSystemMetricsForDpi(SM_CXICON, dpi);
    DrawIconEx(dc, Scale(3, dpi), client.bottom - Scale(34, dpi), icon_.Get(), size, size, 0,
               nullptr, DI_NORMAL);
    EndPaint(Handle(), &ps);
}

bool MainWindow::Checked(int id) const {
    return SendMessageW(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void MainWindow::SetChecked(int id, bool checked) {
    SendMessageW(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void MainWindow::ShowOptions(const Options& options) {
    SetChecked(idWarnWeakKeyBox, options.warnOfWeakKeys);
    SetChecked(idConfirmExitBox, options.confirmExit);
    SetChecked(idDoubleClickEditsBox, options.doubleClickEdits);
    SetChecked(idRunAtLogonBox, options.runAtLogon);
    SetChecked(idWarnAltGrBox, options.warnOfAltGr);
    SetChecked(idOpenInFrontBox, options.openInFront);
    ShowTerminal(options.terminal);
}

void MainWindow::ShowTerminal(const std::string& setting) {
    terminalSetting_ = setting;
    const InstalledTerminals installed = FindInstalledTerminals();
    const Terminal chosen = ChosenTerminal(setting, installed);
    // The known terminals that are there, the other program if one is chosen, and last
    // the entry that picks one.
    std::vector<std::string> texts;
    terminalChoices_.clear();
    for (const TerminalKind kind : kKnownTerminals)
        if (!installed.ProgramOf(kind).empty()) {
            terminalChoices_.push_back(TerminalSetting(kind));
            texts.push_back(TerminalName(kind));
        }
    if (chosen.kind == TerminalKind::OtherProgram) {
        terminalChoices_.push_back(chosen.program);
        texts.push_back(chosen.program);
    }
    texts.push_back(TerminalName(TerminalKind::OtherProgram));
    const HWND box = Control(idTerminalBox);
    SendMessageW(box, CB_RESETCONTENT, 0, 0);
    for (const std::string& text : texts)
        SendMessageW(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Wide(text).c_str()));
    const std::string shown = TerminalSetting(chosen.kind, chosen.program);
    terminalShown_ =
        static_cast<size_t>(std::find(terminalChoices_.begin(), terminalChoices_.end(), shown) -
                            terminalChoices_.begin());
    SendMessageW(box, CB_SETCURSEL, terminalShown_, 0);
}

void MainWindow::OnTerminalBoxChanged() {
    const auto index =
        static_cast<size_t>(SendMessageW(Control(idTerminalBox), CB_GETCURSEL, 0, 0));
    std::string setting;
    if (index == terminalShown_) {
        return; // what the box stood for already
    } else if (index < terminalChoices_.size()) {
        setting = terminalChoices_[index];
    } else if (const auto program = PickTerminalProgram()) {
        setting = *program;
    } else {
        ShowTerminal(terminalSetting_); // cancelled: the box shows the choice it had
        return;
    }
    ShowTerminal(setting);
    events_.OnOptionsChanged(CheckedOptions());
}

std::optional<std::string> MainWindow::PickTerminalProgram() {
    if (!LoadOnDemand(kCommonDialogsLibrary, "show the Open dialog"))
        return std::nullopt;
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = Handle();
    dialog.lpstrFilter = L"Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrTitle = L"Terminal program";
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    return Utf8(file.c_str());
}

Options MainWindow::CheckedOptions() const {
    Options options;
    options.warnOfWeakKeys = Checked(idWarnWeakKeyBox);
    options.confirmExit = Checked(idConfirmExitBox);
    options.doubleClickEdits = Checked(idDoubleClickEditsBox);
    options.runAtLogon = Checked(idRunAtLogonBox);
    options.warnOfAltGr = Checked(idWarnAltGrBox);
    options.openInFront = Checked(idOpenInFrontBox);
    options.terminal = terminalSetting_;
    return options;
}

void MainWindow::ShowAllFoldersKey(KeyCombination key, bool inactive) {
    shownShowAllFoldersKey_ = key;
    showAllFoldersField_.SetValue(key);
    SetWindowTextW(Control(idShowAllFoldersState),
                   inactive ? L"Inactive: another program holds it." : L"");
}

void MainWindow::OnShowAllFoldersFieldChanged() {
    const KeyCombination key = showAllFoldersField_.Value();
    // Modifiers alone are a combination still being typed (some versions of the
    // control say 0 while a modifier is held: only an empty field with no modifier
    // down is "no key"); keys let go while a question about the key is open change
    // nothing (the owner shows what it keeps).
    const bool modifierHeld =
        GetKeyState(VK_SHIFT) < 0 || GetKeyState(VK_CONTROL) < 0 || GetKeyState(VK_MENU) < 0;
    if ((key != 0 && VirtualKeyOf(key) == 0) || (key == 0 && modifierHeld) ||
        key == shownShowAllFoldersKey_ || checkingKey_)
        return;
    checkingKey_ = true;
    const ScopeExit checked([this] { checkingKey_ = false; });
    events_.OnShowAllFoldersKeyTyped(key);
}

void MainWindow::ShowRowMenu(POINT at) {
    const HWND list = Control(idShortcutList);
    if (at.x == -1 && at.y == -1) {
        // From the keyboard: at the selected row.
        RECT row;
        if (SelectedRow() < 0 || SendMessageW(list, LB_GETITEMRECT, SelectedRow(),
                                              reinterpret_cast<LPARAM>(&row)) == LB_ERR)
            return;
        at = {row.left, row.bottom};
        ClientToScreen(list, &at);
    } else {
        // A right click selects the row under it first; below the last row there is none.
        POINT inList = at;
        ScreenToClient(list, &inList);
        const LRESULT hit = SendMessageW(list, LB_ITEMFROMPOINT, 0, MAKELPARAM(inList.x, inList.y));
        if (HIWORD(hit))
            return;
        SendMessageW(list, LB_SETCURSEL, LOWORD(hit), 0);
        SetListButtonsEnabled();
    }
    enum : UINT { kOpen = 1, kOpenInTerminal, kCopyPath, kEdit, kDelete };
    const UniqueMenu menu(CreatePopupMenu());
    const std::pair<UINT, const wchar_t*> items[] = {
        {kOpen, L"&Open"},          {kOpenInTerminal, L"Open in &Terminal"},
        {kCopyPath, L"&Copy Path"}, {0, nullptr},
        {kEdit, L"&Edit..."},       {kDelete, L"&Delete"}};
    for (const auto& [id, text] : items)
        AppendMenuW(menu.Get(), text ? MF_STRING : MF_SEPARATOR, id, text);
    // In bold, what a double-click does.
    SetMenuDefaultItem(menu.Get(), Checked(idDoubleClickEditsBox) ? kEdit : kOpen, FALSE);
    const UINT align = GetSystemMetrics(SM_MENUDROPALIGNMENT) ? TPM_RIGHTALIGN : TPM_LEFTALIGN;
    menuOpen_ = true;
    const UINT chosen =
        TrackPopupMenuEx(menu.Get(), align | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x,
                         at.y, Handle(), nullptr);
    menuOpen_ = false;
    // Folders handed over while the menu was open get their dialogs now, not inside its loop.
    PostMessageW(Handle(), kRunQueuedFlowMessage, 0, 0);
    switch (chosen) {
    case kOpen:
        return events_.OnRowActionChosen(MainWindowEvents::RowAction::Open);
    case kOpenInTerminal:
        return events_.OnRowActionChosen(MainWindowEvents::RowAction::OpenInTerminal);
    case kCopyPath:
        return events_.OnRowActionChosen(MainWindowEvents::RowAction::CopyPath);
    case kEdit:
        return events_.OnEditClicked();
    case kDelete:
        return events_.OnDeleteClicked();
    }
}

void MainWindow::OpenLink(int id, const char* target) {
    if (!EnterComOnThisThread("open the link"))
        return;
    const std::wstring file = Wide(target);
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.hwnd = Handle();
    info.lpVerb = L"Open";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) {
        (id == idWebsiteLink ? visitedWebsite_ : visitedMail_) = true;
        InvalidateRect(Control(id), nullptr, TRUE);
    }
}

void MainWindow::OnWebsiteClicked() {
    OpenLink(idWebsiteLink, kWebsite);
}
void MainWindow::OnMailClicked() {
    OpenLink(idMailLink, kMail);
}

LRESULT MainWindow::ColorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    SetBkMode(dc, TRANSPARENT);
    if (id == idWebsiteLink || id == idMailLink) {
        const bool visited = id == idWebsiteLink ? visitedWebsite_ : visitedMail_;
        SetTextColor(dc, visited ? RGB(128, 0, 128) : RGB(0, 0, 255));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT MainWindow::HandleCommand(WPARAM wParam) {
    const int id = LOWORD(wParam);
    const WORD code = HIWORD(wParam);
    if (id == idShortcutList) {
        if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
            SetListButtonsEnabled();
        else if (code == LBN_DBLCLK && SelectedRow() >= 0)
            events_.OnListDoubleClicked();
    } else if (id == idShowAllFoldersField && code == EN_CHANGE) {
        OnShowAllFoldersFieldChanged();
    } else if (id == idTerminalBox &&
               (code == CBN_CLOSEUP ||
                (code == CBN_SELCHANGE && !SendMessageW(Control(id), CB_GETDROPPEDSTATE, 0, 0)))) {
        // A choice made with the list closed counts at once, one in the open list when
        // it closes (the arrow keys would otherwise open the program picker on the way).
        OnTerminalBoxChanged();
    } else if (code == BN_CLICKED || code == STN_CLICKED) {
        DispatchClick(*this, Controls(), id);
    }
    return 0;
}

bool MainWindow::HandleViewMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (msg) {
    case WM_COMMAND:
        result = HandleCommand(wParam);
        return true;
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->idFrom == idTabs && hdr->code == TCN_SELCHANGE)
            SelectPage(ActivePage());
        return true;
    }
    case WM_CONTEXTMENU:
        if (reinterpret_cast<HWND>(wParam) != Control(idShortcutList))
            return false;
        ShowRowMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
        return true;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        result = ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
        return true;
    case WM_SETCURSOR: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
        if (id != idWebsiteLink && id != idMailLink)
            return false;
        SetCursor(LoadCursor(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    }
    case WM_PAINT:
        PaintIcon();
        return true;
    case WM_SIZE:
        // Hidden, the minimised window leaves no taskbar button: the tray icon is its way back.
        if (wParam == SIZE_MINIMIZED)
            Hide();
        return false;
    case WM_DPICHANGED: {
        const DpiChange change = ReadDpiChange(Handle(), wParam, lParam);
        ApplyDpi(change.dpi, change.suggested ? &*change.suggested : nullptr);
        return true;
    }
    case WM_SHOWWINDOW:
        if (wParam)
            events_.OnWindowOpening();
        return false;
    }
    return false;
}

} // namespace pw
