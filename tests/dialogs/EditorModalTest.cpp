// The editor dialog shown modally, driven from inside its own loop with real key
// and mouse input: how each way of closing ends it, which windows it disables,
// what Enter, Escape, Tab and typed combinations do, where the focus starts, and
// that its fields and caption survive between showings.

#include "tests/dialogs/EditorFixture.h"

#include <commctrl.h>

#include <atomic>
#include <functional>
#include <thread>

using namespace pwtest;
using pw::KeyCombination;
using pw::ShortcutEditor;
using Field = ShortcutEditor::Field;

namespace {

// The dialog is on the screen and is the active window of the thread.
std::function<bool()> IsUp(HWND dialog) {
    return [dialog] { return IsWindowVisible(dialog) && GetActiveWindow() == dialog; };
}

} // namespace

TEST_F(EditorTest, EndsWithOneForOKAndTwoForCancelOrTheCloseBox) {
    const struct {
        const char* how;
        std::function<void()> act;
        int expected;
    } endings[] = {
        {"OK button", [&] { Click(OK()); }, 1},
        {"Cancel button", [&] { Click(Cancel()); }, 2},
        {"close box (system menu Close)",
         [&] { PostMessageA(Dialog(), WM_SYSCOMMAND, SC_CLOSE, 0); }, 2},
        {"WM_CLOSE", [&] { PostMessageA(Dialog(), WM_CLOSE, 0, 0); }, 2},
        {"OK button after a cancel", [&] { Click(OK()); }, 1},
    };
    for (const auto& e : endings) {
        SCOPED_TRACE(e.how);
        EXPECT_FALSE(dialog_->IsShowing()) << "before the showing";
        bool showingDuring = false, ownerEnabledDuring = true;
        ModalDriver drive(Dialog());
        drive.Until("shown and active", IsUp(Dialog()))
            .Do("look",
                [&] {
                    showingDuring = dialog_->IsShowing();
                    ownerEnabledDuring = IsWindowEnabled(owner_);
                })
            .Do(e.how, e.act);
        EXPECT_EQ(ShowDriven(drive), e.expected);
        EXPECT_TRUE(showingDuring);
        EXPECT_FALSE(ownerEnabledDuring) << "the owner is disabled while the dialog is up";
        EXPECT_FALSE(dialog_->IsShowing());
        EXPECT_FALSE(IsWindowVisible(Dialog()));
        EXPECT_TRUE(IsWindow(Dialog())) << "closing hides the dialog, it is not destroyed";
        EXPECT_TRUE(IsWindowEnabled(owner_));
        EXPECT_EQ(GetActiveWindow(), owner_) << "the activation goes back to the owner";
    }
}

TEST_F(EditorTest, DisablesExactlyTheVisibleEnabledWindowsOfItsThread) {
    HWND other = MakeTopLevel("another window", {20, 20, 220, 120});
    HWND hidden = MakeTopLevel("hidden main window", {30, 30, 230, 130}, false);
    HWND disabled = MakeTopLevel("disabled already", {40, 40, 240, 140});
    EnableWindow(disabled, FALSE);

    // A window of another thread is not the application's to disable.
    std::atomic<HWND> foreign{nullptr};
    std::atomic<DWORD> foreignThread{0};
    std::thread t([&] {
        foreignThread = GetCurrentThreadId();
        foreign = MakeTopLevel("other thread", {50, 50, 250, 150});
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        DestroyWindow(foreign);
    });
    struct Join {
        std::thread& t;
        std::atomic<DWORD>& id;
        ~Join() {
            while (!id)
                Sleep(1);
            while (!PostThreadMessageA(id, WM_QUIT, 0, 0))
                Sleep(1); // the thread's queue may not exist yet
            t.join();
        }
    } join{t, foreignThread};
    ASSERT_TRUE(WaitUntil([&] { return foreign.load() != nullptr; }, 5000));
    ASSERT_TRUE(ActivateAndSettle(owner_));

    const struct {
        const char* name;
        HWND hwnd;
        bool enabledDuring, enabledAfter;
    } rows[] = {
        {"owner", owner_, false, true},
        {"another visible window", other, false, true},
        {"hidden window", hidden, true, true},
        {"window disabled before", disabled, false, false},
        {"window of another thread", foreign, true, true},
    };
    std::vector<bool> during;
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog()))
        .Do("look",
            [&] {
                for (const auto& r : rows)
                    during.push_back(IsWindowEnabled(r.hwnd) != FALSE);
            })
        .Do("Cancel", [&] { Click(Cancel()); });
    EXPECT_EQ(ShowDriven(drive), 2);
    ASSERT_EQ(during.size(), std::size(rows));
    for (size_t i = 0; i < std::size(rows); ++i) {
        EXPECT_EQ(during[i], rows[i].enabledDuring) << rows[i].name << " while shown";
        EXPECT_EQ(IsWindowEnabled(rows[i].hwnd) != FALSE, rows[i].enabledAfter)
            << rows[i].name << " afterwards";
    }
    EXPECT_FALSE(IsWindowVisible(hidden)) << "a hidden window stays hidden";
    for (HWND h : {other, hidden, disabled})
        DestroyWindow(h);
}

TEST_F(EditorTest, EnterAndEscapeInEitherFieldLeaveItOpen) {
    const struct {
        const char* name;
        Field field;
        std::function<HWND()> control;
    } fields[] = {
        {"folder field", Field::Folder, [&] { return Edit1(); }},
        {"hot-key field", Field::Hotkey, [&] { return HotkeyField(); }},
    };
    for (const auto& f : fields) {
        SCOPED_TRACE(f.name);
        dialog_->SetFolderText("C:\\kept");
        dialog_->SetHotkeyValue(0xC04A);
        dialog_->SetActiveControl(f.field);
        HWND target = f.control();
        ModalDriver drive(Dialog());
        drive.Until("shown", IsUp(Dialog())).Until("focus in the field", [&] {
            return GetFocus() == target;
        });
        for (WORD key : {VK_RETURN, VK_ESCAPE, VK_RETURN}) {
            drive.Do("press key", [key] { TypeKey(key); }).Wait(400).Do("look", [&, key] {
                EXPECT_TRUE(dialog_->IsShowing()) << "key " << key;
                EXPECT_TRUE(IsWindowVisible(Dialog())) << "key " << key;
                EXPECT_EQ(GetFocus(), target) << "key " << key;
                EXPECT_EQ(dialog_->FolderText(), "C:\\kept") << "key " << key;
            });
        }
        drive.Do("OK", [&] { Click(OK()); });
        EXPECT_EQ(ShowDriven(drive), 1) << "only the OK click ended it";
    }
}

TEST_F(EditorTest, FieldsAndCaptionStayBetweenShowings) {
    dialog_->SetCaption("Edit Folder Shortcut");
    dialog_->SetFolderText("C:\\Projects\\kept");
    dialog_->SetHotkeyValue(0xC04B);
    for (int showing = 1; showing <= 3; ++showing) {
        SCOPED_TRACE("showing " + std::to_string(showing));
        std::string caption, folder;
        LRESULT control = 0;
        ModalDriver drive(Dialog());
        drive.Until("shown", IsUp(Dialog()))
            .Do("read what the user sees",
                [&] {
                    caption = TextOf(Dialog());
                    folder = TextOf(Edit1());
                    control = SendMessageA(HotkeyField(), HKM_GETHOTKEY, 0, 0);
                })
            .Do("close", [&] {
                if (showing == 2)
                    PostMessageA(Dialog(), WM_CLOSE, 0, 0);
                else
                    Click(showing == 1 ? Cancel() : OK());
            });
        ShowDriven(drive);
        EXPECT_EQ(caption, "Edit Folder Shortcut");
        EXPECT_EQ(folder, "C:\\Projects\\kept");
        EXPECT_EQ(control, 0x064B) << "Ctrl+Alt+K in the control's encoding";
        EXPECT_EQ(dialog_->FolderText(), "C:\\Projects\\kept") << "readable after it closed";
        EXPECT_EQ(dialog_->HotkeyValue(), 0xC04B);
    }
}

TEST_F(EditorTest, KeysTypedIntoTheHotkeyFieldGetCtrlAltUnlessCtrlOrAltIsHeld) {
    struct Case {
        const char* what;
        bool writeFirst;       // the flows write the value (after Shift+A here) before typing
        KeyCombination before; // value written, or the value the field holds
        WORD vk;
        bool ctrl, alt, shift;
        KeyCombination mask, expected;
    };
    const Case cases[] = {
        {"D right after creation", false, 0xC000, 'D', false, false, false, 0xFFFF, 0xC044},
        {"D alone", true, 0, 'D', false, false, false, 0xFFFF, 0xC044},
        {"Alt+D", true, 0, 'D', false, true, false, 0xFFFF, 0x8044},
        {"Ctrl+D", true, 0, 'D', true, false, false, 0xFFFF, 0x4044},
        // Windows gives Ctrl+Alt+Shift+D; Wine's control replaces Shift by Ctrl+Alt.
        {"Shift+D", true, 0, 'D', false, false, true, 0xC0FF, 0xC044},
        {"F7 alone over an edited key", true, 0x8044, VK_F7, false, false, false, 0xFFFF, 0xC076},
        {"K after the value was set to 0", true, 0, 'K', false, false, false, 0xFFFF, 0xC04B},
    };
    std::vector<KeyCombination> got(std::size(cases), 0xFFFF);
    dialog_->SetActiveControl(Field::Hotkey);
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog())).Until("focus in the field", [&] {
        return GetFocus() == HotkeyField();
    });
    for (size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        drive
            .Do(c.what,
                [&, c] {
                    if (c.writeFirst) {
                        dialog_->SetHotkeyValue(
                            0x2041); // Shift+A: the field's modifiers become Shift
                        dialog_->SetHotkeyValue(c.before);
                    }
                    TypeKey(c.vk, c.ctrl, c.alt, c.shift);
                })
            .Until(
                std::string("value changes: ") + c.what,
                [&, c] { return dialog_->HotkeyValue() != c.before; }, 3000)
            .Wait(50)
            .Do("read", [&, i] { got[i] = dialog_->HotkeyValue(); });
    }
    drive.Do("still open", [&] { EXPECT_TRUE(dialog_->IsShowing()); }).Do("Cancel", [&] {
        Click(Cancel());
    });
    EXPECT_EQ(ShowDriven(drive), 2);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(got[i] & cases[i].mask, cases[i].expected)
            << cases[i].what << ": got 0x" << std::hex << got[i];
    if (!RunningUnderWine()) {
        EXPECT_EQ(got[4], 0xE044) << "Shift+D gives Ctrl+Alt+Shift+D";
    }
}

TEST_F(EditorTest, TheChosenFieldHasTheFocusWhenShown) {
    dialog_->SetFolderText("C:\\Selected\\path");
    const Field sequence[] = {Field::Hotkey, Field::Folder, Field::Hotkey, Field::Folder};
    for (Field field : sequence) {
        const bool folder = field == Field::Folder;
        SCOPED_TRACE(folder ? "folder field" : "hot-key field");
        dialog_->SetActiveControl(field);
        HWND expected = folder ? Edit1() : HotkeyField();
        HWND focusAtShow = nullptr;
        DWORD selStart = 1, selEnd = 0;
        ModalDriver drive(Dialog());
        drive.Until("shown", IsUp(Dialog()))
            .Do("look",
                [&] {
                    focusAtShow = GetFocus();
                    SendMessageA(Edit1(), EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                                 reinterpret_cast<LPARAM>(&selEnd));
                })
            // The user moves on; the next showing must still start in the chosen field.
            .Do("Tab away", [] { TypeKey(VK_TAB); })
            .Until("focus moved", [&] { return GetFocus() != expected; })
            .Do("Cancel", [&] { Click(Cancel()); });
        ShowDriven(drive);
        EXPECT_EQ(focusAtShow, expected);
        if (folder) {
            EXPECT_EQ(selStart, 0u) << "the path is selected as a whole";
            EXPECT_EQ(selEnd, std::string("C:\\Selected\\path").size());
        }
    }

    // Chosen while shown: the focus moves at once.
    HWND focusAfter = nullptr;
    dialog_->SetActiveControl(Field::Folder);
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog()))
        .Until("focus in the folder field", [&] { return GetFocus() == Edit1(); })
        .Do("choose the hot-key field",
            [&] {
                dialog_->SetActiveControl(Field::Hotkey);
                focusAfter = GetFocus();
            })
        .Do("Cancel", [&] { Click(Cancel()); });
    ShowDriven(drive);
    EXPECT_EQ(focusAfter, HotkeyField());
}

TEST_F(EditorTest, TabAndShiftTabWalkTheControlsInOrder) {
    dialog_->SetActiveControl(Field::Folder);
    const std::vector<std::pair<const char*, HWND>> forward = {
        {"ButtonBrowse", Browse()}, {"HotkeyField", HotkeyField()}, {"ButtonOK", OK()},
        {"ButtonCancel", Cancel()}, {"Edit1 (wrapped)", Edit1()},
    };
    std::vector<HWND> seen;
    HWND afterShiftTab = nullptr;
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog())).Until("focus in the folder field", [&] {
        return GetFocus() == Edit1();
    });
    for (size_t i = 0; i < forward.size(); ++i) {
        drive.Do("Tab", [] { TypeKey(VK_TAB); })
            .Until(
                "focus moves",
                [&, i] {
                    HWND prev = i == 0 ? Edit1() : forward[i - 1].second;
                    return GetFocus() != prev;
                },
                2000)
            .Do("read", [&] { seen.push_back(GetFocus()); });
    }
    drive.Do("Shift+Tab", [] { TypeKey(VK_TAB, false, false, true); })
        .Until(
            "focus moves back", [&] { return GetFocus() != Edit1(); }, 2000)
        .Do("read", [&] { afterShiftTab = GetFocus(); })
        .Do("Cancel", [&] { Click(Cancel()); });
    EXPECT_EQ(ShowDriven(drive), 2);
    ASSERT_EQ(seen.size(), forward.size());
    for (size_t i = 0; i < forward.size(); ++i)
        EXPECT_EQ(seen[i], forward[i].second)
            << "Tab number " << i + 1 << " should reach " << forward[i].first;
    EXPECT_EQ(afterShiftTab, Cancel());
}

TEST_F(EditorTest, AQuitMessageEndsItWithTwoAndIsPassedOn) {
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog())).Do("quit", [] { PostQuitMessage(7); });
    EXPECT_EQ(ShowDriven(drive), 2);
    int code = -1;
    EXPECT_TRUE(DrainQuit(&code)) << "the outer loop must still see the quit";
    EXPECT_EQ(code, 7);
    EXPECT_FALSE(dialog_->IsShowing());
    EXPECT_FALSE(IsWindowVisible(Dialog()));
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(EditorTest, ASecondStartWhileOpenBringsItForwardAndLeavesTheFirstRunning) {
    // Another application's window takes the foreground while the dialog is up.
    std::atomic<HWND> elsewhere{nullptr};
    std::atomic<DWORD> elsewhereThread{0};
    std::thread t([&] {
        elsewhereThread = GetCurrentThreadId();
        elsewhere = MakeTopLevel("elsewhere", {700, 500, 900, 650});
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_APP)
                SetForegroundWindow(elsewhere);
            DispatchMessageA(&msg);
        }
        DestroyWindow(elsewhere);
    });
    struct Join {
        std::thread& t;
        std::atomic<DWORD>& id;
        ~Join() {
            while (!id)
                Sleep(1);
            while (!PostThreadMessageA(id, WM_QUIT, 0, 0))
                Sleep(1); // the thread's queue may not exist yet
            t.join();
        }
    } join{t, elsewhereThread};
    ASSERT_TRUE(WaitUntil([&] { return elsewhere.load() != nullptr; }, 5000));
    ASSERT_TRUE(ActivateAndSettle(owner_));

    int nestedResult = 0;
    bool stillShowing = false;
    HWND foregroundAfter = nullptr;
    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog()))
        .Do("another window comes forward",
            [&] { PostThreadMessageA(elsewhereThread, WM_APP, 0, 0); })
        .Until("it has the foreground", [&] { return GetForegroundWindow() == elsewhere; })
        .Do("second start",
            [&] {
                nestedResult = dialog_->ShowModal();
                stillShowing = dialog_->IsShowing();
            })
        .Until(
            "the dialog is in front again", [&] { return GetForegroundWindow() == Dialog(); }, 3000)
        .Do("read", [&] { foregroundAfter = GetForegroundWindow(); })
        .Do("OK", [&] { Click(OK()); });
    EXPECT_EQ(ShowDriven(drive), 1) << "the first showing goes on and ends normally";
    EXPECT_EQ(nestedResult, 2);
    EXPECT_TRUE(stillShowing);
    EXPECT_EQ(foregroundAfter, Dialog());
    EXPECT_TRUE(IsWindowEnabled(owner_));
}

TEST_F(EditorTest, PaintsOnButtonFaceAndShowsHintsUnderThePointer) {
    COLORREF background = CLR_INVALID;
    struct Hover {
        const char* name;
        std::function<HWND()> control;
        HWND shownFor = nullptr;
        bool visible = false;
    };
    std::vector<Hover> hovers = {
        {"folder field", [&] { return Edit1(); }},
        {"browse button", [&] { return Browse(); }},
        {"hot-key field", [&] { return HotkeyField(); }},
    };
    HWND tip = nullptr;
    for (HWND t : FindTopLevels(TOOLTIPS_CLASSA, nullptr, GetCurrentProcessId()))
        if (GetWindow(t, GW_OWNER) == Dialog())
            tip = t;
    ASSERT_TRUE(tip);

    ModalDriver drive(Dialog());
    drive.Until("shown", IsUp(Dialog())).Wait(200).Do("read a free spot", [&] {
        // Between the folder row and the hot-key label, right of the label.
        const UINT dpi = pw::DpiOf(Dialog());
        HDC dc = GetDC(Dialog());
        background = GetPixel(dc, MulDiv(200, dpi, 96), MulDiv(50, dpi, 96));
        ReleaseDC(Dialog(), dc);
    });
    for (Hover& h : hovers) {
        drive
            .Do(std::string("point at the ") + h.name,
                [&h] { MoveMouseTo(ClientCentre(h.control())); })
            .Until(
                std::string("hint for the ") + h.name,
                [&] {
                    TTTOOLINFOA ti{};
                    ti.cbSize = sizeof ti;
                    if (!IsWindowVisible(tip) ||
                        !SendMessageA(tip, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&ti)))
                        return false;
                    h.shownFor = reinterpret_cast<HWND>(ti.uId);
                    h.visible = true;
                    return h.shownFor == h.control();
                },
                4000)
            .Do("point away",
                [&] {
                    MoveMouseTo(POINT{5, 5});
                })
            .Until(
                "hint gone", [&] { return !IsWindowVisible(tip); }, 3000);
    }
    drive.Do("Cancel", [&] { Click(Cancel()); });
    ShowDriven(drive);
    EXPECT_EQ(background, GetSysColor(COLOR_BTNFACE));
    for (const Hover& h : hovers) {
        EXPECT_TRUE(h.visible) << h.name;
        EXPECT_EQ(h.shownFor, h.control()) << h.name;
    }
}
