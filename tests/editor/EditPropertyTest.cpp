// Random edit sequences against the invariants every operation must keep.
#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <random>

#include "TestUtil.h"

namespace lepotex {
namespace {

using namespace test;

void ExpectInvariants(const TextEditor& editor)
{
    ASSERT_NO_THROW(ExpectCountsConsistent(editor));
    ASSERT_EQ(editor.ByteCount(), int32_t(editor.Text().size()));
    for (int n = 0; n <= 9; ++n) {
        const ParaPos mark = editor.Bookmark(n);
        ASSERT_TRUE(mark.paraNo == 0 || (mark.paraNo <= editor.ParaCount() && mark.column >= 1 &&
                                         mark.column <= int32_t(editor.ParaText(mark.paraNo).size()) + 1))
            << "bookmark " << n;
    }
}

class EditProperty : public FileTest {};

TEST_F(EditProperty, RandomEditsKeepCountsBookmarksAndUndoRedoSymmetry)
{
    std::mt19937 random(20260612);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const std::string alphabet = "ab c\t-\x9A\xE8";
    auto letters = [&](int n, bool lineEnds) {
        std::string text;
        for (; n > 0; --n)
            text += lineEnds && pick(6) == 0 ? std::string("\r\n") : std::string(1, alphabet[size_t(pick(8))]);
        return text;
    };
    for (int round = 0; round < 6; ++round) {
        TextEditor editor;
        if (round % 2 == 1) {  // loaded paragraphs live in the blocks they were read into until they outgrow them
            std::string file;
            for (int line = 0; line < 40; ++line)
                file += std::string(size_t(pick(30)), alphabet[size_t(pick(8))]) + (pick(4) ? "\r\n" : "\r");
            editor.LoadFromFile(Write("loaded.txt", file));
        }
        editor.SetWrapColumn(12 + round * 5);  // narrow, so that wrapping and line counts get exercised
        editor.SetWordWrap(round % 3 != 2);
        for (int step = 0; step < 600; ++step) {
            const ParaPos somewhere{1 + pick(editor.ParaCount()), 1 + pick(40)};
            try {
                switch (pick(12)) {
                case 0: case 1: editor.TypeChar(letters(1, false)[0]); break;
                case 2: editor.Backspace(); break;
                case 3: editor.DeleteForward(); break;
                case 4: editor.BreakParagraph(); break;
                case 5: editor.SetCaret(somewhere); break;
                case 6:
                    editor.SetSelection(editor.Caret(), somewhere);
                    editor.Paste(letters(pick(30), true));
                    break;
                case 7:
                    (void)editor.Replace(pick(2) ? "a" : "b c", pick(2) ? "" : "xyz",
                                         SearchOptions{.global = true, .replace = true, .replaceAll = true});
                    break;
                case 8: editor.Undo(); break;
                case 9: editor.Redo(); break;
                case 10: editor.SetBookmark(pick(10)); break;
                case 11:
                    editor.SetSelection(somewhere, ParaPos{1 + pick(editor.ParaCount()), 1 + pick(40)});
                    editor.DeleteSelection();
                    break;
                }
            } catch (const EEditorError&) {
                // A limit refused the change; the invariants hold all the same.
            }
            ASSERT_NO_FATAL_FAILURE(ExpectInvariants(editor)) << "round " << round << " step " << step;
        }
        ASSERT_NO_FATAL_FAILURE(ExpectUndoRedoSymmetric(editor)) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
