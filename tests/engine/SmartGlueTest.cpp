#include "engine/SmartGlue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "Books.h"
#include "EditorLines.h"
#include "WordsKept.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/Hyphenation.h"
#include "engine/LineWidths.h"

namespace lepotex {
namespace {

using Lines = std::vector<std::string>;

using testing::SmartGlued;
using testing::Wrap;

// A proportional face: narrow and wide letters, "m" and "w" wider still, capitals wider than
// their small letters; each letter a little off its class when `jitter` is given. A space is
// no glyph: it has no width of its own.
struct Face {
    explicit Face(std::mt19937* jitter)
    {
        for (int c = 'a'; c <= 'z'; ++c)
            width[c] = (std::string_view("ilfjtr").find(char(c)) != std::string_view::npos ? 280 : 540) +
                       (c == 'm' || c == 'w' ? 300 : 0) + (jitter ? int((*jitter)() % 60) : 0);
        for (int c = 'A'; c <= 'Z'; ++c)
            width[c] = width[c - 'A' + 'a'] + 200;
        width['.'] = 280;
    }
    int WidthOf(std::string_view text) const
    {
        int w = 0;
        for (const char c : text)
            w += width[uint8_t(c)];
        return w;
    }
    std::array<int, 256> width{};
};

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

// The book in a fresh editor, glued smartly with the default settings but no replacement
// rules; `indent`: paragraphs are indented as the settings say.
void LoadAndGlue(TextEditor& editor, const Lines& book, bool indent = true, GlueRecord* record = nullptr)
{
    for (const std::string& line : book)
        ASSERT_EQ(editor.InsertText(line + "\r\n"), 0);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    settings.indent = settings.indent && indent;
    SilentReporter reporter;
    ASSERT_EQ(SlepitChytreExecute(editor, settings, reporter, record).outcome, GlueOutcome::Done);
}

// Puts `page(n)` after every `every` non-blank lines from line `start` on, n counting from 3:
// each line of it a page line, each "\n" more a blank line; returns the page lines' indices.
std::vector<std::size_t> AddPages(Lines& lines, int every, const std::function<std::string(int)>& page,
                                  std::size_t start = 0)
{
    Lines out(lines.begin(), lines.begin() + std::ptrdiff_t(start));
    std::vector<std::size_t> pageLines;
    int count = 0;
    for (std::size_t i = start; i < lines.size(); ++i) {
        out.push_back(lines[i]);
        if (lines[i].empty() || ++count % every != 0)
            continue;
        const std::string furniture = page(2 + count / every);
        for (std::size_t from = 0, to; from <= furniture.size(); from = to + 1) {
            to = std::min(furniture.find('\n', from), furniture.size());
            if (to > from)
                pageLines.push_back(out.size());
            out.push_back(furniture.substr(from, to - from));
        }
    }
    lines = out;
    return pageLines;
}

// The book's lines as LoadAndGlue leaves them, blank ones too.
Lines Glued(const Lines& book, bool indent = true, GlueRecord* record = nullptr)
{
    TextEditor editor;
    LoadAndGlue(editor, book, indent, record);
    return testing::UnwrappedLines(editor);
}

// Per line of `book`: the smart glue runs it on into the next. `fullLines`: the lines a text
// tool told full.
std::vector<bool> JoinsNext(const Lines& book, const std::vector<uint32_t>& fullLines = {})
{
    LineList list(WorkingList(book.begin(), book.end()));
    list.fullLines = fullLines;
    GlueByLayout(list, Settings::Defaults());
    EXPECT_EQ(list.pieces.size(), book.size());
    std::vector<bool> joins(book.size());
    for (std::size_t i = 0; i < book.size() && i < list.pieces.size(); ++i)
        joins[i] = list.Flags(i) & LineList::kJoinsNext;
    return joins;
}

std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t space = std::min(text.find(' ', at), text.size());
        words.push_back(text.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

// `words` set greedily: words[w] goes behind the last line while `fits(lines, w)` says so.
Lines Fill(const std::vector<std::string>& words, const std::function<bool(const Lines&, std::size_t)>& fits)
{
    Lines lines(1);
    for (std::size_t w = 0; w < words.size(); ++w) {
        if (!lines.back().empty() && !fits(lines, w))
            lines.emplace_back();
        lines.back() += (lines.back().empty() ? "" : " ") + words[w];
    }
    return lines;
}

// Adds a paragraph's lines to `book`, and to `ends` whether the paragraph ends at each.
void AddParagraph(Lines& book, std::vector<bool>& ends, const Lines& paragraph)
{
    book.insert(book.end(), paragraph.begin(), paragraph.end());
    ends.insert(ends.end(), paragraph.size() - 1, false);
    ends.push_back(true);
}

TEST(LayoutAnalysis, WidthAndParagraphMarkAreWhatTheLinesShow)
{
    const std::pair<std::size_t, std::size_t> widthsAndIndents[] = {{33, 1}, {52, 4}, {90, 8}};
    for (const auto& [width, indent] : widthsAndIndents) {
        EXPECT_EQ(Analyse(Wrap(60, width, 0, true)).width, int32_t(width));
        const Layout layout = Analyse(Wrap(60, width, indent, false));
        EXPECT_EQ(layout.width, int32_t(width)) << "the indent included";
        EXPECT_TRUE(layout.mark == ParagraphMark::Indent && layout.indent == int32_t(indent)) << indent;
    }
    EXPECT_EQ(Analyse(Wrap(60, SIZE_MAX, 0, false, 3)).width, 0);  // unwrapped
    // Lines that gather against one length but leave room for the next word are no wrapper's.
    EXPECT_GT(Analyse(Wrap(60, 52, 0, false, 7, 6)).fullFrom, 0);
    EXPECT_EQ(Analyse(Wrap(60, 60, 0, true)).mark, ParagraphMark::Blank);
    EXPECT_EQ(Analyse(Wrap(60, 60, 0, false)).mark, ParagraphMark::Neither);
}

TEST(LayoutAnalysis, PageLinesOfEveryUsualFormGoAndOnlyThey)
{
    using Form = std::function<std::string(int)>;
    const std::vector<Form> forms = {
        [](int n) { return std::to_string(n); },
        [](int n) { return "\x96 " + std::to_string(n) + " \x96"; },  // en dashes
        [](int n) { return "                    [" + std::to_string(n) + "]"; },  // centred
        [](int) { return std::string("Jan Novák: Zahrada"); },
        // Alternating running headers, with and without the page number.
        [](int n) { return n % 2 ? "Zahrada   " + std::to_string(n) : std::string("Jan Novák"); },
        // As OCR reads "– 12 –": other dashes and spaces, "l2" for "12".
        [](int n) {
            std::string number = std::to_string(n);
            if (number[0] == '1')
                number[0] = 'l';
            return n % 2 ? "\x97 " + number + "\x97" : "\x96 " + number + " -";
        },
        // Between marks alike, also where a PDF tool read the font's dashes as digits.
        [](int n) { return "* " + std::to_string(n) + " *"; },
        [](int n) { return "3 " + std::to_string(n) + " 3"; },
        // A page counted against all the pages, as office documents and browsers print it.
        [](int n) { return "Strana " + std::to_string(n) + " z 120"; },
        [](int n) { return std::to_string(n) + "/120"; },
        // A running head whose number never changes: the date a browser printed the page on.
        [](int) { return std::string("9. 12. 2026 Zahrada"); },
    };
    // A book and the furniture AddPages puts in after every `every` lines of its text.
    struct Paged {
        std::string what;
        Lines book;
        int every;
        Form form;
        std::size_t pagesAtLeast = 0;
        int stays = 0;          // the page whose furniture is text
        std::size_t start = 0;  // lines before the furniture counts, `firstPages` of them page lines
        std::vector<std::size_t> firstPages = {};
        bool blanksAllPages = false;  // every blank line is the pages'
    };
    const Lines indented = Wrap(80, 48, 3, false);
    std::vector<Paged> books;
    for (const Form& form : forms)
        books.push_back({form(12), indented, 14, form});

    // The lines of text that read like the furniture stay. The book's title, or its author and
    // title, read as the running headers do.
    const Form header = [](int) { return std::string("Zahrada"); };
    const Form alternate = [](int n) { return n % 2 ? std::string("Jan Novák") : std::string("Zahrada"); };
    for (Lines title : {Lines{"Zahrada", ""}, Lines{"Jan Novák", "Zahrada", ""}}) {
        title.insert(title.end(), indented.begin(), indented.end());
        for (const Form& form : {header, alternate})
            books.push_back({"title " + std::to_string(title.size()) + " " + form(3), title, 14, form});
    }
    // Chapter headings "1", "2", ... and Roman ones between blank lines at uneven distances, a
    // refrain four times close together, a chapter titled like the running header.
    const Lines blankMarked = Wrap(80, 48, 0, true);
    Lines chapters = {"Zahrada", ""};
    for (std::size_t i = 0, chapter = 1; i < blankMarked.size(); ++i) {
        if (i % (40 + 13 * (chapter % 4)) == 0) {
            for (const std::string& heading : {std::to_string(chapter), std::string(chapter % 2 ? "XII" : "IV")})
                chapters.insert(chapters.end(), {"", "", heading, ""});
            if (chapter == 3)
                chapters.insert(chapters.end(), {"", "Zahrada", ""});
            if (chapter == 2)
                for (int r = 0; r < 4; ++r)
                    chapters.insert(chapters.end(), {"", "Hej, hop, tralala!", "a les a voda", ""});
            ++chapter;
        }
        chapters.push_back(blankMarked[i]);
    }
    books.push_back({"chapters and refrains", chapters, 14, header});
    // Chapters of some 50 to 60 lines, each ending at a paragraph's end: their numbers keep a
    // rhythm, but each stands between paragraphs, never inside one.
    Lines steady;
    int chapter = 1, inChapter = 0;
    for (const std::string& line : Wrap(60, 48, 3, false)) {
        if (inChapter++ >= 50 + 2 * (chapter % 5) && line.starts_with(' ')) {
            steady.insert(steady.end(), {"", "", std::to_string(chapter++), ""});
            inChapter = 0;
        }
        steady.push_back(line);
    }
    books.push_back({"chapters at a steady pace", steady, 1 << 30, header});
    // "1" under the book's title, a page above the first page's number "5".
    Lines partOne = {"ČÁST PRVNÍ", "", "", "1", ""};
    const Lines many = Wrap(400, 60, 3, false);
    partOne.insert(partOne.end(), many.begin(), many.end());
    books.push_back({"a chapter above page 5", partOne, 36, [](int n) { return "\n" + std::to_string(n + 2); }});
    // A scan's foot numbers, 28 to 37, three of them read a digit wrong ("90" for 30, "39" and
    // "94" for 33 and 34): too many pages for a run that skips them. They stand on the beat.
    const Form misread = [](int n) {
        const int page = n + 25;
        return "\n" + (page == 30 ? "90" : page == 33 ? "39" : page == 34 ? "94" : std::to_string(page)) + "\n";
    };
    for (const unsigned jitter : {0u, 12u})
        books.push_back({.what = "scanned " + std::to_string(jitter), .book = Wrap(44, 60, 0, true, 5, jitter),
                         .every = 14, .form = misread, .pagesAtLeast = 9});

    // The head on every page, misread by OCR on two; on a page without a head a chapter
    // begins, titled nearly like it, between blank lines.
    books.push_back({.what = "a misread head", .book = indented, .every = 14, .form = [](int n) {
        return Utf8ToWindows1250(n == 7 ? "Jan Novak: Zahrada" : n == 12 ? "Jan Novák: Zahiada"
                                 : n == 17 ? "\nJan Novák: Zahrady\n" : "Jan Novák: Zahrada");
    }, .stays = 17});

    // Some OCR'd pages from the middle of a book: the first line is the head of the page before
    // the next even one, "2 Jan Novák: Zahrada" two pages before "4 Jan Novák: Zahrada", or
    // that head's number alone where OCR lost its words. A chapter's number, or a line like the
    // head whose number does not count on, stays.
    const Lines middle = Wrap(40, 48, 0, true);
    const Form ocrHeads = [](int page) {
        const std::string number = std::to_string(page);
        return (page % 2 ? "Sad " + number : number + Utf8ToWindows1250(" Jan Novák: Zahrada")) + "\n";
    };
    for (const std::string first : {"2 Jan Novák: Zahrada", "2", "1", "4", "3 Jan Novák: Zahrada", "Sad 1"}) {
        Lines book = {Utf8ToWindows1250(first), ""};
        book.insert(book.end(), middle.begin(), middle.end());
        books.push_back({.what = "first line " + first, .book = book, .every = 14, .form = ocrHeads, .start = 2});
        if (first.starts_with('2'))
            books.back().firstPages = {0};
    }

    // A text formatter's pages: the title and the number in the head, the number between
    // dashes in the foot. Page after page a foot and the next head stand a line apart, a
    // number apart: the pages are as long as from head to head. The book starts with page
    // 1's head; the first chapter's "1" under it stays.
    const std::string title = "zahrada                                        ";
    Lines formatted = {title + "1", "", "", "      1", ""};
    const Lines text = Wrap(300, 60, 3, false);
    formatted.insert(formatted.end(), text.begin(), text.end());
    books.push_back({.what = "formatted", .book = formatted, .every = 30, .form = [&](int n) {
        return "\n\n                 - " + std::to_string(n - 2) + " -\n\n\n\n\n" + title + std::to_string(n - 1) +
               "\n\n";
    }, .start = 5, .firstPages = {0}});
    // pr's pages of 66 lines: two blank lines, the head with the date and the page's number,
    // two blank lines, 56 lines of text and five blank lines. Seven blank lines before each
    // head and two after are the page's, whatever the book's paragraphs (indented here). The
    // first chapter's "1" under the first head is no page's number: the head holds it.
    const std::string head = "2026-12-09 05:24                kniha                 Page ";
    Lines printed = {"", "", head + "1", "", "", "   KAPITOLA PRVNÍ", "   1"};
    const Lines more = Wrap(600, 60, 3, false);
    printed.insert(printed.end(), more.begin(), more.end());
    books.push_back({.what = "printed", .book = printed, .every = 56, .form = [&](int n) {
        return "\n\n\n\n\n\n\n" + head + std::to_string(n - 1) + "\n\n";
    }, .start = 5, .firstPages = {2}, .blanksAllPages = true});

    for (Paged& paged : books) {
        std::vector<std::size_t> pages = AddPages(paged.book, paged.every, paged.form, paged.start);
        if (paged.stays)
            pages.erase(pages.begin() + (paged.stays - 3));
        pages.insert(pages.begin(), paged.firstPages.begin(), paged.firstPages.end());
        ASSERT_GE(pages.size(), paged.pagesAtLeast) << paged.what;
        EXPECT_EQ(PageLinesOf(paged.book), pages) << paged.what;
        const Layout layout = Analyse(paged.book);
        if (paged.blanksAllPages) {
            EXPECT_EQ(std::count(layout.roles.begin(), layout.roles.end(), LineRole::Blank), 0) << paged.what;
        }
    }
}

TEST(LayoutAnalysis, OnlyTheBlankLinesBothSidesShareGoWithAPageLine)
{
    const std::vector<std::string_view> lines = {"text", "", "", "- 12 -", "", "text", "", "- 13 -", "text",
                                                 "text", "", "", "- 14 -", "", "", "", "text"};
    using enum LineRole;
    EXPECT_EQ(AnalyseLayout(lines).roles, (LineRoles{Text, Blank, PageBlank, PageLine, PageBlank, Text, Blank, PageLine,
                                                     Text, Text, PageBlank, PageBlank, PageLine, PageBlank, PageBlank,
                                                     Blank, Text}));
    // Unless every page line has a blank line on one side (before it or after it) and none on
    // the other: then only where a paragraph ends at the page does a blank line stay.
    for (const bool before : {true, false}) {
        Lines book = Wrap(50, 48, 0, true);
        const std::ptrdiff_t breaks = std::count(book.begin(), book.end(), "");  // paragraph breaks the book has
        const std::size_t pages = AddPages(book, 14, [&](int n) {
            return before ? "\n" + std::to_string(n) : std::to_string(n) + "\n";
        }).size();
        const Layout layout = Analyse(book);
        EXPECT_EQ(std::count(layout.roles.begin(), layout.roles.end(), Blank), breaks) << before;
        EXPECT_EQ(std::count(layout.roles.begin(), layout.roles.end(), PageLine), std::ptrdiff_t(pages));
    }
}

TEST(LayoutAnalysis, TheBlankLinesAroundAPdfsFootNumberGoWithItWhereItsParagraphsHaveNone)
{
    // pdftotext's pages end with the number, a blank line or none before it and one after it
    // before the next page's feed; in its layout mode two to four before it and none after.
    // The paragraphs are marked by no blank line, so every blank line is the pages'. Where
    // one before the number is rare, it is a page that ended short: one in the middle of a
    // sentence goes too, one after a paragraph's end may stay.
    for (const int design : {0, 1, 2}) {
        const Lines text = Wrap(design == 2 ? 300 : 60, 66, 0, false, 7, 14);
        const bool layoutMode = design == 1;
        std::mt19937 rng(3);
        Lines book;
        for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
            if (i > 0) {
                const std::size_t before = layoutMode ? 2 + rng() % 3 : design == 0 ? rng() % 2 : rng() % 5 == 0;
                book.insert(book.end(), before, "");
                book.push_back(std::to_string(page));
                if (!layoutMode)
                    book.emplace_back();
                book.push_back("\f" + text[i++]);
            }
            for (std::size_t end = std::min(text.size(), i + 29); i < end; ++i)
                book.push_back(text[i]);
        }
        const Layout layout = Analyse(book);
        for (std::size_t i = 1; i < book.size(); ++i) {
            if (layout.roles[i] == LineRole::Blank) {
                EXPECT_TRUE(design == 2 && book[i - 1].ends_with('.')) << design << ": " << book[i - 1];
            }
        }
    }
}

TEST(LayoutAnalysis, APdfsPagesShowTheirFurnitureAtTheTopAndTheFootAndTheWidthSpreads)
{
    // pdftotext's pages: a form feed, then the running head with its number at the outer end
    // (once read by OCR as "l1"), and a chapter number that must stay at the top of one page.
    const Lines text = Wrap(90, 66, 0, false, 7, 14);
    Lines book;
    std::vector<std::size_t> pages;
    for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
        if (i > 0) {
            const std::string number = page == 11 ? "l1" : std::to_string(page);
            pages.push_back(book.size());
            book.push_back("\f" + (page % 2 ? "Zahrada        " + number : number + "        Jan Novák"));
            book.emplace_back();
        }
        if (page == 8)
            book.insert(book.end(), {"3", ""});
        for (std::size_t end = std::min(text.size(), i + 30); i < end; ++i)
            book.push_back(text[i]);
    }
    EXPECT_EQ(PageLinesOf(book), pages);
    const Layout layout = Analyse(book);
    EXPECT_TRUE(layout.width >= 45 && layout.width < 60 && layout.fullFrom >= layout.width) << layout.width << " " << layout.fullFrom;
}

TEST(LayoutAnalysis, APageNumberPdftotextSetOnThePagesLastLineGoesAndTheLineStays)
{
    // Pages of pdftotext's text with "– N –" at the foot; on three pages it stands on the last
    // line: after a space, against a word whose hyphen went with it, and on a page that has its
    // own number too, where the line's number (one off) belongs to the text.
    const Lines text = Wrap(90, 66, 0, false, 7, 14);
    Lines book;
    std::vector<std::size_t> glued;
    for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
        for (std::size_t end = std::min(text.size(), i + 30); i < end; ++i)
            book.push_back((book.empty() || i % 30 ? "" : "\f") + text[i]);
        const std::string number = "\x96 " + std::to_string(page) + " \x96";
        if (page == 7 || page == 9) {
            glued.push_back(book.size() - 1);
            book.back() += page == 7 ? " " + number : " zah" + number;
        } else {
            if (page == 11)
                book.back() += " \x96 " + std::to_string(page + 1) + " \x96";
            book.insert(book.end(), {"", number, ""});
        }
    }
    Layout layout = Analyse(book);
    ASSERT_EQ(layout.cuts.size(), 2u);
    EXPECT_EQ(layout.cuts[0].line, glued[0]);
    EXPECT_EQ(layout.cuts[0].text, text[89]);
    EXPECT_EQ(layout.cuts[1].line, glued[1]);
    EXPECT_EQ(layout.cuts[1].text, text[149] + " zah-");
    EXPECT_EQ(layout.shapes[glued[1]].last, '-');
    EXPECT_EQ(std::count(layout.roles.begin(), layout.roles.end(), LineRole::Text), std::ptrdiff_t(text.size()));
    // A running head without a number on every page is no number of the page's own.
    Lines headed;
    for (const std::string& line : book)
        if (line.starts_with('\f'))
            headed.insert(headed.end(), {Utf8ToWindows1250("\fJan Novák: Zahrada"), "", line.substr(1)});
        else
            headed.push_back(line);
    EXPECT_EQ(Analyse(headed).cuts.size(), 2u);

    // The glue reads the line as cut: the word goes on on the next page.
    book[glued[1] + 1].insert(1, "rada ");
    TextEditor editor;
    GlueRecord record;
    LoadAndGlue(editor, book, true, &record);
    const std::string glue = editor.Text();
    EXPECT_NE(glue.find(" zahrada "), std::string::npos);
    EXPECT_EQ(glue.find(" 7 "), std::string::npos);
    EXPECT_NE(glue.find("\x96 12 \x96"), std::string::npos);
    // A reader checking the glue is shown each cut number where it stood: behind the line's
    // text, and so inside the word it broke.
    std::vector<std::string> before;
    for (const Change& change : record.changes)
        if (change.kind == ChangeKind::PageLine && record.First(change).find(" 9 ") != std::string_view::npos)
            before.emplace_back(editor.ParaText(change.paraNo).substr(0, std::size_t(change.column - 1)));
    ASSERT_EQ(before.size(), 1u);
    EXPECT_TRUE(before[0].ends_with(" zah")) << before[0];
    EXPECT_NE(DescribeLayout(record.layout).find("z řádků textu: 2"), std::string::npos);

    // Where the book's numbers do not stand alone, nothing is cut.
    for (std::string& line : book)
        if (line.size() > 2 && uint8_t(line[0]) == 0x96)
            line = "Zahrada  " + line;
    EXPECT_TRUE(Analyse(book).cuts.empty());
}

TEST(LayoutAnalysis, AnEvenPagesNumberPdftotextReadWithTheLeftColumnGoesFromInsideThePage)
{
    // Pages set in two columns, read column by column: an odd page's number at the foot of its
    // right column comes last, an even page's at the foot of its left one in the middle of the
    // page, between two halves of a sentence; on page 8 a chapter's "8" stands between blank
    // lines as well. From page 13 on, the odd pages' numbers stand at the head of the right
    // column, between blank lines in the middle of the page.
    const Lines text = Wrap(90, 50, 0, false, 7, 8);
    Lines book;
    std::vector<std::size_t> inside;
    std::size_t chapter = 0;
    for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
        const std::size_t end = std::min(text.size(), i + 40);
        for (std::size_t first = i; i < end; ++i) {
            book.push_back((i == first && first > 0 ? "\f" : "") + text[i]);
            if (i == first + 19 && page % 2 == 0) {
                inside.push_back(book.size());
                book.insert(book.end(), {std::to_string(page), ""});
            }
            if (i == first + 19 && page % 2 == 1 && page >= 13) {
                inside.push_back(book.size() + 1);
                book.insert(book.end(), {"", std::to_string(page), ""});
            }
            if (i == first + 30 && page == 8) {
                chapter = book.size() + 1;
                book.insert(book.end(), {"", "8", ""});
            }
        }
        if (page % 2 == 1 && page < 13)
            book.insert(book.end(), {std::to_string(page), ""});
    }
    const Layout layout = Analyse(book);
    for (const std::size_t line : inside)
        EXPECT_EQ(layout.roles[line], LineRole::PageLine) << book[line];
    ASSERT_GT(chapter, 0u);
    EXPECT_EQ(layout.roles[chapter], LineRole::Text);
    // The sentence reads on across the number.
    const std::string glued = SmartGlued(book);
    for (const std::size_t line : inside) {
        const std::string& above = book[line - 1].empty() ? book[line - 2] : book[line - 1];
        const std::string across = above + ' ' + book[line + 2].substr(book[line + 2].starts_with('\f'));
        EXPECT_TRUE(above.ends_with('.') || glued.find(across) != std::string::npos) << across;
    }
}

TEST(LayoutAnalysis, ARunningHeadPdftotextReadBetweenTheColumnsGoesWhereTheSentenceRunsThroughIt)
{
    // Pages with the book's head over them and a number under them; on every third page the
    // head comes between the columns instead, inside a sentence. A chapter's heading of the
    // same words as the head stands between two paragraphs on page 9, and a line of a paragraph
    // that reads as the head, with no blank line around it, on page 10: both stay.
    const std::string head = Utf8ToWindows1250("Jan Novák: Kniha");
    const Lines text = Wrap(90, 50, 0, false, 11, 8);
    Lines book;
    std::vector<std::size_t> inside;
    std::size_t chapter = 0;
    std::size_t wrapped = 0;
    for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
        const std::size_t end = std::min(text.size(), i + 40);
        const bool between = page % 3 == 0;
        const std::string feed = i > 0 ? "\f" : "";
        if (between) {
            book.push_back(feed + text[i]);
            ++i;
        } else {
            book.insert(book.end(), {feed + head, ""});
        }
        for (std::size_t first = i; i < end; ++i) {
            book.push_back(text[i]);
            if (between && i == first + 19 && !text[i].ends_with('.')) {
                inside.push_back(book.size() + 1);
                book.insert(book.end(), {"", head, ""});
            }
            if (page == 9 && i > first + 10 && chapter == 0 && text[i].ends_with('.')) {
                chapter = book.size() + 1;
                book.insert(book.end(), {"", head, ""});
            }
            if (page == 10 && i > first + 10 && wrapped == 0 && !text[i].ends_with('.')) {
                wrapped = book.size();
                book.push_back(head);
            }
        }
        book.insert(book.end(), {"", std::to_string(page)});
    }
    ASSERT_GE(inside.size(), 2u);
    ASSERT_GT(chapter, 0u);
    ASSERT_GT(wrapped, 0u);
    const Layout layout = Analyse(book);
    for (const std::size_t line : inside)
        EXPECT_EQ(layout.roles[line], LineRole::PageLine) << line;
    EXPECT_EQ(layout.roles[chapter], LineRole::Text);
    EXPECT_EQ(layout.roles[wrapped], LineRole::Text);
    const std::string glued = SmartGlued(book);
    for (const std::size_t line : inside)
        EXPECT_NE(glued.find(book[line - 2] + ' ' + book[line + 2]), std::string::npos) << book[line - 2];
    EXPECT_NE(glued.find(head + "\r\n"), std::string::npos) << glued.substr(0, 300);
}

TEST(SmartGlue, AFootnoteGoesBehindTheParagraphThePageEndedInAndThatParagraphReadsOn)
{
    // pdftotext's pages with a head, a note's mark set against a word on some of them and the
    // note at the page's foot: its number alone and a blank line (pdftotext's default), its
    // number indented with the note's lines after it (-layout), the number set against the
    // note's first word (other tools), two notes on one page. On two more pages a foot's
    // lines look like a note but are none: no mark of its number on the page, or a number and
    // a space where the page marks that number twice, as a tool that writes some mark as a
    // digit has it. Last, a number and a space marked once, as pdftotext writes a note in a
    // small face, and an older book's star and parenthesis.
    const Lines text = Wrap(170, 66, 3, false, 11, 8);
    const std::vector<Lines> notes = {
        {"1", "", "Starší vydání píše na tomto místě mlýn, nikoli mlýnek, jak stojí", "v rukopise."},
        {"      2", "    Tak se v kraji říkalo každému, kdo přišel z hor a neuměl", "německy."},
        {"3Míněn je kostel svatého Jakuba.", "4", "", "Rukopis zde končí a další dvě strany"
                                                   " doplnil", "vydavatel podle prvního tisku."},
        {"9", "", "Tento řádek patří k textu stránky a žádnou poznámkou není."},
        {"5 Tento řádek patří také k textu a začíná číslem a mezerou."},
        {"5 Poznámka v drobném písmu začíná číslem a mezerou."},
        {"*) Poznámka vydavatele stojí jen zde."},
    };
    const std::vector<std::vector<std::string>> marks = {{"1"}, {"2"}, {"3", "4"}, {}, {"5", "5"}, {"5"}, {"*)"}};
    // Without the notes, their marks stay.
    const auto book = [&](bool withNotes) {
        Lines lines;
        std::vector<std::size_t> lastLines;  // of each page with a note
        std::size_t note = 0;
        for (std::size_t i = 0, page = 5; i < text.size(); ++page) {
            if (i > 0)
                lines.insert(lines.end(), {"\f" + std::to_string(page) + "        Jan Novák", ""});
            const std::size_t first = lines.size();
            for (std::size_t end = std::min(text.size(), i + 30); i < end; ++i)
                lines.push_back(text[i]);
            if (page % 2 == 0 && note < notes.size() && i < text.size()) {
                // One mark stands behind a dash that ends its sentence.
                for (std::size_t k = 0; k < marks[note].size(); ++k)
                    lines[first + 8 + 6 * k] += (marks[note][k] == "2" ? " \x96" : "") + marks[note][k];
                lastLines.push_back(lines.size() - 1);
                // The feet that are no notes are text in either book.
                if (withNotes || note == 3 || note == 4)
                    for (const std::string& line : notes[note])
                        lines.push_back(Utf8ToWindows1250(line));
                ++note;
            }
        }
        return std::pair(lines, lastLines);
    };
    const auto [noted, lastLines] = book(true);
    const Layout layout = Analyse(noted);
    EXPECT_EQ(std::count(layout.roles.begin(), layout.roles.end(), LineRole::NoteStart), 6);

    GlueRecord record;
    const Lines out = Glued(noted, false, &record);
    EXPECT_EQ(testing::WordsLostOrChanged(noted, out), "");
    // Without its notes the glue is that of the book without them: the paragraphs the pages
    // broke read on.
    Lines body;
    std::vector<std::size_t> at;  // the notes' paragraphs
    for (std::size_t k = 0; k < out.size(); ++k) {
        const char c = out[k].empty() ? ' ' : out[k][0];
        if (((c >= '1' && c <= '5') || c == '*') && out[k].find("Tento") == std::string::npos)
            at.push_back(k);
        else
            body.push_back(out[k]);
    }
    EXPECT_EQ(body, Glued(book(false).first, false));
    const std::vector<std::string> joined = {
        "1 Starší vydání píše na tomto místě mlýn, nikoli mlýnek, jak stojí v rukopise.",
        "2 Tak se v kraji říkalo každému, kdo přišel z hor a neuměl německy.", "3Míněn je kostel svatého Jakuba.",
        "4 Rukopis zde končí a další dvě strany doplnil vydavatel podle prvního tisku.",
        "5 Poznámka v drobném písmu začíná číslem a mezerou.", "*) Poznámka vydavatele stojí jen zde."};
    ASSERT_EQ(at.size(), joined.size());
    for (std::size_t k = 0; k < at.size(); ++k) {
        EXPECT_EQ(out[at[k]], Utf8ToWindows1250(joined[k]));
        // Behind the paragraph the page ended in, which holds that page's last line.
        const std::size_t page = std::array<std::size_t, 6>{0, 1, 2, 2, 5, 6}[k];
        std::size_t paragraph = at[k] - 1;
        while (paragraph > 0 && std::ranges::find(at, paragraph) != at.end())
            --paragraph;
        EXPECT_NE(out[paragraph].find(noted[lastLines[page]].substr(3)), std::string::npos) << k;
    }
    // A reader checking the glue finds each note's paragraph where it came from.
    int found = 0;
    for (const Change& change : record.changes)
        if (change.kind == ChangeKind::ParagraphKept && std::ranges::find(at, std::size_t(change.paraNo - 1)) != at.end())
            found += std::string_view(noted[std::size_t(change.oldLine - 1)]).find_first_of("12345*") !=
                         std::string_view::npos &&
                     change.reason == BreakReason::Footnote;
    EXPECT_EQ(found, 6);
    EXPECT_NE(DescribeLayout(record.layout).find("přerušila: 6."), std::string::npos) << DescribeLayout(record.layout);
}

TEST(LayoutAnalysis, ABlankLineInsideASentenceGoesAndTheParagraphBreaksStay)
{
    // Paragraphs wrapped to one width; after some full lines inside a paragraph (the sentence
    // going on in lowercase, or with a name) OCR, or a tool that groups a page's lines into
    // blocks, put a blank line. Those go; the paragraphs' stay. Blank-marked paragraphs, ragged
    // and justified; and justified ones with no mark, a tool's blank line after each of them.
    for (const int design : {0, 1, 2}) {
        const bool blocks = design == 2;
        const Lines text = Wrap(60, 60, 0, !blocks, 9, design ? 12 : 0);
        Lines book;
        LineRoles expected;
        int inside = 0;
        bool name = false;
        for (std::size_t i = 0; i < text.size(); ++i) {
            book.push_back(text[i]);
            if (name)
                book.back()[0] = char(std::toupper(book.back()[0]));
            expected.push_back(text[i].empty() ? LineRole::Blank : LineRole::Text);
            name = false;
            if (i + 1 == text.size())
                break;
            if (blocks && text[i].back() == '.') {
                book.emplace_back();
                expected.push_back(LineRole::Blank);
            } else if (i % (blocks ? 2 : 5) == 0 && text[i].size() >= 54 && !text[i + 1].empty()) {
                book.emplace_back();
                expected.push_back(LineRole::PageBlank);
                name = blocks && ++inside % 3 == 0;
            }
        }
        const Layout layout = Analyse(book);
        EXPECT_EQ(layout.roles, expected) << design;
        if (blocks) {
            EXPECT_GE(inside, 20);
            EXPECT_EQ(layout.mark, ParagraphMark::Neither);
        } else {
            EXPECT_EQ(layout.fullFrom > 0, design > 0);
        }
    }
}

TEST(LayoutAnalysis, OcrPagesWhoseHeadNamesAShortChapterOrIsMisreadGoToo)
{
    // OCR's pages: "12 Jan Novák: Zahrada" on the even ones, the chapter's name and the number
    // on the odd ones, a new chapter every other odd page, so that no odd head repeats three
    // times. OCR read one number a digit off ("27" for 21) and lost a digit of another ("2" for
    // 25). Numbers in the text, mid-page or in the first line, stay, and so does a chapter's
    // number a digit off a page's where it begins one without a head.
    const char* const chapters[] = {"Sad", "Les", "Pole", "Mlýn", "Řeka", "Hora", "Dům", "Cesta", "Most", "Ves"};
    const Lines text = Wrap(110, 48, 0, true);
    Lines book = {"3 domy a les"};
    std::vector<std::size_t> pages;
    int count = 0;
    for (const std::string& line : text) {
        if (line.empty() && book.back().empty())
            continue;
        book.push_back(line);
        if (line.empty())
            continue;
        if (++count == 14 * 6 - 7)
            book.push_back("a les 9");  // the next page's number, mid-page
        if (count % 14 != 0)
            continue;
        const int page = 3 + count / 14;
        if (page == 16) {  // a chapter begins on a page without a head
            book.insert(book.end(), {"", "6", ""});
            continue;
        }
        const std::string number = page == 21 ? "27" : page == 25 ? "2" : std::to_string(page);
        pages.push_back(book.size());
        book.push_back(page % 2 ? Utf8ToWindows1250(chapters[page / 4 % 10]) + " " + number
                                : number + " Jan Novák: Zahrada");
        book.emplace_back();  // as OCR keeps the head apart from the page below it
    }
    EXPECT_EQ(PageLinesOf(book), pages);
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
    // Where the layout says nothing, the line tests do.
    layout = Layout();
    EXPECT_EQ(DecideBreak("přišel.", "Pak", layout, settings), BreakDecision::Paragraph);
    EXPECT_EQ(DecideBreak("přišel", "pak", layout, settings), BreakDecision::Join);
    // A hyphen before a capital is part of the word.
    EXPECT_EQ(DecideBreak("Frýdek-", "Místek", layout, settings), BreakDecision::Adjoin);
    EXPECT_EQ(DecideBreak("vzdále-", "nost", layout, settings), BreakDecision::Hyphen);
}

TEST(SmartGlue, AFullLineOfAnUnmarkedWrappedTextEndsItsParagraphWhereItsBreakLooksSo)
{
    // Narrative and speech wrapped at 50 characters, the paragraphs marked by nothing: a speech
    // closing at the end of a full line before one opening on the next ends its paragraph,
    // where a sentence's end inside a paragraph does not.
    static const char* const words[] = {"a", "les", "domov", "cesta", "okno", "zahrada", "ticho", "voda", "večer"};
    std::mt19937 rng(3);
    Lines book;
    std::vector<bool> ends;
    for (int p = 0; p < 600; ++p) {
        const bool speech = rng() % 2 == 0;
        std::string text = speech ? "\x84Pak" : "Pak";
        for (int w = 6 + int(rng() % 30); w > 0; --w)
            text += std::string(rng() % 7 == 0 ? ". Pak " : " ") + Utf8ToWindows1250(words[rng() % std::size(words)]);
        const std::vector<std::string> set = Words(text + (speech ? ".\x93" : "."));
        AddParagraph(book, ends, Fill(set, [&](const Lines& lines, std::size_t w) {
            return lines.back().size() + 1 + set[w].size() <= 50;
        }));
    }
    const std::vector<bool> joins = JoinsNext(book);
    std::size_t speechEnds = 0, found = 0, inside = 0, split = 0;
    for (std::size_t i = 0; i + 1 < book.size(); ++i) {
        const bool full = book[i].size() + 1 + book[i + 1].find(' ') > 50;
        if (ends[i] && full && book[i].ends_with(".\x93") && book[i + 1].starts_with("\x84")) {
            ++speechEnds;
            found += joins[i] ? 0 : 1;
        } else if (!ends[i]) {
            ++inside;
            split += joins[i] ? 0 : 1;
        }
    }
    ASSERT_GE(speechEnds, 20u);
    EXPECT_GE(found * 10, speechEnds * 9) << speechEnds;
    EXPECT_LE(split * 100, inside) << inside;
}

TEST(SmartGlue, AHyphenGoesOnlyAtALegalCzechBreakUnlessTheBookSaysOtherwise)
{
    Hyphenator hyphenator;
    ASSERT_TRUE(hyphenator.Loaded());
    const auto w = [](const char* utf8) { return Utf8ToWindows1250(utf8); };
    const WordEvidence none;
    EXPECT_FALSE(HyphenKept(w("vzdále-"), w("nost"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("vzd-"), w("álenost"), hyphenator, none));   // not a hyphenation point
    EXPECT_TRUE(HyphenKept(w("chcete-"), w("li,"), hyphenator, none));    // two letters after it
    // The book's own spelling decides where the patterns would.
    EXPECT_TRUE(HyphenKept(w("česko-"), w("německý"), hyphenator, {0, 2, 0}));
    EXPECT_FALSE(HyphenKept(w("vzd-"), w("álenost"), hyphenator, {1, 0, 0}));
    // A stammer repeats the start of a word; two letters only where the book knows the word.
    EXPECT_TRUE(HyphenKept(w("pou-"), w("pouta"), hyphenator, {0, 0, 3}));
    EXPECT_TRUE(HyphenKept(w("Ty se roz-"), w("rozhrneš"), hyphenator, none));
    EXPECT_FALSE(HyphenKept(w("ko-"), w("kosa"), hyphenator, {0, 0, 0}));
    // A word spelled syllable by syllable, the particle -li, a compound adjective.
    EXPECT_TRUE(HyphenKept(w("byl Kře-mi-"), w("čitan."), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("to je ne-"), w("smír-ně drahé"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("přijde-"), w("li, tak"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("byrokraticko-"), w("aristokratický"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("česko-"), w("německého"), hyphenator, none));
    EXPECT_TRUE(HyphenKept(w("česko-"), w("německých"), hyphenator, none));
    EXPECT_FALSE(HyphenKept(w("česko-"), w("německého"), hyphenator, {3, 0, 0}));  // the book joins it
    EXPECT_FALSE(HyphenKept(w("pesko-"), w("váním"), hyphenator, none));          // a noun
    // In a book whose wrapper leaves two letters after a break, two letters alone go; the
    // particle and a word the book knows whole keep their hyphen.
    EXPECT_TRUE(HyphenKept(w("jeli-"), w("li"), hyphenator, {}, true));
    EXPECT_TRUE(HyphenKept(w("je-"), w("li"), hyphenator, {0, 2, 0}, true));
    EXPECT_FALSE(HyphenKept(w("radi-"), w("li"), hyphenator, {0, 0, 0, 0, 2}, true));  // "radil": a verb's past
    EXPECT_TRUE(HyphenKept(w("je-"), w("li"), hyphenator, {0, 0, 0, 3, 2}, true));     // "je" and "jel"
    EXPECT_FALSE(HyphenKept(w("ko-"), w("ně"), hyphenator, {}, true));
    EXPECT_TRUE(HyphenKept(w("k-"), w("oně"), hyphenator, {}, true));  // one letter before it
    EXPECT_TRUE(HyphenKept(w("mo-"), w("s"), hyphenator, {}, true));   // one after it

    // What the book knows after a repeated "ne": "ne-nemohu" where "mohu" is a word of it, but
    // "nenechal" where only "nechal" is.
    Lines book = Wrap(40, 60, 0, false);
    book.insert(book.begin() + 10, {"a tak to nechal, jak mohu", "vidět, a nic ne-", "nechal jen tak, ani ne-",
                                     "nemohu s tím nic dělat"});
    LineList list(WorkingList(book.begin(), book.end()));
    GlueByLayout(list, Settings::Defaults());
    EXPECT_TRUE(list.flags[11] & LineList::kHyphenNext);
    EXPECT_TRUE(list.flags[12] & LineList::kAdjoinsNext);
}

TEST(SmartGlue, TwoLettersAfterABreakGoWhereTheBooksWrapperLeftThem)
{
    // A word processor breaks "kte-|ré", where Czech typesetting leaves three letters after a
    // break, and now and then where the Czech patterns would not; the book shows which it was
    // by the words it writes joined elsewhere.
    const auto w = [](const char* utf8) { return Utf8ToWindows1250(utf8); };
    bool twoLetterBreaks = false;
    const auto glued = [&](const Lines& inserted) {
        Lines book = Wrap(60, 60, 0, false);
        for (const std::string& line : inserted)
            book.insert(book.begin() + 20 + (&line - inserted.data()), w(line.c_str()));
        LineList list(WorkingList(book.begin(), book.end()));
        GlueByLayout(list, Settings::Defaults());
        twoLetterBreaks = list.twoLetterBreaks;
        std::string out;
        for (const std::string& line : list.ToStrings())
            out += Windows1250ToUtf8(line) + "\n";
        return out;
    };
    Lines wrapped;
    for (const char* word : {"kte-|ré", "své-|ho", "zvu-|ku", "ce-|lé", "do-|mu", "ma-|lé"}) {
        const std::string split(word);
        const std::size_t bar = split.find('|');
        wrapped.push_back("tak to bylo a slovo " + split.substr(0, bar));
        wrapped.push_back(split.substr(bar + 1) + " tu stojí, jako " + split.substr(0, bar - 1) +
                          split.substr(bar + 1) + " jinde a dál");
    }
    Lines rest = {"a tu smlou-", "vu podepsal, přijde-", "li k nám, a to Nepře-", "stane-li, už Kili-",
                  "án, Kilián a Kilián spal, když vstoupi-", "li, a vstoupil jen on po si-", "lnici"};
    Lines office = wrapped;
    office.insert(office.end(), rest.begin(), rest.end());
    const std::string out = glued(office);
    for (const char* word : {"slovo které tu", "slovo svého tu", "slovo zvuku tu", "slovo celé tu", "slovo domu tu",
                             "slovo malé tu", "smlouvu", "přijde-li", "Nepřestane-li", "Kilián, Kilián", "vstoupili,", "po silnici"})
        EXPECT_NE(out.find(word), std::string::npos) << word << "\n" << out;
    EXPECT_TRUE(twoLetterBreaks);  // and the layout found tells it
    // A typeset book shows such a break once in a while, of a stammer: it keeps them all.
    Lines typeset(wrapped.begin(), wrapped.begin() + 4);
    typeset.insert(typeset.end(), rest.begin(), rest.end());
    const std::string kept = glued(typeset);
    for (const char* word : {"slovo kte-ré tu", "slovo své-ho tu", "smlou-vu", "přijde-li", "Nepřestane-li", "Kili-án", "po si-lnici"})
        EXPECT_NE(kept.find(word), std::string::npos) << word << "\n" << kept;
    EXPECT_FALSE(twoLetterBreaks);
}

// "Slepit chytře" with no replacement rule and no indent written.
Settings SmartWithoutRules()
{
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    settings.indent = false;
    settings.smart = true;
    return settings;
}

TEST(SmartGlue, LineEndHyphensJoinAfterBlankLinesAndKeptOnesJoinWithoutSpace)
{
    const Settings settings = SmartWithoutRules();
    SilentReporter reporter;
    // The patterns would allow "česko|německá"; the book writes it with its hyphen elsewhere.
    WorkingList list = {Utf8ToWindows1250("Byla to vzdále-"), "", Utf8ToWindows1250("nost veliká, česko-"),
                        Utf8ToWindows1250("německá a je-"), Utf8ToWindows1250("li. Česko-německá!")};
    GlueWorkingList(list, settings, reporter);
    EXPECT_EQ(list, WorkingList{Utf8ToWindows1250("Byla to vzdálenost veliká, česko-německá a je-li. Česko-německá!")});

    // "¬" is a hyphen as a scanner read it, and stays as one where a hyphen would; a soft
    // hyphen always goes; a word in capitals is hyphenated like any other.
    list = {Utf8ToWindows1250("Byla to vzdále¬"), Utf8ToWindows1250("nost a česko¬"),
                        Utf8ToWindows1250("německá, Frýdek¬"), Utf8ToWindows1250("Místek a vzdále\u00AD"),
                        Utf8ToWindows1250("nost. ČLO-"), Utf8ToWindows1250("VĚK")};
    GlueWorkingList(list, settings, reporter);
    EXPECT_EQ(list, WorkingList{Utf8ToWindows1250(
                        "Byla to vzdálenost a česko-německá, Frýdek-Místek a vzdálenost. ČLOVĚK")});
}

TEST(SmartGlue, OcrSpecksBetweenParagraphsGoWithTheParagraphBeforeAndOneLineParagraphsStay)
{
    const Settings settings = SmartWithoutRules();
    SilentReporter reporter;
    // A blank-marked book; between its paragraphs stray marks and the one-line paragraphs a
    // book has: chapter numbers counting on (with a speck of the same form between them),
    // a scene break, a reply, a roman numeral.
    const Lines text = Wrap(14, 48, 0, true);
    Lines paragraphs(1);
    for (const std::string& line : text)
        if (line.empty())
            paragraphs.emplace_back();
        else
            paragraphs.back() += (paragraphs.back().empty() ? "" : " ") + line;
    const std::vector<std::pair<std::string, bool>> between = {
        {"1", false}, {"6", true}, {"v", true}, {"6", true}, {"2", false}, {"* * *", false},
        {Utf8ToWindows1250("1“"), true}, {Utf8ToWindows1250("„Ano.“"), false}, {"6", true}, {"XIV", false},
        {Utf8ToWindows1250("» ? »"), true}, {":4", true}, {"3", false}};
    WorkingList expected;
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        expected.push_back(paragraphs[p]);
        if (p < between.size()) {
            const auto& [line, speck] = between[p];
            if (speck)
                expected.back() += " " + line;
            else
                expected.insert(expected.end(), {"", line});
            expected.emplace_back();
        }
    }
    WorkingList book;
    std::size_t p = 0;
    for (const std::string& line : text) {
        if (line.empty() && p < between.size())
            book.insert(book.end(), {"", between[p++].first});
        book.push_back(line);
    }
    GlueWorkingList(book, settings, reporter);
    EXPECT_EQ(book, expected);

    // Inside a sentence, where the line above runs on in the line below, OCR's noise between
    // blank lines goes on with the sentence, capitals in a row as well; a row of marks there
    // still breaks the scene, and a word of verse stays a line of its own.
    WorkingList plain(text.begin(), text.end());
    GlueWorkingList(plain, settings, reporter);
    for (const auto& [noise, inside] : std::vector<std::pair<std::string, bool>>{
             {"MM", true}, {"Z MM 4", true}, {"6", true}, {"2%: 1", true}, {"* * *", false}, {"hej,", false}}) {
        SCOPED_TRACE(noise);
        WorkingList noisy(text.begin(), text.end());
        std::size_t at = 1;
        while (noisy[at - 1].empty() || noisy[at].empty() || noisy[at].starts_with("Pak") ||
               !IsLetterByte(uint8_t(noisy[at - 1].back())))
            ++at;
        noisy.insert(noisy.begin() + std::ptrdiff_t(at), {"", noise, ""});
        GlueWorkingList(noisy, settings, reporter);
        const std::string& upper = text[at - 1];
        const std::string& lower = text[at];
        const bool through = std::any_of(noisy.begin(), noisy.end(), [&](const std::string& paragraph) {
            return paragraph.find(upper + " " + noise + " " + lower) != std::string::npos;
        });
        EXPECT_EQ(through, inside);
        if (inside) {
            EXPECT_EQ(noisy.size(), plain.size());
        }
    }
}

TEST(SmartGlue, ALoneBlankLineInsideASentenceIsTheExtractionsWhereBlankLinesMarkNoParagraph)
{
    // MuPDF sets a blank line before a line whose spaces were stretched far. In a book whose
    // paragraphs are indented, justified lines holding more or fewer characters, one between a
    // full line and the rest of its sentence goes; two stay.
    const Settings settings = SmartWithoutRules();
    SilentReporter reporter;
    const Lines text = Wrap(40, 60, 4, false, 7, 9);
    WorkingList plain(text.begin(), text.end()), torn = plain;
    GlueWorkingList(plain, settings, reporter);
    std::size_t lone = 0, pairs = 0;
    for (std::size_t i = text.size() - 1; i > 0; --i)
        if (i % 7 == 0 && IsLetterByte(uint8_t(text[i - 1].back())) && !text[i].starts_with(" ") &&
            !text[i].starts_with("Pak")) {
            torn.insert(torn.begin() + std::ptrdiff_t(i), i % 2 ? 1 : 2, std::string());
            ++(i % 2 ? lone : pairs);
        }
    GlueWorkingList(torn, settings, reporter);
    ASSERT_GE(lone, 3u);
    // Each pair of blank lines stays a break of its own: its paragraph comes out in two with
    // the two blank lines between.
    EXPECT_EQ(torn.size(), plain.size() + 3 * pairs);
}

// A proportional face without jitter, the quotes of speech in it too, and a measure that holds
// some fifty of its letters.
const Face kFace = [] {
    Face face(nullptr);
    face.width[0x84] = face.width[0x93] = 450;
    return face;
}();
constexpr int kMeasure = 30'000, kSpace = 330, kShrunk = 220;

// `count` words of narrow and of wide letters, a capital starting each sentence; after a word
// a sentence ends with the chance of one in `stop`, and after the last one when `end`.
std::vector<std::string> Sentences(std::mt19937& rng, int count, unsigned stop, bool end)
{
    static const char* const words[] = {"lilie", "list", "tiji", "fiala", "mimo", "mamut", "wombat", "domov",
                                        "hromada", "okno", "voda", "les", "cesta", "ticho", "i", "a"};
    std::vector<std::string> text;
    for (bool capital = true; count > 0; --count) {
        std::string word = words[rng() % std::size(words)];
        if (capital)
            word[0] = char(word[0] - 'a' + 'A');
        capital = (end && count == 1) || rng() % stop == 0;
        text.push_back(word + (capital ? "." : ""));
    }
    return text;
}

// `text` justified in kFace: a line takes the words that fit with their spaces shrunk to two
// thirds; the first line is `indent` narrower.
Lines Justify(const std::vector<std::string>& text, int indent = 0)
{
    return Fill(text, [&](const Lines& lines, std::size_t w) {
        const std::string& line = lines.back();
        return kFace.WidthOf(line) + kFace.WidthOf(text[w]) + int(std::ranges::count(line, ' ') + 1) * kShrunk <=
               kMeasure - (lines.size() == 1 ? indent : 0);
    });
}

// Indented paragraphs justified in kFace, taken out without the indent: a first line fills the
// measure less the indent. Many full lines end a sentence, so only the room of the line below
// tells a paragraph's start. Now and then a paragraph's first line is run together with the
// next, as where the extraction took out a hyphen.
struct IndentLostBook {
    static constexpr int kIndent = 1'500;
    Lines book;
    std::vector<bool> starts;       // per line: a paragraph starts there
    std::vector<bool> runTogether;  // and it holds two lines
};
IndentLostBook MakeIndentLostBook()
{
    std::mt19937 rng(11);
    IndentLostBook made;
    for (int p = 0; p < 500; ++p) {
        Lines lines = Justify(Sentences(rng, 10 + int(rng() % 30), 6, true), IndentLostBook::kIndent);
        if (p % 5 == 0 && lines.size() > 2) {
            lines[0] += lines[1];
            lines.erase(lines.begin() + 1);
        }
        for (std::size_t k = 0; k < lines.size(); ++k) {
            made.book.push_back(lines[k]);
            made.starts.push_back(k == 0);
            made.runTogether.push_back(k == 0 && p % 5 == 0 && lines.size() > 1);
        }
    }
    return made;
}

TEST(SmartGlue, JustifiedLinesOfAProportionalFaceEndTheirParagraphsWhereTheirRoomSays)
{
    // Block paragraphs set in a face of its own widths (an "m" three "i"s) from words of narrow
    // and of wide letters, so that full lines differ in characters by a third. Justified, the
    // breaks of a paragraph are chosen together as a typesetter does, each full line's spaces
    // shrunk to two thirds at most or stretched, as little as may be; a last line keeps them.
    // Ragged right, every line keeps them and leaves whatever the next word did not fit in.
    // Many full lines end a sentence, and the next begins with a capital.
    static const char* const words[] = {"lilie", "list", "tiji", "fiala", "liti", "mimo", "mamut", "wombat",
                                        "domov", "hromada", "okno", "voda", "les", "cesta", "ticho", "i", "a",
                                        "mlha", "kolem", "jitro", "sova", "pole", "stodola", "louka", "mez"};
    for (const bool ragged : {false, true}) {
        SCOPED_TRACE(ragged ? "ragged" : "justified");
        std::mt19937 rng(5);
        const Face face(&rng);
        const auto widthOf = [&](std::string_view text) { return face.WidthOf(text); };
        constexpr int kShrink = 110, kStretch = 165;
        Lines book;
        std::vector<bool> ends;  // per line: its paragraph ends there
        for (int p = 0; p < 1500; ++p) {
            std::vector<std::string> text;
            for (int s = 1 + int(rng() % 4); s > 0; --s)
                for (int w = 4 + int(rng() % 9); w > 0; --w) {
                    text.emplace_back(words[rng() % std::size(words)]);
                    if (w == 1)
                        text.back() += '.';
                }
            for (std::size_t k = 0; k < text.size(); ++k)
                if (k == 0 || text[k - 1].back() == '.')
                    text[k][0] = char(text[k][0] - 'a' + 'A');
            // Where each line starts: ragged, as soon as a word does not fit; justified, the
            // cheapest way through the paragraph, a line costing as its spaces change.
            const std::size_t n = text.size();
            Lines lines;
            if (ragged) {
                lines = Fill(text, [&](const Lines& set, std::size_t w) {
                    const std::string& line = set.back();
                    return widthOf(line) + widthOf(text[w]) + int(std::ranges::count(line, ' ') + 1) * kSpace <=
                           kMeasure;
                });
            } else {
                std::vector<double> cost(n + 1, 1e300);
                std::vector<std::size_t> from(n + 1, 0);
                cost[0] = 0;
                for (std::size_t j = 1; j <= n; ++j) {
                    int glyphs = 0;
                    for (std::size_t i = j; i-- > 0;) {
                        glyphs += widthOf(text[i]);
                        const int gaps = int(j - i - 1);
                        const int room = kMeasure - glyphs - gaps * kSpace;
                        if (room < -gaps * kShrink)
                            break;
                        const double ratio = room < 0    ? double(room) / (gaps * kShrink)
                                             : gaps > 0 ? double(room) / (gaps * kStretch)
                                                        : 10.0;
                        const double line =
                            j == n && room >= 0 ? 0 : std::pow(1 + 100 * std::pow(std::abs(ratio), 3), 2);
                        if (cost[i] + line < cost[j]) {
                            cost[j] = cost[i] + line;
                            from[j] = i;
                        }
                    }
                }
                std::vector<std::size_t> starts;
                for (std::size_t j = from[n]; j > 0; j = from[j])
                    starts.insert(starts.begin(), j);
                starts.push_back(n);
                for (std::size_t k = 0; const std::size_t start : starts)
                    for (lines.emplace_back(); k < start; ++k)
                        lines.back() += (lines.back().empty() ? "" : " ") + text[k];
            }
            AddParagraph(book, ends, lines);
        }
        const std::vector<std::string_view> views(book.begin(), book.end());
        const Layout layout = AnalyseLayout(views);
        EXPECT_EQ(MeasureLines(views, layout).ragged, ragged);
        EXPECT_EQ(LinesRagged(views, layout), ragged);
        // Every paragraph whose last line had room for the next word is found, and hardly a full
        // line is taken for a last one; a last line too full for the next word may go either way.
        const std::vector<bool> joins = JoinsNext(book);
        std::size_t fitting = 0, missed = 0, full = 0, split = 0;
        for (std::size_t i = 0; i + 1 < book.size(); ++i) {
            const std::string_view next = std::string_view(book[i + 1]).substr(0, book[i + 1].find(' '));
            const int room = kMeasure - widthOf(book[i]) - int(std::ranges::count(book[i], ' ')) * kSpace;
            if (ends[i] && room >= widthOf(next) + kSpace) {
                ++fitting;
                missed += joins[i] ? 1 : 0;
            } else if (!ends[i]) {
                ++full;
                split += joins[i] ? 0 : 1;
            }
        }
        EXPECT_LE(missed, fitting / 100) << fitting;
        EXPECT_LE(split, full * 3 / 100) << full;
        if (ragged)
            continue;

        // Lines stretched so far that a text tool cut them into their words, put together again
        // with single spaces: as short as their words make them, they were full.
        Lines cut = book;
        std::vector<uint32_t> stretched;
        for (std::size_t i = 7; i + 1 < cut.size() && stretched.size() < 100; i += 7) {
            if (ends[i] || ends[i - 1] || std::ranges::count(cut[i], ' ') < 5)
                continue;
            std::size_t at = 0;
            for (int gap = std::ranges::count(cut[i], ' ') / 2; gap > 0; --gap)
                at = cut[i].find(' ', at + 1);
            cut[i].resize(at);
            stretched.push_back(uint32_t(i));
        }
        for (const bool known : {false, true}) {
            const std::vector<bool> again = JoinsNext(cut, known ? stretched : std::vector<uint32_t>());
            const auto parted = std::ranges::count_if(stretched, [&](uint32_t line) { return !again[line]; });
            if (known)
                EXPECT_LE(parted, std::ssize(stretched) / 50) << stretched.size();
            else
                EXPECT_GE(parted, std::ssize(stretched) / 2) << "short lines alone end paragraphs";
        }
    }
    LayoutFound found;
    found.known = found.measured = found.ragged = true;
    EXPECT_NE(DescribeLayout(found).find(", řádky zarovnané vlevo (šířky písmen změřené z knihy), "),
              std::string::npos);
}

TEST(SmartGlue, ABreakThatLooksLikeAParagraphsEndWeighsAsTheBooksBreaksShowIt)
{
    // Block paragraphs of narrative and of speech („…“). One in six ends where a line is full,
    // its last line with the spaces it has as full as a full line: only the look of the break
    // tells, and a speech closed above or opened below ends a paragraph always, where a full
    // stop above a capital ends one seldom.
    std::mt19937 rng(3);
    Lines book;
    std::vector<bool> ends;     // per line: a paragraph ends there
    std::vector<bool> fullEnd;  // and its last line is full
    for (int p = 0; p < 600; ++p) {
        const bool speech = rng() % 2 == 0;
        std::vector<std::string> text = Sentences(rng, 20 + int(rng() % 30), 5, false);
        if (speech)
            text[0] = "\x84" + text[0];
        Lines lines = Justify(text);
        const bool full = rng() % 6 == 0;
        if (full)
            lines.pop_back();
        std::string& last = lines.back();
        const std::string close = speech ? ".\x93" : ".";
        // A last line keeps its spaces as they are: as many words as fit so.
        while (full &&
               kFace.WidthOf(last) + kFace.WidthOf(close) + int(std::ranges::count(last, ' ')) * kSpace > kMeasure)
            last.erase(last.rfind(' '));
        if (last.back() == '.')
            last.pop_back();
        last += close;
        AddParagraph(book, ends, lines);
        fullEnd.insert(fullEnd.end(), lines.size() - 1, false);
        fullEnd.push_back(full);
    }
    const std::vector<bool> joins = JoinsNext(book);
    std::size_t quoted = 0, found = 0, missed = 0, split = 0;
    for (std::size_t i = 0; i + 1 < book.size(); ++i) {
        if (fullEnd[i] && (book[i].back() == '\x93' || book[i + 1][0] == '\x84')) {
            ++quoted;
            found += joins[i] ? 0 : 1;
        }
        missed += ends[i] && joins[i] ? 1 : 0;
        split += !ends[i] && !joins[i] ? 1 : 0;
    }
    EXPECT_GE(found, quoted * 90 / 100) << quoted;
    EXPECT_LE(missed + split, book.size() * 3 / 100) << missed << " missed, " << split << " split";
}

TEST(SmartGlue, AnExtractionThatRanManyLinesTogetherStillShowsItsWidth)
{
    // Block paragraphs justified in kFace, where the extraction ran a full line and the next
    // into one so often (at each hyphen it took out, in narrow columns) that more than a
    // quarter of the lines are twice as long as the rest: the width is still the one most
    // lines fill, and the paragraphs end where the lines' room says (but for last lines nearly
    // as full as the rest, which only their spaces tell).
    std::mt19937 rng(9);
    Lines book;
    std::vector<bool> ends;
    for (int p = 0; p < 400; ++p) {
        Lines lines = Justify(Sentences(rng, 30 + int(rng() % 40), 6, true));
        for (std::size_t k = 0; k + 2 < lines.size(); ++k)
            if (rng() % 2 == 0) {
                lines[k] += lines[k + 1];
                lines.erase(lines.begin() + std::ptrdiff_t(k) + 1);
            }
        AddParagraph(book, ends, lines);
    }
    std::size_t doubled = 0;
    for (const std::string& line : book)
        doubled += line.size() > 80 ? 1 : 0;
    ASSERT_GT(doubled * 4, book.size());
    const Layout layout = Analyse(book);
    EXPECT_TRUE(layout.width > 30 && layout.width < 60 && layout.fullFrom >= layout.width)
        << layout.width << " " << layout.fullFrom;
    const std::vector<bool> joins = JoinsNext(book);
    std::size_t wrong = 0;
    for (std::size_t i = 0; i + 1 < book.size(); ++i)
        wrong += ends[i] == joins[i] ? 1 : 0;
    EXPECT_LE(wrong, book.size() * 4 / 100) << wrong;
}

TEST(LineWidths, ALongBookMeasuresEachLineAsAShortOneDoes)
{
    // A book of fewer lines than a second thread is worth sums its lines from a table of each
    // byte after a space or not, a longer one from a table of every byte after every byte, or
    // 64 bytes at a time where the processor can: the same lines, gaps of one to four spaces
    // among them, accented letters, lines of over two hundred bytes (gaps across each 64th
    // byte), measure the same to the last unit.
    Lines book = Wrap(6000, 60, 0, false, 5, 8);
    std::mt19937 rng(3);
    for (std::string& line : book) {
        for (std::size_t at = line.find(' '); at != std::string::npos; at = line.find(' ', at + 1))
            if (rng() % 5 == 0) {
                const std::size_t more = 1 + rng() % 3;
                line.insert(at, more, ' ');
                at += more;
            }
        for (char& c : line)
            if (c != ' ' && rng() % 9 == 0)
                c = "\xE8\xF8\x9A\xE1\xC8\x9E"[rng() % 6];
    }
    for (std::size_t i = 0; i + 3 < book.size(); i += 40)
        for (int k = 0; k < 3; ++k)
            book[i] += std::string(1 + rng() % 4, ' ') + book[i + 1 + rng() % 2];
    ASSERT_LT(book.size(), std::size_t(1) << 15);
    Lines twice = book;
    twice.insert(twice.end(), book.begin(), book.end());
    const auto measured = [](const Lines& lines, bool byPairs) {
        const std::vector<std::string_view> views(lines.begin(), lines.end());
        measuringByPairs = byPairs;
        WidthModel model = MeasureLines(views, AnalyseLayout(views));
        measuringByPairs = false;
        return model;
    };
    const WidthModel one = measured(book, false);
    for (const bool byPairs : {false, true}) {
        const WidthModel two = measured(twice, byPairs);
        ASSERT_TRUE(one.Known() && two.Known());
        ASSERT_EQ(one.space, two.space);
        for (std::size_t i = 0; i < book.size(); ++i) {
            ASSERT_EQ(one.lines[i].slack, two.lines[i].slack) << byPairs << " " << i << ": " << book[i];
            ASSERT_EQ(one.lines[i].firstWord, two.lines[i].firstWord) << byPairs << " " << i << ": " << book[i];
            ASSERT_EQ(one.lines[i].slack, two.lines[book.size() + i].slack) << byPairs << " " << i;
        }
    }
}

TEST(SmartGlue, AFirstLineWhoseIndentTheExtractionLostShowsByTheRoomItLeaves)
{
    constexpr int kIndent = IndentLostBook::kIndent;
    const auto [book, starts, runTogether] = MakeIndentLostBook();
    const std::vector<std::string_view> views(book.begin(), book.end());
    const Layout layout = AnalyseLayout(views);
    const WidthModel model = MeasureLines(views, layout);
    ASSERT_TRUE(model.Known());
    // The indent is learnt whole, the first lines that left the most room counted too.
    EXPECT_NEAR(model.firstLine, float(kIndent) / kMeasure, 0.2f * float(kIndent) / kMeasure);

    const std::vector<bool> joins = JoinsNext(book);
    std::size_t found = 0, paragraphs = 0, split = 0, run = 0, runFound = 0;
    for (std::size_t i = 1; i < book.size(); ++i) {
        const bool apart = !joins[i - 1];
        if (starts[i]) {
            ++paragraphs;
            found += apart ? 1 : 0;
            run += runTogether[i] ? 1 : 0;
            runFound += runTogether[i] && apart ? 1 : 0;
        } else {
            split += apart ? 1 : 0;
        }
    }
    EXPECT_GE(found, paragraphs * 95 / 100) << paragraphs;
    EXPECT_GE(runFound, run * 90 / 100) << run;
    EXPECT_LE(split, (book.size() - paragraphs) * 7 / 100) << book.size() - paragraphs;
}

TEST(SmartGlue, AOneLetterWordTiedToTheNextComesDownWithItAndEndsNoParagraph)
{
    // Paragraphs between blank lines, wrapped greedily at 50 characters the way Czech
    // typesetting does it: "v", "k", "s", "z", "a" never end a line, they go down with the word
    // after them, so the line above leaves room for the letter alone. The same paragraphs
    // wrapped without ties glue as well.
    static const char* const words[] = {"v", "k", "s", "z", "a", "les", "domov", "cesta", "zahrada", "dlouho",
                                        "kámen", "večer", "srdce", "přítel", "hvězda", "mlynář"};
    for (const bool ties : {true, false}) {
        std::mt19937 rng(11);
        Lines book;
        for (int p = 0; p < 150; ++p) {
            if (p > 0)
                book.emplace_back();
            std::vector<std::string> text = {"Pak"};
            // A one-letter word about every eighth, as in Czech prose.
            for (int w = 20 + int(rng() % 40); w > 0; --w)
                text.push_back(Utf8ToWindows1250(words[rng() % 8 == 0 ? rng() % 5 : 5 + rng() % (std::size(words) - 5)]));
            text.back() = "konec.";
            const Lines lines = Fill(text, [&](const Lines& set, std::size_t w) {
                // A tied letter needs room for the letters tied after it and the word they end in.
                std::size_t need = text[w].size();
                for (std::size_t k = w; ties && text[k].size() == 1 && k + 1 < text.size(); ++k)
                    need += 1 + text[k + 1].size();
                return set.back().size() + 1 + need <= 50;
            });
            book.insert(book.end(), lines.begin(), lines.end());
        }
        const std::vector<bool> joins = JoinsNext(book);
        std::size_t splits = 0;
        for (std::size_t i = 1; i < book.size(); ++i)
            splits += !book[i].empty() && !book[i - 1].empty() && !joins[i - 1];
        EXPECT_EQ(splits, 0u) << "ties " << ties;
    }
}

TEST(SmartGlue, HeadingsAtTheEdgeOfAnIndentedBookAreParagraphsOfTheirOwn)
{
    // fold -s -w 70 of a UTF-8 book: 70 bytes a line, a Czech letter two of them, so that the
    // lines hold 45 to 70 characters. The paragraphs are indented, the headings at the edge: a
    // chapter's number, a title over a subtitle, a scene break, each under a sentence's end or
    // a paragraph of one line.
    static const char* const words[] = {"a", "les", "řeka", "cesta", "okno", "zahrada", "ticho", "kámen",
                                        "večer", "srdce", "přítel", "hvězda", "mlynář", "šťastný", "žluťoučký"};
    std::mt19937 rng(9);
    Lines book;
    std::vector<std::string> paragraphs;
    const auto bytes = [](const std::string& text) {
        return std::size_t(std::count_if(text.begin(), text.end(), [](char c) { return uint8_t(c) >= 0x80; })) +
               text.size();
    };
    const auto heading = [&](const std::string& line) {
        book.push_back(Utf8ToWindows1250(line));
        paragraphs.push_back(book.back());
    };
    for (int p = 0; p < 400; ++p) {
        if (p % 40 == 0)
            heading("KAPITOLA " + std::to_string(p / 40 + 1));
        else if (p % 40 == 13)
            heading("XIV");
        else if (p % 40 == 26)
            heading("* * *");
        else if (p % 40 == 33) {
            heading("Kterak král kočku kupoval");
            heading("O tlustém pradědečkovi");
        }
        std::string text = "Pak";
        for (int w = p % 9 == 4 ? 2 : 10 + int(rng() % 60); w > 0; --w)
            text += ' ' + Utf8ToWindows1250(words[rng() % std::size(words)]) + (w == 1 ? "." : rng() % 9 ? "" : ",");
        paragraphs.push_back(text);
        std::vector<std::string> set = Words(text);
        set[0] = "   " + set[0];
        const Lines lines = Fill(set, [&](const Lines& filled, std::size_t w) {
            return bytes(filled.back()) + 1 + bytes(set[w]) <= 70;
        });
        book.insert(book.end(), lines.begin(), lines.end());
    }
    std::vector<std::string> glued;
    for (const std::string& text : Glued(book))
        if (text.find_first_not_of(' ') != std::string::npos)
            glued.push_back(text.substr(text.find_first_not_of(' ')));
    EXPECT_TRUE(glued == paragraphs) << glued.size() << " paragraphs, " << paragraphs.size() << " in the book";
}

TEST(SmartGlue, ALongBookGluesTheSameWhereverItsHalvesMeet)
{
    // A book long enough to be read on two threads, one chapter over and over between blank
    // lines: whatever half of the book a copy falls into, and where the halves meet, its lines
    // are shaped, measured and joined as those of every other copy. A typeset chapter, whose
    // first lines lost their indent; and one wrapped to a width, unmarked, whose breaks the
    // two halves decide as they walk.
    // The typeset one again in a book long enough that the looks of its breaks are counted over
    // two parts of it.
    for (const auto& [typeset, size] : {std::pair{true, 50'000}, std::pair{false, 50'000}, std::pair{true, 140'000}}) {
        const Lines chapter = typeset ? MakeIndentLostBook().book : Wrap(40, 60, 0, false);
        Lines book;
        std::size_t copies = 0;
        for (; book.size() < std::size_t(size); ++copies) {
            book.insert(book.end(), chapter.begin(), chapter.end());
            book.emplace_back();
        }
        const std::vector<std::string_view> views(book.begin(), book.end());
        const Layout layout = AnalyseLayout(views);
        if (typeset)
            ASSERT_TRUE(MeasureLines(views, layout).Known());
        else
            ASSERT_TRUE(layout.width > 0 && layout.fullFrom == 0);
        LineList list(WorkingList(book.begin(), book.end()));
        GlueByLayout(list, Settings::Defaults());
        ASSERT_EQ(list.pieces.size(), book.size());
        const std::size_t step = chapter.size() + 1;
        std::size_t joins = 0;
        for (std::size_t k = 0; k < step; ++k)
            joins += list.flags[k] != 0 ? 1 : 0;
        EXPECT_GT(joins, step / 2) << typeset;
        for (std::size_t c = 1; c < copies; ++c)
            for (std::size_t k = 0; k < step; ++k)
                ASSERT_EQ(list.flags[c * step + k], list.flags[k]) << typeset << ": copy " << c << ", line " << k;
    }
    // Page numbers among the lines of such a book: each half leaves them out, and the second
    // half's lines, moved down behind the first's, come out as those of the book without them.
    const Lines clean = Wrap(10'000, 60, 0, false);
    Lines paged;
    for (std::size_t i = 0; i < clean.size(); ++i) {
        if (i > 0 && i % 45 == 0)
            paged.push_back("- " + std::to_string(i / 45) + " -");
        paged.push_back(clean[i]);
    }
    ASSERT_GE(paged.size(), std::size_t(1) << 15);
    const auto glued = [](const Lines& lines) {
        LineList list(WorkingList(lines.begin(), lines.end()));
        GlueByLayout(list, Settings::Defaults());
        return std::pair{std::vector<std::string>(list.pieces.begin(), list.pieces.end()),
                         std::vector<uint8_t>(list.flags.begin(), list.flags.end())};
    };
    EXPECT_TRUE(glued(paged) == glued(clean));
}

TEST(SmartGlue, AFewPagesPastedInShowTheirParagraphsAsABookDoes)
{
    // Twenty paragraphs, nothing marking them, some ending on a full line; above them a
    // chapter's number and title between blank lines. Too few breaks for a book's looks, enough
    // for their own; the blank lines stand around the heading only, and mark no paragraph.
    const Lines apart = Wrap(20, 50, 0, true, 5);
    const std::string title = Utf8ToWindows1250("KAPITOLA PRVNÍ");
    Lines book = {"1", "", title, ""};
    Lines expected = {"1", title, ""};
    int fullEnds = 0;
    for (std::size_t i = 0; i < apart.size(); ++i) {
        if (apart[i].empty()) {
            expected.emplace_back();
            fullEnds += apart[i - 1].size() + 1 + apart[i + 1].find(' ') > 50;
            continue;
        }
        expected.back() += (expected.back().empty() ? "" : " ") + apart[i];
        book.push_back(apart[i]);
    }
    ASSERT_GE(fullEnds, 2);
    const auto blankless = [](Lines lines) {
        std::erase(lines, std::string());
        return lines;
    };
    EXPECT_EQ(blankless(Glued(book, false)), expected);

    // Less than a page: too few lines for a width, and still no paragraph mark in those blank
    // lines.
    book.resize(4 + 12);
    Lines glued = blankless(Glued(book, false));
    ASSERT_GE(glued.size(), 4u);
    glued.pop_back();  // the paragraph the cut ends in
    EXPECT_EQ(glued, Lines(expected.begin(), expected.begin() + std::ptrdiff_t(glued.size())));
}

TEST(SmartGlue, ATextGluedBeforeComesOutAsItWentIn)
{
    // A book whose lines are its paragraphs, as long as a book's come (one to six of the
    // generator's run together): chapters of some twenty paragraphs under a number and a
    // title, which keep as steady a rhythm of lines as pages would, and verse whose lines end
    // without a stop. Glued again, from its broken pages or from what a glue made of them,
    // nothing of it may go or run together.
    std::mt19937 rng(3);
    Lines paragraphs(1);
    int runTogether = 1;
    for (const std::string& line : Wrap(600, 60, 0, true)) {
        if (line.empty() && --runTogether == 0) {
            paragraphs.emplace_back();
            runTogether = 1 + int(rng() % 6);
        } else if (!line.empty()) {
            paragraphs.back() += (paragraphs.back().empty() ? "" : " ") + line;
        }
    }
    Lines book;
    int chapter = 1;
    for (std::size_t p = 0; p < paragraphs.size(); ++p) {
        if (p % 20 == 0) {
            book.insert(book.end(), {"", std::to_string(chapter), "KAPITOLA " + std::to_string(chapter), ""});
            ++chapter;
        }
        book.push_back(paragraphs[p]);
        if (p % 7 == 3)
            book.insert(book.end(), {Utf8ToWindows1250("Šel jsem lesem,"), "a les byl tichý", Utf8ToWindows1250("„Ano.“")});
    }
    const auto glue = [](const Lines& lines, GlueRecord* record = nullptr) {
        Lines out = Glued(lines, false, record);
        std::erase(out, std::string());
        return out;
    };
    Lines expected = book;
    std::erase(expected, std::string());
    GlueRecord record;
    EXPECT_EQ(glue(book, &record), expected);
    EXPECT_NE(DescribeLayout(record.layout).find("každý řádek je celý odstavec"), std::string::npos);
    for (const Change& change : record.changes)
        EXPECT_FALSE(change.doubtful);

    // The same book broken into pages, glued twice: the second glue keeps what the first made.
    Lines broken;
    for (const std::string& paragraph : book) {
        if (paragraph.size() < 20 || std::isdigit(uint8_t(paragraph[0]))) {
            broken.push_back(paragraph);  // a heading, a verse or blank line
            continue;
        }
        std::vector<std::string> set = Words(paragraph);
        set[0] = "   " + set[0];
        const Lines lines = Fill(set, [&](const Lines& filled, std::size_t w) {
            return filled.back().size() + 1 + set[w].size() <= 60;
        });
        broken.insert(broken.end(), lines.begin(), lines.end());
    }
    AddPages(broken, 40, [](int n) { return "\n" + std::to_string(n) + "\n"; });
    const Lines once = glue(broken);
    ASSERT_LT(once.size(), broken.size() / 2);
    EXPECT_EQ(glue(once), once);
}

// A bound that only a smart glue gone quadratic misses: the linear one takes a fraction of a
// second on these books, the quadratic one minutes; sanitizer builds run several times slower.
#if defined(__SANITIZE_ADDRESS__)
constexpr double kQuadraticBoundSeconds = 60.0;
#else
constexpr double kQuadraticBoundSeconds = 10.0;
#endif

TEST(SmartGlue, BooksOfOneRepeatedShapeAndLongNoGlueListsStayLinear)
{
    Settings settings = Settings::Defaults();
    const auto timedGlue = [&](const WorkingList& lines) {
        LineList list(lines);
        const auto start = std::chrono::steady_clock::now();
        GlueByLayout(list, settings);
        EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
                  kQuadraticBoundSeconds);
        return list.joins;
    };
    // A table of numbers, every row of one shape and one width; a header on every line.
    WorkingList table;
    for (int row = 0; row < 300'000; ++row)
        table.push_back(std::to_string(10'000 + row % 89'999) + " " + std::to_string(20'000 + row % 7) + " 31415");
    timedGlue(table);
    timedGlue(WorkingList(300'000, "Jan Novák: Zahrada"));
    // 200,000 no-glue entries that every line begins like, none matching: the joins are those
    // made without them.
    WorkingList book;
    for (const std::string& line : Wrap(3'000, 60, 0, false))
        book.push_back("Kapitola " + line);
    settings.noGlue.clear();
    const std::size_t joins = timedGlue(book);
    for (int e = 0; e < 200'000; ++e)
        settings.noGlue.push_back("Kapitola " + std::to_string(e) + "x");
    EXPECT_EQ(timedGlue(book), joins);
    EXPECT_GT(joins, book.size() / 2);
}

}  // namespace
}  // namespace lepotex
