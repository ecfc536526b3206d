#pragma once
// Puts a finished file in the place of another so that a crash or a kill at any
// moment leaves the old or the new content, also when the file has more than one
// name or is reached through a symbolic link. Scoop keeps a persisted file as a
// hard link into its own folder: a rename over it would give the program's folder a
// file of its own, and the next update would bring the old content back through
// the link; a rename over a symbolic link would replace the link itself.
//
// An ordinary file (one name, or none yet) is replaced by renaming the finished
// file over it in one step. A linked file keeps its identity, in three steps, with
// a copy as the crash-safe record of the save:
//   1. the finished file gets the target's current content and a line that proves
//      it whole appended (store/PendingCopy.h), is flushed, and is renamed to the
//      pending copy "<target>.~new" beside the target;
//   2. the new content is written over the target's in place (and the length set),
//      flushed;
//   3. the pending copy is deleted.
// A process that ends between 1 and 3 may leave the target half written, and the
// pending copy then holds both the new content and the one it replaces.
// FinishInterruptedReplace (called before the target is read or replaced) writes
// the new content over the target again when, and only when, the target is the
// torn (or untouched) result of that very save; anything else under the copy's name
// (a copy from before a hand edit, one of earlier versions, an empty, cut short or
// foreign file, a folder) is renamed "<target>.~new.unused-<date>-<time>" and never
// applied. Without a pending copy the target was never touched.

#include <windows.h>

#include <optional>
#include <string>

namespace pw {

// "<target>.~new": a save's record while it writes the target in place.
std::wstring PendingCopyOf(const std::wstring& target);

// Why an operation failed: the system's error and the file that caused it (the
// target, or whatever holds the pending copy's name and could not be moved aside).
struct FileProblem {
    DWORD error = 0;
    std::wstring file;
};

// Replaces target with source, a finished file whose data is on disk, and removes
// source. On failure the target holds its old content, and source is left for the
// caller to delete.
std::optional<FileProblem> ReplaceWithFinishedFile(const std::wstring& source,
                                                   const std::wstring& target);

// Completes a replacement that a crash or a kill cut short, or sets aside what
// holds the pending copy's name (see above). A problem when the target may be torn
// and stays so (it could not be written, or the copy could not be read); a
// leftover that cannot be moved aside is no problem here.
std::optional<FileProblem> FinishInterruptedReplace(const std::wstring& target);

} // namespace pw
