#include "tests/dialogs/EditorFixture.h"

namespace pwtest {

HWND MakeTopLevel(const char* title, RECT bounds, bool visible) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = "EditorTestWindow";
    RegisterClassA(&wc); // fails harmlessly once registered
    HWND hwnd = CreateWindowExA(0, wc.lpszClassName, title, WS_OVERLAPPEDWINDOW, bounds.left,
                                bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                nullptr, nullptr, wc.hInstance, nullptr);
    if (hwnd && visible)
        ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    return hwnd;
}

bool ActivateAndSettle(HWND hwnd) {
    SetForegroundWindow(hwnd);
    const bool settled = WaitUntil(
        [hwnd] { return GetForegroundWindow() == hwnd && GetActiveWindow() == hwnd; }, 3000);
    PumpFor(50);
    return settled && GetForegroundWindow() == hwnd;
}

void EditorTest::SetUp() {
    owner_ = MakeTopLevel("editor owner", kOwnerBounds);
    ASSERT_TRUE(owner_);
    ASSERT_TRUE(ActivateAndSettle(owner_));
    Recreate(owner_);
}

void EditorTest::Recreate(HWND owner) {
    dialog_.reset();
    dialog_ = std::make_unique<pw::ShortcutEditor>(owner);
    ASSERT_TRUE(Dialog());
}

void EditorTest::TearDown() {
    dialog_.reset();
    if (owner_)
        DestroyWindow(owner_);
    EXPECT_FALSE(DrainQuit()) << "a quit message was left in the queue";
}

int EditorTest::ShowDriven(ModalDriver& driver) {
    driver.Start();
    const int result = dialog_->ShowModal();
    driver.Stop();
    EXPECT_EQ(driver.Failure(), "");
    EXPECT_TRUE(driver.Finished()) << "the showing ended before the last step";
    if (driver.PostedQuit())
        DrainQuit();
    return result;
}

} // namespace pwtest
