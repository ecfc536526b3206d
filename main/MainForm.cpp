#include "main/MainForm.h"

#include "dialogs/NewShortcut.h"
#include "main/MainLayout.h"
#include "win/Application.h"
#include "win/Dpi.h"
#include "win/Messages.h"

#include <commctrl.h>
#include <array>
#include <stdexcept>
#include <shellapi.h>

namespace pw {

using namespace mainform;

namespace {

using Row = ControlSpec<TPathwinkMainForm>;
using F = TPathwinkMainForm;

constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;
constexpr DWORD kLink = SS_LEFT | SS_NOPREFIX | SS_NOTIFY;
constexpr DWORD kCheck = BS_AUTOCHECKBOX;

const char kWebsite[] = "https://www.corvane.example/";
const char kMail[] = "mailto:pathwink@corvane.example?subject=Pathwink";

// The window's controls. Bounds are at 96 DPI, relative to the window's client
// area or, for page controls, to their page. Tab order counts within a parent.
const std::vector<Row>& MainLayout() {
    static const std::vector<Row> rows = {
        // id, name, class, caption, style, exStyle, parent, x, y, w, h, tab, font, click
        {idPageControl1, "PageControl1", WC_TABCONTROLA, "", TCS_HOTTRACK | WS_CLIPSIBLINGS, 0,
         0, 3, 6, 451, 233, 0, FontRole::Normal, nullptr},
        {idLabelStatus, "LabelStatus", "STATIC", "Status", kLabel, 0, 0, 56, 243, 177, 33,
         kNoTabStop, FontRole::Bold, nullptr},
        {idButton3, "Button3", "BUTTON", "Help", BS_PUSHBUTTON, 0, 0, 245, 249, 65, 25, 1,
         FontRole::Normal, &F::Button3Click},
        {idButton2, "Button2", "BUTTON", "Exit", BS_PUSHBUTTON, 0, 0, 317, 249, 65, 25, 2,
         FontRole::Normal, &F::Button2Click},
        {idButton1, "Button1", "BUTTON", "Tray", BS_PUSHBUTTON, 0, 0, 389, 249, 65, 25, 3,
         FontRole::Bold, &F::Button1Click},

        // "Folder Shortcuts"
        {idButtonNew, "ButtonNew", "BUTTON", "New Shortcut", BS_PUSHBUTTON, 0, idTabSheet4, 6, 6,
         81, 25, 1, FontRole::Normal, &F::ButtonNewClick},
        {idButtonEdit, "ButtonEdit", "BUTTON", "Edit Selected", BS_PUSHBUTTON, 0, idTabSheet4, 93,
         6, 81, 25, 2, FontRole::Normal, &F::ButtonEditClick},
        {idButtonDelete, "ButtonDelete", "BUTTON", "Delete Selected", BS_PUSHBUTTON | WS_DISABLED,
         0, idTabSheet4, 181, 6, 91, 25, 0, FontRole::Normal, &F::ButtonDeleteClick},
        {idTabbedListBox1, "TabbedListBox1", "LISTBOX", "",
         LBS_NOTIFY | LBS_USETABSTOPS | LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_HSCROLL,
         WS_EX_CLIENTEDGE, idTabSheet4, 6, 38, 432, 161, 3, FontRole::Normal, nullptr},

        // "Options"
        {idCheckBoxWeakWarn, "CheckBoxWeakWarn", "BUTTON",
         "Warn when selected shortcut key combination is \"weak.\"", kCheck, 0, idTabSheet5, 8,
         16, 433, 17, 0, FontRole::Normal, &F::CheckBoxWeakWarnClick},
        {idCheckBoxConfirmExit, "CheckBoxConfirmExit", "BUTTON", "Confirm on exit button click.",
         kCheck, 0, idTabSheet5, 8, 40, 425, 17, 1, FontRole::Normal,
         &F::CheckBoxConfirmExitClick},
        {idCheckBoxDClickEdit, "CheckBoxDClickEdit", "BUTTON",
         "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.",
         kCheck, 0, idTabSheet5, 8, 64, 425, 17, 2, FontRole::Normal,
         &F::CheckBoxDClickEditClick},
        {idCheckBoxRunOnStarup, "CheckBoxRunOnStarup", "BUTTON",
         "Run Pathwink automatically when Windows starts.", kCheck, 0, idTabSheet5, 8, 176, 425,
         17, 3, FontRole::Normal, &F::CheckBoxRunOnStarupClick},

        // "About"
        {idLabel1, "Label1", "STATIC", "Pathwink", kLabel, 0, idTabSheet6, 8, 8, 425, 32,
         kNoTabStop, FontRole::Title, nullptr},
        {idLabel2, "Label2", "STATIC", "Version 1.3", kLabel, 0, idTabSheet6, 8, 46, 0, 0,
         kNoTabStop, FontRole::Normal, nullptr},
        {idLabel4, "Label4", "STATIC",
         "\r\n\r\nPlease visit the Corvane Software website for other great software.", kLabel,
         0, idTabSheet6, 8, 73, 425, 39, kNoTabStop, FontRole::Normal, nullptr},
        {idURLLabel1, "URLLabel1", "STATIC", "Website: www.corvane.example", kLink, 0,
         idTabSheet6, 8, 128, 0, 0, kNoTabStop, FontRole::Link, &F::URLLabel1Click},
        {idURLLabel2, "URLLabel2", "STATIC", "Email: pathwink@corvane.example", kLink, 0,
         idTabSheet6, 8, 147, 0, 0, kNoTabStop, FontRole::Link, &F::URLLabel2Click},
        {idLabel3, "Label3", "STATIC",
         "Copyright \xA9 2026 Corvane Software.\r\nFree to use and to share.",
         SS_RIGHT | SS_NOPREFIX, 0, idTabSheet6, 213, 176, 227, 26, kNoTabStop, FontRole::Normal,
         nullptr},
    };
    return rows;
}

const char* const kPageCaptions[kPageCount] = {"Folder Shortcuts", "Options", "About"};
const int kPageIds[kPageCount] = {idTabSheet4, idTabSheet5, idTabSheet6};

std::string ExecutableFolder() {
    char path[MAX_PATH * 4] = "";
    const DWORD n = GetModuleFileNameA(nullptr, path, sizeof path);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1);
}

} // namespace

// A tab page: a container over the tab control's display area that hands its
// controls' notifications to the main window.
class TPathwinkMainForm::Page : public Window {
public:
    Page(TPathwinkMainForm& form, int id) : form_(form) {
        RegisterWindowClass("PathwinkPage", 0, GetSysColorBrush(COLOR_BTNFACE));
        Create(WS_EX_CONTROLPARENT, "PathwinkPage", "",
               WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, form.Handle());
        SetWindowLongPtrA(Handle(), GWLP_ID, id);
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORLISTBOX:
            return SendMessageA(form_.Handle(), msg, wParam, lParam);
        case WM_SETCURSOR:
            if (SendMessageA(form_.Handle(), msg, wParam, lParam))
                return TRUE;
            break;
        }
        return Window::HandleMessage(msg, wParam, lParam);
    }

private:
    TPathwinkMainForm& form_;
};

TPathwinkMainForm::TPathwinkMainForm(SettingsStore store)
    : store_(std::move(store)), launch_([this] { return Handle(); }),
      table_([this](TfisHotKey& sender) { ShortcutHotKey(sender); }) {
    RegisterWindowClass(kClassName, 0, GetSysColorBrush(COLOR_BTNFACE));
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN; // no title-bar buttons
    Create(0, kClassName, Application::Instance().Title().c_str(), style, 0, 0, 0, 0, nullptr);
    if (!Handle())
        throw std::runtime_error("The main window could not be created");
    Application::Instance().SetMainWindow(Handle());
    // The window that carries the taskbar button loses WS_EX_APPWINDOW; nothing else changes.
    SetWindowLongA(Handle(), GWL_EXSTYLE, GetWindowLongA(Handle(), GWL_EXSTYLE) & 0xFFFBFFFF);

    const UINT dpi = DpiOf(Handle());
    CreateFonts(dpi);
    RECT frame{0, 0, Scale(kClientWidth, dpi), Scale(kClientHeight, dpi)};
    AdjustWindowRectExForDpi(&frame, style, FALSE, 0, dpi);
    SetWindowPos(Handle(), nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);

    for (int i = 0; i < kPageCount; ++i) {
        pages_.push_back(std::make_unique<Page>(*this, kPageIds[i]));
        layout_.AddContainer(kPageIds[i], pages_.back()->Handle());
    }
    layout_.Create(Handle(), MainLayout(), dpi, [this](FontRole r) { return FontFor(r); });
    HWND tabs = Control(idPageControl1);
    for (int i = 0; i < kPageCount; ++i) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(kPageCaptions[i]);
        TabCtrl_InsertItem(tabs, i, &item);
    }
    // Pages lie above the tab control in Z order, so they are drawn over its body.
    for (auto& page : pages_)
        SetWindowPos(page->Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    PlacePages();
    SelectPage(kPageAbout);
    CreateItemHint();
    SendMessageA(Control(idTabbedListBox1), LB_SETTABSTOPS, 1,
                 reinterpret_cast<LPARAM>(std::array<int, 1>{17 * 4}.data()));

    // Components in layout order, then their after-loading steps in the same order.
    XJustOne1.SwitchToPrevious = false;
    XJustOne1.AlreadyExist = [this](TXJustOne&) { XJustOne1AlreadyExist(); };
    TrayIcon1 = std::make_unique<TTrayIcon>(icon_.Get());
    TrayIcon1->SetHint("Pathwink");
    TrayIcon1->OwnerForm = Handle();
    TrayIcon1->ShowPopupMenu = [this](POINT at) { ShowTrayMenu(at); };
    TrayIcon1->OnLButtonDown = [this](TTrayIcon&) { TrayIcon1LButtonDown(); };
    XJustOne1.Loaded();
    TrayIcon1->Loaded();

    FormCreate();
}

TPathwinkMainForm::~TPathwinkMainForm() {
    TrayIcon1.reset();
    table_.ReleaseAll();
    DestroyHandle();
}

void TPathwinkMainForm::CreateFonts(UINT dpi) {
    fontNormal_.Reset(CreateUiFont("Tahoma", -11, dpi));
    fontBold_.Reset(CreateUiFont("Tahoma", -11, dpi, true));
    fontTitle_.Reset(CreateUiFont("Arial", -27, dpi, true, true));
    fontLink_.Reset(CreateUiFont("Tahoma", -11, dpi, false, false, true));
    const int iconSize = GetSystemMetricsForDpi(SM_CXICON, dpi);
    icon_.Reset(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                              iconSize, iconSize, 0)));
}

HFONT TPathwinkMainForm::FontFor(FontRole role) const {
    switch (role) {
    case FontRole::Bold: return fontBold_.Get();
    case FontRole::Title: return fontTitle_.Get();
    case FontRole::Link: return fontLink_.Get();
    case FontRole::Normal: break;
    }
    return fontNormal_.Get();
}

void TPathwinkMainForm::PlacePages() {
    HWND tabs = Control(idPageControl1);
    RECT r;
    GetClientRect(tabs, &r);
    TabCtrl_AdjustRect(tabs, FALSE, &r);
    MapWindowPoints(tabs, Handle(), reinterpret_cast<POINT*>(&r), 2);
    for (auto& page : pages_)
        SetWindowPos(page->Handle(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
}

void TPathwinkMainForm::SelectPage(int page) {
    TabCtrl_SetCurSel(Control(idPageControl1), page);
    for (int i = 0; i < kPageCount; ++i)
        ShowWindow(pages_[i]->Handle(), i == page ? SW_SHOW : SW_HIDE);
}

int TPathwinkMainForm::ActivePage() const {
    return TabCtrl_GetCurSel(Control(idPageControl1));
}

void TPathwinkMainForm::ApplyDpi(UINT dpi, const RECT* suggested) {
    CreateFonts(dpi);
    if (suggested)
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    layout_.Rescale(dpi);
    PlacePages();
    SendMessageA(Control(idTabbedListBox1), LB_SETTABSTOPS, 1,
                 reinterpret_cast<LPARAM>(std::array<int, 1>{17 * 4}.data()));
    InvalidateRect(Handle(), nullptr, TRUE);
}

// ---- creation, showing and closing -------------------------------------------

void TPathwinkMainForm::FormCreate() {
    LoadOptions();
    LoadShortcuts();
    RefreshShortcutList();
}

void TPathwinkMainForm::ShowAtStartup(int showCommand) {
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

void TPathwinkMainForm::ShowAndActivate() {
    if (!shownOnce_) {
        ShowAtStartup(SW_SHOWNORMAL);
        return;
    }
    ShowWindow(Handle(), IsIconic(Handle()) ? SW_RESTORE : SW_SHOW);
    BringWindowToTop(Handle());
    SetForegroundWindow(Handle());
}

void TPathwinkMainForm::ShowOnPage(int page) {
    SelectPage(page);
    ShowAndActivate();
}

void TPathwinkMainForm::FormClose() {
    SaveSettings();     // a failure throws: the window stays and every hotkey stays held
    table_.ReleaseAll();
}

void TPathwinkMainForm::Close() {
    if (closing_)
        return;
    FormClose();
    closing_ = true;
    ShowWindow(Handle(), SW_HIDE);
    Application::Instance().Terminate();
}

void TPathwinkMainForm::FormPaint() {
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

// ---- bottom bar and options ---------------------------------------------------

void TPathwinkMainForm::Button1Click() { ShowWindow(Handle(), SW_HIDE); }

void TPathwinkMainForm::Button2Click() {
    if (!options_.ConfirmExit || QuestionBox("Exit Pathwink?", "Confirmation") == IDYES)
        Close();
}

void TPathwinkMainForm::Button3Click() {
    const std::string page = ExecutableFolder() + "help\\help_index.html";
    ShellExecuteA(Handle(), "open", page.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void TPathwinkMainForm::Help1Click() { Button3Click(); }
void TPathwinkMainForm::DisableandExit1Click() { Close(); }
void TPathwinkMainForm::ConfigureShortcuts1Click() { ShowOnPage(kPageShortcuts); }
void TPathwinkMainForm::ConfigureOptions1Click() { ShowOnPage(kPageOptions); }
void TPathwinkMainForm::About1Click() { ShowOnPage(kPageAbout); }

bool TPathwinkMainForm::Checked(int id) const {
    return SendMessageA(Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TPathwinkMainForm::SetChecked(int id, bool checked) {
    SendMessageA(Control(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TPathwinkMainForm::CheckBoxWeakWarnClick() { options_.WarnWeakKey = Checked(idCheckBoxWeakWarn); }
void TPathwinkMainForm::CheckBoxConfirmExitClick() { options_.ConfirmExit = Checked(idCheckBoxConfirmExit); }
void TPathwinkMainForm::CheckBoxDClickEditClick() { options_.DClickEdits = Checked(idCheckBoxDClickEdit); }
void TPathwinkMainForm::CheckBoxRunOnStarupClick() { options_.RunOnStarup = Checked(idCheckBoxRunOnStarup); }

void TPathwinkMainForm::OpenLink(int id, const char* target) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.hwnd = Handle();
    info.lpVerb = "Open";
    info.lpFile = target;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExA(&info)) {
        (id == idURLLabel1 ? visitedLink1_ : visitedLink2_) = true;
        InvalidateRect(Control(id), nullptr, TRUE);
    }
}

void TPathwinkMainForm::URLLabel1Click() { OpenLink(idURLLabel1, kWebsite); }
void TPathwinkMainForm::URLLabel2Click() { OpenLink(idURLLabel2, kMail); }

// ---- settings ---------------------------------------------------------------------

void TPathwinkMainForm::LoadOptions() {
    options_ = store_.LoadOptions();
    SetChecked(idCheckBoxWeakWarn, options_.WarnWeakKey);
    SetChecked(idCheckBoxConfirmExit, options_.ConfirmExit);
    SetChecked(idCheckBoxDClickEdit, options_.DClickEdits);
    SetChecked(idCheckBoxRunOnStarup, options_.RunOnStarup);
}

void TPathwinkMainForm::LoadShortcuts() { store_.LoadShortcuts(table_); }

void TPathwinkMainForm::SaveSettings() { store_.SaveSettings(options_, table_); }

bool TPathwinkMainForm::AddShortcut(const std::string& path, TShortCut key) {
    return table_.AddShortcut(path, key);
}

void TPathwinkMainForm::OpenFolder(const std::string& path) { launch_.OpenFolder(path); }

void TPathwinkMainForm::ShortcutHotKey(TfisHotKey& sender) { launch_.ShortcutHotKey(sender); }

// ---- guard and tray icon ----------------------------------------------------------

void TPathwinkMainForm::XJustOne1AlreadyExist() {
    TrayIcon1->SetEnabled(false); // still loading: the icon is never added
    TopmostMessageBox("Pathwink is already active.\nLeft-click the golden folder icon in the "
                      "tray, next to the clock.",
                      "Pathwink", MB_OK);
}

void TPathwinkMainForm::TrayIcon1LButtonDown() {
    ShowAndActivate();
    HWND popup = GetLastActivePopup(Handle());
    if (popup && popup != Handle() && IsWindowVisible(popup) && IsWindowEnabled(popup))
        SetForegroundWindow(popup);
}

// ---- messages ------------------------------------------------------------------------

LRESULT TPathwinkMainForm::ColorStatic(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    SetBkMode(dc, TRANSPARENT);
    if (id == idURLLabel1 || id == idURLLabel2) {
        const bool visited = id == idURLLabel1 ? visitedLink1_ : visitedLink2_;
        SetTextColor(dc, visited ? RGB(128, 0, 128) : RGB(0, 0, 255));
    } else {
        SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    }
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

LRESULT TPathwinkMainForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        const WORD code = HIWORD(wParam);
        if (id == idTabbedListBox1) {
            if (code == LBN_SELCHANGE || code == LBN_SELCANCEL)
                TabbedListBox1Click();
            else if (code == LBN_DBLCLK)
                TabbedListBox1DblClick();
            return 0;
        }
        if (code == BN_CLICKED || code == STN_CLICKED)
            DispatchClick(*this, MainLayout(), id);
        return 0;
    }
    case WM_NOTIFY: {
        const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
        if (hdr->idFrom == idPageControl1 && hdr->code == TCN_SELCHANGE)
            SelectPage(ActivePage());
        return 0;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wParam));
        if (id == idURLLabel1 || id == idURLLabel2) {
            SetCursor(LoadCursor(nullptr, IDC_HAND));
            return TRUE;
        }
        break;
    }
    case WM_PAINT:
        FormPaint();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_SIZE:
        if (wParam == SIZE_MINIMIZED && TrayIcon1)
            TrayIcon1->ApplicationMinimized(Handle());
        break;
    case WM_DPICHANGED:
        ApplyDpi(HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
        return 0;
    case WM_COPYDATA:
        WMCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam));
        return 0;
    case kStartPendingFlow:
        RunDeferredFlows();
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        // An option changed since the last save would be lost with the logon.
        if (wParam && !closing_) {
            try {
                SaveSettings();
            } catch (const std::exception&) {
                // Nothing can be shown while the logon ends; the last saved file stays intact.
            }
        }
        return 0;
    }
    return Window::HandleMessage(msg, wParam, lParam);
}

} // namespace pw
