#pragma once
// The program's one owner of state: the options, the shortcut table with its
// hotkey bindings, the settings store, the program's window, the configuration
// pages, the tray. It wires them, starts the program and closes it; the flows that
// change shortcuts run in ShortcutFlows, the pages' requests in ConfigurationPages,
// the switcher and its key in SwitcherKey, and the windows show what they are given
// and report what the user does.

#include "app/ConfigurationPages.h"
#include "app/ProgramTray.h"
#include "app/ProgramWindow.h"
#include "app/ShortcutDisplay.h"
#include "app/ShortcutFlows.h"
#include "app/SwitcherKey.h"
#include "hotkey/AltGrCharacters.h"
#include "open/FolderLaunch.h"
#include "store/Settings.h"
#include "store/ShortcutTable.h"

#include <memory>
#include <string>
#include <vector>

namespace pw {

class PathwinkApp : private ProgramEvents, private PagesRequests {
public:
    // Loads the options and the shortcuts and registers their hotkeys, then creates the
    // program's window (hidden, without pages); the tray icon follows from the message
    // loop. shell opens folders, keyboard tells what Ctrl+Alt combinations type with AltGr.
    explicit PathwinkApp(SettingsStore store = SettingsStore(), FolderShell shell = FolderShell(),
                         KeyboardLookups keyboard = KeyboardLookups());
    PathwinkApp(const PathwinkApp&) = delete;
    PathwinkApp& operator=(const PathwinkApp&) = delete;

    // The first showing of the pages, honouring the process's show command.
    void ShowAtStartup(int showCommand);
    // Opens the New dialog for each folder in turn, after the flow that runs (and
    // the folders already waiting), or from the message loop when none runs.
    void AddFoldersInTurn(const std::vector<std::string>& folders);

private:
    // Saves, releases every hotkey and ends the message loop; a save that fails asks
    // whether to exit without saving (No leaves everything as it was).
    void Close();
    void OnTableChanged(ShortcutFlows::Change change);
    // The tray menu's or the list's menu's loop runs.
    bool MenuOpen() const;
    void OnTrayMenuChoice(const TrayMenu::Choice& choice);

    // What the program's window hands on.
    void OnCloseRequested() override { RequestClose(); }
    void OnFolderHandedOver(const std::string& folder) override;
    void OnPathsDropped(const std::vector<std::string>& paths) override;
    void OnSessionEnding() override;
    void OnQueuedFlowDue() override;
    void OnStartFinishing() override;
    void OnHotkeysMayBeFree() override;
    void OnLaunchDone(WPARAM number) override { launch_->OnLaunchDone(number); }

    // What the pages ask for.
    bool BusyBringingItForward() override;
    // A close from the user or another program: a running flow ends as if cancelled first.
    void RequestClose() override;
    void SaveSettings() override;
    void OpenHelp() override;
    bool RetryRefusedKeys() override;
    void RefreshShortcutList() override;

    SettingsStore store_;
    KeyboardLookups keyboard_;
    Options options_;
    ShortcutTable table_;
    ShortcutDisplay display_;
    SwitcherKey switcherKey_;
    std::unique_ptr<ProgramWindow> window_;
    std::unique_ptr<FolderLaunch> launch_; // tells its results through the program's window
    std::unique_ptr<ShortcutFlows> flows_;
    std::unique_ptr<ConfigurationPages> pages_;
    std::unique_ptr<ProgramTray> tray_;
    bool exiting_ = false; // the close is saving or asking
    bool closing_ = false; // the close is done: the message loop ends
};

} // namespace pw
