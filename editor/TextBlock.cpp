#include "editor/TextBlock.h"

#include <cstdint>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace lepotex {

namespace {

// In front of every block: how it was had, so that one free function can give it back.
struct alignas(std::max_align_t) BlockHeader {
    void* mapping;       // the mapping that holds the block, or nullptr: from malloc
    std::size_t length;  // the mapping's length
};
static_assert(sizeof(BlockHeader) == alignof(std::max_align_t));

BlockHeader* HeaderOf(void* block) { return static_cast<BlockHeader*>(block) - 1; }

}  // namespace

TextBlock AllocateTextBlock(std::size_t size)
{
    if (size == 0)
        size = 1;
#ifdef __linux__
    // From half a huge page up it is worth one: a fault per 4 KiB costs more than the memory.
    // Such blocks are mapped by themselves, not taken from malloc: freed, they go back to the
    // system at once. From malloc, a book's blocks, reloaded and regrown in other sizes time
    // after time, fragmented its heap until it held many times the text (glibc then serves
    // even large sizes from the heap once one large block has been freed).
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    if (size >= kHuge / 4) {
        const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
        const std::size_t rounded = (size + kHuge - 1) & ~(kHuge - 1);
        // Room to put the block on a huge-page boundary with a page for the header before it.
        const std::size_t length = rounded + kHuge + page;
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (mapping != MAP_FAILED) {
            char* const base = static_cast<char*>(mapping);
            char* const start =
                reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(base) + page + kHuge - 1) & ~(kHuge - 1));
            // Keep one page before the block (for its header) and nothing behind it.
            char* const keep = start - page;
            if (keep > base)
                ::munmap(base, std::size_t(keep - base));
            char* const end = start + rounded;
            if (end < base + length)
                ::munmap(end, std::size_t(base + length - end));
            ::madvise(start, rounded, MADV_HUGEPAGE);
            *HeaderOf(start) = BlockHeader{keep, std::size_t(end - keep)};
            return TextBlock(start);
        }
    }
#endif
    void* memory = std::malloc(sizeof(BlockHeader) + size);
    if (!memory)
        throw std::bad_alloc();
    char* const start = static_cast<char*>(memory) + sizeof(BlockHeader);
    *HeaderOf(start) = BlockHeader{nullptr, 0};
    return TextBlock(start);
}

void FreeLarge(void* block) noexcept
{
    if (!block)
        return;
    const BlockHeader header = *HeaderOf(block);
#ifdef __linux__
    if (header.mapping) {
        ::munmap(header.mapping, header.length);
        return;
    }
#endif
    std::free(HeaderOf(block));
}

}  // namespace lepotex
