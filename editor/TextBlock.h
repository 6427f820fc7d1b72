#pragma once
// A block of text bytes that an editor buffer can take over, so that a whole book read from a
// file or rebuilt by a command becomes paragraphs without a copy per paragraph.
#include <cstddef>
#include <cstdlib>
#include <memory>

namespace lepotex {

// A block from malloc or aligned_alloc.
struct FreeBlock {
    void operator()(char* block) const { std::free(block); }
};
using TextBlock = std::unique_ptr<char, FreeBlock>;

// A block of at least `size` bytes (and at least one), on huge pages where the system has
// them: filling fresh memory page by page is most of what a pass over a book costs.
// Throws std::bad_alloc.
TextBlock AllocateTextBlock(std::size_t size);

}  // namespace lepotex
