#include "engine/LeftMargins.h"
#include "engine/DoubleSpacing.h"
#include "engine/SplitLines.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "Books.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/GlueRecord.h"
#include "engine/LineList.h"

namespace lepotex {
namespace {

// A book wrapped at 60 columns, its paragraphs' first lines indented by two spaces, runs of
// one-line paragraphs (dialogue) and a centred chapter number now and then. `margin` gives
// each text line its page's margin, from the count of text lines before it.
template <typename Margin>
std::vector<std::string> Book(Margin&& margin)
{
    static const char* const words[] = {"a", "les", "domov", "cesta", "okno", "zahrada", "dlouho", "ticho",
                                        "voda", "srdce", "mlynář", "řekl.", "Ano,", "večer"};
    std::mt19937 rng(11);
    std::vector<std::string> lines;
    int textLines = 0;
    auto push = [&](const std::string& line) { lines.push_back(std::string(margin(textLines++), ' ') + line); };
    for (int p = 0; p < 160; ++p) {
        if (p % 40 == 0)
            push(std::string(26, ' ') + std::to_string(p / 40 + 1));
        const int length = p % 17 < 8 ? 1 : 2 + int(rng() % 30);  // words, a one-liner in every other paragraph
        std::string line = "  Pak";
        for (int w = 0; w < length; ++w) {
            const std::string word = words[rng() % std::size(words)];
            if (line.size() + 1 + word.size() > 60) {
                push(line);
                line = word;
            } else {
                line += ' ' + word;
            }
        }
        push(line + ".");
    }
    return lines;
}

using testing::SmartGlued;

TEST(LeftMarginsTest, AMarginIsNoIndent)
{
    const std::string reference = SmartGlued(Book([](int) { return 0; }));
    std::string layout;
    // One margin for the whole book, as far as its indent and more; the two pages of a spread
    // a space apart. (Pages a whole indent apart leave a run of one-line paragraphs at a page's
    // edge as much on the one page as on the other.)
    EXPECT_EQ(SmartGlued(Book([](int) { return 4; })), reference);
    EXPECT_EQ(SmartGlued(Book([](int line) { return line / 32 % 2 ? 5 : 4; }), &layout), reference);
    EXPECT_NE(layout.find("text posunutý od levého okraje o 4 až 5 mezer"), std::string::npos) << layout;

    // Lines at the left edge, or a hanging indent (first lines further out than the rest),
    // have no margin to take.
    for (const auto& margin : {+[](int) { return 0; }, +[](int line) { return line % 5 ? 3 : 0; }}) {
        LineList list;
        for (const std::string& line : Book(margin))
            list.AddCopy(line);
        EXPECT_EQ(StripLeftMargins(list).lines, 0);
    }
}

// A browser's dump of a book: paragraphs wrapped at 70 columns with a blank line between
// them, every line `margin` spaces in, and the chapter headings at the left edge, each of
// `headLines` lines.
std::vector<std::string> DumpedBook(int margin, int headLines)
{
    static const char* const words[] = {"a", "les", "domov", "cesta,", "okno", "zahrada", "dlouho", "ticho.",
                                        "voda", "srdce", "mlynář", "Řekl", "ano", "večer"};
    std::mt19937 rng(5);
    std::vector<std::string> lines;
    for (int p = 0; p < 300; ++p) {
        if (p % 6 == 0) {
            for (int h = 0; h < headLines; ++h)
                lines.push_back("KAPITOLA " + std::to_string(p / 6 + 1) + (h ? " a dál" : ""));
            lines.emplace_back();
        }
        std::string line = std::string(std::size_t(margin), ' ') + "Pak";
        for (int w = 0, length = 3 + int(rng() % 40); w < length; ++w) {
            const std::string word = words[rng() % std::size(words)];
            if (line.size() + 1 + word.size() > std::size_t(70 + margin)) {
                lines.push_back(line);
                line = std::string(std::size_t(margin), ' ') + word;
            } else {
                line += ' ' + word;
            }
        }
        lines.push_back(line + ".");
        lines.emplace_back();
    }
    return lines;
}

std::string WithoutLeadingSpaces(std::string text)
{
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && c == ' ')
            continue;
        out += c;
        lineStart = c == '\n';
    }
    return out;
}

TEST(LeftMarginsTest, HeadingsOutsideTheMarginLeaveItAMargin)
{
    // Headings of one line at the edge, more than a stray few, are no hanging indent: the
    // margin goes as on a page without them.
    std::string layout;
    const std::string reference = SmartGlued(DumpedBook(0, 1));
    EXPECT_TRUE(SmartGlued(DumpedBook(3, 1), &layout) == reference);
    EXPECT_NE(layout.find("text posunutý od levého okraje o 3 mezery"), std::string::npos) << layout;

    // Headings of two lines keep the margin on, and the lines inside paragraphs, as far in as
    // first lines, tell that it marks no paragraph.
    EXPECT_TRUE(WithoutLeadingSpaces(SmartGlued(DumpedBook(3, 2), &layout)) == WithoutLeadingSpaces(SmartGlued(DumpedBook(0, 2))));
    EXPECT_EQ(layout.find("odsazením"), std::string::npos) << layout;
}

TEST(DoubleSpacingTest, ABlankLineAfterEveryLineIsOnlySpacing)
{
    const std::vector<std::string> book = Book([](int) { return 0; });
    // A CR LF file converted once more reads as CR CR LF: a blank line after each line, three
    // where the book had one; also from a tool that writes each page's form feed on a line of
    // its own, the page's first line right after it with no blank line between.
    for (const bool paged : {false, true}) {
        std::vector<std::string> single, spaced;
        for (std::size_t i = 0; i < book.size(); ++i) {
            if (paged && i > 0 && i % 20 == 0) {
                single.emplace_back("\f");
                spaced.emplace_back("\f");
            }
            single.push_back(book[i]);
            spaced.insert(spaced.end(), {book[i], ""});
        }
        std::string layout;
        EXPECT_EQ(SmartGlued(spaced, &layout), SmartGlued(single)) << paged;
        EXPECT_NE(layout.find("řádky proložené prázdnými řádky"), std::string::npos) << layout;
    }

    // The glued book, its paragraphs a line each with a blank line between: they mark them.
    LineList glued;
    const std::string text = SmartGlued(book);
    for (std::size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
        glued.AddCopy(text.substr(at, end - at));
        glued.AddCopy("");
    }
    EXPECT_EQ(DropDoubleSpacing(glued), 0);
}

TEST(SplitLinesTest, ALineATextToolCutIntoItsWordsIsOneLineAgain)
{
    // Some of the book's lines inside paragraphs come as a column of their words, the odd one
    // with a word starting in a capital.
    const std::vector<std::string> book = Book([](int) { return 0; });
    std::vector<std::string> cut;
    int cuts = 0;
    for (std::size_t i = 0; i < book.size(); ++i) {
        const bool inside = i > 0 && i + 1 < book.size() && book[i - 1].size() > 40 && book[i].size() > 40 &&
                            book[i + 1].size() > 40 && book[i].front() != ' ';
        if (!inside || i % 3 != 0) {
            cut.push_back(book[i]);
            continue;
        }
        ++cuts;
        for (std::size_t at = 0, end; at < book[i].size(); at = end + 1) {
            end = std::min(book[i].find(' ', at), book[i].size());
            cut.push_back(book[i].substr(at, end - at));
        }
    }
    ASSERT_GE(cuts, 10);
    std::string layout;
    EXPECT_EQ(SmartGlued(cut, &layout), SmartGlued(book));
    EXPECT_NE(layout.find("řádky rozpadlé na slova"), std::string::npos) << layout;

    // What only looks like it: words of speech one after another, names in a list, a table of
    // contents, verse of a few words a line.
    const std::vector<std::string> stays = {"„Ano.“", "„Ne.“", "„Proč?“", "Jan", "Petr", "Pavel", "Obsah",
                                            "I", "II", "III", "Konejšivě, jemně", "budí spáče den.",
                                            "Sedmihradská země", "smutek konejší."};
    LineList list;
    for (std::size_t i = 0; i < book.size(); ++i) {
        list.AddCopy(book[i]);
        if (i == 40)
            for (const std::string& line : stays)
                list.AddCopy(Utf8ToWindows1250(line));
    }
    const std::size_t lines = list.pieces.size();
    EXPECT_EQ(RejoinLinesCutIntoWords(list), 0);
    EXPECT_EQ(list.pieces.size(), lines);

    // At the top of a page, behind the number, blank and feed lines of the page before; behind
    // a blank line alone (a heading's), where the paragraph goes on below in lower case, not
    // where a capital follows, as after a stanza.
    const std::vector<std::string> words = {"Nezvyklá", "něha,", "nikdy", "předtím", "nepocítěná,", "zalila", "tvrdé"};
    for (const auto& [feed, below, joins] : {std::tuple{true, "krysařovo srdce. Zatajil dech a seděl bez hnutí", true},
                                             {false, "krysařovo srdce. Zatajil dech a seděl bez hnutí", true},
                                             {false, "Krysař seděl bez hnutí, boje se, že spící probudí", false}}) {
        LineList paged;
        for (std::size_t i = 0; i < 60; ++i)
            paged.AddCopy(book[i]);
        paged.AddCopy("26");
        paged.AddCopy("");
        if (feed)
            paged.AddCopy("\f");
        for (const std::string& word : words)
            paged.AddCopy(Utf8ToWindows1250(word));
        paged.AddCopy(Utf8ToWindows1250(below));
        const std::size_t before = paged.pieces.size();
        EXPECT_EQ(RejoinLinesCutIntoWords(paged), joins ? int64_t(words.size()) - 1 : 0) << below;
        EXPECT_EQ(paged.pieces.size(), joins ? before - words.size() + 1 : before);
        if (joins) {
            EXPECT_EQ(paged.pieces[paged.pieces.size() - 2],
                      Utf8ToWindows1250("Nezvyklá něha, nikdy předtím nepocítěná, zalila tvrdé"));
        }
    }
}

}  // namespace
}  // namespace lepotex
