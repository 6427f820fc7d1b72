#pragma once
// The smart glue's promise of never losing a word, as a check of its own: with no replacement
// rules, the words of the glued text are those of the book in order, less the lines its layout
// analysis took for page furniture; a word broken at a line end may come back joined, with its
// hyphen or without it.
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace lepotex::testing {

// Empty when `after` keeps every word of `before`; else where the two first part.
std::string WordsLostOrChanged(const std::vector<std::string>& before, const std::vector<std::string>& after);

// The words of the lines in any order, sorted (a form feed parts words as a space does), and
// how many lines begin with a form feed: what lines only parted and moved must keep.
template <typename Lines>
std::vector<std::string_view> SortedWords(const Lines& lines, std::size_t& feeds)
{
    std::vector<std::string_view> words;
    feeds = 0;
    for (const std::string_view line : lines) {
        feeds += line.starts_with('\f') ? 1 : 0;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t end = std::min(line.find_first_of(" \f", at), line.size());
            if (end > at)
                words.push_back(line.substr(at, end - at));
            at = end + 1;
        }
    }
    std::ranges::sort(words);
    return words;
}

}  // namespace lepotex::testing
