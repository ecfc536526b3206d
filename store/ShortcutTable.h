#pragma once
// The shortcut table: every folder shortcut with the hotkey binding it owns, kept
// sorted by path without regard to letter case (CompareStringW, user's default
// locale, NORM_IGNORECASE). A new entry goes before all entries that compare equal.
// Accessed only by index, by count and by sorted insertion.

#include "hotkey/HotkeyBinding.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace pw {

class ShortcutTable {
public:
    using HotKeyHandler = std::function<void(HotkeyBinding&)>;

    // onHotKey becomes the OnHotKey handler of every binding the table creates.
    explicit ShortcutTable(HotKeyHandler onHotKey);
    // Frees every binding, index 0 upward, as ReleaseAll does.
    ~ShortcutTable();
    ShortcutTable(const ShortcutTable&) = delete;
    ShortcutTable& operator=(const ShortcutTable&) = delete;

    // A new binding for key: enabled for a non-zero key, disabled for 0. Inserted and
    // true when it registered or key is 0; otherwise freed, table unchanged, false.
    bool AddShortcut(const std::string& path, KeyCombination key);
    // Inserts a binding configured by the caller, whatever its registration state.
    // A null binding is not inserted.
    void InsertLoaded(const std::string& path, std::unique_ptr<HotkeyBinding> binding);
    // Frees the binding of entry index (releasing its hotkey) and removes the entry.
    // An index out of range does nothing.
    void Delete(int index);
    // Re-sorts entry index under its binding's folder (after an edit changed it).
    // An index out of range does nothing.
    void Refile(int index);
    // Frees every binding, index 0 upward; the table is empty afterwards.
    void ReleaseAll();
    // Tries the registration of every refused binding again; the number that now hold
    // their hotkey.
    int RetryRefused();
    // Bindings whose registration was refused.
    int RefusedCount() const;

    int Count() const { return static_cast<int>(entries_.size()); }
    const std::string& Path(int index) const { return entries_.at(index).path; }
    HotkeyBinding& Binding(int index) const { return *entries_.at(index).binding; }

    // The handler given at construction, for bindings the caller configures itself.
    const HotKeyHandler& OnHotKey() const { return onHotKey_; }

private:
    struct Entry {
        std::string path;
        std::unique_ptr<HotkeyBinding> binding;
    };
    // First position whose path is not less than path (binary search).
    int InsertionPoint(const std::string& path) const;
    void Insert(std::string path, std::unique_ptr<HotkeyBinding> binding);

    HotKeyHandler onHotKey_;
    std::vector<Entry> entries_;
};

} // namespace pw
