#include "tray/TrayIcon.h"

#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace pw {
namespace {

constexpr char kHiddenWindowClass[] = "PathwinkTrayWindow";

// The waits before each new try of a refused add; the tries end with the list.
constexpr UINT kRetryDelaysMs[] = {1000, 2000, 4000, 8000, 16000};

// The icon at the size the notification area shows at the screen's scaling. The
// function that knows it is in Common Controls 6 only: without it, the small icon size.
HICON LoadProgramIcon() {
    using LoadIconMetricFunction = HRESULT(WINAPI*)(HINSTANCE, PCWSTR, int, HICON*);
    const auto loadIconMetric =
        LoadOnDemand(kCommonControlsLibrary, nullptr)
            ? reinterpret_cast<LoadIconMetricFunction>(reinterpret_cast<void*>(
                  GetProcAddress(GetModuleHandleW(kCommonControlsLibrary), "LoadIconMetric")))
            : nullptr;
    HICON icon = nullptr;
    if (loadIconMetric &&
        SUCCEEDED(loadIconMetric(GetModuleHandleW(nullptr), L"MAINICON", LIM_SMALL, &icon)))
        return icon;
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

} // namespace

UINT TrayIcon::TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageW(L"TaskbarCreated");
    return message;
}

TrayIcon::TrayIcon() : icon_(LoadProgramIcon()) {
    TaskbarCreatedMessage(); // registered before the window exists that may receive it
    RegisterWindowClass(kHiddenWindowClass);
    // Top-level, not message-only: the taskbar's broadcast and the end-of-logon
    // messages reach top-level windows only. Never shown.
    Create(WS_EX_TOOLWINDOW, kHiddenWindowClass, "", WS_POPUP, 0, 0, 0, 0, nullptr);
    // The whole current record: its size tells the shell which fields it may read.
    record_.cbSize = sizeof record_;
    record_.hWnd = Handle();
    record_.uID = kIconId;
    // With the current version the shell shows the standard tooltip only when asked to.
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_SHOWTIP;
    record_.uCallbackMessage = kCallbackMessage;
    record_.hIcon = icon_.Get();
}

TrayIcon::~TrayIcon() {
    Hide();
    DestroyHandle();
}

void TrayIcon::Show() {
    if (wanted_)
        return;
    wanted_ = true;
    AddIcon(true);
}

void TrayIcon::Hide() {
    if (!wanted_)
        return; // never shown: nothing ever reached the shell
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
    // shell's; afterwards the record carries it only while there is one. An icon not
    // added yet gets it with its add.
    record_.uFlags |= NIF_TIP;
    const bool changed = !iconAdded_ || Shell_NotifyIconW(NIM_MODIFY, &record_);
    if (tooltip.empty())
        record_.uFlags &= ~NIF_TIP;
    if (!changed)
        RenewIcon();
}

void TrayIcon::ShowNotification(const std::string& title, const std::string& text) {
    CopyToField(title, record_.szInfoTitle);
    CopyToField(text, record_.szInfo);
    notificationPending_ = true;
    // Refused: the renewed icon's add brings it.
    if (iconAdded_ && !SendNotification())
        RenewIcon();
}

bool TrayIcon::SendNotification() {
    record_.uFlags |= NIF_INFO;
    record_.dwInfoFlags = NIIF_WARNING;
    record_.uTimeout = 15000; // the shell keeps it within its own bounds
    const bool shown = Shell_NotifyIconW(NIM_MODIFY, &record_) != FALSE;
    // The record's later adds and changes carry no balloon.
    record_.uFlags &= ~NIF_INFO;
    if (shown)
        notificationPending_ = false;
    return shown;
}

void TrayIcon::AddIcon(bool restartDelays) {
    StopRetry();
    if (restartDelays)
        retryStep_ = 0;
    if (!Handle())
        return;
    iconAdded_ = Shell_NotifyIconW(NIM_ADD, &record_) != FALSE;
    if (iconAdded_) {
        // Asked after every add: a new taskbar knows nothing of an earlier one. A
        // refusal needs nothing more: that shell sends the old form of its
        // notifications, which HandleNotification reads as well, and the next add
        // asks again.
        record_.uVersion = NOTIFYICON_VERSION_4;
        Shell_NotifyIconW(NIM_SETVERSION, &record_);
        // A refusal keeps it pending for the next add: renewing the icon at once could
        // go round for ever with a shell that takes icons but no balloons.
        if (notificationPending_)
            SendNotification();
        return;
    }
    // Refused: the icon stays wanted, so a later try or the new taskbar's broadcast adds it.
    if (retryStep_ < std::size(kRetryDelaysMs))
        retryPending_ =
            SetTimer(Handle(), kRetryTimerId, kRetryDelaysMs[retryStep_++], nullptr) != 0;
}

void TrayIcon::RenewIcon() {
    RemoveIcon();
    AddIcon(true);
}

void TrayIcon::RemoveIcon() {
    StopRetry();
    // A refusal says the shell holds no such icon (it went with the old taskbar, or
    // was never taken): gone either way.
    Shell_NotifyIconW(NIM_DELETE, &record_);
    iconAdded_ = false;
}

void TrayIcon::StopRetry() {
    if (retryPending_)
        KillTimer(Handle(), kRetryTimerId);
    retryPending_ = false;
}

void TrayIcon::HandleNotification(WPARAM wParam, LPARAM lParam) {
    // The current version sends the event in the low word of lParam, the icon's
    // identifier in the high word and the point it concerns in wParam: the cursor,
    // or the icon itself for the keyboard. The old version sends the event alone.
    const UINT event = LOWORD(lParam);
    const bool currentForm = HIWORD(lParam) == kIconId;
    // A handler may free this object: each runs from a copy, and nothing of this
    // object is used after it returns.
    switch (event) {
    case WM_LBUTTONDOWN:
    case NIN_KEYSELECT: // Enter or Space on the icon
        if (OnSelected) {
            const auto handler = OnSelected;
            handler();
        }
        break;
    case NIN_BALLOONUSERCLICK:
        if (OnNotificationClicked) {
            const auto handler = OnNotificationClicked;
            handler();
        }
        break;
    case WM_CONTEXTMENU: // the right button's release, Shift+F10 or the menu key
        if (currentForm)
            RequestMenu({GET_X_LPARAM(wParam), GET_Y_LPARAM(wParam)});
        break;
    case WM_RBUTTONUP: // the old version's only sign; the current one follows it with the above
        if (!currentForm) {
            POINT at{};
            GetCursorPos(&at);
            RequestMenu(at);
        }
        break;
    }
}

void TrayIcon::RequestMenu(POINT at) {
    if (!OnMenuRequested)
        return;
    if (menuOwner_)
        SetForegroundWindow(menuOwner_);
    const auto handler = OnMenuRequested;
    // One more message for the menu's owner ends the menu mode properly, also after a
    // menu that failed.
    const ScopeExit wakeUp([] { PostMessageW(nullptr, WM_NULL, 0, 0); });
    NOTIFYICONDATAW icon{}; // the handler may free this object
    icon.cbSize = sizeof icon;
    icon.hWnd = Handle();
    icon.uID = kIconId;
    handler(at);
    // A menu closed with Esc gives the keyboard back to the notification area, on the
    // icon (the key is still down while its key-down ends the menu).
    if (GetKeyState(VK_ESCAPE) < 0)
        Shell_NotifyIconW(NIM_SETFOCUS, &icon);
}

void TrayIcon::ReloadIcon() {
    UniqueIcon icon(LoadProgramIcon());
    if (!icon)
        return;
    record_.hIcon = icon.Get();
    if (iconAdded_ && !Shell_NotifyIconW(NIM_MODIFY, &record_))
        RenewIcon();
    icon_ = std::move(icon); // the shell has its own copy of the one it showed
}

LRESULT TrayIcon::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_NCCREATE:
    case WM_CREATE:
    case WM_NCDESTROY:
        return DefWindowProcW(Handle(), msg, wParam, lParam);
    case kCallbackMessage:
        HandleNotification(wParam, lParam);
        return 0;
    case WM_TIMER:
        // Each delay is a single wait: the timer goes, and a new refusal sets the next.
        if (wParam == kRetryTimerId && retryPending_)
            AddIcon(false);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            RemoveIcon();
        return 0;
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
        ReloadIcon(); // the scaling changed: the icon's size may be another
        return 0;
    }
    // The old taskbar's icons went with it; a shell that kept ours gets it anew, not twice.
    const UINT taskbarCreated = TaskbarCreatedMessage();
    if (taskbarCreated && msg == taskbarCreated && wanted_) {
        // A new taskbar holds no icon. Any program may send the broadcast, though: an
        // icon the shell still holds is kept, and with it its notification.
        NOTIFYICONDATAW probe = record_;
        probe.uFlags = NIF_MESSAGE;
        if (!iconAdded_)
            RenewIcon();
        else if (!Shell_NotifyIconW(NIM_MODIFY, &probe))
            AddIcon(true); // gone with the old taskbar
        else if (notificationPending_)
            SendNotification();
    }
    return 0;
}

} // namespace pw
