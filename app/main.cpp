// Program entry: the single-instance check, the start-up, then the message loop
// until the program is closed.

#include "app/AddCommand.h"
#include "app/CommandLine.h"
#include "app/PathwinkApp.h"
#include "app/SingleInstanceGuard.h"
#include "win/Application.h"
#include "win/MessageLoop.h"
#include "win/Messages.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <exception>
#include <optional>

namespace {

constexpr char kAlreadyRunning[] =
    PATHWINK_NAME " is already active.\nLeft-click the golden folder "
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

    const Command command = ParseCommand(Utf8(GetCommandLineW()));
    if (command.kind == Command::Kind::Help)
        return ShowCommandHelp();
    const bool adding = command.kind == Command::Kind::AddFolders;
    if (command.kind != Command::Kind::Start && !adding)
        return RunExplorerMenuCommand(command.kind);
    std::vector<std::string> folders;
    for (const std::string& folder : command.folders)
        folders.push_back(AbsoluteFolder(folder));
    if (adding && folders.empty()) {
        ShowAddUsage();
        return 1;
    }

    // Decided before any window exists: a second copy has nothing another program
    // could find, send folders to or ask to save.
    std::optional<SingleInstanceGuard> guard(std::in_place, kProgramName);
    if (guard->AnotherCopyRuns()) {
        if (!adding) {
            TopmostMessageBox(kAlreadyRunning, kProgramName, MB_OK);
            return 0;
        }
        const HandOverResult handed = HandOverFolders(folders, [&] {
            guard.emplace(kProgramName);
            return guard->AnotherCopyRuns();
        });
        if (handed != HandOverResult::NoCopyRuns)
            return handed == HandOverResult::Taken ? 0 : 1;
    }
    TracePhase("single-instance check");

    int exitCode = 0;
    try {
        PathwinkApp pathwink;
        // Folders to add start the program in the tray, as "tray" does; their dialogs
        // follow one by one once the tray icon is there.
        if (adding)
            pathwink.AddFoldersInTurn(folders);
        else if (!StartsInTray(Utf8(GetCommandLineW())))
            pathwink.ShowAtStartup(ShowCommandOfStart());
        TracePhase("ready");
        exitCode = RunMessageLoop();
    } catch (const std::exception& e) {
        ReportError(e.what());
        exitCode = 1;
    }
    return exitCode;
}
