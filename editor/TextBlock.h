#pragma once
// A block of text bytes that an editor buffer can take over, so that a whole book read from a
// file or rebuilt by a command becomes paragraphs without a copy per paragraph.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace lepotex {

void FreeLarge(void* block) noexcept;

// A block from AllocateTextBlock or AllocateLarge.
struct FreeBlock {
    void operator()(char* block) const { FreeLarge(block); }
};
using TextBlock = std::unique_ptr<char, FreeBlock>;

// A block of at least `size` bytes (and at least one), on huge pages where the system has
// them: filling fresh memory page by page is most of what a pass over a book costs.
// Throws std::bad_alloc.
TextBlock AllocateTextBlock(std::size_t size);

// While one lives (on any thread), large blocks freed are kept for the next ones asked for, and
// may hold what they held; all are given back when the last one goes. Around a command, whose
// passes free one array a line of the book and take the next.
class ReuseFreedBlocks {
public:
    ReuseFreedBlocks();
    ~ReuseFreedBlocks();
    ReuseFreedBlocks(const ReuseFreedBlocks&) = delete;
    ReuseFreedBlocks& operator=(const ReuseFreedBlocks&) = delete;
};

// `block` (of AllocateTextBlock) made at least `size` bytes long, its first `used` bytes kept.
// A block mapped by itself grows by moving its pages, not by copying them: a text growing
// towards the editor's limit then never holds its old and its new block at once.
TextBlock GrowTextBlock(TextBlock block, std::size_t used, std::size_t size);

// The first `size` bytes of the regular file open at `fd` (size > 0), mapped privately and
// read-only: the block shares the pages the system already holds for the file, so nothing is
// filled. nullptr when the file cannot be mapped.
// A part of the file that another process cuts off while it is mapped reads as NUL bytes
// instead of ending the process; MappedFileChanged tells that happened, or that the file
// changed otherwise since it was mapped. MappedFileLength is the length of the block's
// mapping when it maps the file with this device and inode, else 0.
TextBlock MapFileBlock(int fd, std::size_t size);
bool MappedFileChanged(const char* block) noexcept;
// Whether the file mapped as `block` still holds a NUL at `offset` (true for a block that maps
// no file any more). A NUL the load took from the mapping is checked again with it: a file being
// written by another process may show zeros the write has not reached yet.
bool MappedFileHoldsNul(const char* block, std::size_t offset) noexcept;
// Lets the pages of a mapped file's block that lie wholly within [from, to) leave the process:
// a read brings them back from the system's cache of the file. For a pass over a book that is
// done with the part behind it, so that what it makes does not add to the book. Nothing
// happens where [from, to) is not within one such block.
void ReleaseMappedPages(const char* from, const char* to) noexcept;
std::size_t MappedFileLength(const char* block, unsigned long long device, unsigned long long inode) noexcept;

// Asks for the bytes a page beyond `at` ahead of a pass that reads on towards them. A mapped
// book's pages are the file's, 4 KiB each, and the processor's own look-ahead stops at every
// one: a pass over a book that asks so does not wait for memory at each of them. Any address
// will do, none is read.
inline void ReadAhead(const void* at) noexcept
{
    __builtin_prefetch(reinterpret_cast<const void*>(reinterpret_cast<std::uintptr_t>(at) + 4096));
}

// Gives the whole pages within [begin, end) back to the system, which reads them as zeroes
// afterwards: for storage whose contents are done with before the storage itself is.
void ReleasePages(void* begin, void* end) noexcept;

// The same for any storage that may grow to the size of a book (arrays with an element per
// line or paragraph); suitably aligned for any fundamental type, freed with FreeLarge.
inline void* AllocateLarge(std::size_t size) { return AllocateTextBlock(size).release(); }

// A std::vector allocator on AllocateLarge, for the per-line arrays of a book.
template <typename T>
struct LargeAllocator {
    using value_type = T;
    static_assert(alignof(T) <= alignof(std::max_align_t));
    LargeAllocator() = default;
    template <typename U>
    LargeAllocator(const LargeAllocator<U>&) noexcept
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
    void deallocate(T* p, std::size_t) noexcept { FreeLarge(p); }
    template <typename U>
    bool operator==(const LargeAllocator<U>&) const noexcept
    {
        return true;
    }
};

}  // namespace lepotex
