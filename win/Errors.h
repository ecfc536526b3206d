#pragma once
// An error whose text is meant for the user: thrown by failed settings-file and
// registry writes, caught at the window-procedure boundary and shown there.

#include "win/Scoped.h"
#include "win/Text.h"

#include <windows.h>

#include <stdexcept>
#include <string>

namespace pw {

class UserError : public std::runtime_error {
public:
    explicit UserError(const std::string& text) : std::runtime_error(text) {}
};

// The system's text for an error code, on one line ("Access is denied."); the code
// itself when the system has no text for it.
inline std::string SystemReason(DWORD error) {
    UniqueLocalMem<wchar_t*> buffer;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(buffer.Put()), 0, nullptr);
    std::string text = n && buffer ? Utf8(std::wstring_view(buffer.Get(), n)) : std::string();
    for (char& c : text)
        if (c == '\r' || c == '\n')
            c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return text.empty() ? "Error " + std::to_string(error) + "." : text;
}

} // namespace pw
