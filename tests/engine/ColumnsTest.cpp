#include "engine/Columns.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "Books.h"
#include "RandomText.h"
#include "WordsKept.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

using Lines = std::vector<std::string>;

struct Design {
    std::size_t width = 34;  // of a column
    std::size_t gap = 4;     // between the columns
    unsigned shift = 0;      // the right column's lines begin up to shift - 1 further in, as a proportional face sets them
    bool turns = false;      // the columns' lines stand at other heights: each on a line of its own
};

// A book of pages set in two columns as a tool that keeps the page's look writes them, and the
// same pages with the left column above the right one: a running head, the columns, a page
// number below, a form feed before each page but the first. A column begins and ends with
// text, as a typesetter drops space at a column's break.
struct TwoColumnBook {
    Lines sideBySide;
    Lines oneAfterOther;
    Lines paragraphs;  // as the glue should make them, without their indent
};

TwoColumnBook MakeBook(const Design& design, std::size_t indent, unsigned seed)
{
    constexpr std::size_t kRows = 30;
    Lines text = testing::Wrap(120, design.width, indent, indent == 0, seed);
    TwoColumnBook book;
    for (std::size_t k = 0; k < text.size(); ++k) {
        if (text[k].empty())
            continue;
        if (k == 0 || text[k - 1].empty() || text[k].starts_with(' '))
            book.paragraphs.push_back(text[k].substr(indent));
        else
            book.paragraphs.back() += ' ' + text[k];
    }
    std::mt19937 rng(seed);
    std::size_t at = 0;
    const auto column = [&] {
        Lines lines;
        while (at < text.size() && text[at].empty())
            ++at;
        while (at < text.size() && lines.size() < kRows)
            lines.push_back(text[at++]);
        while (!lines.empty() && lines.back().empty())
            lines.pop_back();
        return lines;
    };
    const std::size_t right = design.width + design.gap;
    for (int n = 1; at < text.size(); ++n) {
        const Lines left = column();
        const Lines second = column();
        const std::string feed = n > 1 ? "\f" : "";
        const std::string number = std::to_string(n);
        const std::string head = feed + "Kniha o mlynu" + std::string(right + design.width - 13 - number.size(), ' ') + number;
        for (Lines* out : {&book.sideBySide, &book.oneAfterOther})
            out->insert(out->end(), {head, "", ""});
        for (std::size_t r = 0; r < std::max(left.size(), second.size()); ++r) {
            const std::string l = r < left.size() ? left[r] : "";
            const std::string s = r < second.size() ? second[r] : "";
            const std::size_t from = right + (design.shift ? rng() % design.shift : 0);
            if (design.turns && !l.empty() && !s.empty()) {
                book.sideBySide.push_back(l);
                book.sideBySide.push_back(std::string(from, ' ') + s);
            } else if (s.empty()) {
                book.sideBySide.push_back(l);
            } else {
                book.sideBySide.push_back(l + std::string(from - l.size(), ' ') + s);
            }
        }
        book.oneAfterOther.insert(book.oneAfterOther.end(), left.begin(), left.end());
        book.oneAfterOther.insert(book.oneAfterOther.end(), second.begin(), second.end());
        for (Lines* out : {&book.sideBySide, &book.oneAfterOther})
            out->insert(out->end(), {"", "", std::string(right, ' ') + number});
    }
    return book;
}

// How many of the paragraphs a glued text holds as lines of their own.
std::size_t Exact(const std::string& text, const Lines& paragraphs)
{
    std::multiset<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find("\r\n", at), text.size());
        std::string line = text.substr(at, end - at);
        line.erase(0, line.find_first_not_of(' '));
        lines.insert(line);
        at = end + 2;
    }
    std::size_t found = 0;
    for (const std::string& paragraph : paragraphs)
        if (const auto it = lines.find(paragraph); it != lines.end()) {
            lines.erase(it);
            ++found;
        }
    return found;
}

Lines Split(const Lines& book, int64_t& pages)
{
    LineList list;
    for (const std::string& line : book)
        list.AddView(line, false);
    pages = SplitColumns(list);
    return Lines(list.pieces.begin(), list.pieces.end());
}

TEST(Columns, APageInTwoColumnsGluesAsItsColumnsOneAfterTheOther)
{
    struct Case {
        const char* name;
        Design design;
        std::size_t indent;
    };
    const Case cases[] = {
        {"on a grid, indented paragraphs", {34, 4, 0, false}, 3},
        {"on a grid, blank lines between paragraphs", {34, 4, 0, false}, 0},
        {"a proportional face", {40, 3, 4, false}, 0},
        {"a proportional face, indented paragraphs", {40, 3, 2, false}, 4},
        {"the columns' lines at other heights", {34, 5, 0, true}, 3},
        {"narrow columns, a narrow gap", {24, 2, 0, false}, 2},
    };
    for (const Case& c : cases) {
        for (const unsigned seed : {1u, 2u}) {
            const TwoColumnBook book = MakeBook(c.design, c.indent, seed);
            int64_t pages = 0;
            Split(book.sideBySide, pages);
            // Every page but the last, which may hold the left column alone.
            EXPECT_GE(pages, std::ranges::count_if(book.sideBySide, [](const std::string& line) {
                          return line.starts_with('\f');
                      })) << c.name;
            // As many paragraphs come out whole as when the columns stand one after the other,
            // nearly all.
            std::string layout;
            const std::size_t read = Exact(testing::SmartGlued(book.sideBySide, &layout), book.paragraphs);
            const std::size_t oneColumn = Exact(testing::SmartGlued(book.oneAfterOther), book.paragraphs);
            EXPECT_GE(read, oneColumn) << c.name << ", seed " << seed;
            EXPECT_GE(read * 100, book.paragraphs.size() * 97) << c.name << ", seed " << seed;
            EXPECT_NE(layout.find(", stránky sázené ve dvou sloupcích (čteno po sloupcích: "), std::string::npos) << layout;
        }
    }
}

TEST(Columns, PagesInOneColumnStayAsTheyAre)
{
    // Each page a kind of text whose lines hold a gap of two spaces or more, twelve pages of it.
    const auto pages = [](const std::function<std::string(int, int)>& line) {
        Lines book;
        for (int p = 0; p < 12; ++p)
            for (int r = 0; r < 30; ++r)
                book.push_back((p > 0 && r == 0 ? "\f" : "") + line(p, r));
        return book;
    };
    const Lines kinds[] = {
        // Justified lines the tool wrote with two spaces where the face stretched them, and
        // sentences typed with two spaces after them.
        pages([](int p, int r) {
            const auto seed = unsigned(p * 30 + r);
            std::string line = testing::Wrap(1, 200, 0, false, seed)[0].substr(0, 15 + seed * 7919 % 50) + ".  ";
            line += testing::Wrap(1, 200, 0, false, seed + 500)[0].substr(0, 10 + seed * 104729 % 50);
            line.insert(std::min(line.find(' ', std::size_t(10 + (p * 7 + r * 13) % 20)), line.size()), " ");
            return line;
        }),
        // Contents: titles and their pages at the right edge.
        pages([](int p, int r) {
            const std::string title = "Kapitola " + std::to_string(p * 30 + r) + " o mlynu a potoce";
            return title + std::string(60 - title.size(), ' ') + std::to_string(p * 90 + r * 3);
        }),
        // A play: who speaks, then the speech.
        pages([](int p, int r) {
            return std::string(r % 2 ? "MLYNAR" : "JAN") + std::string(r % 2 ? 6 : 9, ' ') +
                   "Potom les a domov cesta okno zahrada dlouho ticho " + std::to_string(p);
        }),
        // Verse set in the middle of the page.
        pages([](int p, int r) {
            const std::string verse = r % 5 == 4 ? "" : std::string(r % 2 ? "a les a domov" : "potom ticho voda mlyna") + std::to_string(p);
            return std::string(verse.empty() ? 0 : 30 - verse.size() / 2, ' ') + verse;
        }),
    };
    for (const Lines& book : kinds) {
        int64_t pages = 1;
        EXPECT_EQ(Split(book, pages), book) << book[1];
        EXPECT_EQ(pages, 0) << book[1];
    }
}

TEST(Columns, EveryWordAndPageBreakStaysWhateverTheLinesHold)
{
    // Random lines with gaps at random places, some pages two columns' worth: the pieces hold
    // the same words and form feeds, and each feed still begins a line.
    for (unsigned seed = 0; seed < 300; ++seed) {
        std::mt19937 rng(seed);
        Lines book;
        for (int p = 0, pages = 2 + int(rng() % 6); p < pages; ++p)
            for (int r = 0, rows = 6 + int(rng() % 30); r < rows; ++r) {
                std::string line = (p > 0 && r == 0 ? "\f" : "") + testing::RandomLine(rng);
                std::erase(line, '\r');
                if (rng() % 3 != 0)
                    line += std::string(rng() % 3 ? 40 - std::min<std::size_t>(line.size(), 38) : 1 + rng() % 4, ' ') +
                            testing::RandomLine(rng) + " a dlouho ticho voda";
                book.push_back(line);
            }
        int64_t pages = 0;
        const Lines split = Split(book, pages);
        std::size_t feedsBefore = 0;
        std::size_t feedsAfter = 0;
        EXPECT_EQ(testing::SortedWords(split, feedsAfter), testing::SortedWords(book, feedsBefore)) << seed;
        EXPECT_EQ(feedsAfter, feedsBefore) << seed;
        for (const std::string& line : split)
            EXPECT_EQ(line.find('\f', 1), std::string::npos) << seed;
    }
}

}  // namespace
}  // namespace lepotex
