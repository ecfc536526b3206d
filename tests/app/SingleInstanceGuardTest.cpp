// The single-instance guard against real named kernel objects: a first copy marks
// itself, a second one (or one that cannot mark itself) finds the first. Each test
// uses a title of its own, so a Pathwink running in the same prefix is no party.

#include "app/SingleInstanceGuard.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

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

class SingleInstance : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        title_ = "Pathwink guard test " + std::to_string(GetCurrentProcessId()) + "." +
                 std::to_string(++counter);
    }
    std::string title_;
};

} // namespace

TEST_F(SingleInstance, AFirstCopyMarksItselfUntilItEnds) {
    ASSERT_EQ(StateOf(title_), NameState::Free);
    auto guard = std::make_unique<SingleInstanceGuard>(title_);
    EXPECT_FALSE(guard->AnotherCopyRuns());
    EXPECT_EQ(guard->Name(), title_);
    EXPECT_EQ(StateOf(title_), NameState::HeldByMutex) << "the running copy's marker exists";
    guard.reset();
    EXPECT_EQ(StateOf(title_), NameState::Free) << "the name is free once the copy ends";
}

TEST_F(SingleInstance, ASecondCopyFindsTheFirstWhoeverHoldsTheName) {
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
        std::unique_ptr<SingleInstanceGuard> first;
        UniqueKernelHandle held;
        if (c.byGuard)
            first = std::make_unique<SingleInstanceGuard>(title_);
        else if (c.otherKind)
            held.Reset(CreateEventA(nullptr, TRUE, FALSE, title_.c_str()));
        else
            held.Reset(CreateMutexA(nullptr, FALSE, title_.c_str()));
        const NameState heldBy = c.otherKind ? NameState::HeldByOtherKind : NameState::HeldByMutex;
        ASSERT_EQ(StateOf(title_), heldBy);

        auto second = std::make_unique<SingleInstanceGuard>(title_);
        EXPECT_TRUE(second->AnotherCopyRuns());
        // While the second copy still tells its user, the first one ends: the name
        // is free for the next start.
        first.reset();
        held.Reset();
        EXPECT_EQ(StateOf(title_), NameState::Free) << "the refused copy holds nothing";
        second.reset();
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
        UniqueKernelHandle held(CreateMutexA(nullptr, FALSE, c.heldName.c_str()));
        ASSERT_TRUE(held);
        SingleInstanceGuard guard(c.title);
        EXPECT_EQ(guard.Name(), c.title.substr(0, 255));
        EXPECT_EQ(guard.AnotherCopyRuns(), c.duplicate);
    }
}
