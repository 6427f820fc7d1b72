#include "engine/SmartGlue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/Hyphenation.h"

namespace lepotex {
namespace {

using Lines = std::vector<std::string>;

// Paragraphs of plain words (no hyphen, no digit), in Windows-1250.
Lines Paragraphs(int count, unsigned seed)
{
    static const char* const words[] = {"a", "les", "domov", "cesta", "okno", "zahrada", "dlouho", "ticho",
                                        "kámen", "voda", "večer", "srdce", "přítel", "hvězda", "mlynář"};
    std::mt19937 rng(seed);
    Lines out;
    for (int p = 0; p < count; ++p) {
        std::string text = "Pak";
        for (int w = 8 + int(rng() % 40); w > 0; --w)
            text += std::string(" ") + words[rng() % std::size(words)];
        out.push_back(Utf8ToWindows1250(text + "."));
    }
    return out;
}

// A small hand-made book: the paragraphs wrapped greedily at `width`; `indent` spaces mark a
// paragraph, or a blank line when `blank`, or nothing.
Lines Wrap(int paragraphs, std::size_t width, std::size_t indent, bool blank, unsigned seed = 7)
{
    Lines lines;
    for (const std::string& paragraph : Paragraphs(paragraphs, seed)) {
        if (blank && !lines.empty())
            lines.emplace_back();
        std::string line(indent, ' ');
        for (std::size_t at = 0; at < paragraph.size();) {
            const std::size_t end = std::min(paragraph.find(' ', at), paragraph.size());
            const std::string word = paragraph.substr(at, end - at);
            at = end + 1;
            if (line.find_first_not_of(' ') == std::string::npos) {
                line += word;
            } else if (line.size() + 1 + word.size() <= width) {
                line += ' ' + word;
            } else {
                lines.push_back(line);
                line = word;
            }
        }
        lines.push_back(line);
    }
    return lines;
}

Layout Analyse(const Lines& lines)
{
    const std::vector<std::string_view> views(lines.begin(), lines.end());
    return AnalyseLayout(views);
}

std::vector<std::size_t> PageLinesOf(const Lines& lines)
{
    const Layout layout = Analyse(lines);
    std::vector<std::size_t> found;
    for (std::size_t i = 0; i < layout.roles.size(); ++i)
        if (layout.roles[i] == LineRole::PageLine)
            found.push_back(i);
    return found;
}

// Puts `page(n)` after every `every` non-blank lines, n counting from 3; returns their indices.
std::vector<std::size_t> AddPages(Lines& lines, int every, const std::function<std::string(int)>& page,
                                  bool blanks = false)
{
    Lines out;
    std::vector<std::size_t> pageLines;
    int count = 0;
    int number = 3;
    for (const std::string& line : lines) {
        out.push_back(line);
        if (!line.empty() && ++count == every) {
            if (blanks)
                out.emplace_back();
            pageLines.push_back(out.size());
            out.push_back(page(number++));
            if (blanks)
                out.emplace_back();
            count = 0;
        }
    }
    lines = out;
    return pageLines;
}

TEST(LayoutAnalysis, WidthAndParagraphMarkAreWhatTheLinesShow)
{
    for (const std::size_t width : {33u, 52u, 90u}) {
        EXPECT_EQ(Analyse(Wrap(60, width, 0, true)).width, int32_t(width));
        EXPECT_EQ(Analyse(Wrap(60, width, 8, false)).width, int32_t(width)) << "the indent included";
    }
    EXPECT_EQ(Analyse(Paragraphs(60, 3)).width, 0);  // unwrapped
    for (const std::size_t indent : {1u, 4u, 8u}) {
        const Layout layout = Analyse(Wrap(60, 60, indent, false));
        EXPECT_EQ(layout.mark, ParagraphMark::Indent);
        EXPECT_EQ(layout.indent, int32_t(indent));
    }
    EXPECT_EQ(Analyse(Wrap(60, 60, 0, true)).mark, ParagraphMark::Blank);
    EXPECT_EQ(Analyse(Wrap(60, 60, 0, false)).mark, ParagraphMark::Neither);
}

TEST(LayoutAnalysis, PageLinesOfEveryUsualFormGoAndOnlyThey)
{
    const std::vector<std::function<std::string(int)>> forms = {
        [](int n) { return std::to_string(n); },
        [](int n) { return "- " + std::to_string(n) + " -"; },
        [](int n) { return "-" + std::to_string(n) + "-"; },
        [](int n) { return "\x96 " + std::to_string(n) + " \x96"; },  // en dashes
        [](int n) { return "[" + std::to_string(n) + "]"; },
        [](int n) { return "                    " + std::to_string(n); },  // centred
        [](int) { return std::string("Jan Novák: Zahrada"); },
        [](int n) { return "Zahrada " + std::to_string(n); },
        // Alternating running headers, with and without the page number.
        [](int n) { return n % 2 ? "Zahrada   " + std::to_string(n) : std::to_string(n) + "   Jan Novák"; },
        [](int n) { return std::string(n % 2 ? "Zahrada" : "Jan Novák"); },
    };
    for (const auto& form : forms) {
        Lines book = Wrap(80, 48, 3, false);
        const std::vector<std::size_t> pages = AddPages(book, 14, form);
        EXPECT_EQ(PageLinesOf(book), pages) << form(12);
    }
}

TEST(LayoutAnalysis, ChapterNumbersRefrainsAndATitleLikeTheHeaderStay)
{
    // Chapter headings "1", "2", ... and Roman ones between blank lines at uneven distances, a
    // refrain four times close together, a chapter titled like the running header; then the
    // header every 14 non-blank lines.
    const Lines text = Wrap(80, 48, 0, true);
    Lines book = {"Zahrada", ""};  // the book's title, as the header reads
    int chapter = 1;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i % (40 + 13 * (chapter % 4)) == 0) {
            for (const std::string& heading : {std::to_string(chapter), std::string(chapter % 2 ? "XII" : "IV")})
                book.insert(book.end(), {"", "", heading, ""});
            if (chapter == 3)
                book.insert(book.end(), {"", "Zahrada", ""});
            if (chapter == 2)
                for (int r = 0; r < 4; ++r)
                    book.insert(book.end(), {"", "Hej, hop, tralala!", "a les a voda", ""});
            ++chapter;
        }
        book.push_back(text[i]);
    }
    const std::vector<std::size_t> pages = AddPages(book, 14, [](int) { return std::string("Zahrada"); });
    const Layout layout = Analyse(book);
    EXPECT_EQ(PageLinesOf(book), pages);
    for (std::size_t i = 0; i < book.size(); ++i) {
        const std::string& line = book[i];
        const bool number = !line.empty() && line.find_first_not_of("0123456789") == std::string::npos;
        if (number || line == "XII" || line == "IV" || line.starts_with("Hej") || i == 0) {
            EXPECT_EQ(layout.roles[i], LineRole::Text) << i << ": " << line;
        }
    }
}

TEST(LayoutAnalysis, OnlyTheBlankLinesBothSidesShareGoWithAPageLine)
{
    const std::vector<std::string_view> lines = {"text", "", "", "- 12 -", "", "text", "", "- 13 -", "text",
                                                 "text", "", "", "- 14 -", "", "", "", "text"};
    const Layout layout = AnalyseLayout(lines);
    using R = LineRole;
    const LineRoles expected = {R::Text,     R::Blank,     R::PageBlank, R::PageLine,  R::PageBlank,
                                            R::Text,     R::Blank,     R::PageLine,  R::Text,      R::Text,
                                            R::PageBlank, R::PageBlank, R::PageLine, R::PageBlank, R::PageBlank,
                                            R::Blank,    R::Text};
    EXPECT_EQ(layout.roles, expected);
}

TEST(SmartGlue, ABreakWhereTheNextWordWouldHaveFittedEndsTheParagraph)
{
    Layout layout;
    layout.width = 30;
    const Settings settings = Settings::Defaults();
    // "Další" and a space fit behind the first line: a greedy wrapper would have put it there.
    EXPECT_EQ(DecideBreak("Konec odstavce, řekl", "Další řádek", layout, settings), BreakDecision::Paragraph);
    EXPECT_EQ(DecideBreak("Toto je řádek plný až do konce.", "Další", layout, settings), BreakDecision::Join);
    layout.mark = ParagraphMark::Indent;
    EXPECT_EQ(DecideBreak("Toto je řádek plný až do konce", " Odsazený", layout, settings), BreakDecision::Paragraph);
    EXPECT_EQ(DecideBreak("Toto je řádek plný až do konce.", "Pak", layout, settings), BreakDecision::Join);
    // Where the layout says nothing, the line tests do.
    layout = Layout();
    EXPECT_EQ(DecideBreak("přišel.", "Pak", layout, settings), BreakDecision::Paragraph);
    EXPECT_EQ(DecideBreak("přišel", "pak", layout, settings), BreakDecision::Join);
    // A hyphen before a capital is part of the word.
    EXPECT_EQ(DecideBreak("Frýdek-", "Místek", layout, settings), BreakDecision::Adjoin);
    EXPECT_EQ(DecideBreak("vzdále-", "nost", layout, settings), BreakDecision::Hyphen);
}

TEST(SmartGlue, AHyphenGoesOnlyAtALegalCzechBreakUnlessTheBookSaysOtherwise)
{
    Hyphenator hyphenator;
    ASSERT_TRUE(hyphenator.Loaded());
    const auto w = [](const char* utf8) { return Utf8ToWindows1250(utf8); };
    EXPECT_TRUE(hyphenator.IsBreakPoint(w("vzdálenost"), 6));   // vzdá-le-nost
    EXPECT_FALSE(hyphenator.IsBreakPoint(w("vzdálenost"), 3));
    EXPECT_TRUE(hyphenator.IsBreakPoint(w("Společnosti"), 6));  // spo-lec-nos-ti, any case
    const WordEvidence none;
    EXPECT_FALSE(HyphenKept(w("vzdále-"), w("nost"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("vzd-"), w("álenost"), hyphenator, none));   // not a hyphenation point
    EXPECT_TRUE(HyphenKept(w("chcete-"), w("li,"), hyphenator, none));    // two letters after it
    EXPECT_TRUE(HyphenKept(w("chcete-"), w("li,"), hyphenator, {5, 0, 0}));
    // The book's own spelling decides where the patterns would.
    EXPECT_TRUE(HyphenKept(w("česko-"), w("německý"), hyphenator, {0, 2, 0}));
    EXPECT_FALSE(HyphenKept(w("vzd-"), w("álenost"), hyphenator, {1, 0, 0}));
    // A stammer repeats a word the book knows.
    EXPECT_TRUE(HyphenKept(w("pou-"), w("pouta"), hyphenator, {0, 0, 3}));
    EXPECT_FALSE(HyphenKept(w("ko-"), w("kosa"), hyphenator, {0, 0, 0}));
}

TEST(SmartGlue, SlepitChytreRestoresAWrappedBookWithPagesAndHyphens)
{
    // The book as its author wrote it, then broken at 40 columns with hyphens, an indent of 2
    // and a running header with blank lines around it.
    Lines book = Wrap(30, 40, 2, false, 11);
    std::size_t broken = 0;
    while (book[broken + 1].starts_with(' ') || book[broken].size() > 34)
        ++broken;
    book[broken] += " sou-";
    book[broken + 1] = Utf8ToWindows1250("sedé ") + book[broken + 1];
    AddPages(book, 12, [](int n) { return "          Jan Novák: Zahrada, " + std::to_string(n); }, true);
    TextEditor editor;
    for (const std::string& line : book)
        ASSERT_EQ(editor.InsertText(line + "\r\n"), 0);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    settings.indent = false;
    SilentReporter reporter;
    ASSERT_EQ(SlepitChytreExecute(editor, settings, reporter).outcome, GlueOutcome::Done);

    // The joined "sousedé" stands where the hyphen broke it.
    const std::string text = editor.Text();
    EXPECT_NE(text.find(Utf8ToWindows1250("sousedé")), std::string::npos);
    EXPECT_EQ(text.find("Zahrada,"), std::string::npos);
    EXPECT_EQ(text.find("- "), std::string::npos);
    std::size_t paragraphs = 0;
    for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2)
        ++paragraphs;
    EXPECT_EQ(paragraphs, 30u + 1);  // and the write-back's last empty one
}

TEST(SmartGlue, AWordBrokenAtAHyphenGoesOnAfterBlankLinesAndAKeptHyphenJoinsWithoutSpace)
{
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    settings.indent = false;
    settings.smart = true;
    SilentReporter reporter;
    // The patterns would allow "česko|německá"; the book writes it with its hyphen elsewhere.
    WorkingList list = {Utf8ToWindows1250("Byla to vzdále-"), "", Utf8ToWindows1250("nost veliká, česko-"),
                        Utf8ToWindows1250("německá a je-"), Utf8ToWindows1250("li. Česko-německá!")};
    GlueWorkingList(list, settings, reporter);
    EXPECT_EQ(list, WorkingList{Utf8ToWindows1250("Byla to vzdálenost veliká, česko-německá a je-li. Česko-německá!")});
}

TEST(LayoutAnalysis, ShortPagesAtChapterEndsStillCountButEvenlySpacedChapterNumbersDoNot)
{
    // Chapters of some 50 to 60 lines, each ending at a paragraph's end and a page early;
    // pages of 14 lines.
    Lines book;
    Lines chapters;  // the same without page numbers
    std::vector<std::size_t> pages;
    int count = 0;
    int page = 5;
    int chapter = 1;
    int inChapter = 0;
    const auto addPage = [&] {
        pages.push_back(book.size());
        book.push_back(std::to_string(page++));
        count = 0;
    };
    for (const std::string& line : Wrap(60, 48, 3, false)) {
        if (inChapter++ >= 50 + 2 * (chapter % 5) && line.starts_with(' ')) {
            if (count > 0)
                addPage();
            for (Lines* lines : {&book, &chapters})
                lines->insert(lines->end(), {"", "", std::to_string(chapter), ""});
            ++chapter;
            inChapter = 0;
        }
        book.push_back(line);
        chapters.push_back(line);
        if (++count == 14)
            addPage();
    }
    EXPECT_EQ(PageLinesOf(book), pages);
    // Without page numbers the chapter numbers count up at a steady pace, but each stands
    // between paragraphs, never inside one.
    EXPECT_TRUE(PageLinesOf(chapters).empty());
}

}  // namespace
}  // namespace lepotex
