// The program in-process: the main window's scaling when the DPI changes, the save when the
// logon ends, the item hint of a cut-off list row, and folders dropped on the window (a drop's
// memory belongs to the process it is dropped in, so it is made here).

#include "tests/app/AppInProcess.h"
#include "tests/app/GermanKeyboard.h"
#include "tests/support/TestSupport.h"
#include "win/Application.h"
#include "win/OnDemandLibrary.h"
#include "win/Text.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <shlobj.h>

#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

using namespace pw;

namespace {

RECT BoundsInParent(HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// What Explorer hands a window that accepts files: a DROPFILES block with the paths
// as UTF-16, each ending in a NUL, and one more NUL at the end.
HDROP MakeDrop(const std::vector<std::string>& paths) {
    std::wstring list;
    for (const std::string& path : paths)
        list += Wide(path) + L'\0';
    list += L'\0';
    HGLOBAL memory = GlobalAlloc(GHND, sizeof(DROPFILES) + list.size() * sizeof(wchar_t));
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<BYTE*>(drop) + sizeof(DROPFILES), list.data(),
           list.size() * sizeof(wchar_t));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// The New dialog of this process while it is shown, or null.
HWND ShownEditor() {
    HWND editor = pwtest::FindTopLevel("TDlgNewShortcut", nullptr, GetCurrentProcessId());
    return editor && IsWindowVisible(editor) ? editor : nullptr;
}

// From another thread: the folders of up to `count` New dialogs, each cancelled in
// turn as the user would; onFirst runs while the first is open.
std::future<std::vector<std::string>> CancelDialogsInTurn(int count,
                                                          std::function<void()> onFirst = {}) {
    return std::async(std::launch::async, [count, onFirst] {
        std::vector<std::string> folders;
        for (int i = 0; i < count; ++i) {
            HWND editor = nullptr;
            if (!pwtest::WaitUntil([&] { return (editor = ShownEditor()) != nullptr; }, 10000))
                break;
            HWND field = pwtest::FindChildByClass(editor, "Edit");
            folders.push_back(pwtest::TextOf(field));
            if (i == 0 && onFirst)
                onFirst();
            HWND cancel = pwtest::FindChildByText(editor, "Button", "Cancel");
            PostMessageA(editor, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(cancel), BN_CLICKED),
                         reinterpret_cast<LPARAM>(cancel));
            pwtest::WaitUntil(
                [&] { return ShownEditor() == nullptr || pwtest::TextOf(field) != folders.back(); },
                5000);
        }
        return folders;
    });
}

} // namespace

// The libraries a start in the tray does not need load where a feature first needs
// them; one the system cannot load is told with the feature and the reason, and the
// feature does not run.
TEST(OnDemandLibrary, ALibraryThatCannotLoadIsToldWithItsFeatureAndReason) {
    EXPECT_TRUE(LoadOnDemand(kCommonControlsLibrary, "show its window"));
    EXPECT_TRUE(GetModuleHandleW(kCommonControlsLibrary));
    std::future<std::string> told = pwtest::AnswerDialog("Pathwink", IDOK);
    EXPECT_FALSE(LoadOnDemand(L"pathwink-missing.dll", "show its window"));
    const std::string text = told.get();
    EXPECT_EQ(text.find("Pathwink cannot show its window: the system library "
                        "pathwink-missing.dll could not be loaded. "),
              0u)
        << text;
    EXPECT_GT(text.size(), 90u) << "the system's reason follows: " << text;
    EXPECT_FALSE(LoadOnDemand(L"pathwink-missing.dll", nullptr))
        << "and without a feature, silently";
}

TEST_F(AppInProcess, ADpiChangeScalesEveryBoundAndTheClientArea) {
    Open("[Options]\r\n");
    HWND newButton = pwtest::FindChildByText(Window(), "Button", "New Shortcut");
    HWND list = pwtest::FindChildByClass(Window(), "ListBox");
    ASSERT_TRUE(newButton && list);
    const RECT before = BoundsInParent(newButton);
    EXPECT_EQ(before.right - before.left, 81);

    // What the system sends when the window moves to a 144-DPI monitor.
    RECT suggested{100, 100, 100 + 700, 100 + 450};
    SendMessageA(Window(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    RECT window;
    GetWindowRect(Window(), &window);
    EXPECT_EQ(window.left, 100);
    EXPECT_EQ(window.right - window.left, 700) << "the suggested rectangle is taken";
    const RECT after = BoundsInParent(newButton);
    EXPECT_EQ(after.left, 9);
    EXPECT_EQ(after.top, 9);
    EXPECT_EQ(after.right - after.left, 122) << "81 at 96 DPI is 121.5 at 144";
    EXPECT_EQ(after.bottom - after.top, 38);
    const RECT listAfter = BoundsInParent(list);
    EXPECT_EQ(listAfter.right - listAfter.left, 648);
    LOGFONTA lf{};
    GetObjectA(reinterpret_cast<HFONT>(SendMessageA(newButton, WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(lf.lfHeight, -17) << "Tahoma 8 at 144 DPI";
    EXPECT_STREQ(lf.lfFaceName, "Tahoma");
}

TEST_F(AppInProcess, TheEndOfTheLogonSavesAChangedOption) {
    Open("[Options]\r\nDClickEdits=0\r\n");
    HWND box = pwtest::FindChildByText(
        Window(), "Button",
        "Double-click on folder in Folder Shortcuts edits shortcut instead of opening Explorer.");
    ASSERT_TRUE(box);
    SendMessageA(box, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(GetParent(box), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(box), BN_CLICKED),
                 reinterpret_cast<LPARAM>(box));
    SendMessageA(Window(), WM_ENDSESSION, FALSE, 0);
    EXPECT_EQ(pwtest::FileBytes(Wide(Ini())).value_or("").find("DClickEdits=1"), std::string::npos)
        << "a cancelled end saves nothing";
    SendMessageA(Window(), WM_ENDSESSION, TRUE, 0);
    EXPECT_NE(pwtest::FileBytes(Wide(Ini())).value_or("").find("DClickEdits=1"), std::string::npos)
        << "the logon's end saves";
}

TEST_F(AppInProcess, ACutOffRowShowsItsWholeTextInAHintAndAShortOneNone) {
    // Wider than the list, narrower than what is left of the screen right of it.
    const std::string longPath = "C:\\" + std::string(90, 'L');
    Open("[Shortcuts]\r\nCount=2\r\n0Path=C:\\Short\r\n0ShortCut=49220\r\n1Path=" + longPath +
         "\r\n1ShortCut=0\r\n");
    NotifyFromTray(NIN_BALLOONUSERCLICK); // the inactive notice opens the shortcuts' page
    SetActiveWindow(Window());
    HWND list = pwtest::FindChildByClass(Window(), "ListBox");
    auto findHint = [this] {
        HWND found = nullptr;
        for (HWND w : pwtest::FindTopLevels(TOOLTIPS_CLASSA, nullptr, GetCurrentProcessId()))
            if (GetWindow(w, GW_OWNER) == Window())
                found = w;
        return found;
    };
    ASSERT_TRUE(list);
    EXPECT_EQ(findHint(), nullptr) << "the hint is made when it is first needed";
    ASSERT_EQ(GetActiveWindow(), Window());
    // Sorted by path: the long path ("C:\\LLL...") is row 0, "C:\\Short" row 1.
    RECT row;
    SendMessageA(list, LB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(10, (row.top + row.bottom) / 2));
    HWND hint = findHint();
    ASSERT_TRUE(hint);
    ASSERT_TRUE(IsWindowVisible(hint)) << "the long row shows a hint";
    EXPECT_EQ(pwtest::TextOf(hint), "(No HotKey)        " + longPath);
    RECT hintRect, rowScreen = row;
    GetWindowRect(hint, &hintRect);
    MapWindowPoints(list, nullptr, reinterpret_cast<POINT*>(&rowScreen), 2);
    EXPECT_EQ(hintRect.left, rowScreen.left - 1) << "placed over the row";
    const int rowHeight = rowScreen.bottom - rowScreen.top,
              hintHeight = hintRect.bottom - hintRect.top;
    EXPECT_EQ(hintRect.top, rowScreen.top + (rowHeight - hintHeight) / 2 - 2)
        << "centred on the row and raised by 2 pixels";

    SendMessageA(list, LB_GETITEMRECT, 1, reinterpret_cast<LPARAM>(&row));
    SendMessageA(list, WM_MOUSEMOVE, 0, MAKELPARAM(10, (row.top + row.bottom) / 2));
    EXPECT_FALSE(IsWindowVisible(hint)) << "a row that fits shows none";
}

TEST_F(AppInProcess, AFolderCheckThatHangsLeavesOtherHotkeysTheTrayIconAndTheWindowAnswering) {
    // The first shortcut's folder check waits, as one on a share that does not
    // answer would; the test lets it go at the end.
    const HANDLE release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::mutex mutex;
    std::vector<std::string> opened;
    FolderShell shell;
    shell.isFolder = [release](const std::string& path) {
        if (path == "C:\\Hanging share")
            WaitForSingleObject(release, 30000);
        return true;
    };
    shell.open = [&](const std::string& path) -> DWORD {
        std::lock_guard<std::mutex> lock(mutex);
        opened.push_back(path);
        return 0;
    };
    auto openedNow = [&] {
        std::lock_guard<std::mutex> lock(mutex);
        return opened;
    };
    // Ctrl+Alt+Shift+F11 and Ctrl+Alt+Shift+F12.
    Open("[Shortcuts]\r\nCount=2\r\n0Path=C:\\Hanging share\r\n0ShortCut=57466\r\n"
         "1Path=C:\\Answers\r\n1ShortCut=57467\r\n",
         shell);
    ASSERT_FALSE(pwtest::IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F11) ||
                 pwtest::IsFree(MOD_CONTROL | MOD_ALT | MOD_SHIFT, VK_F12));

    pwtest::TypeKey(VK_F11, true, true, true);
    pwtest::PumpFor(300);
    pwtest::TypeKey(VK_F12, true, true, true);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return openedNow().size() == 1; }, 5000))
        << "the second hotkey's folder did not open while the first one's check hung";
    EXPECT_EQ(openedNow(), std::vector<std::string>{"C:\\Answers"});

    // Another process's view: the program's window, which serves the tray icon, answers.
    for (HWND window : {Window()}) {
        auto answered = std::async(std::launch::async, [window] {
            DWORD_PTR result = 0;
            return SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
        });
        ASSERT_TRUE(pwtest::WaitUntil(
            [&] { return answered.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
            5000));
        EXPECT_TRUE(answered.get()) << "a window of the program did not answer";
    }

    SetEvent(release);
    ASSERT_TRUE(pwtest::WaitUntil([&] { return openedNow().size() == 2; }, 5000));
    EXPECT_EQ(openedNow().back(), "C:\\Hanging share") << "the slow one opens once it may";
    CloseHandle(release);
}

namespace {

HWND WaitForVisible(const char* className, const char* caption) {
    HWND found = nullptr;
    pwtest::WaitUntil([&] {
        for (HWND w : pwtest::FindTopLevels(className, caption, GetCurrentProcessId()))
            if (IsWindowVisible(w))
                found = w;
        return found != nullptr;
    });
    return found;
}

void PostClick(HWND button) {
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

} // namespace

TEST_F(AppInProcess, AnAltGrCombinationAsksNamingCharacterAndLayoutAndTheListMarksIt) {
    const std::string euro = "\xE2\x82\xAC";
    // Ctrl+Alt+Q (49233), made by an earlier version, is marked as soon as it loads.
    Open("[Options]\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\Mail\r\n"
         "0ShortCut=49233\r\n",
         FolderShell(), pwtest::GermanKeyboard());
    EXPECT_EQ(Rows(), std::vector<std::string>{"Ctrl+Alt+Q (takes @)\tC:\\Mail"});

    // New: Ctrl+Alt+E asks; No brings the dialog back with the input; Yes keeps it.
    std::string firstQuestion, folderAfterNo;
    WORD keyAfterNo = 0;
    std::thread user([&] {
        HWND editor = WaitForVisible("TDlgNewShortcut", nullptr);
        if (!editor)
            return;
        HWND folder = pwtest::FindChildByClass(editor, "Edit");
        HWND hotKey = pwtest::FindChildByClass(editor, "msctls_hotkey32");
        SendMessageA(folder, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(folder_.c_str()));
        SendMessageA(hotKey, HKM_SETHOTKEY, MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
        PostClick(pwtest::FindChildByText(editor, "Button", "OK"));
        HWND question = WaitForVisible("#32770", "Shortcut Warning");
        if (!question)
            return;
        wchar_t text[1024] = L"";
        GetWindowTextW(GetDlgItem(question, 0xFFFF), text, 1024);
        firstQuestion = Utf8(text);
        PostMessageA(question, WM_COMMAND, IDNO, 0);
        pwtest::WaitUntil([&] { return !IsWindow(question) || !IsWindowVisible(question); });
        editor = WaitForVisible("TDlgNewShortcut", nullptr);
        if (!editor)
            return;
        folderAfterNo = pwtest::TextOf(folder);
        keyAfterNo = static_cast<WORD>(SendMessageA(hotKey, HKM_GETHOTKEY, 0, 0));
        PostClick(pwtest::FindChildByText(editor, "Button", "OK"));
        question = WaitForVisible("#32770", "Shortcut Warning");
        if (question)
            PostMessageA(question, WM_COMMAND, IDYES, 0);
    });
    Click(pwtest::FindChildByText(Window(), "Button", "New Shortcut")); // returns after the flow
    user.join();
    EXPECT_EQ(firstQuestion, "On the German keyboard, Ctrl+Alt+E types " + euro +
                                 ". While this shortcut is active, AltGr+E opens the folder "
                                 "instead of typing " +
                                 euro + ". Use this combination anyway?");
    EXPECT_EQ(folderAfterNo, folder_);
    EXPECT_EQ(keyAfterNo, MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT));
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_NE(pwtest::FileBytes(Wide(Ini())).value_or("").find("ShortCut=49221"), std::string::npos)
        << "Yes keeps Ctrl+Alt+E";
    // Sorted by path: C:\Mail before the temporary folder under C:\users.
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Ctrl+Alt+Q (takes @)\tC:\\Mail",
                                                "Ctrl+Alt+E (takes " + euro + ")\t" + folder_}));

    // The option off: no marks (and no question, the flow's only AltGr step).
    HWND altGrBox = pwtest::FindChildByText(
        Window(), "Button",
        "Warn when a key combination types a character on my keyboard (AltGr).");
    SendMessageA(altGrBox, BM_SETCHECK, BST_UNCHECKED, 0);
    Click(altGrBox);
    EXPECT_EQ(Rows(), (std::vector<std::string>{"Ctrl+Alt+Q\tC:\\Mail", "Ctrl+Alt+E\t" + folder_}));
}

TEST_F(AppInProcess, DroppedFoldersGetTheirDialogsOneAfterTheOtherAndAFileStandsForItsFolder) {
    Open("[Options]\r\nConfirmExit=0\r\n");
    const std::string a = folder_ + "\\dropped A", b = folder_ + "\\dropped B";
    const std::string c = folder_ + "\\dropped C";
    // Longer than MAX_PATH: read whole, and (missing) taken as the folder it names.
    const std::string deep = folder_ + "\\" + std::string(150, 'd') + "\\" + std::string(150, 'e');
    for (const std::string& f : {a, b, c})
        ASSERT_TRUE(CreateDirectoryA(f.c_str(), nullptr)) << f;
    std::ofstream(b + "\\notes.txt") << "x";
    std::ofstream(b + "\\more.txt") << "x";

    // The user takes each dialog in turn; while the first is open, a second drop comes.
    HWND main = Window();
    EXPECT_TRUE(GetWindowLongW(main, GWL_EXSTYLE) & WS_EX_ACCEPTFILES) << "Explorer may drop on it";
    auto shown = CancelDialogsInTurn(4, [main, c] {
        PostMessageW(main, WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({c})), 0);
    });
    // Two folders, two files of one of them (it comes once), a folder twice.
    PostMessageW(
        main, WM_DROPFILES,
        reinterpret_cast<WPARAM>(MakeDrop({a, b + "\\notes.txt", b + "\\more.txt", a, deep})), 0);
    ASSERT_TRUE(pwtest::WaitUntil(
        [&] { return shown.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        30000));
    EXPECT_EQ(shown.get(), (std::vector<std::string>{a, b, deep, c}))
        << "in the order dropped; the second drop after the first";
    pwtest::PumpFor(300);
    EXPECT_EQ(ShownEditor(), nullptr) << "nothing more";
    EXPECT_TRUE(Rows().empty()) << "every dialog was cancelled";
}

TEST_F(AppInProcess, AShortcutWithoutAKeyHoldsNoRegistrationAfterAStart) {
    Open("[Shortcuts]\r\nCount=2\r\n0Path=C:\\No key\r\n0ShortCut=0\r\n"
         "1Path=C:\\No key either\r\n1ShortCut=0\r\n");
    ASSERT_EQ(Rows().size(), 2u);
    // Held by the program, keys without a virtual-key code would open its folder.
    EXPECT_TRUE(RegisterHotKey(nullptr, 0x7400, 0, 0)) << "virtual key 0 is left to others";
    UnregisterHotKey(nullptr, 0x7400);
}

namespace {

// Hands folder to window as "Pathwink.exe add" does, from another thread.
void HandOverWithoutWaiting(HWND window, const std::string& folder) {
    const std::wstring text = Wide(folder);
    COPYDATASTRUCT data{0x1FEFF, static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)),
                        const_cast<wchar_t*>(text.c_str())};
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                        5000, &result);
}

} // namespace

TEST_F(AppInProcess, AFolderHandedOverWhileTheTrayMenuIsOpenGetsItsDialogAfterTheMenu) {
    Open("[Options]\r\n");
    HWND main = Window();
    const std::string folder = folder_;
    auto user = std::async(std::launch::async, [main, folder] {
        HWND menu = nullptr;
        if (!pwtest::WaitUntil([&] {
                menu = pwtest::FindTopLevel("#32768", nullptr, GetCurrentProcessId());
                return menu && IsWindowVisible(menu);
            }))
            return std::string("the menu did not open");
        HandOverWithoutWaiting(main, folder);
        Sleep(500);
        if (HWND early = ShownEditor()) {
            // Both loops are ended, so that the test fails rather than hangs.
            PostMessageA(early, WM_CLOSE, 0, 0);
            PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
            return std::string("the dialog opened inside the menu's loop");
        }
        PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        HWND editor = nullptr;
        if (!pwtest::WaitUntil([&] { return (editor = ShownEditor()) != nullptr; }, 5000))
            return std::string("no dialog after the menu closed");
        const std::string shown = pwtest::TextOf(pwtest::FindChildByClass(editor, "Edit"));
        HWND cancel = pwtest::FindChildByText(editor, "Button", "Cancel");
        PostMessageA(editor, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(cancel), BN_CLICKED),
                     reinterpret_cast<LPARAM>(cancel));
        return shown;
    });
    PostMessageA(main, TrayIcon::kCallbackMessage, 0, WM_RBUTTONUP);
    ASSERT_TRUE(pwtest::WaitUntil(
        [&] { return user.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        20000));
    EXPECT_EQ(user.get(), folder);
}

TEST_F(AppInProcess, AnExitWhileHandedOverFoldersWaitNamesThemAndNoShowsTheirDialogs) {
    Open("[Options]\r\n");
    const std::string a = folder_ + "\\waiting A", b = folder_ + "\\waiting B";
    app_->AddFoldersInTurn({a, b});
    // The exit comes before the first dialog could open.
    auto user = std::async(std::launch::async, [] {
        HWND box = nullptr;
        if (!pwtest::WaitUntil([&] {
                box = pwtest::FindTopLevel("#32770", "Pathwink", GetCurrentProcessId());
                return box && IsWindowVisible(box);
            }))
            return std::string("no question");
        const std::string text = pwtest::MessageTextOf(box);
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        return text;
    });
    SendMessageW(Window(), WM_CLOSE, 0, 0);
    ASSERT_EQ(user.get(), WaitingFoldersQuestion({a, b}));
    EXPECT_FALSE(Application::Instance().Terminated()) << "No keeps Pathwink running";
    auto dialogs = CancelDialogsInTurn(2);
    ASSERT_TRUE(pwtest::WaitUntil(
        [&] { return dialogs.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        20000));
    EXPECT_EQ(dialogs.get(), (std::vector<std::string>{a, b})) << "No shows the waiting dialogs";
}

TEST_F(AppInProcess, ACloseDuringAFlowStillNamesTheFoldersWaitingBehindIt) {
    Open("[Options]\r\n");
    const std::string a = folder_ + "\\open A", b = folder_ + "\\waiting B";
    HWND main = Window();
    // While A's dialog is open the installer asks Pathwink to close; B waits behind it.
    // The user answers No, and cancels the dialog that follows.
    auto user = std::async(std::launch::async, [main] {
        std::vector<std::string> seen;
        if (!pwtest::WaitUntil([] { return ShownEditor() != nullptr; }, 10000))
            return seen;
        PostMessageW(main, WM_CLOSE, 0, 0);
        HWND box = nullptr;
        if (!pwtest::WaitUntil(
                [&] {
                    box = pwtest::FindTopLevel("#32770", "Pathwink", GetCurrentProcessId());
                    return box && IsWindowVisible(box);
                },
                10000)) {
            seen.push_back(std::string("no question: ") + (ShownEditor() ? "a dialog" : "nothing") +
                           " is shown");
            if (HWND editor = ShownEditor())
                PostMessageA(editor, WM_CLOSE, 0, 0);
            return seen;
        }
        seen.push_back(pwtest::MessageTextOf(box));
        PostMessageA(box, WM_COMMAND, IDNO, 0);
        HWND editor = nullptr;
        if (pwtest::WaitUntil([&] { return (editor = ShownEditor()) != nullptr; }, 10000)) {
            seen.push_back(pwtest::TextOf(pwtest::FindChildByClass(editor, "Edit")));
            PostMessageA(editor, WM_CLOSE, 0, 0);
        }
        return seen;
    });
    app_->AddFoldersInTurn({a, b});
    ASSERT_TRUE(pwtest::WaitUntil(
        [&] { return user.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        30000));
    EXPECT_EQ(user.get(), (std::vector<std::string>{WaitingFoldersQuestion({b}), b}))
        << "B is named, not dropped in silence, and No shows its dialog";
    pwtest::PumpFor(200);
}

TEST_F(AppInProcess, OnlyAKeyTakesTheWindowInFrontAndOnlyWithTheOptionOn) {
    // The window in front when the key is pressed (any window: what PlaceFolder makes of
    // it is tested on its own).
    HWND inFront = CreateWindowExA(0, "STATIC", "Another program", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(inFront);
    enum class How { Key, ListDoubleClick, TrayMenu };
    const struct {
        const char* what;
        bool optionOn;
        How how;
        bool placeAsked; // with the window of the key press
    } cases[] = {
        {"a key, the option on", true, How::Key, true},
        {"a key, the option off", false, How::Key, false},
        {"a double-click in the list", true, How::ListDoubleClick, false},
        {"the tray menu", true, How::TrayMenu, false},
    };
    for (const auto& c : cases) {
        std::mutex mutex;
        std::vector<HWND> asked;
        int opened = 0;
        FolderShell shell;
        shell.isFolder = [](const std::string&) { return true; };
        shell.place = [&](HWND front, const std::string&) {
            std::lock_guard<std::mutex> lock(mutex);
            asked.push_back(front);
            return PlacementStep::NewExplorerWindow;
        };
        shell.open = [&](const std::string&) -> DWORD {
            std::lock_guard<std::mutex> lock(mutex);
            ++opened;
            return 0;
        };
        // Ctrl+Alt+Shift+F11.
        Open(std::string("[Options]\r\nOpenInFront=") + (c.optionOn ? "1" : "0") +
                 "\r\n[Shortcuts]\r\nCount=1\r\n0Path=C:\\Work\r\n0ShortCut=57466\r\n",
             shell);
        // The tray menu is opened from the program's own window in front (under Wine a
        // menu of this thread ends at once while another window of it is in front).
        SetForegroundWindow(c.how == How::TrayMenu ? Window() : inFront);
        ASSERT_TRUE(pwtest::WaitUntil([&] {
            return GetForegroundWindow() == (c.how == How::TrayMenu ? Window() : inFront);
        })) << c.what;
        if (c.how == How::Key) {
            pwtest::TypeKey(VK_F11, true, true, true);
        } else if (c.how == How::ListDoubleClick) {
            HWND list = pwtest::FindChildByClass(Window(), "ListBox");
            SendMessageA(list, LB_SETCURSEL, 0, 0);
            Click(list, LBN_DBLCLK);
        } else {
            ASSERT_FALSE(TrayMenu(1).empty()) << "no tray menu"; // the folder's entry, the first
        }
        ASSERT_TRUE(pwtest::WaitUntil(
            [&] {
                std::lock_guard<std::mutex> lock(mutex);
                return opened == 1;
            },
            5000))
            << c.what << ": the folder did not open";
        std::lock_guard<std::mutex> lock(mutex);
        EXPECT_EQ(asked, c.placeAsked ? std::vector<HWND>{inFront} : std::vector<HWND>{}) << c.what;
        app_.reset();
    }
    DestroyWindow(inFront);
}
