#pragma once
// The settings file's text rules with no Win32 of their own: the file name, the
// run-at-logon command, our number reader, how the profile reader turns a stored
// line into a value, how a value must be written to read back the same, the
// [Shortcuts] block, and the names of the temporary files of an atomic save.

#include "hotkey/KeyCombination.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace pw {

// The executable's path with the part after the last dot of its last component
// replaced by "INI" (".INI" appended when there is no dot): C:\Tools\Pathwink.exe
// -> C:\Tools\Pathwink.INI, C:\A.b\Run -> C:\A.b\Run.INI.
std::string SettingsFileNameFor(const std::string& executablePath);

// The run-at-logon value's text: "<executable>" tray.
std::string RunAtLogonCommand(const std::string& executablePath);

// Our number reader. "0x"/"0X" at the very start of a text of 3 or more characters
// introduces hexadecimal digits up to the end; otherwise: blanks, an optional sign,
// then decimal digits or '$', 'x' or 'X' and hexadecimal digits, and nothing else.
// Anything else, or a value outside the signed 32-bit range, is no number.
std::optional<std::int32_t> ParseSettingsNumber(std::string_view text);
std::int32_t SettingsNumberOr(std::string_view text, std::int32_t defaultValue);
// A number, true when non-zero; the default when the text is no number.
bool SettingsBoolOr(std::string_view text, bool defaultValue);
// A key combination is the low 16 bits of the stored number: 65536 -> 0, -1 -> 65535.
KeyCombination KeyCombinationFromSettingsNumber(std::int32_t number);

// Key names of entry n of [Shortcuts]: "0Path", "0ShortCut", "10Path", ...
std::string ShortcutPathKey(int n);
std::string ShortcutKeyKey(int n);

// Longest text a value reads as, in UTF-16 units: the reader is given a buffer of
// 32,768, as long as the longest path Windows' file functions take.
constexpr std::size_t kMaxSettingsText = 32767;
// Longest folder path that reads back exactly, also when it is written in quotes
// (the closing quote counts against the reader's buffer). Longer ones are refused
// at entry. Counted in UTF-16 units, as Windows counts a path's length.
constexpr std::size_t kMaxFolderPathLength = kMaxSettingsText - 1;
// What the profile reader treats as blank around names and values (^Z included).
bool IsProfileBlank(char c);
// What GetPrivateProfileStringA returns for a line's value as the file holds it:
// blanks around it removed, one pair of matching enclosing quotes (' or ") removed,
// cut to kMaxSettingsText UTF-16 units. Where the cut meets the closing quote the
// reader drops one more character; this does the same.
std::string ProfileTextAsRead(std::string_view storedValue);
// The value to write so that the reader gives text back unchanged: wrapped in
// double quotes when it begins or ends with a blank or a quote character.
std::string ProfileTextToWrite(std::string_view text);
// Characters below 0x20, which no folder name holds: the editor refuses them.
bool HasControlCharacters(std::string_view text);
// A line break would split the value's line: the one thing a value cannot hold.
bool HasLineBreak(std::string_view text);

// One section as GetPrivateProfileSectionA returns it ("k=v\0k2=v2\0...\0"), read
// with the rules of GetPrivateProfileStringA: keys trimmed and without regard to
// case, the first of equal keys counts, a line without '=' has no value. Comment
// lines are not in the list, so a key beginning with ';' is never found here
// (the reader would find one); the settings have no such keys.
class ProfileSection {
public:
    ProfileSection() = default;
    static ProfileSection FromBlock(std::string_view block);

    // The text the reader gives for key, or nothing when the key is absent or has no '='.
    std::optional<std::string> Find(std::string_view key) const;
    std::string TextOr(std::string_view key, std::string_view defaultText) const;
    // The keys that have a value, folded to lower case, in no particular order.
    std::vector<std::string> KeysWithValue() const;

private:
    // Folded key -> value as the file holds it (after the blanks), or none.
    std::unordered_map<std::string, std::optional<std::string>> values_;
};

struct StoredShortcut {
    std::string path;
    KeyCombination key = 0;
    bool operator==(const StoredShortcut& o) const { return path == o.path && key == o.key; }
};

// The text of a key of [Shortcuts], or defaultText when the key is absent.
using SettingsTextLookup =
    std::function<std::string(const std::string& key, const std::string& defaultText)>;
// The number of the entry a key of [Shortcuts] belongs to: n for "<n>Path" and
// "<n>ShortCut" (n in decimal without leading zeros, as the program writes it; the
// name in any case), nothing for any other key.
std::optional<int> ShortcutIndexOfKey(std::string_view key);
// The entries LoadShortcuts creates, numbered from 0 below Count (none when Count is
// absent or no number). Every entry the file holds (storedIndices: those with a
// path or a key) is loaded, however many there are; an entry it holds neither of
// is made up ("C:\" and no key) only below maxInvented, so that a huge Count costs
// nothing. A path is cut to kMaxFolderPathLength UTF-16 units, so that what is
// loaded is saved and read back unchanged.
std::vector<StoredShortcut> ShortcutsFrom(const SettingsTextLookup& text,
                                          std::vector<int> storedIndices, int maxInvented);
std::vector<StoredShortcut> ShortcutsFromSection(const ProfileSection& section, int maxInvented);
// The block for WritePrivateProfileSectionA: Count, then nPath and nShortCut for
// each entry in order, ending with the empty string. Paths go through ProfileTextToWrite.
std::string ShortcutsSectionBlock(const std::vector<StoredShortcut>& entries);

// How the settings file's bytes are read: UTF-16LE when they begin with its mark,
// UTF-8 when they begin with its mark, or when they have none but are valid UTF-8
// holding at least one character beyond ASCII; otherwise the ANSI code page (a
// file of ASCII only reads the same either way).
enum class SettingsEncoding { Ansi, Utf8, Utf8WithMark, Utf16 };
SettingsEncoding SettingsEncodingOf(std::string_view bytes);
// True for strictly valid UTF-8 (no overlong forms, surrogates or values beyond
// U+10FFFF) with at least one multi-byte sequence.
bool IsUtf8BeyondAscii(std::string_view bytes);
// The file's bytes as UTF-16LE with its mark, the form in which the profile
// functions read and write every character. Invalid UTF-8 becomes U+FFFD.
std::string SettingsBytesAsUtf16(std::string_view bytes, SettingsEncoding encoding);
// UTF-16LE bytes (with or without the mark; an odd last byte is dropped) as
// UTF-8, with the UTF-8 mark when withMark.
std::string Utf16BytesAsUtf8(std::string_view utf16Bytes, bool withMark);

// The temporary file of a save sits beside the settings file: "~pw<process id in
// hexadecimal>.tmp". Short on purpose: for the default settings file it is never
// longer than the file's own name, so a folder deep enough to hold the settings
// file holds it too.
std::string SaveTempFileName(const std::string& settingsFile, unsigned long processId);
// The process id in the name of such a temporary file (compared without regard to
// case), or nothing when candidateLeaf is no such name.
std::optional<unsigned long> SaveTempFileOwner(std::string_view candidateLeaf);
// The folder of a path, without its trailing separator ("" when there is none).
std::string FolderOf(const std::string& path);

} // namespace pw
