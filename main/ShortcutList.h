#pragma once
// The "Folder Shortcuts" list box: the rows it is given (key text, a tab, the path)
// with the key column as wide as the widest key text, its selection, which decides
// what "Edit Selected" and "Delete Selected" act on, and the hint that shows a
// cut-off row in full.

#include <windows.h>

#include <string>
#include <vector>

namespace pw {

class ShortcutList {
public:
    ShortcutList() = default;
    ShortcutList(const ShortcutList&) = delete;
    ShortcutList& operator=(const ShortcutList&) = delete;

    // Takes over list, a list box its window made; the hint is owned by hintOwner.
    void Attach(HWND list, HWND hintOwner);

    // Fills the list with rows; the selection stays on its index, or moves to the
    // last row. Unchanged key widths keep the tab stops.
    void ShowRows(const std::vector<std::string>& rows);
    // The selected row, or -1.
    int SelectedRow() const;
    void ClearSelection();
    // The key column's stop, again after the font changed (a new DPI).
    void SetTabStops();

private:
    void Watch();
    void CreateItemHint();
    void UpdateItemHint(POINT clientPoint);
    void HideItemHint();
    static LRESULT CALLBACK ListBoxProc(HWND, UINT, WPARAM, LPARAM, UINT_PTR, DWORD_PTR);

    HWND list_ = nullptr;
    HWND hintOwner_ = nullptr;
    HWND itemHint_ = nullptr; // destroyed with its owner
    POINT itemHintAt_{-1, -1};
    bool trackingMouseLeave_ = false;
    size_t keyColumnChars_ = 0; // characters of the widest key text in the list
};

} // namespace pw
