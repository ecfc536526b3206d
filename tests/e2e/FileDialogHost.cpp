#include "tests/e2e/FileDialogHost.h"

#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"
#include "win/Text.h"

#include <fstream>

namespace pwtest {

FileDialogHost::FileDialogHost(const std::string& mode, const std::string& startFolder,
                               const std::string& removal) {
    reportFile_ = MakeTempFolder("pwhost") + "\\report.txt";
    const std::string built = BuiltPathwink();
    const std::string exe = built.substr(0, built.find_last_of('\\')) + "\\file_dialog_host.exe";
    if (!StartProcess("\"" + exe + "\" " + mode + " \"" + reportFile_ + "\" \"" + startFolder +
                          "\" " + removal,
                      "", pi_))
        return;
    const char* caption = mode == "message" ? kDialogHostMessageCaption : nullptr;
    WaitUntil(
        [&] {
            host_ = FindTopLevel(kDialogHostClass, nullptr, pi_.dwProcessId);
            for (HWND w : FindTopLevels("#32770", caption, pi_.dwProcessId))
                if (IsWindowVisible(w))
                    window_ = w;
            return host_ && window_;
        },
        15000);
    PumpFor(300); // the dialog has filled its view
}

FileDialogHost::~FileDialogHost() {
    if (pi_.hProcess) {
        TerminateProcess(pi_.hProcess, 99);
        WaitForSingleObject(pi_.hProcess, 5000);
        CloseHandle(pi_.hProcess);
        CloseHandle(pi_.hThread);
    }
    RemoveTree(reportFile_.substr(0, reportFile_.find_last_of('\\')));
}

std::optional<FileDialogHost::Report> FileDialogHost::Read(int timeoutMs) const {
    DeleteFileA(reportFile_.c_str());
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutA(host_, kHostReportMessage, 0, 0, SMTO_ABORTIFHUNG, timeoutMs,
                             &answer) ||
        answer != 1)
        return std::nullopt;
    std::ifstream in(reportFile_, std::ios::binary);
    Report report;
    std::string open;
    std::getline(in, report.folder);
    std::getline(in, report.name);
    std::getline(in, report.focus);
    std::getline(in, open);
    report.open = open == "open";
    return report;
}

bool FileDialogHost::WaitForFolder(const std::string& folder, Report& seen, int timeoutMs) const {
    return WaitUntil(
        [&] {
            const auto report = Read();
            if (report)
                seen = *report;
            return report &&
                   lstrcmpiW(pw::Wide(report->folder).c_str(), pw::Wide(folder).c_str()) == 0;
        },
        timeoutMs);
}

std::optional<std::string> FileDialogHost::Chosen(int timeoutMs) const {
    if (WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    std::ifstream in(reportFile_ + ".chosen", std::ios::binary);
    std::string chosen;
    return std::getline(in, chosen) ? std::optional(chosen) : std::nullopt;
}

std::vector<HWND> FileDialogHost::OwnMessages() const {
    std::vector<HWND> boxes;
    for (HWND w : FindTopLevels("#32770", nullptr, pi_.dwProcessId))
        if (w != window_ && IsWindowVisible(w))
            boxes.push_back(w);
    return boxes;
}

bool FileDialogHost::Answers(int timeoutMs) const {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(host_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
}

std::ostream& operator<<(std::ostream& out, const FileDialogHost::Report& r) {
    return out << "folder \"" << r.folder << "\", name \"" << r.name << "\", focus " << r.focus
               << (r.open ? ", open" : ", closed");
}

} // namespace pwtest
