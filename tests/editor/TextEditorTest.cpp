#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestUtil.h"

namespace lepotex {
namespace {

using test::Paragraphs;
using Paras = std::vector<std::string>;

TEST(TextEditorBuffer, FreshAndClearedEditorHoldOneEmptyParagraph)
{
    TextEditor editor;
    for (int round = 0; round < 2; ++round) {
        EXPECT_EQ(editor.ParaCount(), 1);
        EXPECT_EQ(editor.LineCount(), 1);
        EXPECT_EQ(editor.ByteCount(), 0);
        EXPECT_EQ(editor.GetLine(1), "");
        EXPECT_FALSE(editor.Modified());
        EXPECT_THROW((void)editor.GetLine(0), EInvalidLineOrPara);
        try {
            (void)editor.GetLine(2);
            FAIL();
        } catch (const EInvalidLineOrPara& e) {
            EXPECT_STREQ(e.what(), "Invalid line or paragraph index");
        }
        ASSERT_EQ(editor.InsertText("abc\r\ndef"), 0);
        EXPECT_TRUE(editor.Modified());
        editor.Clear();
    }
    EXPECT_EQ(editor.Caret(), (ParaPos{1, 1}));
    EXPECT_FALSE(editor.CanUndo());
}

TEST(TextEditorWrap, WrapsAt105ColumnsOnBlanksHyphensOrHard)
{
    TextEditor editor;
    ASSERT_TRUE(editor.WordWrap());
    ASSERT_EQ(editor.WrapColumn(), 105);

    // 300 letters without a break character: cut hard.
    ASSERT_EQ(editor.InsertText(std::string(300, 'a')), 0);
    EXPECT_EQ(editor.LineCount(), 3);
    EXPECT_EQ(editor.GetLine(1).size(), 105u);
    EXPECT_EQ(editor.GetLine(2).size(), 105u);
    EXPECT_EQ(editor.GetLine(3).size(), 90u);

    // A space at position 100 (and the spaces after it) ends the first line.
    editor.Clear();
    std::string text = std::string(99, 'a') + "   " + std::string(200, 'b');
    ASSERT_EQ(editor.InsertText(text), 0);
    EXPECT_EQ(editor.GetLine(1), std::string(99, 'a') + "   ");
    EXPECT_EQ(editor.GetLine(2), std::string(105, 'b'));

    // The 106th character is a space: 105 characters plus the whole run of spaces, even past the width.
    editor.Clear();
    text = std::string(105, 'a') + "    " + std::string(10, 'b');
    ASSERT_EQ(editor.InsertText(text), 0);
    EXPECT_EQ(editor.GetLine(1), std::string(105, 'a') + "    ");
    EXPECT_EQ(editor.GetLine(2), std::string(10, 'b'));

    // A hyphen in the first 105 characters ends the line after it; also when it is the 106th.
    editor.Clear();
    text = std::string(50, 'a') + "-" + std::string(100, 'b');
    ASSERT_EQ(editor.InsertText(text), 0);
    EXPECT_EQ(editor.GetLine(1), std::string(50, 'a') + "-");
    EXPECT_EQ(editor.GetLine(2), std::string(100, 'b'));
    editor.Clear();
    text = std::string(105, 'a') + "-  " + std::string(10, 'b');
    ASSERT_EQ(editor.InsertText(text), 0);
    EXPECT_EQ(editor.GetLine(1), std::string(105, 'a') + "-  ") << "the blanks after a hyphen stay above";
    EXPECT_EQ(editor.GetLine(2), std::string(10, 'b'));
}

TEST(TextEditorWrap, TabsCountToTheNextStopAndSwitchingWrapKeepsText)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("a\tb"), 0);
    EXPECT_EQ(editor.GetLine(1), "a       b");
    EXPECT_EQ(editor.ParaText(1), "a\tb");

    // 13 tabs reach column 104, a 14th would pass 105: the width counts display columns.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(14, '\t') + "x"), 0);
    EXPECT_EQ(editor.LineCount(), 2);
    EXPECT_EQ(editor.GetLine(1), std::string(104, ' ') + std::string(8, ' ')) << "blanks at the break stay above";

    editor.Clear();
    const std::string para(32767, 'x');
    ASSERT_EQ(editor.InsertText(para + "\r\n" + std::string(500, 'y')), 0);
    EXPECT_EQ(editor.ParaCount(), 2);
    EXPECT_GT(editor.LineCount(), 300);
    editor.SetWordWrap(false);
    EXPECT_EQ(editor.LineCount(), editor.ParaCount());
    EXPECT_TRUE(editor.GetLine(1) == para);
    editor.SetWordWrap(true);
    EXPECT_TRUE(editor.ParaText(1) == para);
    EXPECT_EQ(editor.ParaCount(), 2);
    test::ExpectCountsConsistent(editor);
}

TEST(TextEditorInsert, SegmentsLineEndsAndSplits)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("x\r\ny\r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x", "y", ""}));
    EXPECT_EQ(editor.Caret(), (ParaPos{3, 1}));
    EXPECT_EQ(editor.ByteCount(), 6);

    editor.Clear();
    ASSERT_EQ(editor.InsertText("12345"), 0);
    editor.SetCaret(ParaPos{1, 3});
    ASSERT_EQ(editor.InsertText("ab\ncd"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"12ab", "cd345"}));
    EXPECT_EQ(editor.Caret(), (ParaPos{2, 3}));

    // A lone CR inside stays text; CRs at the very end count as a line end.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("12345"), 0);
    editor.SetCaret(ParaPos{1, 3});
    ASSERT_EQ(editor.InsertText("a\rb"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"12a\rb345"}));
    editor.Clear();
    ASSERT_EQ(editor.InsertText("ab\r\r"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"ab", ""}));

    // Splitting removes the blanks before the split point; at column 1 nothing is trimmed.
    editor.Clear();
    ASSERT_EQ(editor.InsertText("abcdef"), 0);
    editor.SetCaret(ParaPos{1, 4});
    ASSERT_EQ(editor.InsertText(" \t \r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"abc", "def"}));
    editor.SetCaret(ParaPos{1, 1});
    ASSERT_EQ(editor.InsertText("x  \r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "abc", "def"}));

    // The selection is replaced.
    editor.SetSelection(ParaPos{2, 2}, ParaPos{3, 2});
    ASSERT_EQ(editor.InsertText("Z"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "aZef"}));
    test::ExpectCountsConsistent(editor);
}

TEST(TextEditorInsert, LimitsRefuseWithoutInsertingTheSegment)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("keep"), 0);
    editor.SetCaret(ParaPos{1, 1});
    EXPECT_EQ(editor.InsertText(std::string(40000, 'a') + "\r\n"), kErrParagraphTooLong);
    EXPECT_EQ(Paragraphs(editor), (Paras{"keep"}));

    // Earlier segments stay; the failing one and all after it are not inserted.
    EXPECT_EQ(editor.InsertText("ok\r\n" + std::string(32768, 'b') + "\r\nlater\r\n"), kErrParagraphTooLong);
    EXPECT_TRUE(Paragraphs(editor) == (Paras{"ok", "keep"}));

    // Exactly at the limit is fine; one byte into a full paragraph is not.
    editor.Clear();
    ASSERT_EQ(editor.InsertText(std::string(32767, 'c')), 0);
    EXPECT_EQ(editor.InsertText("d"), kErrParagraphTooLong);
    EXPECT_EQ(editor.ParaText(1).size(), 32767u);

    // Chunks of over 61440 bytes work, and do not split a CR LF pair.
    editor.Clear();
    std::string big;
    while (big.size() < 200000)
        big += std::string(59, 'e') + "\r\n";
    ASSERT_EQ(editor.InsertText(big), 0);
    EXPECT_TRUE(editor.Text() == big);
    test::ExpectCountsConsistent(editor);

    TextEditor small;
    small.SetParaLimit(3);
    EXPECT_EQ(small.InsertText("a\r\nb\r\nc\r\nd\r\n"), kErrTooManyParagraphs);
    EXPECT_EQ(Paragraphs(small), (Paras{"a", "b", "c", ""})) << "the empty last paragraph does not count";
    TextEditor tiny;
    tiny.SetByteLimit(10);
    EXPECT_EQ(tiny.InsertText("0123456789x"), kErrTextTooLarge);
    EXPECT_EQ(tiny.ByteCount(), 0);
    tiny.SetParaLengthLimit(0);  // ignored
    tiny.SetParaLengthLimit(40000);
    EXPECT_EQ(tiny.ParaLengthLimit(), 32767);

    TextEditor readOnly;
    ASSERT_EQ(readOnly.InsertText("a"), 0);
    readOnly.SetReadOnly(true);
    EXPECT_EQ(readOnly.InsertText("b\r\n"), 0);
    EXPECT_EQ(Paragraphs(readOnly), (Paras{"a"}));

    EXPECT_STREQ(EditorErrorMessage(266), "Cannot join paragraphs. New paragraph size exceeds maximum paragraph size");
    EXPECT_STREQ(EditorErrorMessage(1), "Unknown Error condition");
}

TEST(TextEditorCaret, DisplayLineAndColumnFollowWrapAndTabs)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText(std::string(110, 'a') + "\r\n\tb"), 0);
    EXPECT_EQ(editor.GetCaretPosition(), (CaretPosition{3, 3}));
    EXPECT_EQ(editor.CaretDisplayColumn(), 10);
    editor.SetCaret(ParaPos{1, 106});
    EXPECT_EQ(editor.GetCaretPosition(), (CaretPosition{2, 1})) << "a caret on a wrap point stands below";
    EXPECT_EQ(editor.PosFromDisplay(3, 9), (ParaPos{2, 2}));
    EXPECT_EQ(editor.ParaOfLine(3), 2);
    EXPECT_EQ(editor.FirstLineOfPara(2), 3);

    int posted = 0;
    std::vector<std::pair<int, int>> shown;
    editor.OnStatusPosted = [&] { ++posted; };
    editor.OnShowStatus = [&](int32_t line, int32_t column) { shown.emplace_back(line, column); };
    editor.DeliverShowStatus();
    shown.clear();
    editor.SetCaret(ParaPos{2, 3});
    editor.SetCaret(ParaPos{2, 2});
    EXPECT_EQ(posted, 1) << "the status is posted once until delivered";
    EXPECT_TRUE(shown.empty());
    editor.DeliverShowStatus();
    EXPECT_EQ(shown, (std::vector<std::pair<int, int>>{{3, 9}}));
}

TEST(TextEditorEvents, UserEditsRaiseOnChangeProgramCallsDoNot)
{
    TextEditor editor;
    int changes = 0;
    std::vector<int32_t> tops;
    editor.OnChange = [&] { ++changes; };
    editor.OnTopLineChanged = [&](int32_t line) { tops.push_back(line); };

    ASSERT_EQ(editor.InsertText("one\r\ntwo"), 0);
    (void)editor.Replace("one", "1", SearchOptions{.global = true, .replaceAll = true});
    editor.Undo();
    editor.Redo();
    editor.SetModified(false);
    EXPECT_EQ(changes, 0);

    editor.TypeChar('x');
    editor.Backspace();
    editor.BreakParagraph();
    editor.SelectAll();
    (void)editor.Cut();
    editor.Paste("pasted");
    EXPECT_EQ(changes, 5);

    editor.SetVisibleRows(3);
    ASSERT_EQ(editor.InsertText(std::string(20, '\n')), 0);
    EXPECT_FALSE(tops.empty());
    EXPECT_GT(editor.TopLine(), 1) << "the caret is kept in view";
    tops.clear();
    editor.Clear();
    EXPECT_EQ(tops, (std::vector<int32_t>{1}));
}

}  // namespace
}  // namespace lepotex
