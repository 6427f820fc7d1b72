#include "engine/DirectSpeech.h"

#include "engine/GlueRecorder.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace lepotex {
namespace {

// Joins the speech written to out[from, end) in place, with a read and a write cursor
// instead of deleting byte by byte. Returns the bytes removed. What it does to a text:
// - A paragraph break (CR) becomes one space, and an LF right behind it and the spaces that
//   began the next paragraph go: a paragraph indented with spaces or a tab (the tab came in
//   as spaces) joins without a gap. Spaces that ended the paragraph before stay, so a join
//   can leave two or more spaces in a row; nothing is trimmed that the user may have meant.
// - The character after that removed run is passed over unexamined. When it is itself a CR,
//   that is, when an empty paragraph lies inside the speech, that break stays: "„Tak" |
//   (empty) | "tedy ne.“" comes out as "„Tak " | "tedy ne.“". Of three breaks in a row the
//   first and the third are joined. It is kept because the command must give the texts it
//   always gave; it loses no text, only a break survives, and an empty line inside a
//   quotation may be a pause the book meant.
template <typename Text>
std::size_t JoinSpan(Text& out, std::size_t from)
{
    const std::size_t end = out.size();
    std::size_t read = from;
    std::size_t write = from;
    while (read < end) {
        if (out[read] == '\r') {
            out[write++] = ' ';
            ++read;
            if (read < end && out[read] == '\n')
                ++read;
            while (read < end && out[read] == ' ')
                ++read;
        }
        // The character after the removed run is passed over whatever it is.
        if (read < end)
            out[write++] = out[read++];
    }
    out.resize(write);
    return end - write;
}

}  // namespace

// The scan over the quotes, and what it does to a text:
// - A span runs from the most recent „ to the next “. A later „ moves the start, so in
//   "„a" | "„b" | "c“" only "„b c“" is joined: a „ that is never closed, often a stray mark
//   of the scan, does not pull the paragraphs after it into one.
// - A “ with no „ since the last joined span is passed over, and a „ never followed by “
//   joins nothing: a text with unbalanced quotes is joined only where a pair is certain.
// - The final byte, the CR of the last paragraph, is never examined, so the text always ends
//   with its last paragraph break.
template <typename Text>
int64_t JoinSpeechSpans(Text& collected, std::vector<SpeechSpan>* spans)
{
    if (collected.empty())
        return 0;
    const std::size_t length = collected.size();
    // The final byte is never examined: the scan runs while the position is below the
    // current length.
    const std::size_t last = length - 1;
    const char* const text = collected.data();
    Text out;
    out.reserve(length);
    bool inSpeech = false;
    std::size_t spanStart = 0;  // in `out`, just behind the most recent „
    std::size_t opened = 0;     // in `collected`, the most recent „
    int64_t deleted = 0;
    // Only the quotes matter; the bytes between them go over in one piece. The next „ and “
    // are each looked for once and kept until passed, so no byte is scanned twice.
    auto next = [&](char quote, std::size_t from) {
        const void* at = std::memchr(text + from, quote, last - from);
        return at ? std::size_t(static_cast<const char*>(at) - text) : last;
    };
    std::size_t nextOpening = next(kOpeningQuote, 0);
    std::size_t nextClosing = next(kClosingQuote, 0);
    for (std::size_t i = 0; i < last;) {
        if (nextOpening < i)
            nextOpening = next(kOpeningQuote, i);
        if (nextClosing < i)
            nextClosing = next(kClosingQuote, i);
        const std::size_t stop = std::min(nextOpening, inSpeech ? nextClosing : last);
        out.append(text + i, stop - i);
        if (stop == last)
            break;
        if (text[stop] == kOpeningQuote) {
            spanStart = out.size() + 1;
            opened = stop;
            inSpeech = true;
        } else {
            deleted += int64_t(JoinSpan(out, spanStart));
            if (spans && std::memchr(text + opened, '\r', stop - opened))
                spans->push_back({spanStart - 1, out.size(), std::string(text + opened, stop + 1 - opened)});
            inSpeech = false;
        }
        out += text[stop];
        i = stop + 1;
    }
    out += collected.back();
    collected = std::move(out);
    return int64_t(length) - 1 + deleted;
}

template int64_t JoinSpeechSpans(std::string& collected, std::vector<SpeechSpan>* spans);
template int64_t JoinSpeechSpans(SpeechText& collected, std::vector<SpeechSpan>* spans);

}  // namespace lepotex
