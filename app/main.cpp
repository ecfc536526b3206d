// Program entry: the start-up sequence, then the message loop until the main
// window is closed.

#include "app/CommandLine.h"
#include "dialogs/ShortcutEditor.h"
#include "hotkey/KeyNames.h"
#include "main/MainWindow.h"
#include "win/Application.h"
#include "win/MessageLoop.h"
#include "win/Messages.h"

#include <commctrl.h>
#include <objbase.h>

#include <exception>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    using namespace pw;
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                             ICC_TAB_CLASSES | ICC_HOTKEY_CLASS};
    InitCommonControlsEx(&icc);
    // The folder browser needs COM on this (the only) thread.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);

    Application& app = Application::Instance();
    // The title comes before any window: the single-instance guard names its mutex after it.
    app.SetTitle("Pathwink");
    ResourceKeyTexts();

    int exitCode = 0;
    try {
        MainWindow form;
        ShortcutEditor editor(form.Handle());
        form.AttachEditor(&editor);
        if (StartsInTray(GetCommandLineA()))
            app.SetShowMainForm(false);
        if (app.ShowMainForm()) {
            STARTUPINFOA startup{};
            startup.cb = sizeof startup;
            GetStartupInfoA(&startup);
            form.ShowAtStartup((startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow
                                                                        : SW_SHOWNORMAL);
        }
        exitCode = RunMessageLoop();
    } catch (const std::exception& e) {
        ReportError(e.what());
        exitCode = 1;
    }
    CoUninitialize();
    return exitCode;
}
