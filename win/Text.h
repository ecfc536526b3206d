#pragma once
// The program keeps text as UTF-8 in std::string; Windows gets and gives UTF-16.
// Every conversion goes through these functions, at the boundary.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace pw {

// UTF-8 to UTF-16. Invalid bytes become U+FFFD.
std::wstring Wide(std::string_view utf8);
// UTF-16 to UTF-8. An unpaired surrogate becomes U+FFFD.
std::string Utf8(std::wstring_view utf16);
// Text in the ANSI code page (files and messages of earlier versions) to UTF-8.
std::string Utf8FromAnsi(std::string_view ansi);
// True when every character of utf8 has its own character in the ANSI code page,
// so that text written in that code page reads back the same.
bool FitsAnsiCodePage(std::string_view utf8);

// The path made absolute from the current folder (GetFullPathNameW: "." and ".." resolved,
// any length); the path as given when the system cannot.
std::string FullPath(const std::string& path);
// The length of a UTF-8 text in UTF-16 units (a character beyond U+FFFF counts 2).
std::size_t Utf16Length(std::string_view utf8);
// The longest start of utf8 that holds at most units UTF-16 units, cut between characters.
std::string_view Utf16Prefix(std::string_view utf8, std::size_t units);
// The longest end of utf8 that holds at most units UTF-16 units, cut between characters.
std::string_view Utf16Suffix(std::string_view utf8, std::size_t units);
// utf8 in at most units UTF-16 units: as it is when it fits, else its start and its
// end (half the room each) with "..." between, cut between characters, so that a
// long path still shows its drive and its last folders.
std::string ShortenedInMiddle(std::string_view utf8, std::size_t units);
// The largest n in [0, most] for which fits(n) holds, given that fits holds for every
// n below one that does; 0 when none does. About log2(most) calls.
std::size_t LongestThatFits(std::size_t most, const std::function<bool(std::size_t)>& fits);

} // namespace pw
