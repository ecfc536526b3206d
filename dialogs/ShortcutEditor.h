#pragma once
// ShortcutEditor: the shortcut editor, a folder path and a key combination. One
// instance is created hidden at start-up and reused by the new and edit flows,
// which fill its fields, show it modally and judge what comes back; the dialog
// itself validates nothing. Its only behaviour of its own is the folder browser
// behind the "..." button.

#include "hotkey/HotkeyField.h"
#include "hotkey/KeyCombination.h"
#include "win/Layout.h"
#include "win/Scoped.h"
#include "win/Window.h"

#include <string>
#include <vector>

namespace pw {

class ShortcutEditor : public Window {
public:
    static constexpr const char* kClassName = "TDlgNewShortcut";
    static constexpr int kResultOK = 1;
    static constexpr int kResultCancel = 2;

    // Creates the window hidden, owned by owner (the main window; may be null).
    explicit ShortcutEditor(HWND owner);
    ~ShortcutEditor() override;

    void SetCaption(const std::string& caption);

    std::string FolderText() const;
    void SetFolderText(const std::string& text);

    KeyCombination HotkeyValue();
    void SetHotkeyValue(KeyCombination value);

    enum class Field { Folder, Hotkey };
    // The field that has the keyboard focus when the dialog is next shown.
    void SetActiveControl(Field field);

    // Shows the dialog with the application's other windows disabled and returns
    // once OK (1), Cancel or the close box (2) ends it. A quit message met
    // meanwhile ends it with 2 and is passed on to the outer loop.
    int ShowModal();
    bool IsShowing() const { return showing_; }
    // Activates the dialog while it is shown (a second flow start meets it open).
    void BringToFront();
    // Ends a showing as Cancel does.
    void CancelShowing() { OnCancelClicked(); }

    // Handlers bound by the layout.
    void OnBrowseClicked();
    void OnOkClicked();
    void OnCancelClicked();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    static const std::vector<ControlSpec<ShortcutEditor>>& Controls();
    static const ControlSpec<ShortcutEditor>& HotkeyFieldRow();
    HFONT FontFor(FontRole) const { return font_.Get(); }
    void SizeToClientArea(UINT dpi);
    void FitLabels();
    void PlaceHotkeyField();
    void CreateHints();
    void SetHintWidth(UINT dpi);
    void PlaceAtFirstShowing();
    void FocusActiveControl();
    void ApplyDpi(UINT dpi, const RECT* suggested);

    HWND owner_ = nullptr;
    Layout layout_;
    HotkeyField hotkeyField_;
    UniqueFont font_;
    HWND hints_ = nullptr; // tooltip window, owned by the dialog and destroyed with it
    HWND activeControl_ = nullptr;
    bool placed_ = false;
    bool showing_ = false;
    int modalResult_ = 0;
};

} // namespace pw
