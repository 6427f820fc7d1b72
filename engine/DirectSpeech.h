#pragma once
// The scan of "Slepit „přímou řeč“" over the collected text (every paragraph followed by one
// CR): wherever „ (0x84) is followed by “ (0x93), the paragraph breaks between the most recent
// „ and the “ become single spaces.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/TextBlock.h"
#include "editor/TextEditor.h"
#include "engine/GluedText.h"

namespace lepotex {

inline constexpr char kOpeningQuote = '\x84';
inline constexpr char kClosingQuote = '\x93';

// Rewrites `collected` in place and returns the progress steps of the scan: one per position
// examined and one per character deleted, so with two or more deletions they pass the
// length the progress bar was given. One pass, linear in the text's length.
//
// The command keeps the habits it has always had, since users repair a library over years
// and a book joined today must come out as the same book joined before (DirectSpeech.cpp
// says what each does to a text).
// The collected text of a book: in storage that may grow to a book's size.
using SpeechText = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

struct SpeechSpan;

// `spans`, when given, gets every span joined, placed in the text after the scan.
template <typename Text>
int64_t JoinSpeechSpans(Text& collected, std::vector<SpeechSpan>* spans = nullptr);
extern template int64_t JoinSpeechSpans(std::string& collected, std::vector<SpeechSpan>* spans);
extern template int64_t JoinSpeechSpans(SpeechText& collected, std::vector<SpeechSpan>* spans);

// The same scan straight from the editor's paragraphs to the text the write-back takes:
// every paragraph of the result followed by CR LF, its line ends noted, and the progress
// steps JoinSpeechSpans gives for the collected text. For a loaded book known to be plain (no
// CR, LF or tab in a paragraph), whose collected text would be its paragraphs and their CRs
// alone: the book is then read where it lies and written once, with no collected copy.
struct JoinedSpeech {
    GluedText glued;
    int64_t steps = 0;
};
JoinedSpeech JoinPlainSpeech(const TextEditor& editor);

}  // namespace lepotex
