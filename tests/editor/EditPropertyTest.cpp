// Random edit sequences against the invariants every operation must keep.
#include "editor/TextEditor.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "TestUtil.h"

namespace lepotex {
namespace {

void ExpectBookmarksInsideText(const TextEditor& editor)
{
    for (int n = 0; n <= 9; ++n) {
        const ParaPos mark = editor.Bookmark(n);
        if (mark.paraNo == 0)
            continue;
        ASSERT_LE(mark.paraNo, editor.ParaCount()) << "bookmark " << n;
        ASSERT_GE(mark.column, 1);
        ASSERT_LE(mark.column, int32_t(editor.ParaText(mark.paraNo).size()) + 1) << "bookmark " << n;
    }
}

TEST(EditProperty, RandomEditsKeepCountsBookmarksAndUndoRedoSymmetry)
{
    std::mt19937 random(20260612);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    const std::string alphabet = "ab c\t-\x9A\xE8";
    for (int round = 0; round < 6; ++round) {
        TextEditor editor;
        if (round % 2 == 1) {
            // Loaded paragraphs live in the blocks they were read into until they outgrow them.
            // A name of its own on every run, so that two runs on one machine cannot meet.
            std::string path = ::testing::TempDir() + "lepotex-property-XXXXXX";
            if (const int fd = ::mkstemp(path.data()); fd >= 0)
                ::close(fd);
            std::string file;
            for (int line = 0; line < 40; ++line)
                file += std::string(size_t(pick(30)), alphabet[size_t(pick(8))]) + (pick(4) ? "\r\n" : "\r");
            std::ofstream(path, std::ios::binary) << file;
            editor.LoadFromFile(path);
            std::remove(path.c_str());
        }
        editor.SetWrapColumn(12 + round * 5);  // narrow, so wrapping and line counts get exercised
        if (round % 3 == 2)
            editor.SetWordWrap(false);
        for (int step = 0; step < 600; ++step) {
            const ParaPos somewhere{1 + pick(editor.ParaCount()), 1 + pick(40)};
            try {
                switch (pick(12)) {
                case 0:
                case 1:
                    editor.TypeChar(alphabet[size_t(pick(int(alphabet.size())))]);
                    break;
                case 2:
                    editor.Backspace();
                    break;
                case 3:
                    editor.DeleteForward();
                    break;
                case 4:
                    editor.BreakParagraph();
                    break;
                case 5:
                    editor.SetCaret(somewhere);
                    break;
                case 6: {
                    std::string paste;
                    for (int i = pick(30); i > 0; --i)
                        paste += pick(6) == 0 ? std::string("\r\n") : std::string(1, alphabet[size_t(pick(8))]);
                    editor.SetSelection(editor.Caret(), somewhere);
                    editor.Paste(paste);
                    break;
                }
                case 7:
                    (void)editor.Replace(pick(2) ? "a" : "b c", pick(2) ? "" : "xyz",
                                         SearchOptions{.global = true, .replace = true, .replaceAll = true});
                    break;
                case 8:
                    editor.Undo();
                    break;
                case 9:
                    editor.Redo();
                    break;
                case 10:
                    editor.SetBookmark(pick(10));
                    break;
                case 11:
                    editor.SetSelection(somewhere, ParaPos{1 + pick(editor.ParaCount()), 1 + pick(40)});
                    editor.DeleteSelection();
                    break;
                }
            } catch (const EEditorError&) {
                // A limit refused the change; the invariants must hold all the same.
            }
            ASSERT_NO_THROW(test::ExpectCountsConsistent(editor)) << "round " << round << " step " << step;
            ExpectBookmarksInsideText(editor);
            ASSERT_EQ(editor.ByteCount(), int32_t(editor.Text().size()));
        }

        // Undo everything still undoable, then redo it all: each text comes back byte for byte.
        while (editor.CanRedo())
            editor.Redo();
        const std::string final = editor.Text();
        std::vector<std::string> undone{final};
        while (editor.CanUndo()) {
            editor.Undo();
            undone.push_back(editor.Text());
            ASSERT_NO_THROW(test::ExpectCountsConsistent(editor));
            ExpectBookmarksInsideText(editor);
        }
        for (size_t i = undone.size() - 1; i > 0; --i) {
            ASSERT_TRUE(editor.CanRedo());
            editor.Redo();
            ASSERT_TRUE(editor.Text() == undone[i - 1]) << "round " << round << " redo " << i;
        }
        EXPECT_FALSE(editor.CanRedo());
        EXPECT_TRUE(editor.Text() == final);
    }
}

}  // namespace
}  // namespace lepotex
