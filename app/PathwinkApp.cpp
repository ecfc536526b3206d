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

#include <set>

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

PathwinkApp::PathwinkApp(SettingsStore store, FolderShell shell, KeyboardLookups keyboard)
    : store_(std::move(store)), keyboard_(std::move(keyboard)), launch_(std::move(shell)),
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
    trayIcon_ = std::make_unique<TrayIcon>();
    const int inactive = table_.RefusedCount();
    trayIcon_->SetTooltip(TrayTooltipText(inactive));
    trayIcon_->SetMenuOwner(window_->Handle());
    trayIcon_->OnMenuRequested = [this](POINT at) { ShowTrayMenu(at); };
    trayIcon_->OnSelected = [this] { OnTrayIconPressed(); };
    trayIcon_->OnNotificationClicked = [this] { window_->ShowOnPage(mainform::kPageShortcuts); };
    if (inactive > 0) {
        // Said once per start, as soon as the icon is there to say it.
        std::set<KeyCombination> heldHere;
        for (int i = 0; i < table_.Count(); ++i)
            if (table_.Binding(i).Registered())
                heldHere.insert(table_.Binding(i).Key());
        std::vector<InactiveShortcut> shortcuts;
        for (int i = 0; i < table_.Count(); ++i) {
            const KeyCombination key = table_.Binding(i).Key();
            if (table_.Binding(i).Refused())
                shortcuts.push_back(
                    {KeyCombinationText(key), table_.Path(i), heldHere.count(key) > 0});
        }
        trayIcon_->ShowNotification(InactiveNoticeTitle(inactive), InactiveNoticeText(shortcuts));
    }
    trayIcon_->Show();
    window_->WatchSessionChanges();
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

KeyMarks PathwinkApp::MarksOf(int index, const std::vector<HKL>& layouts) const {
    const HotkeyBinding& binding = table_.Binding(index);
    KeyMarks marks;
    marks.inactive = binding.Refused();
    if (!marks.inactive && binding.Key() != 0 && options_.WarnAltGr)
        if (const auto typed = keyboard_.CharacterOf(binding.Key(), layouts))
            marks.altGrCharacter = typed->character;
    return marks;
}

void PathwinkApp::RefreshShortcutList() {
    const std::vector<HKL> layouts = options_.WarnAltGr ? keyboard_.layouts() : std::vector<HKL>();
    std::vector<std::string> rows;
    rows.reserve(table_.Count());
    for (int i = 0; i < table_.Count(); ++i) {
        const KeyCombination key = table_.Binding(i).Key();
        const std::string keyText =
            key ? MarkedKeyText(KeyCombinationText(key), MarksOf(i, layouts)) : "";
        rows.push_back(ShortcutRowText(key != 0, keyText, table_.Path(i)));
    }
    // Unchanged rows are not filled again, which would lose the list's scroll position.
    if (rows != shownRows_ || table_.Count() == 0) {
        window_->ShowShortcutRows(rows);
        shownRows_ = std::move(rows);
    }
    if (trayIcon_)
        trayIcon_->SetTooltip(TrayTooltipText(table_.RefusedCount()));
}

void PathwinkApp::RetryInactiveShortcuts() {
    if (table_.RetryRefused() > 0)
        RefreshShortcutList();
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
    const bool marksChange = options.WarnAltGr != options_.WarnAltGr;
    options_ = options;
    if (marksChange)
        RefreshShortcutList();
}

void PathwinkApp::OnWindowOpening() {
    // The user looks now: the rows say what works at this moment (a layout added since
    // may also have changed what a combination types).
    table_.RetryRefused();
    RefreshShortcutList();
}

void PathwinkApp::OnHotkeysMayBeFree() {
    RetryInactiveShortcuts();
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
        // The menu marks inactive keys only: no layouts, no AltGr characters.
        const std::string text = MenuEntryText(
            table_.Path(i), key ? MarkedKeyText(KeyCombinationText(key), MarksOf(i, {})) : "",
            key != 0);
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
    RetryInactiveShortcuts();
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
