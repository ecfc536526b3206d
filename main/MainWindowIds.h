#pragma once
// Control ids and pages of the main window; the layout table itself is in MainWindow.cpp.

namespace pw::mainwindow {

enum ControlId : int {
    // Tab pages: containers made by the window, holding the page controls.
    idShortcutsPage = 10,
    idOptionsPage = 11,
    idAboutPage = 12,

    idTabs = 100,
    idStatusLabel,
    idHelpButton,
    idExitButton,
    idTrayButton,

    idNewButton = 200,
    idEditButton,
    idDeleteButton,
    idShortcutList,

    idWarnWeakKeyBox = 300,
    idConfirmExitBox,
    idDoubleClickEditsBox,
    idRunAtLogonBox,
    idWarnAltGrBox,
    idOpenInFrontBox,

    // The key that shows all folders, on the Options page.
    idShowAllFoldersLabel = 350,
    idShowAllFoldersField,
    idShowAllFoldersState,
    // The terminal that folders open in.
    idTerminalLabel,
    idTerminalBox,

    idTitleLabel = 400,
    idVersionLabel,
    idVisitLabel,
    idWebsiteLink,
    idMailLink,
    idCopyrightLabel,
};

constexpr int kPageCount = 3;
constexpr int kPageShortcuts = 0;
constexpr int kPageOptions = 1;
constexpr int kPageAbout = 2;

// Client area at 96 DPI.
constexpr int kClientWidth = 457;
constexpr int kClientHeight = 277;

} // namespace pw::mainwindow
