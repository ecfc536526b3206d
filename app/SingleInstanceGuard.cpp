#include "app/SingleInstanceGuard.h"

#include "win/Text.h"

namespace pw {

SingleInstanceGuard::SingleInstanceGuard(const std::string& title)
    : name_(title.substr(0, kMaxNameLength)) {
    SetLastError(ERROR_SUCCESS);
    mutex_.Reset(CreateMutexW(nullptr, FALSE, Wide(name_).c_str()));
    // A null handle (an object of another kind holds the name) counts as a running
    // copy too: this copy could not mark itself.
    anotherCopyRuns_ = !mutex_ || GetLastError() == ERROR_ALREADY_EXISTS;
    // A second copy keeps nothing of the name: were it to hold the running copy's
    // mutex while it tells the user, a start after that copy has ended would still
    // be refused.
    if (anotherCopyRuns_)
        mutex_.Reset();
}

} // namespace pw
