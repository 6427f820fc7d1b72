#pragma once
// A text with a blank line after every line: typed double-spaced, or a file whose CR LF line
// ends were turned into CR CR LF by a second conversion (a lone CR ends a line). A blank line
// there is only the spacing, and a paragraph's break is a run of more of them.
#include <cstdint>

namespace lepotex {

class LineList;

// Where nearly every line of a text wrapped to a width is followed by one blank line, takes
// the spacing out: a run of k blank lines between text lines becomes (k - 1) / 2 of them (at
// the text's ends k / 2). Gives the number of
// blank lines taken out (0: the text is not double-spaced, and stays as it is).
int64_t DropDoubleSpacing(LineList& list);

}  // namespace lepotex
