#pragma once
// The program's one owner of state: the options, the shortcut table with its
// hotkey bindings, the settings store, the main window, the tray icon and its
// menu. It wires them, starts the program and closes it; the flows that change
// shortcuts run in ShortcutFlows, and the windows only show what they are given
// and report what the user does.

#include "app/ShortcutDisplay.h"
#include "app/ShortcutFlows.h"
#include "hotkey/AltGrCharacters.h"
#include "main/MainWindow.h"
#include "open/FolderLaunch.h"
#include "store/Settings.h"
#include "store/ShortcutTable.h"
#include "switcher/FolderSwitcher.h"
#include "tray/TrayIcon.h"
#include "tray/TrayMenu.h"

#include <memory>
#include <string>
#include <vector>

namespace pw {

class PathwinkApp : public MainWindowEvents {
public:
    // Loads the options and the shortcuts and registers their hotkeys, then creates
    // the main window (hidden, without its pages); the tray icon follows once the
    // message loop runs. shell checks and opens folders, keyboard tells what a Ctrl+Alt
    // combination types with AltGr (tests replace either).
    explicit PathwinkApp(SettingsStore store = SettingsStore(), FolderShell shell = FolderShell(),
                         KeyboardLookups keyboard = KeyboardLookups());
    PathwinkApp(const PathwinkApp&) = delete;
    PathwinkApp& operator=(const PathwinkApp&) = delete;

    MainWindow& Window() { return *window_; }
    const ShortcutTable& Table() const { return table_; }
    const Options& CurrentOptions() const { return options_; }

    // Saves, releases every hotkey and ends the message loop. When the settings
    // file cannot be written, the user is told why and asked whether to exit
    // without saving; No leaves everything as it was.
    void Close();
    // A close from the user or another program: during a flow, the flow ends as
    // if cancelled and the close follows it.
    void RequestClose();

    // Opens the New dialog for each folder in turn, after the flow that runs (and
    // the folders already waiting), or from the message loop when none runs.
    void AddFoldersInTurn(const std::vector<std::string>& folders);

    // The tray menu, built anew from the table.
    void BuildTrayMenu();
    const TrayMenu& Menu() const { return trayMenu_; }
    // A folder entry of the tray menu: opens exactly the path it showed.
    void OnFolderChosen(const std::string& path);

    // What the main window reports (public for the tests that drive it in-process).
    void OnNewClicked() override;
    void OnEditClicked() override;
    void OnDeleteClicked() override;
    void OnListDoubleClicked() override;
    void OnExitClicked() override;
    void OnHelpClicked() override;
    void OnOptionsChanged(const Options& options) override;
    void OnCloseRequested() override;
    void OnFolderHandedOver(const std::string& folder) override;
    void OnPathsDropped(const std::vector<std::string>& paths) override;
    void OnSessionEnding() override;
    void OnQueuedFlowDue() override;
    void OnStartFinishing() override;
    void OnWindowOpening() override;
    void OnPagesMade() override;
    void OnHotkeysMayBeFree() override;
    void OnShowAllFoldersKeyTyped(KeyCombination key) override;
    void OnRowActionChosen(RowAction action) override;

private:
    // The folder switcher: shown at the pointer, or closed when it shows. inFront is
    // the window that was in front when the user asked.
    void ToggleFolderSwitcher(HWND inFront);
    void SaveSettings();
    // Shows the table in the list and the count of inactive shortcuts in the tooltip.
    void RefreshShortcutList();
    // True (and what the flow or the close shows brought forward) while either runs.
    bool BusyBringingItForward();
    void ShowTrayMenu(POINT at);
    void OnTrayIconSelected();
    // Asks the system again for every refused combination; true when one is active now.
    bool RetryRefusedKeys();
    void ShowAllFoldersKeyOnPage();

    SettingsStore store_;
    KeyboardLookups keyboard_;
    Options options_;
    FolderLaunch launch_;
    ShortcutTable table_;
    ShortcutDisplay display_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ShortcutFlows> flows_;
    std::unique_ptr<TrayIcon> trayIcon_;
    HotkeyBinding showAllFoldersKey_;
    std::unique_ptr<FolderSwitcher> switcher_;
    TrayMenu trayMenu_;
    std::vector<std::string> shownRows_; // what the list shows
    bool menuOpen_ = false;              // the tray menu's loop runs
    bool exiting_ = false;               // the close is saving or asking
    bool closing_ = false;               // the close is done: the message loop ends
};

} // namespace pw
