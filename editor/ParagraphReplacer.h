#pragma once
// "Replace all" over one paragraph at a time, for a text that never sits in an editor: a
// command streaming its result into a file applies its replacements on the way.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "editor/SearchOptions.h"

namespace lepotex {

class ParagraphReplacer {
public:
    // `options`: matchCase and wholeWord count; the search runs forward over the whole text.
    ParagraphReplacer(std::string_view search, std::string_view replacement, SearchOptions options);
    ~ParagraphReplacer();
    ParagraphReplacer(ParagraphReplacer&&) noexcept;
    ParagraphReplacer& operator=(ParagraphReplacer&&) noexcept;

    // What TextEditor::Replace with `options` and SearchOptions::global makes of the paragraph
    // `text`, into `out`; the count of replacements (0: `out` is left alone). -1 where a
    // replacement would make the paragraph longer than `lengthLimit`, which the editor refuses.
    // `longest` becomes the paragraph's greatest length on the way.
    int32_t Apply(std::string_view text, std::string& out, std::size_t lengthLimit, std::size_t& longest) const;

    // Where in `text` the search is next found from `from` on, whole word or not; npos where
    // nowhere. A paragraph of `text` that none is found in is left alone by Apply.
    std::size_t NextPossible(std::string_view text, std::size_t from) const;

private:
    struct Prepared;
    std::unique_ptr<Prepared> prepared;  // null for a search that finds nothing
};

}  // namespace lepotex
