#pragma once
// Some tools give every line of a page the page's left margin as spaces (Ghostscript's text
// output does, a different margin on left and right pages; so do texts indented whole by
// hand). Read as they come, every line of such a book starts indented, and an indent then
// marks nothing: the margin goes first, page by page, and what is left of a line's leading
// spaces is its own.
#include <cstdint>

namespace lepotex {

class LineList;

struct LeftMargins {
    int32_t least = 0;  // the narrowest and the widest margin taken off; 0 when none was
    int32_t most = 0;
    int64_t lines = 0;  // lines that lost one
};

// Takes the margin off the lines of a book whose body lines nearly all start with spaces,
// finding where it changes between pages. A book with lines at the left edge, or whose
// lines stand left of the margin found (a hanging indent), stays as it is.
LeftMargins StripLeftMargins(LineList& list);

}  // namespace lepotex
