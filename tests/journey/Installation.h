#pragma once
// What a user's machine shows of an installed Pathwink, read the way Windows reads
// it (folders from the shell, the Start-menu link resolved by the shell, the
// "Apps & features" entry from the registry), and the programs a user starts:
// the installer, the uninstaller and the installed Pathwink.exe.

#include <windows.h>

#include <future>
#include <optional>
#include <string>
#include <vector>

namespace pwtest {

constexpr char kUninstallKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pathwink";
constexpr char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Where the per-user install puts things for the user running the test.
struct Installation {
    std::string dir;      // %LOCALAPPDATA%\Programs\Pathwink
    std::string shortcut; // the Start menu's Pathwink.lnk

    static Installation ForCurrentUser();
    std::string Exe() const { return dir + "\\Pathwink.exe"; }
    std::string Help() const { return dir + "\\help\\help_index.html"; }
    std::string Uninstaller() const { return dir + "\\Uninstall.exe"; }
    std::string Settings() const { return dir + "\\Pathwink.INI"; }
    // The run-at-logon command Pathwink writes for this copy.
    std::string RunCommand() const { return "\"" + Exe() + "\" tray"; }
};

// The installer built with the test (beside it).
std::string BuiltSetup();
// A file or folder the build made beside the test: the portable zip, winget\, scoop\.
std::string BesideTheTest(const std::string& relative);

bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);
std::string ReadFileBytes(const std::string& path); // "" when absent
// The names in a folder ("." and ".." left out), sorted.
std::vector<std::string> FolderEntries(const std::string& path);

// The SHA-256 of bytes in lower-case hexadecimal (Windows' own hashing).
std::string Sha256Hex(const std::string& bytes);
// The machine a program file is made for (IMAGE_FILE_MACHINE_AMD64 ...), 0 if none.
WORD ProgramMachine(const std::string& bytes);
// A zip file's entries as its central directory lists them.
struct ZipEntry {
    std::string name;           // '/' between folders
    unsigned long long size{0}; // uncompressed
};
std::vector<ZipEntry> ZipEntries(const std::string& bytes);
// The values of every "key: value" line of a YAML manifest (at any depth, also as a
// list item's first key), one pair of enclosing double quotes removed.
std::vector<std::string> YamlValues(const std::string& text, const std::string& key);
// The strings of a JSON manifest's member "key": its string, or every string in its
// array or object, in order.
std::vector<std::string> JsonStrings(const std::string& text, const std::string& key);

// The shell's own reading of a .lnk file: its target path, "" when it cannot be read.
std::string LinkTarget(const std::string& lnk);

std::optional<std::string> RegString(HKEY root, const char* key, const char* value);
std::optional<DWORD> RegDword(HKEY root, const char* key, const char* value);
bool RegKeyExists(HKEY root, const char* key);
bool SetRegString(HKEY root, const char* key, const char* value, const std::string& data);
void DeleteRegValue(HKEY root, const char* key, const char* value);

// A program started with a command line; the handle is kept until the object goes.
class Program {
public:
    Program() = default;
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    bool Start(const std::string& exe, const std::string& arguments,
               const std::string& folder = "");
    bool Started() const { return pi_.hProcess != nullptr; }
    DWORD Id() const { return pi_.dwProcessId; }
    HANDLE Handle() const { return pi_.hProcess; }
    bool Running() const;
    // True when the process ended within timeoutMs; its exit code then in ExitCode().
    bool WaitForExit(int timeoutMs) const;
    DWORD ExitCode() const;
    void Kill();

private:
    PROCESS_INFORMATION pi_{};
};

// An NSIS uninstaller started without "_?=" copies itself to the temporary folder,
// starts the copy and ends at once; the copy does the work. This finds the process
// that `parent` started (waiting up to timeoutMs for it to appear) and opens it.
HANDLE OpenChildProcess(DWORD parent, int timeoutMs);
// For failure messages: the program file of a process, and the top-level windows of
// a process (class, caption, visible or not).
std::string ProcessImage(HANDLE process);
std::string DescribeWindowsOf(DWORD processId);
// Every process of the prefix: id, parent's id, program file.
std::string DescribeProcesses();

// The installed Pathwink.exe as a user runs it, found and driven from this process.
class InstalledPathwink {
public:
    explicit InstalledPathwink(const Installation& installation) : installation_(installation) {}

    // Starts it (arguments after the quoted path) and waits for its main window.
    bool Start(const std::string& arguments = "");
    Program& Process() { return process_; }
    const Program& Process() const { return process_; }
    HWND MainWindow() const { return main_; }
    bool MainVisible() const { return IsWindowVisible(main_) != FALSE; }
    int ActivePage() const;

    // A posted click on a button of the main window, so a modal window it opens
    // does not block the test.
    void Click(const char* caption) const;
    HWND WaitForEditor(int timeoutMs = 10000) const;
    bool EditorShown() const;
    std::vector<std::string> Rows() const;
    // Sends WM_COPYDATA with a NUL-terminated folder from another thread, as
    // another program would; the future holds whether it was delivered.
    std::future<bool> SendFolder(const std::string& folder) const;

    // The tray icon's menu, opened the way the shell reports a right-button click.
    HWND OpenTrayMenu() const;
    // Opens the menu and presses these keys in it (VK_DOWN, VK_UP, VK_RETURN ...).
    bool ChooseFromTrayMenu(const std::vector<WORD>& keys) const;

private:
    const Installation& installation_;
    Program process_;
    HWND main_ = nullptr;
};

} // namespace pwtest
