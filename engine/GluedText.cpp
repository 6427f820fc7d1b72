#include "engine/GluedText.h"

#include <algorithm>
#include <cstring>

namespace lepotex {
namespace {

bool HasUnevenBreak(std::string_view text) noexcept
{
    if (!text.empty() && !text.ends_with("\r\n"))
        return true;
    for (std::size_t at = 0; (at = text.find('\r', at)) != std::string_view::npos; ++at)
        if (at + 1 == text.size() || text[at + 1] != '\n')
            return true;
    for (std::size_t at = 0; (at = text.find('\n', at)) != std::string_view::npos; ++at)
        if (at == 0 || text[at - 1] != '\r')
            return true;
    return false;
}

}  // namespace

void TextBuffer::Reserve(std::size_t capacity)
{
    if (capacity <= room)
        return;
    block = GrowTextBlock(std::move(block), length, capacity);
    room = capacity;
}

void TextBuffer::Grow(std::size_t extra)
{
    Reserve(std::max(length + extra, room + room / 2 + 64));
}

GluedText WriteOut(const LineList& list, const LineHook& onLine)
{
    std::size_t size = 0;
    for (std::string_view piece : list.pieces)
        size += piece.size() + 2;  // a joining space counts one of the two
    for (std::size_t i = 0; i < list.flags.size(); ++i) {
        if (list.flags[i] & LineList::kJoinsNext)
            size -= 1;
        if (list.flags[i] & LineList::kHyphenNext)
            size -= 3;  // the hyphen and the two
        if (list.flags[i] & LineList::kAdjoinsNext)
            size -= 2;
        if (list.flags[i] & LineList::kIndented)
            size += list.indent.size();
    }
    GluedText glued;
    TextBuffer& out = glued.text;
    // Room for what the line hook may add: untouched room costs no memory.
    out.Reserve(onLine ? size + size / 8 + 4096 : size);
    // Without breaks inside the lines, every line ends where it is written: noting that here
    // spares looking for the ends in the whole text again.
    glued.lineEndsKnown = !list.lineBreaks;
    if (glued.lineEndsKnown)
        glued.lineEnds.reserve(list.size());
    std::size_t lineStart = 0;
    // The pages of a mapped book that the write-out has passed leave the process as it goes:
    // the text it writes then takes their place rather than adding to them.
    constexpr std::size_t kReleaseStep = std::size_t(4) << 20;
    const char* passed = list.pieces.empty() ? nullptr : list.pieces.front().data();
    std::size_t sinceRelease = 0;
    for (std::size_t i = 0; i < list.pieces.size(); ++i) {
        ReadAhead(list.pieces[i].data());  // the pieces lie one after the other
        sinceRelease += list.pieces[i].size();
        if (sinceRelease >= kReleaseStep) {
            ReleaseMappedPages(passed, list.pieces[i].data());
            passed = list.pieces[i].data();
            sinceRelease = 0;
        }
        const uint8_t flag = list.Flags(i);
        if (flag & LineList::kIndented)
            out.Append(list.indent);
        if (flag & LineList::kHyphenNext) {
            out.Append(list.pieces[i].substr(0, list.pieces[i].size() - 1));
            continue;
        }
        out.Append(list.pieces[i]);
        if (flag & LineList::kAdjoinsNext)
            continue;
        if (flag & LineList::kJoinsNext) {
            out.Append(' ');
            continue;
        }
        if (onLine && onLine(out, lineStart) && glued.lineEndsKnown) {
            const std::string_view rewritten = out.View().substr(lineStart);
            for (std::size_t lf = 0; (lf = rewritten.find('\n', lf)) != std::string_view::npos; ++lf)
                glued.lineEnds.push_back(lineStart + lf - 1);
        }
        if (glued.lineEndsKnown)
            glued.lineEnds.push_back(out.size());
        out.Append("\r\n");
        lineStart = out.size();
    }
    glued.unevenBreaks = !onLine && list.lineBreaks;
    return glued;
}

LineViews GluedText::Lines() const
{
    LineViews lines;
    Lines(lines);
    return lines;
}

void GluedText::Lines(LineViews& lines) const
{
    lines.clear();
    if (!lineEndsKnown) {
        LineViews found = LinesOf(text.View());
        lines.swap(found);
        return;
    }
    lines.reserve(lineEnds.size());
    std::size_t start = 0;
    for (const std::size_t end : lineEnds) {
        lines.emplace_back(text.data() + start, end - start);
        start = end + 2;
    }
}

void EvenBreaks(GluedText& glued)
{
    const std::string_view text = glued.text.View();
    if (!HasUnevenBreak(text)) {
        glued.unevenBreaks = false;
        return;
    }
    TextBuffer out(text.size() + text.size() / 16 + 2);
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        out.Append(text.substr(start, i - start));
        out.Append("\r\n");
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size()) {
        out.Append(text.substr(start));
        out.Append("\r\n");
    }
    glued.text = std::move(out);
    glued.unevenBreaks = false;
    glued.lineEndsKnown = false;
}

LineViews LinesOf(std::string_view text)
{
    LineViews lines;
    lines.reserve(text.size() / 64 + 1);
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* start = begin; start < end;) {
        const char* lf = static_cast<const char*>(std::memchr(start, '\n', std::size_t(end - start)));
        if (!lf) {
            lines.emplace_back(start, std::size_t(end - start));
            break;
        }
        const char* lineEnd = lf > start && lf[-1] == '\r' ? lf - 1 : lf;
        lines.emplace_back(start, std::size_t(lineEnd - start));
        start = lf + 1;
    }
    return lines;
}

}  // namespace lepotex
