#include "tests/app/AppInProcess.h"

#include "tests/support/TestSupport.h"
#include "win/AppMessages.h"
#include "win/Application.h"
#include "win/ProgramName.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <atomic>
#include <fstream>
#include <thread>

using namespace pw;

void AppInProcess::SetUp() {
    folder_ = pwtest::MakeTempFolder("pwform");
}

void AppInProcess::TearDown() {
    app_.reset();
    pwtest::RemoveTree(folder_);
}

void AppInProcess::Open(const std::string& settings, FolderShell shell, KeyboardLookups keyboard) {
    std::ofstream(Ini(), std::ios::binary) << settings;
    const std::string exe = folder_ + "\\Pathwink.exe";
    RunAtLogonKeys keys;
    keys.machineRoot = HKEY_CURRENT_USER;
    keys.machineKey = keys.userKey = "Software\\PathwinkTests\\Run";
    app_ = std::make_unique<PathwinkApp>(SettingsStore([exe] { return exe; }, keys),
                                         std::move(shell), std::move(keyboard));
    pwtest::PumpFor(100); // the rest of the start runs from the message loop
    NotifyFromTray(NIN_KEYSELECT);
}

HWND AppInProcess::Window() const {
    return pwtest::FindTopLevel(kProgramWindowClass, nullptr, GetCurrentProcessId());
}

void AppInProcess::NotifyFromTray(UINT event) const {
    SendMessageW(Window(), kTrayIconMessage, 0, MAKELPARAM(event, TrayIcon::kIconId));
}

std::vector<std::wstring> AppInProcess::TrayMenu(int downs) const {
    std::vector<std::wstring> texts;
    std::atomic<bool> done{false};
    std::thread user([&] {
        const pw::ScopeExit finished([&] { done = true; });
        HWND menu = nullptr;
        if (!pwtest::WaitUntil([&] {
                menu = pwtest::FindTopLevel("#32768", nullptr, GetCurrentProcessId());
                return menu && IsWindowVisible(menu);
            }))
            return;
        const auto shown = reinterpret_cast<HMENU>(SendMessageW(menu, MN_GETHMENU, 0, 0));
        for (int i = 0; i < GetMenuItemCount(shown); ++i) {
            const int length = GetMenuStringW(shown, i, nullptr, 0, MF_BYPOSITION);
            std::wstring text(static_cast<size_t>(length) + 1, L'\0');
            GetMenuStringW(shown, i, text.data(), length + 1, MF_BYPOSITION);
            text.resize(static_cast<size_t>(length));
            texts.push_back(GetMenuState(shown, i, MF_BYPOSITION) & MF_SEPARATOR ? L"-" : text);
        }
        for (int i = 0; i < downs; ++i)
            PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(menu, WM_KEYDOWN, downs > 0 ? VK_RETURN : VK_ESCAPE, 0);
    });
    PostMessageW(Window(), kTrayIconMessage, 0, MAKELPARAM(WM_CONTEXTMENU, TrayIcon::kIconId));
    pwtest::WaitUntil([&] { return done.load(); }, 10000); // the menu's loop runs in here
    user.join();
    pwtest::PumpFor(100); // what the choice posted
    return texts;
}

void AppInProcess::Click(HWND control, WORD code) const {
    SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), code),
                 reinterpret_cast<LPARAM>(control));
}

std::vector<std::string> AppInProcess::Rows() const {
    std::vector<std::string> rows;
    for (const std::wstring& row : pwtest::ListRows(pwtest::FindChildByClass(Window(), "ListBox"))
                                       .value_or(std::vector<std::wstring>{}))
        rows.push_back(Utf8(row));
    return rows;
}
