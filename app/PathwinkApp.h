#pragma once
// The program's one owner of state: the shortcut table with its hotkey bindings,
// the options, the settings store, the main window, the shortcut editor, the tray
// icon and its menu, and the folders handed over while a flow runs. It runs every
// flow (new, edit, delete, a handed-over folder) and the close; the windows only
// show what it gives them and report what the user does.

#include "hotkey/AltGrCharacters.h"
#include "hotkey/FolderLaunch.h"
#include "main/MainWindow.h"
#include "main/RowText.h"
#include "store/Settings.h"
#include "store/ShortcutTable.h"
#include "tray/TrayIcon.h"
#include "win/UniqueHandle.h"

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ShortcutEditor;

class PathwinkApp : public MainWindowEvents {
public:
    // Creates the main window (hidden) and the tray icon, then loads the options
    // and the shortcuts and registers their hotkeys. The editor is made when it is
    // first needed. shell checks and opens folders (tests replace it).
    // keyboard tells what a Ctrl+Alt combination types with AltGr (tests replace it).
    explicit PathwinkApp(SettingsStore store = SettingsStore(), FolderShell shell = FolderShell(),
                         KeyboardLookups keyboard = KeyboardLookups());
    ~PathwinkApp();
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
    void OnPathsDropped(const std::vector<std::string>& paths) override;
    void OnSessionEnding() override;
    void OnQueuedFlowDue() override;
    void OnStartFinishing() override;
    void OnWindowOpening() override;
    void OnHotkeysMayBeFree() override;

private:
    void LoadEverything();
    ShortcutEditor& Editor();
    void SaveSettings();
    // Shows the table in the list (with each key's marks) and the count of inactive
    // shortcuts in the tray icon's tooltip.
    void RefreshShortcutList();
    // Registers refused hotkeys again; the list and the tooltip follow any success.
    void RetryInactiveShortcuts();
    KeyMarks MarksOf(int index, const std::vector<HKL>& layouts) const;
    void OpenHelpPage();

    // Flows: one at a time, from start to end.
    void RunFlow(const std::function<void()>& body);
    void EndFlow();
    bool FlowCancelled() const;
    // True (and the flow's window brought forward) while a flow or the exit runs.
    bool BusyBringingItForward();
    bool InputPassesChecks();
    void NewFlow(const std::string& initialFolder);
    void EditFlow();

    // Tray icon and menu.
    void ShowTrayMenu(POINT at);
    void OnTrayIconPressed();

    SettingsStore store_;
    KeyboardLookups keyboard_;
    Options options_;
    FolderLaunch launch_;
    ShortcutTable table_;
    std::unique_ptr<MainWindow> window_;
    std::unique_ptr<ShortcutEditor> editor_;
    std::unique_ptr<TrayIcon> trayIcon_;
    UniqueMenu trayMenu_;
    std::vector<std::string> menuFolders_;   // the folder entries' paths, in menu order
    std::deque<std::string> pendingFolders_; // handed over while a flow ran, or dropped
    bool flowRunning_ = false;
    bool closeRequested_ = false;        // during a flow: close once it has ended
    bool exiting_ = false;               // the close is saving or asking
    bool closing_ = false;               // the close is done: the message loop ends
    std::vector<std::string> shownRows_; // what the list shows
};

} // namespace pw
