#include "app/ShortcutDisplay.h"

#include "hotkey/KeyNames.h"

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

std::vector<TrayMenu::FolderEntry> ShortcutDisplay::MenuEntries() const {
    std::vector<TrayMenu::FolderEntry> entries;
    entries.reserve(table_.Count());
    for (int i = 0; i < table_.Count(); ++i)
        entries.push_back(
            {MenuEntryText(table_.Path(i), KeyText(i, {}), table_.Binding(i).Key() != 0),
             table_.Path(i)});
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
