#pragma once
// A second program with a real file dialog, for the tests, the pictures and the
// benchmark of opening folders in the window in front (tests/e2e/FileDialogHostMain.cpp):
//
//   file_dialog_host.exe <mode> <report file> [start folder [remove-on-text|remove-on-ok <folder>]]
//
// shows the dialog or message box its mode names (see FileDialogHostMain.cpp), removes
// the folder as the dialog's name box gets its path (remove-on-text) or at OK
// (remove-on-ok), and answers on a hidden window of the dialog's own thread (class
// kDialogHostClass), so that what it tells is what its dialog shows:
//   - kHostReportMessage: writes the report into the report file (UTF-8 lines:
//     the dialog's current folder, its file name, the class and id of the control
//     with the keyboard focus, then "open" or "closed") and returns 1;
//   - kHostHangMessage (wParam milliseconds): stops answering for that long;
//   - WM_COPYDATA with dwData kHostFolderIsData and a UTF-16 folder: returns 1
//     when the dialog shows that folder (the benchmark's poll).
// It ends when the dialog closes; its exit code tells how: 1 OK, 2 Cancel; on OK it
// writes the file or folder chosen into "<report file>.chosen".

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pwtest {

constexpr char kDialogHostClass[] = "PathwinkTestDialogHost";
constexpr char kDialogHostCaption[] = "Save Report As";
constexpr char kDialogHostMessageCaption[] = "Host message";
constexpr UINT kHostReportMessage = WM_APP + 40;
constexpr UINT kHostHangMessage = WM_APP + 41;
constexpr ULONG_PTR kHostFolderIsData = 0x464F4C44;

// The host started from a test: file_dialog_host.exe beside the test program, ended
// when the object goes.
class FileDialogHost {
public:
    struct Report {
        std::string folder, name, focus;
        bool open = false;
    };

    // mode and removal as the host takes them; waits until its dialog or box shows.
    FileDialogHost(const std::string& mode, const std::string& startFolder,
                   const std::string& removal = "");
    ~FileDialogHost();
    FileDialogHost(const FileDialogHost&) = delete;
    FileDialogHost& operator=(const FileDialogHost&) = delete;

    // The dialog or message box, null when it did not appear.
    HWND Window() const { return window_; }
    bool Open() const { return IsWindow(window_) && IsWindowVisible(window_); }
    // What the program reads from its own dialog; nothing when it does not answer.
    std::optional<Report> Read(int timeoutMs = 2000) const;
    // Waits until the dialog shows folder; the last report in seen.
    bool WaitForFolder(const std::string& folder, Report& seen, int timeoutMs) const;
    // The dialog's thread stops answering for ms.
    void Hang(int ms) const { PostMessageA(host_, kHostHangMessage, ms, 0); }
    bool Answers(int timeoutMs) const;
    void PressOwnOk() const { PostMessageA(window_, WM_COMMAND, IDOK, 0); }
    // What the dialog chose, once it closed on OK within timeoutMs; nothing otherwise.
    std::optional<std::string> Chosen(int timeoutMs) const;
    // The message boxes the host's dialog shows itself.
    std::vector<HWND> OwnMessages() const;

private:
    PROCESS_INFORMATION pi_{};
    std::string reportFile_;
    HWND host_ = nullptr;
    HWND window_ = nullptr;
};

std::ostream& operator<<(std::ostream& out, const FileDialogHost::Report& report);

} // namespace pwtest
