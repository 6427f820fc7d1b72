// Faults found by review and by fuzzing the editor with small undo budgets: each case here
// once corrupted memory, stored bytes a paragraph may not hold, changed a read-only text, or
// undid two changes as one. Run under the sanitizers by scripts/test.
#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace lepotex {
namespace {

using namespace test;

// A paragraph record that needs the room of the whole history: making room drops the history,
// and the paragraph the record was to hold must neither be lost with it nor be left behind
// under a handle nobody owns.
TEST(UndoFault, ParagraphRecordsSurviveTheDropOfTheWholeHistory)
{
    // The default budget: a paragraph just short of it (or beyond it, which once leaked),
    // Enter at its start, Select All, Cut.
    std::vector<int> lengths = {10000, 10240, 20000};
    for (int length = 8140; length <= 8170; ++length)
        lengths.push_back(length);
    for (const int length : lengths) {
        TextEditor editor;
        const std::string para(size_t(length), 'q');
        ASSERT_EQ(editor.InsertText(para), 0);
        editor.SetCaret(ParaPos{1, 1});
        editor.BreakParagraph();
        editor.SelectAll();
        EXPECT_EQ(editor.Cut(), "\r\n" + para);
        EXPECT_EQ(Paragraphs(editor), (Paras{""}));
        ExpectUndoRedoSymmetric(editor);
        EXPECT_EQ(editor.Text(), "");
    }
    // Under every small budget: CR LF CR pasted, and a join whose lower paragraph the history
    // holds, each undone and redone.
    for (int budget = 15; budget <= 200; ++budget) {
        TextEditor editor;
        editor.SetUndoBufferSize(budget);
        ASSERT_EQ(editor.InsertText("ab"), 0);
        editor.SetCaret(ParaPos{1, 2});
        editor.Paste("\r\n\r");
        EXPECT_EQ(editor.Text(), "a\r\n\r\nb");
        ExpectUndoRedoSymmetric(editor);
        EXPECT_EQ(editor.Text(), "a\r\n\r\nb");
        editor.Undo();
        editor.Redo();
        ExpectCountsConsistent(editor);

        TextEditor join;
        join.SetUndoBufferSize(budget);
        ASSERT_EQ(join.InsertText("first\r\nsecond\r\nthird"), 0);
        join.SetSelection(ParaPos{1, 3}, ParaPos{3, 2});
        join.DeleteSelection();
        ExpectUndoRedoSymmetric(join);
        EXPECT_EQ(join.Text(), "fihird");
    }
}

TEST(UndoFault, ANulEndsInsertedTextAndReplacementsUndoAnyByte)
{
    using namespace std::string_literals;
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ab\0cd\r\nef"s), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab"}));
    editor.Paste("\r\nxy\0z"s);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", "xy"}));
    editor.Paste("\0tail"s);
    editor.TypeChar('\0');
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", "xy"}));
    EXPECT_EQ(editor.Text().find('\0'), std::string::npos);

    // Search and replacement texts end at a NUL as well.
    EXPECT_EQ(editor.Replace("xy\0ab"s, "Q\0R"s, SearchOptions{.global = true, .replaceAll = true}), 1);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", "Q"}));

    // Overwriting records old and new bytes; they undo and redo exactly, whatever the bytes.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("\x01\xFF" "abc"), 0);
    editor.SetInsertMode(false);
    editor.SetCaret(ParaPos{1, 1});
    editor.TypeChar('\xFF');
    editor.TypeChar('\x01');
    editor.TypeChar('z');
    EXPECT_EQ(editor.ParaText(1), "\xFF\x01zbc");
    for (int i = 0; i < 3; ++i)
        editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "\x01\xFF" "abc");
    for (int i = 0; i < 3; ++i)
        editor.Redo();
    EXPECT_EQ(editor.ParaText(1), "\xFF\x01zbc");
    editor.SetInsertMode(true);
    EXPECT_EQ(editor.Replace("\xFF\x01z", "", SearchOptions{.global = true, .replaceAll = true}), 1);
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "\xFF\x01zbc");
}

TEST(UndoFault, AReadOnlyTextIsSearchedButNeverReplaced)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ab ab\r\nab"), 0);
    editor.SetModified(false);
    editor.SetReadOnly(true);
    const SearchOptions all{.global = true, .replace = true, .replaceAll = true};
    EXPECT_EQ(editor.Replace("ab", "x", all), 0) << "found and selected, nothing replaced";
    EXPECT_EQ(editor.SelectedText(), "ab");
    EXPECT_EQ(editor.Replace("zz", "x", all), -1);

    editor.SetSelection(ParaPos{1, 4}, ParaPos{1, 6});
    EXPECT_EQ(editor.Replace("ab", "x", SearchOptions{.replace = true}), 0) << "the selection is not replaced";
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab ab", "ab"}));
    EXPECT_FALSE(editor.Modified());
}

// Only a change opens a group: searches between two edits leave them two undo steps, however
// many there are, and a group never takes the number of the one it follows.
TEST(UndoFault, SearchesUseNoGroupNumbersAndNumbersNeverRepeatNeighbours)
{
    TextEditor editor;
    editor.TypeChar('a');
    for (int i = 0; i < 300; ++i) {
        ASSERT_TRUE(editor.Search("a", SearchOptions{.global = true}));
        ASSERT_EQ(editor.Replace("none", "x", SearchOptions{.global = true, .replaceAll = true}), -1);
        editor.SetCaret(editor.EndOfText());
        ASSERT_EQ(editor.InsertText(""), 0);
    }
    editor.SetCaret(ParaPos{1, 1});
    editor.TypeChar('b');
    EXPECT_EQ(editor.Text(), "ba");
    editor.Undo();
    EXPECT_EQ(editor.Text(), "a");
    editor.Undo();
    EXPECT_EQ(editor.Text(), "");

    // 256 separate changes, all but the first undone, then a new one: it must stay a step of
    // its own, not join the first.
    editor.Clear();
    for (int i = 0; i < 256; ++i) {
        editor.SetCaret(ParaPos{1, 1});
        editor.TypeChar('x');
    }
    for (int i = 0; i < 255; ++i)
        editor.Undo();
    ASSERT_EQ(editor.Text(), "x");
    editor.SetCaret(ParaPos{1, 1});
    editor.TypeChar('y');
    editor.Undo();
    EXPECT_EQ(editor.Text(), "x");
    EXPECT_TRUE(editor.CanUndo());
}

// The display lines of an editor against those of a fresh one given the same text.
void ExpectLinesAsIfNew(const TextEditor& editor)
{
    TextEditor fresh;
    ASSERT_EQ(fresh.InsertText(editor.Text()), 0);
    ASSERT_EQ(editor.LineCount(), fresh.LineCount());
    for (int32_t line = 1; line <= editor.LineCount(); ++line)
        ASSERT_EQ(editor.GetLine(line), fresh.GetLine(line)) << "line " << line;
}

// Thousands of replacements in one long paragraph re-wrap it once, not once each (which
// took seconds for a few long paragraphs); the lines are those the text wraps to all the same.
TEST(UndoFault, ReplaceAllInLongWrappedParagraphsLeavesTheLinesRight)
{
    TextEditor editor;
    std::string para;
    while (para.size() < 32000)
        para += "ab a-";
    ASSERT_EQ(editor.InsertText(para + "\r\n" + para + "\r\nend a"), 0);
    const SearchOptions all{.global = true, .replace = true, .replaceAll = true};
    EXPECT_EQ(editor.Replace("ab", "x", all), 12800);
    ExpectLinesAsIfNew(editor);
    EXPECT_EQ(editor.Replace("a", "yy", SearchOptions{.backward = true, .global = true, .replaceAll = true}), 12801);
    ExpectLinesAsIfNew(editor);
    editor.Undo();
    ExpectLinesAsIfNew(editor);
    editor.Redo();
    ExpectLinesAsIfNew(editor);
}

}  // namespace
}  // namespace lepotex
