#include "store/SettingsFormat.h"

#include "win/Text.h"

#include <algorithm>
#include <cstdio>
#include <limits>

namespace pw {

namespace {

constexpr char kPathSeparators[] = "\\/:";

char FoldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string Folded(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), FoldAscii);
    return out;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsProfileBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsProfileBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Digits to the end of text in base 10 or 16; the magnitude must stay within limit.
std::optional<std::int64_t> Magnitude(std::string_view digits, int base, std::int64_t limit) {
    if (digits.empty())
        return std::nullopt;
    std::int64_t value = 0;
    for (char c : digits) {
        const int d = HexDigit(c);
        if (d < 0 || d >= base)
            return std::nullopt;
        value = value * base + d;
        if (value > limit)
            return std::nullopt;
    }
    return value;
}

bool IsQuote(char c) {
    return c == '"' || c == '\'';
}

} // namespace

std::string SettingsFileNameFor(const std::string& executablePath) {
    const std::size_t separator = executablePath.find_last_of(kPathSeparators);
    const std::size_t dot = executablePath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (separator == std::string::npos || dot > separator);
    return (hasExtension ? executablePath.substr(0, dot) : executablePath) + ".INI";
}

std::string RunAtLogonCommand(const std::string& executablePath) {
    return "\"" + executablePath + "\" tray";
}

std::optional<std::int32_t> ParseSettingsNumber(std::string_view text) {
    constexpr std::int64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
    constexpr std::int64_t kMaxNegative =
        -static_cast<std::int64_t>(std::numeric_limits<std::int32_t>::min());

    if (text.size() >= 3 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        auto v = Magnitude(text.substr(2), 16, kMaxPositive);
        if (!v)
            return std::nullopt;
        return static_cast<std::int32_t>(*v);
    }

    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    }
    auto v = Magnitude(text.substr(i), base, negative ? kMaxNegative : kMaxPositive);
    if (!v)
        return std::nullopt;
    return static_cast<std::int32_t>(negative ? -*v : *v);
}

std::int32_t SettingsNumberOr(std::string_view text, std::int32_t defaultValue) {
    return ParseSettingsNumber(text).value_or(defaultValue);
}

bool SettingsBoolOr(std::string_view text, bool defaultValue) {
    return SettingsNumberOr(text, defaultValue ? 1 : 0) != 0;
}

KeyCombination KeyCombinationFromSettingsNumber(std::int32_t number) {
    return static_cast<KeyCombination>(static_cast<std::uint32_t>(number) & 0xFFFFu);
}

std::string ShortcutPathKey(int n) {
    return std::to_string(n) + "Path";
}
std::string ShortcutKeyKey(int n) {
    return std::to_string(n) + "ShortCut";
}

bool IsProfileBlank(char c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x1A || c == ' ';
}

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

void PopLastCharacter(std::string& utf8) {
    while (!utf8.empty() && IsContinuationByte(utf8.back()))
        utf8.pop_back();
    if (!utf8.empty())
        utf8.pop_back();
}

} // namespace

std::string ProfileTextAsRead(std::string_view value) {
    value = TrimBlanks(value);
    constexpr std::size_t kBuffer = kMaxSettingsText + 1;
    bool quoted = false;
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
        quoted = true;
        value.remove_prefix(1); // the closing quote stays until the cut below
    }
    std::string text(Utf16Prefix(value, kBuffer - 1));
    // The reader drops the last character it copied whenever the rest after the
    // opening quote fits its buffer, even when the cut already removed the quote.
    if (quoted && kBuffer >= Utf16Length(value) && !text.empty())
        PopLastCharacter(text);
    return text;
}

std::string ProfileTextToWrite(std::string_view text) {
    if (text.empty())
        return std::string();
    const char first = text.front(), last = text.back();
    if (IsProfileBlank(first) || IsProfileBlank(last) || IsQuote(first) || IsQuote(last))
        return "\"" + std::string(text) + "\"";
    return std::string(text);
}

bool HasControlCharacters(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

bool HasLineBreak(std::string_view text) {
    return text.find_first_of("\r\n") != std::string_view::npos;
}

ProfileSection ProfileSection::FromBlock(std::string_view block) {
    ProfileSection section;
    std::size_t pos = 0;
    while (pos < block.size()) {
        std::size_t end = block.find('\0', pos);
        if (end == std::string_view::npos)
            end = block.size();
        const std::string_view line = block.substr(pos, end - pos);
        pos = end + 1;
        if (line.empty())
            break; // the list ends with an empty string
        const std::size_t eq = line.find('=');
        const std::string_view name = TrimBlanks(line.substr(0, eq));
        std::optional<std::string> value;
        if (eq != std::string_view::npos)
            value = std::string(TrimBlanks(line.substr(eq + 1)));
        // The reader stops at the first key of that name, with or without a value.
        section.values_.emplace(Folded(name), std::move(value));
    }
    return section;
}

std::optional<std::string> ProfileSection::Find(std::string_view key) const {
    auto it = values_.find(Folded(TrimBlanks(key)));
    if (it == values_.end() || !it->second)
        return std::nullopt;
    return ProfileTextAsRead(*it->second);
}

std::string ProfileSection::TextOr(std::string_view key, std::string_view defaultText) const {
    if (auto text = Find(key))
        return *text;
    return std::string(defaultText);
}

std::vector<std::string> ProfileSection::KeysWithValue() const {
    std::vector<std::string> keys;
    for (const auto& [key, value] : values_)
        if (value)
            keys.push_back(key);
    return keys;
}

std::optional<int> ShortcutIndexOfKey(std::string_view key) {
    std::size_t digits = 0;
    while (digits < key.size() && key[digits] >= '0' && key[digits] <= '9')
        ++digits;
    const std::string_view name = key.substr(digits);
    if (digits == 0 || digits > 10 || (digits > 1 && key[0] == '0') ||
        !(EqualsIgnoringCase(name, "Path") || EqualsIgnoringCase(name, "ShortCut")))
        return std::nullopt;
    auto n = Magnitude(key.substr(0, digits), 10, std::numeric_limits<std::int32_t>::max());
    if (!n)
        return std::nullopt;
    return static_cast<int>(*n);
}

std::vector<StoredShortcut> ShortcutsFrom(const SettingsTextLookup& text,
                                          std::vector<int> storedIndices, int maxInvented) {
    std::vector<StoredShortcut> entries;
    const std::int32_t count = SettingsNumberOr(text("Count", ""), 0);
    if (count <= 0)
        return entries;
    // The numbers to load: 0 up to the bound of made-up entries, then every stored one.
    const int invented = static_cast<int>(std::min<std::int64_t>(count, std::max(maxInvented, 0)));
    std::vector<int> indices(static_cast<std::size_t>(invented));
    for (int i = 0; i < invented; ++i)
        indices[static_cast<std::size_t>(i)] = i;
    std::sort(storedIndices.begin(), storedIndices.end());
    for (int i : storedIndices)
        if (i >= invented && i < count && (indices.empty() || indices.back() != i))
            indices.push_back(i);
    entries.reserve(indices.size());
    for (int i : indices) {
        StoredShortcut e;
        const std::string path = text(ShortcutPathKey(i), "C:\\");
        e.path = std::string(Utf16Prefix(path, kMaxFolderPathLength));
        e.key = KeyCombinationFromSettingsNumber(SettingsNumberOr(text(ShortcutKeyKey(i), ""), 0));
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<StoredShortcut> ShortcutsFromSection(const ProfileSection& section, int maxInvented) {
    std::vector<int> stored;
    for (const std::string& key : section.KeysWithValue())
        if (auto index = ShortcutIndexOfKey(key))
            stored.push_back(*index);
    return ShortcutsFrom(
        [&section](const std::string& key, const std::string& defaultText) {
            return section.TextOr(key, defaultText);
        },
        std::move(stored), maxInvented);
}

std::string ShortcutsSectionBlock(const std::vector<StoredShortcut>& entries) {
    std::string block;
    block.reserve(16 + entries.size() * 48);
    auto line = [&block](const std::string& key, const std::string& value) {
        block += key;
        block += '=';
        block += value;
        block += '\0';
    };
    line("Count", std::to_string(entries.size()));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        line(ShortcutPathKey(static_cast<int>(i)), ProfileTextToWrite(entries[i].path));
        line(ShortcutKeyKey(static_cast<int>(i)), std::to_string(entries[i].key));
    }
    block += '\0';
    return block;
}

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16Mark = "\xFF\xFE";

bool StartsWith(std::string_view text, std::string_view start) {
    return text.substr(0, start.size()) == start;
}

} // namespace

bool IsUtf8BeyondAscii(std::string_view bytes) {
    bool beyondAscii = false;
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The sequence's length and the range its second byte must fall in (which
        // rules out overlong forms, surrogates and values beyond U+10FFFF).
        std::size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : 0x80;
            high = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : 0x80;
            high = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            return false;
        }
        if (i + length > bytes.size())
            return false;
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        if (second < low || second > high)
            return false;
        for (std::size_t k = 2; k < length; ++k)
            if (!IsContinuationByte(bytes[i + k]))
                return false;
        beyondAscii = true;
        i += length;
    }
    return beyondAscii;
}

SettingsEncoding SettingsEncodingOf(std::string_view bytes) {
    if (StartsWith(bytes, kUtf16Mark))
        return SettingsEncoding::Utf16;
    if (StartsWith(bytes, kUtf8Mark))
        return SettingsEncoding::Utf8WithMark;
    return IsUtf8BeyondAscii(bytes) ? SettingsEncoding::Utf8 : SettingsEncoding::Ansi;
}

std::string SettingsBytesAsUtf16(std::string_view bytes, SettingsEncoding encoding) {
    std::wstring text;
    switch (encoding) {
    case SettingsEncoding::Utf16:
        return std::string(bytes);
    case SettingsEncoding::Utf8WithMark:
        text = Wide(bytes.substr(kUtf8Mark.size()));
        break;
    case SettingsEncoding::Utf8:
        text = Wide(bytes);
        break;
    case SettingsEncoding::Ansi:
        text = Wide(Utf8FromAnsi(bytes));
        break;
    }
    std::string out(kUtf16Mark);
    for (wchar_t unit : text) {
        out += static_cast<char>(unit & 0xFF);
        out += static_cast<char>((unit >> 8) & 0xFF);
    }
    return out;
}

std::string Utf16BytesAsUtf8(std::string_view utf16Bytes, bool withMark) {
    if (StartsWith(utf16Bytes, kUtf16Mark))
        utf16Bytes.remove_prefix(kUtf16Mark.size());
    std::wstring text(utf16Bytes.size() / 2, L'\0');
    for (std::size_t i = 0; i < text.size(); ++i)
        text[i] = static_cast<wchar_t>(static_cast<unsigned char>(utf16Bytes[2 * i]) |
                                       static_cast<unsigned char>(utf16Bytes[2 * i + 1]) << 8);
    return (withMark ? std::string(kUtf8Mark) : std::string()) + Utf8(text);
}

std::string SaveTempFileName(const std::string& settingsFile, unsigned long processId) {
    char leaf[32];
    std::snprintf(leaf, sizeof leaf, "~pw%lx.tmp", processId);
    const std::string folder = FolderOf(settingsFile);
    return folder.empty() ? std::string(leaf) : folder + "\\" + leaf;
}

std::optional<unsigned long> SaveTempFileOwner(std::string_view candidateLeaf) {
    const std::string_view prefix = "~pw", suffix = ".tmp";
    if (candidateLeaf.size() < prefix.size() + 1 + suffix.size() ||
        !EqualsIgnoringCase(candidateLeaf.substr(0, prefix.size()), prefix) ||
        !EqualsIgnoringCase(candidateLeaf.substr(candidateLeaf.size() - suffix.size()), suffix))
        return std::nullopt;
    const std::string_view hex =
        candidateLeaf.substr(prefix.size(), candidateLeaf.size() - prefix.size() - suffix.size());
    if (hex.size() > 8)
        return std::nullopt;
    unsigned long value = 0;
    for (char c : hex) {
        const int digit = HexDigit(c);
        if (digit < 0)
            return std::nullopt;
        value = value * 16 + static_cast<unsigned long>(digit);
    }
    return value;
}

std::string FolderOf(const std::string& path) {
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

} // namespace pw
