// Which terminal a setting stands for, given what is installed: by default, or for a known
// terminal that is gone, the first there of Windows Terminal, PowerShell and Command Prompt;
// any other text is a program of the user's own.

#include "open/Terminal.h"

#include <gtest/gtest.h>

using namespace pw;

TEST(TerminalChoice, TheDefaultIsTheFirstInstalledAndAnyOtherTextIsAProgram) {
    const std::string wt = "C:\\A\\wt.exe", ps = "C:\\PS\\powershell.exe", cmd = "C:\\W\\cmd.exe";
    using K = TerminalKind;
    const struct {
        const char* setting;
        InstalledTerminals installed;
        K kind;
        std::string program;
    } rows[] = {
        {"", {wt, ps, cmd}, K::WindowsTerminal, wt},
        {"", {"", ps, cmd}, K::PowerShell, ps},
        {"", {"", "", cmd}, K::CommandPrompt, cmd},
        {"", {"", "", ""}, K::CommandPrompt, ""},
        {"CommandPrompt", {wt, ps, cmd}, K::CommandPrompt, cmd},
        {"powershell", {wt, ps, cmd}, K::PowerShell, ps},
        {"WindowsTerminal", {"", ps, cmd}, K::PowerShell, ps}, // uninstalled since chosen
        {"C:\\Tools\\My Shell.exe", {"", "", ""}, K::OtherProgram, "C:\\Tools\\My Shell.exe"},
        {"pwsh.exe", {wt, ps, cmd}, K::OtherProgram, "pwsh.exe"},
    };
    for (const auto& row : rows) {
        const Terminal chosen = ChosenTerminal(row.setting, row.installed);
        EXPECT_EQ(chosen.kind, row.kind) << row.setting;
        EXPECT_EQ(chosen.program, row.program) << row.setting;
    }
}
