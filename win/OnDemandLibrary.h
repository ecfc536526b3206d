#pragma once
// System libraries that a start in the tray does not need (Common Controls, COM,
// the theme, session, common dialog and accessibility libraries) are linked to load
// at their first call: the lists are in win/delayload. A feature that needs one asks
// for it here before its first call: when the system cannot load it, the user is
// told which feature cannot run and why, and the feature does nothing. A call nobody
// asked for first that finds its library missing ends the program with a message,
// never a crash.

namespace pw {

inline constexpr wchar_t kCommonControlsLibrary[] = L"comctl32.dll";
inline constexpr wchar_t kComLibrary[] = L"ole32.dll";
inline constexpr wchar_t kAutomationLibrary[] = L"oleaut32.dll";
inline constexpr wchar_t kThemeLibrary[] = L"uxtheme.dll";
inline constexpr wchar_t kSessionLibrary[] = L"wtsapi32.dll";
inline constexpr wchar_t kCommonDialogsLibrary[] = L"comdlg32.dll";
inline constexpr wchar_t kAccessibilityLibrary[] = L"oleacc.dll";

// Loads library unless it is loaded. When the system cannot, and feature is given
// ("show its window"), says "Pathwink cannot show its window: the system library
// comctl32.dll could not be loaded." with the system's reason; false either way.
bool LoadOnDemand(const wchar_t* library, const char* feature);

// COM on the calling thread (the window thread), entered at the first feature that
// needs it and kept until the program ends; false, after saying why, when COM's
// library cannot be loaded.
bool EnterComOnThisThread(const char* feature);

} // namespace pw
