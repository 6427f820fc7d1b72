#include "engine/GlueStages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "LiteralReference.h"
#include "../editor/TestUtil.h"
#include "RandomText.h"
#include "engine/GlueCommands.h"

namespace lepotex {
namespace {

Settings GlueSettings()
{
    Settings s;
    s.noGlue = {"Kapitola", "All rights reserved", "(c)"};
    s.autoReplace = {"sena\\se na", "\x93\x84\\\x93^p\x84", "\x93 \x84\\\x93^p\x84", ",,\\\x84"};
    return s;
}

TEST(GlueStages, IndentStringAndNoGlueEntriesOverJoinedLines)
{
    for (const auto& [size, spaces] : {std::pair{1, 0}, {14, 13}, {0, 14}, {15, 14}})
        EXPECT_EQ(MakeIndentString(uint8_t(size)), std::string(std::size_t(spaces), ' ')) << size;

    // Glued from the bottom up, an upper line meets the lower one as already joined: "All"
    // joined with "rights reserved" begins with a no-glue entry, so "text" stays apart; and a
    // word joined across a hyphen break is the word for the entries, above and below.
    LineList list = {"text", "All", "rights reserved", "text", "Kapi-", "tola a", "Kapi-", "tola", "dal"};
    JoinHyphenatedWords(list);
    GlueLineBreaks(list, GlueSettings());
    EXPECT_EQ(list, (WorkingList{"text", "All rights reserved text", "Kapitola a", "Kapitola", "dal"}));
}

TEST(GlueStages, MatchTheLiteralAlgorithmOnRandomTextsAndNoGlueLists)
{
    std::mt19937 rng(20030119);
    for (int round = 0; round < 2000; ++round) {
        Settings s = GlueSettings();
        s.noCaps = round % 3 != 0;
        s.indent = round % 4 != 0;
        s.indentSize = uint8_t(round % 17);
        if (round % 4 == 1) {
            // Beginnings of the random lines, some reaching across the space a join puts in,
            // some beginning one another, duplicates and empty entries among them.
            s.noGlue.clear();
            for (int e = std::uniform_int_distribution<int>(0, 300)(rng); e > 0; --e) {
                std::string line = testing::RandomLine(rng) + " " + testing::RandomLine(rng);
                std::erase(line, '\r');
                s.noGlue.push_back(line.substr(0, std::uniform_int_distribution<std::size_t>(0, 9)(rng)));
            }
        } else {
            // Entries that a line can only begin with once a join has put a space into it.
            s.noGlue.push_back("ab x");
            s.noGlue.push_back("a a");
        }
        const WorkingList input = testing::RandomLines(rng, 40, round % 5 == 0);
        WorkingList literal = input;
        const std::vector<int64_t> literalSteps = literal::Glue(literal, s);

        LineList linear(input);
        std::vector<int64_t> steps = {RemoveIndentation(linear), RemovePageNumbers(linear)};
        const std::size_t unnumbered = linear.size();
        steps.push_back(JoinHyphenatedWords(linear));
        steps.push_back(GlueLineBreaks(linear, s));
        if (s.indent)
            steps.push_back(Reindent(linear, MakeIndentString(s.indentSize)));
        ASSERT_EQ(steps, literalSteps) << "round " << round;
        // The first three stages in one pass, the fourth on what that pass read.
        LineList fused(input);
        const FirstStages first = RunFirstStages(fused, s);
        std::vector<int64_t> fusedSteps = {first.lineSteps, first.lineSteps, first.hyphenSteps,
                                           GlueLineBreaks(fused, s, &first.facts)};
        if (s.indent)
            fusedSteps.push_back(Reindent(fused, MakeIndentString(s.indentSize)));
        ASSERT_EQ(fusedSteps, literalSteps) << "round " << round;
        ASSERT_EQ(first.unnumbered, unnumbered) << "round " << round;
        ASSERT_TRUE(fused.pieces == linear.pieces && fused.flags == linear.flags && fused.joins == linear.joins)
            << "round " << round;
        SilentReporter quiet;
        WorkingList glued = input;
        GlueWorkingList(glued, s, quiet);
        ASSERT_EQ(glued, literal) << "round " << round;
    }
}

// A bound that only a glue gone quadratic misses: the linear glue takes a fraction of it,
// the quadratic one minutes; sanitizer builds run several times slower, on busy machines more.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kQuadraticBoundSeconds = 60.0;
#else
constexpr double kQuadraticBoundSeconds = 10.0;
#endif

// Glues the lines' breaks; returns the joins made, having checked the time it took.
std::size_t TimedGlueLineBreaks(const WorkingList& lines, const Settings& s)
{
    LineList list(lines);
    const auto start = std::chrono::steady_clock::now();
    GlueLineBreaks(list, s);
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), kQuadraticBoundSeconds);
    return list.joins;
}

TEST(GlueStages, LongNoGlueListsAndEntriesKeepTheGlueLinear)
{
    // 200,000 entries that every line begins like, none matching: compared one by one, each
    // of the 20,000 line breaks would cost two passes over the whole list, some minutes.
    Settings s = GlueSettings();
    s.noGlue.clear();
    for (int e = 0; e < 200'000; ++e)
        s.noGlue.push_back("Kapitola " + std::to_string(e) + "x");
    WorkingList lines;
    for (int l = 0; l < 20'000; ++l)
        lines.push_back("Kapitola " + std::to_string(l) + " pokra\xE8uje a d\xE1l");
    EXPECT_EQ(TimedGlueLineBreaks(lines, s), 19'999u);

    // An entry that the joined lines almost begin with: read anew at every join, the lines
    // would cost their count times the entry's length.
    s.noGlue = {test::Repeated("a ", 1'000'000) + "b"};
    EXPECT_EQ(TimedGlueLineBreaks(WorkingList(1'000'000, "a"), s), 999'999u);
}

}  // namespace
}  // namespace lepotex
