#pragma once
// What the start-up, phase and memory benchmarks share: scratch folders, settings
// files with many shortcuts, starting a program and waiting until it is ready,
// medians. The programs are timed from another process, as a user's logon starts
// them, so every figure includes process creation.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace bench {

// A file beside the running benchmark.
std::wstring Beside(const wchar_t* name);

// The whole of a file (one that another program may be writing meanwhile); empty when
// it cannot be opened.
std::string ReadWholeFile(const std::wstring& path);

// A new empty folder under %TEMP% whose name holds tag, this process's id and the time.
std::wstring MakeScratchFolder(const wchar_t* tag);
// Deletes the files of folder (not its subfolders), then folder itself.
void RemoveScratchFolder(const std::wstring& folder);

// Pathwink.INI with no run-at-logon value and count shortcuts to folders that do
// not exist, C:\windows\bench0000 upward (sorted by path, as Pathwink saves them).
// Their keys run through 192 key codes from 0x30 under four sets of two or three
// modifiers (Ctrl+Alt first), 250 entries a set: from the 193rd entry of a set the
// combinations repeat and are refused, as in a file with duplicates (of 1,000
// entries, 768 register and 232 are refused).
void WriteSettings(const std::wstring& iniFile, int count);

// A program waited for until it is ready: until a top-level window of readyClass
// (for Pathwink, its main window) exists and answers a message, that is, the program
// runs its message loop. Pathwink's loop runs once every hotkey was tried; the
// benchmark then checks that the last stored combination it registers is held.
struct Program {
    std::wstring label;
    std::wstring exe;
    std::wstring args;
    const wchar_t* readyClass = nullptr; // null: Pathwink
    int shortcuts = 0;                   // Pathwink: the count in the INI beside exe
};

class RunningProgram {
public:
    // Starts program.exe; Started() tells whether CreateProcess succeeded.
    explicit RunningProgram(const Program& program);
    // Ends the process if it still runs and waits for its end.
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Started() const { return info_.hProcess != nullptr; }
    HANDLE Process() const { return info_.hProcess; }
    DWORD Id() const { return info_.dwProcessId; }
    // Polls every millisecond until the program is ready or timeoutMs pass; returns
    // the milliseconds since just before CreateProcess, or -1 on a timeout or an end.
    double WaitUntilReady(DWORD timeoutMs = 60000);
    // TerminateProcess, then waits for the end.
    void End();
    // Pathwink: 1 when the last stored combination it registers was not held when its
    // message loop answered (a start that was not ready after all).
    int UnheldAtReady() const { return unheldAtReady_; }

private:
    bool Ready();

    Program program_;
    PROCESS_INFORMATION info_{};
    HWND window_ = nullptr; // the program's top-level window, once found
    int unheldAtReady_ = 0;
    LARGE_INTEGER started_{};
};

double Milliseconds(const LARGE_INTEGER& from, const LARGE_INTEGER& to);
LARGE_INTEGER Now();

double Median(std::vector<double> values);
double Max(const std::vector<double>& values);
double Min(const std::vector<double>& values);

// UTF-8 of wide text, for printf.
std::string Narrow(const std::wstring& text);

// Ctrl+Alt+key pressed and released through SendInput, as a user's keyboard would.
void SendCombination(WORD key);
// Dispatches this thread's messages until done() or timeoutMs pass; false on the latter.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs);

} // namespace bench
