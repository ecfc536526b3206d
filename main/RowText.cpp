#include "main/RowText.h"

#include <cstring>

namespace pw {

std::string ShortcutRowText(bool hasKey, const std::string& keyText, const std::string& path) {
    return (hasKey ? keyText : std::string("(No HotKey)")) + "\t" + path;
}

std::string HintText(const std::string& row) {
    std::string hint;
    for (char c : row)
        hint += c == '\t' ? std::string(8, ' ') : std::string(1, c);
    return hint;
}

std::string MenuEntryText(const std::string& path, const std::string& keyText, bool hasKey) {
    std::string text;
    for (char c : path)
        text += c == '&' ? std::string("&&") : std::string(1, c);
    if (hasKey)
        text += "\t" + keyText;
    return text;
}

std::string CopyDataText(const void* data, unsigned long size) {
    if (!data || size == 0)
        return {};
    const char* bytes = static_cast<const char*>(data);
    const void* nul = std::memchr(bytes, '\0', size);
    return std::string(bytes, nul ? static_cast<const char*>(nul) - bytes : size);
}

} // namespace pw
