#pragma once
// The editor dialog with an owner window of the test's own (standing in for the
// main window), and its controls found as a user sees them: by class and caption.

#include "dialogs/ShortcutEditor.h"
#include "tests/dialogs/ModalDriver.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace pwtest {

// A plain top-level window of the calling thread; shown without activation
// unless told otherwise (an activation now races with the X focus events of
// whatever the test shows next).
HWND MakeTopLevel(const char* title, RECT bounds, bool visible = true);
// Activates a window of this thread and waits until Wine agrees that it is the
// foreground window.
bool ActivateAndSettle(HWND hwnd);

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Replaces the dialog by a new one (a first showing again), owned by owner.
    void Recreate(HWND owner);

    HWND Dialog() const { return dialog_->Handle(); }
    HWND Edit1() const { return FindChildByClass(Dialog(), "Edit"); }
    HWND HotkeyField() const { return FindChildByClass(Dialog(), "msctls_hotkey32"); }
    HWND Button(const char* caption) const { return FindChildByText(Dialog(), "Button", caption); }
    HWND Browse() const { return Button("..."); }
    HWND OK() const { return Button("OK"); }
    HWND Cancel() const { return Button("Cancel"); }

    // A click as the user makes it, posted: the click may open something modal.
    static void Click(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

    // Runs ShowModal under driver and checks that the driver neither timed out
    // nor had to end the showing by force.
    int ShowDriven(ModalDriver& driver);

    static constexpr RECT kOwnerBounds{200, 150, 800, 550};
    HWND owner_ = nullptr;
    std::unique_ptr<pw::ShortcutEditor> dialog_;
};

} // namespace pwtest
