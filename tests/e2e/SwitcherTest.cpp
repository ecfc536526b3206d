// The folder switcher of the real Pathwink.exe: its key shows it at the pointer with
// the focus in the filter, typing narrows the list in any script, the keys move the
// selection, Enter opens, Esc gives the focus back; and its key on the Options page
// is checked, saved and loaded like a shortcut's.

#include "tests/e2e/FileDialogHost.h"
#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "tray/TrayIcon.h"

#include <gtest/gtest.h>

#include <commctrl.h>
#include <wtsapi32.h>

#include <cstdio>
#include <string>
#include <vector>

using namespace pwtest;

namespace {

constexpr char kSwitcherClass[] = "PathwinkFolderSwitcher";

std::wstring WideOf(const std::string& utf8) {
    std::wstring wide(utf8.size(), L'\0');
    wide.resize(static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, utf8.data(),
                                                        static_cast<int>(utf8.size()), wide.data(),
                                                        static_cast<int>(wide.size()))));
    return wide;
}

// A dialog of the test's own with a text box that has the focus: the window the user
// works in when the key is pressed. As any dialog, it gives the focus back to that
// box when it is activated again.
class FrontWindow {
public:
    FrontWindow() {
        // A template in memory: the dialog, then one edit control (class atom 0x81).
        alignas(4) WORD t[64] = {};
        auto* dialog = reinterpret_cast<DLGTEMPLATE*>(t);
        dialog->style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_SETFONT;
        dialog->cdit = 1;
        dialog->cx = 200;
        dialog->cy = 60;
        WORD* w = t + sizeof(DLGTEMPLATE) / sizeof(WORD);
        *w++ = 0; // no menu
        *w++ = 0; // the dialog class
        *w++ = 0; // no title
        *w++ = 8; // the font's size, then its name
        for (const wchar_t* f = L"Tahoma"; *f; ++f)
            *w++ = static_cast<WORD>(*f);
        *w++ = 0;
        w = reinterpret_cast<WORD*>((reinterpret_cast<ULONG_PTR>(w) + 3) & ~ULONG_PTR(3));
        auto* item = reinterpret_cast<DLGITEMTEMPLATE*>(w);
        item->style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP;
        item->x = 10;
        item->y = 10;
        item->cx = 150;
        item->cy = 14;
        item->id = 100;
        w = reinterpret_cast<WORD*>(item + 1);
        *w++ = 0xFFFF;
        *w++ = 0x0081; // EDIT
        window_ = CreateDialogIndirectParamW(nullptr, dialog, nullptr, Procedure, 0);
        box_ = GetDlgItem(window_, 100);
        Activate();
    }
    ~FrontWindow() { DestroyWindow(window_); }
    // Returns once the window is in front with the focus in its box (under load Wine
    // takes a while): a key pressed before would find another window in front.
    void Activate() const {
        SetForegroundWindow(window_);
        SetFocus(box_);
        WaitUntil([&] { return HasFocus(); }, 3000);
    }
    bool HasFocus() const { return GetForegroundWindow() == window_ && GetFocus() == box_; }
    std::string Seen() const {
        char text[160];
        std::snprintf(text, sizeof text, "foreground %p (the dialog %p), focus %p (its box %p)",
                      static_cast<void*>(GetForegroundWindow()), static_cast<void*>(window_),
                      static_cast<void*>(GetFocus()), static_cast<void*>(box_));
        return text;
    }

private:
    static INT_PTR CALLBACK Procedure(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    HWND window_, box_;
};

class Switcher : public ::testing::Test {
protected:
    void SetUp() override {
        base_ = MakeTempFolder("pwsw");
        ASSERT_FALSE(base_.empty());
        // In the table's order (the program sorts by path): own names that start
        // with "reports", one that contains it, Greek, CJK, and a folder that is gone.
        leaves_ = {"Alpha Notes sw",
                   "Quarterly reports sw",
                   "Reports 2023 sw",
                   "Reports 2024 sw",
                   "\xCE\x88\xCF\x81\xCE\xB3\xCE\xB1 sw",                 // Έργα
                   "\xE6\x96\x87\xE6\xA1\xA3\xE8\xB5\x84\xE6\x96\x99 sw", // 文档资料
                   "~Missing sw"};
        std::wstring ini = L"\xFEFF[Options]\r\nConfirmExit=0\r\n[Shortcuts]\r\nCount=" +
                           std::to_wstring(leaves_.size()) + L"\r\n";
        for (size_t i = 0; i < leaves_.size(); ++i) {
            const std::string path = Path(static_cast<int>(i));
            if (leaves_[i] != "~Missing sw") {
                ASSERT_TRUE(CreateDirectoryW(WideOf(path).c_str(), nullptr)) << path;
            }
            const std::wstring n = std::to_wstring(i);
            ini += n + L"Path=" + WideOf(path) + L"\r\n" + n + L"ShortCut=" +
                   (i == 0 ? L"49220" : L"0") + L"\r\n";
        }
        app_ = std::make_unique<PathwinkProcess>(
            std::string(reinterpret_cast<const char*>(ini.data()), ini.size() * sizeof(wchar_t)));
        ASSERT_TRUE(app_->Start("tray"));
    }
    void TearDown() override {
        app_.reset();
        RemoveTree(base_);
    }
    std::string Path(int i) const { return base_ + "\\" + leaves_[static_cast<size_t>(i)]; }

    HWND SwitcherWindow() const { return FindTopLevel(kSwitcherClass, nullptr, app_->ProcessId()); }
    bool Shown() const { return IsWindowVisible(SwitcherWindow()) != FALSE; }
    // In front with the focus in its filter box, as a user waits for before typing.
    bool Ready() const {
        return Shown() && GetForegroundWindow() == SwitcherWindow() &&
               app_->FocusedWindow() == FilterBox();
    }
    HWND FilterBox() const { return FindChildByClass(SwitcherWindow(), "Edit"); }
    HWND List() const { return FindChildByClass(SwitcherWindow(), "ListBox"); }
    // The paths of the list's rows (after the key column's tab), in order.
    std::vector<std::string> ListedPaths() const { return PathsOf(List()); }
    static std::vector<std::string> PathsOf(HWND list) {
        std::vector<std::string> paths;
        const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t buf[1024] = L"";
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buf));
            char utf8[4096] = "";
            WideCharToMultiByte(CP_UTF8, 0, buf, -1, utf8, sizeof utf8, nullptr, nullptr);
            const std::string row = utf8;
            paths.push_back(row.substr(row.find('\t') + 1));
        }
        return paths;
    }
    int Selected() const { return static_cast<int>(SendMessageW(List(), LB_GETCURSEL, 0, 0)); }
    // Presses the default key, Ctrl+Alt+Space, with the pointer at `at`.
    void PressKeyAt(POINT at) const {
        SetCursorPos(at.x, at.y);
        TypeKey(VK_SPACE, true, true);
    }
    // Types text into the switcher and waits until the list shows `expected`.
    void Filter(const std::wstring& text, const std::vector<int>& expected) const {
        std::vector<std::string> paths;
        for (int i : expected)
            paths.push_back(Path(i));
        FilterTo(text, paths);
    }
    void FilterTo(const std::wstring& text, const std::vector<std::string>& paths) const {
        SendMessageW(FilterBox(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""));
        TypeCharacters(text);
        // Typed keys arrive one by one: the list is read once the box holds them all.
        const bool narrowed = WaitUntil(
            [&] {
                wchar_t typed[256] = L"";
                SendMessageW(FilterBox(), WM_GETTEXT, 256, reinterpret_cast<LPARAM>(typed));
                return text == typed && ListedPaths() == paths;
            },
            5000);
        EXPECT_TRUE(narrowed) << "typed \"" << std::string(text.begin(), text.end())
                              << "\": the list shows " << ListedPaths().size() << " rows, first "
                              << (ListedPaths().empty() ? "none" : ListedPaths().front());
    }

    std::string base_;
    std::vector<std::string> leaves_;
    std::unique_ptr<PathwinkProcess> app_;
};

} // namespace

TEST_F(Switcher, TheKeyShowsEveryFolderAtThePointerAndTypingNarrowsInAnyScript) {
    // The table's order, as the main window's list shows it (read first: opening the
    // window later would take the switcher's place in front).
    const std::vector<std::string> tableOrder = PathsOf(app_->ShortcutList());
    FrontWindow front;
    PressKeyAt({200, 150});
    ASSERT_TRUE(WaitUntil([&] { return Shown(); })) << "the key showed no switcher";
    RECT r;
    GetWindowRect(SwitcherWindow(), &r);
    EXPECT_EQ(r.left, 200) << "at the pointer";
    EXPECT_EQ(r.top, 150);
    EXPECT_TRUE(WaitUntil([&] { return app_->FocusedWindow() == FilterBox(); }))
        << "the focus is in the filter box";
    EXPECT_EQ(ListedPaths().size(), leaves_.size()) << "every shortcut, keyed or not";
    EXPECT_EQ(TextOf(FindChildByText(SwitcherWindow(), "Static", "&Type to filter the folders:")),
              "&Type to filter the folders:")
        << "the filter box's label, which a screen reader reads as its name";

    Filter(L"reports", {2, 3, 1});      // own names that start with it, then one that contains it
    Filter(L"REP 2024", {3});           // two words, without regard to case
    Filter(L"\u0388\u03A1\u0393", {4}); // Greek, typed in capitals: "ΈΡΓ"
    Filter(L"\u6587\u6863", {5});       // CJK
    Filter(L"nothing like it", {});
    FilterTo(L"", tableOrder); // nothing typed: the table's order

    // The selection keys, while the focus stays in the filter box.
    Filter(L"reports", {2, 3, 1});
    const std::pair<WORD, int> moves[] = {{VK_DOWN, 1}, {VK_HOME, 0}, {VK_NEXT, 2},
                                          {VK_UP, 1},   {VK_END, 2},  {VK_PRIOR, 0}};
    for (const auto& [key, row] : moves) {
        TypeKey(key);
        EXPECT_TRUE(WaitUntil([&, row = row] { return Selected() == row; }))
            << "key " << key << ": row " << Selected();
    }
    EXPECT_EQ(app_->FocusedWindow(), FilterBox());

    Filter(L"2024", {3});
    TypeKey(VK_RETURN);
    EXPECT_TRUE(WaitUntil([&] { return !Shown(); })) << "Enter closes the switcher";
    EXPECT_TRUE(WaitAndCloseExplorer(Path(3))) << "Enter opens the chosen folder";
}

TEST_F(Switcher, EscOrTheKeyAgainClosesItAndTheWindowInFrontHasTheFocusAgain) {
    FrontWindow front;
    // Near the screen's far corner: the switcher stays inside the work area.
    PressKeyAt({1270, 790});
    ASSERT_TRUE(WaitUntil([&] { return Ready(); })) << front.Seen();
    RECT r, work;
    GetWindowRect(SwitcherWindow(), &r);
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_LE(r.right, work.right);
    EXPECT_LE(r.bottom, work.bottom);
    TypeKey(VK_ESCAPE);
    EXPECT_TRUE(WaitUntil([&] { return !Shown(); })) << "Esc closes it";
    EXPECT_TRUE(WaitUntil([&] { return front.HasFocus(); }))
        << "the window that had the focus has it again: " << front.Seen();

    PressKeyAt({300, 200});
    ASSERT_TRUE(WaitUntil([&] { return Ready(); })) << front.Seen();
    TypeKey(VK_SPACE, true, true);
    EXPECT_TRUE(WaitUntil([&] { return !Shown(); })) << "the key again closes it";
    EXPECT_TRUE(WaitUntil([&] { return front.HasFocus(); })) << front.Seen();

    PressKeyAt({300, 200});
    ASSERT_TRUE(WaitUntil([&] { return Ready(); })) << front.Seen();
    front.Activate();
    EXPECT_TRUE(WaitUntil([&] { return !Shown(); })) << "another window's activation closes it";
}

TEST_F(Switcher, ShiftEnterOpensANewWindowWhateverIsInFrontAndCtrlCCopiesThePath) {
    FileDialogHost dialog("classic", base_);
    ASSERT_TRUE(dialog.Window());
    ASSERT_TRUE(BringToFront(dialog.Window()));
    const std::optional<FileDialogHost::Report> before = dialog.Read();
    ASSERT_TRUE(before);
    PressKeyAt({200, 150});
    ASSERT_TRUE(WaitUntil([&] { return Ready(); })) << "the program shows: " << app_->Shown();
    Filter(L"2024", {3});
    TypeKey(VK_RETURN, false, false, true);
    EXPECT_TRUE(WaitAndCloseExplorer(Path(3))) << "Shift+Enter opens a new Explorer window";
    EXPECT_EQ(dialog.Read()->folder, before->folder) << "the file dialog in front is left alone";

    // Ctrl+C copies the selected folder's path and closes; with filter text selected,
    // it copies that text and stays.
    for (const bool textSelected : {false, true}) {
        PressKeyAt({200, 150});
        ASSERT_TRUE(WaitUntil([&] { return Ready(); }));
        Filter(L"2023", {2});
        if (textSelected)
            SendMessageW(FilterBox(), EM_SETSEL, 0, -1);
        TypeKey('C', true);
        const std::wstring copied = textSelected ? L"2023" : WideOf(Path(2));
        EXPECT_TRUE(WaitUntil([&] { return ClipboardText() == copied && Shown() == textSelected; }))
            << "the clipboard holds " << Utf8(ClipboardText().value_or(L"nothing"));
        if (Shown())
            TypeKey(VK_ESCAPE);
    }
}

TEST_F(Switcher, AFolderThatIsGoneGivesTheUsualMessage) {
    FrontWindow front;
    PressKeyAt({200, 150});
    ASSERT_TRUE(WaitUntil([&] { return Ready(); }));
    Filter(L"missing", {6});
    TypeKey(VK_RETURN);
    HWND message = app_->WaitForDialog("Pathwink");
    ASSERT_TRUE(message) << "no message for the missing folder";
    EXPECT_EQ(MessageTextOf(message),
              "The folder \"" + Path(6) +
                  "\" does not exist or is inaccessible. Please open the Pathwink configuration "
                  "tab to delete or edit this folder shortcut.");
    Press(message, IDOK);
}

namespace {

constexpr WORD kControlCtrlAlt = (HOTKEYF_CONTROL | HOTKEYF_ALT) << 8;

// The Options page's key field, in the control's own encoding.
WORD FieldValue(HWND field) {
    return static_cast<WORD>(SendMessageW(field, HKM_GETHOTKEY, 0, 0));
}

void TypeIntoField(const PathwinkProcess& app, HWND field, WORD vk) {
    app.Focus(field);
    TypeKey(vk);
}

// Keys down, or up, in the given order.
void SendKeys(std::initializer_list<WORD> keys, bool up) {
    for (WORD key : keys)
        PressOrRelease(key, up);
}

} // namespace

TEST(SwitcherKey, TheOptionsPageKeyIsCheckedLikeAShortcutsSavedAndLoaded) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\n");
    ASSERT_TRUE(app.Start());
    SendMessageW(app.MainWindow(), WM_CLOSE, 0, 0); // saves, then exits
    ASSERT_TRUE(app.WaitForExit());
    EXPECT_EQ(app.Profile("Options", "ShowAllFoldersKey"), "49184")
        << "a file without the key gets Ctrl+Alt+Space";
    ASSERT_TRUE(app.Start());
    HWND field = FindChildByClass(app.MainWindow(), "msctls_hotkey32");
    ASSERT_TRUE(field);
    EXPECT_EQ(FieldValue(field), kControlCtrlAlt | VK_SPACE);
    // The Options page, from the tray menu.
    PostMessageW(FindTopLevel("TPathwinkMainForm", nullptr, app.ProcessId()),
                 pw::TrayIcon::kCallbackMessage, 0, WM_RBUTTONUP);
    HWND menu = nullptr;
    ASSERT_TRUE(WaitUntil([&] {
        return (menu = FindTopLevel("#32768", nullptr, app.ProcessId())) && IsWindowVisible(menu);
    }));
    for (int i = 0; i < 2; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0); // Configure Options
    ASSERT_TRUE(WaitUntil([&] { return app.ActivePage() == 1 && IsWindowVisible(field); }));

    // Typing F7 makes Ctrl+Alt+F7: kept and saved at once.
    TypeIntoField(app, field, VK_F7);
    EXPECT_TRUE(WaitUntil([&] { return app.Profile("Options", "ShowAllFoldersKey") == "49270"; }))
        << app.Profile("Options", "ShowAllFoldersKey");
    EXPECT_FALSE(RegisterHotKey(nullptr, 0x7400, MOD_CONTROL | MOD_ALT, VK_F7)) << "it is held";
    EXPECT_TRUE(RegisterHotKey(nullptr, 0x7401, MOD_CONTROL | MOD_ALT, VK_SPACE))
        << "the old key is let go";
    UnregisterHotKey(nullptr, 0x7401);

    // A weak key asks first; No keeps the key as it was.
    // The keys are let go once the field has the focus again: Wine's control counts
    // the modifiers held from its own key messages only.
    app.Focus(field);
    SendKeys({VK_MENU, VK_F8}, false);
    HWND question = app.WaitForDialog("Shortcut Warning");
    ASSERT_TRUE(question);
    EXPECT_EQ(MessageTextOf(question), kWeakText);
    Press(question, IDNO);
    EXPECT_TRUE(WaitUntil([&] { return FieldValue(field) == (kControlCtrlAlt | VK_F7); }))
        << "the field shows " << std::hex << FieldValue(field);
    app.Focus(field);
    SendKeys({VK_F8, VK_MENU}, true);
    PumpFor(200);
    EXPECT_EQ(FieldValue(field), kControlCtrlAlt | VK_F7);

    // A key another program holds is refused with the shortcut dialog's message.
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7402, MOD_CONTROL | MOD_ALT, VK_F9));
    TypeIntoField(app, field, VK_F9);
    HWND refusal = app.WaitForDialog("Pathwink");
    ASSERT_TRUE(refusal) << "no refusal; the field shows " << std::hex << FieldValue(field)
                         << ", the file says " << app.Profile("Options", "ShowAllFoldersKey");
    EXPECT_EQ(MessageTextOf(refusal), kRefusedText);
    Press(refusal, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return FieldValue(field) == (kControlCtrlAlt | VK_F7); }));
    EXPECT_EQ(app.Profile("Options", "ShowAllFoldersKey"), "49270");

    // Taken at start-up: marked inactive, and active once a retry finds it free.
    SendMessageW(app.MainWindow(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(app.WaitForExit());
    ASSERT_TRUE(RegisterHotKey(nullptr, 0x7403, MOD_CONTROL | MOD_ALT, VK_F7));
    ASSERT_TRUE(app.Start());
    field = FindChildByClass(app.MainWindow(), "msctls_hotkey32");
    EXPECT_EQ(FieldValue(field), kControlCtrlAlt | VK_F7) << "loaded";
    HWND state = FindChildByText(app.MainWindow(), "Static", "Inactive: another program holds it.");
    EXPECT_TRUE(state) << "marked inactive";
    UnregisterHotKey(nullptr, 0x7403);
    SendMessageW(app.MainWindow(), WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    EXPECT_TRUE(WaitUntil([&] { return TextOf(state).empty(); })) << "retried and active";
    UnregisterHotKey(nullptr, 0x7402);
}
