#pragma once
// Text taken out of a PDF set in some faces (Times, most sans faces) spells "ť", "ď" and "ľ"
// as the letter and an apostrophe, "at’", "ted’": the face builds those letters of the two
// glyphs, and the extraction reads them back one by one.
#include <cstdint>

namespace lepotex {

class LineList;

// Reads such pairs as the one letter, where the book shows it does that: the pair is common,
// the letter itself is rare, and the book is Czech or Slovak (an English one has "it’s" and
// "I’d", and no "ť" either). Gives how many pairs became letters.
int64_t MendSplitCarons(LineList& list);

}  // namespace lepotex
