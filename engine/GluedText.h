#pragma once
// The working list written out as one text, every line followed by CR LF: what the
// line-break rules search, and what the write-back hands to the editor in one block.
#include <cstddef>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/LineList.h"

namespace lepotex {

// A growing text in a TextBlock, so that the block can go to the editor as it is; or a text
// in bytes of another's block, which cannot grow past them (TextBuffer::Over).
class TextBuffer {
public:
    // Thrown where a text over another's bytes would have to grow past them.
    struct Full {};

    TextBuffer() = default;
    explicit TextBuffer(std::size_t capacity) { Reserve(capacity); }
    static TextBuffer Over(char* bytes, std::size_t room)
    {
        TextBuffer over;
        over.memory = bytes;
        over.room = room;
        over.borrowed = true;
        return over;
    }
    TextBuffer(TextBuffer&& other) noexcept { *this = std::move(other); }
    TextBuffer& operator=(TextBuffer&& other) noexcept
    {
        block = std::move(other.block);
        memory = std::exchange(other.memory, nullptr);
        length = std::exchange(other.length, 0);
        room = std::exchange(other.room, 0);
        borrowed = std::exchange(other.borrowed, false);
        return *this;
    }

    const char* data() const { return memory; }
    char* data() { return memory; }
    std::size_t size() const { return length; }
    bool empty() const { return length == 0; }
    std::string_view View() const { return {memory, length}; }

    void Reserve(std::size_t capacity);
    void Append(std::string_view bytes)
    {
        if (bytes.size() > room - length)
            Grow(bytes.size());
        if (!bytes.empty())
            __builtin_memcpy(memory + length, bytes.data(), bytes.size());
        length += bytes.size();
    }
    void Append(char c)
    {
        if (length == room)
            Grow(1);
        memory[length++] = c;
    }
    // Also sets the size of a text whose bytes were written from outside, within its room.
    void Truncate(std::size_t newLength) { length = newLength; }
    void Clear() { length = 0; }
    TextBlock Release()
    {
        room = length = 0;
        memory = nullptr;
        return std::move(block);
    }

private:
    void Grow(std::size_t extra);

    TextBlock block;
    char* memory = nullptr;  // the block's bytes, or the other's
    std::size_t length = 0;
    std::size_t room = 0;
    bool borrowed = false;
};

// A text of lines, each ended by CR LF, with what the line-break rules need to know of it.
struct GluedText {
    TextBuffer text;
    // Whether a CR or LF stands alone somewhere, or the text does not end with CR LF: the
    // working list would cut it into other lines than its CR LFs show.
    bool unevenBreaks = false;
    // Where each line ends (its CR), when WriteOut could note it as it wrote; empty otherwise.
    std::vector<std::size_t, LargeAllocator<std::size_t>> lineEnds;
    bool lineEndsKnown = false;

    // The lines, less their CR LF, as LinesOf gives them; the second form puts them into
    // `lines`, whose storage (a working list's, say) is then used again rather than fresh.
    LineViews Lines() const;
    void Lines(LineViews& lines) const;
};

// Stages 4 and 5 applied: every line of the list, its indent and its joins, then CR LF.
// `onLine`, when given, is called with each line as soon as it is written, from `lineStart`
// to the end of the text, its CR LF not yet behind it; it may rewrite it there, breaking it
// into lines with CR LFs only, and then returns true. A hook is for a list whose lines hold no
// CR or LF (LineList::lineBreaks).
using LineHook = std::function<bool(TextBuffer& text, std::size_t lineStart)>;
GluedText WriteOut(const LineList& list, const LineHook& onLine = nullptr);
// The same, in two halves side by side where `halves` and the list is long enough: the lines
// of the second half go through `secondHook` rather than `onLine`, each hook seeing only its
// half's text, from its start. `secondAt` becomes where the second half begins in the text,
// kNotHalved when the list was written in one, and kHalvesOverflowed when a hook grew a half
// past the room it had: nothing is written then, and the caller writes the text in one, with
// hooks that start afresh.
constexpr std::size_t kNotHalved = std::size_t(-1);
constexpr std::size_t kHalvesOverflowed = std::size_t(-2);
GluedText WriteOutInHalves(const LineList& list, const LineHook& onLine, const LineHook& secondHook,
                           std::size_t& secondAt, bool halves = true);

// What WriteOut(list, onLine) writes, handed to `take` a few whole lines at a time rather than
// kept: the text of those lines, each with its CR LF, and where each ends in it (its CR). For a
// list whose lines hold no CR or LF; a hook sees only the lines since the last chunk. `take`
// may keep both, swapping in others of its own; they are emptied after it.
using LineEndList = std::vector<std::size_t, LargeAllocator<std::size_t>>;
using ChunkTaker = std::function<void(TextBuffer& text, LineEndList& lineEnds)>;
constexpr std::size_t kChunk = std::size_t(256) << 10;
void WriteOutInChunks(const LineList& list, const LineHook& onLine, const ChunkTaker& take);

// Takes chunks of a write-out in order on a second thread while the next one is written:
// `consume` gets each one there, or here where no thread is to be had.
class ChunkPipe {
public:
    using Consumer = std::function<void(std::string_view text, const LineEndList& lineEnds)>;
    explicit ChunkPipe(Consumer consume);
    ~ChunkPipe();
    ChunkPipe(const ChunkPipe&) = delete;
    ChunkPipe& operator=(const ChunkPipe&) = delete;

    // A ChunkTaker. Throws Stopped once `consume` has thrown.
    void Take(TextBuffer& text, LineEndList& lineEnds);
    // Waits until every chunk is consumed; throws what `consume` threw.
    void Finish();
    struct Stopped {};

private:
    void Work();

    Consumer consume;
    std::thread thread;
    std::mutex mutex;
    std::condition_variable changed;
    TextBuffer texts[2];
    LineEndList ends[2];
    bool full[2] = {false, false};
    int nextIn = 0;
    bool closing = false;
    std::exception_ptr failure;
};
// Thrown by a streamed write-out that would not give what the whole text gives (a limit in
// reach): the caller makes the text whole instead.
struct StreamAbandoned {};

// Cuts the text into lines as the working list does, at CR LF, a lone CR and a lone LF (a
// break at the very end makes no empty line after it), and writes each back with CR LF.
void EvenBreaks(GluedText& glued);

// The lines of a text without uneven breaks, less their CR LF, or of the write-back's own
// text: the parts between its LFs, less the CR before each LF. A line may then hold a lone
// CR, which stays within its paragraph.
LineViews LinesOf(std::string_view text);

}  // namespace lepotex
