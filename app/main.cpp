// Program entry: the single-instance check, the start-up, then the message loop
// until the program is closed.

#include "app/CommandLine.h"
#include "app/PathwinkApp.h"
#include "hotkey/KeyNames.h"
#include "win/Application.h"
#include "win/MessageLoop.h"
#include "win/Messages.h"
#include "win/SingleInstanceGuard.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

namespace {

constexpr char kAlreadyRunning[] = "Pathwink is already active.\nLeft-click the golden folder "
                                   "icon in the tray, next to the clock.";

int ShowCommandOfStart() {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    GetStartupInfoW(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWNORMAL;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace pw;
    TracePhase("process and DLL start");
    Application& app = Application::Instance();
    app.SetTitle("Pathwink");

    // Decided before any window exists: a second copy has nothing another program
    // could find, send folders to or ask to save.
    SingleInstanceGuard guard(app.Title());
    if (guard.AnotherCopyRuns()) {
        TopmostMessageBox(kAlreadyRunning, "Pathwink", MB_OK);
        return 0;
    }
    TracePhase("single-instance check");

    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                             ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&icc);
    // The folder browser needs COM on this (the only) thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    ResourceKeyTexts();
    TracePhase("common controls, COM and key names");

    int exitCode = 0;
    try {
        PathwinkApp pathwink;
        if (!StartsInTray(Utf8(GetCommandLineW())))
            pathwink.Window().ShowAtStartup(ShowCommandOfStart());
        TracePhase("ready");
        exitCode = RunMessageLoop();
    } catch (const std::exception& e) {
        ReportError(e.what());
        exitCode = 1;
    }
    CoUninitialize();
    return exitCode;
}
