#include "switcher/FolderRanking.h"

namespace pw {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

bool IsSeparator(char c) {
    return c == '\\' || c == '/';
}

std::vector<std::string_view> WordsOf(std::string_view text) {
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        while (at < text.size() && IsBlank(text[at]))
            ++at;
        const std::size_t start = at;
        while (at < text.size() && !IsBlank(text[at]))
            ++at;
        if (at > start)
            words.push_back(text.substr(start, at - start));
    }
    return words;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::string_view OwnNameOf(std::string_view path) {
    std::string_view rest = path;
    while (!rest.empty() && IsSeparator(rest.back()))
        rest.remove_suffix(1);
    const std::size_t cut = rest.find_last_of("\\/");
    if (cut == std::string_view::npos)
        return rest.empty() || rest.back() == ':' ? path : rest;
    return rest.substr(cut + 1);
}

std::vector<int> RankFolders(const std::vector<std::string>& foldedPaths,
                             std::string_view foldedQuery) {
    // UTF-8 is matched byte by byte: a character's bytes never begin inside another's.
    const std::vector<std::string_view> words = WordsOf(foldedQuery);
    const std::string_view whole = Trimmed(foldedQuery);
    std::vector<int> starting, containing, rest;
    for (std::size_t i = 0; i < foldedPaths.size(); ++i) {
        const std::string& path = foldedPaths[i];
        bool matches = true;
        for (std::string_view word : words)
            if (path.find(word) == std::string::npos) {
                matches = false;
                break;
            }
        if (!matches)
            continue;
        const std::string_view name = OwnNameOf(path);
        const int index = static_cast<int>(i);
        if (name.substr(0, whole.size()) == whole)
            starting.push_back(index);
        else if (name.find(whole) != std::string_view::npos)
            containing.push_back(index);
        else
            rest.push_back(index);
    }
    starting.insert(starting.end(), containing.begin(), containing.end());
    starting.insert(starting.end(), rest.begin(), rest.end());
    return starting;
}

} // namespace pw
