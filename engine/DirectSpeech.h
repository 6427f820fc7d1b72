#pragma once
// The scan of "Slepit „přímou řeč“" over the collected text (every paragraph followed by one
// CR): wherever „ (0x84) is followed by “ (0x93), the paragraph breaks between the most recent
// „ and the “ become single spaces.
#include <cstdint>
#include <string>
#include <vector>

#include "editor/TextBlock.h"

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

}  // namespace lepotex
