#pragma once
// Coordinates used throughout the editor core.
//
//   paraNo       paragraph number, from 1 (1 .. ParaCount()).
//   displayLine  display line number, from 1 (1 .. LineCount()); depends on word wrap:
//                with word wrap off, display line N is paragraph N.
//   column       character position within a paragraph, from 1; column c sits in front of
//                the byte at offset c - 1. A paragraph of length L has columns 1 .. L + 1.
//   offset       zero-based byte offset within a paragraph's text (offset = column - 1).
//   index        zero-based position in a working list of the engine (line i = paragraph i + 1).
#include <cstdint>
#include <compare>

namespace lepotex {

struct ParaPos {
    int32_t paraNo = 1;
    int32_t column = 1;
    auto operator<=>(const ParaPos&) const = default;
};

// What the status bar shows: the caret's display line and its display column (tabs expanded).
struct CaretPosition {
    int32_t displayLine = 1;
    int32_t column = 1;
    bool operator==(const CaretPosition&) const = default;
};

}  // namespace lepotex
