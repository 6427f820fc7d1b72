#pragma once
// Text taken out of a PDF in reading order (pdftotext without -layout) comes with its line-end
// hyphens taken out: the word broken at a line end is written whole, and the rest of the line
// below runs on in the same line. That is right for the breaks the typesetter made, and loses
// the hyphen where it was the word's own ("Parkáň-Nány", "oh-oh-oh", "máš-li").
#include <vector>

#include "engine/SplitCarons.h"

namespace lepotex {

class LineList;

// Puts such hyphens back where the book shows it took them out (lines of about one width, and
// lines of two or more run together) and the word shows the hyphen was its own: a capital
// inside it, a syllable said twice beside the same one, or the particle "-li" after a word the
// book knows and that reads as no past tense. Only where a line of the book could have ended.
// Gives how many hyphens went back; `mends`, where given, gets each word, in the text's order,
// its `line` the piece of the list.
int64_t RestoreJoinedHyphens(LineList& list, std::vector<CaronMend>* mends = nullptr);

}  // namespace lepotex
