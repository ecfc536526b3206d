// Stands in for a terminal: writes the working directory it was started in and each
// argument (as CommandLineToArgvW, the C runtime and Windows Terminal read them),
// one per line in UTF-8, into "started.txt" beside itself, and ends.

#include <windows.h>

#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    std::wstring text(MAX_PATH, L'\0');
    text.resize(GetCurrentDirectoryW(MAX_PATH, text.data()));
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i)
        text += L"\n" + std::wstring(arguments[i]);
    std::wstring file(MAX_PATH, L'\0');
    file.resize(GetModuleFileNameW(nullptr, file.data(), MAX_PATH));
    file = file.substr(0, file.rfind(L'\\')) + L"\\started.txt";
    std::string utf8(text.size() * 4, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(),
                                    int(utf8.size()), nullptr, nullptr));
    const HANDLE out =
        CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(out, utf8.data(), DWORD(utf8.size()), &written, nullptr);
    CloseHandle(out);
    return 0;
}
