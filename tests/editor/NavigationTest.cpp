// Where word moves stop, the word of a double click, the paste pre-check and the paragraph
// restore, headless.
#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <random>

#include "TestUtil.h"
#include "editor/Windows1250.h"

namespace lepotex {
namespace {

using namespace test;

// The view's key table tests walk the plainer cases.
TEST(Navigation, WordMovesCrossParagraphsAndStopAtSearchDelimiters)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText(Utf8ToWindows1250("Žluťoučký kůň, \"úpěl\"\r\nx-y")), 0);
    // Bytes above 127 are word characters; the comma, blank, quote and hyphen are not.
    const ParaPos rightStops[] = {{1, 11}, {1, 17}, {1, 22}, {2, 1}, {2, 3}};
    ParaPos at{1, 1};
    for (const ParaPos stop : rightStops)
        EXPECT_EQ(at = editor.WordRightOf(at), stop);
    EXPECT_EQ(editor.WordLeftOf({2, 1}), (ParaPos{1, 22}));
    EXPECT_EQ(editor.WordLeftOf({1, 22}), (ParaPos{1, 17}));
    EXPECT_EQ(editor.WordLeftOf({1, 13}), (ParaPos{1, 11}));
    // The word of a double click: in it, right behind it, or none on a delimiter run.
    EXPECT_EQ(editor.WordAt({1, 12}), std::make_pair(ParaPos{1, 11}, ParaPos{1, 14}));
    EXPECT_EQ(editor.WordAt({1, 14}), std::make_pair(ParaPos{1, 11}, ParaPos{1, 14}));
    EXPECT_EQ(editor.WordAt({1, 16}), std::make_pair(ParaPos{1, 16}, ParaPos{1, 16}));
}

TEST(Navigation, HomeEndAndTheCaretsPositionKeepToTheDisplayLine)
{
    TextEditor editor;
    editor.SetWrapColumn(10);
    ASSERT_EQ(editor.InsertText("aaaa bbbb cccc dddd"), 0);  // lines "aaaa bbbb ", "cccc dddd"
    ASSERT_EQ(editor.LineCount(), 2);
    EXPECT_EQ(editor.LineHomeOf({1, 8}), (ParaPos{1, 1}));
    EXPECT_EQ(editor.LineEndOf({1, 8}), (ParaPos{1, 10}));  // in front of the blank, still line 1
    EXPECT_EQ(editor.DisplayLineOf(editor.LineEndOf({1, 8})), 1);
    EXPECT_EQ(editor.LineHomeOf({1, 13}), (ParaPos{1, 11}));
    EXPECT_EQ(editor.LineEndOf({1, 13}), (ParaPos{1, 20}));

    // The caret's display line and column follow the wrap and the tabs.
    editor.Clear();
    editor.SetWrapColumn(105);
    ASSERT_EQ(editor.InsertText(std::string(110, 'a') + "\r\n\tb"), 0);
    EXPECT_EQ(editor.GetCaretPosition(), (CaretPosition{3, 3}));
    EXPECT_EQ(editor.CaretDisplayColumn(), 10);
    editor.SetCaret(ParaPos{1, 106});
    EXPECT_EQ(editor.GetCaretPosition(), (CaretPosition{2, 1})) << "a caret on a wrap point stands below";
    EXPECT_EQ(editor.PosFromDisplay(3, 9), (ParaPos{2, 2}));
}

// The pre-check must say exactly what InsertText then returns, and 0 only when all went in.
TEST(Navigation, CheckInsertForetellsInsertText)
{
    std::mt19937 random(4242);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const std::string pieces[] = {"ab", " ", "\t", "\r\n", "\n", "\r", "xyzxyzxyz", "  \r\n", "q"};
    int refused = 0;
    for (int round = 0; round < 3000; ++round) {
        TextEditor editor;
        editor.SetParaLengthLimit(12 + pick(10));
        if (pick(4) == 0)
            editor.SetParaLimit(3 + pick(4));
        if (pick(4) == 0)
            editor.SetByteLimit(20 + pick(40));
        std::string start;
        for (int i = pick(8); i > 0; --i)
            start += pieces[size_t(pick(9))];
        (void)editor.InsertText(start);
        const ParaPos a{1 + pick(editor.ParaCount()), 1 + pick(14)};
        const ParaPos b{1 + pick(editor.ParaCount()), 1 + pick(14)};
        if (pick(2))
            editor.SetSelection(a, b);
        else
            editor.SetCaret(a);
        std::string paste;
        for (int i = 1 + pick(6); i > 0; --i)
            paste += pieces[size_t(pick(9))];
        const Paras before = Paragraphs(editor);
        const int foretold = editor.CheckInsert(paste);
        EXPECT_EQ(Paragraphs(editor), before) << "the check changed the text";
        const int error = editor.InsertText(paste);
        ASSERT_EQ(foretold, error) << "round " << round << " paste \"" << paste << "\"";
        refused += error != 0;
    }
    EXPECT_GT(refused, 300);  // the limits were reached often enough to mean something

    // At the real limit, across the chunks InsertText works in.
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("krátký\r\n"), 0);
    editor.SetCaret({1, 1});
    EXPECT_EQ(editor.CheckInsert(std::string(40000, 'x') + "\r\n"), kErrParagraphTooLong);
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
    editor.RestoreParagraph();  // the newest change is the break
    EXPECT_EQ(Paragraphs(editor), (Paras{"prvnidruhy"}));
    editor.Redo();
    editor.SetCaret({2, 3});
    editor.TypeChar('a');
    editor.SetCaret({2, 6});
    editor.TypeChar('b');
    editor.SetCaret({2, 1});
    editor.DeleteForward();
    ASSERT_EQ(Paragraphs(editor), (Paras{"prvni", "rauhby"}));
    editor.SetCaret({1, 1});  // a paragraph the newest change did not touch
    editor.RestoreParagraph();
    EXPECT_EQ(Paragraphs(editor), (Paras{"prvni", "drauhby"}));
    editor.SetCaret({2, 1});
    editor.RestoreParagraph();  // both edits left since the break, and no further
    EXPECT_EQ(Paragraphs(editor), (Paras{"prvni", "druhy"}));
}

}  // namespace
}  // namespace lepotex
