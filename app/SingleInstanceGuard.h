#pragma once
// Keeps one copy of the program running per logon: a named mutex, called after the
// application title (at most 255 characters, case as written, the logon's own
// namespace), marks the running copy. The name already taken, by a running copy or
// by an object of another kind, means this copy is a second one. The mutex is a
// presence marker only: no copy ever waits on it or owns it.

#include "win/Scoped.h"

#include <string>

namespace pw {

class SingleInstanceGuard {
public:
    static constexpr size_t kMaxNameLength = 255;

    // Marks this copy, or finds that another one runs.
    explicit SingleInstanceGuard(const std::string& title);
    // Closes this copy's handle: the name is free once no copy holds one.
    ~SingleInstanceGuard() = default;
    SingleInstanceGuard(const SingleInstanceGuard&) = delete;
    SingleInstanceGuard& operator=(const SingleInstanceGuard&) = delete;

    bool AnotherCopyRuns() const { return anotherCopyRuns_; }
    // The mutex name the check used.
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    UniqueKernelHandle mutex_;
    bool anotherCopyRuns_ = false;
};

} // namespace pw
