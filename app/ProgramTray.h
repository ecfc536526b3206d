#pragma once
// The tray icon and its menu as the program shows them: the icon, served by the
// program's window, with the tooltip and the one-time notice of inactive shortcuts,
// and the menu built anew from the table at each opening, whose choice is handed on.

#include "app/ShortcutDisplay.h"
#include "tray/TrayIcon.h"
#include "tray/TrayMenu.h"

#include <functional>
#include <memory>

namespace pw {

class HotkeyBinding;

class ProgramTray {
public:
    ProgramTray(HWND window, const ShortcutDisplay& display, const HotkeyBinding& switcherKey)
        : window_(window), display_(display), switcherKey_(switcherKey) {}

    // Adds the icon with the tooltip, and says once which shortcuts are inactive.
    void Show();
    bool Shown() const { return icon_ != nullptr; }
    void RefreshTooltip();
    // The window's messages for the icon (see TrayIcon::HandleWindowMessage).
    TrayIcon* Icon() { return icon_.get(); }
    // The menu's loop runs: nothing may open behind it.
    bool MenuOpen() const { return menuOpen_; }

    std::function<void()> OnSelected, OnNoticeClicked;
    // Before the menu is built (what it shows is made current), and its choice after it closed.
    std::function<void()> BeforeMenu;
    std::function<void(const TrayMenu::Choice&)> OnChosen;

private:
    HWND window_;
    const ShortcutDisplay& display_;
    const HotkeyBinding& switcherKey_;
    std::unique_ptr<TrayIcon> icon_;
    TrayMenu menu_;
    bool menuOpen_ = false;
};

} // namespace pw
