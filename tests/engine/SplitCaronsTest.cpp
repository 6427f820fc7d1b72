#include "engine/SplitCarons.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/GlueRecord.h"

namespace lepotex {
namespace {

struct Glued {
    std::string text;  // UTF-8, a paragraph per line
    std::string layout;
    std::vector<std::string> mended;  // "before>after@the text at the place"
};

Glued Glue(const std::string& utf8Lines, bool smart)
{
    TextEditor editor;
    EXPECT_EQ(editor.InsertText(Utf8ToWindows1250(utf8Lines)), 0);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    settings.indent = false;
    SilentReporter reporter;
    GlueRecord record;
    const GlueResult result = smart ? SlepitChytreExecute(editor, settings, reporter, &record)
                                    : SlepitExecute(editor, settings, reporter, &record);
    EXPECT_EQ(result.outcome, GlueOutcome::Done);
    Glued glued{Windows1250ToUtf8(editor.Text()), smart ? DescribeLayout(record.layout) : "", {}};
    for (const Change& change : record.changes) {
        if (change.kind != ChangeKind::LetterMended)
            continue;
        const std::string at(editor.ParaText(change.paraNo).substr(std::size_t(change.column - 1), std::size_t(change.length)));
        glued.mended.push_back(Windows1250ToUtf8(record.OldText(change) + ">" + record.NewText(change) + "@" + at));
    }
    return glued;
}

// A page of a Czech book as a PDF set in Times gives it back: "ť" and "ď" in two pieces.
std::string Page(const std::string& speech)
{
    std::string page = speech + "\r\n";
    for (int k = 0; k < 5; ++k)
        page += "Děti spaly, večer byl tichý a na návsi svítila lucerna až do rána.\r\n"
                "Přišel domů, řekl ženě, že už je pozdě, a šel spát.\r\n";
    return page;
}

TEST(SplitCaronsTest, PairsBecomeLettersWhereTheBookSpellsThemSo)
{
    // The book never has the letters whole: the pairs are them, in the word and at its end.
    // A page of PDF text starts with a form feed, which is no letter of its first word.
    const std::string book = Page("Řekl, at’ si sedne; ted’ už je pozdě.\r\n\fČtvrt’ spala a d’ábel také.");
    const Glued smart = Glue(book, true);
    EXPECT_EQ(smart.text.find("’"), std::string::npos) << smart.text;
    EXPECT_TRUE(smart.text.starts_with("Řekl, ať si sedne; teď už je pozdě.\r\nČtvrť spala a ďábel také.\r\n"))
        << smart.text;
    EXPECT_NE(smart.layout.find("(t’ → ť): 4."), std::string::npos) << smart.layout;
    // A reader checking the glue finds each word where it now stands.
    EXPECT_EQ(smart.mended, (std::vector<std::string>{"at’>ať@ať", "ted’>teď@teď", "Čtvrt’>Čtvrť@Čtvrť",
                                                      "d’ábel>ďábel@ďábel"}));
    // A line copied to cut off the page number pdftotext set on it has its word found too.
    const char* const words[] = {"děti", "večer", "tichý", "návsi", "lucerna", "ráno", "přišel", "domů", "řekl",
                                 "ženě", "pozdě", "spát", "ráda", "a", "že", "už"};
    std::string pages;
    unsigned seed = 1;
    for (int page = 5; page <= 10; ++page) {
        for (int line = 0; line < 12; ++line) {
            std::string text = line == 0 ? "Teď" : "Pak";
            while (text.size() < 60)
                text += std::string(" ") + words[(seed = seed * 1103515245 + 12345) >> 16 & 15];
            pages += (line == 0 && page > 5 ? "\f" : "") + text + (line < 11 ? ".\r\n" : "");
        }
        pages += page == 7 ? " teď ne. – 7 –\r\n" : ".\r\n\r\n– " + std::to_string(page) + " –\r\n\r\n";
    }
    std::string split;  // the book's "ď" as its PDF gives it
    for (std::size_t at = 0; at < pages.size(); ++at)
        split += pages.compare(at, 2, "ď") == 0 ? (++at, "d’") : pages.substr(at, 1);
    const Glued cut = Glue(split, true);
    EXPECT_EQ(cut.text.find("– 7 –"), std::string::npos) << cut.text;
    EXPECT_EQ(std::ranges::count(cut.mended, std::string("ted’>teď@teď")), 1) << cut.layout;
    // The plain glue keeps the book's bytes.
    EXPECT_NE(Glue(book, false).text.find("at’ si"), std::string::npos);

    // A book that has the letters whole writes the pair for something else, and so does one
    // that is no Czech: an apostrophe stays.
    const Glued whole = Glue(Page("Řekl, at’ si sedne, ať si lehne, at’ si dá pozor, ať jde, at’ zůstane."), true);
    EXPECT_NE(whole.text.find("at’ si sedne"), std::string::npos);
    EXPECT_EQ(whole.layout.find("t’ → ť"), std::string::npos);
    std::string english;
    for (int k = 0; k < 20; ++k)
        english += "It’s late, and I’d say that’ll do.\r\nShe went home.\r\n";
    EXPECT_NE(Glue(english, true).text.find("It’s late, and I’d say that’ll do."), std::string::npos);
}

// Some PDF tools give a face's composed letters back as the accent before the letter, the
// ring (which the code page lacks) as "?", and some a space before the accent: "ˇrekl",
// "dom?u", "d ˇeti".
std::string Accents(const std::string& utf8, bool spaces = true)
{
    std::string out;
    for (std::size_t at = 0; at < utf8.size(); ++at) {
        const auto is = [&](const char* letter) { return utf8.compare(at, 2, letter) == 0; };
        if (is("ř") || is("Ř") || is("č") || is("ě") || is("ň")) {
            out += spaces && (is("ě") || is("ň")) ? " ˇ" : "ˇ";
            out += is("ř") ? 'r' : is("Ř") ? 'R' : is("č") ? 'c' : is("ň") ? 'n' : 'e';
            ++at;
        } else if (is("ů")) {
            out += "?u";
            ++at;
        } else {
            out += utf8[at];
        }
    }
    return out;
}

TEST(SplitCaronsTest, AccentsBeforeTheirLettersBecomeTheLetters)
{
    // The glue of the book as a tool split it is the glue of the book itself; the line with
    // "t’" too, whose words after it the record finds where they now stand.
    const std::string book = Page("Řekl, at’ si sedne; ted’ už je pozdě. Řekla: ted’ ne, at’ jde kůň a laň.");
    const Glued split = Glue(Accents(book), true);
    EXPECT_EQ(split.text, Glue(book, true).text);
    EXPECT_NE(split.layout.find("(ˇr → ř): 41."), std::string::npos) << split.layout;
    ASSERT_GE(split.mended.size(), 4u);
    EXPECT_EQ(std::vector<std::string>(split.mended.begin(), split.mended.begin() + 4),
              (std::vector<std::string>{"ˇRekl,>Řekl,@Řekl,", "at’>ať@ať", "ted’>teď@teď", "pozd ˇe.>pozdě.@pozdě."}));
    EXPECT_NE(std::ranges::find(split.mended, "dom?u,>domů,@domů,"), split.mended.end());
    EXPECT_NE(Glue(Accents(book), false).text.find("ˇRekl"), std::string::npos);
    // A tool that leaves no space before an accent: the word "ňáký" after one keeps its own.
    EXPECT_NE(Glue(Accents(Page("Dal mu ňáký dárek a ňákou knihu."), false), true).text.find("mu ňáký dárek a ňákou"),
              std::string::npos);

    // A book with its letters whole, and a few accents typed for apostrophes: they stay; so
    // does a "?" that a conversion put for every letter it lacked, before "u" or not.
    const std::string typed = "McDonald´s, it´s ˇr, dom?u.";
    EXPECT_NE(Glue(Page(typed), true).text.find(typed), std::string::npos);
    std::string lost;
    for (int k = 0; k < 12; ++k)
        lost += "Vzal si ko?uch, ko?uli a bo?ky, sníh k?upe, kdy? jde.\r\n";
    EXPECT_EQ(Glue(lost, true).text.find("ů"), std::string::npos);
}

}  // namespace
}  // namespace lepotex
