#include "app/PathwinkApp.h"

#include "app/CommandLine.h"
#include "app/KeyChecks.h"
#include "main/MainWindowIds.h"
#include "win/Application.h"
#include "win/Clipboard.h"
#include "win/Messages.h"
#include "win/OnDemandLibrary.h"
#include "win/Scoped.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <shellapi.h>

namespace pw {

PathwinkApp::PathwinkApp(SettingsStore store, FolderShell shell, KeyboardLookups keyboard)
    : store_(std::move(store)), keyboard_(std::move(keyboard)), launch_(std::move(shell)),
      table_([this](const std::string& folder) {
          // Where the user works is the window in front at the key press, taken now:
          // by the time the launch runs, the folder's own window may be in front.
          launch_.OpenFolder(folder, FolderLaunch::IfMissing::Tell,
                             options_.openInFront ? std::optional<HWND>(GetForegroundWindow())
                                                  : std::nullopt);
      }),
      display_(table_, options_, keyboard_) {
    options_ = store_.LoadOptions();
    for (const StoredShortcut& stored : store_.LoadShortcuts())
        table_.AddStored(stored);
    // After the shortcuts: a combination both claim stays the folder's, as before.
    showAllFoldersKey_.OnPressed = [this] { ToggleFolderSwitcher(GetForegroundWindow()); };
    showAllFoldersKey_.SetKey(options_.showAllFoldersKey);
    TracePhase("hotkeys");
    // No key needs the main window: it follows once every key works.
    window_ = std::make_unique<MainWindow>(*this);
    flows_ = std::make_unique<ShortcutFlows>(table_, options_, keyboard_, *window_, [this] {
        showAllFoldersKey_.Retry(); // a deleted or changed shortcut may have freed its key
        ShowAllFoldersKeyOnPage();
        RefreshShortcutList(); // the list shows the table as it now is, saved or not
        SaveSettings();
    });
    // The tray icon talks to the shell, which takes longer than anything above:
    // it is added as soon as the message loop runs, once every hotkey works.
    window_->PostFinishStart();
}

void PathwinkApp::OnStartFinishing() {
    if (trayIcon_)
        return;
    trayIcon_ = std::make_unique<TrayIcon>();
    trayIcon_->SetTooltip(display_.Tooltip());
    trayIcon_->SetMenuOwner(window_->Handle());
    trayIcon_->OnMenuRequested = [this](POINT at) { ShowTrayMenu(at); };
    trayIcon_->OnSelected = [this] { OnTrayIconSelected(); };
    trayIcon_->OnNotificationClicked = [this] { window_->ShowOnPage(mainwindow::kPageShortcuts); };
    const int inactive = table_.RefusedCount();
    if (inactive > 0) // said once per start, as soon as the icon is there to say it
        trayIcon_->ShowNotification(InactiveNoticeTitle(inactive),
                                    InactiveNoticeText(display_.InactiveShortcuts()));
    trayIcon_->Show();
    window_->WatchSessionChanges();
    // Common Controls is loaded now, rather than at the first window that needs it:
    // under Wine, loading it inside the switcher's key press left the switcher unable
    // to give the focus back. A failure is told when a window needs it.
    LoadOnDemand(kCommonControlsLibrary, nullptr);
    TracePhase("tray icon (after ready)");
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
        if (QuestionBox("Exit Pathwink without saving?", kProgramName) != IDYES)
            return;
    }
    closing_ = true;
    table_.ReleaseAll();
    window_->Hide();
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

bool PathwinkApp::BusyBringingItForward() {
    // A dialog opened inside the tray menu's loop would stay behind the menu.
    if (menuOpen_)
        return true;
    if (!flows_->Running() && !flows_->CloseWaits() && !exiting_)
        return false;
    flows_->BringForward();
    return true;
}

void PathwinkApp::OnPagesMade() {
    window_->ShowOptions(options_);
    ShowAllFoldersKeyOnPage();
    shownRows_.clear();
    RefreshShortcutList();
}

void PathwinkApp::RefreshShortcutList() {
    if (trayIcon_)
        trayIcon_->SetTooltip(display_.Tooltip());
    if (!window_->HasPages())
        return; // the rows are made when the window first shows
    std::vector<std::string> rows = display_.ListRows();
    // Unchanged rows are not filled again, which would lose the list's scroll position.
    if (rows != shownRows_ || rows.empty()) {
        window_->ShowShortcutRows(rows);
        shownRows_ = std::move(rows);
    }
}

void PathwinkApp::OnHelpClicked() {
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

void PathwinkApp::OnNewClicked() {
    if (!BusyBringingItForward())
        flows_->NewShortcut("");
}

void PathwinkApp::OnEditClicked() {
    if (!BusyBringingItForward())
        flows_->EditSelected();
}

void PathwinkApp::OnDeleteClicked() {
    if (!BusyBringingItForward())
        flows_->DeleteSelected();
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
    if (!exiting_ && !menuOpen_)
        flows_->RunNextQueued();
}

void PathwinkApp::OnExitClicked() {
    if (!options_.confirmExit || QuestionBox("Exit Pathwink?", "Confirmation") == IDYES)
        RequestClose();
}

void PathwinkApp::OnOptionsChanged(const Options& options) {
    const bool marksChange = options.warnOfAltGr != options_.warnOfAltGr;
    const KeyCombination showAllFolders = options_.showAllFoldersKey; // not a check box
    options_ = options;
    options_.showAllFoldersKey = showAllFolders;
    if (marksChange)
        RefreshShortcutList();
}

void PathwinkApp::OnWindowOpening() {
    // The user looks now: the rows say what works at this moment (a layout added since
    // may also have changed what a combination types).
    RetryRefusedKeys();
    RefreshShortcutList();
}

void PathwinkApp::OnHotkeysMayBeFree() {
    if (RetryRefusedKeys())
        RefreshShortcutList();
}

bool PathwinkApp::RetryRefusedKeys() {
    const bool switcherWasRefused = showAllFoldersKey_.Refused();
    showAllFoldersKey_.Retry();
    ShowAllFoldersKeyOnPage();
    const bool shortcutsActive = table_.RetryRefused() > 0;
    return shortcutsActive || (switcherWasRefused && !showAllFoldersKey_.Refused());
}

void PathwinkApp::ShowAllFoldersKeyOnPage() {
    window_->ShowAllFoldersKey(showAllFoldersKey_.Key(), showAllFoldersKey_.Refused());
}

void PathwinkApp::OnShowAllFoldersKeyTyped(KeyCombination key) {
    const KeyCombination oldKey = showAllFoldersKey_.Key();
    // The questions and the message of a shortcut's key; No keeps the old key.
    if (key != 0 && !KeyPassesQuestions(key, options_, keyboard_, "shows all folders",
                                        [] { return Application::Instance().Terminated(); })) {
        ShowAllFoldersKeyOnPage();
        return;
    }
    showAllFoldersKey_.SetKey(key);
    showAllFoldersKey_.Retry(); // the same key, refused at start-up, may be free by now
    if (key != 0 && !showAllFoldersKey_.Registered()) {
        showAllFoldersKey_.SetKey(oldKey);
        ShowAllFoldersKeyOnPage();
        PlainMessage(kRegistrationFailedText);
        return;
    }
    if (key != oldKey)
        table_.RetryRefused(); // the old key may be what an inactive shortcut waited for
    options_.showAllFoldersKey = key;
    ShowAllFoldersKeyOnPage();
    SaveSettings();
}

void PathwinkApp::ToggleFolderSwitcher(HWND inFront) {
    // A switcher opened inside the tray menu's loop would stay behind the menu.
    if (menuOpen_)
        return;
    if (switcher_ && switcher_->Showing()) {
        switcher_->Dismiss();
        return;
    }
    if (!switcher_) {
        if (!LoadOnDemand(kCommonControlsLibrary, "show all folders"))
            return;
        switcher_ = std::make_unique<FolderSwitcher>();
        // The folder goes where the user worked when the switcher's key was pressed,
        // by the same rule and option as a folder's own key.
        switcher_->OnChosen = [this](const std::string& path, HWND chosenInFront,
                                     FolderSwitcher::OpenIn where) {
            if (where == FolderSwitcher::OpenIn::Terminal)
                return launch_.OpenInTerminal(path, options_.terminal);
            const bool inFront =
                where == FolderSwitcher::OpenIn::WindowInFront && options_.openInFront;
            launch_.OpenFolder(path, FolderLaunch::IfMissing::Tell,
                               inFront ? std::optional<HWND>(chosenInFront) : std::nullopt);
        };
    }
    std::vector<std::string> paths;
    paths.reserve(static_cast<std::size_t>(table_.Count()));
    for (int i = 0; i < table_.Count(); ++i)
        paths.push_back(table_.Path(i));
    switcher_->Show(display_.ListRows(), std::move(paths), inFront);
}

void PathwinkApp::OnCloseRequested() {
    RequestClose();
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

void PathwinkApp::OnListDoubleClicked() {
    const int row = window_->SelectedRow();
    if (row < 0 || row >= table_.Count())
        return;
    if (options_.doubleClickEdits) {
        OnEditClicked();
        return;
    }
    // Opened off the window thread like a hotkey's folder, but a missing folder is
    // not told here: the row is in front of the user, who can edit or delete it.
    launch_.OpenFolder(table_.Path(row), FolderLaunch::IfMissing::StaySilent);
}

void PathwinkApp::OnTrayIconSelected() {
    window_->ShowAndActivate();
    BringOwnedPopupForward(window_->Handle());
}

void PathwinkApp::BuildTrayMenu() {
    trayMenu_.Build(display_.MenuEntries(), display_.ShowAllFoldersEntry(showAllFoldersKey_));
}

void PathwinkApp::ShowTrayMenu(POINT at) {
    OnHotkeysMayBeFree(); // the menu shows what works at this moment
    BuildTrayMenu();
    menuOpen_ = true;
    const TrayMenu::Choice choice = trayMenu_.Show(window_->Handle(), at);
    menuOpen_ = false;
    // Folders handed over while the menu was open get their dialogs now.
    window_->PostQueuedFlow();
    switch (choice.command) {
    case TrayMenu::Command::None:
        return;
    case TrayMenu::Command::ConfigureShortcuts:
        window_->ShowOnPage(mainwindow::kPageShortcuts);
        return;
    case TrayMenu::Command::ConfigureOptions:
        window_->ShowOnPage(mainwindow::kPageOptions);
        return;
    case TrayMenu::Command::About:
        window_->ShowOnPage(mainwindow::kPageAbout);
        return;
    case TrayMenu::Command::Help:
        OnHelpClicked();
        return;
    case TrayMenu::Command::Exit:
        RequestClose();
        return;
    case TrayMenu::Command::OpenFolder:
        OnFolderChosen(choice.folder);
        return;
    case TrayMenu::Command::OpenFolderInTerminal:
        launch_.OpenInTerminal(choice.folder, options_.terminal);
        return;
    case TrayMenu::Command::ShowAllFolders:
        ToggleFolderSwitcher(nullptr); // the menu was in front: nothing to give the focus back to
        return;
    }
}

void PathwinkApp::OnFolderChosen(const std::string& path) {
    // The window in front is the taskbar or Pathwink's own: a new window, as from the list.
    launch_.OpenFolder(path);
}

void PathwinkApp::OnRowActionChosen(RowAction action) {
    const int row = window_->SelectedRow();
    if (row < 0 || row >= table_.Count())
        return;
    switch (action) {
    case RowAction::Open:
        launch_.OpenFolder(table_.Path(row)); // chosen by name: a missing folder is told
        return;
    case RowAction::OpenInTerminal:
        launch_.OpenInTerminal(table_.Path(row), options_.terminal);
        return;
    case RowAction::CopyPath:
        CopyToClipboard(window_->Handle(), table_.Path(row));
        return;
    }
}

} // namespace pw
