#include "app/ProgramWindow.h"

#include "main/CopyData.h"
#include "tray/TrayIcon.h"
#include "win/AppMessages.h"
#include "win/Application.h"
#include "win/OnDemandLibrary.h"
#include "win/ProgramName.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <shellapi.h>
#include <wtsapi32.h>

#include <stdexcept>

namespace pw {

namespace {

constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_CLIPCHILDREN; // no title-bar buttons

// The paths of a drop, in order, each read whole (no MAX_PATH cut); the drop's
// memory is freed.
std::vector<std::string> DroppedPaths(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        std::wstring path(length + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), length + 1));
        if (!path.empty())
            paths.push_back(Utf8(path));
    }
    DragFinish(drop);
    return paths;
}

std::string HandedOverFolder(const COPYDATASTRUCT* data) {
    if (!data)
        return std::string();
    if (data->dwData == kCopyDataUtf16 || data->dwData == kCopyDataUtf16NoWait)
        return Utf8(CopyDataUtf16Text(data->lpData, data->cbData));
    return Utf8FromAnsi(CopyDataText(data->lpData, data->cbData));
}

} // namespace

ProgramWindow::ProgramWindow(ProgramEvents& events) : events_(events) {
    RegisterWindowClass(kProgramWindowClass, 0, GetSysColorBrush(COLOR_BTNFACE));
    Create(0, kProgramWindowClass, kProgramName, kStyle, 0, 0, 0, 0, nullptr);
    if (!Handle())
        throw std::runtime_error("The main window could not be created");
    Application::Instance().SetMainWindow(Handle());
    // Folders dragged from Explorer onto any part of the window become WM_DROPFILES.
    DragAcceptFiles(Handle(), TRUE);
    // Run as administrator, the window still takes folders from Explorer and the add
    // command, which run without: exactly the messages that hand folders over (a
    // drop's two among them) pass the system's filter, and the taskbar's restart,
    // without which the tray icon would not come back after Explorer restarts.
    constexpr UINT kCopyGlobalData = 0x0049; // WM_COPYGLOBALDATA, the drop's data
    for (const UINT message : {UINT(WM_COPYDATA), UINT(WM_DROPFILES), kCopyGlobalData,
                               TrayIcon::TaskbarCreatedMessage()})
        ChangeWindowMessageFilterEx(Handle(), message, MSGFLT_ALLOW, nullptr);
    // The window that carries the taskbar button loses WS_EX_APPWINDOW; nothing else changes.
    SetWindowLongW(Handle(), GWL_EXSTYLE, GetWindowLongW(Handle(), GWL_EXSTYLE) & ~WS_EX_APPWINDOW);
    TracePhase("window class and main window");
}

ProgramWindow::~ProgramWindow() {
    if (watchingSession_)
        WTSUnRegisterSessionNotification(Handle());
    DestroyHandle();
}

void ProgramWindow::WatchSessionChanges() {
    // Without the session library, unlocks are not watched; menu and window still retry.
    if (!watchingSession_ && LoadOnDemand(kSessionLibrary, nullptr))
        watchingSession_ =
            WTSRegisterSessionNotification(Handle(), NOTIFY_FOR_THIS_SESSION) != FALSE;
}

void ProgramWindow::PostQueuedFlow() {
    PostMessageW(Handle(), kRunQueuedFlowMessage, 0, 0);
}

void ProgramWindow::PostFinishStart() {
    PostMessageW(Handle(), kFinishStartMessage, 0, 0);
}

LRESULT ProgramWindow::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_CLOSE:
        events_.OnCloseRequested();
        return 0;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        const std::string folder = HandedOverFolder(data);
        if (data && data->dwData == kCopyDataUtf16NoWait)
            ReplyMessage(TRUE); // the sender goes on; its block is not read after this
        events_.OnFolderHandedOver(folder);
        return 0;
    }
    case WM_DROPFILES:
        events_.OnPathsDropped(DroppedPaths(reinterpret_cast<HDROP>(wParam)));
        return 0;
    case WM_WTSSESSION_CHANGE:
        // Back at the desktop: a program that held a combination may have ended meanwhile.
        if (wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT ||
            wParam == WTS_REMOTE_CONNECT)
            events_.OnHotkeysMayBeFree();
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND)
            events_.OnHotkeysMayBeFree();
        return TRUE;
    case kFinishStartMessage:
        events_.OnStartFinishing();
        return 0;
    case kRunQueuedFlowMessage:
        events_.OnQueuedFlowDue();
        return 0;
    case kLaunchDoneMessage:
        events_.OnLaunchDone(wParam);
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (wParam)
            events_.OnSessionEnding();
        break; // the tray icon goes too
    }
    LRESULT result = 0;
    if (tray_ && tray_->HandleWindowMessage(msg, wParam, lParam, result))
        return result;
    if (view_ && view_->HandleViewMessage(msg, wParam, lParam, result))
        return result;
    return Window::HandleMessage(msg, wParam, lParam);
}

} // namespace pw
