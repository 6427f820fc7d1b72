#include "engine/DirectSpeech.h"

#include "editor/ByteScan.h"
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
// The runs between the breaks go over in one piece: a span may run over many paragraphs.
// Returns the end of the joined bytes.
std::size_t JoinRun(char* text, std::size_t from, std::size_t end)
{
    std::size_t read = from;
    std::size_t write = from;
    while (read < end) {
        const void* found = std::memchr(text + read, '\r', end - read);
        const std::size_t cr = found ? std::size_t(static_cast<const char*>(found) - text) : end;
        if (write != read)
            std::memmove(text + write, text + read, cr - read);
        write += cr - read;
        read = cr;
        if (read == end)
            break;
        text[write++] = ' ';
        ++read;
        if (read < end && text[read] == '\n')
            ++read;
        while (read < end && text[read] == ' ')
            ++read;
        // The character after the removed run is passed over whatever it is.
        if (read < end)
            text[write++] = text[read++];
    }
    return write;
}

template <typename Text>
std::size_t JoinSpan(Text& out, std::size_t from)
{
    const std::size_t end = out.size();
    const std::size_t write = JoinRun(out.data(), from, end);
    out.resize(write);
    return end - write;
}

// The same in the write-back's text, whose breaks are CR LF: the LF goes with its CR as the
// spaces behind it do, and a break that stays keeps its LF, being passed over or copied. The
// line ends noted within the span go, and those the join leaves are noted again.
void JoinSpan(GluedText& glued, std::size_t from)
{
    auto& ends = glued.lineEnds;
    while (!ends.empty() && ends.back() >= from)
        ends.pop_back();
    TextBuffer& text = glued.text;
    text.Truncate(JoinRun(text.data(), from, text.size()));
    for (const char* at = text.data() + from; (at = static_cast<const char*>(std::memchr(at, '\n', std::size_t(text.data() + text.size() - at))));
         ++at)
        ends.push_back(std::size_t(at - text.data()) - 1);
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

JoinedSpeech JoinPlainSpeech(const TextEditor& editor)
{
    JoinedSpeech joined;
    GluedText& glued = joined.glued;
    TextBuffer& out = glued.text;
    const int32_t count = editor.ParaCount();
    // Every paragraph and its CR LF: the join only ever takes bytes away.
    out.Reserve(std::size_t(editor.ByteCount()) + 2);
    glued.lineEndsKnown = true;
    glued.lineEnds.reserve(std::size_t(count));
    std::size_t length = 0;  // of the collected text, every paragraph and its CR
    bool inSpeech = false;
    std::size_t spanStart = 0;  // in `out`, just behind the most recent „
    for (int32_t n = 1; n <= count; ++n) {
        const std::string_view paragraph = editor.ParaText(n);
        ReadAhead(paragraph.data());  // the paragraphs of a mapped book lie one after the other
        length += paragraph.size() + 1;
        const char* from = paragraph.data();
        const char* const end = from + paragraph.size();
        while (from < end) {
            const char* stop = end;
            if (inSpeech)
                stop = FindAnyOf(from, end, kOpeningQuote, kClosingQuote, kOpeningQuote);
            else if (const void* at = std::memchr(from, kOpeningQuote, std::size_t(end - from)))
                stop = static_cast<const char*>(at);
            out.Append(std::string_view(from, std::size_t(stop - from)));
            if (stop == end)
                break;
            if (*stop == kOpeningQuote) {
                spanStart = out.size() + 1;
                inSpeech = true;
            } else {
                JoinSpan(glued, spanStart);
                inSpeech = false;
            }
            out.Append(*stop);
            from = stop + 1;
        }
        glued.lineEnds.push_back(out.size());
        out.Append("\r\n");
    }
    // The collected text would be the result with a CR alone behind each paragraph; its
    // length less the bytes the scan deleted.
    const std::size_t left = out.size() - glued.lineEnds.size();
    joined.steps = length == 0 ? 0 : int64_t(length) - 1 + int64_t(length - left);
    return joined;
}

template int64_t JoinSpeechSpans(std::string& collected, std::vector<SpeechSpan>* spans);
template int64_t JoinSpeechSpans(SpeechText& collected, std::vector<SpeechSpan>* spans);

}  // namespace lepotex
