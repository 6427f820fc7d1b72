#pragma once
// The five stages of the glue pipeline over the working list. Each gives exactly the lines of
// the literal loop that walks the list from its end and removes or joins one line at a time,
// but in one pass: the literal loop is quadratic on a book (every removal moves the lines
// behind it, every join re-copies the growing paragraph).
//
// Stages 1 to 3 expect a list whose pieces are whole lines; stages 3 and 4 record their joins
// and stage 5 its indent in the list's flags (LineList.h), and later stages read a joined line
// through its pieces.
//
// Each returns the number of progress steps the literal loop takes.
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/LineList.h"
#include "engine/LineTests.h"
#include "settings/Settings.h"

namespace lepotex {

// Stage 1: leading spaces go; a line of spaces becomes empty. One step per line.
int64_t RemoveIndentation(LineList& list);
// Stage 2: page-number lines go. One step per line.
int64_t RemovePageNumbers(LineList& list);
// Stages 1 and 2 in one pass over the lines, which a book's size makes worth it: each pass
// reads every line's first bytes from memory again. Returns the steps of each, which are the
// same.
int64_t RemoveIndentationAndPageNumbers(LineList& list);
// Stage 3: a line ending in a hyphen-broken word takes the next non-empty line that
// continues it, without the hyphen; the empty lines between go. Returns the progress steps
// the stage takes: one for every non-empty line that has any line after it, joined or not
// (not the number of joins, which list.joins counts).
int64_t JoinHyphenatedWords(LineList& list);
// Stage 4: neighbouring non-empty lines that CanGlueLines allows become one, joined by a
// space. One step per pair of non-empty neighbours.
int64_t GlueLineBreaks(LineList& list, const Settings& settings);
// Stage 5: every non-empty line starts with `indent`. One step per non-empty line.
// `unindented`: no line starts with a space (stages 1 to 4 made the list), so the lines'
// bytes need not be read.
int64_t Reindent(LineList& list, std::string_view indent, bool unindented = false);

// Indent size 1 to 14 gives size - 1 spaces; 0 and sizes above 14 give 14.
std::string MakeIndentString(uint8_t indentSize);

}  // namespace lepotex
