// Which terminal a setting stands for on a machine, given what is installed there:
// the default is the first of Windows Terminal, PowerShell and Command Prompt that
// exists, a known terminal that is gone falls back to it, and any other text is a
// program of the user's own.

#include "open/Terminal.h"

#include <gtest/gtest.h>

using namespace pw;

TEST(TerminalChoice, TheDefaultIsTheFirstInstalledAndAnyOtherTextIsAProgram) {
    const std::string wt = "C:\\Apps\\wt.exe", ps = "C:\\PS\\powershell.exe",
                      cmd = "C:\\W\\cmd.exe";
    const struct {
        const char* setting;
        InstalledTerminals installed;
        TerminalKind kind;
        std::string program;
    } rows[] = {
        {"", {wt, ps, cmd}, TerminalKind::WindowsTerminal, wt},
        {"", {"", ps, cmd}, TerminalKind::PowerShell, ps},
        {"", {"", "", cmd}, TerminalKind::CommandPrompt, cmd},
        {"", {"", "", ""}, TerminalKind::CommandPrompt, ""},
        {"CommandPrompt", {wt, ps, cmd}, TerminalKind::CommandPrompt, cmd},
        {"powershell", {wt, ps, cmd}, TerminalKind::PowerShell, ps},
        // Uninstalled since it was chosen: the default.
        {"WindowsTerminal", {"", ps, cmd}, TerminalKind::PowerShell, ps},
        {"C:\\Tools\\My Shell.exe",
         {"", "", ""},
         TerminalKind::OtherProgram,
         "C:\\Tools\\My Shell.exe"},
        {"pwsh.exe", {wt, ps, cmd}, TerminalKind::OtherProgram, "pwsh.exe"},
    };
    for (const auto& row : rows) {
        const Terminal chosen = ChosenTerminal(row.setting, row.installed);
        EXPECT_EQ(chosen.kind, row.kind) << row.setting;
        EXPECT_EQ(chosen.program, row.program) << row.setting;
    }
}
