#include "hotkey/FolderLaunch.h"

#include "hotkey/HotkeyBinding.h"
#include "win/Errors.h"
#include "win/Messages.h"
#include "win/Text.h"
#include "win/Window.h"

#include <objbase.h>
#include <shellapi.h>

namespace pw {

namespace {

constexpr char kResultWindowClass[] = "PathwinkLaunchWindow";
// Posted by a launch thread to the result window; lParam is its job.
constexpr UINT kLaunchDone = WM_APP + 3;

} // namespace

std::string MissingFolderText(const std::string& path) {
    return "The folder \"" + path +
           "\" does not exist or is inaccessible. Please open the Pathwink configuration tab "
           "to delete or edit this folder shortcut.";
}

std::string LaunchFailedText(const std::string& path, const std::string& reason) {
    return "Windows could not open the folder \"" + path + "\".\n" + reason;
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

DWORD ExploreFolder(const std::string& path) {
    const std::wstring file = Wide(path);
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

struct FolderLaunch::Job {
    std::string path;
    IfMissing ifMissing = IfMissing::Tell;
    FolderShell shell;
    HWND resultWindow;
    bool isFolder = false;
    DWORD openError = 0;
};

// Receives what launch threads found, on the thread that started them.
class FolderLaunch::ResultWindow : public Window {
public:
    explicit ResultWindow(FolderLaunch& owner) : owner_(owner) {
        RegisterWindowClass(kResultWindowClass);
        Create(0, kResultWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    using Window::Handle;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == kLaunchDone) {
            std::unique_ptr<Job> job(reinterpret_cast<Job*>(lParam));
            owner_.Finish(*job); // may show a message: the job is owned here until then
            return 0;
        }
        return Window::HandleMessage(msg, wParam, lParam);
    }

private:
    FolderLaunch& owner_;
};

FolderLaunch::FolderLaunch(FolderShell shell) : shell_(std::move(shell)) {}

FolderLaunch::~FolderLaunch() = default;

void FolderLaunch::OpenFolder(const std::string& path, IfMissing ifMissing) {
    // Made at the first launch: nothing of it is needed before.
    if (!results_)
        results_ = std::make_unique<ResultWindow>(*this);
    auto job = std::make_unique<Job>();
    job->path = path;
    job->ifMissing = ifMissing;
    job->shell = shell_;
    job->resultWindow = results_->Handle();
    const HANDLE thread = CreateThread(nullptr, 0, RunJob, job.get(), 0, nullptr);
    if (!thread) {
        PlainMessage(LaunchFailedText(path, SystemReason(GetLastError())));
        return;
    }
    CloseHandle(thread);
    job.release(); // the thread's now, until it hands it back
    ++pending_;
}

DWORD WINAPI FolderLaunch::RunJob(void* parameter) {
    std::unique_ptr<Job> job(static_cast<Job*>(parameter));
    // The shell's COM needs an apartment of this thread's own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    try {
        job->isFolder = job->shell.isFolder && job->shell.isFolder(job->path);
        if (job->isFolder && job->shell.open)
            job->openError = job->shell.open(job->path);
    } catch (...) {
        job->openError = ERROR_GEN_FAILURE;
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    // A program that has ended its launches meanwhile has no window to tell.
    if (PostMessageW(job->resultWindow, kLaunchDone, 0, reinterpret_cast<LPARAM>(job.get())))
        job.release();
    return 0;
}

void FolderLaunch::Finish(Job& job) {
    --pending_;
    if (!job.isFolder) {
        if (job.ifMissing == IfMissing::Tell)
            PlainMessage(MissingFolderText(job.path));
    } else if (job.openError) {
        PlainMessage(LaunchFailedText(job.path, SystemReason(job.openError)));
    }
}

void FolderLaunch::OpenBindingFolder(HotkeyBinding& sender) {
    OpenFolder(sender.Folder());
}

} // namespace pw
