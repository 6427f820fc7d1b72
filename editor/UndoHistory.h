#pragma once
// The bounded undo and redo history: records of 14 header bytes plus data, back to back
// in one fixed block, so the history never grows beyond UndoBufferSize bytes however long
// the user edits. Paragraphs that records refer to (inserted or deleted ones) live in a
// side table owned here, and are freed exactly when their record is dropped.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "editor/Position.h"
#include "editor/TextEditor.h"

namespace lepotex {

enum class UndoKind : uint8_t {
    CaretMark = 0,          // around a paragraph break; no data
    InsertText = 1,         // data: the inserted bytes
    InsertParaBefore = 2,   // data: handle of the paragraph inserted as number `paraNo`
    InsertParaAfter = 3,    // data: handle of the paragraph inserted as number `paraNo` + 1
    DeleteText = 4,         // data: the deleted bytes
    DeletePara = 5,         // data: handle of the deleted paragraph, held by the record
    ReplaceText = 6,        // data: length of the old bytes (16-bit), old bytes, new bytes
};

class UndoHistory {
public:
    static constexpr int kHeaderSize = 14;

    explicit UndoHistory(int32_t blockSize);
    ~UndoHistory();
    UndoHistory(const UndoHistory&) = delete;
    UndoHistory& operator=(const UndoHistory&) = delete;

    int32_t BlockSize() const { return int32_t(block.size()); }
    int32_t UndoCount() const { return undoCount; }
    int32_t RedoCount() const { return redoCount; }
    int32_t FreeBytes() const { return freeBytes; }
    bool GroupOpen() const { return groupDepth > 0; }
    bool GroupRefused() const { return groupRefused; }

    // Nested groups keep the outer one; only the outermost EndGroup closes it.
    void BeginGroup();
    void EndGroup();

    // Returns whether the change was kept (recorded or merged).
    bool Record(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data, bool modifiedBefore);
    // Records a paragraph change; `paragraph` is the one a DeletePara record keeps. The history
    // takes it only once the record has found its room.
    void RecordPara(UndoKind kind, int32_t paraNo, bool modifiedBefore, std::optional<Paragraph> paragraph);

    // The data of a ReplaceText record.
    static std::string ReplacementData(std::string_view oldText, std::string_view newText);

    // Carry out one group; return where the caret goes, or nothing when there was nothing to do.
    std::optional<ParaPos> Undo(TextEditor& editor, bool& modifiedAfter);
    std::optional<ParaPos> Redo(TextEditor& editor);

    // The text was saved: undoing or redoing anything now leaves it modified.
    void MarkAllModified();
    void Clear();
    void Reset(int32_t blockSize);  // a new, empty history with another block size

private:
    struct Header {
        int32_t paraNo;
        int32_t column;
        uint16_t dataLength;
        uint16_t previousSize;
        uint8_t kindAndFlag;
        uint8_t group;
    };
    Header ReadHeader(int32_t offset) const;
    void WriteHeader(int32_t offset, const Header& h);
    int32_t RecordSize(int32_t offset) const;
    std::string_view DataAt(int32_t offset) const;
    static bool IsBreakOf(const TextEditor& editor, const Header& deleted, std::string_view tail, int32_t paraNo);
    static bool IsJoinOf(const TextEditor& editor, const Header& inserted, std::string_view lower, int32_t paraNo);
    UndoKind KindAt(int32_t offset) const;
    uint32_t HandleAt(int32_t offset) const;
    bool TryMerge(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data);
    bool RecordWith(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data, bool modifiedBefore,
                    std::optional<Paragraph>* paragraph);
    void NumberGroup();
    bool MakeRoom(int32_t size);
    void DropRedo();
    void DropRecordsBefore(int32_t offset, int32_t count);  // the oldest `count` records, ending at offset
    void ReleaseHandles(int32_t from, int32_t to);
    void Append(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data, bool modifiedBefore);
    uint32_t NewHandle();

    std::vector<uint8_t> block;
    int32_t usedBytes = 0;     // bytes of undo records, from the block's start
    int32_t redoBytes = 0;     // bytes of redo records, right behind them
    int32_t freeBytes = 0;     // invariant: usedBytes + redoBytes + freeBytes == block size
    int32_t undoCount = 0;
    int32_t redoCount = 0;
    int32_t lastOffset = -1;   // start of the newest undo record, -1 when none
    uint8_t groupCounter = 0;
    uint8_t currentGroup = 0;
    int groupDepth = 0;
    bool groupNumbered = false;  // the open group has a number: it has recorded something
    bool groupRefused = false;
    bool replaying = false;    // an undo or redo is being carried out: record nothing

    std::vector<std::optional<Paragraph>> held;  // indexed by handle; empty optional = free or in buffer
    std::vector<uint8_t> handleUsed;
    std::vector<uint32_t> freeHandles;

    friend class TextEditor;
};

}  // namespace lepotex
