#include "editor/TextBlock.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#ifdef __linux__
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
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

#ifdef __linux__
// The mapped files, where the SIGBUS handler finds them without a lock or the heap: a page
// of a file that was cut shorter meanwhile faults, and the handler puts zeroed memory in its
// place (and in that of the rest of the mapping), marks the block cut, and lets the program
// go on. Fixed slots, so a book of the batch tool's parallel jobs never waits for another.
struct MappedSlot {
    std::atomic<std::uintptr_t> begin{0};  // 0: free
    std::uintptr_t end = 0;
    int fd = -1;        // the file, to see whether it changed
    struct stat was {};  // and how it was when mapped
    std::atomic<bool> cut{false};
};

// The text is the same while size and modification time are: a name removed or added (the
// batch tool's copy of standard input is removed while mapped) changes neither.
bool SameText(const struct stat& a, const struct stat& b)
{
    return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}
MappedSlot mappedSlots[256];
struct sigaction previousBusHandler {};

MappedSlot* SlotOf(const char* block) noexcept
{
    for (MappedSlot& slot : mappedSlots)
        if (slot.begin.load() == reinterpret_cast<std::uintptr_t>(block))
            return &slot;
    return nullptr;
}

void OnBusError(int signal, siginfo_t* info, void* context)
{
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    for (MappedSlot& slot : mappedSlots) {
        const std::uintptr_t begin = slot.begin.load();
        if (begin == 0 || address < begin || address >= slot.end)
            continue;
        const std::uintptr_t page = address & ~std::uintptr_t(::sysconf(_SC_PAGESIZE) - 1);
        const int savedErrno = errno;
        void* zeroes = ::mmap(reinterpret_cast<void*>(page), slot.end - page, PROT_READ | PROT_WRITE,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED, -1, 0);
        errno = savedErrno;
        if (zeroes != MAP_FAILED) {
            slot.cut.store(true);
            return;  // the access is made again, on the zeroes
        }
        break;
    }
    // Not ours: what was there before decides, by default the end of the process.
    if (previousBusHandler.sa_flags & SA_SIGINFO) {
        previousBusHandler.sa_sigaction(signal, info, context);
    } else if (previousBusHandler.sa_handler != SIG_DFL && previousBusHandler.sa_handler != SIG_IGN) {
        previousBusHandler.sa_handler(signal);
    } else {
        ::signal(SIGBUS, SIG_DFL);  // the access faults again and ends the process
    }
}

void WatchBusErrors()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction action {};
        action.sa_sigaction = OnBusError;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_RESTART | SA_NODEFER;
        ::sigaction(SIGBUS, &action, &previousBusHandler);
    });
}
#endif

}  // namespace

TextBlock MapFileBlock(int fd, std::size_t size)
{
#ifdef __linux__
    struct stat info {};
    if (size == 0 || ::fstat(fd, &info) != 0)
        return nullptr;
    WatchBusErrors();
    MappedSlot* slot = nullptr;
    for (MappedSlot& candidate : mappedSlots) {
        std::uintptr_t expected = 0;
        // 1 holds the slot until the mapping's address is known.
        if (candidate.begin.compare_exchange_strong(expected, 1)) {
            slot = &candidate;
            break;
        }
    }
    if (!slot)
        return nullptr;
    // A page of its own in front, for the header, then the file.
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    const std::size_t length = page + ((size + page - 1) & ~(page - 1));
    void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    char* const start = mapping == MAP_FAILED ? nullptr : static_cast<char*>(mapping) + page;
    const int kept = start ? ::fcntl(fd, F_DUPFD_CLOEXEC, 3) : -1;
    // Read-only: no page of it is ever the process's own, so any of them may be let go.
    if (kept < 0 || ::mmap(start, length - page, PROT_READ, MAP_PRIVATE | MAP_FIXED | MAP_POPULATE, fd, 0) == MAP_FAILED) {
        if (kept >= 0)
            ::close(kept);
        if (start)
            ::munmap(mapping, length);
        slot->begin.store(0);
        return nullptr;
    }
    // The file's pages are in memory already, as a rule: one call maps them all, rather than a
    // fault for every few of them. (A file cut short meanwhile fails it; see OnBusError.)
#ifdef MADV_POPULATE_READ
    ::madvise(start, length - page, MADV_POPULATE_READ);
#endif
    *HeaderOf(start) = BlockHeader{mapping, length};
    slot->end = reinterpret_cast<std::uintptr_t>(start) + (length - page);
    slot->fd = kept;
    slot->was = info;
    slot->cut.store(false);
    slot->begin.store(reinterpret_cast<std::uintptr_t>(start));
    return TextBlock(start);
#else
    (void)fd;
    (void)size;
    return nullptr;
#endif
}

bool MappedFileChanged(const char* block) noexcept
{
#ifdef __linux__
    const MappedSlot* slot = block ? SlotOf(block) : nullptr;
    if (!slot)
        return false;
    struct stat now {};
    return slot->cut.load() || ::fstat(slot->fd, &now) != 0 || !SameText(now, slot->was);
#else
    (void)block;
    return false;
#endif
}

bool MappedFileHoldsNul(const char* block, std::size_t offset) noexcept
{
#ifdef __linux__
    const MappedSlot* slot = block ? SlotOf(block) : nullptr;
    if (!slot)
        return true;
    char byte = 1;
    ssize_t got;
    while ((got = ::pread(slot->fd, &byte, 1, off_t(offset))) < 0 && errno == EINTR) {
    }
    return got == 1 && byte == '\0';
#else
    (void)block;
    (void)offset;
    return true;
#endif
}

void ReleaseMappedPages(const char* from, const char* to) noexcept
{
#ifdef __linux__
    const auto begin = reinterpret_cast<std::uintptr_t>(from);
    const auto end = reinterpret_cast<std::uintptr_t>(to);
    if (begin >= end)
        return;
    for (const MappedSlot& slot : mappedSlots) {
        const std::uintptr_t start = slot.begin.load();
        if (start > 1 && begin >= start && end <= slot.end) {
            ReleasePages(const_cast<char*>(from), const_cast<char*>(to));
            return;
        }
    }
#else
    (void)from;
    (void)to;
#endif
}

std::size_t MappedFileLength(const char* block, unsigned long long device, unsigned long long inode) noexcept
{
#ifdef __linux__
    const MappedSlot* slot = block ? SlotOf(block) : nullptr;
    return slot && slot->was.st_dev == device && slot->was.st_ino == inode ? slot->end - slot->begin.load() : 0;
#else
    (void)block;
    (void)device;
    (void)inode;
    return 0;
#endif
}

#ifdef __linux__
namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;

// Blocks freed while a command runs, kept for the blocks it asks for next: its passes free
// one per-line array and take the next, and memory the process already holds costs nothing to
// fill, where every fresh page costs a fault and a page cleared. Given back when the command
// ends, so that an editor waiting for its user holds nothing it does not use.
struct Spare {
    void* mapping = nullptr;  // a block's mapping as its header has it, the header's page first
    std::size_t length = 0;
};
constexpr std::size_t kSpares = 4;
// A larger block is an array of a book of a million lines and more, not the size a later one
// takes: kept, it would only add to what the command holds at its peak.
constexpr std::size_t kLargestSpare = std::size_t(32) << 20;
std::mutex spareLock;
std::array<Spare, kSpares> spares;
std::atomic<int> keepingSpares{0};

// Takes the spare that best holds `length` bytes (the smallest that does, else the largest,
// to be grown); an empty one when there is none. One many times larger stays for a larger block.
Spare TakeSpare(std::size_t length)
{
    if (keepingSpares.load() == 0)
        return {};
    std::lock_guard lock(spareLock);
    Spare* best = nullptr;
    for (Spare& spare : spares) {
        if (!spare.mapping || spare.length / 4 > length)
            continue;
        const bool holds = spare.length >= length;
        if (!best || (holds ? best->length < length || spare.length < best->length
                            : best->length < length && spare.length > best->length))
            best = &spare;
    }
    return best ? std::exchange(*best, Spare{}) : Spare{};
}

// Keeps a freed block's mapping as a spare; false when it is not to be kept (no command
// runs), and then its caller unmaps it. A spare pushed out goes back to the system.
bool KeepSpare(void* mapping, std::size_t length)
{
    if (keepingSpares.load() == 0 || length > kLargestSpare)
        return false;
    Spare out;
    {
        std::lock_guard lock(spareLock);
        Spare* place = &spares[0];
        for (Spare& spare : spares)
            if (!spare.mapping || spare.length < place->length)
                place = &spare;
        if (place->mapping && place->length >= length)
            return false;  // the spares are all larger: this one goes
        out = std::exchange(*place, Spare{mapping, length});
    }
    if (out.mapping)
        ::munmap(out.mapping, out.length);
    return true;
}

// A block of `rounded` bytes (a whole number of huge pages) on a huge-page boundary, with the
// header's page before it: the pages of `mapping` (of `length` bytes) moved there, what it
// lacks of the length fresh. nullptr when the pages cannot be moved; `mapping` is as it was.
char* MovedToBlock(void* mapping, std::size_t length, std::size_t rounded)
{
    const std::size_t page = std::size_t(::sysconf(_SC_PAGESIZE));
    const std::size_t room = rounded + kHugePage + page;
    void* reserved = ::mmap(nullptr, room, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (reserved == MAP_FAILED)
        return nullptr;
    char* const base = static_cast<char*>(reserved);
    char* const start =
        reinterpret_cast<char*>((reinterpret_cast<std::uintptr_t>(base) + page + kHugePage - 1) & ~(kHugePage - 1));
    char* const keep = start - page;
    if (::mremap(mapping, length, rounded + page, MREMAP_MAYMOVE | MREMAP_FIXED, keep) == MAP_FAILED) {
        ::munmap(reserved, room);
        return nullptr;
    }
    if (keep > base)
        ::munmap(base, std::size_t(keep - base));
    char* const end = start + rounded;
    if (end < base + room)
        ::munmap(end, std::size_t(base + room - end));
    ::madvise(keep, rounded + page, MADV_HUGEPAGE);
    *HeaderOf(start) = BlockHeader{keep, rounded + page};
    return start;
}

}  // namespace
#endif

ReuseFreedBlocks::ReuseFreedBlocks()
{
#ifdef __linux__
    keepingSpares.fetch_add(1);
#endif
}

ReuseFreedBlocks::~ReuseFreedBlocks()
{
#ifdef __linux__
    if (keepingSpares.fetch_sub(1) != 1)
        return;
    std::array<Spare, kSpares> out;
    {
        std::lock_guard lock(spareLock);
        out = std::exchange(spares, {});
    }
    for (const Spare& spare : out)
        if (spare.mapping)
            ::munmap(spare.mapping, spare.length);
#endif
}

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
        // A spare as it is where it holds the block, else moved to where it does, grown.
        if (const Spare spare = TakeSpare(rounded + page); spare.mapping) {
            char* start = static_cast<char*>(spare.mapping) + page;
            if (spare.length < rounded + page)
                start = MovedToBlock(spare.mapping, spare.length, rounded);
            if (start) {
                *HeaderOf(start) = BlockHeader{start - page, std::max(spare.length, rounded + page)};
                return TextBlock(start);
            }
            ::munmap(spare.mapping, spare.length);
        }
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
            // The header's page too, so that the block stays one mapping, which can move whole.
            ::madvise(keep, std::size_t(end - keep), MADV_HUGEPAGE);
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

void ReleasePages(void* begin, void* end) noexcept
{
#ifdef __linux__
    const auto page = std::uintptr_t(::sysconf(_SC_PAGESIZE));
    const std::uintptr_t from = (reinterpret_cast<std::uintptr_t>(begin) + page - 1) & ~(page - 1);
    const std::uintptr_t to = reinterpret_cast<std::uintptr_t>(end) & ~(page - 1);
    if (from < to)
        ::madvise(reinterpret_cast<void*>(from), to - from, MADV_DONTNEED);
#else
    (void)begin;
    (void)end;
#endif
}

TextBlock GrowTextBlock(TextBlock block, std::size_t used, std::size_t size)
{
#ifdef __linux__
    const BlockHeader header = block ? *HeaderOf(block.get()) : BlockHeader{};
    if (header.mapping && !SlotOf(block.get()) && size >= kHugePage / 4) {
        const std::size_t rounded = (size + kHugePage - 1) & ~(kHugePage - 1);
        // A new place on a huge-page boundary, with the header's page before it, as
        // AllocateTextBlock makes it; the pages move there.
        if (char* const start = MovedToBlock(header.mapping, header.length, rounded)) {
            (void)block.release();  // its pages are the new block's now
            return TextBlock(start);
        }
    }
#endif
    TextBlock bigger = AllocateTextBlock(size);
    if (used > 0)
        std::memcpy(bigger.get(), block.get(), used);
    return bigger;
}

void FreeLarge(void* block) noexcept
{
    if (!block)
        return;
    const BlockHeader header = *HeaderOf(block);
#ifdef __linux__
    if (header.mapping) {
        // A file's pages are read-only and the file's: only memory of the process's own serves again.
        MappedSlot* const slot = SlotOf(static_cast<const char*>(block));
        if (slot) {
            ::close(slot->fd);
            slot->begin.store(0);
        }
        if (slot || !KeepSpare(header.mapping, header.length))
            ::munmap(header.mapping, header.length);
        return;
    }
#endif
    std::free(HeaderOf(block));
}

}  // namespace lepotex
