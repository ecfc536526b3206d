#include "app/ShortcutDisplay.h"

#include "hotkey/KeyNames.h"
#include "win/Dpi.h"
#include "win/Scoped.h"
#include "win/Text.h"

#include <algorithm>
#include <set>

namespace pw {

std::string ShortcutDisplay::KeyText(int index, const std::vector<HKL>& layouts) const {
    const HotkeyBinding& binding = table_.Binding(index);
    const KeyCombination key = binding.Key();
    if (key == 0)
        return {};
    KeyMarks marks;
    marks.inactive = binding.Refused();
    if (!marks.inactive && options_.warnOfAltGr)
        if (const auto typed = keyboard_.CharacterOf(key, layouts))
            marks.altGrCharacter = typed->character;
    return MarkedKeyText(KeyCombinationText(key), marks);
}

std::vector<std::string> ShortcutDisplay::ListRows() const {
    const std::vector<HKL> layouts =
        options_.warnOfAltGr ? keyboard_.layouts() : std::vector<HKL>();
    std::vector<std::string> rows;
    rows.reserve(table_.Count());
    for (int i = 0; i < table_.Count(); ++i)
        rows.push_back(
            ShortcutRowText(table_.Binding(i).Key() != 0, KeyText(i, layouts), table_.Path(i)));
    return rows;
}

namespace {

UniqueFont MenuFont(UINT dpi) {
    NONCLIENTMETRICSW ncm{};
    ncm.cbSize = sizeof ncm;
    UniqueFont font;
    if (SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi))
        font.Reset(CreateFontIndirectW(&ncm.lfMenuFont));
    if (!font)
        font.Reset(CreateSystemUiFont(-12, dpi));
    return font;
}

// Widths of texts in the menu font of the pointer's screen, where the tray menu opens.
class MenuTextWidths {
public:
    MenuTextWidths()
        : screen_(ScreenOfPointer()), font_(MenuFont(screen_.dpi)), dc_(nullptr, font_.Get()) {}

    int Of(const std::string& text) const {
        const std::wstring wide = Wide(text);
        SIZE size{};
        GetTextExtentPoint32W(dc_.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
        return size.cx;
    }
    // The room for the path column: the work area less the widest key text and a
    // generous inch for the check-mark column, the gap before the keys and the margins.
    int PathRoom(int keyColumn) const {
        return screen_.workArea.right - screen_.workArea.left - keyColumn - Scale(96, screen_.dpi);
    }

private:
    PointerScreen screen_;
    UniqueFont font_;
    ScopedDc dc_;
};

} // namespace

std::vector<TrayMenu::FolderEntry> ShortcutDisplay::MenuEntries() const {
    // A menu wider than the screen hides its key column: a path that would take
    // more than its room shows its start and its end.
    const MenuTextWidths widths;
    std::vector<std::string> keys;
    int keyColumn = 0;
    for (int i = 0; i < table_.Count(); ++i) {
        keys.push_back(KeyText(i, {}));
        keyColumn = std::max(keyColumn, widths.Of(keys.back()));
    }
    const int pathRoom = widths.PathRoom(keyColumn);
    std::vector<TrayMenu::FolderEntry> entries;
    entries.reserve(table_.Count());
    for (int i = 0; i < table_.Count(); ++i) {
        const std::string& path = table_.Path(i);
        const auto fits = [&](std::size_t units) {
            return widths.Of(MenuEntryText(path, "", false, units)) <= pathRoom;
        };
        const std::size_t length = Utf16Length(path);
        const std::size_t units = fits(length) ? length : LongestThatFits(length, fits);
        entries.push_back(
            {MenuEntryText(path, keys[static_cast<size_t>(i)], table_.Binding(i).Key() != 0, units),
             path});
    }
    return entries;
}

std::string ShortcutDisplay::ShowAllFoldersEntry(const HotkeyBinding& binding) const {
    KeyMarks marks;
    marks.inactive = binding.Refused();
    return MenuEntryText("Show all folders",
                         MarkedKeyText(KeyCombinationText(binding.Key()), marks),
                         binding.Key() != 0);
}

std::string ShortcutDisplay::Tooltip() const {
    return TrayTooltipText(table_.RefusedCount());
}

std::vector<InactiveShortcut> ShortcutDisplay::InactiveShortcuts() const {
    std::set<KeyCombination> heldHere;
    for (int i = 0; i < table_.Count(); ++i)
        if (table_.Binding(i).Registered())
            heldHere.insert(table_.Binding(i).Key());
    std::vector<InactiveShortcut> shortcuts;
    for (int i = 0; i < table_.Count(); ++i) {
        const KeyCombination key = table_.Binding(i).Key();
        if (table_.Binding(i).Refused())
            shortcuts.push_back({KeyCombinationText(key), table_.Path(i), heldHere.count(key) > 0});
    }
    return shortcuts;
}

} // namespace pw
