// Wrapping, inserting and its limits, where the caret moves, and the paste pre-check, headless.
#include <gtest/gtest.h>

#include <random>

#include "TestUtil.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

namespace lepotex {
namespace {

using namespace test;

TEST(TextEditorWrap, WrapsAt105ColumnsOnBlanksHyphensOrHard)
{
    const std::string a105(105, 'a');
    const std::string b10(10, 'b');
    const std::string rows[][3] = {
        {std::string(300, 'a'), a105, a105},                          // no break character: cut hard
        {std::string(99, 'a') + "   " + std::string(200, 'b'), std::string(99, 'a') + "   ", std::string(105, 'b')},
        {a105 + "    " + b10, a105 + "    ", b10},                    // the whole run of blanks, past the width
        {std::string(50, 'a') + "-" + std::string(100, 'b'), std::string(50, 'a') + "-", std::string(100, 'b')},
        {a105 + "-  " + b10, a105 + "-  ", b10},                      // a hyphen as the 106th, blanks after it
        {std::string(14, '\t') + "x", std::string(112, ' '), "x"},    // 13 tabs reach column 104, the 14th passes 105
    };
    for (const auto& [text, first, second] : rows) {
        TextEditor editor;
        ASSERT_EQ(editor.InsertText(text), 0);
        EXPECT_EQ(editor.GetLine(1), first) << text;
        EXPECT_EQ(editor.GetLine(2), second) << text;
    }
}

// The display lines of each paragraph, found from its first line and back, as random edits
// make paragraphs wrap and stop wrapping, with word wrap turned on and off and undone.
TEST(TextEditorWrap, DisplayLinesFollowEveryEditWrappedOrNot)
{
    std::mt19937 rng(7);
    TextEditor editor;
    editor.SetWrapColumn(12);
    for (int step = 0; step < 3000; ++step) {
        const ParaPos end = editor.EndOfText();
        editor.SetCaret({int32_t(rng() % uint32_t(end.paraNo)) + 1, int32_t(rng() % 30) + 1});
        switch (rng() % 8) {
        case 0: editor.BreakParagraph(); break;
        case 1: editor.Backspace(); break;
        case 2: editor.DeleteForward(); break;
        case 3: editor.SetWordWrap(!editor.WordWrap()); break;
        case 4:
            if (editor.CanUndo())
                editor.Undo();
            break;
        default: ASSERT_EQ(editor.InsertText(rng() % 2 ? "slovo " : "x"), 0); break;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectCountsConsistent(editor)) << "step " << step;
    }
}

// A book of many paragraphs wraps its second half on a second core when word wrap goes on:
// its display lines are those of the same book wrapped paragraph by paragraph as it was put in.
TEST(TextEditorWrap, ABookWrappedWholeWrapsAsItsParagraphsOneByOne)
{
    std::mt19937 rng(11);
    std::string text;
    const char* const pieces[] = {"slovo ", "a", "-", "\t", "  ", "dlouh\xE9", "x"};
    for (int p = 0; p < 40'000; ++p) {
        for (int n = int(rng() % 40); n > 0; --n)
            text += pieces[rng() % 7];
        text += "\r\n";
    }
    TextEditor book;
    book.SetWordWrap(false);
    ASSERT_EQ(book.InsertText(text), 0);
    for (const auto& [width, tab] : {std::pair{12, 8}, {7, 3}, {105, 8}}) {
        TextEditor oneByOne;
        oneByOne.SetTabSize(tab);
        oneByOne.SetWrapColumn(width);
        ASSERT_EQ(oneByOne.InsertText(text), 0);
        book.SetTabSize(tab);
        book.SetWrapColumn(width);
        book.SetWordWrap(true);
        ASSERT_NO_FATAL_FAILURE(ExpectCountsConsistent(book));
        ASSERT_EQ(book.LineCount(), oneByOne.LineCount());
        for (int32_t p = 1; p <= book.ParaCount(); ++p)
            ASSERT_EQ(book.ParaLineCount(p), oneByOne.ParaLineCount(p)) << "paragraph " << p;
        for (int32_t line = 1; line <= book.LineCount(); line += 1 + int32_t(rng() % 20))
            ASSERT_EQ(book.GetLine(line), oneByOne.GetLine(line)) << "line " << line;
        book.SetWordWrap(false);
    }
}

TEST(TextEditorInsert, SegmentsLineEndsAndSplits)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("12345"), 0);
    editor.SetCaret(ParaPos{1, 3});
    ASSERT_EQ(editor.InsertText("ab\ncd"), 0);
    // A lone CR inside stays text; CRs at the very end count as a line end.
    ASSERT_EQ(editor.InsertText("a\rb"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"12ab", "cda\rb345"}));
    editor.Clear();
    ASSERT_EQ(editor.InsertText("ab\r\r"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", ""}));

    // Splitting removes the blanks before the split point; at column 1 nothing is trimmed.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("abcdef"), 0);
    editor.SetCaret(ParaPos{1, 4});
    ASSERT_EQ(editor.InsertText(" \t \r\n"), 0);
    editor.SetCaret(ParaPos{1, 1});
    ASSERT_EQ(editor.InsertText("x  \r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "abc", "def"}));

    // The selection is replaced.
    editor.SetSelection(ParaPos{2, 2}, ParaPos{3, 2});
    ASSERT_EQ(editor.InsertText("Z"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "aZef"}));
}

TEST(TextEditorInsert, LimitsRefuseWithoutInsertingTheSegment)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("keep"), 0);
    editor.SetCaret(ParaPos{1, 1});
    // Earlier segments stay; the failing one and all after it are not inserted.
    EXPECT_EQ(editor.InsertText("ok\r\n" + std::string(32768, 'b') + "\r\nlater\r\n"), kErrParagraphTooLong);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ok", "keep"}));

    // Exactly at the limit is fine; one byte into a full paragraph is not.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(32767, 'c')), 0);
    EXPECT_EQ(editor.InsertText("d"), kErrParagraphTooLong);
    EXPECT_EQ(editor.ParaText(1).size(), 32767u);

    // Chunks of over 61440 bytes work, and do not split a CR LF pair.
    editor.Clear();
    const std::string big = Repeated(std::string(59, 'e') + "\r\n", 3300);
    ASSERT_EQ(editor.InsertText(big), 0);
    EXPECT_TRUE(editor.Text() == big);
    ExpectCountsConsistent(editor);

    TextEditor small;
    small.SetParaLimit(3);
    EXPECT_EQ(small.InsertText("a\r\nb\r\nc\r\nd\r\n"), kErrTooManyParagraphs);
    EXPECT_EQ(Paragraphs(small), (Paras{"a", "b", "c", ""})) << "the empty last paragraph does not count";
    small.SetByteLimit(10);
    EXPECT_EQ(small.InsertText("0123456789x"), kErrTextTooLarge);
    EXPECT_EQ(small.ByteCount(), 9);
}

// The view's key table tests walk the plainer cases.
TEST(Navigation, WordMovesCrossParagraphsAndStopAtSearchDelimiters)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText(Utf8ToWindows1250("Žluťoučký kůň, \"úpěl\"\r\nx-y")), 0);
    // Bytes above 127 are word characters; the comma, blank, quote and hyphen are not.
    ParaPos at{1, 1};
    for (const ParaPos stop : {ParaPos{1, 11}, {1, 17}, {1, 22}, {2, 1}, {2, 3}})
        EXPECT_EQ(at = editor.WordRightOf(at), stop);
    EXPECT_EQ(editor.WordLeftOf({2, 1}), (ParaPos{1, 22}));
    EXPECT_EQ(editor.WordLeftOf({1, 13}), (ParaPos{1, 11}));
    // The word of a double click: in it, right behind it, or none on a delimiter run.
    EXPECT_EQ(editor.WordAt({1, 14}), std::make_pair(ParaPos{1, 11}, ParaPos{1, 14}));
    EXPECT_EQ(editor.WordAt({1, 16}), std::make_pair(ParaPos{1, 16}, ParaPos{1, 16}));
}

// The pre-check must say exactly what InsertText then returns, and 0 only when all went in.
TEST(Navigation, CheckInsertForetellsInsertText)
{
    std::mt19937 random(4242);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const std::string pieces[] = {"ab", " ", "\t", "\r\n", "\n", "\r", "xyzxyzxyz", "  \r\n", "q"};
    auto some = [&](int n) {
        std::string text;
        for (; n > 0; --n)
            text += pieces[size_t(pick(9))];
        return text;
    };
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        TextEditor editor;
        editor.SetParaLengthLimit(12 + pick(10));
        if (pick(4) == 0)
            editor.SetParaLimit(3 + pick(4));
        if (pick(4) == 0)
            editor.SetByteLimit(20 + pick(40));
        (void)editor.InsertText(some(pick(8)));
        const ParaPos a{1 + pick(editor.ParaCount()), 1 + pick(14)};
        const ParaPos b{1 + pick(editor.ParaCount()), 1 + pick(14)};
        if (pick(2))
            editor.SetSelection(a, b);
        else
            editor.SetCaret(a);
        const std::string paste = some(1 + pick(6));
        const Paras before = Paragraphs(editor);
        const int foretold = editor.CheckInsert(paste);
        EXPECT_EQ(Paragraphs(editor), before) << "the check changed the text";
        ASSERT_EQ(foretold, editor.InsertText(paste)) << "round " << round << " paste \"" << paste << "\"";
        refused += foretold != 0;
    }
    EXPECT_GT(refused, 300);  // the limits were reached often enough to mean something

    // At the real limit, across the chunks InsertText works in.
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("krátký\r\n"), 0);
    editor.SetCaret({1, 1});
    EXPECT_EQ(editor.CheckInsert(std::string(70000, 'x')), kErrParagraphTooLong);
    EXPECT_EQ(editor.CheckInsert(std::string(3000, 'y') + "\r\n" + std::string(30000, 'z')), kErrNone);
}

// The view's key test restores the run of edits in the caret's paragraph since a break; when
// the newest change is no such run, the restore is one plain undo.
TEST(Navigation, RestoreUndoesTheLatestRunInTheCaretsParagraphOrElseUndoesOnce)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("prvni\r\ndruhy"), 0);
    editor.SetCaret({2, 1});
    editor.Backspace();  // a join with paragraph 1: a change of the structure
    editor.BreakParagraph();
    editor.SetCaret({2, 3});
    editor.TypeChar('a');
    editor.SetCaret({2, 6});
    editor.TypeChar('b');
    editor.SetCaret({2, 1});
    editor.DeleteForward();
    editor.SetCaret({1, 1});  // a paragraph the newest change did not touch
    editor.RestoreParagraph();
    EXPECT_EQ(Paragraphs(editor), (Paras{"prvni", "drauhby"}));
    editor.SetCaret({2, 1});
    editor.RestoreParagraph();  // both edits left since the break, and no further
    EXPECT_EQ(Paragraphs(editor), (Paras{"prvni", "druhy"}));
}

}  // namespace
}  // namespace lepotex
