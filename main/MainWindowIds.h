#pragma once
// Control ids of the main window; the layout table itself is in MainForm.cpp.

namespace pw::mainform {

enum ControlId : int {
    // Tab pages: containers made by the window, holding the page controls.
    idShortcutsPage = 10, // "Folder Shortcuts"
    idOptionsPage = 11, // "Options"
    idAboutPage = 12, // "About"

    idTabs = 100,
    idStatusLabel,
    idHelpButton, // "Help"
    idExitButton, // "Exit"
    idTrayButton, // "Tray"

    idNewButton = 200,
    idEditButton,
    idDeleteButton,
    idShortcutList,

    idWarnWeakKeyBox = 300,
    idConfirmExitBox,
    idDoubleClickEditsBox,
    idRunAtLogonBox,

    idTitleLabel = 400,
    idVersionLabel,
    idVisitLabel,
    idWebsiteLink,
    idMailLink,
    idCopyrightLabel,
};

// Posted to the window to start the flow of a folder handed over during another flow.
constexpr unsigned kRunQueuedFlow = 0x8000 + 1; // WM_APP + 1

constexpr int kPageCount = 3;
constexpr int kPageShortcuts = 0;
constexpr int kPageOptions = 1;
constexpr int kPageAbout = 2;

// Client area at 96 DPI.
constexpr int kClientWidth = 457;
constexpr int kClientHeight = 277;

} // namespace pw::mainform
