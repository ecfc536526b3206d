// The file-dialog host (see FileDialogHost.h): another program's real dialog for
// the tests, pictures and benchmark of opening folders in the window in front.

#include "tests/e2e/FileDialogHost.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

using namespace pwtest;

namespace {

std::wstring g_mode, g_reportFile;
IFileDialog* g_itemDialog = nullptr; // while the item dialog shows

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

HWND TheDialog() {
    HWND found = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM result) {
            char name[32];
            GetClassNameA(window, name, sizeof name);
            if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window))
                return TRUE;
            *reinterpret_cast<HWND*>(result) = window;
            return FALSE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::wstring ItemText(IShellItem* item) {
    std::wstring text;
    wchar_t* path = nullptr;
    if (item && SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &path))) {
        text = path;
        CoTaskMemFree(path);
    }
    return text;
}

// What the dialog itself says it shows, asked on its own thread.
void ReadDialog(std::wstring& folder, std::wstring& name) {
    const HWND dialog = TheDialog();
    if (g_itemDialog) {
        IShellItem* item = nullptr;
        if (SUCCEEDED(g_itemDialog->GetFolder(&item))) {
            folder = ItemText(item);
            item->Release();
        }
        wchar_t* text = nullptr;
        if (SUCCEEDED(g_itemDialog->GetFileName(&text)) && text) {
            name = text;
            CoTaskMemFree(text);
        }
    } else if (dialog && g_mode == L"classic") {
        // Only the classic dialog: the folder browser takes these numbers for its own messages.
        wchar_t text[MAX_PATH * 4] = L"";
        if (SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH * 4, reinterpret_cast<LPARAM>(text)) >
            0)
            folder = text;
        text[0] = 0;
        if (SendMessageW(dialog, CDM_GETSPEC, MAX_PATH * 4, reinterpret_cast<LPARAM>(text)) > 0)
            name = text;
    }
}

std::wstring Trimmed(std::wstring path) {
    while (path.size() > 3 && (path.back() == L'\\' || path.back() == L'/'))
        path.pop_back();
    return path;
}

void WriteReport() {
    std::wstring folder, name;
    ReadDialog(folder, name);
    const HWND focus = GetFocus();
    char focusClass[64] = "none";
    if (focus)
        GetClassNameA(focus, focusClass, sizeof focusClass);
    const HWND dialog = TheDialog();
    FILE* out = _wfopen(g_reportFile.c_str(), L"wb");
    if (!out)
        return;
    std::fprintf(out, "%s\n%s\n%s %d\n%s\n", Utf8(folder).c_str(), Utf8(name).c_str(), focusClass,
                 focus ? GetDlgCtrlID(focus) : 0, dialog ? "open" : "closed");
    std::fclose(out);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kHostReportMessage:
        WriteReport();
        return 1;
    case kHostHangMessage:
        Sleep(static_cast<DWORD>(wParam));
        return 1;
    case WM_COPYDATA: {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != kHostFolderIsData)
            return 0;
        const std::wstring wanted(static_cast<const wchar_t*>(data->lpData),
                                  data->cbData / sizeof(wchar_t));
        std::wstring folder, name;
        ReadDialog(folder, name);
        return lstrcmpiW(Trimmed(folder).c_str(), Trimmed(wanted.c_str()).c_str()) == 0;
    }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int ShowClassic(const wchar_t* startFolder) {
    static wchar_t file[32768] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 32768;
    ofn.lpstrFilter = L"Reports (*.txt)\0*.txt\0All files\0*.*\0";
    ofn.lpstrInitialDir = startFolder;
    ofn.lpstrTitle = L"Save Report As";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    return GetSaveFileNameW(&ofn) ? 1 : 2;
}

int ShowItem(const wchar_t* startFolder, bool pickFolders) {
    IFileDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(pickFolders ? CLSID_FileOpenDialog : CLSID_FileSaveDialog, nullptr,
                                CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                reinterpret_cast<void**>(&dialog))))
        return 3;
    if (pickFolders) {
        FILEOPENDIALOGOPTIONS options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS);
    } else {
        const COMDLG_FILTERSPEC types[] = {{L"Reports (*.txt)", L"*.txt"}, {L"All files", L"*.*"}};
        dialog->SetFileTypes(2, types);
    }
    dialog->SetTitle(L"Save Report As");
    IShellItem* start = nullptr;
    if (startFolder && SUCCEEDED(SHCreateItemFromParsingName(startFolder, nullptr, IID_IShellItem,
                                                             reinterpret_cast<void**>(&start)))) {
        dialog->SetFolder(start);
        start->Release();
    }
    g_itemDialog = dialog;
    const HRESULT shown = dialog->Show(nullptr);
    g_itemDialog = nullptr;
    dialog->Release();
    return SUCCEEDED(shown) ? 1 : 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: file_dialog_host classic|item|pick|browse|message <report "
                             "file> [start folder]\n");
        return 9;
    }
    g_mode = argv[1];
    g_reportFile = argv[2];
    const wchar_t* startFolder = argc > 3 ? argv[3] : nullptr;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kDialogHostClass;
    RegisterClassA(&windowClass);
    // Hidden and top-level, so that a test finds it by class; its messages are
    // dispatched by the dialog's own loop, on the dialog's thread.
    CreateWindowA(kDialogHostClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr,
                  windowClass.hInstance, nullptr);
    if (g_mode == L"classic")
        return ShowClassic(startFolder);
    if (g_mode == L"item" || g_mode == L"pick")
        return ShowItem(startFolder, g_mode == L"pick");
    if (g_mode == L"browse") {
        BROWSEINFOW info{};
        info.lpszTitle = L"Choose a folder";
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&info);
        CoTaskMemFree(chosen);
        return chosen ? 1 : 2;
    }
    return MessageBoxW(nullptr, L"A message that is not a file dialog.", L"Host message", MB_OK) ==
                   IDOK
               ? 1
               : 2;
}
