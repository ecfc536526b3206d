#pragma once
// The configuration pages as the program shows them: made in the program's window at
// their first showing, filled from the table and the options, and what the user does
// in them carried out (the shortcut flows, the list's menu, the Options page).

#include "app/ShortcutDisplay.h"
#include "app/ShortcutFlows.h"
#include "app/SwitcherKey.h"
#include "main/MainWindow.h"
#include "open/FolderLaunch.h"

#include <memory>
#include <string>
#include <vector>

namespace pw {

class ProgramWindow;

// What the pages ask of the program's owner.
class PagesRequests {
public:
    // True (and what a flow or the close shows brought forward) while either runs.
    virtual bool BusyBringingItForward() = 0;
    virtual void RequestClose() = 0;
    virtual void SaveSettings() = 0;
    virtual void OpenHelp() = 0;
    // Asks the system again for every refused combination; true when one is active now.
    virtual bool RetryRefusedKeys() = 0;
    // The list and the tray's tooltip show the table as it is.
    virtual void RefreshShortcutList() = 0;

protected:
    ~PagesRequests() = default;
};

class ConfigurationPages : private MainWindowEvents {
public:
    ConfigurationPages(ProgramWindow& window, ShortcutTable& table, const ShortcutDisplay& display,
                       Options& options, const KeyboardLookups& keyboard, FolderLaunch& launch,
                       SwitcherKey& switcherKey, ShortcutFlows& flows, PagesRequests& program);
    ConfigurationPages(const ConfigurationPages&) = delete;
    ConfigurationPages& operator=(const ConfigurationPages&) = delete;

    // The pages, made at their first showing; null when they cannot be made.
    MainWindow* Show();
    // The pages if they were made, else null.
    MainWindow* Made() const { return pages_.get(); }
    void ShowOnPage(int page);
    // Shows the table's rows; unchanged rows are not filled again.
    void RefreshRows();
    // The list's menu loop runs.
    bool MenuOpen() const { return pages_ && pages_->MenuOpen(); }

private:
    void OnNewClicked() override;
    void OnEditClicked() override;
    void OnDeleteClicked() override;
    void OnListDoubleClicked() override;
    void OnExitClicked() override;
    void OnHelpClicked() override { program_.OpenHelp(); }
    void OnOptionsChanged(const Options& options) override;
    void OnWindowOpening() override;
    void OnShowAllFoldersKeyTyped(KeyCombination key) override;
    void OnRowActionChosen(RowAction action) override;
    // The table's index of the selected row, or -1.
    int SelectedShortcut() const;

    ProgramWindow& window_;
    ShortcutTable& table_;
    const ShortcutDisplay& display_;
    Options& options_;
    const KeyboardLookups& keyboard_;
    FolderLaunch& launch_;
    SwitcherKey& switcherKey_;
    ShortcutFlows& flows_;
    PagesRequests& program_;
    std::unique_ptr<MainWindow> pages_;
    std::vector<std::string> shownRows_; // what the list shows
};

} // namespace pw
