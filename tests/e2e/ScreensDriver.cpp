// Shows the main window's pages one after another for tools/screenshots (the list's
// menu after the list): after each it writes "<name>.ready" into the folder given and
// waits for "<name>.done". Then the shortcut list again, from a settings file whose folders are
// named in several scripts, the list with a shortcut whose combination this driver holds, as
// another program would, the dialog that "Pathwink.exe add <folder>" (what
// Explorer's "Add to Pathwink..." runs) opens when no copy runs, and last another
// program's Save As dialog before and after a folder key.
//
//   wine main_screens.exe Z:\path\to\markers

#include "tests/e2e/FileDialogHost.h"
#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

using namespace pwtest;

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// ready holds what the script needs to know (the part of the screen to take), else the name.
bool Handshake(const std::string& markers, const char* name, const std::string& ready = "") {
    PumpFor(800); // painted
    std::ofstream(markers + "\\" + name + ".ready") << (ready.empty() ? name : ready);
    return WaitUntil([&] { return Exists(markers + "\\" + name + ".done"); }, 60000);
}

// A settings file as the program writes it once a path does not fit the ANSI code
// page: UTF-16LE with a byte-order mark.
std::string Utf16Settings(const std::wstring& text) {
    const std::wstring withMark = L"\xFEFF" + text;
    return std::string(reinterpret_cast<const char*>(withMark.data()),
                       withMark.size() * sizeof(wchar_t));
}

// The folder switcher at the pointer, its filter narrowing the list to "rep".
bool ShowSwitcherFiltering(const std::string& markers) {
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=6\r\n"
                        "0Path=C:\\Users\\Public\\Documents\\Projects\r\n0ShortCut=49232\r\n"
                        "1Path=C:\\Users\\Public\\Documents\\Reports\r\n1ShortCut=0\r\n"
                        "2Path=D:\\Archive\\Invoices 2026\r\n2ShortCut=0\r\n"
                        "3Path=D:\\Archive\\Quarterly reports\r\n3ShortCut=49234\r\n"
                        "4Path=C:\\Users\\Public\\Music\r\n4ShortCut=49229\r\n"
                        "5Path=E:\\Team\\Reporting tools\r\n5ShortCut=0\r\n");
    if (!app.Start("tray")) {
        std::fprintf(stderr, "Pathwink did not start for the switcher\n");
        return false;
    }
    SetCursorPos(160, 120);
    TypeKey(VK_SPACE, true, true); // Ctrl+Alt+Space, the switcher's default key
    HWND switcher = nullptr;
    if (!WaitUntil([&] {
            switcher = FindTopLevel("PathwinkFolderSwitcher", nullptr, app.ProcessId());
            return switcher && IsWindowVisible(switcher);
        })) {
        std::fprintf(stderr, "the switcher did not show\n");
        return false;
    }
    TypeCharacters(L"rep");
    PumpFor(500);
    const bool ok = Handshake(markers, "switcher");
    PostMessageA(app.MainWindow(), WM_CLOSE, 0, 0);
    return ok && app.WaitForExit();
}

// Another program's Save As dialog with a typed name, then the same dialog after
// Ctrl+Alt+I, whose folder it shows.
bool ShowSaveAsBeforeAndAfterAKey(const std::string& markers) {
    const std::string documents = "C:\\Users\\Public\\Documents";
    const std::string start = documents + "\\Reports";
    const std::string target = documents + "\\Invoices 2026";
    const std::pair<std::string, std::vector<const char*>> folders[] = {
        {start, {"Budget 2026.txt", "Meeting notes.txt", "Team list.txt"}},
        {target, {"Invoice 0412.txt", "Invoice 0413.txt", "Invoice 0414.txt", "Totals.txt"}},
    };
    for (const auto& [folder, files] : folders) {
        CreateDirectoryA(folder.c_str(), nullptr);
        for (const char* file : files)
            std::ofstream(folder + "\\" + file) << "Pathwink\n";
    }
    PathwinkProcess app("[Options]\r\nConfirmExit=0\r\nRunOnStarup=0\r\nOpenInFront=1\r\n"
                        "[Shortcuts]\r\nCount=1\r\n0Path=" +
                        target + "\r\n0ShortCut=" + std::to_string(0xC000 | 'I') + "\r\n");
    if (!app.Start("tray")) {
        std::fprintf(stderr, "Pathwink did not start for the Save As pictures\n");
        return false;
    }
    FileDialogHost host("classic", start);
    if (!host.Window()) {
        std::fprintf(stderr, "no Save As dialog\n");
        return false;
    }
    BringToFront(host.Window());
    for (const char c : std::string("Quarterly summary")) {
        const SHORT key = VkKeyScanA(c);
        TypeKey(LOBYTE(key), false, false, (HIBYTE(key) & 1) != 0);
    }
    WaitUntil([&] { return host.Read() && host.Read()->name == "Quarterly summary"; });
    bool ok = Handshake(markers, "save-as-before");
    TypeKey('I', true, true);
    FileDialogHost::Report seen;
    if (!host.WaitForFolder(target, seen, 10000)) {
        std::fprintf(stderr, "the dialog did not show the folder\n");
        return false;
    }
    return ok && Handshake(markers, "save-as-after");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: main_screens <marker folder>\n");
        return 2;
    }
    const std::string markers = argv[1];
    const char* settings =
        "[Options]\r\nConfirmExit=1\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=4\r\n"
        "0Path=C:\\Users\\Public\\Documents\\Projects\r\n0ShortCut=49232\r\n"
        "1Path=C:\\Users\\Public\\Music\r\n1ShortCut=49229\r\n"
        "2Path=D:\\Archive\\Invoices 2026\r\n2ShortCut=0\r\n"
        "3Path=C:\\windows\\Temp\r\n3ShortCut=57460\r\n";
    PathwinkProcess app(settings);
    if (!app.Start()) {
        std::fprintf(stderr, "Pathwink did not start\n");
        return 1;
    }
    WaitUntil([&] { return app.MainVisible(); });
    const int entries = 4; // folder entries above the fixed ones in the tray menu
    bool ok = Handshake(markers, "about");
    app.ChooseFromTrayMenu(entries + 1); // Configure Shortcuts
    WaitUntil([&] { return app.ActivePage() == 0; });
    app.SelectRow(1);
    ok = ok && Handshake(markers, "shortcuts");
    // The list's menu, as Shift+F10 opens it, taken with the window ("<w>x<h>+<x>+<y>").
    app.Focus(app.ShortcutList());
    TypeKey(VK_F10, false, false, true);
    const HWND menu = app.WaitForMenu();
    RECT r{}, shown{};
    GetWindowRect(app.MainWindow(), &r);
    GetWindowRect(menu, &shown);
    UnionRect(&r, &r, &shown);
    ok = ok && menu &&
         Handshake(markers, "list-menu",
                   std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top) + "+" +
                       std::to_string(r.left) + "+" + std::to_string(r.top));
    TypeKey(VK_ESCAPE);
    app.ChooseFromTrayMenu(entries + 2); // Configure Options
    WaitUntil([&] { return app.ActivePage() == 1; });
    ok = ok && Handshake(markers, "options");

    // Only one copy runs at a time: this one ends before the next starts.
    PostMessageA(app.MainWindow(), WM_CLOSE, 0, 0);
    if (!app.WaitForExit()) {
        std::fprintf(stderr, "Pathwink did not exit\n");
        return 1;
    }
    const wchar_t* unicodeSettings =
        L"[Options]\r\nConfirmExit=1\r\nRunOnStarup=0\r\n[Shortcuts]\r\nCount=5\r\n"
        L"0Path=C:\\Users\\Public\\Documents\\Φάκελος έργων\r\n0ShortCut=49223\r\n"
        L"1Path=C:\\Users\\Public\\Music\\Café Müller\r\n1ShortCut=49229\r\n"
        L"2Path=C:\\Users\\Public\\Pictures\\Holidays 📷 🏖\r\n2ShortCut=0\r\n"
        L"3Path=C:\\Users\\Public\\文档\\项目资料\r\n3ShortCut=49226\r\n"
        L"4Path=D:\\Архив\\Счета 2026\r\n4ShortCut=57460\r\n";
    PathwinkProcess unicodeApp(Utf16Settings(unicodeSettings));
    if (!unicodeApp.Start()) {
        std::fprintf(stderr, "Pathwink did not start with the second settings file\n");
        return 1;
    }
    WaitUntil([&] { return unicodeApp.MainVisible(); });
    const int unicodeEntries = 5;
    unicodeApp.ChooseFromTrayMenu(unicodeEntries + 1); // Configure Shortcuts
    WaitUntil([&] { return unicodeApp.ActivePage() == 0; });
    unicodeApp.SelectRow(3);
    ok = ok && Handshake(markers, "shortcuts-unicode");
    PostMessageA(unicodeApp.MainWindow(), WM_CLOSE, 0, 0);
    if (!unicodeApp.WaitForExit()) {
        std::fprintf(stderr, "Pathwink did not exit\n");
        return 1;
    }

    // Ctrl+Alt+P (49232), held here before the start.
    RegisterHotKey(nullptr, 1, MOD_CONTROL | MOD_ALT, 'P');
    PathwinkProcess heldApp(settings);
    if (!heldApp.Start()) {
        std::fprintf(stderr, "Pathwink did not start with a combination held\n");
        return 1;
    }
    WaitUntil([&] { return heldApp.MainVisible(); });
    heldApp.ChooseFromTrayMenu(entries + 1); // Configure Shortcuts
    WaitUntil([&] { return heldApp.ActivePage() == 0; });
    heldApp.SelectRow(0);
    ok = ok && Handshake(markers, "shortcuts-inactive");
    UnregisterHotKey(nullptr, 1);
    PostMessageA(heldApp.MainWindow(), WM_CLOSE, 0, 0);
    if (!heldApp.WaitForExit()) {
        std::fprintf(stderr, "Pathwink did not exit\n");
        return 1;
    }

    PathwinkProcess addApp(settings);
    if (!addApp.Start("add \"C:\\Users\\Public\\Documents\\Projects\"") ||
        !addApp.WaitForEditor()) {
        std::fprintf(stderr, "Pathwink add showed no dialog\n");
        return 1;
    }
    // The pointer stays off the dialog, whose fields would show their hints under it.
    SetCursorPos(GetSystemMetrics(SM_CXSCREEN) - 1, GetSystemMetrics(SM_CYSCREEN) - 1);
    ok = ok && Handshake(markers, "add-folder");
    PostMessageA(addApp.MainWindow(), WM_CLOSE, 0, 0);
    if (!addApp.WaitForExit()) {
        std::fprintf(stderr, "Pathwink did not exit\n");
        return 1;
    }
    return ok && ShowSaveAsBeforeAndAfterAKey(markers) && ShowSwitcherFiltering(markers) ? 0 : 1;
}
