#pragma once
// The program's window (class "TPathwinkMainForm"): hidden for the whole run, it is
// what other programs find to hand folders over or to ask the program to close. It
// takes what reaches the program rather than the pages: hand-overs and drops, the
// close request, the end of the logon, unlock and resume, the tray icon's
// notifications, the taskbar's restart, finished folder launches and the program's
// own posted requests, and hands them to the owner. The configuration pages are a
// view drawn in it once it is first shown; every other message goes to them.

#include "win/Window.h"

#include <functional>
#include <string>
#include <vector>

namespace pw {

class TrayIcon;

// What the program window hands its owner.
class ProgramEvents {
public:
    // WM_CLOSE: Alt+F4, another program, the installer.
    virtual void OnCloseRequested() = 0;
    // WM_COPYDATA's text, cut at its first NUL.
    virtual void OnFolderHandedOver(const std::string& folder) = 0;
    // WM_DROPFILES: the files and folders dropped on the window, in order.
    virtual void OnPathsDropped(const std::vector<std::string>& paths) = 0;
    // WM_ENDSESSION(TRUE): the logon ends now.
    virtual void OnSessionEnding() = 0;
    // What PostQueuedFlow asked for, from the message loop.
    virtual void OnQueuedFlowDue() = 0;
    // What PostFinishStart asked for: the rest of the start-up, from the message loop.
    virtual void OnStartFinishing() = 0;
    // The session was unlocked or reconnected, or the machine resumed: a combination
    // another program held may be free now.
    virtual void OnHotkeysMayBeFree() = 0;
    // A folder launch posted its end (kLaunchDoneMessage's wParam; anyone can post it).
    virtual void OnLaunchDone(WPARAM number) = 0;

protected:
    ~ProgramEvents() = default;
};

class ProgramWindow : public Window {
public:
    // Creates the hidden window.
    explicit ProgramWindow(ProgramEvents& events);
    ~ProgramWindow() override;

    // The pages, once made, get every message that is not the program's (null: none).
    void ShowView(WindowView* view) { view_ = view; }
    // The tray icon whose notifications, timer and taskbar restarts come here (null: none).
    void ServeTray(TrayIcon* tray) { tray_ = tray; }

    // Posts a request that comes back as OnQueuedFlowDue once the current message is done.
    void PostQueuedFlow();
    // Posts a request that comes back as OnStartFinishing once the message loop runs.
    void PostFinishStart();
    // From now on the session's unlock and reconnection are reported (OnHotkeysMayBeFree).
    void WatchSessionChanges();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    ProgramEvents& events_;
    WindowView* view_ = nullptr;
    TrayIcon* tray_ = nullptr;
    bool watchingSession_ = false;
};

} // namespace pw
