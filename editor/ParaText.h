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
        text.ptr = const_cast<char*>(bytes.data());
        text.length = uint32_t(bytes.size());
        text.capacity = bytes.empty() ? 0 : uint32_t(bytes.size()) | kBorrowed;
        return text;
    }
    ParaText(ParaText&& other) noexcept
        : ptr(std::exchange(other.ptr, nullptr)), length(std::exchange(other.length, 0)),
          capacity(std::exchange(other.capacity, 0))
    {
    }
    ParaText& operator=(ParaText&& other) noexcept
    {
        if (this != &other) {
            Release();
            ptr = std::exchange(other.ptr, nullptr);
            length = std::exchange(other.length, 0);
            capacity = std::exchange(other.capacity, 0);
        }
        return *this;
    }
    ParaText(const ParaText&) = delete;
    ParaText& operator=(const ParaText&) = delete;
    ~ParaText() { Release(); }

    const char* data() const { return ptr; }
    size_t size() const { return length; }
    bool empty() const { return length == 0; }
    char operator[](size_t i) const { return ptr[i]; }
    char back() const { return ptr[length - 1]; }
    operator std::string_view() const { return {ptr, length}; }
    std::string_view View() const { return {ptr, length}; }
    std::string_view substr(size_t offset, size_t count = std::string_view::npos) const
    {
        return View().substr(offset, count);
    }
    bool operator==(std::string_view other) const { return View() == other; }

    void insert(size_t offset, std::string_view bytes) { replace(offset, 0, bytes); }
    void erase(size_t offset, size_t count) { replace(offset, count, {}); }
    void append(std::string_view bytes) { replace(length, 0, bytes); }
    ParaText& operator+=(std::string_view bytes)
    {
        append(bytes);
        return *this;
    }
    void resize(size_t newLength)
    {
        assert(newLength <= length);
        replace(newLength, length - newLength, {});
    }

    void replace(size_t offset, size_t count, std::string_view bytes)
    {
        assert(offset <= length && count <= length - offset);
        if (count == 0 && bytes.empty())
            return;
        if (length - count + bytes.size() == 0) {
            Release();
            return;
        }
        // The new bytes may lie in our own storage, which the move below would overwrite.
        std::string copy;
        if (!bytes.empty() && bytes.data() < ptr + length && bytes.data() + bytes.size() > ptr) {
            copy.assign(bytes);
            bytes = copy;
        }
        const size_t newLength = length - count + bytes.size();
        if (newLength > (capacity & ~kBorrowed)) {
            // Too small: a block of our own, in steps of 16 bytes.
            const size_t newCapacity = std::max<size_t>((newLength + newLength / 4 + 15) & ~size_t(15), 16);
            char* fresh = static_cast<char*>(std::malloc(newCapacity));
            if (!fresh)
                throw std::bad_alloc();
            if (offset > 0)
                std::memcpy(fresh, ptr, offset);
            if (!bytes.empty())
                std::memcpy(fresh + offset, bytes.data(), bytes.size());
            if (length > offset + count)
                std::memcpy(fresh + offset + bytes.size(), ptr + offset + count, length - offset - count);
            Release();
            ptr = fresh;
            capacity = uint32_t(newCapacity);
        } else {
            if (length > offset + count)
                std::memmove(ptr + offset + bytes.size(), ptr + offset + count, length - offset - count);
            if (!bytes.empty())
                std::memcpy(ptr + offset, bytes.data(), bytes.size());
        }
        length = uint32_t(newLength);
    }

private:
    void Assign(std::string_view bytes)
    {
        if (!bytes.empty())
            replace(0, 0, bytes);
    }
    void Release()
    {
        if (capacity != 0 && (capacity & kBorrowed) == 0)
            std::free(ptr);
        ptr = nullptr;
        length = capacity = 0;
    }

    static constexpr uint32_t kBorrowed = 0x80000000u;

    char* ptr = nullptr;
    uint32_t length = 0;
    uint32_t capacity = 0;  // bytes at ptr that are ours to change; kBorrowed: not ours to free
};

}  // namespace lepotex
