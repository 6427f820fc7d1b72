// Where the caret keys lead, the word a double click selects, the check that lets a paste be
// refused whole, and the paragraph restore of Alt+Backspace. Each lookup touches the one or two
// paragraphs it concerns, so the keys cost the same on a book as on a page.
#include "editor/TextEditor.h"

#include <algorithm>
#include <cstring>

#include "editor/EditorBuffer.h"

namespace lepotex {

namespace {

// The 35 word delimiters of whole-word search, so that a double click takes what a whole-word
// search would match.
bool IsDelimiter(char c)
{
    static constexpr std::string_view kDelimiters("\t'\r\n ,./?;:`\"<>[]{}-=\\+|()%@&^$#!~*", 35);
    return std::memchr(kDelimiters.data(), c, kDelimiters.size()) != nullptr;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

TextEditor::LineSpan TextEditor::DisplayLineSpan(int32_t displayLine) const
{
    const int32_t paraNo = ParaOfLine(displayLine);
    const Paragraph& para = Para(paraNo);
    const int32_t line = displayLine - FirstLineOfPara(paraNo);
    return LineSpan{paraNo, para.LineStart(line), para.LineEnd(line)};
}

ParaPos TextEditor::CharLeftOf(ParaPos pos) const
{
    pos = Clamp(pos);
    if (pos.column > 1)
        return ParaPos{pos.paraNo, pos.column - 1};
    if (pos.paraNo > 1)
        return ParaPos{pos.paraNo - 1, int32_t(Para(pos.paraNo - 1).text.size()) + 1};
    return pos;
}

ParaPos TextEditor::CharRightOf(ParaPos pos) const
{
    pos = Clamp(pos);
    if (pos.column <= int32_t(Para(pos.paraNo).text.size()))
        return ParaPos{pos.paraNo, pos.column + 1};
    if (pos.paraNo < ParaCount())
        return ParaPos{pos.paraNo + 1, 1};
    return pos;
}

ParaPos TextEditor::WordLeftOf(ParaPos pos) const
{
    pos = Clamp(pos);
    if (pos.column == 1)
        return CharLeftOf(pos);
    const std::string_view text = Para(pos.paraNo).text;
    int32_t offset = pos.column - 1;
    while (offset > 0 && IsDelimiter(text[size_t(offset - 1)]))
        --offset;
    while (offset > 0 && !IsDelimiter(text[size_t(offset - 1)]))
        --offset;
    return ParaPos{pos.paraNo, offset + 1};
}

ParaPos TextEditor::WordRightOf(ParaPos pos) const
{
    pos = Clamp(pos);
    const std::string_view text = Para(pos.paraNo).text;
    int32_t offset = pos.column - 1;
    if (offset == int32_t(text.size()))
        return CharRightOf(pos);
    while (offset < int32_t(text.size()) && !IsDelimiter(text[size_t(offset)]))
        ++offset;
    while (offset < int32_t(text.size()) && IsDelimiter(text[size_t(offset)]))
        ++offset;
    return ParaPos{pos.paraNo, offset + 1};
}

ParaPos TextEditor::LineHomeOf(ParaPos pos) const
{
    pos = Clamp(pos);
    const int32_t line = DisplayLineOf(pos) - FirstLineOfPara(pos.paraNo);
    return ParaPos{pos.paraNo, Para(pos.paraNo).LineStart(line) + 1};
}

ParaPos TextEditor::LineEndOf(ParaPos pos) const
{
    pos = Clamp(pos);
    const Paragraph& para = Para(pos.paraNo);
    const int32_t line = DisplayLineOf(pos) - FirstLineOfPara(pos.paraNo);
    // The end of a wrapped line is the next line's start, where the caret shows below; so stop
    // in front of the line's last character, as a click behind the line does.
    if (line + 1 < para.LineCount())
        return ParaPos{pos.paraNo, para.LineEnd(line)};
    return ParaPos{pos.paraNo, int32_t(para.text.size()) + 1};
}

std::pair<ParaPos, ParaPos> TextEditor::WordAt(ParaPos pos) const
{
    pos = Clamp(pos);
    const std::string_view text = Para(pos.paraNo).text;
    int32_t offset = pos.column - 1;
    if (offset == int32_t(text.size()) || IsDelimiter(text[size_t(offset)])) {
        if (offset == 0 || IsDelimiter(text[size_t(offset - 1)]))
            return {pos, pos};
        --offset;  // right behind a word: take that one
    }
    int32_t start = offset;
    while (start > 0 && !IsDelimiter(text[size_t(start - 1)]))
        --start;
    int32_t end = offset;
    while (end < int32_t(text.size()) && !IsDelimiter(text[size_t(end)]))
        ++end;
    return {ParaPos{pos.paraNo, start + 1}, ParaPos{pos.paraNo, end + 1}};
}

// Walks InsertText's steps (its chunks, segments and limit checks) over lengths and counts
// only. The one figure it cannot know without the text is how many blanks a split in the middle
// of a paragraph removes in front of the split point when the inserted segment is all blanks;
// it then counts only the segment's own, which can only make the byte-limit check stricter.
int TextEditor::CheckInsert(std::string_view s) const
{
    if (readOnly || s.empty())
        return kErrNone;
    int64_t paraCount = ParaCount();
    int64_t bytes = buffer->ByteCount();
    int64_t length;  // of the paragraph the next segment goes into
    int64_t paraNo;  // that paragraph's number
    int32_t column;
    bool currentIsLast;
    bool lastEmpty = Para(ParaCount()).text.empty();
    if (HasSelection()) {
        const ParaPos from = Clamp(SelStart());
        const ParaPos to = Clamp(SelEnd());
        const int64_t head = from.column - 1;
        const int64_t tail = int64_t(Para(to.paraNo).text.size()) - (to.column - 1);
        if (from.paraNo != to.paraNo && head + tail > paraLengthLimit)
            return kErrJoinTooLong;
        int64_t removed = 0;
        for (int32_t p = from.paraNo; p < to.paraNo; ++p)
            removed += int64_t(Para(p).text.size()) + 2;
        removed += to.column - 1;
        removed -= from.column - 1;
        bytes -= removed;
        paraCount -= to.paraNo - from.paraNo;
        length = head + tail;
        paraNo = from.paraNo;
        column = from.column;
        currentIsLast = to.paraNo == ParaCount();
        if (currentIsLast)
            lastEmpty = length == 0;
    } else {
        const ParaPos at = Clamp(caret);
        length = int64_t(Para(at.paraNo).text.size());
        paraNo = at.paraNo;
        column = at.column;
        currentIsLast = at.paraNo == ParaCount();
    }
    auto paraCheck = [&](int64_t added) {
        int64_t allowed = paraLimit;
        if (lastEmpty && paraLimit < kMaxLimit)
            ++allowed;
        return paraCount + added > allowed ? kErrTooManyParagraphs : kErrNone;
    };
    auto textCheck = [&](int64_t added) {
        if (paraNo > paraLimit)
            if (const int error = paraCheck(0))
                return error;
        if (bytes + added > byteLimit)
            return int(kErrTextTooLarge);
        if (length + added > paraLengthLimit)
            return int(kErrParagraphTooLong);
        return int(kErrNone);
    };

    constexpr size_t kChunk = 61440;
    constexpr size_t kChunkMax = 65520;
    size_t chunkStart = 0;
    while (chunkStart < s.size()) {
        size_t chunkEnd = chunkStart + kChunk;
        if (chunkEnd >= s.size()) {
            chunkEnd = s.size();
        } else {
            while (chunkEnd < s.size() && chunkEnd - chunkStart < kChunkMax && (s[chunkEnd] == '\r' || s[chunkEnd] == '\n'))
                ++chunkEnd;
        }
        const std::string_view chunk = s.substr(chunkStart, chunkEnd - chunkStart);
        chunkStart = chunkEnd;
        size_t pos = 0;
        while (pos < chunk.size()) {
            const size_t lf = chunk.find('\n', pos);
            std::string_view segment = lf == std::string_view::npos ? chunk.substr(pos) : chunk.substr(pos, lf + 1 - pos);
            pos = lf == std::string_view::npos ? chunk.size() : lf + 1;
            size_t end = segment.size();
            while (end > 0 && (segment[end - 1] == '\r' || segment[end - 1] == '\n'))
                --end;
            const bool lineEnd = end < segment.size();
            segment = segment.substr(0, end);
            const int64_t added = int64_t(segment.size());
            if (!lineEnd) {
                if (const int error = textCheck(added))
                    return error;
                bytes += added;
                length += added;
                column += int32_t(added);
                if (currentIsLast)
                    lastEmpty = length == 0;
            } else if (column == 1) {
                if (const int error = paraCheck(1))
                    return error;
                if (bytes + added + 2 > byteLimit)
                    return kErrTextTooLarge;
                if (added > paraLengthLimit)
                    return kErrParagraphTooLong;
                ++paraCount;
                ++paraNo;
                bytes += added + 2;
            } else {
                if (const int error = textCheck(added))
                    return error;
                if (const int error = paraCheck(1))
                    return error;
                if (bytes + added + 2 > byteLimit)
                    return kErrTextTooLarge;
                int64_t blanks = 0;
                while (blanks < added && IsBlank(segment[size_t(added - blanks - 1)]))
                    ++blanks;
                ++paraCount;
                ++paraNo;
                bytes += added - blanks + 2;
                length -= column - 1;  // what stays behind the split point
                column = 1;
                if (currentIsLast)
                    lastEmpty = length == 0;
            }
        }
    }
    return kErrNone;
}

void TextEditor::RestoreParagraph()
{
    const int32_t paraNo = Clamp(caret).paraNo;
    const UndoHistory& undo = buffer->undo;
    // Whether the newest undoable group changed nothing but the text of paraNo.
    auto newestGroupIsInPara = [&] {
        if (undo.undoCount == 0)
            return false;
        int32_t offset = undo.lastOffset;
        int32_t count = undo.undoCount;
        const uint8_t group = undo.block[size_t(offset) + 13];
        while (count > 0 && undo.block[size_t(offset) + 13] == group) {
            const UndoHistory::Header h = undo.ReadHeader(offset);
            const UndoKind kind = UndoKind(h.kindAndFlag & 0x7F);
            if (h.paraNo != paraNo ||
                (kind != UndoKind::InsertText && kind != UndoKind::DeleteText && kind != UndoKind::ReplaceText))
                return false;
            if (h.previousSize == 0)
                break;
            offset -= h.previousSize;
            --count;
        }
        return true;
    };
    if (readOnly || !newestGroupIsInPara()) {
        Undo();
        return;
    }
    while (newestGroupIsInPara())
        Undo();
}

}  // namespace lepotex
