#include "win/SingleInstanceGuard.h"

#include "win/Application.h"

namespace pw {
namespace {

// Clears the show-main-window flag and asks for the end on every way out of the
// duplicate path, also when the handler throws: a second copy never stays.
class EndsThisCopy {
public:
    EndsThisCopy() = default;
    ~EndsThisCopy() {
        Application::Instance().SetShowMainForm(false);
        Application::Instance().Terminate();
    }
    EndsThisCopy(const EndsThisCopy&) = delete;
    EndsThisCopy& operator=(const EndsThisCopy&) = delete;
};

std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), length + 1)));
    return text;
}

} // namespace

void SingleInstanceGuard::Loaded() {
    if (handleTaken_)
        return;
    name_ = Application::Instance().Title().substr(0, kMaxNameLength);
    SetLastError(ERROR_SUCCESS);
    // Kept also when it opens the running copy's mutex: closed with this object.
    mutex_.Reset(CreateMutexA(nullptr, FALSE, name_.c_str()));
    const DWORD error = GetLastError();
    handleTaken_ = true; // from here on the handle is this object's to close
    // A null handle (an object of another kind holds the name) counts as a running
    // copy too: this copy could not mark itself.
    if (mutex_ && error != ERROR_ALREADY_EXISTS)
        return;

    EndsThisCopy ends;
    if (AlreadyExist) {
        auto handler = AlreadyExist;
        handler(*this);
    }
    if (SwitchToPrevious)
        SwitchToPreviousCopy();
}

void SingleInstanceGuard::SwitchToPreviousCopy() {
    // This copy's own top-level windows (those of the GUI thread) may carry the same
    // title: blanked, the search finds only the running copy's.
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM name) -> BOOL {
            if (WindowText(hwnd) == *reinterpret_cast<const std::string*>(name))
                SetWindowTextA(hwnd, "");
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&name_));
    HWND previous = FindWindowA(nullptr, name_.c_str());
    if (!previous)
        return;
    if (IsIconic(previous))
        ShowWindow(previous, SW_RESTORE);
    else
        BringWindowToTop(previous);
    SetForegroundWindow(previous);
}

} // namespace pw
