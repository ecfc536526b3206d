#include "win/StartupTrace.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace pw {

namespace {

std::string TraceFile() {
    char path[MAX_PATH] = "";
    const DWORD n = GetEnvironmentVariableA("PATHWINK_STARTUP_TRACE", path, sizeof path);
    return n > 0 && n < sizeof path ? std::string(path, n) : std::string();
}

double MillisecondsSinceProcessCreation() {
    FILETIME created, exited, kernel, user, now;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    GetSystemTimePreciseAsFileTime(&now);
    auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(now) - ticks(created)) / 10000.0; // 100 ns units
}

} // namespace

void TracePhase(const char* phase) {
    static const std::string file = TraceFile();
    if (file.empty())
        return;
    const double ms = MillisecondsSinceProcessCreation();
    if (FILE* out = std::fopen(file.c_str(), "a")) {
        std::fprintf(out, "%s\t%.2f\n", phase, ms);
        std::fclose(out);
    }
}

} // namespace pw
