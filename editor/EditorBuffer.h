#pragma once
// The editor's buffer, shared by the core's own source files only.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "editor/Partitioning.h"
#include "editor/SplitVector.h"
#include "editor/TextBlock.h"
#include "editor/TextEditor.h"
#include "editor/UndoHistory.h"

namespace lepotex {

// The replaceable part of the editor: Clear and a successful load swap in a new one.
struct TextEditor::Buffer {
    explicit Buffer(int32_t undoSize) : undo(undoSize)
    {
        bookmarks.fill(ParaPos{0, 0});
        paras.Insert(0, Paragraph());
        lines.InsertPartition(0, 0);
        lines.AddToPartition(0, 1);
    }
    // The blocks a loaded file was read into; paragraphs point into them until first changed,
    // so they are declared first and freed last.
    std::vector<TextBlock> blocks;
    // The NULs a mapped block showed when it was read (the block, the offset in the file).
    std::vector<std::pair<const char*, std::size_t>> mappedNuls;
    SplitVector<Paragraph> paras;  // invariant: never empty
    Partitioning lines;            // partition i: the display lines of paragraph i + 1
    int64_t textBytes = 0;         // sum of the paragraph lengths
    bool modified = false;
    // No paragraph holds a tab, CR or LF: known from the load, forgotten at the first change.
    bool plainText = false;
    std::array<ParaPos, 10> bookmarks;  // {0, 0}: unset
    // While a replace-all, an undo or a redo runs, the paragraph they keep changing is
    // re-wrapped once when they move on, not after every change: each re-wrap walks the whole
    // paragraph, so thousands of replacements in one long paragraph would take quadratic time.
    int deferWraps = 0;
    int32_t wrapPending = 0;  // the paragraph whose re-wrap is due, 0 when none
    UndoHistory undo;

    int32_t ParaCount() const { return int32_t(paras.Length()); }
    int64_t ByteCount() const { return textBytes + 2 * (int64_t(paras.Length()) - 1); }

    // Puts a paragraph at index, wrapped; structure and counts only, no undo, no bookmarks.
    void Put(int32_t index, Paragraph para, int32_t wrapWidth, int32_t tabSize)
    {
        textBytes += int64_t(para.text.size());
        para.Wrap(wrapWidth, tabSize);
        const int32_t lineCount = para.LineCount();
        paras.Insert(index, std::move(para));
        lines.InsertPartition(index, lines.PositionFromPartition(index));
        lines.AddToPartition(index, lineCount);
    }

    // A loaded line goes in front of the last (empty) paragraph.
    void AppendLoaded(Paragraph para, int32_t wrapWidth, int32_t tabSize)
    {
        Put(ParaCount() - 1, std::move(para), wrapWidth, tabSize);
    }
};

// Puts re-wraps off for its lifetime; the last one due is done when it ends.
struct DeferredWraps {
    explicit DeferredWraps(TextEditor& editor) : editor(editor) { ++editor.buffer->deferWraps; }
    ~DeferredWraps()
    {
        if (--editor.buffer->deferWraps == 0)
            editor.FlushWraps();
    }
    DeferredWraps(const DeferredWraps&) = delete;
    DeferredWraps& operator=(const DeferredWraps&) = delete;
    TextEditor& editor;
};

}  // namespace lepotex
