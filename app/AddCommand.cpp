#include "app/AddCommand.h"

#include "main/CopyData.h"
#include "main/RowText.h"
#include "store/ExplorerMenu.h"
#include "store/Settings.h"
#include "win/Messages.h"
#include "win/ProgramName.h"
#include "win/Text.h"

#include <windows.h>

namespace pw {

namespace {

constexpr char kAddUsage[] =
    "Which folder should " PATHWINK_NAME " add? Name it after \"add\", for "
    "example:\n" PATHWINK_NAME ".exe add \"C:\\Projects\"";
constexpr char kMenuUsage[] =
    PATHWINK_NAME ".exe menu add puts \"Add to " PATHWINK_NAME "...\" into Explorer's "
                  "menu of folders and drives; " PATHWINK_NAME ".exe menu remove takes it out.";
// Short paragraphs without indents: the box wraps long lines at its own width.
constexpr char kCommandHelp[] = PATHWINK_NAME
    ".exe [tray]\n"
    "Starts " PATHWINK_NAME "; with tray, hidden with only its tray icon. Exit code 0 when it ends "
    "or another copy already runs; 1 after an error.\n\n" PATHWINK_NAME
    ".exe add \"<folder>\" ...\n"
    "Opens the New Folder Shortcut dialog for each folder in the running " PATHWINK_NAME ", or "
    "starts one in the tray for them. Exit code 0; 1 when no folder is named or the "
    "running " PATHWINK_NAME " does not answer.\n\n" PATHWINK_NAME ".exe menu add\n"
    "Puts \"Add to " PATHWINK_NAME "...\" into Explorer's menu of folders and drives. Exit code 0; "
    "1 when the registry refused.\n\n" PATHWINK_NAME ".exe menu remove\n"
    "Takes \"Add to " PATHWINK_NAME "...\" out of Explorer's menu. Exit code 0; 1 when the "
    "registry refused.\n\n" PATHWINK_NAME ".exe /?  (or /h, /help, -?, -h, --h, --help)\n"
    "Shows this. Exit code 0.\n\n"
    "The words are lower case, as shown.";
// A copy that is starting shows its window within a second or two; one that is
// ending lets go of its mark as quickly.
constexpr DWORD kWindowWaitMs = 10000;
// The running copy takes the text before it shows anything; it answers at once
// unless it is stuck.
constexpr UINT kAnswerTimeoutMs = 10000;

bool IsBareDrive(const std::string& path) {
    return path.size() == 2 && path[1] == ':' &&
           ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
}

bool SendFolder(HWND window, const std::string& folder) {
    const std::wstring text = Wide(folder);
    COPYDATASTRUCT data{};
    data.dwData = kCopyDataUtf16NoWait;
    data.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(text.c_str());
    DWORD_PTR answer = 0;
    return SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data),
                               SMTO_ABORTIFHUNG | SMTO_ERRORONEXIT, kAnswerTimeoutMs, &answer) != 0;
}

} // namespace

std::string AbsoluteFolder(const std::string& argument) {
    if (IsBareDrive(argument))
        return argument + "\\";
    // A shell namespace name ("::{...}", what Explorer gives for a virtual folder)
    // is no path relative to anything.
    if (argument.compare(0, 2, "::") == 0)
        return argument;
    std::wstring full = Wide(FullPath(argument));
    // "C:\Projects\" is "C:\Projects"; "C:\" and "\\?\C:\" stay roots.
    while (full.size() > 1 && full.back() == L'\\' && full[full.size() - 2] != L':' &&
           full[full.size() - 2] != L'\\')
        full.pop_back();
    return Utf8(full);
}

HandOverResult HandOverFolders(const std::vector<std::string>& folders,
                               const std::function<bool()>& anotherCopyRuns) {
    const DWORD start = GetTickCount();
    size_t next = 0;
    for (;;) {
        HWND window = FindWindowW(Wide(kProgramWindowClass).c_str(), nullptr);
        // Started from Explorer's menu, this process may bring a window to the front
        // and the running copy may not: it is allowed to, so its dialog is not
        // hidden behind Explorer.
        DWORD runningCopy = 0;
        if (window && GetWindowThreadProcessId(window, &runningCopy))
            AllowSetForegroundWindow(runningCopy);
        while (window && next < folders.size() && SendFolder(window, folders[next]))
            ++next;
        if (next == folders.size())
            return HandOverResult::Taken;
        if (window && IsWindow(window))
            break; // there, and it did not answer
        // No window, or one that went while it was sent to: the copy may be
        // starting, or ending (then this one starts instead).
        if (!anotherCopyRuns())
            return HandOverResult::NoCopyRuns;
        if (GetTickCount() - start > kWindowWaitMs)
            break;
        Sleep(100);
    }
    std::string notTaken;
    for (size_t i = next; i < folders.size(); ++i)
        notTaken += "\n" + folders[i];
    TopmostMessageBox(PATHWINK_NAME " is running but does not answer. It did not take:" + notTaken,
                      kProgramName, MB_OK | MB_ICONEXCLAMATION);
    return HandOverResult::NotAnswered;
}

void ShowAddUsage() {
    TopmostMessageBox(kAddUsage, kProgramName, MB_OK | MB_ICONEXCLAMATION);
}

int RunExplorerMenuCommand(Command::Kind kind) {
    const std::string executable = SettingsStore().ExecutablePath();
    try {
        switch (kind) {
        case Command::Kind::MenuAdd:
            AddExplorerMenu(ExplorerMenuKeys(), executable);
            TopmostMessageBox(std::string("Explorer's menu of folders, drives and the background "
                                          "of an open folder now has \"") +
                                  kExplorerMenuText + "\". It starts this copy:\n" + executable,
                              kProgramName, MB_OK | MB_ICONINFORMATION);
            return 0;
        case Command::Kind::MenuRemove:
            RemoveExplorerMenu(ExplorerMenuKeys());
            TopmostMessageBox(std::string("\"") + kExplorerMenuText +
                                  "\" is no longer in Explorer's menu.",
                              kProgramName, MB_OK | MB_ICONINFORMATION);
            return 0;
        default:
            TopmostMessageBox(kMenuUsage, kProgramName, MB_OK | MB_ICONEXCLAMATION);
            return 1;
        }
    } catch (const ExplorerMenuError& e) {
        TopmostMessageBox(e.what(), kProgramName, MB_OK | MB_ICONERROR);
        return 1;
    }
}

int ShowCommandHelp() {
    TopmostMessageBox(kCommandHelp, kProgramName, MB_OK | MB_ICONINFORMATION);
    return 0;
}

} // namespace pw
