#include "editor/UndoHistory.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <utility>

namespace lepotex {

namespace {

constexpr uint8_t kModifiedBit = 0x80;

// The data of a replacement record: the old text's length (16-bit), the old text, the new
// text. A length rather than a separator, so that the texts may hold any byte.
std::pair<std::string_view, std::string_view> SplitReplacement(std::string_view data)
{
    uint16_t oldLength;
    std::memcpy(&oldLength, data.data(), 2);
    return {data.substr(2, oldLength), data.substr(2 + size_t(oldLength))};
}

bool HoldsParagraph(UndoKind kind)
{
    return kind == UndoKind::InsertParaBefore || kind == UndoKind::InsertParaAfter || kind == UndoKind::DeletePara;
}

}  // namespace

UndoHistory::UndoHistory(int32_t blockSize)
    : block(size_t(std::clamp(blockSize, 0, 65535))), freeBytes(int32_t(block.size()))
{
}

UndoHistory::~UndoHistory() = default;

UndoHistory::Header UndoHistory::ReadHeader(int32_t offset) const
{
    Header h;
    const uint8_t* p = block.data() + offset;
    std::memcpy(&h.paraNo, p, 4);
    std::memcpy(&h.column, p + 4, 4);
    std::memcpy(&h.dataLength, p + 8, 2);
    std::memcpy(&h.previousSize, p + 10, 2);
    h.kindAndFlag = p[12];
    h.group = p[13];
    return h;
}

void UndoHistory::WriteHeader(int32_t offset, const Header& h)
{
    uint8_t* p = block.data() + offset;
    std::memcpy(p, &h.paraNo, 4);
    std::memcpy(p + 4, &h.column, 4);
    std::memcpy(p + 8, &h.dataLength, 2);
    std::memcpy(p + 10, &h.previousSize, 2);
    p[12] = h.kindAndFlag;
    p[13] = h.group;
}

int32_t UndoHistory::RecordSize(int32_t offset) const { return kHeaderSize + ReadHeader(offset).dataLength; }

UndoKind UndoHistory::KindAt(int32_t offset) const { return UndoKind(block[size_t(offset) + 12] & 0x7F); }

uint32_t UndoHistory::HandleAt(int32_t offset) const
{
    uint32_t handle;
    std::memcpy(&handle, block.data() + offset + kHeaderSize, 4);
    return handle;
}

std::string_view UndoHistory::DataAt(int32_t offset) const
{
    return std::string_view(reinterpret_cast<const char*>(block.data()) + offset + kHeaderSize,
                            ReadHeader(offset).dataLength);
}

// The tail `tail` deleted at `deleted` left paragraph paraNo as it is now, and the paragraph
// after it holds exactly that tail: the two records are one paragraph break.
bool UndoHistory::IsBreakOf(const TextEditor& editor, const Header& deleted, std::string_view tail, int32_t paraNo)
{
    return deleted.paraNo == paraNo && paraNo < editor.ParaCount() &&
           deleted.column - 1 == int32_t(editor.ParaText(paraNo).size()) && editor.ParaText(paraNo + 1) == tail;
}

// The text `lower` inserted at `inserted` ends paragraph paraNo: the lower half of a join.
bool UndoHistory::IsJoinOf(const TextEditor& editor, const Header& inserted, std::string_view lower, int32_t paraNo)
{
    return inserted.paraNo == paraNo && paraNo >= 1 &&
           inserted.column - 1 + int32_t(lower.size()) == int32_t(editor.ParaText(paraNo).size());
}

std::string UndoHistory::ReplacementData(std::string_view oldText, std::string_view newText)
{
    const uint16_t oldLength = uint16_t(oldText.size());
    std::string data(2, '\0');
    std::memcpy(data.data(), &oldLength, 2);
    data.reserve(2 + oldText.size() + newText.size());
    data.append(oldText);
    data.append(newText);
    return data;
}

// A group takes its number with its first record, not when it opens: an operation that
// records nothing (a plain search) must not use up numbers, or after 256 of them the 8-bit
// counter would come round to the number of the group before and the two would undo as one.
void UndoHistory::BeginGroup()
{
    if (groupDepth++ == 0) {
        groupNumbered = false;
        groupRefused = false;
    }
}

// The number must differ from the newest record's, which the new record follows. Numbers go
// up by one from group to group, but after undoing 255 groups the next one would come round
// to the number of the group the history now ends with.
void UndoHistory::NumberGroup()
{
    currentGroup = groupCounter++;
    if (undoCount > 0 && currentGroup == block[size_t(lastOffset) + 13])
        currentGroup = groupCounter++;
}

void UndoHistory::EndGroup()
{
    if (groupDepth > 0 && --groupDepth == 0)
        groupRefused = false;
}

uint32_t UndoHistory::NewHandle()
{
    if (!freeHandles.empty()) {
        const uint32_t handle = freeHandles.back();
        freeHandles.pop_back();
        return handle;
    }
    held.emplace_back();
    return uint32_t(held.size() - 1);
}

void UndoHistory::ReleaseHandles(int32_t from, int32_t to)
{
    for (int32_t offset = from; offset < to; offset += RecordSize(offset)) {
        if (!HoldsParagraph(KindAt(offset)))
            continue;
        const uint32_t handle = HandleAt(offset);
        held[handle].reset();
        freeHandles.push_back(handle);
    }
}

void UndoHistory::DropRedo()
{
    ReleaseHandles(usedBytes, usedBytes + redoBytes);
    freeBytes += redoBytes;
    redoBytes = 0;
    redoCount = 0;
}

void UndoHistory::Clear()
{
    held.clear();
    freeHandles.clear();
    usedBytes = redoBytes = 0;
    freeBytes = int32_t(block.size());
    undoCount = redoCount = 0;
    lastOffset = -1;
}

void UndoHistory::Reset(int32_t blockSize)
{
    block.assign(size_t(std::clamp(blockSize, 0, 65535)), 0);
    Clear();
}

bool UndoHistory::MakeRoom(int32_t size)
{
    if (groupRefused)
        return false;
    if (size > int32_t(block.size())) {
        Clear();
        if (groupDepth > 0)
            groupRefused = true;
        return false;
    }
    DropRedo();  // the new record overwrites them anyway
    if (freeBytes >= size)
        return true;
    // Drop the oldest whole groups, down to a sixteenth of the block free, so a stream of
    // small edits does not shift the block on every keystroke.
    const int32_t target = std::max(int32_t(block.size()) / 16, size);
    int32_t cut = 0;
    int32_t dropped = 0;
    while (freeBytes + cut < target && cut < usedBytes) {
        const uint8_t group = block[size_t(cut) + 13];
        while (cut < usedBytes && block[size_t(cut) + 13] == group) {
            cut += RecordSize(cut);
            ++dropped;
        }
    }
    if (cut >= usedBytes) {
        Clear();
        if (groupDepth > 0) {
            groupRefused = true;
            return false;
        }
        return true;
    }
    ReleaseHandles(0, cut);
    std::memmove(block.data(), block.data() + cut, size_t(usedBytes - cut));
    usedBytes -= cut;
    freeBytes += cut;
    undoCount -= dropped;
    lastOffset -= cut;
    Header first = ReadHeader(0);
    first.previousSize = 0;
    WriteHeader(0, first);
    return true;
}

bool UndoHistory::TryMerge(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data)
{
    if (undoCount == 0 || (kind != UndoKind::InsertText && kind != UndoKind::DeleteText))
        return false;
    Header h = ReadHeader(lastOffset);
    if (UndoKind(h.kindAndFlag & 0x7F) != kind || h.paraNo != paraNo || h.dataLength + data.size() > 65535)
        return false;
    const int32_t length = int32_t(data.size());
    bool append;
    if (kind == UndoKind::InsertText && h.column + h.dataLength == column)
        append = true;
    else if (kind == UndoKind::DeleteText && h.column == column)
        append = true;
    else if (kind == UndoKind::DeleteText && h.column == column + length)
        append = false;
    else
        return false;
    DropRedo();
    if (freeBytes < length)
        return false;
    uint8_t* dataStart = block.data() + lastOffset + kHeaderSize;
    if (append) {
        std::memcpy(dataStart + h.dataLength, data.data(), data.size());
    } else {
        std::memmove(dataStart + length, dataStart, h.dataLength);
        std::memcpy(dataStart, data.data(), data.size());
        h.column = column;
    }
    h.dataLength = uint16_t(h.dataLength + length);
    WriteHeader(lastOffset, h);
    usedBytes += length;
    freeBytes -= length;
    return true;
}

void UndoHistory::Append(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data, bool modifiedBefore)
{
    Header h;
    h.paraNo = paraNo;
    h.column = column;
    h.dataLength = uint16_t(data.size());
    h.previousSize = uint16_t(lastOffset >= 0 ? usedBytes - lastOffset : 0);
    h.kindAndFlag = uint8_t(uint8_t(kind) | (modifiedBefore ? kModifiedBit : 0));
    h.group = currentGroup;
    WriteHeader(usedBytes, h);
    if (!data.empty())
        std::memcpy(block.data() + usedBytes + kHeaderSize, data.data(), data.size());
    lastOffset = usedBytes;
    usedBytes += kHeaderSize + int32_t(data.size());
    freeBytes -= kHeaderSize + int32_t(data.size());
    ++undoCount;
}

bool UndoHistory::Record(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data, bool modifiedBefore)
{
    return RecordWith(kind, paraNo, column, data, modifiedBefore, nullptr);
}

void UndoHistory::RecordPara(UndoKind kind, int32_t paraNo, bool modifiedBefore, std::optional<Paragraph> paragraph)
{
    RecordWith(kind, paraNo, 1, {}, modifiedBefore, &paragraph);
}

// `paragraph`, when given, makes a paragraph record: its data is the handle of a slot that
// holds the paragraph. The slot is taken only after MakeRoom, which may drop the whole
// history and every slot with it; a paragraph not recorded is freed by the caller's copy.
bool UndoHistory::RecordWith(UndoKind kind, int32_t paraNo, int32_t column, std::string_view data,
                             bool modifiedBefore, std::optional<Paragraph>* paragraph)
{
    if (replaying || block.empty())
        return false;
    if (groupDepth == 0) {
        if (!paragraph && TryMerge(kind, paraNo, column, data))
            return true;
        NumberGroup();
    } else if (!groupNumbered) {
        NumberGroup();
        groupNumbered = true;
    }
    // A record larger than the block (its data length is 16-bit too) empties the history.
    const int64_t size = kHeaderSize + (paragraph ? int64_t(sizeof(uint32_t)) : int64_t(data.size()));
    if (!MakeRoom(int32_t(std::min<int64_t>(size, 1 << 30))))
        return false;
    uint32_t handle = 0;
    if (paragraph) {
        handle = NewHandle();
        held[handle] = std::move(*paragraph);
        data = std::string_view(reinterpret_cast<const char*>(&handle), sizeof handle);
    }
    Append(kind, paraNo, column, data, modifiedBefore);
    return true;
}

void UndoHistory::MarkAllModified()
{
    for (int32_t offset = 0; offset < usedBytes + redoBytes; offset += RecordSize(offset))
        block[size_t(offset) + 12] |= kModifiedBit;
}

std::optional<ParaPos> UndoHistory::Undo(TextEditor& editor, bool& modifiedAfter)
{
    if (undoCount == 0)
        return std::nullopt;
    replaying = true;
    const uint8_t group = block[size_t(lastOffset) + 13];
    ParaPos pos;
    bool partnerDone = false;  // this record's change was carried out with the one after it
    while (undoCount > 0 && block[size_t(lastOffset) + 13] == group) {
        const Header h = ReadHeader(lastOffset);
        const UndoKind kind = UndoKind(h.kindAndFlag & 0x7F);
        const std::string_view data = DataAt(lastOffset);
        // The record undone next, if it belongs to this group.
        const int32_t previous = h.previousSize != 0 && undoCount > 1 ? lastOffset - h.previousSize : -1;
        const bool pairable = previous >= 0 && block[size_t(previous) + 13] == group;
        switch (partnerDone ? UndoKind::CaretMark : kind) {
        case UndoKind::CaretMark:
            partnerDone = false;
            break;
        case UndoKind::InsertText:
            editor.DeleteBytes(h.paraNo, h.column - 1, h.dataLength);
            break;
        case UndoKind::InsertParaBefore:
            held[HandleAt(lastOffset)] = editor.RemoveParagraph(h.paraNo);
            break;
        case UndoKind::InsertParaAfter:
            // A paragraph break (the tail deleted, then put after as a paragraph) is undone as
            // one join, so bookmarks in the tail come back with it.
            if (pairable && KindAt(previous) == UndoKind::DeleteText &&
                IsBreakOf(editor, ReadHeader(previous), DataAt(previous), h.paraNo)) {
                editor.JoinParagraphs(h.paraNo);
                partnerDone = true;
                break;
            }
            held[HandleAt(lastOffset)] = editor.RemoveParagraph(h.paraNo + 1);
            break;
        case UndoKind::DeleteText:
            editor.InsertBytes(h.paraNo, h.column - 1, data);
            break;
        case UndoKind::DeletePara: {
            std::optional<Paragraph>& slot = held[HandleAt(lastOffset)];
            // A join (the lower text appended, then the lower paragraph deleted) is undone as
            // one split, likewise.
            if (pairable && KindAt(previous) == UndoKind::InsertText &&
                IsJoinOf(editor, ReadHeader(previous), DataAt(previous), h.paraNo - 1)) {
                editor.SplitParagraph(h.paraNo - 1, ReadHeader(previous).column - 1);
                slot.reset();
                partnerDone = true;
                break;
            }
            assert(slot && "a deleted paragraph not undone as a split is held by its record");
            editor.InsertParagraph(h.paraNo, std::move(*slot));
            slot.reset();
            break;
        }
        case UndoKind::ReplaceText: {
            const auto [oldText, newText] = SplitReplacement(data);
            editor.ReplaceBytes(h.paraNo, h.column - 1, int32_t(newText.size()), oldText);
            break;
        }
        }
        modifiedAfter = (h.kindAndFlag & kModifiedBit) != 0;
        pos = ParaPos{h.paraNo, h.column};
        const int32_t size = usedBytes - lastOffset;
        usedBytes = lastOffset;
        redoBytes += size;
        --undoCount;
        ++redoCount;
        lastOffset = h.previousSize != 0 ? lastOffset - h.previousSize : -1;
    }
    replaying = false;
    return pos;
}

std::optional<ParaPos> UndoHistory::Redo(TextEditor& editor)
{
    if (redoCount == 0)
        return std::nullopt;
    replaying = true;
    const uint8_t group = block[size_t(usedBytes) + 13];
    ParaPos pos;
    bool partnerDone = false;  // this record's change was carried out with the one before it
    while (redoCount > 0 && block[size_t(usedBytes) + 13] == group) {
        Header h = ReadHeader(usedBytes);
        const UndoKind kind = UndoKind(h.kindAndFlag & 0x7F);
        h.kindAndFlag = uint8_t((h.kindAndFlag & 0x7F) | (editor.Modified() ? kModifiedBit : 0));
        WriteHeader(usedBytes, h);
        const std::string_view data = DataAt(usedBytes);
        // The record redone next, if it belongs to this group.
        const int32_t next = redoCount > 1 ? usedBytes + kHeaderSize + h.dataLength : -1;
        const bool pairable = next >= 0 && block[size_t(next) + 13] == group;
        if (!partnerDone)
            pos = ParaPos{h.paraNo, h.column};
        switch (partnerDone ? UndoKind::CaretMark : kind) {
        case UndoKind::CaretMark:
            partnerDone = false;
            break;
        case UndoKind::InsertText:
            // The first half of a join: carried out as one join, as it was first done.
            if (pairable && KindAt(next) == UndoKind::DeletePara && ReadHeader(next).paraNo == h.paraNo + 1 &&
                h.column - 1 == int32_t(editor.ParaText(h.paraNo).size()) &&
                editor.ParaText(h.paraNo + 1) == data) {
                editor.JoinParagraphs(h.paraNo);
                partnerDone = true;
                break;
            }
            editor.InsertBytes(h.paraNo, h.column - 1, data);
            pos.column += h.dataLength;
            break;
        case UndoKind::InsertParaBefore:
        case UndoKind::InsertParaAfter: {
            std::optional<Paragraph>& slot = held[HandleAt(usedBytes)];
            assert(slot && "an inserted paragraph not redone as a split was kept by its undo");
            const int32_t paraNo = kind == UndoKind::InsertParaBefore ? h.paraNo : h.paraNo + 1;
            editor.InsertParagraph(paraNo, std::move(*slot));
            slot.reset();
            pos = ParaPos{paraNo + (kind == UndoKind::InsertParaBefore ? 1 : 0), 1};
            break;
        }
        case UndoKind::DeleteText:
            // The first half of a paragraph break: carried out as one split.
            if (pairable && KindAt(next) == UndoKind::InsertParaAfter && ReadHeader(next).paraNo == h.paraNo &&
                editor.ParaText(h.paraNo).substr(size_t(h.column - 1)) == data) {
                editor.SplitParagraph(h.paraNo, h.column - 1);
                pos = ParaPos{h.paraNo + 1, 1};
                partnerDone = true;
                break;
            }
            editor.DeleteBytes(h.paraNo, h.column - 1, h.dataLength);
            break;
        case UndoKind::DeletePara:
            held[HandleAt(usedBytes)] = editor.RemoveParagraph(h.paraNo);
            break;
        case UndoKind::ReplaceText: {
            const auto [oldText, newText] = SplitReplacement(data);
            editor.ReplaceBytes(h.paraNo, h.column - 1, int32_t(oldText.size()), newText);
            pos.column += int32_t(newText.size());
            break;
        }
        }
        const int32_t size = kHeaderSize + h.dataLength;
        lastOffset = usedBytes;
        usedBytes += size;
        redoBytes -= size;
        --redoCount;
        ++undoCount;
    }
    replaying = false;
    return pos;
}

}  // namespace lepotex
