#pragma once
// MainWindow: the configuration window and the owner of everything that
// lives for the whole run: the shortcut table, the options, the settings store,
// the single-instance guard, the tray icon and its menu. Closing it ends the
// program. Its native window (class "TPathwinkMainForm") exists from start-up on,
// hidden, so that it can receive WM_COPYDATA.

#include "win/SingleInstanceGuard.h"
#include "hotkey/FolderLaunch.h"
#include "store/Settings.h"
#include "store/ShortcutTable.h"
#include "tray/TrayIcon.h"
#include "win/Layout.h"
#include "win/UniqueHandle.h"
#include "win/Window.h"

#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ShortcutEditor;

class MainWindow : public Window {
public:
    static constexpr const char* kClassName = "TPathwinkMainForm";

    // Builds the window from its layout, runs the components' after-loading steps
    // in layout order (guard, then tray icon), then LoadEverything.
    explicit MainWindow(SettingsStore store = SettingsStore());
    ~MainWindow() override;

    // The editor dialog, created by start-up right after this window.
    void AttachEditor(ShortcutEditor* editor) { editor_ = editor; }

    // First showing at the start of the message loop: centred, honouring the
    // process's show command (maximised, or minimised to the tray).
    void ShowAtStartup(int showCommand);
    // Makes page index active, then shows the window and brings it to the front.
    void ShowOnPage(int page);
    // Shows the window on its last page and brings it to the front.
    void ShowAndActivate();
    // Saves, releases every hotkey and ends the program; a failed save throws and
    // leaves everything as it was.
    void Close();

    // Operations named across the program.
    void LoadOptions();
    void LoadShortcuts();
    void SaveSettings();
    bool AddShortcut(const std::string& path, KeyCombination key);
    void OpenFolder(const std::string& path);
    void ShortcutHotKey(HotkeyBinding& sender);
    void RunNewFlow(const std::string& initialFolder);
    void RefreshShortcutList();

    const ShortcutTable& Table() const { return table_; }
    // The tray menu as its last opening built it.
    HMENU TrayMenu() const { return trayMenu_.Get(); }
    const Options& CurrentOptions() const { return options_; }

    // Event handlers, named after their control and event.
    void LoadEverything();
    void SaveAndRelease();
    void PaintIcon();
    void OnTrayClicked();
    void OnExitClicked();
    void OnHelpClicked();
    void OnNewClicked();
    void OnEditClicked();
    void OnDeleteClicked();
    void OnListSelectionChanged();
    void OnListDoubleClicked();
    void OnWarnWeakKeyToggled();
    void OnConfirmExitToggled();
    void OnDoubleClickEditsToggled();
    void OnRunAtLogonToggled();
    void OnWebsiteClicked();
    void OnMailClicked();
    void OnHelpChosen();
    void OnExitChosen();
    void OnConfigureShortcutsChosen();
    void OnConfigureOptionsChosen();
    void OnAboutChosen();
    void BuildTrayMenu();
    void OnFolderChosen(const std::string& caption);
    void OnTrayIconPressed();
    void OnAlreadyRunning();
    void OnFolderHandedOver(const COPYDATASTRUCT* data);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    class Page;

    void CreateFonts(UINT dpi);
    HFONT FontFor(FontRole role) const;
    void PlacePages();
    void SelectPage(int page);
    int ActivePage() const;
    void ApplyDpi(UINT dpi, const RECT* suggested);
    HWND Control(int id) const { return layout_[id]; }
    bool Checked(int id) const;
    void SetChecked(int id, bool checked);
    void OpenLink(int id, const char* target);
    void SetListButtonsEnabled();
    void CreateItemHint();
    void UpdateItemHint(POINT clientPoint);
    void HideItemHint();
    static LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);
    int SelectedRow() const;
    void ShowTrayMenu(POINT at);
    void RebuildTrayMenu();
    bool EditorBusy();
    bool RunFlowValidation();
    void PostPendingFlow();
    void RunDeferredFlows();
    LRESULT ColorStatic(HDC dc, HWND control);

    SettingsStore store_;
    Options options_;
    FolderLaunch launch_;
    ShortcutTable table_;
    ShortcutEditor* editor_ = nullptr;

    Layout layout_;
    UniqueFont fontNormal_, fontBold_, fontTitle_, fontLink_;
    UniqueIcon icon_;
    std::vector<std::unique_ptr<Page>> pages_;
    bool visitedLink1_ = false, visitedLink2_ = false;
    bool shownOnce_ = false;
    HWND itemHint_ = nullptr; // tooltip showing a cut-off row in full; destroyed with the window
    POINT itemHintAt_{-1, -1};
    bool trackingMouseLeave_ = false;
    bool closing_ = false;

    UniqueMenu trayMenu_;
    std::vector<std::string> folderItems_; // captions of the folder entries, menu order
    std::deque<std::string> pendingFolders_; // copy-data folders that arrived during a flow

    // Components in layout order: the guard's check runs before the tray icon loads.
    SingleInstanceGuard guard_;
    std::unique_ptr<TrayIcon> trayIcon_;
};

} // namespace pw
