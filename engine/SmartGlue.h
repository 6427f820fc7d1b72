#pragma once
// The smart glue: stages 1 to 4 of the pipeline decided by what the book's layout shows
// (LayoutAnalysis.h) before the line tests, and word breaks at a hyphen decided by Czech
// hyphenation and by the book's own words. Stage 5 and the replacement passes follow as in
// the plain glue.
#include <cstdint>
#include <string_view>

#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"
#include "engine/LineWidths.h"
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

// Everything but the word break itself, for two text lines that stand one below the other once
// page furniture is gone.
BreakDecision DecideBreak(std::string_view upper, std::string_view lower, const Layout& layout,
                          const Settings& settings);

// What the book says of one word broken at a hyphen: how often its joined form, its
// hyphenated form and, where the second part starts with the first, the rest of the second
// part stand elsewhere in the book, as whole words in any case; before "li", the first part
// alone and with "l" ("vstoupi", "vstoupil").
struct WordEvidence {
    uint32_t joined = 0;
    uint32_t hyphenated = 0;
    uint32_t tail = 0;
    uint32_t fragment = 0;
    uint32_t past = 0;
};

// Whether the hyphen of `upper` (which ends in a letter and a hyphen) stays when `lower`
// (which starts with a lowercase letter) continues the word. It stays where fewer than two
// letters precede the break or fewer than three follow it, whatever else the book says, unless
// the book's wrapper left two letters after its breaks (`shortBreaks`, as word processors do);
// then fewer than two, and two only where the book does not write the word joined more often
// than hyphenated, or where they are the particle "li" that no word of the book decides (a
// verb's past where the book knows the first part with "l" and not alone). In such a book a
// break the patterns would not make is its wrapper's too.
// Otherwise the book's own spelling decides where it writes the word one way more often than
// the other; then a stammer keeps it (the second part repeats the first, and after two letters
// goes on with a word of the book: "ne-nemohu"); else it goes exactly when the break is a legal hyphenation point of the joined
// word.
bool HyphenKept(std::string_view upper, std::string_view lower, Hyphenator& hyphenator, const WordEvidence& evidence,
                bool shortBreaks = false);

// The smart stages on a list of whole lines as the editor holds them: page furniture and
// the blank lines that came with it go, indents go, and the joins are marked in the list's
// flags, ready for stage 5. Returns the number of lines looked at. `ready`: a list of a width
// for every line, its memory touched already, for their widths.
int64_t GlueByLayout(LineList& list, const Settings& settings, LineWidthList&& ready = {});

}  // namespace lepotex
