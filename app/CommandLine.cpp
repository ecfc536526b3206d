#include "app/CommandLine.h"

namespace pw {

namespace {

bool IsSeparator(char c) {
    return c != '\0' && static_cast<unsigned char>(c) <= ' ';
}
bool IsArgumentChar(char c) {
    return static_cast<unsigned char>(c) > ' ';
}

// Reads one argument starting at p; returns the position after it.
const char* NextArgument(const char* p, std::string& arg) {
    for (;;) {
        while (IsSeparator(*p))
            ++p;
        if (p[0] == '"' && p[1] == '"')
            p += 2;
        else
            break;
    }
    arg.clear();
    while (IsArgumentChar(*p)) {
        if (*p == '"') {
            ++p;
            while (*p != '\0' && *p != '"')
                arg += *p++;
            if (*p != '\0')
                ++p;
        } else {
            arg += *p++;
        }
    }
    return p;
}

} // namespace

std::vector<std::string> SplitCommandLine(const std::string& commandLine) {
    // An empty argument ends the list, as it does for the program's argument count.
    std::vector<std::string> args;
    const char* p = commandLine.c_str();
    std::string arg;
    for (;;) {
        p = NextArgument(p, arg);
        if (arg.empty())
            break;
        args.push_back(arg);
    }
    return args;
}

bool StartsInTray(const std::string& commandLine) {
    const auto args = SplitCommandLine(commandLine);
    return args.size() > 1 && args[1] == "tray";
}

} // namespace pw
