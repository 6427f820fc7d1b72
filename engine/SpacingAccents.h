#pragma once
// A face that has no "ř", "ů" or "ě" of its own (Times and Helvetica as LaTeX sets Czech) puts
// the accent over the plain letter; some PDF tools give the text back with the accent as a
// character of its own before the letter: "hˇr", "d˚um", the ring, which Windows-1250 lacks,
// as "?" or "°". Some also leave a space where the accent stands apart ("led ˇela", "d ˚um").
#include <cstdint>
#include <vector>

#include "engine/SplitCarons.h"

namespace lepotex {

class LineList;

// Reads each accent and the letter after it as the one letter, where the book shows it does
// that: the pair is common and the letter itself rare. The space before it goes where the
// letter never starts a Czech word (ě, ů) after a letter, and after an opening quote or
// bracket; before "ň" after a letter where the book shows the tool leaves such spaces. Gives how many letters were mended; `mends`, where given, gets each word they were
// in, in the order of the text.
int64_t MendSpacingAccents(LineList& list, std::vector<CaronMend>* mends = nullptr);

}  // namespace lepotex
