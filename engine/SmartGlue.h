#pragma once
// The smart glue: stages 1 to 4 of the pipeline decided by what the book's layout shows
// (LayoutAnalysis.h) before the line tests, and word breaks at a hyphen decided by Czech
// hyphenation and by the book's own words. Stage 5 and the replacement passes follow as in
// the plain glue.
#include <cstdint>
#include <string_view>

#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"
#include "settings/Settings.h"

namespace lepotex {

class Hyphenator;

// How the break between two neighbouring text lines of the book goes.
enum class BreakDecision : uint8_t {
    Paragraph,  // the break stays
    Join,       // the lines join with a space
    Hyphen,     // a word broken at a line end: decided by HyphenKept
    Adjoin,     // the lines join directly, the hyphen at the break stays
};

// Everything but the word break itself; `acrossPage` tells that page furniture with blank lines
// on both sides stood between the two lines.
BreakDecision DecideBreak(std::string_view upper, std::string_view lower, const Layout& layout,
                          const Settings& settings, bool acrossPage);

// What the book says of one word broken at a hyphen: how often its joined form and its
// hyphenated form stand elsewhere in the book, as whole words in any case.
struct WordEvidence {
    uint32_t joined = 0;
    uint32_t hyphenated = 0;
};

// Whether the hyphen of `upper` (which ends in a letter and a hyphen) stays when `lower`
// (which starts with a lowercase letter) continues the word. It goes when the break is a legal
// hyphenation point of the joined word, unless the book writes the word with the hyphen
// more often than without, or the second part repeats the first (a stammer: "ne-nemohu").
bool HyphenKept(std::string_view upper, std::string_view lower, Hyphenator& hyphenator, const WordEvidence& evidence);

// The smart stages on a list of whole lines as the editor holds them: page furniture and
// the blank lines that came with it go, indents go, and the joins are marked in the list's
// flags, ready for stage 5. Returns the number of lines looked at.
int64_t GlueByLayout(LineList& list, const Settings& settings);

}  // namespace lepotex
