#pragma once
// Control ids of the main window; the layout table itself is in MainForm.cpp.

namespace pw::mainform {

enum ControlId : int {
    // Tab pages: containers made by the window, holding the page controls.
    idTabSheet4 = 10, // "Folder Shortcuts"
    idTabSheet5 = 11, // "Options"
    idTabSheet6 = 12, // "About"

    idPageControl1 = 100,
    idLabelStatus,
    idButton3, // "Help"
    idButton2, // "Exit"
    idButton1, // "Tray"

    idButtonNew = 200,
    idButtonEdit,
    idButtonDelete,
    idTabbedListBox1,

    idCheckBoxWeakWarn = 300,
    idCheckBoxConfirmExit,
    idCheckBoxDClickEdit,
    idCheckBoxRunOnStarup,

    idLabel1 = 400,
    idLabel2,
    idLabel4,
    idURLLabel1,
    idURLLabel2,
    idLabel3,
};

// Posted to the window to start the flow of a folder handed over during another flow.
constexpr unsigned kStartPendingFlow = 0x8000 + 1; // WM_APP + 1

constexpr int kPageCount = 3;
constexpr int kPageShortcuts = 0;
constexpr int kPageOptions = 1;
constexpr int kPageAbout = 2;

// Client area at 96 DPI.
constexpr int kClientWidth = 457;
constexpr int kClientHeight = 277;

} // namespace pw::mainform
