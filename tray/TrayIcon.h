#pragma once
// TrayIcon: the program's icon in the notification area. It hands the shell one
// notify record through Shell_NotifyIconW and turns the shell's notifications,
// sent to a hidden top-level window of its own, into two events: a left-button
// press and a request for the menu (right-button release).
//
// An add the shell refuses (at logon the taskbar may not exist yet) leaves the
// icon wanted: it is tried again after each retry delay, and the taskbar's
// "TaskbarCreated" broadcast adds it at any time. The icon goes at Hide(), at the
// end of the logon and with the object.
//
// A notification (a balloon) is shown once: at once when the icon is there, else
// when it is first added; an icon added again later does not repeat it.

#include "win/Scoped.h"
#include "win/Window.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace pw {

class TrayIcon : private Window {
public:
    // The message the shell sends to the hidden window; lParam names the notification.
    static constexpr UINT kCallbackMessage = WM_APP + 1;
    // The longest tooltip the record holds (its buffer has room for the terminator).
    static constexpr size_t kMaxTipLength = 127;
    // The hidden window's timer, which exists only while a refused add waits for its next try.
    static constexpr UINT_PTR kRetryTimerId = 1;

    // Shows a copy of icon at the small-icon size (the caller keeps its own);
    // null shows the program's icon resource "MAINICON". Nothing is added yet.
    explicit TrayIcon(HICON icon);
    // Removes the icon, then destroys the hidden window.
    ~TrayIcon() override;
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Adds the icon. A refused add stays wanted (see above). While shown, does nothing.
    void Show();
    // Removes the icon and stops any retry.
    void Hide();

    // True while the shell holds the icon: the last add succeeded and no remove followed.
    bool IconAdded() const { return iconAdded_; }
    // True while a refused add waits for its next try (the retry timer exists).
    bool RetryPending() const { return retryPending_; }
    // Delays in milliseconds before each new try of a refused add; the tries end
    // when the list does.
    void SetRetryDelays(std::vector<UINT> delaysMs) { retryDelaysMs_ = std::move(delaysMs); }

    const std::string& Tooltip() const { return tooltip_; }
    // Shows the first kMaxTipLength UTF-16 units of tooltip (never half a character);
    // empty shows none.
    void SetTooltip(const std::string& tooltip);

    // The hidden window and identifier of every Shell_NotifyIconW call, and the
    // record as the next call gets it: tests ask the shell about the icon with them.
    HWND WindowHandle() const { return Handle(); }
    UINT IconId() const { return record_.uID; }
    const NOTIFYICONDATAW& NotifyRecord() const { return record_; }

    // The "TaskbarCreated" message, registered once per process.
    static UINT TaskbarCreatedMessage();

    // Shows a notification from the icon with a title (at most 63 UTF-16 units) and a
    // text (at most 255); longer ones are cut, never within a character.
    void ShowNotification(const std::string& title, const std::string& text);
    // True while a notification waits for the icon to be added.
    bool NotificationPending() const { return notificationPending_; }

    // The left button went down on the icon. May free this object.
    std::function<void()> OnLeftButtonDown;
    // The user clicked the notification. May free this object.
    std::function<void()> OnNotificationClicked;
    // The right button was released on the icon: opens the menu at the cursor
    // position given and returns when it has closed. May free this object.
    std::function<void(POINT)> OnMenuRequested;
    // The window made the foreground window before the menu opens, without which
    // the menu would not close when the user clicks elsewhere. Null: none.
    void SetMenuOwner(HWND owner) { menuOwner_ = owner; }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void HandleNotification(LPARAM notification);
    void RequestMenu();
    // Tries an add; a refusal waits for the next delay, the first one when restartDelays.
    void AddIcon(bool restartDelays);
    void RemoveIcon();
    void StopRetry();
    void SendNotification();

    UniqueIcon icon_;
    NOTIFYICONDATAW record_{};
    std::string tooltip_;
    HWND menuOwner_ = nullptr;
    std::vector<UINT> retryDelaysMs_{1000, 2000, 4000, 8000, 16000};
    size_t retryStep_ = 0;
    bool wanted_ = false;
    bool iconAdded_ = false;
    bool retryPending_ = false;
    bool notificationPending_ = false;
};

} // namespace pw
