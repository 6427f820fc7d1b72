#include "engine/GluedText.h"

#include <algorithm>
#include <cstring>
#include <exception>

#include "editor/QuietThread.h"
#include "engine/InHalves.h"

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
    if (borrowed)
        throw Full{};
    block = GrowTextBlock(std::move(block), length, capacity);
    memory = block.get();
    room = capacity;
}

void TextBuffer::Grow(std::size_t extra)
{
    Reserve(std::max(length + extra, room + room / 2 + 64));
}

namespace {

using LineEnds = LineEndList;

// What piece `i` adds to the text written out: itself, its CR LF or joining space or nothing,
// less a hyphen that joins, and its indent.
std::size_t WrittenSize(const LineList& list, std::size_t i)
{
    std::size_t size = list.pieces[i].size() + 2;
    const uint8_t flag = list.Flags(i);
    if (flag & LineList::kJoinsNext)
        size -= 1;
    if (flag & LineList::kHyphenNext)
        size -= 3;  // the hyphen and the two
    if (flag & LineList::kAdjoinsNext)
        size -= 2;
    if (flag & LineList::kIndented)
        size += list.indent.size();
    return size;
}

// Writes the pieces [from, to) of the list into `out`, which then holds whole lines, and notes
// where each line ends in `lineEnds`, when given. With `chunks`, what is written goes to them
// whenever it reaches kChunk, and `out` and `lineEnds` start again empty.
void WriteRange(const LineList& list, std::size_t from, std::size_t to, const LineHook& onLine, TextBuffer& out,
                LineEnds* lineEnds, const ChunkTaker* chunks = nullptr)
{
    std::size_t lineStart = out.size();
    // The pages of a mapped book that the write-out has passed leave the process as it goes:
    // the text it writes then takes their place rather than adding to them.
    constexpr std::size_t kReleaseStep = std::size_t(4) << 20;
    const char* passed = from < to ? list.pieces[from].data() : nullptr;
    std::size_t sinceRelease = 0;
    for (std::size_t i = from; i < to; ++i) {
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
        if (onLine && onLine(out, lineStart) && lineEnds) {
            const std::string_view rewritten = out.View().substr(lineStart);
            for (std::size_t lf = 0; (lf = rewritten.find('\n', lf)) != std::string_view::npos; ++lf)
                lineEnds->push_back(lineStart + lf - 1);
        }
        if (lineEnds)
            lineEnds->push_back(out.size());
        out.Append("\r\n");
        lineStart = out.size();
        if (chunks && lineStart >= kChunk) {
            (*chunks)(out, *lineEnds);
            out.Clear();
            lineEnds->clear();
            lineStart = 0;
        }
    }
}

// Room for what a line hook may add: untouched room costs no memory.
std::size_t WithRoomForHook(std::size_t size, bool hook) { return hook ? size + size / 8 + 4096 : size; }

}  // namespace

GluedText WriteOut(const LineList& list, const LineHook& onLine)
{
    // Only a text written without a hook, which keeps no account of its lines, is halved; its
    // halves are of known size and never outgrow their room.
    std::size_t secondAt = 0;
    GluedText glued = WriteOutInHalves(list, onLine, nullptr, secondAt, !onLine);
    if (secondAt == kHalvesOverflowed)
        glued = WriteOutInHalves(list, onLine, nullptr, secondAt, false);
    return glued;
}

GluedText WriteOutInHalves(const LineList& list, const LineHook& onLine, const LineHook& secondHook,
                           std::size_t& secondAt, bool halves)
{
    const std::size_t n = list.pieces.size();
    // The second half starts a line: the piece before it ends one.
    constexpr uint8_t kGoesOn = LineList::kJoinsNext | LineList::kHyphenNext | LineList::kAdjoinsNext;
    std::size_t mid = 0;
    if (halves && n >= kWorthASecondThread) {
        for (std::size_t i = n / 2; i < n / 2 + kWorthASecondThread && i < n; ++i)
            if (!(list.Flags(i - 1) & kGoesOn)) {
                mid = i;
                break;
            }
    }
    std::size_t firstSize = 0, secondSize = 0;
    for (std::size_t i = 0; i < mid; ++i)
        firstSize += WrittenSize(list, i);
    for (std::size_t i = mid; i < n; ++i)
        secondSize += WrittenSize(list, i);
    GluedText glued;
    TextBuffer& out = glued.text;
    // Without breaks inside the lines, every line ends where it is written: noting that here
    // spares looking for the ends in the whole text again.
    glued.lineEndsKnown = !list.lineBreaks;
    if (glued.lineEndsKnown)
        glued.lineEnds.reserve(list.size());
    LineEnds* const lineEnds = glued.lineEndsKnown ? &glued.lineEnds : nullptr;
    glued.unevenBreaks = !onLine && list.lineBreaks;
    if (mid == 0) {
        out.Reserve(WithRoomForHook(firstSize + secondSize, bool(onLine)));
        WriteRange(list, 0, n, onLine, out, lineEnds);
        secondAt = kNotHalved;
        return glued;
    }
    // Both halves in the one block, the second on a second core behind room for what the
    // first one's hook may add; then moved down behind the first. Without hooks the sizes are
    // exact and nothing moves. A half that outgrows its room leaves the text to be made in one.
    const std::size_t firstRoom = WithRoomForHook(firstSize, bool(onLine));
    const std::size_t secondRoom = WithRoomForHook(secondSize, bool(secondHook));
    out.Reserve(firstRoom + secondRoom);
    TextBuffer first = TextBuffer::Over(out.data(), firstRoom);
    TextBuffer second = TextBuffer::Over(out.data() + firstRoom, secondRoom);
    LineEnds secondEnds;
    std::exception_ptr failure;
    bool full = false;
    try {
        SideBySide(
            true, [&] { WriteRange(list, 0, mid, onLine, first, lineEnds); },
            [&]() noexcept {
                try {
                    if (lineEnds)
                        secondEnds.reserve(list.flags.empty()
                                               ? n - mid
                                               : std::size_t(std::count_if(list.flags.begin() + std::ptrdiff_t(mid),
                                                                           list.flags.end(), [](uint8_t flag) {
                                                                               return !(flag & kGoesOn);
                                                                           })));
                    WriteRange(list, mid, n, secondHook, second, lineEnds ? &secondEnds : nullptr);
                } catch (...) {
                    failure = std::current_exception();
                }
            });
    } catch (const TextBuffer::Full&) {
        full = true;
    }
    if (failure) {
        try {
            std::rethrow_exception(failure);
        } catch (const TextBuffer::Full&) {
            full = true;
        }
    }
    if (full) {
        secondAt = kHalvesOverflowed;
        return GluedText();
    }
    secondAt = first.size();
    if (second.data() != out.data() + secondAt)
        std::memmove(out.data() + secondAt, second.data(), second.size());
    out.Truncate(secondAt + second.size());
    for (const std::size_t end : secondEnds)
        glued.lineEnds.push_back(secondAt + end);
    return glued;
}

void WriteOutInChunks(const LineList& list, const LineHook& onLine, const ChunkTaker& take)
{
    // Room for a chunk, the line that passes its end and what a hook adds: it grows only for
    // a line longer than that.
    TextBuffer out(kChunk + kChunk / 2);
    LineEnds ends;
    ends.reserve(kChunk / 32);
    WriteRange(list, 0, list.pieces.size(), onLine, out, &ends, &take);
    if (!ends.empty())
        take(out, ends);
}

ChunkPipe::ChunkPipe(Consumer consume) : consume(std::move(consume))
{
    // Without a thread to be had, the chunks are taken here.
    if (std::thread::hardware_concurrency() >= 2)
        thread = StartQuietThread([this] { Work(); });
}

ChunkPipe::~ChunkPipe()
{
    if (!thread.joinable())
        return;
    {
        std::lock_guard lock(mutex);
        closing = true;
    }
    changed.notify_all();
    thread.join();
}

void ChunkPipe::Take(TextBuffer& text, LineEndList& lineEnds)
{
    if (!thread.joinable()) {
        consume(text.View(), lineEnds);
        return;
    }
    std::unique_lock lock(mutex);
    changed.wait(lock, [&] { return !full[nextIn] || failure; });
    if (failure)
        throw Stopped{};
    // The slot's buffers, consumed before, become the writer's next ones.
    std::swap(texts[nextIn], text);
    std::swap(ends[nextIn], lineEnds);
    full[nextIn] = true;
    nextIn ^= 1;
    changed.notify_all();
}

void ChunkPipe::Finish()
{
    if (thread.joinable()) {
        std::unique_lock lock(mutex);
        changed.wait(lock, [&] { return (!full[0] && !full[1]) || failure; });
    }
    if (failure)
        std::rethrow_exception(failure);
}

void ChunkPipe::Work()
{
    int nextOut = 0;
    std::unique_lock lock(mutex);
    for (;;) {
        changed.wait(lock, [&] { return full[nextOut] || closing; });
        if (closing)
            return;  // what is left was not wanted: the write-out failed
        lock.unlock();
        std::exception_ptr error;
        try {
            consume(texts[nextOut].View(), ends[nextOut]);
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        full[nextOut] = false;
        nextOut ^= 1;
        if (error) {
            failure = error;
            full[0] = full[1] = false;
            changed.notify_all();
            return;
        }
        changed.notify_all();
    }
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
