#include "app/PathwinkApp.h"

#include "app/CommandLine.h"
#include "main/MainWindowIds.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <shellapi.h>

#include <optional>

namespace pw {

namespace {

// The folder goes where the user worked when its key was pressed (the window in
// front then), unless the option sends every folder to a new window.
std::optional<HWND> WhereToOpen(const Options& options, HWND inFront) {
    return options.openInFront ? std::optional<HWND>(inFront) : std::nullopt;
}

} // namespace

PathwinkApp::PathwinkApp(SettingsStore store, FolderShell shell, KeyboardLookups keyboard)
    : store_(std::move(store)), keyboard_(std::move(keyboard)),
      table_([this](const std::string& folder) {
          // Taken now: by the time the launch runs, the folder's own window may be in front.
          launch_->OpenFolder(folder, FolderLaunch::IfMissing::Tell,
                              WhereToOpen(options_, GetForegroundWindow()));
      }),
      display_(table_, options_, keyboard_),
      switcherKey_(
          table_, display_,
          [this](const std::string& path, HWND inFront, FolderSwitcher::OpenIn where) {
              if (where == FolderSwitcher::OpenIn::Terminal)
                  return launch_->OpenInTerminal(path, options_.terminal);
              launch_->OpenFolder(path, FolderLaunch::IfMissing::Tell,
                                  where == FolderSwitcher::OpenIn::NewWindow
                                      ? std::nullopt
                                      : WhereToOpen(options_, inFront));
          },
          [this] { return MenuOpen(); }) {
    options_ = store_.LoadOptions();
    for (const StoredShortcut& stored : store_.LoadShortcuts())
        table_.AddStored(stored);
    // After the shortcuts: a combination both claim stays the folder's, as before.
    switcherKey_.Load(options_.showAllFoldersKey);
    TracePhase("hotkeys");
    // No key needs the program's window: it follows once every key works.
    window_ = std::make_unique<ProgramWindow>(static_cast<ProgramEvents&>(*this));
    launch_ = std::make_unique<FolderLaunch>(window_->Handle(), std::move(shell));
    tray_ = std::make_unique<ProgramTray>(window_->Handle(), display_, switcherKey_.Binding());
    flows_ = std::make_unique<ShortcutFlows>(table_, options_, keyboard_, *window_,
                                             [this](auto change) { OnTableChanged(change); });
    pages_ = std::make_unique<ConfigurationPages>(*window_, table_, display_, options_, keyboard_,
                                                  *launch_, switcherKey_, *flows_,
                                                  static_cast<PagesRequests&>(*this));
    // The tray icon talks to the shell, which takes longer than anything above:
    // it is added as soon as the message loop runs, once every hotkey works.
    window_->PostFinishStart();
}

void PathwinkApp::OnTableChanged(ShortcutFlows::Change change) {
    if (change == ShortcutFlows::Change::Edited && pages_->Made())
        pages_->Made()->ClearSelection();
    switcherKey_.Retry();  // a deleted or changed shortcut may have freed its key
    RefreshShortcutList(); // the list shows the table as it now is, saved or not
    SaveSettings();
}

void PathwinkApp::OnStartFinishing() {
    if (tray_->Shown())
        return;
    tray_->OnSelected = [this] {
        if (MainWindow* pages = pages_->Show()) {
            pages->ShowAndActivate();
            BringOwnedPopupForward(window_->Handle());
        }
    };
    tray_->OnNoticeClicked = [this] { pages_->ShowOnPage(mainwindow::kPageShortcuts); };
    tray_->BeforeMenu = [this] { OnHotkeysMayBeFree(); }; // the menu shows what works now
    tray_->OnChosen = [this](const TrayMenu::Choice& choice) { OnTrayMenuChoice(choice); };
    tray_->Show();
    window_->ServeTray(tray_->Icon());
    window_->WatchSessionChanges();
    // Common Controls is loaded now, rather than at the first window that needs it:
    // under Wine, loading it inside the switcher's key press left the switcher unable
    // to give the focus back. A failure is told when a window needs it.
    LoadOnDemand(kCommonControlsLibrary, nullptr);
    TracePhase("tray icon (after ready)");
}

void PathwinkApp::ShowAtStartup(int showCommand) {
    if (MainWindow* pages = pages_->Show())
        pages->ShowAtStartup(showCommand);
}

void PathwinkApp::SaveSettings() {
    store_.SaveSettings(options_, table_.Stored());
}

void PathwinkApp::Close() {
    if (exiting_ || closing_)
        return;
    exiting_ = true;
    const ScopeExit notExiting([this] { exiting_ = false; });
    flows_->CloseStarting();
    if (!flows_->Queued().empty()) {
        // Each of these was handed over with a promise of its dialog.
        if (QuestionBox(WaitingFoldersQuestion(flows_->Queued()), kProgramName) != IDYES) {
            window_->PostQueuedFlow();
            return;
        }
    }
    try {
        SaveSettings();
    } catch (const RunAtLogonError& e) {
        ReportError(e.what()); // the settings file itself is saved
    } catch (const UserError& e) {
        // A reason that stays (a folder nobody may write to, a full disk) must not
        // keep the program from ending.
        ReportError(e.what());
        if (QuestionBox("Exit " PATHWINK_NAME " without saving?", kProgramName) != IDYES)
            return;
    }
    closing_ = true;
    table_.ReleaseAll();
    ShowWindow(window_->Handle(), SW_HIDE);
    Application::Instance().Terminate();
}

void PathwinkApp::RequestClose() {
    if (exiting_ || closing_)
        return;
    if (flows_->Running())
        flows_->CancelForClose();
    else
        Close();
}

bool PathwinkApp::MenuOpen() const {
    // A dialog opened inside a menu's loop would stay behind the menu.
    return tray_->MenuOpen() || pages_->MenuOpen();
}

bool PathwinkApp::BusyBringingItForward() {
    if (MenuOpen())
        return true;
    if (!flows_->Running() && !flows_->CloseWaits() && !exiting_)
        return false;
    flows_->BringForward();
    return true;
}

void PathwinkApp::RefreshShortcutList() {
    tray_->RefreshTooltip();
    pages_->RefreshRows();
}

void PathwinkApp::OpenHelp() {
    if (!EnterComOnThisThread("open its help page"))
        return;
    const std::string exe = store_.ExecutablePath();
    const std::string page = exe.substr(0, exe.find_last_of("\\/") + 1) + "help\\help_index.html";
    ShellExecuteW(window_->Handle(), L"open", Wide(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void PathwinkApp::AddFoldersInTurn(const std::vector<std::string>& folders) {
    if (folders.empty())
        return;
    BusyBringingItForward();
    flows_->Enqueue(folders);
}

void PathwinkApp::OnFolderHandedOver(const std::string& folder) {
    if (BusyBringingItForward())
        flows_->Enqueue({folder});
    else
        flows_->NewShortcut(folder);
}

void PathwinkApp::OnPathsDropped(const std::vector<std::string>& paths) {
    // Dropped folders get the same one-at-a-time dialogs as handed-over ones; a
    // dropped file stands for the folder that holds it.
    AddFoldersInTurn(FoldersOfDrop(paths, IsExistingFile));
}

void PathwinkApp::OnQueuedFlowDue() {
    if (!exiting_ && !MenuOpen())
        flows_->RunNextQueued();
}

void PathwinkApp::OnHotkeysMayBeFree() {
    if (RetryRefusedKeys())
        RefreshShortcutList();
}

bool PathwinkApp::RetryRefusedKeys() {
    const bool switcherActive = switcherKey_.Retry();
    switcherKey_.ShowOn(pages_->Made());
    const bool shortcutsActive = table_.RetryRefused() > 0;
    return shortcutsActive || switcherActive;
}

void PathwinkApp::OnSessionEnding() {
    // An option changed since the last save would be lost with the logon.
    if (closing_)
        return;
    try {
        SaveSettings();
    } catch (const std::exception&) {
        // Nothing can be shown while the logon ends; the last saved file stays intact.
    }
}

void PathwinkApp::OnTrayMenuChoice(const TrayMenu::Choice& choice) {
    // Folders handed over while the menu was open get their dialogs now.
    window_->PostQueuedFlow();
    switch (choice.command) {
    case TrayMenu::Command::None:
        return;
    case TrayMenu::Command::ConfigureShortcuts:
        return pages_->ShowOnPage(mainwindow::kPageShortcuts);
    case TrayMenu::Command::ConfigureOptions:
        return pages_->ShowOnPage(mainwindow::kPageOptions);
    case TrayMenu::Command::About:
        return pages_->ShowOnPage(mainwindow::kPageAbout);
    case TrayMenu::Command::Help:
        return OpenHelp();
    case TrayMenu::Command::Exit:
        return RequestClose();
    case TrayMenu::Command::OpenFolder:
        // The window in front is the taskbar or Pathwink's own: a new window, as from the list.
        return launch_->OpenFolder(choice.folder);
    case TrayMenu::Command::OpenFolderInTerminal:
        return launch_->OpenInTerminal(choice.folder, options_.terminal);
    case TrayMenu::Command::ShowAllFolders:
        // The menu was in front: nothing to give the focus back to.
        return switcherKey_.Toggle(nullptr);
    }
}

} // namespace pw
