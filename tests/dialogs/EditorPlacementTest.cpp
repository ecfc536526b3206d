// Where the editor dialog appears: centred over the main window the first time
// (never past the desktop's left and top edges), and afterwards wherever the
// user last left it.

#include "tests/dialogs/EditorFixture.h"

#include <algorithm>

using namespace pwtest;

namespace {

RECT WindowRectOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return r;
}

RECT WorkArea() {
    RECT r{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0);
    return r;
}

std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
           std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
}

} // namespace

TEST_F(EditorTest, FirstShowingIsCentredOverTheMainWindow) {
    enum class State { Shown, Minimised, Hidden };
    const struct {
        const char* name;
        RECT owner;
        State state;
        bool overScreen; // centred on the work area instead of the owner
    } cases[] = {
        {"main window in the middle", {200, 150, 800, 550}, State::Shown, false},
        {"main window near the bottom right", {700, 450, 1250, 790}, State::Shown, false},
        {"main window hanging over the top left", {-450, -380, 150, 20}, State::Shown, false},
        {"main window hanging over the left only", {-450, 300, 150, 700}, State::Shown, false},
        {"main window minimised", {300, 200, 800, 500}, State::Minimised, false},
        {"main window hidden (running in the tray)", {10, 10, 300, 200}, State::Hidden, true},
    };
    const int deskLeft = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int deskTop = GetSystemMetrics(SM_YVIRTUALSCREEN);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DestroyWindow(owner_);
        owner_ = MakeTopLevel("editor owner", c.owner, c.state != State::Hidden);
        ASSERT_TRUE(owner_);
        if (c.state != State::Hidden) {
            ASSERT_TRUE(ActivateAndSettle(owner_));
        }
        if (c.state == State::Minimised)
            ShowWindow(owner_, SW_MINIMIZE);
        Recreate(owner_);

        RECT seen{};
        ModalDriver drive(Dialog());
        drive.Until("shown", [&] { return IsWindowVisible(Dialog()) != FALSE; })
            .Do("read", [&] { seen = WindowRectOf(Dialog()); })
            .Do("Cancel", [&] { Click(Cancel()); });
        ShowDriven(drive);

        const RECT over = c.overScreen ? WorkArea() : c.owner;
        const int width = seen.right - seen.left, height = seen.bottom - seen.top;
        const int centredLeft = (over.left + over.right - width) / 2;
        const int centredTop = (over.top + over.bottom - height) / 2;
        // Centred, except that it never starts left of or above the desktop.
        if (centredLeft < deskLeft)
            EXPECT_EQ(seen.left, deskLeft) << Describe(seen);
        else
            EXPECT_NEAR((seen.left + seen.right) / 2.0, (over.left + over.right) / 2.0, 1.0)
                << Describe(seen) << " over " << Describe(over);
        if (centredTop < deskTop)
            EXPECT_EQ(seen.top, deskTop) << Describe(seen);
        else
            EXPECT_NEAR((seen.top + seen.bottom) / 2.0, (over.top + over.bottom) / 2.0, 1.0)
                << Describe(seen) << " over " << Describe(over);
        if (c.state == State::Hidden) {
            EXPECT_FALSE(IsWindowVisible(owner_)) << "the hidden main window stays hidden";
        }
    }
}

TEST_F(EditorTest, LaterShowingsAppearWhereTheUserLeftIt) {
    // The user drags it to a spot, closes it; the main window moves meanwhile.
    const POINT userMoves[] = {{37, 45}, {610, 420}, {0, 0}};
    RECT first{};
    std::vector<RECT> seen;
    for (size_t i = 0; i <= std::size(userMoves); ++i) {
        ModalDriver drive(Dialog());
        drive.Until("shown", [&] { return IsWindowVisible(Dialog()) != FALSE; }).Do("read", [&] {
            seen.push_back(WindowRectOf(Dialog()));
        });
        if (i < std::size(userMoves))
            drive.Do("user moves it", [&, i] {
                SetWindowPos(Dialog(), nullptr, userMoves[i].x, userMoves[i].y, 0, 0,
                             SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
            });
        drive.Do("close", [&, i] { Click(i % 2 ? OK() : Cancel()); });
        ShowDriven(drive);
        SetWindowPos(owner_, nullptr, 100 + 150 * static_cast<int>(i), 80, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    ASSERT_EQ(seen.size(), std::size(userMoves) + 1);
    first = seen[0];
    EXPECT_NEAR((first.left + first.right) / 2.0, (kOwnerBounds.left + kOwnerBounds.right) / 2.0,
                1.0)
        << "the first showing is centred";
    for (size_t i = 1; i < seen.size(); ++i) {
        EXPECT_EQ(seen[i].left, userMoves[i - 1].x) << "showing " << i + 1;
        EXPECT_EQ(seen[i].top, userMoves[i - 1].y) << "showing " << i + 1;
        EXPECT_EQ(seen[i].right - seen[i].left, first.right - first.left) << "same size";
    }
}
