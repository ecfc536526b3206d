// Shows the main window's pages one after another for tools/screenshots: after
// each it writes "<name>.ready" into the folder given and waits for "<name>.done".
//
//   wine main_screens.exe Z:\path\to\markers

#include "tray/TrayIcon.h"
#include "tests/e2e/Pathwink.h"
#include "tests/support/TestSupport.h"

#include <cstdio>
#include <fstream>
#include <string>

using namespace pwtest;

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool Handshake(const std::string& markers, const char* name) {
    PumpFor(800); // painted
    std::ofstream(markers + "\\" + name + ".ready") << name;
    return WaitUntil([&] { return Exists(markers + "\\" + name + ".done"); }, 60000);
}

// Opens the tray menu and chooses the entry reached by `downs` presses of Down.
void ChooseFromTrayMenu(const PathwinkProcess& app, int downs) {
    PostMessageA(FindTopLevel("PathwinkTrayWindow", nullptr, app.ProcessId()), pw::TrayIcon::kCallbackMessage, 0,
                 WM_RBUTTONUP);
    HWND menu = nullptr;
    WaitUntil([&] { return (menu = FindTopLevel("#32768", nullptr, app.ProcessId())) &&
                           IsWindowVisible(menu); });
    for (int i = 0; i < downs; ++i)
        PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
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
    ChooseFromTrayMenu(app, entries + 1); // Configure Shortcuts
    WaitUntil([&] { return app.ActivePage() == 0; });
    app.SelectRow(1);
    ok = ok && Handshake(markers, "shortcuts");
    ChooseFromTrayMenu(app, entries + 2); // Configure Options
    WaitUntil([&] { return app.ActivePage() == 1; });
    ok = ok && Handshake(markers, "options");
    return ok ? 0 : 1;
}
