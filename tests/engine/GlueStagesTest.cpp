#include "engine/GlueStages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>

#include "LiteralReference.h"
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

TEST(GlueStages, RemoveIndentationAndPageNumbers)
{
    LineList list = {"   a  ", "    ", "b", "- 12 -", "-5-"};
    EXPECT_EQ(RemoveIndentation(list), 5);
    EXPECT_EQ(list, (WorkingList{"a  ", "", "b", "- 12 -", "-5-"}));
    EXPECT_EQ(RemovePageNumbers(list), 5);
    EXPECT_EQ(list, (WorkingList{"a  ", "", "b"}));

    LineList numbers = {"-1-", "-2-"};
    EXPECT_EQ(RemovePageNumbers(numbers), 2);
    EXPECT_TRUE(numbers.empty());
}

TEST(GlueStages, JoinHyphenatedWordsAcrossEmptyLinesAndChains)
{
    LineList list = {"slo-", "", "", "vo", "kon-", "ec"};
    EXPECT_EQ(JoinHyphenatedWords(list), 3);  // non-empty lines before the last
    EXPECT_EQ(list, (WorkingList{"slovo", "konec"}));

    list = {"pro-", "ti-", "va", "Slo-", "Vo", "x-", ""};
    JoinHyphenatedWords(list);
    EXPECT_EQ(list, (WorkingList{"protiva", "Slo-", "Vo", "x-", ""}));
}

TEST(GlueStages, GlueLineBreaksSeesTheAlreadyJoinedLowerLine)
{
    const Settings s = GlueSettings();
    LineList list = {"jednou", "byl", "jeden.", "Pak", "", "konec"};
    EXPECT_EQ(GlueLineBreaks(list, s), 3);  // the pairs touching the empty line are skipped
    EXPECT_EQ(list, (WorkingList{"jednou byl jeden.", "Pak", "", "konec"}));

    // "All" joined with "rights reserved" begins with a no-glue entry, so "text" stays apart.
    list = {"text", "All", "rights reserved"};
    GlueLineBreaks(list, s);
    EXPECT_EQ(list, (WorkingList{"text", "All rights reserved"}));

    list = {"a", "KAPITOLA", "b"};
    GlueLineBreaks(list, s);
    EXPECT_EQ(list, (WorkingList{"a", "KAPITOLA", "b"}));

    // A word joined across a hyphen break is the word for the no-glue entries, above and below.
    list = {"text", "Kapi-", "tola a", "Kapi-", "tola", "dal"};
    JoinHyphenatedWords(list);
    GlueLineBreaks(list, s);
    EXPECT_EQ(list, (WorkingList{"text", "Kapitola a", "Kapitola", "dal"}));
}

TEST(GlueStages, ReindentUsesTheIndentString)
{
    EXPECT_EQ(MakeIndentString(4), "   ");
    EXPECT_EQ(MakeIndentString(1), "");
    EXPECT_EQ(MakeIndentString(14), std::string(13, ' '));
    EXPECT_EQ(MakeIndentString(0), std::string(14, ' '));
    EXPECT_EQ(MakeIndentString(15), std::string(14, ' '));
    LineList list = {"a", "", "b"};
    EXPECT_EQ(Reindent(list, "   "), 2);
    EXPECT_EQ(list, (WorkingList{"   a", "", "   b"}));
}

TEST(GlueStages, MatchTheLiteralAlgorithmOnRandomTexts)
{
    std::mt19937 rng(20030119);
    Settings s = GlueSettings();
    // Entries that a line can only begin with once a join has put a space into it.
    s.noGlue.push_back("ab x");
    s.noGlue.push_back("a a");
    for (int round = 0; round < 1500; ++round) {
        s.noCaps = round % 3 != 0;
        s.indent = round % 4 != 0;
        s.indentSize = uint8_t(round % 17);
        const WorkingList input = testing::RandomLines(rng, 30, round % 5 == 0);
        WorkingList literal = input;
        const std::vector<int64_t> literalSteps = literal::Glue(literal, s);

        LineList linear(input);
        std::vector<int64_t> steps = {RemoveIndentation(linear), RemovePageNumbers(linear),
                                      JoinHyphenatedWords(linear), GlueLineBreaks(linear, s)};
        WorkingList whole = input;
        SilentReporter quiet;
        GlueWorkingList(whole, s, quiet);
        if (s.indent)
            steps.push_back(Reindent(linear, MakeIndentString(s.indentSize)));
        ASSERT_EQ(steps, literalSteps) << "round " << round;
        ASSERT_EQ(whole, literal) << "round " << round;
    }
}

TEST(GlueStages, MatchTheLiteralAlgorithmWithLongRandomNoGlueLists)
{
    std::mt19937 rng(19012003);
    for (int round = 0; round < 400; ++round) {
        Settings s = GlueSettings();
        s.noCaps = round % 2 == 0;
        // Beginnings of the random lines, some reaching across the space a join puts in,
        // some beginning one another, duplicates and empty entries among them.
        s.noGlue.clear();
        const int entries = std::uniform_int_distribution<int>(0, 300)(rng);
        for (int e = 0; e < entries; ++e) {
            std::string line = testing::RandomLine(rng) + " " + testing::RandomLine(rng);
            std::erase(line, '\r');
            s.noGlue.push_back(line.substr(0, std::uniform_int_distribution<std::size_t>(0, 9)(rng)));
        }
        const WorkingList input = testing::RandomLines(rng, 40);
        WorkingList literal = input;
        literal::Glue(literal, s);
        WorkingList whole = input;
        SilentReporter quiet;
        GlueWorkingList(whole, s, quiet);
        ASSERT_EQ(whole, literal) << "round " << round;
    }
}

TEST(GlueStages, ALongNoGlueListKeepsTheGlueFast)
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
    LineList list(lines);
    const auto start = std::chrono::steady_clock::now();
    GlueLineBreaks(list, s);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(list.joins, 19'999u);
}

TEST(GlueStages, LongEntriesAcrossJoinsKeepTheGlueLinear)
{
    // An entry that the joined lines almost begin with: read anew at every join, the lines
    // would cost their count times the entry's length.
    const auto repeated = [](int count, std::string_view tail) {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += i == 0 ? "a" : " a";
        return text + std::string(tail);
    };
    Settings s = GlueSettings();
    s.noGlue = {repeated(1'000'000, " b")};
    LineList list(WorkingList(1'000'000, "a"));
    const auto start = std::chrono::steady_clock::now();
    GlueLineBreaks(list, s);
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 10.0);
    EXPECT_EQ(list.joins, 999'999u);

    // Entries that the joined lines do begin with, checked against the literal glue.
    for (const int length : {1, 2, 7, 40}) {
        s.noGlue = {repeated(length, ""), repeated(length + 3, " b"), "a b"};
        WorkingList input;
        for (int i = 0; i < 300; ++i)
            input.push_back(i % 37 == 0 ? "b" : "a");
        WorkingList literal = input;
        literal::Glue(literal, s);
        WorkingList whole = input;
        SilentReporter quiet;
        GlueWorkingList(whole, s, quiet);
        EXPECT_EQ(whole, literal) << "entry of " << length << " a";
    }
}

}  // namespace
}  // namespace lepotex
