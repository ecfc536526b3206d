// SingleInstanceGuard against real named kernel objects: a first copy marks itself quietly,
// a second one (or one that cannot mark itself) is told once and ends. Each test
// uses a title of its own, so a Pathwink running in the same prefix is no party.

#include "win/SingleInstanceGuard.h"

#include "tests/support/TestSupport.h"
#include "win/Application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

using namespace pw;

namespace {

// How a CreateMutexA of the name fares now (the probe's handle is closed again).
enum class NameState { Free, HeldByMutex, HeldByOtherKind };

NameState StateOf(const std::string& name) {
    SetLastError(ERROR_SUCCESS);
    HANDLE h = CreateMutexA(nullptr, FALSE, name.c_str());
    const DWORD error = GetLastError();
    if (!h)
        return NameState::HeldByOtherKind;
    CloseHandle(h);
    return error == ERROR_ALREADY_EXISTS ? NameState::HeldByMutex : NameState::Free;
}

bool TakeQuitMessage() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

bool QuitMessageQueued() {
    MSG msg;
    return PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        savedTitle_ = Application::Instance().Title();
        savedShow_ = Application::Instance().ShowMainForm();
        title_ = "Pathwink guard test " + std::to_string(GetCurrentProcessId()) + "." +
                 std::to_string(++counter);
        Application::Instance().SetTitle(title_);
        Application::Instance().SetShowMainForm(true);
        while (TakeQuitMessage()) {
        }
    }
    void TearDown() override {
        while (TakeQuitMessage()) {
        }
        Application::Instance().SetTitle(savedTitle_);
        Application::Instance().SetShowMainForm(savedShow_);
    }

    std::string title_;

private:
    std::string savedTitle_;
    bool savedShow_ = true;
};

// A top-level window titled as the running copy's, on a thread of its own (this
// copy's windows are those of the thread that runs the check).
class OtherCopyWindow {
public:
    OtherCopyWindow(const std::string& title, bool minimised) {
        thread_ = std::thread([this, title, minimised] {
            HWND hwnd = CreateWindowExA(0, "STATIC", title.c_str(), WS_OVERLAPPEDWINDOW, 50, 50,
                                        200, 120, nullptr, nullptr, nullptr, nullptr);
            ShowWindow(hwnd, minimised ? SW_SHOWMINNOACTIVE : SW_SHOWNOACTIVATE);
            hwnd_ = hwnd;
            ready_ = true;
            MSG msg;
            while (!stop_) {
                while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
                    DispatchMessageA(&msg);
                Sleep(5);
            }
            DestroyWindow(hwnd_);
            done_ = true;
        });
        // Showing and destroying that window activates and deactivates windows of this
        // thread, which answer only while this thread dispatches messages.
        pwtest::WaitUntil([this] { return ready_.load(); }, 5000);
    }
    ~OtherCopyWindow() {
        stop_ = true;
        pwtest::WaitUntil([this] { return done_.load(); }, 5000);
        thread_.join();
    }
    HWND Handle() const { return hwnd_; }

private:
    std::thread thread_;
    std::atomic<HWND> hwnd_{nullptr};
    std::atomic<bool> ready_{false}, stop_{false}, done_{false};
};

} // namespace

TEST_F(SingleInstance, AFirstCopyMarksItselfQuietlyUntilItEnds) {
    ASSERT_EQ(StateOf(title_), NameState::Free);
    auto guard = std::make_unique<SingleInstanceGuard>();
    int raised = 0;
    guard->AlreadyExist = [&](SingleInstanceGuard&) { ++raised; };
    guard->Loaded();
    EXPECT_EQ(raised, 0);
    EXPECT_TRUE(Application::Instance().ShowMainForm()) << "the show flag is left alone";
    EXPECT_FALSE(QuitMessageQueued());
    EXPECT_EQ(guard->Name(), title_);
    EXPECT_EQ(StateOf(title_), NameState::HeldByMutex) << "the running copy's marker exists";

    guard->Loaded(); // once only: its own marker is no other copy
    EXPECT_EQ(raised, 0);
    EXPECT_FALSE(QuitMessageQueued());

    guard.reset();
    EXPECT_EQ(StateOf(title_), NameState::Free) << "the name is free once the copy ends";
}

TEST_F(SingleInstance, ASecondCopyIsToldOnceBeforeItsQuitAndNeverShowsItsWindow) {
    const struct {
        const char* what;
        bool byGuard; // a running copy's guard; otherwise the test holds the name
        bool otherKind;
    } cases[] = {
        {"a running copy's guard holds the mutex", true, false},
        {"another process holds the mutex", false, false},
        {"an object of another kind holds the name", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Application::Instance().SetShowMainForm(true);
        std::unique_ptr<SingleInstanceGuard> first;
        UniqueKernelHandle held;
        if (c.byGuard) {
            first = std::make_unique<SingleInstanceGuard>();
            first->Loaded();
        } else if (c.otherKind) {
            held.Reset(CreateEventA(nullptr, TRUE, FALSE, title_.c_str()));
        } else {
            held.Reset(CreateMutexA(nullptr, FALSE, title_.c_str()));
        }
        const NameState heldBy = c.otherKind ? NameState::HeldByOtherKind : NameState::HeldByMutex;
        ASSERT_EQ(StateOf(title_), heldBy);

        auto second = std::make_unique<SingleInstanceGuard>();
        second->SwitchToPrevious = false; // as this program configures it
        int raised = 0;
        SingleInstanceGuard* sender = nullptr;
        bool showFlagDuringHandler = false, quitDuringHandler = true;
        second->AlreadyExist = [&](SingleInstanceGuard& s) {
            ++raised;
            sender = &s;
            // The program's handler shows a message box here: no quit may be queued
            // yet, or the box's own loop would take it.
            showFlagDuringHandler = Application::Instance().ShowMainForm();
            quitDuringHandler = QuitMessageQueued();
        };
        second->Loaded();
        EXPECT_EQ(raised, 1);
        EXPECT_EQ(sender, second.get());
        EXPECT_TRUE(showFlagDuringHandler);
        EXPECT_FALSE(quitDuringHandler);
        EXPECT_FALSE(Application::Instance().ShowMainForm()) << "the main window is never shown";
        EXPECT_TRUE(TakeQuitMessage()) << "the message loop ends as soon as it starts";
        EXPECT_FALSE(TakeQuitMessage()) << "one quit message";

        second.reset();
        EXPECT_EQ(StateOf(title_), heldBy)
            << "the second copy's end leaves the running copy's marker";
    }
}

TEST_F(SingleInstance, TheNameIsTheTitleAsWrittenCutTo255Characters) {
    const std::string longTitle = title_ + std::string(300, '#');
    const struct {
        const char* what;
        std::string title;
        std::string heldName;
        bool duplicate;
    } cases[] = {
        {"same case", title_, title_, true},
        {"other case is another name", title_, "PATHWINK" + title_.substr(8), false},
        {"with a namespace prefix, the same object", title_, "Local\\" + title_, true},
        {"a long title counts by its first 255 characters", longTitle, longTitle.substr(0, 255),
         true},
        {"a shorter prefix is another name", longTitle, longTitle.substr(0, 254), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Application::Instance().SetTitle(c.title);
        UniqueKernelHandle held(CreateMutexA(nullptr, FALSE, c.heldName.c_str()));
        ASSERT_TRUE(held);
        SingleInstanceGuard guard;
        guard.SwitchToPrevious = false;
        int raised = 0;
        guard.AlreadyExist = [&](SingleInstanceGuard&) { ++raised; };
        guard.Loaded();
        EXPECT_EQ(guard.Name(), c.title.substr(0, 255));
        EXPECT_EQ(raised, c.duplicate ? 1 : 0);
        EXPECT_EQ(TakeQuitMessage(), c.duplicate);
        Application::Instance().SetShowMainForm(true);
    }
}

TEST_F(SingleInstance, SwitchingToThePreviousCopyBringsItsWindowForward) {
    const struct {
        const char* what;
        bool switchToPrevious, minimised;
    } cases[] = {
        {"minimised running copy is restored", true, true},
        {"running copy is raised", true, false},
        {"switching off (this program)", false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        UniqueKernelHandle held(CreateMutexA(nullptr, FALSE, title_.c_str()));
        // This copy's own main window carries the same title.
        UniqueWindow own(CreateWindowExA(0, "STATIC", title_.c_str(),
                                         WS_OVERLAPPEDWINDOW | WS_VISIBLE, 300, 50, 200, 120,
                                         nullptr, nullptr, nullptr, nullptr));
        OtherCopyWindow previous(title_, c.minimised);
        ASSERT_NE(previous.Handle(), nullptr);
        SetForegroundWindow(own.Get());

        SingleInstanceGuard guard;
        guard.SwitchToPrevious = c.switchToPrevious;
        guard.Loaded();
        TakeQuitMessage();

        const bool switched = c.switchToPrevious;
        EXPECT_EQ(pwtest::TextOf(own.Get()).empty(), switched) << "this copy's title is blanked";
        ASSERT_TRUE(pwtest::WaitUntil(
            [&] { return (IsIconic(previous.Handle()) == FALSE) == (switched || !c.minimised); },
            2000));
        EXPECT_EQ(GetForegroundWindow() == previous.Handle(), switched);
        EXPECT_EQ(pwtest::TextOf(previous.Handle()), title_) << "the running copy keeps its title";
    }
}
