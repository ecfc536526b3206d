// Stands in for a terminal: writes the working directory it was started in and each argument
// (as CommandLineToArgvW reads them), a line each in UTF-8, into "started.txt" beside itself.

#include <windows.h>

#include <shellapi.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t folder[MAX_PATH] = L"", file[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, folder);
    std::wstring text = folder;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; i < count; ++i)
        text += L"\n" + std::wstring(arguments[i]);
    GetModuleFileNameW(nullptr, file, MAX_PATH);
    const HANDLE out =
        CreateFileW((std::wstring(file, wcsrchr(file, L'\\')) + L"\\started.txt").c_str(),
                    GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    std::string utf8(text.size() * 3, '\0');
    DWORD written = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), utf8.data(),
                                        int(utf8.size()), nullptr, nullptr);
    WriteFile(out, utf8.data(), written, &written, nullptr);
    return CloseHandle(out) ? 0 : 1;
}
