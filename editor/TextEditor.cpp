#include "editor/TextEditor.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <exception>
#include <utility>

#include "editor/EditorBuffer.h"
#include "editor/SideBySide.h"

namespace lepotex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

TextEditor::TextEditor() : buffer(std::make_unique<Buffer>(undoBufferSize)) {}

TextEditor::~TextEditor() = default;

// ---- counts, limits, reading ------------------------------------------------------------

int32_t TextEditor::ParaCount() const { return buffer->ParaCount(); }

int32_t TextEditor::LineCount() const
{
    return int32_t(buffer->lines.PositionFromPartition(buffer->lines.Partitions()));
}

int32_t TextEditor::ByteCount() const { return int32_t(buffer->ByteCount()); }

void TextEditor::SetParaLimit(int32_t limit)
{
    if (limit > 0)
        paraLimit = limit;
}

void TextEditor::SetByteLimit(int32_t limit)
{
    if (limit > 0)
        byteLimit = limit;
}

void TextEditor::SetParaLengthLimit(int32_t limit)
{
    if (limit >= 1 && limit <= kMaxParaLength)
        paraLengthLimit = limit;
}

Paragraph& TextEditor::Para(int32_t paraNo)
{
    assert(paraNo >= 1 && paraNo <= ParaCount());
    return buffer->paras[paraNo - 1];
}

const Paragraph& TextEditor::Para(int32_t paraNo) const
{
    assert(paraNo >= 1 && paraNo <= ParaCount());
    return buffer->paras[paraNo - 1];
}

std::string_view TextEditor::ParaText(int32_t paraNo) const
{
    if (paraNo < 1 || paraNo > ParaCount())
        throw EInvalidLineOrPara("Invalid line or paragraph index");
    return Para(paraNo).text;
}

int32_t TextEditor::ParaLineCount(int32_t paraNo) const
{
    if (paraNo < 1 || paraNo > ParaCount())
        throw EInvalidLineOrPara("Invalid line or paragraph index");
    return Para(paraNo).LineCount();
}

int32_t TextEditor::ParaOfLine(int32_t displayLine) const
{
    if (displayLine < 1 || displayLine > LineCount())
        throw EInvalidLineOrPara("Invalid line or paragraph index");
    return buffer->lines.PartitionFromPosition(displayLine - 1) + 1;
}

int32_t TextEditor::FirstLineOfPara(int32_t paraNo) const
{
    if (paraNo < 1 || paraNo > ParaCount())
        throw EInvalidLineOrPara("Invalid line or paragraph index");
    return int32_t(buffer->lines.PositionFromPartition(paraNo - 1)) + 1;
}

int32_t TextEditor::DisplayLineOf(ParaPos pos) const
{
    pos = Clamp(pos);
    const Paragraph& para = Para(pos.paraNo);
    const int32_t offset = pos.column - 1;
    // A caret on a wrap point stands at the start of the lower line.
    int32_t line = para.LineCount() - 1;
    while (line > 0 && para.LineStart(line) > offset)
        --line;
    return FirstLineOfPara(pos.paraNo) + line;
}

std::string TextEditor::GetLine(int32_t displayLine) const
{
    const int32_t paraNo = ParaOfLine(displayLine);
    const Paragraph& para = Para(paraNo);
    const int32_t line = displayLine - FirstLineOfPara(paraNo);
    const int32_t start = para.LineStart(line);
    return ExpandTabs(para.text.substr(size_t(start), size_t(para.LineEnd(line) - start)), tabSize);
}

std::string TextEditor::ExpandTabs(std::string_view text, int32_t tabWidth)
{
    if (text.find('\t') == std::string_view::npos)
        return std::string(text);
    std::string expanded;
    expanded.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\t')
            expanded.append(size_t(tabWidth - int32_t(expanded.size()) % tabWidth), ' ');
        else
            expanded.push_back(c);
    }
    return expanded;
}

std::string TextEditor::Text() const
{
    std::string all;
    all.reserve(size_t(buffer->ByteCount()));
    for (int32_t p = 1; p <= ParaCount(); ++p) {
        if (p > 1)
            all += "\r\n";
        all += Para(p).text;
    }
    return all;
}

// ---- word wrap ----------------------------------------------------------------------------

void TextEditor::Rewrap(int32_t paraNo)
{
    if (buffer->deferWraps > 0) {
        if (buffer->wrapPending != paraNo) {
            FlushWraps();
            buffer->wrapPending = paraNo;
        }
        return;
    }
    const int32_t delta = Para(paraNo).Wrap(EffectiveWrapWidth(), tabSize);
    buffer->lines.AddToPartition(paraNo - 1, delta);
}

void TextEditor::FlushWraps()
{
    const int32_t paraNo = std::exchange(buffer->wrapPending, 0);
    if (paraNo != 0)
        buffer->lines.AddToPartition(paraNo - 1, Para(paraNo).Wrap(EffectiveWrapWidth(), tabSize));
}

void TextEditor::RewrapAll()
{
    // Without wrapping every paragraph is one line; if each already is, nothing moves.
    if (EffectiveWrapWidth() == kNoWrapWidth && LineCount() == ParaCount()) {
        Repaint();
        CaretPlaced();
        return;
    }
    // Rebuild the partitioning in one pass rather than shifting it per paragraph. Each
    // paragraph wraps by itself: a long book's second half wraps on a second core meanwhile.
    Partitioning rebuilt;
    int64_t line = 0;
    const int32_t count = ParaCount();
    rebuilt.Reserve(count);
    const int32_t width = EffectiveWrapWidth();
    constexpr int32_t kWrapInHalvesFrom = 1 << 15;
    const int32_t half = count / 2;
    std::exception_ptr failure;
    SideBySide(
        count >= kWrapInHalvesFrom,
        [&] {
            for (int32_t index = 0; index < half; ++index)
                buffer->paras[index].Wrap(width, tabSize);
        },
        [&]() noexcept {
            try {
                for (int32_t index = half; index < count; ++index)
                    buffer->paras[index].Wrap(width, tabSize);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (failure)
        std::rethrow_exception(failure);
    for (int32_t index = 0; index < count; ++index) {
        Paragraph& para = buffer->paras[index];
        rebuilt.InsertPartition(index, line);
        line += para.LineCount();
        rebuilt.AddToPartition(index, para.LineCount());
    }
    buffer->lines = std::move(rebuilt);
    topLine = std::clamp(topLine, 1, LineCount());
    Repaint();
    CaretPlaced();
}

void TextEditor::SetWordWrap(bool on)
{
    if (on == wordWrap)
        return;
    wordWrap = on;
    RewrapAll();
}

void TextEditor::SetWrapColumn(int32_t columns)
{
    if (columns <= 0 || columns == wrapColumn)
        return;
    wrapColumn = std::min(columns, kNoWrapWidth);
    if (wordWrap)
        RewrapAll();
}

void TextEditor::SetTabSize(int32_t size)
{
    if (size < 1 || size > 255 || size == tabSize)
        return;
    tabSize = size;
    RewrapAll();
}

// ---- whole-buffer operations ----------------------------------------------------------------

void TextEditor::ResetView()
{
    caret = anchor = ParaPos{};
    const int32_t oldTop = topLine;
    topLine = 1;
    if (oldTop != 1 && OnTopLineChanged)
        OnTopLineChanged(1);
    Repaint();
    CaretPlaced();
}

void TextEditor::Clear()
{
    // A text rebuilt from a mapped book that changed meanwhile is not whole either.
    for (const TextBlock& block : buffer->blocks)
        sourceChanged = sourceChanged || MappedFileChanged(block.get());
    buffer = std::make_unique<Buffer>(undoBufferSize);
    ResetView();
}

void TextEditor::DrainText(const std::function<void(const lepotex::ParaText& text)>& take)
{
    const std::unique_ptr<Buffer> old = std::exchange(buffer, std::make_unique<Buffer>(undoBufferSize));
    // The blocks stay, and with them the borrowed texts; Clear frees them, after it has
    // looked whether a mapped one changed.
    buffer->blocks = std::move(old->blocks);
    ResetView();
    old->paras.Drain([&](Paragraph para) { take(para.text); });
}

TextEditor::KeptText::KeptText() = default;
TextEditor::KeptText::~KeptText() = default;
TextEditor::KeptText::KeptText(KeptText&&) noexcept = default;
TextEditor::KeptText& TextEditor::KeptText::operator=(KeptText&&) noexcept = default;

TextEditor::KeptText TextEditor::ClearKeeping()
{
    KeptText kept;
    kept.buffer = std::exchange(buffer, std::make_unique<Buffer>(undoBufferSize));
    ResetView();
    return kept;
}

void TextEditor::Restore(KeptText kept)
{
    if (kept.Empty())
        return;
    buffer = std::move(kept.buffer);
    ResetView();
    RewrapAll();
    ChangedText();
}

void TextEditor::BeginUpdate() { ++updateCount; }

void TextEditor::EndUpdate()
{
    if (updateCount == 0)
        return;
    if (--updateCount == 0)
        Repaint();
}

void TextEditor::Repaint()
{
    if (updateCount == 0 && OnRepaint)
        OnRepaint();
}

bool TextEditor::Modified() const { return buffer->modified; }

bool TextEditor::KnownPlain() const { return buffer->plainText; }

void TextEditor::SetModified(bool modified)
{
    if (modified == buffer->modified)
        return;
    buffer->modified = modified;
    if (!modified)
        buffer->undo.MarkAllModified();
    Repaint();
}

void TextEditor::ChangedText()
{
    buffer->modified = true;
    buffer->plainText = false;
    Repaint();
}

void TextEditor::CaretPlaced()
{
    if (statusPending)
        return;
    statusPending = true;
    if (OnStatusPosted)
        OnStatusPosted();
}

void TextEditor::DeliverShowStatus()
{
    if (!statusPending)
        return;
    statusPending = false;
    if (OnShowStatus)
        OnShowStatus(GetCaretPosition().displayLine, CaretDisplayColumn());
}

void TextEditor::UserChanged()
{
    if (OnChange)
        OnChange();
}

int TextEditor::LimitsCheck(int32_t paraNo, int32_t parasAdded, int64_t bytesAdded) const
{
    if (parasAdded != 0 || paraNo > paraLimit) {
        int64_t allowed = paraLimit;
        if (Para(ParaCount()).text.empty() && paraLimit < kMaxLimit)
            ++allowed;  // a trailing empty paragraph does not count
        if (int64_t(ParaCount()) + parasAdded > allowed)
            return kErrTooManyParagraphs;
    }
    if (buffer->ByteCount() + bytesAdded > byteLimit)
        return kErrTextTooLarge;
    if (paraNo > 0 && parasAdded == 0 && int64_t(Para(paraNo).text.size()) + bytesAdded > paraLengthLimit)
        return kErrParagraphTooLong;
    return kErrNone;
}

// ---- primitives ---------------------------------------------------------------------------
// Each keeps counts, layout, undo and bookmarks in step; none moves the caret.

void TextEditor::BookmarksTextInserted(int32_t paraNo, int32_t offset, int32_t count)
{
    for (ParaPos& mark : buffer->bookmarks)
        if (mark.paraNo == paraNo && mark.column >= offset + 1)
            mark.column += count;
}

void TextEditor::BookmarksTextDeleted(int32_t paraNo, int32_t offset, int32_t count)
{
    // A mark on a deleted character, the first one included, goes with it; one behind the
    // deleted text moves back with what follows.
    for (ParaPos& mark : buffer->bookmarks) {
        if (mark.paraNo != paraNo || mark.column < offset + 1)
            continue;
        if (mark.column < offset + 1 + count)
            mark = ParaPos{0, 0};
        else
            mark.column -= count;
    }
}

void TextEditor::InsertBytes(int32_t paraNo, int32_t offset, std::string_view bytes)
{
    if (bytes.empty())
        return;
    Paragraph& para = Para(paraNo);
    assert(offset >= 0 && offset <= int32_t(para.text.size()));
    buffer->undo.Record(UndoKind::InsertText, paraNo, offset + 1, bytes, buffer->modified);
    para.text.insert(size_t(offset), bytes);
    buffer->textBytes += int64_t(bytes.size());
    BookmarksTextInserted(paraNo, offset, int32_t(bytes.size()));
    Rewrap(paraNo);
    ChangedText();
}

void TextEditor::DeleteBytes(int32_t paraNo, int32_t offset, int32_t count)
{
    if (count <= 0)
        return;
    Paragraph& para = Para(paraNo);
    assert(offset >= 0 && offset + count <= int32_t(para.text.size()));
    buffer->undo.Record(UndoKind::DeleteText, paraNo, offset + 1,
                        para.text.substr(size_t(offset), size_t(count)), buffer->modified);
    para.text.erase(size_t(offset), size_t(count));
    buffer->textBytes -= count;
    BookmarksTextDeleted(paraNo, offset, count);
    Rewrap(paraNo);
    ChangedText();
}

void TextEditor::ReplaceBytes(int32_t paraNo, int32_t offset, int32_t count, std::string_view bytes)
{
    Paragraph& para = Para(paraNo);
    assert(offset >= 0 && offset + count <= int32_t(para.text.size()));
    buffer->undo.Record(UndoKind::ReplaceText, paraNo, offset + 1,
                        UndoHistory::ReplacementData(para.text.substr(size_t(offset), size_t(count)), bytes),
                        buffer->modified);
    para.text.replace(size_t(offset), size_t(count), bytes);
    const int32_t delta = int32_t(bytes.size()) - count;
    buffer->textBytes += delta;
    BookmarksTextDeleted(paraNo, offset, count);
    BookmarksTextInserted(paraNo, offset, int32_t(bytes.size()));
    Rewrap(paraNo);
    ChangedText();
}

void TextEditor::PutParagraph(int32_t paraNo, Paragraph para)
{
    FlushWraps();
    assert(paraNo >= 1 && paraNo <= ParaCount() + 1);
    buffer->Put(paraNo - 1, std::move(para), EffectiveWrapWidth(), tabSize);
}

Paragraph TextEditor::TakeParagraph(int32_t paraNo)
{
    FlushWraps();
    assert(ParaCount() > 1 && paraNo >= 1 && paraNo <= ParaCount());
    const int32_t index = paraNo - 1;
    Paragraph removed = std::move(buffer->paras[index]);
    buffer->paras.Delete(index);
    buffer->lines.AddToPartition(index, -removed.LineCount());
    buffer->lines.RemovePartition(index);
    buffer->textBytes -= int64_t(removed.text.size());
    return removed;
}

void TextEditor::InsertParagraph(int32_t paraNo, Paragraph para)
{
    buffer->undo.RecordPara(UndoKind::InsertParaBefore, paraNo, buffer->modified, std::nullopt);
    PutParagraph(paraNo, std::move(para));
    // Counts as a split of the old paragraph paraNo at column 1.
    for (ParaPos& mark : buffer->bookmarks)
        if (mark.paraNo >= paraNo)
            ++mark.paraNo;
    ChangedText();
}

Paragraph TextEditor::RemoveParagraph(int32_t paraNo)
{
    Paragraph removed = TakeParagraph(paraNo);
    for (ParaPos& mark : buffer->bookmarks) {
        if (mark.paraNo == paraNo)
            mark = ParaPos{0, 0};
        else if (mark.paraNo > paraNo)
            --mark.paraNo;
    }
    ChangedText();
    return removed;
}

void TextEditor::DeleteParagraph(int32_t paraNo)
{
    const bool wasModified = buffer->modified;
    buffer->undo.RecordPara(UndoKind::DeletePara, paraNo, wasModified, RemoveParagraph(paraNo));
}

void TextEditor::SplitParagraph(int32_t paraNo, int32_t offset)
{
    Paragraph& para = Para(paraNo);
    assert(offset >= 0 && offset <= int32_t(para.text.size()));
    const bool wasModified = buffer->modified;
    UndoHistory& undo = buffer->undo;
    undo.BeginGroup();
    undo.Record(UndoKind::CaretMark, paraNo, offset + 1, {}, wasModified);
    Paragraph tail(para.text.substr(size_t(offset)));
    undo.Record(UndoKind::DeleteText, paraNo, offset + 1, tail.text, wasModified);
    para.text.resize(size_t(offset));
    buffer->textBytes -= int64_t(tail.text.size());  // PutParagraph counts them again
    Rewrap(paraNo);
    undo.RecordPara(UndoKind::InsertParaAfter, paraNo, wasModified, std::nullopt);
    undo.EndGroup();

    PutParagraph(paraNo + 1, std::move(tail));
    for (ParaPos& mark : buffer->bookmarks) {
        if (mark.paraNo > paraNo) {
            ++mark.paraNo;
        } else if (mark.paraNo == paraNo && mark.column >= offset + 1) {
            ++mark.paraNo;
            mark.column -= offset;
        }
    }
    ChangedText();
}

void TextEditor::JoinParagraphs(int32_t paraNo)
{
    assert(paraNo >= 1 && paraNo < ParaCount());
    const bool wasModified = buffer->modified;
    UndoHistory& undo = buffer->undo;
    Paragraph& upper = Para(paraNo);
    const int32_t joinColumn = int32_t(upper.text.size()) + 1;
    undo.BeginGroup();
    undo.Record(UndoKind::InsertText, paraNo, joinColumn, Para(paraNo + 1).text, wasModified);
    upper.text += Para(paraNo + 1).text;
    Rewrap(paraNo);
    // The lower paragraph goes to the history whole; its text now also lives in the upper one.
    Paragraph lower = TakeParagraph(paraNo + 1);
    buffer->textBytes += int64_t(lower.text.size());  // those bytes stayed, in the upper paragraph
    undo.RecordPara(UndoKind::DeletePara, paraNo + 1, wasModified, std::move(lower));
    undo.EndGroup();
    for (ParaPos& mark : buffer->bookmarks) {
        if (mark.paraNo == paraNo + 1) {
            mark.paraNo = paraNo;
            mark.column += joinColumn - 1;
        } else if (mark.paraNo > paraNo + 1) {
            --mark.paraNo;
        }
    }
    ChangedText();
}

// ---- InsertText -------------------------------------------------------------------------------

// One chunk of InsertText, from the caret on, as segments that each end just behind an LF
// (the last one may have none); each segment's closing CR and LF bytes are its line end, and a
// lone CR inside a segment is text. Every step checks the limits before it changes anything
// and stops the chunk with the error; what the steps before it inserted stays.
int TextEditor::InsertChunk(std::string_view chunk)
{
    int32_t paraNo = caret.paraNo;
    int32_t column = caret.column;
    size_t pos = 0;
    int error = kErrNone;
    while (pos < chunk.size()) {
        std::string_view segment;
        bool lineEnd;
        const size_t lf = chunk.find('\n', pos);
        if (lf == std::string_view::npos) {
            segment = chunk.substr(pos);
            pos = chunk.size();
            size_t end = segment.size();
            while (end > 0 && segment[end - 1] == '\r')
                --end;
            lineEnd = end < segment.size();
            segment = segment.substr(0, end);
        } else {
            segment = chunk.substr(pos, lf + 1 - pos);
            pos = lf + 1;
            size_t end = segment.size();
            while (end > 0 && (segment[end - 1] == '\r' || segment[end - 1] == '\n'))
                --end;
            lineEnd = true;
            segment = segment.substr(0, end);
        }
        const int64_t length = int64_t(segment.size());
        // ByteCount counts a CR LF for every paragraph but one: a new paragraph adds its
        // bytes and the 2 of its line end; bytes put into an existing paragraph add only
        // themselves.
        if (!lineEnd) {
            // The chunk's last piece without a line end: it goes into the current paragraph
            // at the caret, which stays on that paragraph behind it.
            if ((error = LimitsCheck(paraNo, 0, length)) != kErrNone)
                break;
            InsertBytes(paraNo, column - 1, segment);
            column += int32_t(length);
        } else if (column == 1) {
            // A whole line at the start of a paragraph: it becomes a paragraph of its own in
            // front of the current one, which moves down untouched. Its length is checked
            // against the paragraph limit here, since LimitsCheck measures only a paragraph
            // that grows.
            if ((error = LimitsCheck(paraNo, 1, length + 2)) == kErrNone && length > paraLengthLimit)
                error = kErrParagraphTooLong;
            if (error != kErrNone)
                break;
            InsertParagraph(paraNo, Paragraph(segment));
            ++paraNo;
        } else {
            // A line that ends in the middle of a paragraph: its text goes in at the caret and
            // the paragraph is split behind it, so the rest of the old paragraph becomes the
            // next one. Blanks left before the split would be trailing blanks: they go.
            if ((error = LimitsCheck(paraNo, 0, length)) != kErrNone ||
                (error = LimitsCheck(paraNo, 1, length + 2)) != kErrNone)
                break;
            InsertBytes(paraNo, column - 1, segment);
            const std::string_view text = Para(paraNo).text;
            int32_t split = column - 1 + int32_t(length);
            int32_t blanks = split;
            while (blanks > 0 && IsBlank(text[size_t(blanks - 1)]))
                --blanks;
            DeleteBytes(paraNo, blanks, split - blanks);
            SplitParagraph(paraNo, blanks);
            ++paraNo;
            column = 1;
        }
        caret = anchor = ParaPos{paraNo, column};
    }
    return error;
}

int TextEditor::InsertText(std::string_view s)
{
    // A NUL ends a text: what follows it never reaches a paragraph, as when loading a file.
    s = s.substr(0, s.find('\0'));
    if (readOnly || s.empty())
        return kErrNone;
    UndoHistory& undo = buffer->undo;
    undo.BeginGroup();
    int error = HasSelection() ? DeleteRange(SelStart(), SelEnd()) : kErrNone;
    size_t pos = 0;
    while (pos < s.size() && error == kErrNone) {
        size_t end = pos + kInsertChunkBytes;
        if (end >= s.size()) {
            end = s.size();
        } else {
            // Never split a CR LF pair between chunks.
            while (end < s.size() && end - pos < kInsertChunkMaxBytes && (s[end] == '\r' || s[end] == '\n'))
                ++end;
        }
        error = InsertChunk(s.substr(pos, end - pos));
        pos = end;
    }
    undo.EndGroup();
    ScrollCaretIntoView();
    CaretPlaced();
    return error;
}

int TextEditor::InsertParagraphs(TextBlock block, std::span<const std::string_view> paragraphs)
{
    if (readOnly || paragraphs.empty())
        return kErrNone;
    if (HasSelection() || caret.column != 1) {
        std::string chunk;
        for (const std::string_view para : paragraphs) {
            chunk.assign(para);
            chunk += "\r\n";
            if (const int error = InsertText(chunk); error != kErrNone)
                return error;
        }
        return kErrNone;
    }
    int64_t bytes = 0;
    for (const std::string_view para : paragraphs) {
        assert(para.find('\n') == std::string_view::npos && !para.ends_with('\r'));
        if (int64_t(para.size()) > paraLengthLimit)
            return kErrParagraphTooLong;
        bytes += int64_t(para.size()) + 2;
    }
    if (int64_t(paragraphs.size()) > int64_t(kMaxLimit))
        return kErrTooManyParagraphs;
    if (const int error = LimitsCheck(caret.paraNo, int32_t(paragraphs.size()), bytes); error != kErrNone)
        return error;
    if (block)
        buffer->blocks.push_back(std::move(block));
    const std::ptrdiff_t count = ParaCount() + std::ptrdiff_t(paragraphs.size());
    buffer->paras.Reserve(count);
    buffer->lines.Reserve(int32_t(std::min<std::ptrdiff_t>(count, kMaxLimit - 1)));
    UndoHistory& undo = buffer->undo;
    for (const std::string_view para : paragraphs) {
        // The same records as InsertText's, so that undo after a rebuild behaves alike.
        undo.BeginGroup();
        InsertParagraph(caret.paraNo, Paragraph(ParaText::Borrowed(para)));
        undo.EndGroup();
        ++caret.paraNo;
    }
    anchor = caret;
    ScrollCaretIntoView();
    CaretPlaced();
    return kErrNone;
}

int TextEditor::DeleteRange(ParaPos from, ParaPos to)
{
    from = Clamp(from);
    to = Clamp(to);
    if (!(from < to))
        return kErrNone;
    // What stays of the first and the last paragraph becomes one: refuse before changing
    // anything if that would be too long.
    if (from.paraNo != to.paraNo &&
        int64_t(from.column - 1) + int64_t(Para(to.paraNo).text.size()) - (to.column - 1) > paraLengthLimit)
        return kErrJoinTooLong;
    UndoHistory& undo = buffer->undo;
    undo.BeginGroup();
    if (from.paraNo == to.paraNo) {
        DeleteBytes(from.paraNo, from.column - 1, to.column - from.column);
    } else if (from.column == 1 && to.column == 1) {
        // Whole paragraphs, line ends included: they go as paragraphs, so their marks go with
        // them (an empty one's too) and none lands on the paragraph that moves up.
        for (int32_t p = to.paraNo - 1; p >= from.paraNo; --p)
            DeleteParagraph(p);
    } else {
        // Cut the tail of the first paragraph and the head of the last, drop those between,
        // then join what is left of the two.
        DeleteBytes(from.paraNo, from.column - 1, int32_t(Para(from.paraNo).text.size()) - (from.column - 1));
        DeleteBytes(to.paraNo, 0, to.column - 1);
        for (int32_t p = to.paraNo - 1; p > from.paraNo; --p)
            DeleteParagraph(p);
        JoinParagraphs(from.paraNo);
    }
    undo.EndGroup();
    caret = anchor = from;
    return kErrNone;
}

// ---- caret and selection -------------------------------------------------------------------

ParaPos TextEditor::Clamp(ParaPos pos) const
{
    pos.paraNo = std::clamp(pos.paraNo, 1, ParaCount());
    pos.column = std::clamp(pos.column, 1, int32_t(Para(pos.paraNo).text.size()) + 1);
    return pos;
}

ParaPos TextEditor::EndOfText() const
{
    return ParaPos{ParaCount(), int32_t(Para(ParaCount()).text.size()) + 1};
}

CaretPosition TextEditor::GetCaretPosition() const
{
    const ParaPos pos = Clamp(caret);
    const int32_t displayLine = DisplayLineOf(pos);
    const int32_t line = displayLine - FirstLineOfPara(pos.paraNo);
    return CaretPosition{displayLine, pos.column - Para(pos.paraNo).LineStart(line)};
}

int32_t TextEditor::CaretDisplayColumn() const
{
    const ParaPos pos = Clamp(caret);
    const Paragraph& para = Para(pos.paraNo);
    const int32_t line = DisplayLineOf(pos) - FirstLineOfPara(pos.paraNo);
    int32_t column = 0;
    for (int32_t i = para.LineStart(line); i < pos.column - 1; ++i)
        column = para.text[size_t(i)] == '\t' ? (column / tabSize + 1) * tabSize : column + 1;
    return column + 1;
}

ParaPos TextEditor::PosFromDisplay(int32_t displayLine, int32_t displayColumn) const
{
    displayLine = std::clamp(displayLine, 1, LineCount());
    const int32_t paraNo = ParaOfLine(displayLine);
    const Paragraph& para = Para(paraNo);
    const int32_t line = displayLine - FirstLineOfPara(paraNo);
    const int32_t start = para.LineStart(line);
    // The end of a wrapped line is the start of the next one, where the caret would show below.
    const int32_t last = line + 1 < para.LineCount() ? para.LineEnd(line) - 1 : para.LineEnd(line);
    int32_t column = 0;
    int32_t offset = start;
    while (offset < last) {
        const int32_t next = para.text[size_t(offset)] == '\t' ? (column / tabSize + 1) * tabSize : column + 1;
        if (next > displayColumn - 1 && (next - (displayColumn - 1)) > (displayColumn - 1 - column))
            break;
        column = next;
        ++offset;
    }
    return ParaPos{paraNo, std::max(offset, start) + 1};
}

void TextEditor::SetCaret(ParaPos pos)
{
    caret = anchor = Clamp(pos);
    ScrollCaretIntoView();
    CaretPlaced();
    Repaint();
}

void TextEditor::ExtendSelectionTo(ParaPos pos)
{
    caret = Clamp(pos);
    anchor = Clamp(anchor);
    ScrollCaretIntoView();
    CaretPlaced();
    Repaint();
}

void TextEditor::SetSelection(ParaPos anchorPos, ParaPos caretPos)
{
    anchor = Clamp(anchorPos);
    caret = Clamp(caretPos);
    ScrollCaretIntoView();
    CaretPlaced();
    Repaint();
}

void TextEditor::SelectAll() { SetSelection(ParaPos{}, EndOfText()); }

void TextEditor::ClearSelection()
{
    if (!HasSelection())
        return;
    anchor = caret;
    Repaint();
}

std::string TextEditor::SelectedText() const
{
    const ParaPos from = Clamp(SelStart());
    const ParaPos to = Clamp(SelEnd());
    std::string out;
    for (int32_t p = from.paraNo; p <= to.paraNo; ++p) {
        const std::string_view text = Para(p).text;
        const size_t begin = p == from.paraNo ? size_t(from.column - 1) : 0;
        const size_t end = p == to.paraNo ? size_t(to.column - 1) : text.size();
        if (p > from.paraNo)
            out += "\r\n";
        out.append(text.substr(begin, end - begin));
    }
    return out;
}

void TextEditor::SetInsertMode(bool on)
{
    insertMode = on;
    CaretPlaced();
}

void TextEditor::SetShowBookmarks(bool on)
{
    showBookmarks = on;
    Repaint();
}

void TextEditor::SetTopLine(int32_t displayLine)
{
    const int32_t maxTop = std::max(1, LineCount() - visibleRows + 1);
    displayLine = std::clamp(displayLine, 1, maxTop);
    if (displayLine == topLine)
        return;
    topLine = displayLine;
    if (OnTopLineChanged)
        OnTopLineChanged(topLine);
    Repaint();
}

void TextEditor::SetVisibleRows(int32_t rows)
{
    visibleRows = std::max(1, rows);
    SetTopLine(topLine);
}

void TextEditor::ScrollCaretIntoView()
{
    const int32_t line = DisplayLineOf(caret);
    if (line < topLine)
        SetTopLine(line);
    else if (line >= topLine + visibleRows)
        SetTopLine(line - visibleRows + 1);
}

}  // namespace lepotex

namespace lepotex {

// ---- undo and bookmarks ---------------------------------------------------------------------

bool TextEditor::CanUndo() const { return !readOnly && buffer->undo.UndoCount() != 0; }

bool TextEditor::CanRedo() const { return !readOnly && buffer->undo.RedoCount() != 0; }

void TextEditor::Undo()
{
    if (!CanUndo()) {
        if (OnBeep)
            OnBeep();
        return;
    }
    bool modifiedAfter = buffer->modified;
    std::optional<ParaPos> pos;
    {
        DeferredWraps deferred(*this);
        pos = buffer->undo.Undo(*this, modifiedAfter);
    }
    buffer->modified = modifiedAfter;
    caret = anchor = Clamp(pos.value_or(caret));
    ScrollCaretIntoView();
    CaretPlaced();
    Repaint();
}

void TextEditor::Redo()
{
    if (!CanRedo()) {
        if (OnBeep)
            OnBeep();
        return;
    }
    std::optional<ParaPos> pos;
    {
        DeferredWraps deferred(*this);
        pos = buffer->undo.Redo(*this);
    }
    caret = anchor = Clamp(pos.value_or(caret));
    ScrollCaretIntoView();
    CaretPlaced();
    Repaint();
}

int32_t TextEditor::UndoBufferSize() const { return buffer->undo.BlockSize(); }

void TextEditor::SetUndoBufferSize(int32_t size)
{
    undoBufferSize = std::clamp(size, 0, 65535);
    buffer->undo.Reset(undoBufferSize);
}

void TextEditor::SetBookmark(int number)
{
    if (number < 0 || number > 9)
        return;
    buffer->bookmarks[size_t(number)] = Clamp(caret);
    Repaint();
}

void TextEditor::GotoBookmark(int number)
{
    if (number < 0 || number > 9)
        return;
    const ParaPos mark = buffer->bookmarks[size_t(number)];
    if (mark.paraNo == 0)
        return;
    SetCaret(mark);
}

ParaPos TextEditor::Bookmark(int number) const
{
    if (number < 0 || number > 9)
        return ParaPos{0, 0};
    return buffer->bookmarks[size_t(number)];
}

}  // namespace lepotex
