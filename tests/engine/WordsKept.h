#pragma once
// The smart glue's promise of never losing a word, as a check of its own: with no replacement
// rules, the words of the glued text are those of the book in order, less the lines its layout
// analysis took for page furniture; a word broken at a line end may come back joined, with its
// hyphen or without it.
#include <string>
#include <vector>

namespace lepotex::testing {

// Empty when `after` keeps every word of `before`; else where the two first part.
std::string WordsLostOrChanged(const std::vector<std::string>& before, const std::vector<std::string>& after);

}  // namespace lepotex::testing
