#pragma once
// The program's own split of its command line, free of Win32 so it tests fast.
// Characters at or below blank separate arguments and are skipped before each;
// double quotes group characters and are removed; a pair of quotes at the very
// start of an argument is skipped like a separator.

#include <string>
#include <vector>

namespace pw {

// Argument 0 is the program's own path.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

// True when argument 1 is exactly "tray" (byte for byte, case-sensitive).
bool StartsInTray(const std::string& commandLine);

} // namespace pw
