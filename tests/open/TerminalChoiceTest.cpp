// Which terminal a setting stands for on a machine, given what is installed there:
// the default is the first of Windows Terminal, PowerShell and Command Prompt that
// exists, a known terminal that is gone falls back to it, and any other text is a
// program of the user's own.

#include "open/Terminal.h"

#include <gtest/gtest.h>

using namespace pw;

TEST(TerminalChoice, TheDefaultIsTheFirstInstalledAndAnyOtherTextIsAProgram) {
    const InstalledTerminals all{"C:\\Apps\\wt.exe", "C:\\PS\\powershell.exe", "C:\\W\\cmd.exe"};
    const InstalledTerminals noWindowsTerminal{"", "C:\\PS\\powershell.exe", "C:\\W\\cmd.exe"};
    const InstalledTerminals promptOnly{"", "", "C:\\W\\cmd.exe"};
    const InstalledTerminals none{"", "", ""};
    struct Row {
        const char* setting;
        const InstalledTerminals& installed;
        TerminalKind kind;
        const char* program;
    };
    const Row rows[] = {
        {"", all, TerminalKind::WindowsTerminal, "C:\\Apps\\wt.exe"},
        {"", noWindowsTerminal, TerminalKind::PowerShell, "C:\\PS\\powershell.exe"},
        {"", promptOnly, TerminalKind::CommandPrompt, "C:\\W\\cmd.exe"},
        {"", none, TerminalKind::CommandPrompt, ""},
        {"CommandPrompt", all, TerminalKind::CommandPrompt, "C:\\W\\cmd.exe"},
        {"powershell", all, TerminalKind::PowerShell, "C:\\PS\\powershell.exe"},
        // Uninstalled since it was chosen: the default.
        {"WindowsTerminal", noWindowsTerminal, TerminalKind::PowerShell, "C:\\PS\\powershell.exe"},
        {"C:\\Tools\\My Shell.exe", none, TerminalKind::OtherProgram, "C:\\Tools\\My Shell.exe"},
        {"pwsh.exe", all, TerminalKind::OtherProgram, "pwsh.exe"},
    };
    for (const Row& row : rows) {
        const Terminal chosen = ChosenTerminal(row.setting, row.installed);
        EXPECT_EQ(chosen.kind, row.kind) << row.setting;
        EXPECT_EQ(chosen.program, row.program) << row.setting;
    }
}
