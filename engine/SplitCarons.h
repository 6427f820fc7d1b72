#pragma once
// Text taken out of a PDF set in some faces (Times, most sans faces) spells "ť", "ď" and "ľ"
// as the letter and an apostrophe, "at’", "ted’": the face builds those letters of the two
// glyphs, and the extraction reads them back one by one.
#include <cstdint>
#include <string>
#include <vector>

namespace lepotex {

class LineList;

// A word mended, for the record of the glue.
struct CaronMend {
    uint32_t line = 0;  // of the list as it was handed in
    uint32_t at = 0;    // where the word starts in the mended line
    std::string before;  // the word as the book has it
    std::string after;
    bool hyphen = false;  // a hyphen the extraction took out went back (JoinedHyphens.h)
};

// A letter a mending put in a line: where it stands now, and the bytes it was.
struct MendedLetter {
    std::size_t at;
    std::string before;
};
// Ends the mending of piece `i`: `line`, its mended start, takes the rest of the piece from
// `from` and the piece's place, and `mends` the words with the letters. Gives their number
// (none mended: the piece stays).
int64_t StoreMendedLine(LineList& list, std::size_t i, std::string& line, std::size_t from,
                        const std::vector<MendedLetter>& letters, std::vector<CaronMend>* mends);

// Reads such pairs as the one letter, where the book shows it does that: the pair is common,
// the letter itself is rare, and the book is Czech or Slovak (an English one has "it’s" and
// "I’d", and no "ť" either). Gives how many pairs became letters; `mends`, where given, gets each
// word they were in, in the order of the text.
int64_t MendSplitCarons(LineList& list, std::vector<CaronMend>* mends = nullptr);

}  // namespace lepotex
