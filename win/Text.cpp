#include "win/Text.h"

#include <windows.h>

namespace pw {

std::wstring Wide(std::string_view utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), n);
    return wide;
}

std::string Utf8(std::wstring_view utf16) {
    if (utf16.empty())
        return {};
    const int size = static_cast<int>(utf16.size());
    const int n = WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), size, utf8.data(), n, nullptr, nullptr);
    return utf8;
}

std::string Utf8FromAnsi(std::string_view ansi) {
    if (ansi.empty())
        return {};
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, wide.data(), n);
    return Utf8(wide);
}

bool FitsAnsiCodePage(std::string_view utf8) {
    const std::wstring wide = Wide(utf8);
    if (wide.empty())
        return true;
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    const int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                      nullptr, &usedDefault);
    if (usedDefault || n <= 0)
        return false;
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, ansi.data(), n, nullptr,
                        &usedDefault);
    return !usedDefault && Wide(Utf8FromAnsi(ansi)) == wide;
}

namespace {

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

std::size_t Utf16UnitsOfLead(char c) {
    return static_cast<unsigned char>(c) >= 0xF0 ? 2 : 1;
}

} // namespace

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8)
        if (!IsContinuationByte(c))
            units += Utf16UnitsOfLead(c);
    return units;
}

std::string_view Utf16Prefix(std::string_view utf8, std::size_t units) {
    std::size_t used = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if (IsContinuationByte(utf8[i]))
            continue;
        used += Utf16UnitsOfLead(utf8[i]);
        if (used > units)
            return utf8.substr(0, i);
    }
    return utf8;
}

std::string_view Utf16Suffix(std::string_view utf8, std::size_t units) {
    std::size_t used = 0;
    std::size_t start = utf8.size();
    for (std::size_t i = utf8.size(); i-- > 0;) {
        if (IsContinuationByte(utf8[i]))
            continue;
        used += Utf16UnitsOfLead(utf8[i]);
        if (used > units)
            break;
        start = i;
    }
    return utf8.substr(start);
}

std::string ShortenedInMiddle(std::string_view utf8, std::size_t units) {
    constexpr std::string_view kEllipsis = "...";
    if (Utf16Length(utf8) <= units)
        return std::string(utf8);
    if (units <= kEllipsis.size())
        return std::string(kEllipsis.substr(0, units));
    const std::size_t room = units - kEllipsis.size();
    const std::string_view head = Utf16Prefix(utf8, room - room / 2);
    const std::string_view tail = Utf16Suffix(utf8, room - Utf16Length(head));
    return std::string(head) + std::string(kEllipsis) + std::string(tail);
}

std::size_t LongestThatFits(std::size_t most, const std::function<bool(std::size_t)>& fits) {
    if (fits(most))
        return most;
    std::size_t low = 0, high = most; // fits(low) is assumed, fits(high) is false
    while (high - low > 1) {
        const std::size_t middle = low + (high - low) / 2;
        (fits(middle) ? low : high) = middle;
    }
    return low;
}

std::string FullPath(const std::string& path) {
    const std::wstring wide = Wide(path);
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (n == 0)
            return path;
        const bool fits = n < full.size();
        full.resize(n);
        if (fits)
            return Utf8(full);
    }
}

} // namespace pw
