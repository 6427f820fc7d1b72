// "Slepit chytře" without replacement rules on generated books of every layout the smart glue
// reads: whatever it decides, it loses no word of the text and invents none.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EditorLines.h"
#include "WordsKept.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/LayoutAnalysis.h"
#include "engine/ProgressReporter.h"

namespace lepotex {
namespace {

using Lines = std::vector<std::string>;

int Pick(std::mt19937& rng, int below) { return int(rng() % unsigned(below)); }

// A book wrapped greedily at a random width, its paragraphs marked by an indent, a blank line
// or nothing, words broken at line ends with a hyphen (or "¬"), headings, and page lines of
// many forms every so many lines, with blank lines on both sides, one side or neither.
Lines RandomBook(std::mt19937& rng)
{
    static const char* const words[] = {
        "a", "v", "les", "domov", "cesta", "okno", "zahrada", "dlouho", "ticho", "kámen", "voda", "večer",
        "srdce", "přítel", "hvězda", "mlynář", "česko-německý", "má-li", "12", "1915", "–", "—", "„Ano,“",
        "řekl.", "nevím…", "(snad)", "XII", "Praha", "ne-nestydíš", "Kře-mi-čitan", "l2", "*"};
    static const char* const headers[] = {"Karel Čapek: Povídky", "KRYSAŘ", "Petrolejové lampy"};
    const std::size_t width = 20 + std::size_t(Pick(rng, 70));
    const int mark = Pick(rng, 3);  // indent, blank line, nothing
    const std::size_t indent = mark == 0 ? 1 + std::size_t(Pick(rng, 8)) : 0;
    const int pageEvery = 10 + Pick(rng, 40);
    const int pageForm = Pick(rng, 7);
    const int pageBlanks = Pick(rng, 4);  // both sides, before, after, neither
    const int hyphenChance = Pick(rng, 100);
    int page = 1 + Pick(rng, 300);
    Lines lines;
    int textLines = 0;
    auto push = [&](std::string line) {
        lines.push_back(Utf8ToWindows1250(line));
        if (++textLines % pageEvery)
            return;
        std::string number = std::to_string(page++);
        const std::string header = headers[page % 3];
        const std::string forms[] = {number, "- " + number + " -", "– " + number + " –", "-" + number + "-",
                                     header, header + "  " + number, number + "  " + header};
        std::string furniture = forms[pageForm];
        if (Pick(rng, 10) == 0)
            furniture = std::string(std::size_t(Pick(rng, 30)), ' ') + furniture;
        if (pageBlanks == 0 || pageBlanks == 1)
            lines.emplace_back();
        lines.push_back(Utf8ToWindows1250(furniture));
        if (pageBlanks == 0 || pageBlanks == 2)
            lines.emplace_back();
    };
    for (int p = 0, count = 5 + Pick(rng, 60); p < count; ++p) {
        if (mark == 1 && p > 0)
            lines.emplace_back();
        if (Pick(rng, 12) == 0) {
            lines.emplace_back();
            lines.emplace_back();
            push(Pick(rng, 2) ? "KAPITOLA " + std::to_string(p) : "* * *");
            lines.emplace_back();
            continue;
        }
        std::string line = std::string(indent, ' ') + "Pak";
        for (int w = 1 + Pick(rng, 50); w > 0; --w) {
            std::string word = words[Pick(rng, int(std::size(words)))];
            if (line.size() + 1 + word.size() <= width) {
                line += ' ' + word;
                continue;
            }
            if (word.size() > 4 && Pick(rng, 100) < hyphenChance && (word[0] & 0x80) == 0) {
                const std::size_t cut = 2 + std::size_t(Pick(rng, int(word.size()) - 3));
                if ((word[cut - 1] & 0x80) == 0 && (word[cut] & 0x80) == 0) {
                    push(line + ' ' + word.substr(0, cut) + (Pick(rng, 8) ? "-" : "¬"));
                    line = word.substr(cut);
                    continue;
                }
            }
            push(line + (Pick(rng, 6) ? "" : "  "));
            line = word;
        }
        push(line);
    }
    return lines;
}

// pdftotext's pages of such a book: a form feed starts each, its number ("12" or "– 12 –")
// stands at the foot, or now and then on the page's last line, after a space or against the
// first part of a word whose hyphen went with the line end.
Lines PdfPages(std::mt19937& rng)
{
    Lines text;
    while (text.size() < 200)
        for (std::string& line : RandomBook(rng))
            if (!line.empty() && line.find('\f') == std::string::npos)
                text.push_back(std::move(line));
    const bool dashes = Pick(rng, 2) == 0;
    const int noteForm = Pick(rng, 4);  // none; the number alone, a blank line; indented; against the text
    int note = 0;
    Lines pages;
    for (std::size_t i = 0, page = 1 + std::size_t(Pick(rng, 50)); i + 1 < text.size(); ++page) {
        const std::size_t first = pages.size();
        for (std::size_t end = std::min(text.size() - 1, i + 20 + std::size_t(Pick(rng, 3))); i < end; ++i)
            pages.push_back(text[i]);
        // A footnote: its mark set against a word of the page, the note at the page's foot.
        if (noteForm > 0 && Pick(rng, 3) == 0) {
            const std::string number = std::to_string(++note);
            std::string& marked = pages[first + std::size_t(Pick(rng, int(pages.size() - first)))];
            if (!marked.empty() && marked.back() != ' ' && marked.back() != '-')
                marked += number;
            const std::string words = Utf8ToWindows1250("Tak se psalo v prvním vydání a v rukopise se to čte "
                                                        "jinak, než jak stojí zde.");
            if (noteForm == 1)
                pages.insert(pages.end(), {number, "", "Tak" + words.substr(3, 30), words.substr(34)});
            else if (noteForm == 2)
                pages.insert(pages.end(), {"    " + number, "  " + words.substr(0, 40), words.substr(41)});
            else
                pages.insert(pages.end(), {number + words});
        }
        const std::string number = dashes ? "\x96 " + std::to_string(page) + " \x96" : std::to_string(page);
        std::string& last = pages.back();
        if (Pick(rng, 4) > 0)
            pages.insert(pages.end(), {"", number, ""});
        else if (last.ends_with('-') && last.size() > 2 && IsLetterByte(uint8_t(last[last.size() - 2])))
            last = last.substr(0, last.size() - 1) + number;
        else
            last += " " + number;
        text[i].insert(0, "\f");
    }
    return pages;
}

TEST(SmartGlueWords, NoWordIsLostOnAnyLayout)
{
    std::mt19937 rng(2026);
    for (int book = 0; book < 380; ++book) {
        Lines lines = book < 300 ? RandomBook(rng) : book < 340 ? PdfPages(rng) : RandomBook(rng);
        // Pages set in from the left edge, left and right pages by margins of their own.
        if (book >= 340)
            for (std::size_t i = 0, margins[] = {1 + std::size_t(Pick(rng, 6)), std::size_t(Pick(rng, 4))}; i < lines.size(); ++i)
                if (!lines[i].empty())
                    lines[i].insert(0, margins[0] + (i / 30 % 2) * margins[1], ' ');
        // Double-spaced, as CR CR LF reads.
        if (book >= 360)
            for (std::size_t i = lines.size(); i-- > 0;)
                lines.insert(lines.begin() + std::ptrdiff_t(i) + 1, std::string());
        Settings settings = Settings::Defaults();
        settings.autoReplace.clear();
        settings.noCaps = book % 3 != 0;
        settings.indent = book % 2 == 0;
        TextEditor editor;
        for (const std::string& line : lines)
            ASSERT_EQ(editor.InsertText(line + "\r\n"), kErrNone);
        const Lines before = testing::UnwrappedLines(editor);
        SilentReporter quiet;
        ASSERT_EQ(SlepitChytreExecute(editor, settings, quiet).outcome, GlueOutcome::Done);
        Lines after = testing::UnwrappedLines(editor);
        ASSERT_EQ(testing::WordsLostOrChanged(before, after), "") << "book " << book;
        // The check itself sees a word go, and two words run together.
        std::string& first = after[0];
        if (const std::size_t space = first.find(' ', first.find_first_not_of(' '));
            space != std::string::npos && space + 1 < first.size() && first[space + 1] != ' ') {
            first.erase(space, 1);
            EXPECT_NE(testing::WordsLostOrChanged(before, after), "");
            first.erase(0, space);
            EXPECT_NE(testing::WordsLostOrChanged(before, after), "");
        }
    }
}

}  // namespace
}  // namespace lepotex
