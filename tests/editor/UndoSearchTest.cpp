#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <stdlib.h>

#include "TestUtil.h"

namespace lepotex {
namespace {

using test::Paragraphs;
using Paras = std::vector<std::string>;

TEST(Undo, TypingMergesAndTheModifiedFlagFollowsTheSavedState)
{
    std::string folder = (std::filesystem::temp_directory_path() / "lepotex-undo-XXXXXX").string();
    ASSERT_NE(::mkdtemp(folder.data()), nullptr);  // a name of its own on every run
    const std::string path = folder + "/text.txt";
    std::ofstream(path, std::ios::binary) << "text\r\n";
    TextEditor editor;
    editor.LoadFromFile(path);
    editor.SetCaret(ParaPos{1, 5});
    editor.TypeChar('a');
    editor.TypeChar('b');
    editor.TypeChar('c');
    EXPECT_EQ(editor.ParaText(1), "textabc");
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "text") << "three letters typed are one record";
    EXPECT_FALSE(editor.Modified()) << "undone back to the loaded text";
    EXPECT_FALSE(editor.CanUndo());
    editor.Redo();
    EXPECT_EQ(editor.ParaText(1), "textabc");
    EXPECT_TRUE(editor.Modified());

    // Backspaces merge too, and after a save every undo or redo leaves the text modified.
    editor.Backspace();
    editor.Backspace();
    editor.SaveToFile(path);
    EXPECT_FALSE(editor.Modified());
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "textabc");
    EXPECT_TRUE(editor.Modified());
    editor.Redo();
    EXPECT_EQ(editor.ParaText(1), "texta");
    EXPECT_TRUE(editor.Modified());
    std::filesystem::remove_all(folder);

    int beeps = 0;
    editor.OnBeep = [&] { ++beeps; };
    editor.Redo();
    EXPECT_EQ(beeps, 1);
    editor.SetReadOnly(true);
    EXPECT_FALSE(editor.CanUndo());
}

TEST(Undo, ParagraphBreaksJoinsAndPastesUndoWhole)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("alpha beta\r\ngamma"), 0);
    editor.SetCaret(ParaPos{1, 7});
    editor.BreakParagraph();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha", "beta", "gamma"})) << "the blank before the break goes";
    editor.SetCaret(ParaPos{3, 1});
    editor.Backspace();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha", "betagamma"}));
    editor.SetSelection(ParaPos{1, 3}, ParaPos{2, 5});
    editor.Paste("X\r\nY");
    EXPECT_EQ(Paragraphs(editor), (Paras{"alX", "Ygamma"}));
    editor.Undo();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha", "betagamma"}));
    editor.Undo();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha", "beta", "gamma"}));
    editor.Undo();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alpha beta", "gamma"}));
    editor.Redo();
    editor.Redo();
    editor.Redo();
    EXPECT_EQ(Paragraphs(editor), (Paras{"alX", "Ygamma"}));
    test::ExpectCountsConsistent(editor);

    // Joining over the paragraph limit is refused with 266 and changes nothing.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(20000, 'a') + "\r\n" + std::string(20000, 'b')), 0);
    editor.SetCaret(ParaPos{2, 1});
    try {
        editor.Backspace();
        FAIL();
    } catch (const EEditorError& e) {
        EXPECT_STREQ(e.what(), "Cannot join paragraphs. New paragraph size exceeds maximum paragraph size");
    }
    EXPECT_EQ(editor.ParaCount(), 2);
    // The same for a selection whose remains would make one paragraph too long; typing over it
    // and pasting over it are refused alike, and nothing is deleted.
    editor.SetSelection(ParaPos{1, 19000}, ParaPos{2, 2});
    EXPECT_THROW(editor.DeleteSelection(), EEditorError);
    EXPECT_THROW(editor.TypeChar('x'), EEditorError);
    EXPECT_EQ(editor.InsertText("y"), kErrJoinTooLong);
    EXPECT_EQ(editor.ParaText(1).size(), 20000u);
    EXPECT_EQ(editor.ParaText(2).size(), 20000u);
}

TEST(Undo, TheBlockStaysBoundedDroppingOldGroupsOrEverything)
{
    TextEditor editor;
    editor.Paste(std::string(10000, 'p'));
    EXPECT_FALSE(editor.CanUndo()) << "a record larger than the block empties the history";
    EXPECT_EQ(editor.ParaText(1).size(), 10000u);

    // Many small separate changes: the oldest are dropped in batches, the newest stay undoable.
    editor.Clear();
    for (int i = 0; i < 2000; ++i) {
        editor.SetCaret(ParaPos{1, 1});
        editor.TypeChar(char('a' + i % 26));
        editor.SetCaret(editor.EndOfText());
        ASSERT_EQ(editor.InsertText("x"), 0);  // a group of its own, so nothing merges
    }
    int undone = 0;
    while (editor.CanUndo()) {
        editor.Undo();
        ++undone;
    }
    EXPECT_GT(undone, 300);
    EXPECT_LT(undone, 600);
    EXPECT_EQ(editor.ParaText(1).size(), size_t(4000 - undone));
}

// A rebuilt text handed over in one block must leave the editor exactly as inserting each
// paragraph with its CR LF would: text, caret, flag and the undo history that survives.
TEST(Undo, ParagraphsInsertedInOneBlockUndoLikeInsertText)
{
    std::vector<std::string> paras;
    for (int i = 0; i < 700; ++i)
        paras.push_back(i % 5 == 0 ? "" : "odstavec \r" + std::to_string(i));
    std::string bytes;
    for (const std::string& para : paras)
        bytes += para;
    std::vector<std::string_view> views;
    TextBlock block = AllocateTextBlock(bytes.size());
    std::copy(bytes.begin(), bytes.end(), block.get());
    for (std::size_t at = 0; const std::string& para : paras) {
        views.emplace_back(block.get() + at, para.size());
        at += para.size();
    }

    for (const int32_t undoSize : {8192, 1000, 200000}) {
        SCOPED_TRACE(undoSize);
        TextEditor reference;
        TextEditor bulk;
        reference.SetUndoBufferSize(undoSize);
        bulk.SetUndoBufferSize(undoSize);
        for (const std::string& para : paras)
            ASSERT_EQ(reference.InsertText(para + "\r\n"), 0);
        TextBlock copy = AllocateTextBlock(bytes.size());
        std::copy(bytes.begin(), bytes.end(), copy.get());
        std::vector<std::string_view> copyViews;
        for (std::string_view view : views)
            copyViews.emplace_back(copy.get() + (view.data() - block.get()), view.size());
        ASSERT_EQ(bulk.InsertParagraphs(std::move(copy), copyViews), 0);
        test::ExpectCountsConsistent(bulk);
        // Editing a paragraph that lives in the block, in place.
        for (TextEditor* editor : {&reference, &bulk}) {
            editor->SetCaret(ParaPos{2, 1});
            editor->TypeChar('x');
        }
        EXPECT_EQ(bulk.ParaText(2).substr(0, 2), "xo");
        for (int step = 0;; ++step) {
            ASSERT_EQ(Paragraphs(bulk), Paragraphs(reference)) << "after " << step << " undos";
            ASSERT_EQ(bulk.Caret(), reference.Caret());
            ASSERT_EQ(bulk.Modified(), reference.Modified());
            ASSERT_EQ(bulk.CanUndo(), reference.CanUndo());
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
    const std::vector<std::string_view> parts = {"X", "Y"};
    ASSERT_EQ(editor.InsertParagraphs(TextBlock(), parts), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"aX", "Y", "b"}));
    editor.SetParaLengthLimit(3);
    editor.SetCaret(ParaPos{3, 1});
    const std::vector<std::string_view> tooLong = {"X", "abcd"};
    EXPECT_EQ(editor.InsertParagraphs(TextBlock(), tooLong), kErrParagraphTooLong);
    EXPECT_EQ(Paragraphs(editor), (Paras{"aX", "Y", "b"}));
}

TEST(Bookmarks, FollowEditsAndAreUnsetWithTheirText)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("0123456789\r\nsecond\r\nthird"), 0);
    editor.SetCaret(ParaPos{1, 5});
    editor.SetBookmark(1);
    editor.SetCaret(ParaPos{2, 3});
    editor.SetBookmark(3);
    editor.SetCaret(ParaPos{3, 2});
    editor.SetBookmark(9);
    editor.SetBookmark(10);  // ignored

    editor.SetCaret(ParaPos{1, 1});
    ASSERT_EQ(editor.InsertText("xy"), 0);
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{1, 7}));
    ASSERT_EQ(editor.InsertText("\r\n"), 0);  // a paragraph in front: everything moves down
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{2, 5}));
    EXPECT_EQ(editor.Bookmark(9), (ParaPos{4, 2}));
    editor.SetCaret(ParaPos{2, 3});
    editor.BreakParagraph();  // split before the bookmark
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{3, 3}));
    editor.Backspace();  // and joined back
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{2, 5}));
    // Undoing the join splits again, undoing the break joins again: the marks go along.
    editor.Undo();
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{3, 3}));
    EXPECT_EQ(editor.Bookmark(9), (ParaPos{5, 2}));
    editor.Undo();
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{2, 5}));
    editor.Redo();
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{3, 3}));
    editor.Redo();
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{2, 5}));
    EXPECT_EQ(editor.Bookmark(9), (ParaPos{4, 2}));

    // Deleting the paragraph that holds bookmark 3 unsets it; Goto then does nothing.
    editor.SetSelection(ParaPos{3, 1}, ParaPos{4, 1});
    editor.DeleteSelection();
    EXPECT_EQ(editor.Bookmark(3), (ParaPos{0, 0}));
    EXPECT_EQ(editor.Bookmark(9), (ParaPos{3, 2}));
    editor.SetCaret(ParaPos{1, 1});
    editor.GotoBookmark(3);
    EXPECT_EQ(editor.Caret(), (ParaPos{1, 1}));
    editor.GotoBookmark(9);
    EXPECT_EQ(editor.Caret(), (ParaPos{3, 2}));
    editor.Clear();
    EXPECT_EQ(editor.Bookmark(1), (ParaPos{0, 0}));
}

TEST(Search, WholeWordsCaseAndTheCzechUpperTable)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("senator sena, Sena\r\nsena"), 0);
    const SearchOptions exact{.matchCase = true, .global = true, .wholeWord = true};
    ASSERT_TRUE(editor.Search("sena", exact));
    EXPECT_EQ(editor.SelStart(), (ParaPos{1, 9}));
    EXPECT_EQ(editor.Caret(), (ParaPos{1, 13}));
    ASSERT_TRUE(editor.Search("sena", SearchOptions{.matchCase = true, .wholeWord = true}));
    EXPECT_EQ(editor.SelStart(), (ParaPos{2, 1})) << "from the caret: skips Sena, finds the next paragraph";
    EXPECT_FALSE(editor.Search("sena", SearchOptions{.matchCase = true, .wholeWord = true}));

    editor.Clear();
    ASSERT_EQ(editor.InsertText("ta \x9A" "kola"), 0);  // "ta škola"
    EXPECT_TRUE(editor.Search("\x8AKOLA", SearchOptions{.global = true})) << "ŠKOLA finds škola without case";
    EXPECT_FALSE(editor.Search("\x8AKOL", SearchOptions{.matchCase = true, .global = true}));
    EXPECT_TRUE(editor.Search("", SearchOptions{}));
    EXPECT_EQ(editor.ParaText(1), "ta \x9A" "kola");

    // Only the first 255 characters are searched for.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(255, 'z')), 0);
    EXPECT_TRUE(editor.Search(std::string(300, 'z'), SearchOptions{.global = true}));

    // Backward from the end, then on towards the start, then nothing.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("ab ab\r\nab"), 0);
    const SearchOptions back{.backward = true};
    ASSERT_TRUE(editor.Search("ab", back));
    EXPECT_EQ(editor.Caret(), (ParaPos{2, 1}));
    ASSERT_TRUE(editor.Search("ab", back));
    EXPECT_EQ(editor.Caret(), (ParaPos{1, 4}));
    ASSERT_TRUE(editor.Search("ab", back));
    EXPECT_EQ(editor.Caret(), (ParaPos{1, 1}));
    EXPECT_FALSE(editor.Search("ab", back));
}

TEST(Replace, ReplaceAllCountsNeverRescansAndKeepsEarlierWorkOnError)
{
    TextEditor editor;
    const SearchOptions all{.global = true, .replace = true, .replaceAll = true};
    ASSERT_EQ(editor.InsertText("abab ab"), 0);
    EXPECT_EQ(editor.Replace("ab", "x", all), 3);
    EXPECT_EQ(editor.ParaText(1), "xx x");
    EXPECT_EQ(editor.Replace("ab", "x", all), -1);
    EXPECT_EQ(editor.Replace("x", "xx", all), 3);
    EXPECT_EQ(editor.ParaText(1), "xxxx xx");
    editor.Undo();
    EXPECT_EQ(editor.ParaText(1), "xx x") << "a replace-all is undone as one change";

    // Replace one: the selected occurrence is replaced and the next one selected.
    editor.SetCaret(ParaPos{1, 1});
    ASSERT_TRUE(editor.Search("x", SearchOptions{}));
    EXPECT_EQ(editor.Replace("x", "yy", SearchOptions{.replace = true}), 1);
    EXPECT_EQ(editor.ParaText(1), "yyx x");
    EXPECT_EQ(editor.SelectedText(), "x");
    EXPECT_EQ(editor.Replace("x", "", SearchOptions{.replace = true}), 1);
    EXPECT_EQ(editor.ParaText(1), "yy x") << "an empty replacement deletes the selection";

    // 268: replacements made before it stay and stay undoable.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("a\r\n" + std::string(32760, 'b') + "a"), 0);
    try {
        (void)editor.Replace("a", "0123456789", all);
        FAIL();
    } catch (const EEditorError& e) {
        EXPECT_STREQ(e.what(), "Current operation will exceed the maximum paragraph size");
    }
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
// start, in the middle and in the last bytes of a paragraph.
TEST(Replace, ExactSearchFindsEveryOccurrenceInLongParagraphs)
{
    std::mt19937 rng(5);
    std::uniform_int_distribution<int> letter(0, 3);
    for (int round = 0; round < 400; ++round) {
        auto random = [&](int length) {
            std::string text;
            for (int i = 0; i < length; ++i)
                text += "sena"[letter(rng)];
            return text;
        };
        const std::string pattern = random(1 + round % 5);
        const std::string text = random(round % 120);
        std::size_t expected = 0;
        for (std::size_t at = 0; (at = text.find(pattern, at)) != std::string::npos; at += pattern.size())
            ++expected;
        TextEditor editor;
        ASSERT_EQ(editor.InsertText(text + "\r\n" + text), 0);
        const int32_t count = editor.Replace(pattern, "#", SearchOptions{.matchCase = true, .global = true, .replace = true, .replaceAll = true});
        ASSERT_EQ(count, expected == 0 ? -1 : int32_t(2 * expected)) << text << " / " << pattern;  // -1: not found
    }
}

}  // namespace
}  // namespace lepotex
