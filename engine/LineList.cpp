#include "engine/LineList.h"

#include <algorithm>
#include <cstring>

namespace lepotex {

char* Arena::Allocate(std::size_t size)
{
    if (size > left) {
        constexpr std::size_t kChunk = std::size_t(1) << 20;
        const std::size_t chunkSize = std::max(kChunk, size);
        chunks.push_back(std::make_unique_for_overwrite<char[]>(chunkSize));
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
