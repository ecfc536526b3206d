#include "tray/TrayIcon.h"

#include "win/Application.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <utility>

namespace pw {
namespace {

constexpr char kHiddenWindowClass[] = "PathwinkTrayWindow";

// Runs its action when the scope is left, also by an exception.
template <class F> class Finally {
public:
    explicit Finally(F f) : f_(std::move(f)) {}
    ~Finally() { f_(); }
    Finally(const Finally&) = delete;
    Finally& operator=(const Finally&) = delete;

private:
    F f_;
};

// What each notification from the shell does: the gesture it is (for RestoreOn
// and PopupMenuOn) and the event it raises. Balloon notifications are no gesture.
struct Notification {
    LPARAM code;
    TrayIconGesture gesture;
    TrayIcon::NotifyEvent TrayIcon::*event;
};

const Notification kNotifications[] = {
    {WM_LBUTTONDOWN, TrayIconGesture::ticLeftClick, &TrayIcon::OnLButtonDown},
    {WM_LBUTTONUP, TrayIconGesture::ticLeftClickUp, &TrayIcon::OnLButtonUp},
    {WM_LBUTTONDBLCLK, TrayIconGesture::ticLeftDblClick, &TrayIcon::OnLButtonDblClick},
    {WM_RBUTTONDOWN, TrayIconGesture::ticRightClick, &TrayIcon::OnRButtonDown},
    {WM_RBUTTONUP, TrayIconGesture::ticRightClickUp, &TrayIcon::OnRButtonUp},
    {WM_RBUTTONDBLCLK, TrayIconGesture::ticRightDblClick, &TrayIcon::OnRButtonDblClick},
    {NIN_BALLOONHIDE, TrayIconGesture::ticNone, &TrayIcon::OnBalloonHintHide},
    {NIN_BALLOONTIMEOUT, TrayIconGesture::ticNone, &TrayIcon::OnBalloonHintClose},
    {NIN_BALLOONUSERCLICK, TrayIconGesture::ticNone, &TrayIcon::OnBalloonHintClick},
};

// A copy at the size the notification area draws: from the icon's resource when
// the system still knows it (a large icon then gives its own small image rather
// than a shrunken one), otherwise of the image as it is.
HICON CopySmallIcon(HICON icon) {
    if (!icon)
        return nullptr;
    HANDLE copy = CopyImage(icon, IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                            GetSystemMetrics(SM_CYSMICON), LR_COPYFROMRESOURCE);
    return copy ? static_cast<HICON>(copy) : CopyIcon(icon);
}

HICON LoadProgramIcon() {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), "MAINICON", IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), 0));
}

UINT NextIconId() {
    static std::atomic<UINT> last{0};
    return ++last;
}

} // namespace

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

TrayIcon::TrayIcon(HICON icon) : icon_(CopySmallIcon(icon)) {
    TaskbarCreatedMessage(); // registered before the window exists that may receive it
    window_.CreateHidden();
    // NOTIFYICONDATAA_V2_SIZE is the size of the record up to the balloon fields for
    // the architecture built; a shell given any other size reads only the oldest fields.
    data_.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data_.hWnd = window_.Handle();
    data_.uID = NextIconId();
    data_.uFlags = NIF_MESSAGE | NIF_ICON;
    data_.uCallbackMessage = kCallbackMessage;
    data_.hIcon = icon_.Get();
}

TrayIcon::TrayIcon() : TrayIcon(nullptr) { icon_.Reset(data_.hIcon = LoadProgramIcon()); }

TrayIcon::~TrayIcon() {
    *alive_ = false;
    StopRetry();
    Shell_NotifyIconA(NIM_DELETE, &data_); // fails harmlessly when the icon was never added
    window_.DestroyHandle();
}

void TrayIcon::Loaded() {
    if (!loading_)
        return;
    loading_ = false;
    if (enabled_)
        AddIcon(false);
    Modify();
}

void TrayIcon::SetEnabled(bool enabled) {
    if (enabled == enabled_ && !recreating_)
        return;
    enabled_ = enabled;
    if (loading_)
        return;
    if (enabled)
        AddIcon(false);
    else
        RemoveIcon();
}

void TrayIcon::SetHint(const std::string& hint) {
    if (hint == hint_)
        return;
    hint_ = hint;
    const size_t length = std::min(hint.size(), kMaxTipLength);
    std::memcpy(data_.szTip, hint.data(), length);
    data_.szTip[length] = '\0';
    // This change always carries the tip, so that an emptied hint also empties the
    // shell's tooltip; afterwards the record carries it only while there is one.
    data_.uFlags |= NIF_TIP;
    Modify();
    if (hint.empty())
        data_.uFlags &= ~NIF_TIP;
}

void TrayIcon::AddIcon(bool fromRetry) {
    if (data_.hWnd && Shell_NotifyIconA(NIM_ADD, &data_)) {
        iconAdded_ = true;
        StopRetry();
        return;
    }
    // Refused (at logon the taskbar may not exist yet): the icon stays wanted, so a
    // later try or the new taskbar's broadcast adds it.
    iconAdded_ = false;
    if (!fromRetry) {
        StopRetry();
        retryStep_ = 0;
    }
    StartRetry();
}

void TrayIcon::RemoveIcon() {
    StopRetry();
    Shell_NotifyIconA(NIM_DELETE, &data_);
    iconAdded_ = false;
}

void TrayIcon::Modify() {
    Shell_NotifyIconA(NIM_MODIFY, &data_); // fails harmlessly while no icon exists
}

void TrayIcon::StartRetry() {
    HWND hwnd = window_.Handle();
    if (!hwnd || retryStep_ >= RetryDelaysMs.size()) {
        StopRetry();
        return;
    }
    retryPending_ = SetTimer(hwnd, kRetryTimerId, RetryDelaysMs[retryStep_++], nullptr) != 0;
}

void TrayIcon::StopRetry() {
    if (retryPending_)
        KillTimer(window_.Handle(), kRetryTimerId);
    retryPending_ = false;
}

void TrayIcon::RetryTick() {
    // Each delay is a single wait: the timer goes, and a new one follows a new refusal.
    StopRetry();
    if (enabled_ && !loading_ && !iconAdded_)
        AddIcon(true);
}

void TrayIcon::Recreate() {
    recreating_ = true;
    try {
        SetEnabled(true); // adds again although the value does not change
    } catch (...) {
        // The old taskbar's icon is gone either way; nothing can be reported here.
    }
    recreating_ = false;
}

bool TrayIcon::Raise(const NotifyEvent& event) {
    if (!event)
        return true;
    auto alive = alive_;
    NotifyEvent handler = event;
    handler(*this);
    return *alive;
}

HWND TrayIcon::OwnerWindow() const {
    return OwnerForm ? OwnerForm : Application::Instance().MainWindow();
}

void TrayIcon::HandleNotification(LPARAM code) {
    for (const Notification& n : kNotifications) {
        if (n.code != code)
            continue;
        auto alive = alive_;
        if (n.gesture != TrayIconGesture::ticNone) {
            if (RestoreOn == n.gesture) {
                RestoreSteps(OwnerWindow());
                if (!*alive)
                    return;
            }
            if (PopupMenuOn == n.gesture) {
                PopupAtCursor();
                if (!*alive)
                    return;
            }
        }
        Raise(this->*n.event);
        return;
    }
}

void TrayIcon::PopupAtCursor() {
    if (!ShowPopupMenu)
        return;
    POINT at{};
    GetCursorPos(&at);
    // Without the foreground the menu would not close when the user clicks elsewhere.
    if (HWND owner = OwnerWindow())
        SetForegroundWindow(owner);
    auto show = ShowPopupMenu;
    auto alive = alive_;
    menuOpen_ = true;
    Finally closed([&] {
        if (*alive)
            menuOpen_ = false;
        // Lets the menu's owner see one more message, which ends the menu mode properly.
        PostMessageA(nullptr, WM_NULL, 0, 0);
    });
    show(at);
}

void TrayIcon::RestoreSteps(HWND appWindow) {
    if (menuOpen_)
        return;
    auto alive = alive_;
    restoring_ = true;
    Finally done([&] {
        if (*alive)
            restoring_ = false;
    });
    if (enabled_ && appWindow) {
        ShowWindow(appWindow, SW_RESTORE); // its own restore notification is ignored meanwhile
        SetForegroundWindow(appWindow);
    }
    Raise(OnRestoreApp);
}

void TrayIcon::ApplicationMinimized(HWND appWindow) {
    // Hidden, the minimised window leaves no taskbar button: the tray icon is its way back.
    if (enabled_ && HideOnMinimize && appWindow)
        ShowWindow(appWindow, SW_HIDE);
    Raise(OnMinimizeApp);
}

void TrayIcon::ApplicationRestored(HWND appWindow) {
    if (restoring_)
        return;
    RestoreSteps(appWindow);
}

LRESULT TrayIcon::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_QUERYENDSESSION: {
        bool allow = true;
        if (OnQueryEndSession) {
            auto handler = OnQueryEndSession;
            handler(*this, allow);
        }
        return allow ? 1 : 0;
    }
    case WM_ENDSESSION:
        if (Raise(OnEndSession) && wParam)
            RemoveIcon();
        return 0;
    case kCallbackMessage:
        HandleNotification(lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kRetryTimerId)
            RetryTick();
        return 0;
    }
    const UINT taskbarCreated = TaskbarCreatedMessage();
    if (taskbarCreated && msg == taskbarCreated && enabled_ && !loading_)
        Recreate();
    return 0;
}

void TrayIcon::HiddenWindow::CreateHidden() {
    RegisterWindowClass(kHiddenWindowClass);
    // Top-level, not message-only: the taskbar's broadcast and the end-of-logon
    // messages reach top-level windows only. Never shown.
    Create(WS_EX_TOOLWINDOW, kHiddenWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr);
}

LRESULT TrayIcon::HiddenWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_NCDESTROY:
        return DefWindowProcA(Handle(), msg, wParam, lParam);
    }
    // A handler may free the component (and this window object) inside this call:
    // nothing of this object is used after it.
    return owner_.HandleMessage(msg, wParam, lParam);
}

} // namespace pw
