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

WorkingList LineList::ToStrings() const
{
    WorkingList out;
    out.reserve(size());
    bool startsLine = true;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        const uint8_t flag = flags.empty() ? 0 : flags[i];
        if (startsLine) {
            out.emplace_back();
            if (flag & kIndented)
                out.back() = indent;
        } else {
            out.back() += ' ';
        }
        out.back() += pieces[i];
        startsLine = (flag & kJoinsNext) == 0;
    }
    return out;
}

}  // namespace lepotex
