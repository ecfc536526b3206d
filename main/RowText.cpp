#include "main/RowText.h"

#include "win/ProgramName.h"
#include "win/Text.h"

#include <cstring>

namespace pw {

namespace {

constexpr size_t kMaxNoticeText = 255;

std::string Shortcuts(int n) {
    return std::to_string(n) + (n == 1 ? " shortcut" : " shortcuts");
}

} // namespace

std::string MarkedKeyText(const std::string& keyText, const KeyMarks& marks) {
    if (marks.inactive)
        return keyText + " (inactive)";
    if (!marks.altGrCharacter.empty())
        return keyText + " (takes " + marks.altGrCharacter + ")";
    return keyText;
}

std::string TrayTooltipText(int inactiveCount) {
    if (inactiveCount <= 0)
        return kProgramName;
    return std::string(kProgramName) + " (" + Shortcuts(inactiveCount) + " inactive)";
}

std::string InactiveNoticeTitle(int inactiveCount) {
    return inactiveCount == 1 ? "A shortcut is inactive"
                              : std::to_string(inactiveCount) + " shortcuts are inactive";
}

std::string InactiveNoticeText(const std::vector<InactiveShortcut>& keysAndPaths) {
    std::string text;
    for (size_t i = 0; i < keysAndPaths.size(); ++i) {
        const auto& [key, path, heldByAnotherShortcut] = keysAndPaths[i];
        const std::string ending = heldByAnotherShortcut
                                       ? " is already the key of another shortcut."
                                       : " is used by another program.";
        std::string line = (text.empty() ? "" : "\n") + key + " for " + path + ending;
        // Room is kept for the line that says how many did not fit, unless this is the last.
        const size_t left = keysAndPaths.size() - i - 1;
        const std::string more = "\n...and " + std::to_string(left) + " more.";
        const size_t room = kMaxNoticeText - Utf16Length(text) - (left ? Utf16Length(more) : 0);
        if (Utf16Length(line) > room) {
            if (!text.empty()) {
                // This one and the rest are counted instead.
                return text + "\n...and " + std::to_string(left + 1) + " more.";
            }
            // The only line so far: its path is shortened to fit, or, when the key and
            // the words leave the path no room, the line itself.
            const std::string head = key + " for ";
            const size_t fixed = Utf16Length(head) + Utf16Length(ending) + 3;
            if (fixed <= room)
                line = head + std::string(Utf16Prefix(path, room - fixed)) + "..." + ending;
            else
                line = std::string(Utf16Prefix(line, room > 3 ? room - 3 : 0)) + "...";
        }
        text += line;
    }
    return text;
}

std::string ShortcutRowText(bool hasKey, const std::string& keyText, const std::string& path) {
    return (hasKey ? keyText : std::string("(No HotKey)")) + "\t" + path;
}

std::string HintText(const std::string& row) {
    std::string hint;
    for (char c : row)
        hint += c == '\t' ? std::string(8, ' ') : std::string(1, c);
    return hint;
}

std::string MenuEntryText(const std::string& path, const std::string& keyText, bool hasKey,
                          std::size_t maxPathUnits) {
    std::string text;
    for (char c : ShortenedInMiddle(path, maxPathUnits)) {
        if (c == '&')
            text += "&&";
        else // a tab would start the key column; no control character shows as one
            text += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    if (hasKey)
        text += "\t" + keyText;
    return text;
}

} // namespace pw
