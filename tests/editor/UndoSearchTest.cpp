// The undo history, bookmarks, search and replace. The faults here were found by review and
// by fuzzing with small undo budgets: each once corrupted memory, stored bytes a paragraph may
// not hold, changed a read-only text, or undid two changes as one.
#include <gtest/gtest.h>

#include <random>

#include "TestUtil.h"
#include "editor/ByteScan.h"
#include "editor/TextEditor.h"

namespace lepotex {
namespace {

using namespace test;

TEST_F(FileTest, TypingMergesAndTheModifiedFlagFollowsTheSavedState)
{
    TextEditor editor;
    editor.LoadFromFile(Write("text.txt", "text\r\n"));
    editor.SetCaret(ParaPos{1, 5});
    for (const char c : std::string("abc"))
        editor.TypeChar(c);
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "text") << "three letters typed are one record";
    EXPECT_FALSE(editor.Modified()) << "undone back to the loaded text";
    EXPECT_FALSE(editor.CanUndo());
    editor.Redo();

    // Backspaces merge too, and after a save every undo or redo leaves the text modified.
    editor.Backspace();
    editor.Backspace();
    editor.SaveToFile(Path("text.txt"));
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "textabc");
    EXPECT_TRUE(editor.Modified());
    editor.Redo();
    EXPECT_EQ(editor.ParaText(1), "texta");
    EXPECT_TRUE(editor.Modified());
}

TEST(Undo, ParagraphBreaksJoinsAndPastesUndoWholeAndAJoinTooLongChangesNothing)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("alpha beta\r\ngamma"), 0);
    editor.SetCaret(ParaPos{1, 7});
    editor.BreakParagraph();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha", "beta", "gamma"})) << "the blank before the break goes";
    editor.SetCaret(ParaPos{3, 1});
    editor.Backspace();
    editor.SetSelection(ParaPos{1, 3}, ParaPos{2, 5});
    editor.Paste("X\r\nY");
    EXPECT_EQ(Paragraphs(editor), (Paras{"alX", "Ygamma"}));
    for (const Paras& expected : {Paras{"alpha", "betagamma"}, {"alpha", "beta", "gamma"}, {"alpha beta", "gamma"}}) {
        editor.Undo();
        EXPECT_EQ(Paragraphs(editor), expected);
    }

    // A join, or a deleted selection, typing or pasting over it, whose remains would make one
    // paragraph too long is refused before anything changes.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(20000, 'a') + "\r\n" + std::string(20000, 'b')), 0);
    editor.SetCaret(ParaPos{2, 1});
    EXPECT_THAT([&] { editor.Backspace(); },
                ThrowsMessage<EEditorError>(
                    StrEq("Cannot join paragraphs. New paragraph size exceeds maximum paragraph size")));
    editor.SetSelection(ParaPos{1, 19000}, ParaPos{2, 2});
    EXPECT_THROW(editor.DeleteSelection(), EEditorError);
    EXPECT_THROW(editor.TypeChar('x'), EEditorError);
    EXPECT_EQ(editor.InsertText("y"), kErrJoinTooLong);
    EXPECT_EQ(editor.Text(), std::string(20000, 'a') + "\r\n" + std::string(20000, 'b'));
}

// A paragraph record that needs the room of the whole history: making room drops the history,
// and the paragraph the record was to hold must neither be lost with it nor be left behind
// under a handle nobody owns.
TEST(Undo, ParagraphRecordsSurviveTheDropOfTheWholeHistory)
{
    TextEditor paste;
    paste.Paste(std::string(10000, 'p'));
    EXPECT_FALSE(paste.CanUndo()) << "a record larger than the block empties the history";
    EXPECT_EQ(paste.ParaText(1).size(), 10000u);
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
        ExpectUndoRedoSymmetric(editor);
        EXPECT_EQ(editor.Text(), "");
    }
    // Under every small budget: CR LF CR pasted, and a join whose lower paragraph the history
    // holds, each undone and redone.
    for (int budget = 15; budget <= 200; ++budget) {
        TextEditor paste, join;
        paste.SetUndoBufferSize(budget);
        join.SetUndoBufferSize(budget);
        ASSERT_EQ(paste.InsertText("ab"), 0);
        paste.SetCaret(ParaPos{1, 2});
        paste.Paste("\r\n\r");
        ASSERT_EQ(join.InsertText("first\r\nsecond\r\nthird"), 0);
        join.SetSelection(ParaPos{1, 3}, ParaPos{3, 2});
        join.DeleteSelection();
        for (const auto& [editor, text] : {std::pair{&paste, "a\r\n\r\nb"}, {&join, "fihird"}}) {
            ExpectUndoRedoSymmetric(*editor);
            EXPECT_EQ(editor->Text(), text);
        }
    }
}

// Only a change opens a group: searches between two edits leave them two undo steps, however
// many there are, and a group never takes the number of the one it follows.
TEST(Undo, SearchesUseNoGroupNumbersAndNumbersNeverRepeatNeighbours)
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
    editor.Undo();
    EXPECT_EQ(editor.Text(), "a");

    // 256 separate changes, all but the first undone, then a new one: it must stay a step of
    // its own, not join the first.
    editor.Clear();
    for (int i = 0; i < 256; ++i) {
        editor.SetCaret(ParaPos{1, 1});
        editor.TypeChar('x');
    }
    for (int i = 0; i < 255; ++i)
        editor.Undo();
    editor.SetCaret(ParaPos{1, 1});
    editor.TypeChar('y');
    editor.Undo();
    EXPECT_EQ(editor.Text(), "x");
}

// A rebuilt text handed over in one block must leave the editor exactly as inserting each
// paragraph with its CR LF would: text, caret, flag and the undo history that survives.
TEST(Undo, ParagraphsInsertedInOneBlockUndoLikeInsertText)
{
    Paras paras;
    std::string bytes;
    for (int i = 0; i < 700; ++i) {
        paras.push_back(i % 5 == 0 ? "" : "odstavec \r" + std::to_string(i));
        bytes += paras.back();
    }
    for (const int32_t undoSize : {8192, 1000, 200000}) {
        SCOPED_TRACE(undoSize);
        TextEditor reference, bulk;
        reference.SetUndoBufferSize(undoSize);
        bulk.SetUndoBufferSize(undoSize);
        for (const std::string& para : paras)
            ASSERT_EQ(reference.InsertText(para + "\r\n"), 0);
        TextBlock block = AllocateTextBlock(bytes.size());
        std::copy(bytes.begin(), bytes.end(), block.get());
        std::vector<std::string_view> views;
        for (std::size_t at = 0; const std::string& para : paras) {
            views.emplace_back(block.get() + at, para.size());
            at += para.size();
        }
        ASSERT_EQ(bulk.InsertParagraphs(std::move(block), views), 0);
        ExpectCountsConsistent(bulk);
        for (TextEditor* editor : {&reference, &bulk}) {  // a paragraph that lives in the block, in place
            editor->SetCaret(ParaPos{2, 1});
            editor->TypeChar('x');
        }
        auto state = [](const TextEditor& e) { return std::tuple(Paragraphs(e), e.Caret(), e.Modified(), e.CanUndo()); };
        for (int step = 0;; ++step) {
            ASSERT_EQ(state(bulk), state(reference)) << "after " << step << " undos";
            if (!reference.CanUndo())
                break;
            reference.Undo();
            bulk.Undo();
        }
    }

    // Inside a paragraph it inserts as InsertText does; over the limits it inserts nothing.
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ab"), 0);
    editor.SetCaret(ParaPos{1, 2});
    ASSERT_EQ(editor.InsertParagraphs(TextBlock(), std::vector<std::string_view>{"X", "Y"}), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"aX", "Y", "b"}));
    editor.SetParaLengthLimit(3);
    editor.SetCaret(ParaPos{3, 1});
    EXPECT_EQ(editor.InsertParagraphs(TextBlock(), std::vector<std::string_view>{"X", "abcd"}), kErrParagraphTooLong);
    EXPECT_EQ(Paragraphs(editor), (Paras{"aX", "Y", "b"}));
}

// Marks move with the text, through splits and joins and their undo. A mark on deleted text
// goes with it, the first deleted character included; marks elsewhere come back to their
// places when the deletion is undone.
TEST(Bookmarks, FollowEditsAndUndoAndGoWithTheirText)
{
    using Marks = std::vector<std::pair<int, int>>;
    TextEditor editor;
    auto mark = [&](std::initializer_list<std::pair<int, ParaPos>> places) {
        for (const auto& [n, pos] : places) {
            editor.SetCaret(pos);
            editor.SetBookmark(n);
        }
    };
    auto marks = [&](std::initializer_list<int> numbers) {
        Marks out;
        for (const int n : numbers)
            out.emplace_back(editor.Bookmark(n).paraNo, editor.Bookmark(n).column);
        return out;
    };
    ASSERT_EQ(editor.InsertText("0123456789\r\nsecond\r\nthird"), 0);
    mark({{1, {1, 5}}, {9, {3, 2}}});
    editor.SetCaret(ParaPos{1, 1});
    ASSERT_EQ(editor.InsertText("xy\r\n"), 0);
    EXPECT_EQ(marks({1, 9}), (Marks{{2, 5}, {4, 2}}));
    editor.SetCaret(ParaPos{2, 3});
    editor.BreakParagraph();
    EXPECT_EQ(marks({1}), (Marks{{3, 3}}));
    editor.Backspace();
    EXPECT_EQ(marks({1}), (Marks{{2, 5}}));
    editor.Undo();
    editor.Undo();
    EXPECT_EQ(marks({1, 9}), (Marks{{2, 5}, {4, 2}}));
    editor.Redo();
    EXPECT_EQ(marks({1, 9}), (Marks{{3, 3}, {5, 2}}));

    editor.Clear();
    ASSERT_EQ(editor.InsertText("abcdef\r\n\r\nthird\r\nfourth"), 0);
    // On the first deleted character, right behind the deleted text, in front of it.
    mark({{1, {1, 3}}, {2, {1, 5}}, {3, {1, 2}}});
    editor.SetSelection(ParaPos{1, 3}, ParaPos{1, 5});
    editor.DeleteSelection();
    EXPECT_EQ(marks({1, 2, 3}), (Marks{{0, 0}, {1, 3}, {1, 2}}));
    editor.Undo();
    EXPECT_EQ(marks({1, 2, 3}), (Marks{{0, 0}, {1, 5}, {1, 2}}));

    // Whole paragraphs deleted from column 1, an empty one among them; mark 6 is in "fourth",
    // which moves up.
    mark({{4, {2, 1}}, {5, {3, 1}}, {6, {4, 4}}, {7, {1, 7}}});
    editor.SetSelection(ParaPos{2, 1}, ParaPos{4, 1});
    editor.DeleteSelection();
    EXPECT_EQ(marks({4, 5, 6, 7}), (Marks{{0, 0}, {0, 0}, {2, 4}, {1, 7}}));
    editor.Undo();
    EXPECT_EQ(marks({6, 7}), (Marks{{4, 4}, {1, 7}}));
    editor.Clear();
    EXPECT_EQ(marks({6}), (Marks{{0, 0}}));
}

// The find dialog's tests walk forward, backward, whole words and case; here what the
// core alone decides.
TEST(Search, TheCzechUpperTableAndTheFirst255Characters)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ta \x9A" "kola"), 0);  // "ta škola"
    EXPECT_TRUE(editor.Search("\x8AKOLA", SearchOptions{.global = true})) << "ŠKOLA finds škola without case";
    EXPECT_FALSE(editor.Search("\x8AKOL", SearchOptions{.matchCase = true, .global = true}));
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(255, 'z')), 0);
    EXPECT_TRUE(editor.Search(std::string(300, 'z'), SearchOptions{.global = true}));
}

TEST(Replace, ReplaceAllCountsNeverRescansAndKeepsEarlierWorkOnError)
{
    TextEditor editor;
    const SearchOptions all{.global = true, .replace = true, .replaceAll = true};
    ASSERT_EQ(editor.InsertText("abab ab"), 0);
    EXPECT_EQ(editor.Replace("ab", "x", all), 3);
    EXPECT_EQ(editor.Replace("x", "xx", all), 3);
    EXPECT_EQ(editor.ParaText(1), "xxxx xx");
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "xx x") << "a replace-all is undone as one change";

    // Replacements made before a paragraph grows too long stay and stay undoable.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("a\r\n" + std::string(32760, 'b') + "a"), 0);
    EXPECT_THAT([&] { (void)editor.Replace("a", "0123456789", all); },
                ThrowsMessage<EEditorError>(StrEq("Current operation will exceed the maximum paragraph size")));
    EXPECT_EQ(editor.ParaText(1), "0123456789");
    EXPECT_EQ(editor.ParaText(2).back(), 'a');
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "a");

    // Within the selection only, the range growing with each replacement.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("a a a a"), 0);
    editor.SetSelection(ParaPos{1, 3}, ParaPos{1, 6});
    EXPECT_EQ(editor.Replace("a", "bbb", SearchOptions{.replaceAll = true, .selectedOnly = true}), 2);
    EXPECT_EQ(editor.ParaText(1), "a bbb bbb a");
    EXPECT_EQ(editor.SelectedText(), "bbb bbb");
}

// Exact search tests many positions at once; every occurrence must still be found, at the
// start, in the middle and in the last bytes of a paragraph. So must the quick test of whether
// a text holds a pattern at all, which spares the glue's rules their pass.
TEST(Replace, ExactSearchFindsEveryOccurrenceInLongParagraphs)
{
    std::mt19937 rng(5);
    auto random = [&](int length) {
        std::string text;
        for (int i = 0; i < length; ++i)
            text += "sena"[rng() % 4];
        return text;
    };
    for (int round = 0; round < 400; ++round) {
        const std::string pattern = random(1 + round % 5);
        const std::string text = random(round % 120);
        int32_t expected = 0;
        for (std::size_t at = 0; (at = text.find(pattern, at)) != std::string::npos; at += pattern.size())
            ++expected;
        TextEditor editor;
        ASSERT_EQ(editor.InsertText(text + "\r\n" + text), 0);
        const SearchOptions all{.matchCase = true, .global = true, .replace = true, .replaceAll = true};
        ASSERT_EQ(editor.Replace(pattern, "#", all), expected == 0 ? -1 : 2 * expected) << text << " / " << pattern;
        ASSERT_EQ(Occurs(text, pattern), expected > 0) << text << " / " << pattern;
    }
}

TEST(Replace, ANulEndsInsertedTextAndReplacementsUndoAnyByte)
{
    using namespace std::string_literals;
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ab\0cd\r\nef"s), 0);
    editor.Paste("\r\nxy\0z"s);
    editor.Paste("\0tail"s);
    editor.TypeChar('\0');
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", "xy"}));
    // Search and replacement texts end at a NUL as well.
    EXPECT_EQ(editor.Replace("xy\0ab"s, "Q\0R"s, SearchOptions{.global = true, .replaceAll = true}), 1);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", "Q"}));

    // Overwriting records old and new bytes; they undo and redo exactly, whatever the bytes.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("\x01\xFF" "abc"), 0);
    editor.SetInsertMode(false);
    editor.SetCaret(ParaPos{1, 1});
    for (const char c : {'\xFF', '\x01', 'z'})
        editor.TypeChar(c);
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

TEST(Replace, AReadOnlyTextIsSearchedButNeverReplaced)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("ab ab\r\nab"), 0);
    editor.SetModified(false);
    editor.SetReadOnly(true);
    const SearchOptions all{.global = true, .replace = true, .replaceAll = true};
    EXPECT_EQ(editor.Replace("ab", "x", all), 0) << "found and selected, nothing replaced";
    EXPECT_EQ(editor.SelectedText(), "ab");
    editor.SetSelection(ParaPos{1, 4}, ParaPos{1, 6});
    EXPECT_EQ(editor.Replace("ab", "x", SearchOptions{.replace = true}), 0) << "the selection is not replaced";
    EXPECT_EQ(editor.InsertText("b\r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab ab", "ab"}));
    EXPECT_FALSE(editor.Modified());
}

// Thousands of replacements in one long paragraph re-wrap it once, not once each (which
// took seconds for a few long paragraphs); the lines are those the text wraps to all the same.
TEST(Replace, ReplaceAllInLongWrappedParagraphsLeavesTheLinesRight)
{
    const std::string para = Repeated("ab a-", 6400);
    TextEditor editor;
    ASSERT_EQ(editor.InsertText(para + "\r\n" + para + "\r\nend a"), 0);
    auto expectLinesAsIfNew = [&] {
        TextEditor fresh;
        ASSERT_EQ(fresh.InsertText(editor.Text()), 0);
        ASSERT_EQ(editor.LineCount(), fresh.LineCount());
        for (int32_t line = 1; line <= editor.LineCount(); ++line)
            ASSERT_EQ(editor.GetLine(line), fresh.GetLine(line)) << "line " << line;
    };
    EXPECT_EQ(editor.Replace("ab", "x", SearchOptions{.global = true, .replace = true, .replaceAll = true}), 12800);
    EXPECT_EQ(editor.Replace("a", "yy", SearchOptions{.backward = true, .global = true, .replaceAll = true}), 12801);
    expectLinesAsIfNew();
    editor.Undo();
    editor.Redo();
    expectLinesAsIfNew();
}

}  // namespace
}  // namespace lepotex
