#include "editor/TextBlock.h"

#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace lepotex {

TextBlock AllocateTextBlock(std::size_t size)
{
    if (size == 0)
        size = 1;
#ifdef __linux__
    // From half a huge page up it is worth one: a fault per 4 KiB costs more than the memory.
    constexpr std::size_t kHuge = std::size_t(2) << 20;
    if (size >= kHuge / 4) {
        const std::size_t rounded = (size + kHuge - 1) & ~(kHuge - 1);
        if (void* memory = std::aligned_alloc(kHuge, rounded)) {
            ::madvise(memory, rounded, MADV_HUGEPAGE);
            return TextBlock(static_cast<char*>(memory));
        }
    }
#endif
    char* memory = static_cast<char*>(std::malloc(size));
    if (!memory)
        throw std::bad_alloc();
    return TextBlock(memory);
}

}  // namespace lepotex
