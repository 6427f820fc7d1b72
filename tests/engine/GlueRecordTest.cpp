#include "engine/GlueRecord.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "EditorLines.h"
#include "LiteralReference.h"
#include "RandomText.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/AutoReplace.h"
#include "engine/GlueCommands.h"
#include "engine/GlueStages.h"

namespace lepotex {
namespace {

using Counts = std::array<int64_t, kChangeKindCount>;

void Load(TextEditor& editor, const std::vector<std::string>& lines)
{
    editor.Clear();
    for (const std::string& line : lines)
        ASSERT_EQ(editor.InsertText(line + "\r\n"), 0);
}

std::vector<std::string> Cp1250(std::initializer_list<const char*> utf8)
{
    std::vector<std::string> lines;
    for (const char* line : utf8)
        lines.push_back(Utf8ToWindows1250(line));
    return lines;
}

std::string_view AtPlace(const TextEditor& editor, const Change& change)
{
    return editor.ParaText(change.paraNo).substr(std::size_t(change.column - 1), std::size_t(change.length));
}

std::string Trimmed(std::string line)
{
    line.erase(0, std::min(line.find_first_not_of(" \f"), line.size()));
    line.erase(line.find_last_not_of(' ') + 1);
    return line;
}

// Each change against the glued text in the editor and the old lines it names.
void ExpectEachAtItsPlace(const TextEditor& editor, const GlueRecord& record, const std::vector<std::string>& old)
{
    for (const Change& change : record.changes) {
        SCOPED_TRACE(std::string(ChangeKindId(change.kind)) + " " + std::to_string(change.paraNo) + ":" +
                     std::to_string(change.column) + " " + Windows1250ToUtf8(record.OldText(change)));
        ASSERT_GE(change.paraNo, 1);
        ASSERT_LE(change.paraNo, editor.ParaCount());
        const std::string_view para = editor.ParaText(change.paraNo);
        ASSERT_LE(std::size_t(change.column - 1 + change.length), para.size());
        const std::string newText = record.NewText(change);
        switch (change.kind) {
        case ChangeKind::LineGlued:
        case ChangeKind::HyphenRemoved:
        case ChangeKind::HyphenKept:
            EXPECT_EQ(AtPlace(editor, change), newText);
            ASSERT_GT(change.oldLine, 0);
            EXPECT_NE(old[std::size_t(change.oldLine - 1)].find(record.First(change)), std::string::npos);
            break;
        case ChangeKind::ParagraphKept:
            // The word that begins the paragraph, behind its indent.
            EXPECT_EQ(AtPlace(editor, change), record.Second(change));
            EXPECT_EQ(para.find_first_not_of(' '), std::size_t(change.column - 1));
            EXPECT_EQ(Trimmed(old[std::size_t(change.oldLine - 1)]).find(record.Second(change)), 0u);
            break;
        case ChangeKind::PageLine:
            EXPECT_EQ(Trimmed(old[std::size_t(change.oldLine - 1)]), record.OldText(change));
            EXPECT_EQ(newText, "");
            break;
        case ChangeKind::Rule:
        case ChangeKind::Speech:
        case ChangeKind::LetterMended:
            EXPECT_EQ(AtPlace(editor, change), newText.substr(0, newText.find('\n')));
            break;
        }
    }
}

TEST(GlueRecord, EveryDecisionOfASampleAtItsPlaceAndTheSpeechSpans)
{
    const std::vector<std::string> old = Cp1250({
        "    Kapitola 1",
        "Starý mlynář vstával před svítáním a chodil",
        "k potoku. Pak se vrátil do mlý-",
        "                     - 12 -",
        "na, kde sedl. „Dobrý den,“ řekl.",
        "„Ahoj!“",
        "",
        "Nový odstavec po prázdném řádku, kde sena leží",
        "kupa.“ „Další řeč.“",
        "- 13 -",
        "KONEC",
    });
    TextEditor editor;
    Load(editor, old);
    editor.SetCaret({2, 1});
    editor.TypeChar('x');  // an edit before the glue, which its undo brings back as well
    const std::string before = editor.Text();
    std::vector<std::string> edited = old;
    edited[1].insert(0, "x");
    SilentReporter reporter;
    GlueRecord record;
    ASSERT_EQ(SlepitExecute(editor, Settings::Defaults(), reporter, &record).outcome, GlueOutcome::Done);
    ExpectEachAtItsPlace(editor, record, edited);
    // In the order of the new text; the rules are the doubtful ones. The lines glued: "chodil
    // k", "leží kupa"; kept: after the no-glue "Kapitola", before a quote after a full stop,
    // across the blank line, before the capitals.
    std::vector<std::string> kinds;
    for (const Change& change : record.changes)
        kinds.emplace_back(ChangeKindId(change.kind));
    EXPECT_EQ(kinds, (std::vector<std::string>{"paragraph-kept", "line-glued", "hyphen-removed", "page-line",
                                                "paragraph-kept", "paragraph-kept", "rule", "line-glued", "rule",
                                                "page-line", "paragraph-kept"}));
    for (const Change& change : record.changes)
        EXPECT_EQ(change.doubtful, change.kind == ChangeKind::Rule);
    EXPECT_EQ(Windows1250ToUtf8(record.OldText(record.changes[2])), "mlý-\nna,");
    EXPECT_EQ(Windows1250ToUtf8(record.NewText(record.changes[2])), "mlýna,");

    // The glue undone whole: the bytes as they were, and the edit before it still undoable.
    editor.Restore(std::move(record.before));
    EXPECT_EQ(editor.Text(), before);
    EXPECT_TRUE(editor.Modified());
    ASSERT_TRUE(editor.CanUndo());
    editor.Undo();
    EXPECT_EQ(editor.ParaText(2), old[1]);

    // The same book with its speech split over paragraphs: each span joined, at its „.
    const std::vector<std::string> speech = Cp1250({"Řekl:", "„Dobrý den,", "   jak se máte?“", "Ticho.",
                                                    "„Tak", "", "tedy ne.“ A „ještě“."});
    Load(editor, speech);
    ASSERT_EQ(actPrimaRecExecute(editor, reporter, &record).outcome, GlueOutcome::Done);
    ASSERT_EQ(record.Counts(), (Counts{0, 0, 0, 0, 0, 0, 2}));
    ExpectEachAtItsPlace(editor, record, speech);
    EXPECT_EQ(Windows1250ToUtf8(record.OldText(record.changes[0])), "„Dobrý den,\n   jak se máte?“");
    EXPECT_EQ(Windows1250ToUtf8(record.NewText(record.changes[0])), "„Dobrý den, jak se máte?“");
    EXPECT_EQ(record.changes[1].paraNo, 4);

    // A refusal leaves no record of a glue that did not happen.
    Load(editor, {});
    EXPECT_EQ(SlepitExecute(editor, Settings::Defaults(), reporter, &record).outcome, GlueOutcome::Refused);
    EXPECT_TRUE(record.Empty());
}

TEST(GlueRecord, SmartGlueTellsWhyAndTheLayoutItFound)
{
    // Paragraphs of 3 to 6 lines wrapped at 40 with an indent of 3, a page number after every
    // 12 lines between blank lines (every other one set to the right after a form feed, as
    // pdftotext puts a page's head), and a compound broken at its hyphen.
    std::mt19937 rng(5);
    const char* const words[] = {"les", "domov", "cesta", "okno", "zahrada", "ticho", "kámen", "voda", "večer"};
    std::vector<std::string> book;
    int paragraphs = 0;
    for (; paragraphs < 40; ++paragraphs) {
        std::string line = "   ";
        for (int n = std::uniform_int_distribution(12, 30)(rng); n > 0; --n) {
            const std::string word = Utf8ToWindows1250(words[std::uniform_int_distribution(0, 8)(rng)]);
            if (line.size() + 1 + word.size() > 40) {
                book.push_back(line);
                line.clear();
            }
            line += (line.empty() || line == "   " ? "" : " ") + word;
        }
        book.push_back(line + ".");
    }
    book[1] += Utf8ToWindows1250(" Frýdek-");
    book[2] = Utf8ToWindows1250("Místek ") + book[2];
    int pages = 0;
    for (std::size_t at = 12; at < book.size(); at += 15, ++pages)
        book.insert(book.begin() + std::ptrdiff_t(at),
                    {"", (pages % 2 ? "\f" + std::string(30, ' ') : "") + std::to_string(pages + 1), ""});

    TextEditor editor;
    Load(editor, book);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    SilentReporter reporter;
    GlueRecord record;
    ASSERT_EQ(SlepitChytreExecute(editor, settings, reporter, &record).outcome, GlueOutcome::Done);
    ASSERT_TRUE(record.smart);
    EXPECT_EQ(record.layout.mark, ParagraphMark::Indent);
    EXPECT_EQ(record.layout.pageLines, pages);
    EXPECT_EQ(record.layout.pageBlanks, 2 * pages);
    ASSERT_EQ(record.layout.furniture.size(), 1u);
    EXPECT_EQ(record.layout.furniture[0].shape, "#");
    const Counts counts = record.Counts();
    EXPECT_EQ(counts[std::size_t(ChangeKind::PageLine)], pages);
    EXPECT_EQ(counts[std::size_t(ChangeKind::HyphenKept)], 1);
    EXPECT_EQ(counts[std::size_t(ChangeKind::ParagraphKept)], paragraphs - 1);
    EXPECT_EQ(counts[std::size_t(ChangeKind::LineGlued)] + 1 + paragraphs,
              int64_t(book.size()) - 3 * pages);
    ExpectEachAtItsPlace(editor, record, book);
    for (const Change& change : record.changes)
        EXPECT_TRUE(change.kind != ChangeKind::ParagraphKept || change.reason == BreakReason::Indent);
    EXPECT_NE(DescribeLayout(record.layout).find("šířka řádku 40 znaků"), std::string::npos);
}

// The plain glue's counts from its literal stages, the rules counted one replacement at a time.
Counts CountLiterally(std::vector<std::string> lines, const Settings& settings)
{
    Counts counts{};
    [[maybe_unused]] auto& [pages, hyphens, kept, glued, paragraphs, rules, speech, letters] = counts;
    Settings noRules = settings;
    noRules.autoReplace.clear();
    int64_t removed[3] = {};
    literal::Glue(lines, noRules, &removed);
    std::tie(pages, hyphens, glued) = std::tie(removed[0], removed[1], removed[2]);
    std::string text;
    for (bool previous = false; const std::string& line : lines) {
        paragraphs += !line.empty() && previous;
        previous = previous || !line.empty();
        text += line + "\r\n";
    }
    TextEditor editor;
    std::vector<ReplacementRule> inPlace;
    for (const std::string& entry : settings.autoReplace) {
        const ReplacementRule rule = ParseRule(entry);
        if (rule.kind == RuleKind::InPlace)
            inPlace.push_back(rule);
        if (rule.kind != RuleKind::LineBreak)
            continue;
        const std::string replacement = ExpandParagraphMarks(rule.replacement);
        for (std::size_t at; (at = text.find(rule.search)) != std::string::npos; ++rules)
            text.replace(at, rule.search.size(), replacement);
    }
    EXPECT_EQ(editor.InsertText(text), 0);
    for (const ReplacementRule& rule : inPlace)
        rules += std::max(0, editor.Replace(rule.search, rule.replacement, RuleSearchOptions(rule)));
    return counts;
}

TEST(GlueRecord, CountsAreThoseOfTheLiteralStagesAndEveryJoinIsAtItsPlace)
{
    std::mt19937 rng(20030119);
    Settings settings = Settings::Defaults();
    settings.autoReplace.push_back("a\\X\\");  // in place, also inside words, in any case
    Settings noRules = settings;
    noRules.autoReplace.clear();
    SilentReporter reporter;
    GlueRecord record;
    TextEditor editor;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::string> lines = testing::RandomLines(rng, 40);
        lines.insert(lines.end(), {"x", "y"});
        const Settings& chosen = round % 2 ? settings : noRules;
        SCOPED_TRACE(round);
        Load(editor, lines);
        const std::vector<std::string> old = testing::UnwrappedLines(editor);
        ASSERT_EQ(SlepitExecute(editor, chosen, reporter, &record).outcome, GlueOutcome::Done);
        EXPECT_EQ(record.Counts(), CountLiterally(old, chosen));
        if (round % 2 == 0)
            ExpectEachAtItsPlace(editor, record, old);
    }
}

}  // namespace
}  // namespace lepotex
