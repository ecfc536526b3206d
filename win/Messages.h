#pragma once
// The program's three kinds of box: the plain message (our own small dialog:
// application title as caption, no icon, text wrapped at half the width of the
// pointer's screen, one "OK" button, centred on that screen), the Yes/No question, and the default
// error report.

#include <windows.h>

#include <cstddef>
#include <functional>
#include <string>

namespace pw {

// Control id of the text in a plain message; the same as in system message boxes.
constexpr int kMessageTextId = 0xFFFF;

// Returns when the user closes it. shownBox, when given, holds the box's window
// while it is open (nullptr before and after).
void PlainMessage(const std::string& text, HWND* shownBox = nullptr);
// A text that names a path, given the most UTF-16 units the path may take in it.
using TextWithPathWithin = std::function<std::string(std::size_t pathUnits)>;
// The same for a text around a path of any length: the path is shortened (see
// ShortenedInMiddle) as far as needed for the box, button included, to fit the
// work area of the pointer's monitor, on which the box is centred.
void PlainMessage(const TextWithPathWithin& text, HWND* shownBox = nullptr);

// MB_YESNO, no icon, owned by the application's active window. Returns IDYES or IDNO.
int QuestionBox(const std::string& text, const std::string& caption);

// The system message box, kept above all other windows (MB_TOPMOST, made sure of
// where the platform's box ignores that flag).
int TopmostMessageBox(const std::string& text, const std::string& caption, UINT flags);

// Error icon, application title as caption, a full stop added where the text lacks one.
void ReportError(const std::string& text);

} // namespace pw
