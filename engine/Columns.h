#pragma once
// A page printed in two columns comes out of a tool that keeps the page's look (pdftotext's
// -layout mode among them) with the columns side by side: each line holds a line of the left
// column, a gap, and the line of the right column at the same height. Read as they come, the
// two columns' sentences alternate line by line, and every line end falls in mid-sentence.
#include <cstdint>

namespace lepotex {

class LineList;

// Reads each page (from one form feed to the next) that is set in two columns as its left
// column, then its right one; a running head above the columns and a page number below them
// stay where they are. A page is read so where its lines part at one column after a gap of two
// spaces or more, nearly all that reach that far, and most hold a column's text either side;
// once a few pages show that column, a page where only some lines reach the right column (a
// chapter ending early in it) is read by it too. No character is lost or added, only lines
// parted and put in another order. Gives how many pages were read so.
int64_t SplitColumns(LineList& list);

}  // namespace lepotex
