#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include "TestUtil.h"

namespace lepotex {
namespace {

using namespace test;

TEST(TextEditorWrap, WrapsAt105ColumnsOnBlanksHyphensOrHard)
{
    const std::string a99(99, 'a');
    const std::string a105(105, 'a');
    const std::string b10(10, 'b');
    struct Row {
        std::string text, first, second;
    };
    const Row rows[] = {
        {std::string(300, 'a'), a105, a105},                          // no break character: cut hard
        {a99 + "   " + std::string(200, 'b'), a99 + "   ", std::string(105, 'b')},
        {a105 + "    " + b10, a105 + "    ", b10},                    // the whole run of blanks, past the width
        {std::string(50, 'a') + "-" + std::string(100, 'b'), std::string(50, 'a') + "-", std::string(100, 'b')},
        {a105 + "-  " + b10, a105 + "-  ", b10},                      // a hyphen as the 106th, blanks after it
        {std::string(14, '\t') + "x", std::string(112, ' '), "x"},    // 13 tabs reach column 104, the 14th passes 105
    };
    for (const Row& row : rows) {
        TextEditor editor;
        ASSERT_EQ(editor.InsertText(row.text), 0);
        EXPECT_EQ(editor.GetLine(1), row.first) << row.text;
        EXPECT_EQ(editor.GetLine(2), row.second) << row.text;
    }
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("a\tb"), 0);
    EXPECT_EQ(editor.GetLine(1), "a       b");
    EXPECT_EQ(editor.ParaText(1), "a\tb");
    EXPECT_THAT([&] { (void)editor.GetLine(2); },
                ThrowsMessage<EInvalidLineOrPara>(StrEq("Invalid line or paragraph index")));
}

TEST(TextEditorInsert, SegmentsLineEndsAndSplits)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("12345"), 0);
    editor.SetCaret(ParaPos{1, 3});
    ASSERT_EQ(editor.InsertText("ab\ncd"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"12ab", "cd345"}));
    EXPECT_EQ(editor.Caret(), (ParaPos{2, 3}));

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
    EXPECT_EQ(Paragraphs(editor), (Paras{"abc", "def"}));
    editor.SetCaret(ParaPos{1, 1});
    ASSERT_EQ(editor.InsertText("x  \r\n"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "abc", "def"}));

    // The selection is replaced.
    editor.SetSelection(ParaPos{2, 2}, ParaPos{3, 2});
    ASSERT_EQ(editor.InsertText("Z"), 0);
    EXPECT_EQ(Paragraphs(editor), (Paras{"x  ", "aZef"}));
    ExpectCountsConsistent(editor);
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
    std::string big;
    while (big.size() < 200000)
        big += std::string(59, 'e') + "\r\n";
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
    small.SetReadOnly(true);
    EXPECT_EQ(small.InsertText("b\r\n"), 0);
    EXPECT_EQ(Paragraphs(small), (Paras{"a", "b", "c", ""}));
}

}  // namespace
}  // namespace lepotex
