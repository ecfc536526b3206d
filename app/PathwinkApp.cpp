#include "app/PathwinkApp.h"

#include "dialogs/ShortcutEditor.h"
#include "hotkey/KeyNames.h"
#include "main/MainWindowIds.h"
#include "main/RowText.h"
#include "win/Application.h"
#include "win/Messages.h"
#include "win/Scoped.h"
#include "win/StartupTrace.h"
#include "win/Text.h"

#include <shellapi.h>

namespace pw {

namespace {

enum MenuId : UINT {
    kMenuConfigureShortcuts = 1,
    kMenuConfigureOptions,
    kMenuAbout,
    kMenuHelp,
    kMenuExit,
    kMenuFirstFolder = 1000,
};

void AppendItem(HMENU menu, UINT id, const std::string& text) {
    AppendMenuW(menu, MF_STRING, id, Wide(text).c_str());
}

} // namespace

PathwinkApp::PathwinkApp(SettingsStore store, FolderShell shell)
    : store_(std::move(store)), launch_(std::move(shell)),
      table_([this](HotkeyBinding& sender) { launch_.OpenBindingFolder(sender); }) {
    window_ = std::make_unique<MainWindow>(*this);
    LoadEverything();
    // The tray icon talks to the shell, which takes longer than anything above:
    // it is added as soon as the message loop runs, once every hotkey works.
    window_->PostFinishStart();
}

void PathwinkApp::OnStartFinishing() {
    if (trayIcon_)
        return;
    trayIcon_ = std::make_unique<TrayIcon>(nullptr);
    trayIcon_->SetTooltip("Pathwink");
    trayIcon_->SetMenuOwner(window_->Handle());
    trayIcon_->OnMenuRequested = [this](POINT at) { ShowTrayMenu(at); };
    trayIcon_->OnLeftButtonDown = [this] { OnTrayIconPressed(); };
    trayIcon_->Show();
    TracePhase("tray icon (after ready)");
}

PathwinkApp::~PathwinkApp() {
    trayIcon_.reset();
    table_.ReleaseAll();
    editor_.reset();
    window_.reset();
}

ShortcutEditor& PathwinkApp::Editor() {
    if (!editor_)
        editor_ = std::make_unique<ShortcutEditor>(window_->Handle());
    return *editor_;
}

void PathwinkApp::LoadEverything() {
    options_ = store_.LoadOptions();
    window_->ShowOptions(options_);
    store_.LoadShortcuts(table_); // traces the settings read and the hotkeys
    RefreshShortcutList();
    TracePhase("list");
}

void PathwinkApp::SaveSettings() {
    store_.SaveSettings(options_, table_);
}

void PathwinkApp::Close() {
    if (exiting_ || closing_)
        return;
    exiting_ = true;
    const ScopeExit notExiting([this] { exiting_ = false; });
    try {
        SaveSettings();
    } catch (const RunAtLogonError& e) {
        ReportError(e.what()); // the settings file itself is saved
    } catch (const UserError& e) {
        // A reason that stays (a folder nobody may write to, a full disk) must not
        // keep the program from ending.
        ReportError(e.what());
        if (QuestionBox("Exit Pathwink without saving?", "Pathwink") != IDYES)
            return;
    }
    closing_ = true;
    table_.ReleaseAll();
    window_->Hide();
    Application::Instance().Terminate();
}

void PathwinkApp::RefreshShortcutList() {
    std::vector<std::string> rows;
    rows.reserve(table_.Count());
    for (int i = 0; i < table_.Count(); ++i) {
        const KeyCombination key = table_.Binding(i).Key();
        rows.push_back(
            ShortcutRowText(key != 0, key ? KeyCombinationText(key) : "", table_.Path(i)));
    }
    window_->ShowShortcutRows(rows);
}

void PathwinkApp::OpenHelpPage() {
    const std::string exe = store_.ExecutablePath();
    const std::string page = exe.substr(0, exe.find_last_of("\\/") + 1) + "help\\help_index.html";
    ShellExecuteW(window_->Handle(), L"open", Wide(page).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

// ---- what the main window reports ---------------------------------------------

void PathwinkApp::OnExitClicked() {
    if (!options_.ConfirmExit || QuestionBox("Exit Pathwink?", "Confirmation") == IDYES)
        RequestClose();
}

void PathwinkApp::OnHelpClicked() {
    OpenHelpPage();
}

void PathwinkApp::OnOptionsChanged(const Options& options) {
    options_ = options;
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
    if (options_.DClickEdits) {
        OnEditClicked();
        return;
    }
    // Opened off the window thread like a hotkey's folder, but a missing folder is
    // not told here: the row is in front of the user, who can edit or delete it.
    launch_.OpenFolder(table_.Binding(row).Folder(), FolderLaunch::IfMissing::StaySilent);
}

// ---- tray icon and menu ---------------------------------------------------------

void PathwinkApp::OnTrayIconPressed() {
    window_->ShowAndActivate();
    HWND popup = GetLastActivePopup(window_->Handle());
    if (popup && popup != window_->Handle() && IsWindowVisible(popup) && IsWindowEnabled(popup))
        SetForegroundWindow(popup);
}

void PathwinkApp::BuildTrayMenu() {
    // Built anew at every opening, so folder entries never accumulate and no
    // separator ever stands first, last or doubled.
    trayMenu_.Reset(CreatePopupMenu());
    HMENU menu = trayMenu_.Get();
    menuFolders_.clear();
    for (int i = 0; i < table_.Count(); ++i) {
        const KeyCombination key = table_.Binding(i).Key();
        const std::string text =
            MenuEntryText(table_.Path(i), key ? KeyCombinationText(key) : "", key != 0);
        AppendItem(menu, kMenuFirstFolder + i, text);
        menuFolders_.push_back(table_.Path(i));
    }
    if (!menuFolders_.empty())
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kMenuConfigureShortcuts, "Configure Shortcuts");
    AppendItem(menu, kMenuConfigureOptions, "Configure Options");
    AppendItem(menu, kMenuAbout, "About Pathwink");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendItem(menu, kMenuHelp, "Help");
    AppendItem(menu, kMenuExit, "Exit Pathwink");
}

void PathwinkApp::ShowTrayMenu(POINT at) {
    BuildTrayMenu();
    const UINT chosen = TrackPopupMenuEx(
        trayMenu_.Get(), TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY, at.x, at.y,
        window_->Handle(), nullptr);
    switch (chosen) {
    case 0:
        return;
    case kMenuConfigureShortcuts:
        window_->ShowOnPage(mainform::kPageShortcuts);
        return;
    case kMenuConfigureOptions:
        window_->ShowOnPage(mainform::kPageOptions);
        return;
    case kMenuAbout:
        window_->ShowOnPage(mainform::kPageAbout);
        return;
    case kMenuHelp:
        OpenHelpPage();
        return;
    case kMenuExit:
        RequestClose();
        return;
    }
    const size_t index = chosen - kMenuFirstFolder;
    if (chosen >= kMenuFirstFolder && index < menuFolders_.size())
        OnFolderChosen(menuFolders_[index]);
}

void PathwinkApp::OnFolderChosen(const std::string& path) {
    // A copy: the entry opens what it showed, whatever happens to the table while
    // the missing-folder message is open.
    const std::string folder = path;
    launch_.OpenFolder(folder);
}

} // namespace pw
