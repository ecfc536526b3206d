#pragma once
// SingleInstanceGuard: keeps one copy of the program running per logon. Its after-loading
// step creates a named mutex called after the application title (at most 255
// characters, case as written, the logon's own namespace). When the name is
// already taken, by a running copy or by an object of another kind, this copy
// counts as a second one: AlreadyExist is raised (the program's handler tells the
// user), the application's show-main-window flag is cleared and the application is
// asked to terminate, so the message loop ends as soon as it starts. The mutex is
// a presence marker only: no copy ever waits on it or owns it.

#include "win/UniqueHandle.h"

#include <windows.h>

#include <functional>
#include <string>

namespace pw {

class SingleInstanceGuard {
public:
    static constexpr size_t kMaxNameLength = 255;

    SingleInstanceGuard() = default;
    // Closes this copy's handle: the name is free once no copy holds one.
    ~SingleInstanceGuard() = default;
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    // Also brings the running copy's window (titled as the application) to the front.
    bool SwitchToPrevious = true;
    // Raised at most once, inside Loaded(), when another copy is found; before the
    // quit message is posted, so a message box shown here gets the user's answer.
    std::function<void(SingleInstanceGuard&)> AlreadyExist;

    // The after-loading step: the check above. Runs once; later calls do nothing.
    void Loaded();

    // The mutex name the check used (empty before Loaded()).
    const std::string& Name() const { return name_; }

private:
    void SwitchToPreviousCopy();

    std::string name_;
    UniqueKernelHandle mutex_;
    // Set once the check has obtained its handle (or failed to): the check runs once.
    bool handleTaken_ = false;
};

} // namespace pw
