#pragma once
// Start positions of consecutive partitions (here: the first display line of each
// paragraph, from 0). A change of one partition's size shifts every later start; rather
// than touching them all, the shift is kept pending as one (stepPartition, stepLength)
// pair and applied lazily as edits move along, so edits near one place cost O(1)
// amortized and a lookup by position is a binary search.
//
// While every partition is one long (no paragraph wraps: the batch tool, or word wrap off),
// partition p starts at p and no table is kept at all; the table is made the first time a
// partition gets another size.
#include <cassert>
#include <cstdint>

#include "editor/SplitVector.h"

namespace lepotex {

class Partitioning {
public:
    Partitioning() = default;

    int32_t Partitions() const { return unit ? unitCount : int32_t(body.Length() - 1); }
    void Reserve(int32_t partitions)
    {
        if (!unit)
            body.Reserve(std::ptrdiff_t(partitions) + 1);
    }

    // Start of partition p (0 <= p <= Partitions(); p == Partitions() gives the total).
    int64_t PositionFromPartition(int32_t p) const
    {
        assert(p >= 0 && p <= Partitions());
        if (unit)
            return p - (emptyAt >= 0 && p > emptyAt ? 1 : 0);
        int64_t pos = body[p];
        if (p > stepPartition)
            pos += stepLength;
        return pos;
    }

    // The partition holding pos; positions at or past the end give the last partition.
    int32_t PartitionFromPosition(int64_t pos) const
    {
        if (Partitions() < 1 || pos < 0)
            return 0;
        int32_t lower = 0;
        int32_t upper = Partitions();
        if (pos >= PositionFromPartition(upper))
            return upper - 1;
        if (unit)  // an empty partition holds nothing: the one behind it starts at the same line
            return int32_t(pos) + (emptyAt >= 0 && pos >= emptyAt ? 1 : 0);
        while (lower < upper) {  // invariant: start(lower) <= pos < start(upper)
            const int32_t middle = (upper + lower + 1) / 2;
            if (pos < PositionFromPartition(middle))
                upper = middle - 1;
            else
                lower = middle;
        }
        return lower;
    }

    // Inserts a new partition p starting at pos (pos is in final coordinates).
    void InsertPartition(int32_t p, int64_t pos)
    {
        if (unit && emptyAt < 0 && pos == p) {
            // As a paragraph comes in: empty for the moment, one long right after.
            emptyAt = p;
            ++unitCount;
            return;
        }
        MakeTable();
        if (stepPartition < p)
            ApplyStep(p);
        body.Insert(p, pos);
        ++stepPartition;
    }

    void RemovePartition(int32_t p)
    {
        if (unit && emptyAt == p) {
            emptyAt = -1;
            --unitCount;
            return;
        }
        MakeTable();
        if (p > stepPartition)
            ApplyStep(p);
        --stepPartition;
        body.Delete(p);
    }

    // Partition p grew by delta: every later start moves by delta.
    void AddToPartition(int32_t p, int64_t delta)
    {
        if (delta == 0)
            return;
        if (unit) {
            if (emptyAt == p && delta == 1) {
                emptyAt = -1;
                return;
            }
            if (emptyAt < 0 && delta == -1) {
                emptyAt = p;
                return;
            }
            MakeTable();
        }
        if (stepLength != 0) {
            if (p >= stepPartition) {
                ApplyStep(p);
                stepLength += delta;
            } else if (p >= stepPartition - Partitions() / 10) {
                BackStep(p);
                stepLength += delta;
            } else {
                ApplyStep(Partitions());
                stepPartition = p;
                stepLength = delta;
            }
        } else {
            stepPartition = p;
            stepLength = delta;
        }
    }

    void Clear()
    {
        body.Clear();
        unit = true;
        unitCount = 0;
        emptyAt = -1;
        stepPartition = 0;
        stepLength = 0;
    }

private:
    // The table of starts, from the partitions of one line (and the one empty) kept so far.
    void MakeTable()
    {
        if (!unit)
            return;
        body.Reserve(std::ptrdiff_t(unitCount) + 1);
        for (int32_t p = 0; p <= unitCount; ++p)
            body.Insert(p, PositionFromPartition(p));
        unit = false;
        stepPartition = 0;
        stepLength = 0;
    }

    // Makes the pending shift real for partitions up to and including p.
    void ApplyStep(int32_t p)
    {
        if (stepLength != 0)
            body.RangeAddDelta(stepPartition + 1, int64_t(p) + 1, stepLength);
        stepPartition = p;
        if (stepPartition >= Partitions()) {
            stepPartition = Partitions();
            stepLength = 0;
        }
    }

    // Moves the step back to p, taking the shift off partitions p+1 .. stepPartition.
    void BackStep(int32_t p)
    {
        if (stepLength != 0)
            body.RangeAddDelta(int64_t(p) + 1, int64_t(stepPartition) + 1, -stepLength);
        stepPartition = p;
    }

    // Without a table: unitCount partitions, each one long but the one at emptyAt (-1: none).
    bool unit = true;
    int32_t unitCount = 0;
    int32_t emptyAt = -1;
    // Starts after stepPartition lack stepLength, which is added when they are read.
    SplitVector<int64_t> body;
    int32_t stepPartition = 0;
    int64_t stepLength = 0;
};

}  // namespace lepotex
