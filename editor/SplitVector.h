#pragma once
// A gap buffer: a vector with a movable hole, so that a run of insertions or deletions
// near one place (the caret, or the end during loading) costs O(1) amortized each
// instead of shifting everything behind it. Only the elements in use are constructed:
// reserving room for a million paragraphs writes nothing.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <utility>

#include "editor/TextBlock.h"

namespace lepotex {

template <typename T>
class SplitVector {
public:
    SplitVector() = default;
    SplitVector(const SplitVector&) = delete;
    SplitVector& operator=(const SplitVector&) = delete;
    SplitVector(SplitVector&& other) noexcept { Swap(other); }
    SplitVector& operator=(SplitVector&& other) noexcept
    {
        if (this != &other) {
            Clear();
            Swap(other);
        }
        return *this;
    }
    ~SplitVector() { Clear(); }

    std::ptrdiff_t Length() const { return lengthBody; }

    void Reserve(std::ptrdiff_t wanted)
    {
        if (wanted > capacity)
            Reallocate(wanted);
    }

    const T& operator[](std::ptrdiff_t index) const
    {
        assert(index >= 0 && index < lengthBody);
        return body[index < part1Length ? index : index + GapLength()];
    }
    T& operator[](std::ptrdiff_t index)
    {
        assert(index >= 0 && index < lengthBody);
        return body[index < part1Length ? index : index + GapLength()];
    }

    void Insert(std::ptrdiff_t position, T value)
    {
        assert(position >= 0 && position <= lengthBody);
        if (GapLength() == 0)
            Reallocate(std::max<std::ptrdiff_t>(capacity + capacity / 2 + 16, lengthBody + 1));
        GapTo(position);
        ::new (static_cast<void*>(body + part1Length)) T(std::move(value));
        ++part1Length;
        ++lengthBody;
    }

    void Delete(std::ptrdiff_t position) { DeleteRange(position, 1); }

    void DeleteRange(std::ptrdiff_t position, std::ptrdiff_t count)
    {
        assert(position >= 0 && count >= 0 && position + count <= lengthBody);
        if (count == 0)
            return;
        GapTo(position);
        std::destroy_n(body + part1Length + GapLength(), count);
        lengthBody -= count;
    }

    // Hands every element, first to last, to `take` and leaves the vector empty. The memory
    // the walk has passed goes back to the system on the way, so that what `take` builds of
    // the elements takes its place rather than adding to it.
    template <typename Take>
    void Drain(Take&& take)
    {
        GapTo(lengthBody);
        constexpr std::ptrdiff_t kStep = std::max<std::ptrdiff_t>((std::ptrdiff_t(2) << 20) / std::ptrdiff_t(sizeof(T)), 1);
        std::ptrdiff_t released = 0;
        std::ptrdiff_t i = 0;
        try {
            for (; i < lengthBody; ++i) {
                T element(std::move(body[i]));
                body[i].~T();
                take(std::move(element));
                if (i + 1 - released >= kStep) {
                    ReleasePages(body + released, body + i + 1);
                    released = i + 1;
                }
            }
        } catch (...) {
            std::destroy(body + i + 1, body + lengthBody);
            lengthBody = part1Length = 0;
            Clear();
            throw;
        }
        lengthBody = part1Length = 0;
        Clear();
    }

    // Adds delta to the elements in [start, end); used by the partitioning's lazy step.
    template <typename D>
    void RangeAddDelta(std::ptrdiff_t start, std::ptrdiff_t end, D delta)
    {
        std::ptrdiff_t i = start;
        const std::ptrdiff_t end1 = std::min(end, part1Length);
        for (; i < end1; ++i)
            body[i] += delta;
        const std::ptrdiff_t gap = GapLength();
        for (; i < end; ++i)
            body[i + gap] += delta;
    }

    void Clear()
    {
        if (body) {
            std::destroy_n(body, part1Length);
            std::destroy_n(body + part1Length + GapLength(), lengthBody - part1Length);
            FreeLarge(body);
        }
        body = nullptr;
        capacity = lengthBody = part1Length = 0;
    }

private:
    std::ptrdiff_t GapLength() const { return capacity - lengthBody; }

    void Swap(SplitVector& other) noexcept
    {
        std::swap(body, other.body);
        std::swap(capacity, other.capacity);
        std::swap(lengthBody, other.lengthBody);
        std::swap(part1Length, other.part1Length);
    }

    // Moves an element into an unconstructed slot, leaving its old slot unconstructed.
    static void Relocate(T* from, T* to)
    {
        ::new (static_cast<void*>(to)) T(std::move(*from));
        from->~T();
    }

    void GapTo(std::ptrdiff_t position)
    {
        const std::ptrdiff_t gap = GapLength();
        if (gap == 0) {
            part1Length = position;
            return;
        }
        // Elements crossing the gap move into its unconstructed slots, one by one.
        while (part1Length > position) {
            --part1Length;
            Relocate(body + part1Length, body + part1Length + gap);
        }
        while (part1Length < position) {
            Relocate(body + part1Length + gap, body + part1Length);
            ++part1Length;
        }
    }

    void Reallocate(std::ptrdiff_t newCapacity)
    {
        static_assert(alignof(T) <= alignof(std::max_align_t));
        T* grown = static_cast<T*>(AllocateLarge(sizeof(T) * size_t(newCapacity)));
        const std::ptrdiff_t gap = GapLength();
        for (std::ptrdiff_t i = 0; i < part1Length; ++i)
            Relocate(body + i, grown + i);
        for (std::ptrdiff_t i = part1Length; i < lengthBody; ++i)
            Relocate(body + i + gap, grown + i);
        FreeLarge(body);
        body = grown;
        capacity = newCapacity;
        part1Length = lengthBody;  // the gap is now at the end
    }

    T* body = nullptr;
    std::ptrdiff_t capacity = 0;
    std::ptrdiff_t lengthBody = 0;   // constructed elements
    std::ptrdiff_t part1Length = 0;  // elements in front of the gap; invariant: the gap is unconstructed
};

}  // namespace lepotex
