#pragma once
// The bytes of one paragraph. A loaded book is held in the blocks it was read into, and each
// paragraph points into them: so loading costs no allocation per line, and dropping a book
// frees a few blocks instead of a million strings. A paragraph's region of a block is its
// own, so it is changed in place while it fits there, and copied out when it grows beyond.
// The blocks belong to the buffer, which outlives all its paragraphs.
#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

namespace lepotex {

class ParaText {
public:
    ParaText() = default;
    explicit ParaText(std::string_view bytes) { Assign(bytes); }
    // Points at bytes owned by someone who outlives this paragraph (the buffer's blocks).
    static ParaText Borrowed(std::string_view bytes)
    {
        ParaText text;
        if (!bytes.empty())
            text.Set(const_cast<char*>(bytes.data()), bytes.size(), kBorrowed);
        return text;
    }
    // The same for bytes that must not be written (a mapped file's pages): the first change
    // copies them out.
    static ParaText ReadOnly(std::string_view bytes)
    {
        ParaText text;
        if (!bytes.empty())
            text.Set(const_cast<char*>(bytes.data()), bytes.size(), kBorrowed | kReadOnly);
        return text;
    }
    ParaText(ParaText&& other) noexcept : word(std::exchange(other.word, 0)) {}
    ParaText& operator=(ParaText&& other) noexcept
    {
        if (this != &other) {
            Release();
            word = std::exchange(other.word, 0);
        }
        return *this;
    }
    ParaText(const ParaText&) = delete;
    ParaText& operator=(const ParaText&) = delete;
    ~ParaText() { Release(); }

    const char* data() const { return Pointer(); }
    size_t size() const { return size_t(word >> kLengthShift) & kMaxLength; }
    bool empty() const { return size() == 0; }
    // Whether the bytes lie in someone else's storage (a block of the buffer), not in ours.
    bool IsBorrowed() const { return (word & kBorrowed) != 0; }
    char operator[](size_t i) const { return Pointer()[i]; }
    char back() const { return Pointer()[size() - 1]; }
    operator std::string_view() const { return View(); }
    std::string_view View() const { return {Pointer(), size()}; }
    std::string_view substr(size_t offset, size_t count = std::string_view::npos) const
    {
        return View().substr(offset, count);
    }
    bool operator==(std::string_view other) const { return View() == other; }

    void insert(size_t offset, std::string_view bytes) { replace(offset, 0, bytes); }
    void erase(size_t offset, size_t count) { replace(offset, count, {}); }
    void append(std::string_view bytes) { replace(size(), 0, bytes); }
    ParaText& operator+=(std::string_view bytes)
    {
        append(bytes);
        return *this;
    }
    void resize(size_t newLength)
    {
        assert(newLength <= size());
        replace(newLength, size() - newLength, {});
    }

    void replace(size_t offset, size_t count, std::string_view bytes)
    {
        const size_t length = size();
        assert(offset <= length && count <= length - offset);
        if (count == 0 && bytes.empty())
            return;
        const size_t newLength = length - count + bytes.size();
        if (newLength == 0) {
            Release();
            return;
        }
        if (newLength > kMaxLength)
            throw std::length_error("paragraph too long");
        char* const ptr = Pointer();
        // The new bytes may lie in our own storage, which the move below would overwrite.
        std::string copy;
        if (!bytes.empty() && bytes.data() < ptr + length && bytes.data() + bytes.size() > ptr) {
            copy.assign(bytes);
            bytes = copy;
        }
        if (newLength > Capacity() || (word & kReadOnly)) {
            // Too small: storage of our own, in steps of 16 bytes, its size in front of it.
            const size_t newCapacity = std::max<size_t>((newLength + newLength / 4 + 15) & ~size_t(15), 16);
            char* const storage = static_cast<char*>(std::malloc(kHeader + newCapacity));
            if (!storage)
                throw std::bad_alloc();
            const auto stored = uint32_t(newCapacity);
            std::memcpy(storage, &stored, kHeader);
            char* const fresh = storage + kHeader;
            if (offset > 0)
                std::memcpy(fresh, ptr, offset);
            if (!bytes.empty())
                std::memcpy(fresh + offset, bytes.data(), bytes.size());
            if (length > offset + count)
                std::memcpy(fresh + offset + bytes.size(), ptr + offset + count, length - offset - count);
            Release();
            Set(fresh, newLength, 0);
            return;
        }
        if (length > offset + count)
            std::memmove(ptr + offset + bytes.size(), ptr + offset + count, length - offset - count);
        if (!bytes.empty())
            std::memcpy(ptr + offset, bytes.data(), bytes.size());
        Set(ptr, newLength, word & (kBorrowed | kReadOnly));
    }

private:
    // One word, so that a paragraph of a book of a million lines costs 16 bytes: the address
    // in the low 47 bits (as far as user space reaches on the 64-bit systems we run on), the
    // borrowed mark, the length in the next 15 bits (a paragraph has at most 32767 bytes),
    // and the read-only mark.
    static constexpr uint64_t kAddressMask = (uint64_t(1) << 47) - 1;
    static constexpr uint64_t kBorrowed = uint64_t(1) << 47;
    static constexpr int kLengthShift = 48;
    static constexpr size_t kMaxLength = 0x7FFF;
    static constexpr uint64_t kReadOnly = uint64_t(1) << 63;
    static constexpr size_t kHeader = sizeof(uint32_t);  // our storage's capacity, in front of it

    char* Pointer() const { return reinterpret_cast<char*>(std::uintptr_t(word & kAddressMask)); }
    // Bytes at the address that are ours to change: a borrowed region is its own as long as it is.
    size_t Capacity() const
    {
        if (word == 0 || IsBorrowed())
            return size();
        uint32_t capacity = 0;
        std::memcpy(&capacity, Pointer() - kHeader, kHeader);
        return capacity;
    }
    void Set(char* ptr, size_t length, uint64_t borrowed)
    {
        const auto address = uint64_t(reinterpret_cast<std::uintptr_t>(ptr));
        if ((address & ~kAddressMask) != 0) {
            if (!borrowed)
                std::free(ptr - kHeader);
            throw std::bad_alloc();  // an address this word cannot hold
        }
        word = address | borrowed | (uint64_t(length) << kLengthShift);
    }
    void Assign(std::string_view bytes)
    {
        if (!bytes.empty())
            replace(0, 0, bytes);
    }
    void Release()
    {
        if (word != 0 && !IsBorrowed())
            std::free(Pointer() - kHeader);
        word = 0;
    }

    uint64_t word = 0;
};

}  // namespace lepotex
