#include "win/OnDemandLibrary.h"

#include "win/Scoped.h"

#include "win/Errors.h"
#include "win/Messages.h"
#include "win/ProgramName.h"
#include "win/Text.h"

#include <windows.h>

#include <delayimp.h>
#include <objbase.h>

namespace pw {

namespace {

std::string CannotLoadText(const char* library, DWORD error) {
    return std::string("the system library ") + library + " could not be loaded. " +
           SystemReason(error);
}

// The last resort for a first call that no feature asked for: the process cannot go
// on without the function, so it says why and ends instead of crashing.
FARPROC WINAPI OnDelayLoadFailure(unsigned notice, PDelayLoadInfo info) {
    if (notice != dliFailLoadLib && notice != dliFailGetProc)
        return nullptr;
    const std::string what =
        notice == dliFailLoadLib
            ? CannotLoadText(info->szDll, info->dwLastError)
            : std::string("a function of the system library ") + info->szDll + " is missing.";
    MessageBoxW(nullptr, Wide(std::string(kProgramName) + " must close: " + what).c_str(),
                Wide(kProgramName).c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST);
    ExitProcess(3);
}

} // namespace

bool LoadOnDemand(const wchar_t* library, const char* feature) {
    if (GetModuleHandleW(library) || LoadLibraryW(library))
        return true;
    const DWORD error = GetLastError();
    if (feature)
        ReportError(std::string(kProgramName) + " cannot " + feature + ": " +
                    CannotLoadText(Utf8(library).c_str(), error));
    return false;
}

bool EnterComOnThisThread(const char* feature) {
    thread_local bool entered = false;
    if (entered)
        return true;
    if (!LoadOnDemand(kComLibrary, feature))
        return false;
    // Kept until the process ends: the shell's objects made on this thread may live as long.
    entered = SUCCEEDED(CoInitializeEx(nullptr, kComApartment));
    return true;
}

} // namespace pw

// The delay-load helper calls this when a library or a function cannot be found.
extern "C" {
PfnDliHook __pfnDliFailureHook2 = pw::OnDelayLoadFailure;
}
