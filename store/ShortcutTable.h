#pragma once
// The shortcut table: every folder shortcut with the hotkey binding it owns, kept
// sorted by path without regard to letter case (CompareStringW, user's default
// locale, NORM_IGNORECASE). A new entry goes before all entries that compare equal.
// Accessed only by index, by count and by sorted insertion. An entry's folder
// lives here only; its binding knows just the key, and its press goes straight to
// its entry (the hotkey's id finds the binding, whose handler holds the entry).

#include "hotkey/HotkeyBinding.h"
#include "store/SettingsFormat.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ShortcutTable {
public:
    // Told the folder of the entry whose hotkey was pressed.
    using PressedHandler = std::function<void(const std::string& folder)>;

    explicit ShortcutTable(PressedHandler onShortcutPressed);
    // Frees every binding, index 0 upward, as ReleaseAll does.
    ~ShortcutTable();
    ShortcutTable(const ShortcutTable&) = delete;
    ShortcutTable& operator=(const ShortcutTable&) = delete;

    // A new entry with a binding for key (0: no hotkey). Inserted and true when its
    // hotkey registered or key is 0; otherwise the table is unchanged and false.
    bool AddShortcut(const std::string& path, KeyCombination key);
    // A stored entry: inserted whatever its registration's outcome (a refused one
    // is inactive until a retry succeeds).
    void AddStored(const StoredShortcut& stored);
    // Frees the binding of entry index (releasing its hotkey) and removes the entry.
    // An index out of range does nothing.
    void Delete(int index);
    // Gives entry index another folder and moves it to its place in the order; its
    // binding stays as it is. An index out of range does nothing.
    void SetPath(int index, const std::string& path);
    // Frees every binding, index 0 upward; the table is empty afterwards.
    void ReleaseAll();
    // Tries the registration of every refused binding again; the number that now hold
    // their hotkey.
    int RetryRefused();
    // Bindings whose registration was refused.
    int RefusedCount() const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Path(int index) const { return entries_.at(index)->path; }
    HotkeyBinding& Binding(int index) const { return *entries_.at(index)->binding; }
    // Every entry's folder and key, in the table's order: what the settings file keeps.
    std::vector<StoredShortcut> Stored() const;

private:
    struct Entry {
        std::string path;
        std::unique_ptr<HotkeyBinding> binding;
    };
    // First position whose path is not less than path (binary search).
    int InsertionPoint(const std::string& path) const;
    std::unique_ptr<HotkeyBinding> NewBinding(KeyCombination key);
    void Insert(std::string path, std::unique_ptr<HotkeyBinding> binding);

    PressedHandler onShortcutPressed_;
    // Each entry stays where it was made while the order moves it: its press holds it.
    std::vector<std::unique_ptr<Entry>> entries_;
};

} // namespace pw
