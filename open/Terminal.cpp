#include "open/Terminal.h"

#include "win/Text.h"

#include <windows.h>

namespace pw {

namespace {

struct KnownTerminal {
    TerminalKind kind;
    const char* name;
    const char* setting;
};
constexpr KnownTerminal kNames[] = {
    {TerminalKind::WindowsTerminal, "Windows Terminal", "WindowsTerminal"},
    {TerminalKind::PowerShell, "PowerShell", "PowerShell"},
    {TerminalKind::CommandPrompt, "Command Prompt", "CommandPrompt"},
};

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    auto fold = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = L"";
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    return n && n < MAX_PATH ? folder : L"";
}

std::string IfThere(const std::wstring& path) {
    const bool there = !path.empty() && GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
    return there ? Utf8(path) : std::string();
}

// The app command that Windows Terminal's package puts among the user's app commands.
// The search path is not searched: the Options page asks on the window thread, and a
// folder on the path may be a network share that does not answer.
std::wstring WindowsTerminalCommand() {
    wchar_t local[MAX_PATH] = L"";
    const DWORD n = GetEnvironmentVariableW(L"LOCALAPPDATA", local, MAX_PATH);
    return n && n < MAX_PATH ? std::wstring(local) + L"\\Microsoft\\WindowsApps\\wt.exe" : L"";
}

} // namespace

const std::string& InstalledTerminals::ProgramOf(TerminalKind kind) const {
    static const std::string none;
    switch (kind) {
    case TerminalKind::WindowsTerminal:
        return windowsTerminal;
    case TerminalKind::PowerShell:
        return powerShell;
    case TerminalKind::CommandPrompt:
        return commandPrompt;
    case TerminalKind::OtherProgram:
        break;
    }
    return none;
}

std::string TerminalName(TerminalKind kind) {
    for (const KnownTerminal& known : kNames)
        if (known.kind == kind)
            return known.name;
    return "Other program...";
}

std::string TerminalSetting(TerminalKind kind, const std::string& otherProgram) {
    for (const KnownTerminal& known : kNames)
        if (known.kind == kind)
            return known.setting;
    return otherProgram;
}

Terminal ChosenTerminal(std::string_view setting, const InstalledTerminals& installed) {
    bool known = false;
    for (const KnownTerminal& name : kNames)
        if (EqualsIgnoringAsciiCase(setting, name.setting)) {
            known = true;
            if (!installed.ProgramOf(name.kind).empty())
                return {name.kind, installed.ProgramOf(name.kind)};
        }
    if (!known && !setting.empty())
        return {TerminalKind::OtherProgram, std::string(setting)};
    for (const TerminalKind kind : kKnownTerminals)
        if (!installed.ProgramOf(kind).empty())
            return {kind, installed.ProgramOf(kind)};
    return {TerminalKind::CommandPrompt, ""};
}

std::string QuotedArgument(std::string_view argument) {
    std::string quoted = "\"";
    size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes escape only a quote that follows them: then they are doubled
        // and the quote escaped.
        quoted.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        quoted += c;
    }
    quoted.append(backslashes * 2, '\\');
    return quoted + "\"";
}

std::string TerminalCommandLine(const Terminal& terminal, const std::string& folder) {
    std::string line = QuotedArgument(terminal.program);
    if (terminal.kind != TerminalKind::WindowsTerminal)
        return line;
    std::string escaped;
    for (const char c : folder) {
        if (c == ';')
            escaped += '\\';
        escaped += c;
    }
    return line + " -d " + QuotedArgument(escaped);
}

InstalledTerminals FindInstalledTerminals() {
    const std::wstring system = SystemFolder();
    InstalledTerminals found;
    found.windowsTerminal = IfThere(WindowsTerminalCommand());
    if (!system.empty()) {
        found.powerShell = IfThere(system + L"\\WindowsPowerShell\\v1.0\\powershell.exe");
        found.commandPrompt = IfThere(system + L"\\cmd.exe");
    }
    return found;
}

TerminalStart StartTerminal(const std::string& setting, const std::string& folder) {
    const Terminal terminal = ChosenTerminal(setting, FindInstalledTerminals());
    if (terminal.program.empty())
        return {TerminalName(terminal.kind), ERROR_FILE_NOT_FOUND};
    const std::wstring program = Wide(terminal.program);
    std::wstring commandLine = Wide(TerminalCommandLine(terminal, folder));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    // A console program gets a console of its own; nothing is inherited.
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                        CREATE_NEW_CONSOLE, nullptr, Wide(folder).c_str(), &startup, &process)) {
        const DWORD error = GetLastError();
        return {terminal.program, error ? error : ERROR_GEN_FAILURE};
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {terminal.program, 0};
}

} // namespace pw
