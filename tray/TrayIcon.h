#pragma once
// TrayIcon: the program's icon in the notification area. It hands the shell one
// notify record through Shell_NotifyIconA, turns the shell's mouse notifications
// (sent to a hidden top-level window of its own) into events, opens the tray menu
// on a right-button release, adds the icon again when the taskbar is re-created,
// and removes it at the end of the logon and when it is destroyed.
//
// Life cycle: construct, assign properties and events, then call Loaded() once
// (the after-loading step). Until then writing Enabled only stores the value, so
// a second copy of the program can keep its icon from ever being added.
//
// An add the shell refuses (at logon the taskbar may not exist yet) leaves the
// icon wanted: it is tried again after 1, 2, 4, 8 and 16 s, and the taskbar's
// "TaskbarCreated" broadcast adds it at any time.

#include "win/UniqueHandle.h"
#include "win/Window.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

// Mouse gestures on the icon that can restore the application or open the menu.
enum class TrayIconGesture {
    ticNone,
    ticLeftClick,    // left button down
    ticLeftDblClick,
    ticLeftClickUp,
    ticRightClick,   // right button down
    ticRightDblClick,
    ticRightClickUp,
};

class TrayIcon {
public:
    using NotifyEvent = std::function<void(TrayIcon&)>;
    using QueryEndSessionEvent = std::function<void(TrayIcon&, bool& allowSessionToEnd)>;

    // The message the shell sends to the hidden window; lParam names the notification.
    static constexpr UINT kCallbackMessage = 9250;
    // The longest tooltip the record holds (its buffer has room for the terminator).
    static constexpr size_t kMaxTipLength = 127;
    // Identifier of the hidden window's timer that exists only while an add is retried.
    static constexpr UINT_PTR kRetryTimerId = 1;

    // Shows a copy of icon (the caller keeps its own); null shows an empty image.
    explicit TrayIcon(HICON icon);
    // Shows the program's icon resource "MAINICON" at the small-icon size.
    TrayIcon();
    // Removes the icon, then destroys the hidden window and frees the icon copy.
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // The after-loading step: adds the icon if Enabled. Runs once; later calls do nothing.
    void Loaded();

    bool Enabled() const { return enabled_; }
    // Before Loaded() only stores the value. Afterwards an unchanged value does
    // nothing; true adds the icon, false removes it.
    void SetEnabled(bool enabled);

    const std::string& Hint() const { return hint_; }
    // The tooltip: the first kMaxTipLength characters of hint; empty shows none.
    void SetHint(const std::string& hint);

    // True while the shell holds the icon: the last add succeeded and no remove followed.
    bool IconAdded() const { return iconAdded_; }
    // True while a refused add waits for its next try (the retry timer exists).
    bool RetryPending() const { return retryPending_; }

    // Restores the application on this gesture (none in this program).
    TrayIconGesture RestoreOn = TrayIconGesture::ticNone;
    // Opens the menu on this gesture.
    TrayIconGesture PopupMenuOn = TrayIconGesture::ticRightClickUp;
    // Hides the application's window when it is minimised (see ApplicationMinimized).
    bool HideOnMinimize = true;
    // Delays in milliseconds before each new try of a refused add; the tries end
    // when the list does.
    std::vector<UINT> RetryDelaysMs{1000, 2000, 4000, 8000, 16000};

    // Opens the program's menu at a screen point and returns when it has closed.
    // Unset: no menu.
    std::function<void(POINT)> ShowPopupMenu;
    // The window made the foreground window before the menu opens (so that the menu
    // closes when the user clicks elsewhere), and the one a gesture restores. Null:
    // the application's main window.
    HWND OwnerForm = nullptr;

    NotifyEvent OnLButtonDown;
    NotifyEvent OnLButtonUp;
    NotifyEvent OnLButtonDblClick;
    NotifyEvent OnRButtonDown;
    NotifyEvent OnRButtonUp;
    NotifyEvent OnRButtonDblClick;
    NotifyEvent OnBalloonHintHide;
    NotifyEvent OnBalloonHintClose;
    NotifyEvent OnBalloonHintClick;
    NotifyEvent OnMinimizeApp;
    NotifyEvent OnRestoreApp;
    NotifyEvent OnEndSession;
    QueryEndSessionEvent OnQueryEndSession;

    // The program has no application window apart from its main window: the main
    // window calls these when it has been minimised (WM_SIZE, SIZE_MINIMIZED) and
    // restored, passing its own handle.
    void ApplicationMinimized(HWND appWindow);
    void ApplicationRestored(HWND appWindow);

    // The shell's view of the icon: the hidden window and identifier of every
    // Shell_NotifyIconA call. Tests use them to ask the shell about the icon.
    HWND WindowHandle() const { return window_.Handle(); }
    UINT IconId() const { return data_.uID; }
    // The record as the next Shell_NotifyIconA call gets it.
    const NOTIFYICONDATAA& NotifyRecord() const { return data_; }

    // The "TaskbarCreated" message, registered once per process.
    static UINT TaskbarCreatedMessage();

private:
    class HiddenWindow : public Window {
    public:
        explicit HiddenWindow(TrayIcon& owner) : owner_(owner) {}
        void CreateHidden();
        using Window::DestroyHandle;

    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

    private:
        TrayIcon& owner_;
    };

    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    void HandleNotification(LPARAM notification);
    void Recreate();

    void AddIcon(bool fromRetry);
    void RemoveIcon();
    void Modify();
    void StartRetry();
    void StopRetry();
    void RetryTick();

    void PopupAtCursor();
    void RestoreSteps(HWND appWindow);
    HWND OwnerWindow() const;
    // Raises event (a copy of it, since a handler may free this object); false
    // when this object was freed meanwhile.
    bool Raise(const NotifyEvent& event);

    UniqueIcon icon_;
    HiddenWindow window_{*this};
    NOTIFYICONDATAA data_{};
    std::string hint_;

    bool loading_ = true;
    bool enabled_ = true;
    bool iconAdded_ = false;
    bool menuOpen_ = false;
    bool restoring_ = false;
    bool recreating_ = false;
    bool retryPending_ = false;
    size_t retryStep_ = 0;
    // Cleared by the destructor: a handler that freed this object leaves it false.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

} // namespace pw
