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

std::wstring CopyDataUtf16Text(const void* data, unsigned long size) {
    if (!data)
        return {};
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    std::wstring text;
    for (unsigned long i = 0; i + 1 < size; i += 2) {
        const wchar_t c = static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8));
        if (c == L'\0')
            break;
        text += c;
    }
    return text;
}

} // namespace pw
