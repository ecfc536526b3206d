#pragma once
// The pending copy of a save that writes the settings file in place (see
// FileReplace.h), with no Win32 of its own: the new content, then the content it
// replaces, then one line that proves the copy whole:
//   ;Pathwink pending copy: <n> bytes CRC-32 <8 hex digits>, then <m> bytes CRC-32 <8 hex digits>
// (n and m the lengths of the two contents, and a CRC-32 of each), ending in CR LF.
// The copy is written whole, flushed and only then given its name, so a copy that
// lacks the line, or whose lengths and checksums do not match, was never ours.

#include <optional>
#include <string>
#include <string_view>

namespace pw {

std::string PendingCopyBytes(std::string_view newContent, std::string_view oldContent);

struct PendingCopyParts {
    std::string_view newContent, oldContent;
};
// The two contents of a whole pending copy (views into bytes); nothing for an empty,
// cut short or foreign file.
std::optional<PendingCopyParts> ReadPendingCopy(std::string_view bytes);

// True when file is what writing newContent over oldContent in place can leave when
// it is cut short at any moment, also by a power cut that wrote only some of the
// blocks: as long as one of the two, every byte that of one of them at its place,
// and past the old content's end also zero (the disk's bytes of a file extended
// but not yet written). A file edited since fits this by no reasonable chance.
bool IsTornBetween(std::string_view file, std::string_view newContent, std::string_view oldContent);

} // namespace pw
