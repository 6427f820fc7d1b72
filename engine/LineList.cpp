#include "engine/LineList.h"

#include <algorithm>
#include <cstring>

namespace lepotex {

char* Arena::Allocate(std::size_t size)
{
    if (size > left) {
        // Small lists (most tests, short texts) start small; a book gets big chunks.
        const std::size_t chunkSize = std::max(chunks.size() < 2 ? std::size_t(64) << 10 : std::size_t(4) << 20, size);
        chunks.push_back(AllocateTextBlock(chunkSize));
        next = chunks.back().get();
        left = chunkSize;
    }
    char* bytes = next;
    next += size;
    left -= size;
    return bytes;
}

std::string_view Arena::Store(std::string_view bytes)
{
    if (bytes.empty())
        return {};
    char* copy = Allocate(bytes.size());
    std::memcpy(copy, bytes.data(), bytes.size());
    return {copy, bytes.size()};
}

void LineList::AddCopy(std::string_view line)
{
    pieces.push_back(arena.Store(line));
    lineBreaks = lineBreaks || line.find('\r') != std::string_view::npos || line.find('\n') != std::string_view::npos;
}

LineList::LineList(std::initializer_list<std::string_view> lines)
{
    pieces.reserve(lines.size());
    for (std::string_view line : lines)
        AddCopy(line);
}

LineList::LineList(const WorkingList& lines)
{
    pieces.reserve(lines.size());
    for (const std::string& line : lines)
        AddCopy(line);
}

std::string LineList::LineText(std::size_t first, std::size_t& last) const
{
    std::string text;
    for (last = first;; ++last) {
        const uint8_t flag = Flags(last);
        std::string_view piece = pieces[last];
        if (flag & kHyphenNext)
            piece.remove_suffix(1);
        text += piece;
        if ((flag & kContinues) == 0)
            return text;
        if (flag & kJoinsNext)
            text += ' ';
    }
}

WorkingList LineList::ToStrings() const
{
    WorkingList out;
    out.reserve(size());
    for (std::size_t first = 0, last = 0; first < pieces.size(); first = last + 1) {
        out.push_back(LineText(first, last));
        if (Flags(first) & kIndented)
            out.back().insert(0, indent);
    }
    return out;
}

}  // namespace lepotex
