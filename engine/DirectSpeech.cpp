#include "engine/DirectSpeech.h"

#include <string_view>

namespace lepotex {
namespace {

// Joins the text written to out[from, end) in place, the literal JoinSpeechSpan done with a
// read and a write cursor instead of deleting byte by byte. Returns the bytes removed.
std::size_t JoinSpan(std::string& out, std::size_t from)
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

int64_t JoinSpeechSpans(std::string& collected)
{
    if (collected.empty())
        return 0;
    const std::size_t length = collected.size();
    std::string out;
    out.reserve(length);
    bool inSpeech = false;
    std::size_t spanStart = 0;  // in `out`, just behind the most recent „
    int64_t deleted = 0;
    // The final byte is never examined: the literal loop runs while the position is below
    // the current length.
    for (std::size_t i = 0; i + 1 < length; ++i) {
        const char c = collected[i];
        if (c == kOpeningQuote) {
            spanStart = out.size() + 1;
            inSpeech = true;
        } else if (c == kClosingQuote && inSpeech) {
            deleted += int64_t(JoinSpan(out, spanStart));
            inSpeech = false;
        }
        out += c;
    }
    out += collected.back();
    collected = std::move(out);
    return int64_t(length) - 1 + deleted;
}

}  // namespace lepotex
