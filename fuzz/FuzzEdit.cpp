// Editing sequences as a user makes them, under undo budgets from 15 to 8206 bytes, where
// the history keeps dropping its oldest groups or all of itself: after every step the counts
// agree with the text; every undo and redo comes back to a text the editor has shown;
// undoing everything returns to the start whenever the history cannot have dropped anything;
// and redoing everything then returns to the furthest state.
#include <cstdint>
#include <string>
#include <unordered_set>

#include "FuzzEditorChecks.h"
#include "FuzzInput.h"
#include "editor/TextEditor.h"

using namespace lepotex;

namespace {

// More than any group of records one step can make: a record per paragraph touched and
// per occurrence replaced, each with its header and the bytes it keeps.
int64_t RecordBound(int32_t parasBefore, int32_t bytesBefore, const TextEditor& editor)
{
    return 20 * (int64_t(bytesBefore) + editor.ByteCount()) + 64 * (int64_t(parasBefore) + editor.ParaCount() + 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    TextEditor editor;
    const int32_t budget = 15 + in.Below(8192);
    editor.SetUndoBufferSize(budget);
    editor.SetWrapColumn(1 + in.Below(120));
    if (in.Byte() % 4 == 0)
        editor.SetParaLengthLimit(1 + in.Below(300));

    std::unordered_set<std::string> seen{editor.Text()};
    int64_t recorded = 0;       // bound on the bytes the history was asked to keep
    bool markedSaved = false;   // SetModified(false) on a modified text: undo no longer clears it
    for (int step = 0; step < 400 && !in.Empty(); ++step) {
        const std::string before = editor.Text();
        const int32_t parasBefore = editor.ParaCount();
        const int32_t bytesBefore = editor.ByteCount();
        const bool modifiedBefore = editor.Modified();
        const bool readOnly = in.Byte() % 16 == 0;
        editor.SetReadOnly(readOnly);
        const uint8_t op = in.Byte();
        try {
            switch (op % 20) {
            case 0: case 1: case 2: editor.TypeChar(char(in.Byte())); break;
            case 3: editor.Backspace(); break;
            case 4: editor.DeleteForward(); break;
            case 5: editor.BreakParagraph(); break;
            case 6: editor.SetCaret(ParaPos{1 + in.Below(editor.ParaCount()), 1 + in.Below(300)}); break;
            case 7: {
                const ParaPos anchor{1 + in.Below(editor.ParaCount()), 1 + in.Below(300)};
                editor.SetSelection(anchor, ParaPos{1 + in.Below(editor.ParaCount()), 1 + in.Below(300)});
                break;
            }
            case 8: editor.Paste(in.Text(64)); break;
            case 9: (void)editor.Cut(); break;
            case 10: case 11: editor.Undo(); break;
            case 12: editor.Redo(); break;
            case 13: editor.SetBookmark(in.Below(11)); break;
            case 14: editor.GotoBookmark(in.Below(11)); break;
            case 15: in.Flag() ? editor.SetWordWrap(!editor.WordWrap()) : editor.SetWrapColumn(1 + in.Below(120)); break;
            case 16: editor.SetInsertMode(!editor.InsertMode()); break;
            case 17: {
                const std::string s(in.Text(8));
                const std::string r(in.Text(8));
                (void)editor.Replace(s, r, SearchOptions::FromFlags(in.Byte()));
                break;
            }
            case 18: (void)editor.InsertText(in.Text(64)); break;
            case 19:
                if (in.Flag()) {
                    markedSaved = markedSaved || editor.Modified();
                    editor.SetModified(false);
                } else {
                    editor.SelectAll();
                }
                break;
            }
        } catch (const EEditorError&) {
            // A limit refused the step; what it did before stays, and the invariants hold.
        }
        fuzz::CheckEditor(editor);
        std::string after = editor.Text();
        if (readOnly) {
            FUZZ_CHECK(after == before);
            FUZZ_CHECK(op % 20 == 19 || editor.Modified() == modifiedBefore);
        }
        if (op % 20 == 10 || op % 20 == 11 || op % 20 == 12)
            FUZZ_CHECK(seen.count(after) != 0);
        else
            recorded += RecordBound(parasBefore, bytesBefore, editor);
        seen.insert(std::move(after));
    }
    editor.SetReadOnly(false);

    // The furthest state the history reaches, then all the way back and forth again.
    while (editor.CanRedo()) {
        editor.Redo();
        fuzz::CheckEditor(editor);
        FUZZ_CHECK(seen.count(editor.Text()) != 0);
    }
    const std::string end = editor.Text();
    while (editor.CanUndo()) {
        editor.Undo();
        fuzz::CheckEditor(editor);
        FUZZ_CHECK(seen.count(editor.Text()) != 0);
    }
    if (recorded <= budget) {
        FUZZ_CHECK(editor.Text().empty());
        FUZZ_CHECK(markedSaved || !editor.Modified());
    }
    while (editor.CanRedo()) {
        editor.Redo();
        fuzz::CheckEditor(editor);
    }
    FUZZ_CHECK(editor.Text() == end);
    return 0;
}
