#pragma once
// The configuration pages: three tabs (Folder Shortcuts, Options, About) and the
// bottom bar, drawn in the program's window once it is first shown (a start in the
// tray never makes them). They show what they are given (the list's rows, the
// options) and raise what the user does to their owner; they hold no shortcut and
// save nothing.

#include "hotkey/HotkeyField.h"
#include "main/ShortcutList.h"
#include "main/TabPage.h"
#include "store/Options.h"
#include "win/Layout.h"
#include "win/Scoped.h"
#include "win/Window.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace pw {

// What the pages report; implemented by the program's owner of state.
class MainWindowEvents {
public:
    virtual void OnNewClicked() = 0;
    virtual void OnEditClicked() = 0;
    virtual void OnDeleteClicked() = 0;
    virtual void OnListDoubleClicked() = 0;
    virtual void OnExitClicked() = 0;
    virtual void OnHelpClicked() = 0;
    // A check box of the Options page was clicked; the window's options are read back.
    virtual void OnOptionsChanged(const Options& options) = 0;
    // The window is about to be shown (WM_SHOWWINDOW).
    virtual void OnWindowOpening() = 0;
    // A whole combination (or none, 0) was typed into the Options page's key that
    // shows all folders. The owner checks it and shows what it keeps (ShowAllFoldersKey).
    virtual void OnShowAllFoldersKeyTyped(KeyCombination key) = 0;
    // The list's menu (a right click, Shift+F10 or the menu key) on the selected row:
    // its folder in Explorer or a terminal, or its path copied. Its "Edit..." and
    // "Delete" are OnEditClicked and OnDeleteClicked.
    enum class RowAction { Open, OpenInTerminal, CopyPath };
    virtual void OnRowActionChosen(RowAction action) = 0;

protected:
    ~MainWindowEvents() = default;
};

class MainWindow : public WindowView {
public:
    // Makes the pages and their controls in window (Common Controls is loaded then);
    // null, after telling the user, when they cannot be made.
    static std::unique_ptr<MainWindow> Make(HWND window, MainWindowEvents& events);
    MainWindow(HWND window, MainWindowEvents& events);
    ~MainWindow();
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    HWND Handle() const { return window_; }
    // The list's menu is open: nothing may open inside its loop.
    bool MenuOpen() const { return menuOpen_; }
    // First showing: centred, honouring the process's show command (maximised, or
    // minimised, which ends in the tray).
    void ShowAtStartup(int showCommand);
    // Makes page index active, then shows the window and brings it to the front.
    void ShowOnPage(int page);
    // Shows the window on its last page and brings it to the front.
    void ShowAndActivate();
    void Hide();

    // Rebuilds the list from rows (the selection stays on its index, or moves to
    // the last row) and the status text, and enables Edit and Delete.
    void ShowShortcutRows(const std::vector<std::string>& rows);
    // The selected row, or -1.
    int SelectedRow() const;
    void ClearSelection();

    void ShowOptions(const Options& options);
    Options CheckedOptions() const;
    // The key that shows all folders, and whether another program holds it.
    void ShowAllFoldersKey(KeyCombination key, bool inactive);

    bool HandleViewMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void CreateFonts(UINT dpi);
    HFONT FontFor(FontRole role) const;
    void PlacePages();
    void SelectPage(int page);
    int ActivePage() const;
    void ApplyDpi(UINT dpi, const RECT* suggested);
    HWND Control(int id) const { return layout_[id]; }
    void SetChecked(int id, bool checked);
    bool Checked(int id) const;
    void PaintIcon();
    LRESULT ColorStatic(HDC dc, HWND control);
    void SetListButtonsEnabled();
    void OnShowAllFoldersFieldChanged();
    // The list's menu at a screen point from WM_CONTEXTMENU (-1, -1: the keyboard's).
    void ShowRowMenu(POINT at);
    // Fills the Options page's terminal box for a setting (see Options::terminal).
    void ShowTerminal(const std::string& setting);
    void OnTerminalBoxChanged();
    // The program the user picks in an Open dialog, or nothing.
    std::optional<std::string> PickTerminalProgram();

    // Handlers bound by the layout table.
    void OnHelpClicked() { events_.OnHelpClicked(); }
    void OnExitClicked() { events_.OnExitClicked(); }
    void OnTrayClicked() { Hide(); }
    LRESULT HandleCommand(WPARAM wParam);
    void OnNewClicked() { events_.OnNewClicked(); }
    void OnEditClicked() { events_.OnEditClicked(); }
    void OnDeleteClicked() { events_.OnDeleteClicked(); }
    void OnOptionToggled() { events_.OnOptionsChanged(CheckedOptions()); }
    void OnWebsiteClicked();
    void OnMailClicked();
    void OpenLink(int id, const char* target);

    static const std::vector<ControlSpec<MainWindow>>& Controls();

    HWND window_;
    MainWindowEvents& events_;
    Layout layout_;
    UniqueFont fontNormal_, fontBold_, fontTitle_, fontLink_;
    UniqueIcon icon_;
    std::vector<std::unique_ptr<TabPage>> pages_;
    bool visitedWebsite_ = false, visitedMail_ = false;
    bool shownOnce_ = false;
    ShortcutList list_;
    HotkeyField showAllFoldersField_;
    KeyCombination shownShowAllFoldersKey_ = 0;
    bool checkingKey_ = false;
    bool menuOpen_ = false;
    std::string terminalSetting_;              // what the terminal box stands for
    std::vector<std::string> terminalChoices_; // its entries' settings; "Other program..." last
    size_t terminalShown_ = 0;                 // the entry the setting stands for
};

} // namespace pw
