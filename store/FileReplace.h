#pragma once
// Puts a finished file in the place of another so that a crash or a kill at any
// moment leaves the old or the new content, also when the file has more than one
// name. Scoop keeps a persisted file as a hard link into its own folder: a rename
// over it would give the program's folder a file of its own, and the next update
// would bring the old content back through the link.
//
// An ordinary file (one name, or none yet) is replaced by renaming the finished
// file over it in one step. A file with more names keeps its identity, in three
// steps, with the finished file as the crash-safe copy:
//   1. the finished file, complete and flushed, is renamed to the pending copy
//      "<target>.~new" beside the target: from then on that name stands for
//      "the target's new content, whole";
//   2. its bytes are written over the target's in place (and the length set), flushed;
//   3. the pending copy is deleted.
// A process that ends between 1 and 3 may leave the target half written, but
// always with the whole new content in the pending copy. FinishInterruptedReplace
// (called before the target is read or replaced) writes that content into the
// target again and deletes the copy, so every reader after it sees the new
// content, through every name. Without a pending copy the target was never touched.

#include <string>

namespace pw {

// "<target>.~new": the whole new content of a replacement that may not have reached
// the target yet.
std::wstring PendingCopyOf(const std::wstring& target);

// Replaces target with source, a finished file whose data is on disk, and removes
// source. False with the reason in GetLastError(): the target then holds its old
// content, and source is left for the caller to delete.
bool ReplaceWithFinishedFile(const std::wstring& source, const std::wstring& target);

// Completes a replacement that a crash or a kill cut short (see above). True when
// there was none or it is now complete; false with the reason in GetLastError()
// when the target could not be written (the pending copy then stays for next time).
bool FinishInterruptedReplace(const std::wstring& target);

} // namespace pw
