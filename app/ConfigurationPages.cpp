#include "app/ConfigurationPages.h"

#include "app/ProgramWindow.h"
#include "win/Clipboard.h"
#include "win/Messages.h"
#include "win/ProgramName.h"

namespace pw {

ConfigurationPages::ConfigurationPages(ProgramWindow& window, ShortcutTable& table,
                                       const ShortcutDisplay& display, Options& options,
                                       const KeyboardLookups& keyboard, FolderLaunch& launch,
                                       SwitcherKey& switcherKey, ShortcutFlows& flows,
                                       PagesRequests& program)
    : window_(window), table_(table), display_(display), options_(options), keyboard_(keyboard),
      launch_(launch), switcherKey_(switcherKey), flows_(flows), program_(program) {}

MainWindow* ConfigurationPages::Show() {
    if (pages_)
        return pages_.get();
    pages_ = MainWindow::Make(window_.Handle(), *this);
    if (!pages_)
        return nullptr;
    window_.ShowView(pages_.get());
    pages_->ShowOptions(options_);
    switcherKey_.ShowOn(pages_.get());
    program_.RefreshShortcutList();
    return pages_.get();
}

void ConfigurationPages::ShowOnPage(int page) {
    if (MainWindow* pages = Show())
        pages->ShowOnPage(page);
}

void ConfigurationPages::RefreshRows() {
    if (!pages_)
        return; // the rows are made when the window first shows
    std::vector<std::string> rows = display_.ListRows();
    // Unchanged rows are not filled again, which would lose the list's scroll position.
    if (rows != shownRows_ || rows.empty()) {
        pages_->ShowShortcutRows(rows);
        shownRows_ = std::move(rows);
    }
}

int ConfigurationPages::SelectedShortcut() const {
    const int row = pages_->SelectedRow();
    return row >= 0 && row < table_.Count() ? row : -1;
}

void ConfigurationPages::OnNewClicked() {
    if (!program_.BusyBringingItForward())
        flows_.NewShortcut("");
}

void ConfigurationPages::OnEditClicked() {
    if (!program_.BusyBringingItForward())
        flows_.EditShortcut(pages_->SelectedRow());
}

void ConfigurationPages::OnDeleteClicked() {
    if (!program_.BusyBringingItForward())
        flows_.DeleteShortcut(pages_->SelectedRow());
}

void ConfigurationPages::OnListDoubleClicked() {
    const int row = SelectedShortcut();
    if (row < 0)
        return;
    if (options_.doubleClickEdits)
        return OnEditClicked();
    // Opened off the window thread like a hotkey's folder, but a missing folder is
    // not told here: the row is in front of the user, who can edit or delete it.
    launch_.OpenFolder(table_.Path(row), FolderLaunch::IfMissing::StaySilent);
}

void ConfigurationPages::OnRowActionChosen(RowAction action) {
    const int row = SelectedShortcut();
    if (row < 0)
        return;
    switch (action) {
    case RowAction::Open:
        return launch_.OpenFolder(table_.Path(row)); // chosen by name: a missing folder is told
    case RowAction::OpenInTerminal:
        return launch_.OpenInTerminal(table_.Path(row), options_.terminal);
    case RowAction::CopyPath:
        CopyToClipboard(window_.Handle(), table_.Path(row));
        return;
    }
}

void ConfigurationPages::OnExitClicked() {
    if (!options_.confirmExit || QuestionBox("Exit " PATHWINK_NAME "?", "Confirmation") == IDYES)
        program_.RequestClose();
}

void ConfigurationPages::OnOptionsChanged(const Options& options) {
    const bool marksChange = options.warnOfAltGr != options_.warnOfAltGr;
    const KeyCombination showAllFolders = options_.showAllFoldersKey; // not a check box
    options_ = options;
    options_.showAllFoldersKey = showAllFolders;
    if (marksChange)
        program_.RefreshShortcutList();
}

void ConfigurationPages::OnWindowOpening() {
    // The user looks now: the rows say what works at this moment (a layout added since
    // may also have changed what a combination types).
    program_.RetryRefusedKeys();
    program_.RefreshShortcutList();
}

void ConfigurationPages::OnShowAllFoldersKeyTyped(KeyCombination key) {
    const KeyCombination oldKey = switcherKey_.Binding().Key();
    if (!switcherKey_.Change(key, options_, keyboard_, pages_.get()))
        return;
    if (key != oldKey)
        table_.RetryRefused(); // the old key may be what an inactive shortcut waited for
    options_.showAllFoldersKey = key;
    program_.SaveSettings();
}

} // namespace pw
