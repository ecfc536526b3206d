#pragma once
// Opening a folder in a terminal: Windows Terminal, PowerShell, Command Prompt or
// another program the user picked. The folder is the new process's working
// directory, and Windows Terminal is also given it as its "-d" argument. The
// program is started directly, never through a shell's command line, so no
// character of the path is ever read as a command.

#include <string>
#include <string_view>

namespace pw {

enum class TerminalKind { WindowsTerminal, PowerShell, CommandPrompt, OtherProgram };

// The known terminals in the order the default is chosen from.
inline constexpr TerminalKind kKnownTerminals[] = {
    TerminalKind::WindowsTerminal, TerminalKind::PowerShell, TerminalKind::CommandPrompt};

// Where each known terminal is on this machine; empty when it is not there.
struct InstalledTerminals {
    std::string windowsTerminal, powerShell, commandPrompt;
    // The program of a known kind ("" for another program).
    const std::string& ProgramOf(TerminalKind kind) const;
};

struct Terminal {
    TerminalKind kind = TerminalKind::CommandPrompt;
    std::string program; // the executable; "" when no terminal is there at all
};

// What the Options page shows: "Windows Terminal", "PowerShell", "Command Prompt",
// "Other program...".
std::string TerminalName(TerminalKind kind);
// The [Options] "Terminal" value: the known terminal's name without blanks
// ("WindowsTerminal", ...), or the other program's path.
std::string TerminalSetting(TerminalKind kind, const std::string& otherProgram = "");
// The terminal a setting stands for on a machine. A known name (in any case) is that
// terminal while it is installed; any other text is another program's path, started
// as it is. An empty setting, or a known terminal that is not installed, stands for
// the first installed one of kKnownTerminals.
Terminal ChosenTerminal(std::string_view setting, const InstalledTerminals& installed);

// One argument quoted so that CommandLineToArgvW and the C runtime read it back
// exactly: backslashes are doubled only before a quote or the closing quote (so
// "C:\" does not escape it).
std::string QuotedArgument(std::string_view argument);
// The whole command line: the quoted program, and for Windows Terminal "-d" and the
// folder, each ';' in it escaped as "\;" (Windows Terminal splits its arguments into
// commands at every other ';', and reads "\;" as ';').
std::string TerminalCommandLine(const Terminal& terminal, const std::string& folder);

// Looks for the known terminals: Windows Terminal's command (wt.exe) among the
// user's app commands, PowerShell and Command Prompt in the system folder.
InstalledTerminals FindInstalledTerminals();

struct TerminalStart {
    std::string program;     // the program tried (its name when none was found)
    unsigned long error = 0; // 0, or the system's error code
};
// Starts the terminal that setting stands for on this machine in folder.
TerminalStart StartTerminal(const std::string& setting, const std::string& folder);

} // namespace pw
