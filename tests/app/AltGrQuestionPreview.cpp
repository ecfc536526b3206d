// Shows the AltGr question as a user on a German keyboard sees it, for tools/screenshots:
// the program's own flow, with the keyboard look-ups answering as a German layout does
// (Wine's keyboard types nothing with AltGr). When the question is up it writes
// "altgr-question.ready" into the folder given, waits for "altgr-question.done", then
// answers No and cancels the dialog.
//
//   wine altgr_question_preview.exe Z:\path\to\markers

#include "app/PathwinkApp.h"
#include "tests/app/GermanKeyboard.h"
#include "tests/support/TestSupport.h"
#include "win/AppMessages.h"
#include "win/Application.h"
#include "win/ProgramName.h"

#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <thread>

using namespace pw;

namespace {

bool Exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

HWND WaitForVisible(const char* className, const char* caption) {
    HWND found = nullptr;
    pwtest::WaitUntil(
        [&] {
            for (HWND w : pwtest::FindTopLevels(className, caption, GetCurrentProcessId()))
                if (IsWindowVisible(w))
                    found = w;
            return found != nullptr;
        },
        20000);
    return found;
}

void PostClick(HWND button) {
    PostMessageA(GetParent(button), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: altgr_question_preview <marker folder>\n");
        return 2;
    }
    const std::string markers = argv[1];
    const std::string folder = pwtest::MakeTempFolder("pwpreview");
    std::ofstream(folder + "\\Pathwink.INI", std::ios::binary) << "[Options]\r\nRunOnStarup=0\r\n";
    const std::string exe = folder + "\\Pathwink.exe";

    RunAtLogonKeys keys;
    keys.machineRoot = HKEY_CURRENT_USER;
    keys.machineKey = keys.userKey = "Software\\PathwinkPreview\\Run";
    PathwinkApp app(SettingsStore([exe] { return exe; }, keys), FolderShell(),
                    pwtest::GermanKeyboard());
    pwtest::PumpFor(100); // the tray icon comes from the message loop
    // The shortcuts' page, as the tray icon's notice opens it.
    HWND window = pwtest::FindTopLevel(kProgramWindowClass, nullptr, GetCurrentProcessId());
    SendMessageW(window, kTrayIconMessage, 0, MAKELPARAM(NIN_BALLOONUSERCLICK, TrayIcon::kIconId));

    bool ok = false;
    std::thread user([&] {
        HWND editor = WaitForVisible("TDlgNewShortcut", nullptr);
        if (!editor)
            return;
        const char* path = "C:\\Users\\Public\\Documents";
        SendMessageA(pwtest::FindChildByClass(editor, "Edit"), WM_SETTEXT, 0,
                     reinterpret_cast<LPARAM>(path));
        SendMessageA(pwtest::FindChildByClass(editor, "msctls_hotkey32"), HKM_SETHOTKEY,
                     MAKEWORD('E', HOTKEYF_CONTROL | HOTKEYF_ALT), 0);
        PostClick(pwtest::FindChildByText(editor, "Button", "OK"));
        HWND question = WaitForVisible("#32770", "Shortcut Warning");
        if (!question)
            return;
        Sleep(800); // painted
        std::ofstream(markers + "\\altgr-question.ready") << "altgr-question";
        ok = pwtest::WaitUntil([&] { return Exists(markers + "\\altgr-question.done"); }, 60000);
        PostMessageA(question, WM_COMMAND, IDNO, 0);
        editor = WaitForVisible("TDlgNewShortcut", nullptr);
        if (editor)
            PostClick(pwtest::FindChildByText(editor, "Button", "Cancel"));
    });
    HWND newButton = pwtest::FindChildByText(window, "Button", "New Shortcut");
    SendMessageA(GetParent(newButton), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(newButton), BN_CLICKED),
                 reinterpret_cast<LPARAM>(newButton)); // returns when the flow has ended
    user.join();
    pwtest::RemoveTree(folder);
    return ok ? 0 : 1;
}
