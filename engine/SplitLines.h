#pragma once
// Some PDF tools (MuPDF's text output among them) read a justified line whose spaces were
// stretched far, as lines are in a book set without hyphenation, as a column of words: each
// word on a line of its own (or a few words, which are left: verse looks the same). Read as
// they come, each of those words ends a paragraph.
#include <cstdint>

namespace lepotex {

class LineList;

// Puts each run of three or more one-word lines back together as the one line it was, where
// the run inside the text reads as a line cut into its words: together the words are no longer
// than the book's full lines, most of them go on in lower case, and none is a word of speech
// in quotes of its own ("„Ano.“" one after another is a dialogue). Gives how many line breaks
// went.
int64_t RejoinLinesCutIntoWords(LineList& list);

}  // namespace lepotex
