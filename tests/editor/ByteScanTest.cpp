// The scans that look for a few byte values sixteen bytes at a time, against a byte-by-byte
// look over the same bytes.
#include "editor/ByteScan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace lepotex {
namespace {

TEST(ByteScan, FindsWhatALookAtEveryByteFindsAndNotesTheControlsBeforeIt)
{
    std::mt19937 rng(7);
    // Mostly letters, as a book's lines are; now and then a control byte, a high byte, or one
    // of those looked for.
    const std::string common = "abcdefgh ijk,.";
    const std::string rare = std::string("\t\r\n\x1A\x1F\x20\x7F\x80\xE8\xFF", 10) + std::string(1, '\0');
    const std::string sets[] = {std::string("\r\x1A\0", 3), std::string("\n\x1A\0", 3), "a,.", std::string("\r.\0", 3)};
    for (int round = 0; round < 20000; ++round) {
        std::string bytes(std::uniform_int_distribution<std::size_t>(0, 90)(rng), 'x');
        const int rareShare = round % 4 == 0 ? 2 : 60;
        for (char& c : bytes)
            c = std::uniform_int_distribution<int>(0, rareShare)(rng) == 0
                    ? rare[std::uniform_int_distribution<std::size_t>(0, rare.size() - 1)(rng)]
                    : common[std::uniform_int_distribution<std::size_t>(0, common.size() - 1)(rng)];
        const std::string& set = sets[std::size_t(round) % std::size(sets)];
        // From any place, so that the sixteen-byte steps fall anywhere against the bytes.
        const std::size_t from = std::uniform_int_distribution<std::size_t>(0, bytes.size())(rng);
        const char* p = bytes.data() + from;
        const char* end = bytes.data() + bytes.size();

        const char* expected = p;
        bool controls = false;
        while (expected < end && set.find(*expected) == std::string::npos) {
            controls = controls || *expected == '\t' || *expected == '\r' || *expected == '\n';
            ++expected;
        }
        bool noted = round % 7 == 0;  // once noted, it stays so
        ASSERT_EQ(FindAnyOfNoting(p, end, set[0], set[1], set[2], noted), expected) << "round " << round;
        ASSERT_EQ(noted, controls || round % 7 == 0) << "round " << round;
        ASSERT_EQ(FindAnyOf(p, end, set[0], set[1], set[2]), expected) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
