#include "tray/TrayIcon.h"

#include "win/Scoped.h"
#include "win/Text.h"

#include <algorithm>
#include <atomic>
#include <cstring>

namespace pw {
namespace {

constexpr char kHiddenWindowClass[] = "PathwinkTrayWindow";

// A copy at the size the notification area draws: from the icon's resource when
// the system still knows it (a large icon then gives its own small image rather
// than a shrunken one), otherwise of the image as it is.
HICON CopySmallIcon(HICON icon) {
    HANDLE copy = CopyImage(icon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                            GetSystemMetrics(SM_CYSMICON), LR_COPYFROMRESOURCE);
    return copy ? static_cast<HICON>(copy) : CopyIcon(icon);
}

HICON LoadProgramIcon() {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0));
}

// Copies the first units of text into a fixed field of the record, never half a
// surrogate pair, always terminated.
template <size_t N> void CopyToField(const std::string& text, wchar_t (&field)[N]) {
    const std::wstring wide = Wide(text);
    size_t length = std::min(wide.size(), N - 1);
    if (length < wide.size() && length > 0 && IS_HIGH_SURROGATE(wide[length - 1]))
        --length;
    std::memcpy(field, wide.data(), length * sizeof(wchar_t));
    field[length] = L'\0';
}

UINT NextIconId() {
    static std::atomic<UINT> last{0};
    return ++last;
}

} // namespace

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

TrayIcon::TrayIcon(HICON icon) : icon_(icon ? CopySmallIcon(icon) : LoadProgramIcon()) {
    TaskbarCreatedMessage(); // registered before the window exists that may receive it
    RegisterWindowClass(kHiddenWindowClass);
    // Top-level, not message-only: the taskbar's broadcast and the end-of-logon
    // messages reach top-level windows only. Never shown.
    Create(WS_EX_TOOLWINDOW, kHiddenWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr);
    // NOTIFYICONDATAW_V2_SIZE is the size of the record up to the balloon fields for
    // the architecture built; a shell given any other size reads only the oldest fields.
    record_.cbSize = NOTIFYICONDATAW_V2_SIZE;
    record_.hWnd = Handle();
    record_.uID = NextIconId();
    record_.uFlags = NIF_MESSAGE | NIF_ICON;
    record_.uCallbackMessage = kCallbackMessage;
    record_.hIcon = icon_.Get();
}

TrayIcon::~TrayIcon() {
    RemoveIcon(); // fails harmlessly when the icon was never added
    DestroyHandle();
}

void TrayIcon::Show() {
    if (wanted_)
        return;
    wanted_ = true;
    AddIcon(true);
}

void TrayIcon::Hide() {
    wanted_ = false;
    RemoveIcon();
}

void TrayIcon::SetTooltip(const std::string& tooltip) {
    if (tooltip == tooltip_)
        return;
    tooltip_ = tooltip;
    static_assert(sizeof record_.szTip / sizeof(wchar_t) == kMaxTipLength + 1);
    CopyToField(tooltip, record_.szTip);
    // This change always carries the tip, so that an emptied tooltip also empties the
    // shell's; afterwards the record carries it only while there is one.
    record_.uFlags |= NIF_TIP;
    Shell_NotifyIconW(NIM_MODIFY, &record_); // fails harmlessly while no icon exists
    if (tooltip.empty())
        record_.uFlags &= ~NIF_TIP;
}

void TrayIcon::ShowNotification(const std::string& title, const std::string& text) {
    CopyToField(title, record_.szInfoTitle);
    CopyToField(text, record_.szInfo);
    notificationPending_ = true;
    if (iconAdded_)
        SendNotification();
}

void TrayIcon::SendNotification() {
    record_.uFlags |= NIF_INFO;
    record_.dwInfoFlags = NIIF_WARNING;
    record_.uTimeout = 15000; // the shell keeps it within its own bounds
    Shell_NotifyIconW(NIM_MODIFY, &record_);
    // Once only: the record's later adds and changes carry no balloon.
    record_.uFlags &= ~NIF_INFO;
    record_.szInfo[0] = L'\0';
    notificationPending_ = false;
}

void TrayIcon::AddIcon(bool restartDelays) {
    StopRetry();
    if (restartDelays)
        retryStep_ = 0;
    if (!Handle())
        return;
    iconAdded_ = Shell_NotifyIconW(NIM_ADD, &record_) != FALSE;
    if (iconAdded_ && notificationPending_)
        SendNotification();
    // Refused: the icon stays wanted, so a later try or the new taskbar's broadcast adds it.
    if (!iconAdded_ && retryStep_ < retryDelaysMs_.size())
        retryPending_ =
            SetTimer(Handle(), kRetryTimerId, retryDelaysMs_[retryStep_++], nullptr) != 0;
}

void TrayIcon::RemoveIcon() {
    StopRetry();
    Shell_NotifyIconW(NIM_DELETE, &record_);
    iconAdded_ = false;
}

void TrayIcon::StopRetry() {
    if (retryPending_)
        KillTimer(Handle(), kRetryTimerId);
    retryPending_ = false;
}

void TrayIcon::HandleNotification(LPARAM notification) {
    // A handler may free this object: each runs from a copy, and nothing of this
    // object is used after it returns.
    if (notification == WM_LBUTTONDOWN && OnLeftButtonDown) {
        const auto handler = OnLeftButtonDown;
        handler();
    } else if (notification == NIN_BALLOONUSERCLICK && OnNotificationClicked) {
        const auto handler = OnNotificationClicked;
        handler();
    } else if (notification == WM_RBUTTONUP && OnMenuRequested) {
        RequestMenu();
    }
}

void TrayIcon::RequestMenu() {
    POINT at{};
    GetCursorPos(&at);
    if (menuOwner_)
        SetForegroundWindow(menuOwner_);
    const auto handler = OnMenuRequested;
    // One more message for the menu's owner ends the menu mode properly, also after a
    // menu that failed.
    const ScopeExit wakeUp([] { PostMessageW(nullptr, WM_NULL, 0, 0); });
    handler(at);
}

LRESULT TrayIcon::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_NCDESTROY:
        return DefWindowProcW(Handle(), msg, wParam, lParam);
    case kCallbackMessage:
        HandleNotification(lParam);
        return 0;
    case WM_TIMER:
        // Each delay is a single wait: the timer goes, and a new refusal sets the next.
        if (wParam == kRetryTimerId) {
            if (wanted_ && !iconAdded_)
                AddIcon(false);
            else
                StopRetry();
        }
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            RemoveIcon();
        return 0;
    }
    // The old taskbar's icons went with it.
    const UINT taskbarCreated = TaskbarCreatedMessage();
    if (taskbarCreated && msg == taskbarCreated && wanted_)
        AddIcon(true);
    return 0;
}

} // namespace pw
