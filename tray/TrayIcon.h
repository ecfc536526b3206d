#pragma once
// TrayIcon: the program's icon in the notification area. It hands the shell one
// notify record through Shell_NotifyIconW and turns the shell's notifications,
// sent to a hidden top-level window that serves it (the program's window, which
// hands them on through HandleWindowMessage), into three events: the icon
// selected, the menu requested, the notification clicked. Every call to the shell
// goes through one function, which records a refusal in the debugger's output.
//
// After each add it asks for the current notification-icon version, with which the
// keyboard reaches the icon (Win+B, the arrow keys): Enter or Space selects it as
// the left button does, Shift+F10 or the menu key opens the menu at the icon. A
// shell that refuses the version sends its notifications in the old form, which is
// understood too: there the right button's release opens the menu.
//
// An add the shell refuses (at logon the taskbar may not exist yet) leaves the
// icon wanted: it is tried again after each retry delay, and the taskbar's
// "TaskbarCreated" broadcast adds it at any time. A change the shell refuses (the
// tooltip, a notification) means it no longer holds the icon as given: the icon is
// removed and added again whole. The icon goes at Hide(), at the end of the logon
// and with the object.
//
// The icon is loaded at the size the notification area asks for at the screen's
// scaling, and again when the scaling changes. A menu closed with Esc gives the
// keyboard focus back to the icon.
//
// A notification (a balloon) is shown once: at once when the icon is there, else
// with the next add that the shell takes it with; an icon added again later does
// not repeat it.

#include "win/AppMessages.h"
#include "win/Scoped.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>

namespace pw {

class TrayIcon {
public:
    // The message the shell sends to the hidden window about the icon.
    static constexpr UINT kCallbackMessage = kTrayIconMessage;
    // The icon's identifier among its window's icons, in every call to the shell and
    // in the high word of each current-version notification.
    static constexpr UINT kIconId = 1;
    // The longest tooltip the record holds (its buffer has room for the terminator).
    static constexpr size_t kMaxTipLength = 127;
    // The serving window's timer, which exists only while a refused add waits for its next try.
    static constexpr UINT_PTR kRetryTimerId = 1;

    // Shows the program's icon resource "MAINICON" from window, a hidden top-level
    // window (the taskbar's broadcast and the end-of-logon messages reach top-level
    // windows only) that hands on its messages. Nothing is added yet.
    explicit TrayIcon(HWND window);
    // Removes the icon.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon. A refused add stays wanted (see above). While shown, does nothing.
    void Show();
    // Removes the icon and stops any retry.
    void Hide();

    // Shows the first kMaxTipLength UTF-16 units of tooltip (never half a character);
    // empty shows none.
    void SetTooltip(const std::string& tooltip);

    // The "TaskbarCreated" message, registered once per process.
    static UINT TaskbarCreatedMessage();

    // A message of the serving window: the shell's notifications, the retry timer, the
    // taskbar's restart and the end of the logon are the icon's (true, with the result).
    bool HandleWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Shows a notification from the icon with a title (at most 63 UTF-16 units) and a
    // text (at most 255); longer ones are cut, never within a character.
    void ShowNotification(const std::string& title, const std::string& text);

    // The icon was selected: the left button went down on it, or Enter or Space was
    // pressed on it. May free this object.
    std::function<void()> OnSelected;
    // The user clicked the notification. May free this object.
    std::function<void()> OnNotificationClicked;
    // The menu was asked for (the right button, Shift+F10 or the menu key): opens it
    // at the screen point given (the cursor, or the icon for the keyboard) and
    // returns when it has closed. May free this object.
    std::function<void(POINT)> OnMenuRequested;
    // The window made the foreground window before the menu opens, without which
    // the menu would not close when the user clicks elsewhere. Null: none.
    void SetMenuOwner(HWND owner) { menuOwner_ = owner; }

private:
    // Shell_NotifyIconW with the record; a refusal is recorded and returned.
    static bool TellShell(DWORD message, const NOTIFYICONDATAW& record);
    void OnTaskbarCreated();
    void HandleNotification(WPARAM wParam, LPARAM lParam);
    void RequestMenu(POINT at);
    // Tries an add; a refusal waits for the next delay, the first one when restartDelays.
    void AddIcon(bool restartDelays);
    // Removes whatever the shell holds of the icon and adds it again whole.
    void RenewIcon();
    void RemoveIcon();
    void StopRetry();
    // Loads the icon again for the screen's scaling and hands it to the shell.
    void ReloadIcon();
    // Hands the pending notification to the shell; false when refused (it stays pending).
    bool SendNotification();

    HWND window_;
    UniqueIcon icon_;
    NOTIFYICONDATAW record_{};
    std::string tooltip_;
    HWND menuOwner_ = nullptr;
    size_t retryStep_ = 0;
    bool wanted_ = false;
    bool iconAdded_ = false;
    bool retryPending_ = false;
    bool notificationPending_ = false;
};

} // namespace pw
