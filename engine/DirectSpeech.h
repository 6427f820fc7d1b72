#pragma once
// The scan of "Slepit „přímou řeč“" over the collected text (every paragraph followed by one
// CR): wherever „ (0x84) is followed by “ (0x93), the paragraph breaks between the most recent
// „ and the “ become single spaces.
#include <cstdint>
#include <string>

#include "editor/TextBlock.h"

namespace lepotex {

inline constexpr char kOpeningQuote = '\x84';
inline constexpr char kClosingQuote = '\x93';

// Rewrites `collected` in place and returns the progress steps of the literal scan: one per
// position examined and one per character deleted. One pass, linear in the text's length.
//
// The join keeps the quirks of the literal algorithm: after a CR has become a space and the
// LF and spaces after it are gone, the next character is passed over unexamined, so of two
// CRs in a row only the first becomes a space.
// The collected text of a book: in storage that may grow to a book's size.
using SpeechText = std::basic_string<char, std::char_traits<char>, LargeAllocator<char>>;

template <typename Text>
int64_t JoinSpeechSpans(Text& collected);
extern template int64_t JoinSpeechSpans(std::string& collected);
extern template int64_t JoinSpeechSpans(SpeechText& collected);

}  // namespace lepotex
