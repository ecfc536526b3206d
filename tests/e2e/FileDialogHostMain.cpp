// The file-dialog host (see FileDialogHost.h): another program's real dialog for
// the tests, pictures and benchmark of opening folders in the window in front.

#include "tests/e2e/FileDialogHost.h"

#include <commdlg.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <fstream>
#include <string>

using namespace pwtest;

namespace {

std::wstring g_mode, g_reportFile;
IFileDialog* g_itemDialog = nullptr; // while the item dialog shows
// A folder removed when the dialog's name box gets its path ("remove-on-text") or when
// its OK is pressed ("remove-on-ok"), and the window procedure that was replaced.
std::wstring g_removeWhen, g_removeFolder;
WNDPROC g_replacedProc = nullptr;
constexpr UINT_PTR kWatchTimer = 1;

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
            if (lstrcmpA(name, "#32770") != 0 || !IsWindowVisible(window) ||
                GetWindow(window, GW_OWNER))
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

// The name box: edt1 in the old style and Wine's item dialog; in the classic dialog the
// Edit in ComboBoxEx32 > ComboBox, all three with the id 0x47C.
HWND NameBox(HWND dialog) {
    const HWND edit = GetDlgItem(dialog, 0x480);
    return edit ? edit : GetDlgItem(GetDlgItem(GetDlgItem(dialog, 0x47C), 0x47C), 0x47C);
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
    } else if (dialog && g_mode == L"old") { // it shows the process's current folder
        wchar_t text[MAX_PATH * 4] = L"";
        GetCurrentDirectoryW(MAX_PATH * 4, text);
        folder = text;
        GetWindowTextW(NameBox(dialog), text, MAX_PATH * 4);
        name = text;
    } else if (dialog && g_mode.rfind(L"classic", 0) == 0) {
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

// Removes the folder as the name box gets its path, or as OK is pressed: what a folder
// on a drive that goes away does between Pathwink's check and the dialog's OK.
LRESULT CALLBACK RemovingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const auto* text = reinterpret_cast<const wchar_t*>(lParam);
    if ((message == WM_SETTEXT && text &&
         lstrcmpiW(Trimmed(text).c_str(), g_removeFolder.c_str()) == 0) ||
        (message == WM_COMMAND && LOWORD(wParam) == IDOK))
        RemoveDirectoryW(g_removeFolder.c_str());
    return CallWindowProcW(g_replacedProc, window, message, wParam, lParam);
}

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: { // until the dialog shows: then its name box, or it for OK, is watched
        const HWND dialog = TheDialog();
        const HWND watched = g_removeWhen == L"remove-on-ok" ? dialog : NameBox(dialog);
        if (dialog && watched) {
            KillTimer(window, kWatchTimer);
            g_replacedProc = reinterpret_cast<WNDPROC>(
                SetWindowLongPtrW(watched, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RemovingProc)));
        }
        return 0;
    }
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

// Classic: GetSaveFileNameW; classic-hook: with a hook (and so the hook's own child
// dialog); old: the old style (a hook without OFN_EXPLORER).
int ShowClassic(const wchar_t* startFolder, std::wstring& chosen) {
    static wchar_t file[32768] = L"";
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 32768;
    ofn.lpstrFilter = L"Reports (*.txt)\0*.txt\0All files\0*.*\0";
    ofn.lpstrInitialDir = startFolder;
    ofn.lpstrTitle = L"Save Report As";
    ofn.Flags = OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR;
    if (g_mode != L"classic") {
        ofn.Flags = (g_mode == L"old" ? 0 : OFN_EXPLORER) | OFN_ENABLEHOOK | OFN_OVERWRITEPROMPT;
        ofn.lpfnHook = [](HWND, UINT, WPARAM, LPARAM) -> UINT_PTR { return 0; };
    }
    const BOOL ok = GetSaveFileNameW(&ofn);
    chosen = file;
    return ok ? 1 : 2;
}

// item: IFileSaveDialog with file types; item-save and item-open: without; pick:
// IFileOpenDialog with FOS_PICKFOLDERS.
int ShowItem(const wchar_t* startFolder, std::wstring& chosen) {
    const bool pickFolders = g_mode == L"pick";
    const bool open = pickFolders || g_mode == L"item-open";
    IFileDialog* dialog = nullptr;
    if (FAILED(CoCreateInstance(open ? CLSID_FileOpenDialog : CLSID_FileSaveDialog, nullptr,
                                CLSCTX_INPROC_SERVER, IID_IFileDialog,
                                reinterpret_cast<void**>(&dialog))))
        return 3;
    if (pickFolders) {
        FILEOPENDIALOGOPTIONS options = 0;
        dialog->GetOptions(&options);
        dialog->SetOptions(options | FOS_PICKFOLDERS);
    } else if (g_mode == L"item") {
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
    IShellItem* result = nullptr;
    if (SUCCEEDED(shown) && SUCCEEDED(dialog->GetResult(&result))) {
        chosen = ItemText(result);
        result->Release();
    }
    dialog->Release();
    return SUCCEEDED(shown) ? 1 : 2;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: file_dialog_host <mode> <report file> [start folder "
                             "[remove-on-text|remove-on-ok <folder>]]\n");
        return 9;
    }
    g_mode = argv[1];
    g_reportFile = argv[2];
    const wchar_t* startFolder = argc > 3 ? argv[3] : nullptr;
    g_removeWhen = argc > 5 ? argv[4] : L"";
    g_removeFolder = argc > 5 ? Trimmed(argv[5]) : L"";
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = HostProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.lpszClassName = kDialogHostClass;
    RegisterClassA(&windowClass);
    // Hidden and top-level, so that a test finds it by class; its messages are
    // dispatched by the dialog's own loop, on the dialog's thread.
    const HWND host = CreateWindowA(kDialogHostClass, "", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                    nullptr, windowClass.hInstance, nullptr);
    if (!g_removeWhen.empty())
        SetTimer(host, kWatchTimer, 10, nullptr);
    // The file the dialog chose, written where the test reads it when the dialog is done.
    std::wstring chosen;
    int shown = 0;
    if (g_mode == L"classic" || g_mode == L"classic-hook" || g_mode == L"old")
        shown = ShowClassic(startFolder, chosen);
    else if (g_mode.rfind(L"item", 0) == 0 || g_mode == L"pick")
        shown = ShowItem(startFolder, chosen);
    if (shown == 1)
        std::ofstream((g_reportFile + L".chosen").c_str(), std::ios::binary) << Utf8(chosen);
    if (shown)
        return shown;
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
