#include "win/SingleInstanceGuard.h"

#include "win/Text.h"

namespace pw {

SingleInstanceGuard::SingleInstanceGuard(const std::string& title)
    : name_(title.substr(0, kMaxNameLength)) {
    SetLastError(ERROR_SUCCESS);
    // Kept also when it opens the running copy's mutex: closed with this object.
    mutex_.Reset(CreateMutexW(nullptr, FALSE, Wide(name_).c_str()));
    // A null handle (an object of another kind holds the name) counts as a running
    // copy too: this copy could not mark itself.
    anotherCopyRuns_ = !mutex_ || GetLastError() == ERROR_ALREADY_EXISTS;
}

} // namespace pw
