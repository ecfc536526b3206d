#include "main/CopyData.h"

#include <cstring>

namespace pw {

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
