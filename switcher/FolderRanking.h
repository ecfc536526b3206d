#pragma once
// Which folders the switcher lists for what the user typed, and in which order; no
// Win32 of its own. Text is compared after a case fold the caller gives (the window
// layer's works in any script), applied once to each path and once per query.

#include <string>
#include <string_view>
#include <vector>

namespace pw {

// The folder's own name: its last component, trailing separators aside
// ("C:\Work\Notes\" -> "Notes"); a root such as "D:\" is its own name.
std::string_view OwnNameOf(std::string_view path);

// The indexes of the folded paths that hold every word (blank-separated) of the
// folded query, in this order: those whose own name starts with the query (blanks
// at its ends removed), then those whose own name contains it, then the rest; each
// group in the paths' order. A query of blanks alone keeps every path.
std::vector<int> RankFolders(const std::vector<std::string>& foldedPaths,
                             std::string_view foldedQuery);

} // namespace pw
