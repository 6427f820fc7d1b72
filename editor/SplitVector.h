#pragma once
// A gap buffer: a vector with a movable hole, so that a run of insertions or deletions
// near one place (the caret, or the end during loading) costs O(1) amortized each
// instead of shifting everything behind it.
#include <algorithm>
#include <cassert>
#include <cstddef>
#include <utility>
#include <vector>

namespace lepotex {

template <typename T>
class SplitVector {
public:
    std::ptrdiff_t Length() const { return lengthBody; }

    void Reserve(std::ptrdiff_t capacity)
    {
        if (capacity > std::ptrdiff_t(body.size()))
            Reallocate(capacity);
    }

    const T& operator[](std::ptrdiff_t index) const
    {
        assert(index >= 0 && index < lengthBody);
        return index < part1Length ? body[index] : body[index + gapLength];
    }
    T& operator[](std::ptrdiff_t index)
    {
        assert(index >= 0 && index < lengthBody);
        return index < part1Length ? body[index] : body[index + gapLength];
    }

    void Insert(std::ptrdiff_t position, T value)
    {
        assert(position >= 0 && position <= lengthBody);
        RoomFor(1);
        GapTo(position);
        body[part1Length] = std::move(value);
        ++part1Length;
        ++lengthBody;
        --gapLength;
    }

    void Delete(std::ptrdiff_t position) { DeleteRange(position, 1); }

    void DeleteRange(std::ptrdiff_t position, std::ptrdiff_t count)
    {
        assert(position >= 0 && count >= 0 && position + count <= lengthBody);
        if (count == 0)
            return;
        GapTo(position);
        for (std::ptrdiff_t i = 0; i < count; ++i)
            body[part1Length + gapLength + i] = T();  // release what the elements own now
        lengthBody -= count;
        gapLength += count;
    }

    // Adds delta to the elements in [start, end); used by the partitioning's lazy step.
    template <typename D>
    void RangeAddDelta(std::ptrdiff_t start, std::ptrdiff_t end, D delta)
    {
        std::ptrdiff_t i = start;
        const std::ptrdiff_t end1 = std::min(end, part1Length);
        for (; i < end1; ++i)
            body[i] += delta;
        for (; i < end; ++i)
            body[i + gapLength] += delta;
    }

    void Clear()
    {
        body.clear();
        body.shrink_to_fit();
        lengthBody = part1Length = gapLength = 0;
    }

private:
    void GapTo(std::ptrdiff_t position)
    {
        if (position == part1Length)
            return;
        if (position < part1Length) {
            // Elements [position, part1Length) move to the back of the gap.
            std::move_backward(body.begin() + position, body.begin() + part1Length,
                               body.begin() + part1Length + gapLength);
        } else {
            std::move(body.begin() + part1Length + gapLength, body.begin() + position + gapLength,
                      body.begin() + part1Length);
        }
        part1Length = position;
    }

    void RoomFor(std::ptrdiff_t count)
    {
        if (gapLength >= count)
            return;
        // Grow by half: a document of a million paragraphs should not carry a million spare slots.
        const std::ptrdiff_t size = std::ptrdiff_t(body.size());
        Reallocate(std::max<std::ptrdiff_t>(size + size / 2 + 16, lengthBody + count));
    }

    void Reallocate(std::ptrdiff_t capacity)
    {
        GapTo(lengthBody);
        std::vector<T> grown(capacity);
        std::move(body.begin(), body.begin() + lengthBody, grown.begin());
        body.swap(grown);
        gapLength = capacity - lengthBody;
    }

    std::vector<T> body;
    std::ptrdiff_t lengthBody = 0;   // elements stored
    std::ptrdiff_t part1Length = 0;  // elements in front of the gap
    std::ptrdiff_t gapLength = 0;    // invariant: part1Length + gapLength + (lengthBody - part1Length) == body.size()
};

}  // namespace lepotex
