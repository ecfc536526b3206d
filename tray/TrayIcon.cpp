#include "tray/TrayIcon.h"

#include "win/OnDemandLibrary.h"
#include "win/ProgramName.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace pw {
namespace {

// The waits before each new try of a refused add; the tries end with the list.
constexpr UINT kRetryDelaysMs[] = {1000, 2000, 4000, 8000, 16000};

// Whether the last key or button a menu's loop on this thread took was Esc, as the
// loop shows it to message filters. The key's state after the loop is no guide: its
// release may have been read by then.
thread_local bool t_menuLastInputWasEscape = false;

LRESULT CALLBACK WatchMenuInput(int code, WPARAM wParam, LPARAM lParam) {
    if (code == MSGF_MENU && lParam) {
        const UINT message = reinterpret_cast<const MSG*>(lParam)->message;
        if (message == WM_KEYDOWN || message == WM_SYSKEYDOWN)
            t_menuLastInputWasEscape = reinterpret_cast<const MSG*>(lParam)->wParam == VK_ESCAPE;
        else if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN ||
                 message == WM_NCLBUTTONDOWN || message == WM_NCRBUTTONDOWN)
            t_menuLastInputWasEscape = false;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

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

TrayIcon::TrayIcon(HWND window) : window_(window), icon_(LoadProgramIcon()) {
    // The whole current record: its size tells the shell which fields it may read.
    record_.cbSize = sizeof record_;
    record_.hWnd = window;
    record_.uID = kIconId;
    // With the current version the shell shows the standard tooltip only when asked to.
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_SHOWTIP;
    record_.uCallbackMessage = kCallbackMessage;
    record_.hIcon = icon_.Get();
}

TrayIcon::~TrayIcon() {
    Hide();
}

bool TrayIcon::TellShell(DWORD message, const NOTIFYICONDATAW& record) {
    if (Shell_NotifyIconW(message, const_cast<NOTIFYICONDATAW*>(&record)))
        return true;
    // A refusal is normal (no taskbar yet, an icon already gone) and each caller acts on
    // it; the record is for whoever looks into a missing icon.
    const std::wstring line = Wide(kProgramName) + L": the shell refused tray icon call " +
                              std::to_wstring(message) + L" (error " +
                              std::to_wstring(GetLastError()) + L")\n";
    OutputDebugStringW(line.c_str());
    return false;
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
    const bool changed = !iconAdded_ || TellShell(NIM_MODIFY, record_);
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
    const bool shown = TellShell(NIM_MODIFY, record_) != FALSE;
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
    if (!window_)
        return;
    iconAdded_ = TellShell(NIM_ADD, record_) != FALSE;
    if (iconAdded_) {
        // Asked after every add: a new taskbar knows nothing of an earlier one. A
        // refusal needs nothing more: that shell sends the old form of its
        // notifications, which HandleNotification reads as well, and the next add
        // asks again.
        record_.uVersion = NOTIFYICON_VERSION_4;
        TellShell(NIM_SETVERSION, record_);
        // A refusal keeps it pending for the next add: renewing the icon at once could
        // go round for ever with a shell that takes icons but no balloons.
        if (notificationPending_)
            SendNotification();
        return;
    }
    // Refused: the icon stays wanted, so a later try or the new taskbar's broadcast adds it.
    if (retryStep_ < std::size(kRetryDelaysMs))
        retryPending_ =
            SetTimer(window_, kRetryTimerId, kRetryDelaysMs[retryStep_++], nullptr) != 0;
}

void TrayIcon::RenewIcon() {
    RemoveIcon();
    AddIcon(true);
}

void TrayIcon::RemoveIcon() {
    StopRetry();
    // A refusal says the shell holds no such icon (it went with the old taskbar, or
    // was never taken): gone either way.
    TellShell(NIM_DELETE, record_);
    iconAdded_ = false;
}

void TrayIcon::StopRetry() {
    if (retryPending_)
        KillTimer(window_, kRetryTimerId);
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
    icon.hWnd = window_;
    icon.uID = kIconId;
    t_menuLastInputWasEscape = false;
    {
        const UniqueHook watch(
            SetWindowsHookExW(WH_MSGFILTER, WatchMenuInput, nullptr, GetCurrentThreadId()));
        handler(at);
    }
    // A menu closed with Esc gives the keyboard back to the notification area, on the icon.
    if (t_menuLastInputWasEscape)
        TellShell(NIM_SETFOCUS, icon);
}

void TrayIcon::ReloadIcon() {
    UniqueIcon icon(LoadProgramIcon());
    if (!icon)
        return;
    record_.hIcon = icon.Get();
    if (iconAdded_ && !TellShell(NIM_MODIFY, record_))
        RenewIcon();
    icon_ = std::move(icon); // the shell has its own copy of the one it showed
}

bool TrayIcon::HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (msg) {
    case kCallbackMessage:
        HandleNotification(wParam, lParam);
        return true;
    case WM_TIMER:
        // Each delay is a single wait: the timer goes, and a new refusal sets the next.
        if (wParam != kRetryTimerId)
            return false;
        if (retryPending_)
            AddIcon(false);
        return true;
    case WM_ENDSESSION:
        if (wParam)
            RemoveIcon();
        return true;
    case WM_DPICHANGED:
    case WM_DISPLAYCHANGE:
        ReloadIcon(); // the scaling changed: the icon's size may be another
        return false; // the pages rescale too
    }
    if (msg != TaskbarCreatedMessage() || msg == 0)
        return false;
    OnTaskbarCreated();
    return true;
}

void TrayIcon::OnTaskbarCreated() {
    // The old taskbar's icons went with it; a shell that kept ours gets it anew, not twice.
    if (!wanted_)
        return;
    // A new taskbar holds no icon. Any program may send the broadcast, though: an
    // icon the shell still holds is kept, and with it its notification.
    NOTIFYICONDATAW probe = record_;
    probe.uFlags = NIF_MESSAGE;
    if (!iconAdded_)
        RenewIcon();
    else if (!TellShell(NIM_MODIFY, probe))
        AddIcon(true); // gone with the old taskbar
    else if (notificationPending_)
        SendNotification();
}

} // namespace pw
