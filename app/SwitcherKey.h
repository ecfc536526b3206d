#pragma once
// The key that shows all folders and the switcher it shows: the key is bound, checked,
// refused and kept as a shortcut's key is, and the switcher's window is made at its
// first showing. A choice opens where the user worked when the key was pressed.

#include "app/ShortcutDisplay.h"
#include "hotkey/HotkeyBinding.h"
#include "main/MainWindow.h"
#include "store/ShortcutTable.h"
#include "switcher/FolderSwitcher.h"

#include <functional>
#include <memory>
#include <string>

namespace pw {

class SwitcherKey {
public:
    // Chosen folders go to open with the window that was in front and where the user
    // asked for them; while blocked()
    // (the tray menu's loop runs) nothing is shown, since it would stay behind the menu.
    SwitcherKey(
        const ShortcutTable& table, const ShortcutDisplay& display,
        std::function<void(const std::string& path, HWND inFront, FolderSwitcher::OpenIn where)>
            open,
        std::function<bool()> blocked);

    const HotkeyBinding& Binding() const { return binding_; }
    // The key the settings hold, registered or refused as it comes.
    void Load(KeyCombination key) { binding_.SetKey(key); }
    // Asks the system again for a refused key; true when it holds it now.
    bool Retry() {
        const bool wasRefused = binding_.Refused();
        binding_.Retry();
        return wasRefused && binding_.Registered();
    }
    // A key typed on the Options page (0: none), after the questions of a shortcut's
    // key: true when the binding holds it now; otherwise the old key stays, because the
    // user said No or the system refused the combination (which the user is told).
    // pages (when made) show the key kept, before any message.
    bool Change(KeyCombination key, const Options& options, const KeyboardLookups& keyboard,
                MainWindow* pages);
    // Shows the key and whether another program holds it on pages, when made.
    void ShowOn(MainWindow* pages) const;
    // Shows the switcher at the pointer, or closes it when it shows. inFront is the
    // window that was in front when the user asked.
    void Toggle(HWND inFront);

private:
    const ShortcutTable& table_;
    const ShortcutDisplay& display_;
    std::function<void(const std::string&, HWND, FolderSwitcher::OpenIn)> open_;
    std::function<bool()> blocked_;
    HotkeyBinding binding_;
    std::unique_ptr<FolderSwitcher> switcher_;
};

} // namespace pw
