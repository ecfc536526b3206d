#pragma once
// The program's one owner of state: the shortcut table with its hotkey bindings,
// the options, the settings store, the main window, the shortcut editor, the tray
// icon and its menu, and the folders handed over while a flow runs. It runs every
// flow (new, edit, delete, a handed-over folder) and the close; the windows only
// show what it gives them and report what the user does.

#include "hotkey/FolderLaunch.h"
#include "main/MainWindow.h"
#include "store/Settings.h"
#include "store/ShortcutTable.h"
#include "tray/TrayIcon.h"
#include "win/UniqueHandle.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ShortcutEditor;

class PathwinkApp : public MainWindowEvents {
public:
    // Creates the main window (hidden), the editor and the tray icon, then loads
    // the options and the shortcuts and registers their hotkeys.
    explicit PathwinkApp(SettingsStore store = SettingsStore());
    ~PathwinkApp();
    PathwinkApp(const PathwinkApp&) = delete;
    PathwinkApp& operator=(const PathwinkApp&) = delete;

    MainWindow& Window() { return *window_; }
    const ShortcutTable& Table() const { return table_; }
    const Options& CurrentOptions() const { return options_; }

    // Saves, releases every hotkey and ends the message loop; a failed save throws
    // and leaves everything as it was.
    void Close();

    // The tray menu, built anew from the table; TrayMenu() is the last one built.
    void BuildTrayMenu();
    HMENU TrayMenu() const { return trayMenu_.Get(); }
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
    void OnSessionEnding() override;
    void OnQueuedFlowDue() override;

private:
    void LoadEverything();
    void SaveSettings();
    void SaveAndRelease();
    void RefreshShortcutList();
    void OpenHelpPage();

    // Flows.
    bool EditorBusy();
    bool InputPassesChecks();
    void RunNewFlow(const std::string& initialFolder);
    void PostPendingFlow();

    // Tray icon and menu.
    void ShowTrayMenu(POINT at);
    void OnTrayIconPressed();

    SettingsStore store_;
    Options options_;
    FolderLaunch launch_;
    ShortcutTable table_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ShortcutEditor> editor_;
    std::unique_ptr<TrayIcon> trayIcon_;
    UniqueMenu trayMenu_;
    std::vector<std::string> menuFolders_;  // the folder entries' paths, in menu order
    std::deque<std::string> pendingFolders_; // handed over while a flow ran
    bool closing_ = false;
};

} // namespace pw
