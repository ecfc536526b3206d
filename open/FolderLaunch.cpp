#include "open/FolderLaunch.h"
#include "win/ProgramName.h"

#include "win/AppMessages.h"
#include "win/Errors.h"
#include "win/Messages.h"
#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <shellapi.h>

#include <atomic>

namespace pw {

std::string MissingFolderText(const std::string& path) {
    return "The folder \"" + path +
           "\" does not exist or is inaccessible. Please open the " PATHWINK_NAME
           " configuration tab "
           "to delete or edit this folder shortcut.";
}

std::string LaunchFailedText(const std::string& path, const std::string& reason) {
    return "Windows could not open the folder \"" + path + "\".\n" + reason;
}

std::string PathTooLongToOpenText(const std::string& path) {
    return "Windows Explorer cannot open the folder \"" + path + "\": its path is " +
           std::to_string(kShellPathLimit) +
           " characters or longer. The shortcut is kept; open the folder from a shorter path "
           "(a mapped drive letter, say).";
}

std::string DialogChoseFileText(const std::string& path, const std::string& chosen) {
    return "The folder \"" + path +
           "\" was gone when the file dialog in front took it: the dialog closed and chose \"" +
           chosen + "\" as its file. Check what the program did with it.";
}

std::string TerminalFailedText(const std::string& program, const std::string& path,
                               const std::string& reason) {
    return PATHWINK_NAME " could not start the terminal \"" + program + "\" in the folder \"" +
           path + "\".\n" + reason;
}

std::wstring FileSystemPath(const std::string& path) {
    std::wstring wide = Wide(path);
    // A long absolute path reaches the file system only with the prefix that turns
    // off the MAX_PATH rule (which also turns off the parsing of "." and "..").
    const bool isLong = wide.size() >= MAX_PATH;
    const bool isDrivePath = wide.size() > 2 && wide[1] == L':' && wide[2] == L'\\';
    const bool isUncPath = wide.rfind(L"\\\\", 0) == 0 && wide.rfind(L"\\\\?\\", 0) != 0;
    if (isLong && isDrivePath)
        return L"\\\\?\\" + wide;
    if (isLong && isUncPath)
        return L"\\\\?\\UNC\\" + wide.substr(2);
    return wide;
}

bool IsExistingDirectory(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(FileSystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool IsExistingFile(const std::string& path) {
    const DWORD attributes = GetFileAttributesW(FileSystemPath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

DWORD ExploreFolder(const std::string& path) {
    const std::wstring file = Wide(path);
    if (file.size() >= kShellPathLimit)
        return ERROR_FILENAME_EXCED_RANGE;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    // The shell shows no box of its own: a refusal is told by the program, with its reason.
    info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    info.lpVerb = L"explore";
    info.lpFile = file.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info))
        return 0;
    const DWORD error = GetLastError();
    return error ? error : ERROR_GEN_FAILURE;
}

// Shared by the launch thread, which fills in the findings, and the launcher, which
// reads them once the thread says it is done.
struct FolderLaunch::Job {
    std::string path;
    IfMissing ifMissing = IfMissing::Tell;
    std::optional<HWND> windowInFront;
    std::optional<std::string> terminalSetting; // a terminal instead of Explorer
    FolderShell shell;
    HWND resultWindow = nullptr;
    WPARAM number = 0;
    bool isFolder = false;
    PlacementStep placement = PlacementStep::NewExplorerWindow;
    DWORD openError = 0;
    TerminalStart terminal;
    std::atomic<bool> done{false};
};

FolderLaunch::FolderLaunch(HWND resultWindow, FolderShell shell)
    : resultWindow_(resultWindow), shell_(std::move(shell)) {}

FolderLaunch::~FolderLaunch() = default;

void FolderLaunch::OpenFolder(const std::string& path, IfMissing ifMissing,
                              std::optional<HWND> windowInFront) {
    // The launch thread enters COM, through which the window in front is asked.
    constexpr char kFeature[] = "open folders";
    if (!LoadOnDemand(kComLibrary, kFeature) || !LoadOnDemand(kAutomationLibrary, kFeature))
        return;
    auto job = std::make_shared<Job>();
    job->path = path;
    job->ifMissing = ifMissing;
    job->windowInFront = windowInFront;
    Start(std::move(job));
}

void FolderLaunch::OpenInTerminal(const std::string& path, const std::string& terminalSetting) {
    if (!LoadOnDemand(kComLibrary, "open folders")) // the launch thread enters COM
        return;
    auto job = std::make_shared<Job>();
    job->path = path;
    job->terminalSetting = terminalSetting;
    Start(std::move(job));
}

void FolderLaunch::Start(std::shared_ptr<Job> job) {
    const std::string path = job->path;
    job->shell = shell_;
    job->resultWindow = resultWindow_;
    job->number = ++lastJobNumber_;
    // The thread holds the job as long as it runs, whatever becomes of the launcher.
    auto threadsJob = std::make_unique<std::shared_ptr<Job>>(job);
    const UniqueKernelHandle thread(CreateThread(nullptr, 0, RunJob, threadsJob.get(), 0, nullptr));
    if (!thread) {
        const std::string reason = SystemReason(GetLastError());
        PlainMessage(
            [&](std::size_t n) { return LaunchFailedText(ShortenedInMiddle(path, n), reason); });
        return;
    }
    threadsJob.release();
    jobs_.emplace(job->number, std::move(job));
}

DWORD WINAPI FolderLaunch::RunJob(void* parameter) {
    const std::unique_ptr<std::shared_ptr<Job>> held(static_cast<std::shared_ptr<Job>*>(parameter));
    Job& job = **held;
    {
        const ScopedCom com; // the shell's COM needs an apartment of this thread's own
        try {
            job.isFolder = job.shell.isFolder && job.shell.isFolder(job.path);
            if (job.isFolder && job.terminalSetting && job.shell.terminal)
                job.terminal = job.shell.terminal(*job.terminalSetting, job.path);
            if (job.isFolder && job.windowInFront && job.shell.place)
                job.placement = job.shell.place(*job.windowInFront, job.path);
            const bool placed = job.placement != PlacementStep::NewExplorerWindow;
            if (job.isFolder && !placed && !job.terminalSetting && job.shell.open)
                job.openError = job.shell.open(job.path);
        } catch (...) {
            job.openError = ERROR_GEN_FAILURE;
        }
    }
    job.done = true;
    // A program that has ended its launches meanwhile has no window to tell.
    PostMessageW(job.resultWindow, kLaunchDoneMessage, job.number, 0);
    return 0;
}

void FolderLaunch::OnLaunchDone(WPARAM number) {
    const auto found = jobs_.find(number);
    if (found == jobs_.end() || !found->second->done)
        return;
    const std::shared_ptr<Job> job = std::move(found->second);
    jobs_.erase(found);
    Finish(*job); // may show a message
}

void FolderLaunch::Finish(const Job& job) {
    // A folder removed after the check is missing all the same.
    const bool missing = !job.isFolder || job.openError == ERROR_FILE_NOT_FOUND ||
                         job.openError == ERROR_PATH_NOT_FOUND;
    if (missing) {
        if (job.ifMissing == IfMissing::StaySilent)
            return;
        const auto [shown, isNew] = missingShown_.emplace(job.path, nullptr);
        if (!isNew) {
            // One message per folder: pressing its key again brings it forward.
            if (shown->second)
                SetForegroundWindow(shown->second);
            return;
        }
        PlainMessage(
            [&](std::size_t n) { return MissingFolderText(ShortenedInMiddle(job.path, n)); },
            &shown->second);
        missingShown_.erase(job.path);
    } else if (job.placement == PlacementStep::FileDialogClosed) {
        const std::string chosen = PathTypedIntoFileDialog(job.path);
        PlainMessage([&](std::size_t n) {
            return DialogChoseFileText(ShortenedInMiddle(job.path, n),
                                       ShortenedInMiddle(chosen, n));
        });
    } else if (job.terminal.error) {
        const std::string reason = SystemReason(job.terminal.error);
        PlainMessage([&](std::size_t n) {
            return TerminalFailedText(job.terminal.program, ShortenedInMiddle(job.path, n), reason);
        });
    } else if (job.openError == ERROR_FILENAME_EXCED_RANGE) {
        PlainMessage(
            [&](std::size_t n) { return PathTooLongToOpenText(ShortenedInMiddle(job.path, n)); });
    } else if (job.openError) {
        const std::string reason = SystemReason(job.openError);
        PlainMessage([&](std::size_t n) {
            return LaunchFailedText(ShortenedInMiddle(job.path, n), reason);
        });
    }
}

} // namespace pw
