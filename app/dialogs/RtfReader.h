#pragma once
// Turns a rich-text (RTF) file into the text a reader sees: paragraphs, tabs and characters,
// with every formatting instruction dropped. It reads groups, control words and symbols,
// `\par`, `\'hh` as Windows-1250 and `\uN` with its `\ucN` fallback, and skips the groups
// that are not text (font and colour tables, pictures, `\*` destinations ...).
//
// Plain C++ so that it can be fuzzed: any input gives some text in one pass over the bytes,
// without recursion, however deep the nesting, however the file is cut off.
#include <string>
#include <string_view>

namespace lepotex {

// True when the bytes begin with "{\rtf", the mark of a rich-text file.
[[nodiscard]] bool LooksLikeRtf(std::string_view bytes) noexcept;

// The text of an RTF file; paragraphs end with '\n'. Malformed input is read as far as it
// makes sense: a truncated escape ends the text, a '}' without its '{' is ignored, anything
// after the outermost group is ignored, and a character that is no valid UTF-16 (a \u out of
// range, half a surrogate pair) becomes U+FFFD.
[[nodiscard]] std::u16string RtfToText(std::string_view rtf);

}  // namespace lepotex
