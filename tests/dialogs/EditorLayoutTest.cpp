// The editor dialog as it is built: frame, size, controls with their texts and
// bounds, tab order, font, hints, the hot-key field's starting value, the folder
// field's length, and the re-layout when the DPI changes.

#include "tests/dialogs/EditorFixture.h"

#include <commctrl.h>

#include <algorithm>
#include <map>
#include <vector>

using namespace pwtest;

namespace {

struct ControlRow {
    const char* name;
    const char* className;
    const char* text;        // the caption the user sees; nullptr for the two fields
    int x, y, width, height; // client coordinates at 96 DPI
    bool tabStop;
};

const ControlRow kControls[] = {
    {"Label1", "Static", "Folder:", 8, 8, 34, 13, false},
    {"Edit1", "Edit", nullptr, 8, 24, 361, 21, true},
    {"ButtonBrowse", "Button", "...", 376, 24, 19, 21, true},
    {"Label2", "Static", "HotKey:", 8, 56, 39, 13, false},
    {"HotkeyField", "msctls_hotkey32", nullptr, 8, 72, 209, 19, true},
    {"ButtonOK", "Button", "OK", 240, 72, 75, 25, true},
    {"ButtonCancel", "Button", "Cancel", 320, 72, 75, 25, true},
};

int At(int value, UINT dpi) {
    return MulDiv(value, static_cast<int>(dpi), 96);
}

RECT ClientBounds(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ClassOf(HWND hwnd) {
    char buf[128] = {};
    GetClassNameA(hwnd, buf, sizeof buf);
    return buf;
}

// Each control of the table, found by class (and caption where it has one).
std::map<std::string, HWND> FindControls(HWND dialog) {
    std::map<std::string, HWND> found;
    for (const ControlRow& row : kControls)
        found[row.name] = row.text ? FindChildByText(dialog, row.className, row.text)
                                   : FindChildByClass(dialog, row.className);
    return found;
}

int CountChildren(HWND parent) {
    int count = 0;
    EnumChildWindows(
        parent,
        [](HWND, LPARAM lp) -> BOOL {
            ++*reinterpret_cast<int*>(lp);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&count));
    return count;
}

void ExpectClientSizeAt(HWND dialog, UINT dpi) {
    RECT client;
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, At(402, dpi)) << "client width at " << dpi << " DPI";
    EXPECT_EQ(client.bottom, At(103, dpi)) << "client height at " << dpi << " DPI";
}

// The extent of a control's caption in the control's own font.
SIZE CaptionExtent(HWND control) {
    HDC dc = GetDC(control);
    HGDIOBJ old =
        SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0)));
    const std::string text = TextOf(control);
    RECT r{0, 0, 0, 0};
    DrawTextA(dc, text.c_str(), -1, &r, DT_CALCRECT | DT_SINGLELINE);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return SIZE{r.right, r.bottom};
}

// Bounds as the table gives them, scaled; a label whose text needs more room
// than its bounds grows to its text instead of cutting it off.
void ExpectBoundsAt(HWND dialog, UINT dpi) {
    const auto controls = FindControls(dialog);
    for (const ControlRow& row : kControls) {
        HWND c = controls.at(row.name);
        ASSERT_TRUE(c) << row.name;
        const RECT r = ClientBounds(c);
        const bool label = row.className == std::string("Static");
        const SIZE text = label ? CaptionExtent(c) : SIZE{0, 0};
        EXPECT_EQ(r.left, At(row.x, dpi)) << row.name << " at " << dpi << " DPI";
        EXPECT_EQ(r.top, At(row.y, dpi)) << row.name << " at " << dpi << " DPI";
        EXPECT_EQ(r.right - r.left, std::max<int>(At(row.width, dpi), text.cx))
            << row.name << " at " << dpi << " DPI";
        EXPECT_EQ(r.bottom - r.top, std::max<int>(At(row.height, dpi), text.cy))
            << row.name << " at " << dpi << " DPI";
    }
}

// Every caption is shown whole: labels hold their text, buttons their text
// with room for the button's edges.
void ExpectNoCaptionCut(HWND dialog, UINT dpi) {
    const auto controls = FindControls(dialog);
    for (const ControlRow& row : kControls) {
        if (!row.text)
            continue;
        HWND c = controls.at(row.name);
        RECT client;
        GetClientRect(c, &client);
        const SIZE text = CaptionExtent(c);
        const int edges = row.className == std::string("Button") ? 4 : 0;
        EXPECT_LE(text.cx + edges, client.right) << row.name << " at " << dpi << " DPI";
        EXPECT_LE(text.cy + edges, client.bottom) << row.name << " at " << dpi << " DPI";
    }
}

// The system's font for messages and dialogs: Tahoma under Wine, Segoe UI on Windows.
std::string SystemUiFace() {
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    return ncm.lfMessageFont.lfFaceName[0] ? ncm.lfMessageFont.lfFaceName : "Tahoma";
}

void ExpectSystemUiFontAt(HWND dialog, UINT dpi) {
    const auto controls = FindControls(dialog);
    for (const ControlRow& row : kControls) {
        HWND c = controls.at(row.name);
        ASSERT_TRUE(c) << row.name;
        auto font = reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0));
        ASSERT_TRUE(font) << row.name << " has no font of its own";
        LOGFONTA lf{};
        ASSERT_TRUE(GetObjectA(font, sizeof lf, &lf)) << row.name;
        EXPECT_EQ(lf.lfFaceName, SystemUiFace()) << row.name;
        EXPECT_EQ(lf.lfHeight, At(-11, dpi)) << row.name << " at " << dpi << " DPI";
        // Any character set: a folder name in any script finds its glyphs.
        EXPECT_EQ(lf.lfCharSet, DEFAULT_CHARSET) << row.name;
        EXPECT_EQ(lf.lfWeight, FW_NORMAL) << row.name;
    }
}

bool FontInstalled(const char* face) {
    LOGFONTA lf{};
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, face, LF_FACESIZE);
    bool found = false;
    HDC dc = GetDC(nullptr);
    EnumFontFamiliesExA(
        dc, &lf,
        [](const LOGFONTA*, const TEXTMETRICA*, DWORD, LPARAM lp) -> int {
            *reinterpret_cast<bool*>(lp) = true;
            return 0;
        },
        reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

} // namespace

TEST_F(EditorTest, IsAHiddenFixedDialogFrameOwnedByTheMainWindow) {
    HWND d = Dialog();
    char cls[64] = {};
    GetClassNameA(d, cls, sizeof cls);
    EXPECT_STREQ(cls, "TDlgNewShortcut");
    EXPECT_EQ(TextOf(d), "New Folder Shortcut");
    EXPECT_FALSE(IsWindowVisible(d)) << "created hidden, shown only by a flow";
    EXPECT_EQ(GetWindow(d, GW_OWNER), owner_);
    EXPECT_EQ(GetParent(d), owner_) << "owned, not a child";

    const LONG style = GetWindowLongA(d, GWL_STYLE), ex = GetWindowLongA(d, GWL_EXSTYLE);
    EXPECT_EQ(style & WS_CHILD, 0);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU) << "a close box";
    EXPECT_FALSE(style & WS_THICKFRAME) << "not resizable";
    EXPECT_FALSE(style & WS_MINIMIZEBOX);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
    EXPECT_TRUE(ex & WS_EX_DLGMODALFRAME);
    EXPECT_TRUE(ex & WS_EX_CONTROLPARENT) << "Tab and arrow keys navigate its controls";

    // The system menu offers no sizing: only Move and Close are left.
    HMENU sys = GetSystemMenu(d, FALSE);
    for (UINT gone : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE})
        EXPECT_EQ(GetMenuState(sys, gone, MF_BYCOMMAND), UINT(-1)) << "command " << gone;
    EXPECT_NE(GetMenuState(sys, SC_CLOSE, MF_BYCOMMAND), UINT(-1));
    EXPECT_NE(GetMenuState(sys, SC_MOVE, MF_BYCOMMAND), UINT(-1));
}

TEST_F(EditorTest, ControlsStandWhereTheLayoutPutsThem) {
    const UINT dpi = pw::DpiOf(Dialog());
    ExpectClientSizeAt(Dialog(), dpi);
    ExpectBoundsAt(Dialog(), dpi);
    ExpectNoCaptionCut(Dialog(), dpi);
    EXPECT_EQ(CountChildren(Dialog()), 7) << "no control more than the seven";

    const auto controls = FindControls(Dialog());
    for (const ControlRow& row : kControls) {
        HWND c = controls.at(row.name);
        ASSERT_TRUE(c) << row.name;
        const LONG style = GetWindowLongA(c, GWL_STYLE);
        EXPECT_TRUE(style & WS_VISIBLE) << row.name;
        EXPECT_EQ((style & WS_TABSTOP) != 0, row.tabStop) << row.name;
        if (!row.text) {
            EXPECT_EQ(TextOf(c), "") << row.name << " starts empty";
        }
    }
    // Neither button is a default button, and neither has the id that Enter or
    // Escape would trigger.
    for (const char* name : {"ButtonOK", "ButtonCancel", "ButtonBrowse"}) {
        HWND b = controls.at(name);
        EXPECT_EQ(GetWindowLongA(b, GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON) << name;
        EXPECT_NE(GetDlgCtrlID(b), IDOK) << name;
        EXPECT_NE(GetDlgCtrlID(b), IDCANCEL) << name;
    }
    HWND edit = controls.at("Edit1");
    EXPECT_FALSE(GetWindowLongA(edit, GWL_STYLE) & ES_MULTILINE);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_AUTOHSCROLL);
    EXPECT_TRUE(GetWindowLongA(edit, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
}

TEST_F(EditorTest, TabOrderRunsFolderBrowseHotkeyOKCancel) {
    const auto c = FindControls(Dialog());
    const std::vector<std::pair<const char*, HWND>> order = {
        {"ButtonBrowse", c.at("ButtonBrowse")},
        {"HotkeyField", c.at("HotkeyField")},
        {"ButtonOK", c.at("ButtonOK")},
        {"ButtonCancel", c.at("ButtonCancel")},
        {"Edit1", c.at("Edit1")},
    };
    HWND at = c.at("Edit1");
    for (const auto& [name, expected] : order) {
        HWND next = GetNextDlgTabItem(Dialog(), at, FALSE);
        EXPECT_EQ(next, expected) << "after " << ClassOf(at) << " " << TextOf(at) << " comes "
                                  << name;
        at = expected;
    }
    EXPECT_EQ(GetNextDlgTabItem(Dialog(), c.at("Edit1"), TRUE), c.at("ButtonCancel"))
        << "Shift+Tab from the folder field wraps to Cancel";
}

TEST_F(EditorTest, EveryControlUsesTheSystemsUiFontAtEightPoint) {
    ExpectSystemUiFontAt(Dialog(), pw::DpiOf(Dialog()));
}

TEST_F(EditorTest, TextIsDrawnInTahomaItselfWhereItIsInstalled) {
    if (!FontInstalled("Tahoma"))
        GTEST_SKIP() << "Tahoma is not installed, another face is drawn in its place (under "
                        "Wine: copy tahoma.ttf of the Debian package fonts-wine into the "
                        "prefix's C:\\windows\\Fonts)";
    for (HWND c : {Edit1(), HotkeyField(), OK(), FindChildByText(Dialog(), "Static", "Folder:")}) {
        HDC dc = GetDC(c);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(c, WM_GETFONT, 0, 0)));
        char face[LF_FACESIZE] = {};
        GetTextFaceA(dc, sizeof face, face);
        SelectObject(dc, old);
        ReleaseDC(c, dc);
        EXPECT_STREQ(face, "Tahoma") << ClassOf(c) << " " << TextOf(c);
    }
}

TEST_F(EditorTest, HintsAreRegisteredForTheFieldsAndTheBrowseButton) {
    std::vector<HWND> tips;
    for (HWND t : FindTopLevels(TOOLTIPS_CLASSA, nullptr, GetCurrentProcessId()))
        if (GetWindow(t, GW_OWNER) == Dialog())
            tips.push_back(t);
    ASSERT_EQ(tips.size(), 1u) << "one tooltip control, owned by the dialog";
    HWND tip = tips.front();

    const std::map<HWND, std::string> expected = {
        {Edit1(), "Path of folder the shortcut will point to. Click \"...\" to browse a folder."},
        {Browse(), "Click to browse to a folder."},
        {HotkeyField(), "The HotKey combination of the shortcut. Click here and then perform the "
                        "key combination you desire for the shortcut."},
    };
    const auto count = SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0);
    ASSERT_EQ(count, 3);
    std::map<HWND, std::string> seen;
    for (int i = 0; i < count; ++i) {
        char text[1024] = {};
        TTTOOLINFOA ti{};
        ti.cbSize = sizeof ti;
        ti.lpszText = text;
        ASSERT_TRUE(SendMessageA(tip, TTM_ENUMTOOLSA, i, reinterpret_cast<LPARAM>(&ti)));
        EXPECT_EQ(ti.uFlags & (TTF_IDISHWND | TTF_SUBCLASS), UINT(TTF_IDISHWND | TTF_SUBCLASS))
            << "tool " << i << ": the tooltip follows the control's mouse by itself";
        // The "A" messages copy at most 80 characters of a tool's text; the "W"
        // one with the buffer's size gives all of it.
        WCHAR whole[1024] = {};
        TTTOOLINFOW tw{};
        tw.cbSize = sizeof tw;
        tw.hwnd = ti.hwnd;
        tw.uId = ti.uId;
        tw.lpszText = whole;
        SendMessageW(tip, TTM_GETTEXTW, std::size(whole), reinterpret_cast<LPARAM>(&tw));
        char ansi[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, whole, -1, ansi, sizeof ansi, nullptr, nullptr);
        seen[reinterpret_cast<HWND>(ti.uId)] = ansi;
    }
    EXPECT_EQ(seen, expected);
}

TEST_F(EditorTest, HotkeyFieldStartsAsCtrlAltWithoutKey) {
    EXPECT_EQ(dialog_->HotkeyValue(), 0xC000);
    EXPECT_EQ(SendMessageA(HotkeyField(), HKM_GETHOTKEY, 0, 0), 0x0600)
        << "the control itself holds Ctrl+Alt (HOTKEYF_CONTROL|HOTKEYF_ALT), no key";
}

TEST_F(EditorTest, InterfaceReadsBackWhatTheControlsShow) {
    const struct {
        std::string folder;
        pw::KeyCombination key;
        WORD control; // the hot-key control's own encoding
    } cases[] = {
        {"C:\\Users\\Public\\Documents", 0xC044, 0x0644},
        {"", 0, 0},
        {"  leading and trailing blanks kept  ", 0xE070, 0x0770},
        {"\\\\server\\share\\x y", 0x8041, 0x0441},
    };
    for (const auto& c : cases) {
        dialog_->SetFolderText(c.folder);
        dialog_->SetHotkeyValue(c.key);
        EXPECT_EQ(TextOf(Edit1()), c.folder);
        EXPECT_EQ(dialog_->FolderText(), c.folder);
        EXPECT_EQ(SendMessageA(HotkeyField(), HKM_GETHOTKEY, 0, 0), c.control) << c.folder;
        EXPECT_EQ(dialog_->HotkeyValue(), c.key) << c.folder;
    }
    dialog_->SetCaption("Edit Folder Shortcut");
    EXPECT_EQ(TextOf(Dialog()), "Edit Folder Shortcut");
}

TEST_F(EditorTest, FolderFieldTakesPathsLongerThanAnEditsDefaultLimit) {
    // Pasting (EM_REPLACESEL) obeys the edit control's limit, which is 30,000 or
    // so characters unless lifted.
    const std::string longPath = "C:\\" + std::string(40000, 'p');
    dialog_->SetFolderText(longPath);
    const auto end = static_cast<WPARAM>(longPath.size());
    SendMessageA(Edit1(), EM_SETSEL, end, end);
    SendMessageA(Edit1(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>("\\tail"));
    EXPECT_EQ(dialog_->FolderText(), longPath + "\\tail");
}

TEST_F(EditorTest, ScalesItsLayoutAndFontWhenTheDpiChanges) {
    HWND d = Dialog();
    const UINT original = pw::DpiOf(d);
    for (UINT dpi : {144u, 120u, original}) {
        RECT r{0, 0, At(402, dpi), At(103, dpi)};
        AdjustWindowRectExForDpi(&r, GetWindowLongA(d, GWL_STYLE), FALSE,
                                 GetWindowLongA(d, GWL_EXSTYLE), dpi);
        OffsetRect(&r, 40 - r.left, 30 - r.top);
        SendMessageA(d, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&r));
        // The window takes the suggested rectangle as it is. (Its client area is
        // then 402 x 103 scaled where the frame scales too; Wine draws every
        // frame at the system DPI, so only the creation DPI is checked for that.)
        RECT now;
        GetWindowRect(d, &now);
        EXPECT_TRUE(EqualRect(&now, &r)) << "the suggested rectangle is taken at " << dpi << " DPI";
        ExpectBoundsAt(d, dpi);
        ExpectNoCaptionCut(d, dpi);
        ExpectSystemUiFontAt(d, dpi);
    }
    EXPECT_EQ(GetNextDlgTabItem(d, Browse(), FALSE), HotkeyField())
        << "the hot-key field keeps its place in the tab order";
}
