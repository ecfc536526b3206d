// HotkeyField: the hot-key field under the editor's Ctrl+Alt rules, fed real key
// presses through SendInput, and the messages it sends to its window.

#include "hotkey/HotkeyField.h"
#include "tests/support/TestSupport.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <vector>

using namespace pw;
using pwtest::TypeKey;
using pwtest::WaitUntil;

namespace {

class HotkeyFieldTest : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "HotkeyFieldTestHost";
        RegisterClassA(&wc);
        host_ = CreateWindowExA(0, wc.lpszClassName, "hotkey host", WS_POPUP | WS_VISIBLE, 100, 100,
                                300, 100, nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_TRUE(host_);
        // Set up as the editor dialog's field: Ctrl+Alt without a key, then the
        // Ctrl+Alt substitution; the window is created last.
        field_.SetValue(kWithCtrl | kWithAlt);
        field_.SetDefaultModifiers(kWithCtrl | kWithAlt);
        ASSERT_TRUE(field_.Create(host_, 100, 8, 8, 209, 19));
        SetForegroundWindow(host_);
        SetFocus(field_.Handle());
        ASSERT_TRUE(WaitUntil([&] { return GetFocus() == field_.Handle(); }, 3000));
    }
    void TearDown() override { DestroyWindow(host_); }

    // Types a key into the field and waits until its value changes from `before`.
    KeyCombination Type(WORD vk, bool ctrl, bool alt, bool shift, KeyCombination before = 0) {
        field_.SetValue(before);
        TypeKey(vk, ctrl, alt, shift);
        WaitUntil([&] { return field_.Value() != before; }, 3000);
        pwtest::PumpFor(50);
        return field_.Value();
    }

    HWND host_ = nullptr;
    HotkeyField field_;
};

std::vector<std::pair<UINT, WPARAM>>* g_recorded = nullptr;

LRESULT CALLBACK Recorder(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR) {
    if (g_recorded && (msg == HKM_SETRULES || msg == HKM_SETHOTKEY))
        g_recorded->push_back({msg, msg == HKM_SETRULES ? (wp << 16) | (lp & 0xFFFF) : wp});
    return DefSubclassProc(hwnd, msg, wp, lp);
}

} // namespace

TEST_F(HotkeyFieldTest, TypedKeysFollowTheCtrlAltRules) {
    EXPECT_EQ(Type('D', false, false, false), 0xC044) << "D alone gets Ctrl+Alt";
    // Shift alone is refused too and gets Ctrl+Alt. Windows' control adds them to
    // Shift; Wine's replaces Shift with them.
    const KeyCombination shiftD = Type('D', false, false, true);
    EXPECT_EQ(shiftD & 0xC0FF, 0xC044) << "Shift+D gets Ctrl+Alt";
    if (!pwtest::RunningUnderWine()) {
        EXPECT_EQ(shiftD, 0xE044) << "Shift+D gives Ctrl+Alt+Shift+D";
    }
    EXPECT_EQ(Type('D', false, true, false), 0x8044) << "Alt+D stays as typed";
    EXPECT_EQ(Type('D', true, false, false), 0x4044) << "Ctrl+D stays as typed";
    EXPECT_EQ(Type(VK_F5, false, false, false), 0xC074) << "F5 alone gets Ctrl+Alt";
}

TEST_F(HotkeyFieldTest, WritingZeroKeepsTheRulesInForce) {
    field_.SetValue(0);
    EXPECT_EQ(field_.Value(), 0) << "an empty field reads back as 0";
    EXPECT_EQ(Type('K', false, false, false, 0), 0xC04B);
}

TEST_F(HotkeyFieldTest, ReadingDropsTheExtendedFlag) {
    field_.SetValue(0);
    INPUT in[6] = {};
    const WORD keys[] = {VK_CONTROL, VK_MENU, VK_LEFT};
    for (int i = 0; i < 3; ++i) {
        in[i].type = in[5 - i].type = INPUT_KEYBOARD;
        in[i].ki.wVk = in[5 - i].ki.wVk = keys[i];
        in[i].ki.wScan = in[5 - i].ki.wScan = static_cast<WORD>(MapVirtualKeyA(keys[i], 0));
        in[5 - i].ki.dwFlags = KEYEVENTF_KEYUP;
    }
    in[2].ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    in[3].ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
    SendInput(6, in, sizeof(INPUT));
    ASSERT_TRUE(WaitUntil([&] { return field_.Value() != 0; }, 3000));
    EXPECT_EQ(field_.Value(), 0xC025) << "Ctrl+Alt+Left without a trace of the extended flag";
}

TEST_F(HotkeyFieldTest, SendsRulesOnlyWhenTheDefaultModifiersChange) {
    std::vector<std::pair<UINT, WPARAM>> recorded;
    g_recorded = &recorded;
    ASSERT_TRUE(SetWindowSubclass(field_.Handle(), Recorder, 1, 0));

    field_.SetValue(0xE070);                          // Shift+Ctrl+Alt+F1
    field_.SetDefaultModifiers(kWithCtrl | kWithAlt); // unchanged: nothing
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].first, UINT(HKM_SETHOTKEY));
    EXPECT_EQ(recorded[0].second, WPARAM(0x0770));

    recorded.clear();
    field_.SetDefaultModifiers(kWithShift | kWithCtrl | kWithAlt);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].first, UINT(HKM_SETRULES));
    EXPECT_EQ(recorded[0].second, WPARAM((HKCOMB_NONE | HKCOMB_S) << 16 | 0x07))
        << "no modifier and Shift alone refused, Shift+Ctrl+Alt given instead";
    EXPECT_EQ(recorded[1].first, UINT(HKM_SETHOTKEY));
    EXPECT_EQ(recorded[1].second, WPARAM(0x0770));

    RemoveWindowSubclass(field_.Handle(), Recorder, 1);
    g_recorded = nullptr;
}

TEST(HotkeyFieldDefaults, StartAsTheAKeyWithAlt) {
    HotkeyField field;
    EXPECT_EQ(field.Value(), 0x8041);
}
