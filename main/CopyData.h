#pragma once
// The copy-data protocol: how another program hands Pathwink a folder with
// WM_COPYDATA (the README shows a sender). Free of Win32.

#include <string>

namespace pw {

// A copy-data block whose dwData is this holds UTF-16LE text; any other, ANSI text.
constexpr unsigned long kCopyDataUtf16 = 0xFEFF;
// The same UTF-16LE text from a sender that does not wait for the dialog: the
// window answers as soon as it has the text ("Pathwink.exe add" sends this).
constexpr unsigned long kCopyDataUtf16NoWait = 0x1FEFF;
// The text a copy-data block hands over: at most size bytes, up to the first NUL
// (ANSI bytes as they are).
std::string CopyDataText(const void* data, unsigned long size);
// The same for UTF-16LE text: at most size bytes (an odd last byte is ignored),
// up to the first NUL character.
std::wstring CopyDataUtf16Text(const void* data, unsigned long size);

} // namespace pw
