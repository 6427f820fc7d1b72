#pragma once
// The headless editor: a paragraph buffer with word wrap, caret, selection, limits, undo,
// bookmarks, search and text files. It knows nothing of windows; the view widget draws it
// and feeds it keys, and listens to its events.
//
// Every change of the text goes through the private primitives (InsertBytes, DeleteBytes,
// ReplaceBytes, InsertParagraph, DeleteParagraph, SplitParagraph, JoinParagraphs), the one
// place that keeps the counts, the wrap layout, the undo history and the bookmarks
// consistent.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "editor/EditorErrors.h"
#include "editor/ParaText.h"
#include "editor/Partitioning.h"
#include "editor/Position.h"
#include "editor/SearchOptions.h"
#include "editor/SplitVector.h"
#include "editor/TextBlock.h"
#include "editor/TextEncoding.h"

namespace lepotex {

class UndoHistory;

// One paragraph: its bytes (no line end, no NUL) and where its display lines begin.
class Paragraph {
public:
    Paragraph() = default;
    explicit Paragraph(std::string_view text) : text(text) {}
    explicit Paragraph(ParaText text) : text(std::move(text)) {}
    Paragraph(Paragraph&&) noexcept = default;
    Paragraph& operator=(Paragraph&&) noexcept = default;

    ParaText text;

    int32_t LineCount() const { return wraps ? 1 + wraps[0] : 1; }
    // Offset at which display line `line` (from 0) of this paragraph begins.
    int32_t LineStart(int32_t line) const { return line == 0 ? 0 : wraps[line]; }
    // Offset behind the end of display line `line` (from 0).
    int32_t LineEnd(int32_t line) const
    {
        return line + 1 < LineCount() ? LineStart(line + 1) : int32_t(text.size());
    }
    // Re-computes the display lines for the effective wrap width; returns the change of the
    // line count.
    int32_t Wrap(int32_t width, int32_t tabSize);

private:
    // nullptr for a one-line paragraph (the common case, so it costs no allocation);
    // otherwise wraps[0] is the number of further lines and wraps[1..] their start offsets.
    std::unique_ptr<uint16_t[]> wraps;
};
// A book has a paragraph a line: each byte here is a megabyte of a book of short lines.
static_assert(sizeof(void*) != 8 || sizeof(Paragraph) == 16);

struct UpdateGuard;

// How the last load read the file and what it had to change, so that the caller can say so.
struct LoadReport {
    FileFormat format;              // the encoding and line end found (or given)
    int64_t longLinesSplit = 0;     // lines longer than the paragraph limit, put in as several
    int64_t linesCutAtNul = 0;      // lines whose text ended at a NUL byte
    int64_t bytesAfterEndMark = 0;  // bytes behind a Ctrl+Z at a line start, which ends the file
    // Characters Windows-1250 has no byte for (or bytes that were no character of the
    // encoding): each is a '?' in the editor.
    int64_t charsReplaced = 0;
    char32_t firstReplaced = 0;      // the first of them, U+FFFD for a malformed byte
    int64_t firstReplacedLine = 0;   // the file's line it stood on, from 1
    // The copy of an old text that a save writing over the file itself left beside it when it
    // was killed (".NAME.lepotex-old~N"): the file may be half written. Empty when none.
    std::string oldTextCopy;
    // False when saving the text back would not give the file's text: characters were
    // replaced, or text was dropped by the format's rules.
    bool Faithful() const { return charsReplaced == 0 && linesCutAtNul == 0 && bytesAfterEndMark == 0; }
};

// Takes the paragraphs of a book as TextEditor::LoadFromFileInto reads them.
class LoadedParagraphSink {
public:
    virtual ~LoadedParagraphSink() = default;
    // About this many paragraphs are to come.
    virtual void Reserve(std::size_t paragraphs) = 0;
    // The next paragraph, as the editor would hold it. `lasting`: its bytes stay where they
    // are while the editor keeps its text as it is; else they are to be copied now.
    // `mayHoldControls`: it, or a paragraph before it, may hold a tab, CR or LF; while false,
    // none has.
    virtual void Take(std::string_view text, bool lasting, bool mayHoldControls) = 0;
    // The load is through; `plain`: no paragraph holds a tab, CR or LF.
    virtual void Finish(bool plain) = 0;
};

class TextEditor {
public:
    static constexpr int32_t kMaxLimit = 2147483647;
    static constexpr int32_t kMaxParaLength = 32767;
    static constexpr int32_t kNoWrapWidth = 32767;
    static constexpr int32_t kDefaultUndoBufferSize = 8192;

    TextEditor();
    ~TextEditor();
    TextEditor(const TextEditor&) = delete;
    TextEditor& operator=(const TextEditor&) = delete;

    // Counts and limits.
    int32_t ParaCount() const;
    int32_t LineCount() const;
    int32_t ByteCount() const;
    int32_t ParaLimit() const { return paraLimit; }
    int32_t ByteLimit() const { return byteLimit; }
    int32_t ParaLengthLimit() const { return paraLengthLimit; }
    void SetParaLimit(int32_t limit);
    void SetByteLimit(int32_t limit);
    void SetParaLengthLimit(int32_t limit);  // values outside 1 .. 32767 are ignored

    // Reading. GetLine expands tabs; ParaText hands out the raw bytes (valid until the next change).
    std::string GetLine(int32_t displayLine) const;
    std::string_view ParaText(int32_t paraNo) const;
    int32_t ParaLineCount(int32_t paraNo) const;
    int32_t ParaOfLine(int32_t displayLine) const;       // throws EInvalidLineOrPara
    int32_t FirstLineOfPara(int32_t paraNo) const;       // display line of the paragraph's start
    int32_t DisplayLineOf(ParaPos pos) const;            // display line holding a position
    std::string Text() const;                            // paragraphs joined by CR LF

    // Word wrap.
    bool WordWrap() const { return wordWrap; }
    void SetWordWrap(bool on);
    int32_t WrapColumn() const { return wrapColumn; }
    void SetWrapColumn(int32_t columns);  // 0 or less is ignored
    int32_t EffectiveWrapWidth() const { return wordWrap ? wrapColumn : kNoWrapWidth; }
    int32_t TabSize() const { return tabSize; }
    void SetTabSize(int32_t size);

    // The whole text with its undo history, bookmarks and modified state, out of the editor,
    // so that a command that rebuilds the text can be undone in one step.
    class KeptText;

    // Whole-buffer operations.
    void Clear();
    // As Clear, but the text goes into the keeping instead of away.
    [[nodiscard]] KeptText ClearKeeping();
    // As Clear, but each paragraph's text goes to `take` first, in order. A borrowed text
    // (ParaText::IsBorrowed) stays where it is until the next Clear or load; any other is gone
    // when `take` returns. The paragraph table's memory goes back to the system as the walk
    // passes it, so that a book's table and what the caller makes of its paragraphs are not
    // both held at once. For a caller that keeps nothing of the text but what it made of it.
    void DrainText(const std::function<void(const lepotex::ParaText& text)>& take);
    // Whether no paragraph holds a tab, CR or LF, as the load found them and no change has
    // touched since; false when that is not known.
    bool KnownPlain() const;
    // A paragraph's bytes with each tab expanded to the next multiple of `tabWidth`, as GetLine
    // shows them.
    static std::string ExpandTabs(std::string_view text, int32_t tabWidth);
    // Puts a kept text back in place of the present one, laid out anew; the caret goes to the
    // start and the text counts as modified, since the file may hold the rebuilt one. An empty
    // keeping changes nothing.
    void Restore(KeptText kept);
    void BeginUpdate();
    void EndUpdate();
    bool Updating() const { return updateCount > 0; }
    [[nodiscard]] int InsertText(std::string_view s);
    // Inserts each of `paragraphs` as InsertText(paragraph + CR LF) would, one undo group each,
    // for a text rebuilt by a command: the paragraphs lie in `block` (or in other memory that
    // outlives the buffer), and the buffer keeps the block instead of copying them. A
    // paragraph holds no LF and does not end with a CR (a CR inside it stays, as with
    // InsertText). Unlike InsertText, a limit error is found before anything is inserted.
    // With a selection, or the caret inside a paragraph, it falls back to InsertText.
    [[nodiscard]] int InsertParagraphs(TextBlock block, std::span<const std::string_view> paragraphs);
    bool Modified() const;
    void SetModified(bool modified);

    // Caret and selection. The caret's column is within its paragraph.
    ParaPos Caret() const { return caret; }
    CaretPosition GetCaretPosition() const;  // display line and character column within it
    int32_t CaretDisplayColumn() const;      // display column within the line, tabs expanded
    void SetCaret(ParaPos pos);              // clamps, drops the selection
    void ExtendSelectionTo(ParaPos pos);     // moves the caret, keeping the anchor
    void SetSelection(ParaPos anchor, ParaPos caretPos);
    void SelectAll();
    bool HasSelection() const { return anchor != caret; }
    ParaPos SelStart() const { return std::min(anchor, caret); }
    ParaPos SelEnd() const { return std::max(anchor, caret); }
    ParaPos Anchor() const { return anchor; }
    std::string SelectedText() const;  // raw bytes, paragraphs joined by CR LF
    void ClearSelection();
    ParaPos PosFromDisplay(int32_t displayLine, int32_t displayColumn) const;  // both from 1
    ParaPos EndOfText() const;

    bool InsertMode() const { return insertMode; }
    void SetInsertMode(bool on);
    bool ReadOnly() const { return readOnly; }
    void SetReadOnly(bool on) { readOnly = on; }
    bool ShowBookmarks() const { return showBookmarks; }
    void SetShowBookmarks(bool on);

    // Scrolling, as far as the core keeps it: the first visible line and the number of rows.
    int32_t TopLine() const { return topLine; }
    void SetTopLine(int32_t displayLine);
    int32_t VisibleRows() const { return visibleRows; }
    void SetVisibleRows(int32_t rows);
    void ScrollCaretIntoView();

    // Undo history.
    bool CanUndo() const;
    bool CanRedo() const;
    void Undo();
    void Redo();
    int32_t UndoBufferSize() const;
    void SetUndoBufferSize(int32_t size);  // starts a new, empty history

    // Bookmarks 0 to 9; other numbers are ignored. A bookmark is unset when it is {0, 0}.
    void SetBookmark(int number);
    void GotoBookmark(int number);
    ParaPos Bookmark(int number) const;

    // Search and replace.
    bool Search(std::string_view s, SearchOptions options);
    int32_t Replace(std::string_view s, std::string_view r, SearchOptions options);

    // Keyboard-level editing, as the widget calls it. Each completed change raises OnChange.
    void TypeChar(char c);
    void Backspace();
    void DeleteForward();
    void BreakParagraph();
    void DeleteSelection();
    std::string TextToCopy() const;  // the selection as the clipboard gets it
    std::string Cut();               // returns what goes to the clipboard
    void Paste(std::string_view clipboardText);

    // The paragraph of a display line and the offsets [begin, end) of the line's bytes in it;
    // throws EInvalidLineOrPara for a line outside 1 .. LineCount().
    struct LineSpan {
        int32_t paraNo;
        int32_t begin;
        int32_t end;
    };
    LineSpan DisplayLineSpan(int32_t displayLine) const;

    // Where the caret keys lead; the caller places the caret there with SetCaret or
    // ExtendSelectionTo. Positions are clamped first; none of these changes anything.
    ParaPos CharLeftOf(ParaPos pos) const;   // from a paragraph's start to the previous one's end
    ParaPos CharRightOf(ParaPos pos) const;  // from a paragraph's end to the next one's start
    ParaPos WordLeftOf(ParaPos pos) const;   // start of the word before, by search's delimiters
    ParaPos WordRightOf(ParaPos pos) const;  // start of the next word, or the paragraph's end
    ParaPos LineHomeOf(ParaPos pos) const;   // start of the position's display line
    ParaPos LineEndOf(ParaPos pos) const;    // end of it (in front of the wrap point)
    // The word that a position lies in or directly behind, as [start, end); an empty range at
    // the position when it touches no word.
    std::pair<ParaPos, ParaPos> WordAt(ParaPos pos) const;

    // The error code InsertText(s) would return now (0 when it would insert all of s),
    // found without changing anything, so that a paste can be refused whole.
    [[nodiscard]] int CheckInsert(std::string_view s) const;
    // Restores the caret's paragraph as it was before the latest run of changes made in it:
    // undoes, group by group, the newest changes while they changed only that paragraph's
    // text. When the newest change was not of that kind it does the same as Undo.
    void RestoreParagraph();

    // Text files. Loading finds the file's encoding and line end unless `encoding` is given,
    // and converts the text to Windows-1250; saving writes in FileFormat().
    void LoadFromFile(const std::string& name, std::optional<TextEncoding> encoding = std::nullopt);
    // Loads as LoadFromFile does, but a Windows-1250 book with CR LF line ends, which is read
    // as it lies, goes to `sink` paragraph by paragraph instead of into the editor: for a
    // command that only hands the book on, so that it is never held twice. The editor is left
    // empty then, holding what the paragraphs borrow, and true is returned; any other file is
    // loaded into the editor, and false. After a failed load, what the sink took is no text.
    bool LoadFromFileInto(const std::string& name, std::optional<TextEncoding> encoding, LoadedParagraphSink& sink);
    // A file with several names is written over in place; a device, a pipe or one of the
    // process's own descriptors (/dev/stdout) is written into; any other file is replaced
    // whole through a new file beside it. A file without write permission is refused.
    // A save over the file last loaded or saved is refused with EFileChangedError when that
    // file was since written, replaced or removed by someone else, unless `overwriteChanged`.
    void SaveToFile(const std::string& name, bool overwriteChanged = false);
    // Saves as SaveToFile does, but paragraphs that `produce` hands one after the other to the
    // function it is given (about `size` bytes, each no longer than a paragraph may be and
    // without line ends) rather than the editor's own: a command whose whole result would
    // only be saved writes it without holding it. Returns false, having written nothing,
    // where the file is not one that a new file beside it replaces (a device, standard
    // output, a file of several names); the caller then saves the usual way. What `produce`
    // throws leaves the file as it was.
    using ParagraphProducer = std::function<void(const std::function<void(std::string_view)>& add)>;
    bool SaveProducedToFile(const std::string& name, int64_t size, const ParagraphProducer& produce,
                            bool overwriteChanged = false);
    // The leftover copy of an old text beside `name` (see LoadReport::oldTextCopy), or "".
    static std::string FindOldTextCopy(const std::string& name);
    // Puts that copy's text back into the file, in place so that every name of it sees it,
    // and removes the copy.
    static void RestoreOldTextCopy(const std::string& name, const std::string& copy);
    // Writes what SaveToFile would into an open descriptor, at its position.
    void SaveToDescriptor(int fd);
    // Whether LoadFromFile maps a regular Windows-1250 file with CR LF line ends rather than
    // reading it, the paragraphs then borrowing from the mapping: no memory to fill for the
    // book. For a text that lives as long as one command (the batch tool): a change that
    // another process makes to the file meanwhile makes the load, or a save of what was made
    // of the text, fail with an error, and a window could not keep a document for long.
    void SetMapFiles(bool on) { mapFiles = on; }
    // True when the text is, or was made from, a mapped file that changed meanwhile.
    bool SourceChanged() const;
    const std::string& FileName() const { return fileName; }
    bool IsOpen() const { return isOpen; }
    const LoadReport& LastLoadReport() const { return loadReport; }
    // The format the next save writes: the last loaded file's, until changed. Clear keeps it
    // (the glue rebuilds the text through it); a new document sets the default.
    FileFormat GetFileFormat() const { return fileFormat; }
    void SetFileFormat(FileFormat format) { fileFormat = format; }
    // Characters the last save could not write in its encoding, written as near as it could.
    int64_t LastSaveReplacements() const { return saveReplacements; }

    // Events. OnChange follows user edits only; OnShowStatus is deferred: the core raises
    // OnStatusPosted and the owner calls DeliverShowStatus from its event loop later.
    std::function<void()> OnChange;
    std::function<void(int32_t displayLine, int32_t column)> OnShowStatus;
    std::function<void(int32_t displayLine)> OnTopLineChanged;
    std::function<void()> OnStatusPosted;
    std::function<void()> OnRepaint;  // the text or its layout changed and no update is pending
    std::function<void()> OnBeep;
    void DeliverShowStatus();
    bool ShowStatusPending() const { return statusPending; }

private:
    friend class UndoHistory;
    friend struct DeferredWraps;
    struct Buffer;

    // LoadFromFile, and LoadFromFileInto with a sink.
    bool Load(const std::string& name, std::optional<TextEncoding> encoding, LoadedParagraphSink* sink);

    // Primitives: every change of the text goes through one of these.
    void InsertBytes(int32_t paraNo, int32_t offset, std::string_view bytes);
    void DeleteBytes(int32_t paraNo, int32_t offset, int32_t count);
    void ReplaceBytes(int32_t paraNo, int32_t offset, int32_t count, std::string_view bytes);
    void InsertParagraph(int32_t paraNo, Paragraph para);  // in front of paraNo
    void DeleteParagraph(int32_t paraNo);
    Paragraph RemoveParagraph(int32_t paraNo);             // as DeleteParagraph, but not recorded
    void PutParagraph(int32_t paraNo, Paragraph para);     // structure only: no undo, no bookmarks
    Paragraph TakeParagraph(int32_t paraNo);               // structure only: no undo, no bookmarks
    void SplitParagraph(int32_t paraNo, int32_t offset);   // the part from offset becomes paraNo + 1
    void JoinParagraphs(int32_t paraNo);                   // paraNo + 1 is appended to paraNo

    void BookmarksTextInserted(int32_t paraNo, int32_t offset, int32_t count);
    void BookmarksTextDeleted(int32_t paraNo, int32_t offset, int32_t count);
    Paragraph& Para(int32_t paraNo);
    const Paragraph& Para(int32_t paraNo) const;
    void Rewrap(int32_t paraNo);
    void FlushWraps();  // the re-wrap put off while wraps are deferred (EditorBuffer.h)
    void RewrapAll();
    int LimitsCheck(int32_t paraNo, int32_t parasAdded, int64_t bytesAdded) const;
    // InsertText works through a long text in chunks of 60 KiB, each stretched over the CR
    // and LF bytes that follow it (to at most 64 KiB less 16 bytes), so that no CR LF pair is
    // split between two chunks. A failing chunk stops the insertion with the chunks before it
    // in place, so where the chunks end can be seen in what a refused text leaves behind, and
    // the sizes are kept exactly; CheckInsert walks the same chunks to foretell the error.
    static constexpr size_t kInsertChunkBytes = 61440;
    static constexpr size_t kInsertChunkMaxBytes = 65520;
    int InsertChunk(std::string_view chunk);
    [[nodiscard]] int DeleteRange(ParaPos from, ParaPos to);  // 266 when the rest would be too long
    bool DeleteCharAt(ParaPos pos);     // one character, or the line end: a join (266 when too long)
    void ChangedText();                 // sets the modified flag and asks for a repaint
    void CaretPlaced();                 // posts OnShowStatus
    void UserChanged();                 // OnChange after a completed user edit
    void Repaint();
    ParaPos Clamp(ParaPos pos) const;
    void ResetView();
    int32_t SearchEngine(std::string_view s, std::string_view r, SearchOptions options);

    int32_t paraLimit = kMaxLimit;
    int32_t byteLimit = kMaxLimit;
    int32_t paraLengthLimit = kMaxParaLength;
    int32_t undoBufferSize = kDefaultUndoBufferSize;
    bool wordWrap = true;
    int32_t wrapColumn = 105;
    int32_t tabSize = 8;
    std::unique_ptr<Buffer> buffer;  // declared after the settings it is made from

    ParaPos caret;
    ParaPos anchor;  // selection is [min(anchor, caret), max(anchor, caret))
    bool insertMode = true;
    bool readOnly = false;
    bool showBookmarks = false;
    int32_t topLine = 1;
    int32_t visibleRows = 1;
    int updateCount = 0;
    bool statusPending = false;

    std::string fileName;
    // The file as last loaded or saved, to tell whether another program has changed it since.
    struct FileIdentity {
        std::string path;  // absolute
        uint64_t device = 0, inode = 0;
        int64_t modifiedNs = 0, size = -1;
    };
    std::optional<FileIdentity> knownFile;
    bool isOpen = false;
    LoadReport loadReport;
    FileFormat fileFormat;
    int64_t saveReplacements = 0;
    bool mapFiles = false;
    bool sourceChanged = false;  // the text was made from a mapped file that changed meanwhile

    // Before a save: refuses a text whose mapped file changed, and copies what the
    // paragraphs borrow from the file with this device and inode, which the save may write over.
    void PrepareSave(unsigned long long device, unsigned long long inode);
    bool SaveToFileFrom(const std::string& name, bool overwriteChanged, const ParagraphProducer* produce,
                        int64_t producedSize);
};

// A temporary file of the caller's (standard input, read into it) that SIGINT and SIGTERM
// remove as they remove a save's own. `pattern` ends in XXXXXX; the file goes with the object.
class SignalSafeTemporary {
public:
    explicit SignalSafeTemporary(std::string pattern);
    ~SignalSafeTemporary();
    SignalSafeTemporary(const SignalSafeTemporary&) = delete;
    SignalSafeTemporary& operator=(const SignalSafeTemporary&) = delete;
    const std::string& Name() const { return name; }
    int Descriptor() const { return fd; }

private:
    struct Registration;
    std::string name;
    int fd = -1;
    std::unique_ptr<Registration> registration;
};

class TextEditor::KeptText {
public:
    KeptText();
    ~KeptText();
    KeptText(KeptText&&) noexcept;
    KeptText& operator=(KeptText&&) noexcept;
    bool Empty() const { return !buffer; }

private:
    friend class TextEditor;
    std::unique_ptr<Buffer> buffer;
};

// Holds BeginUpdate for its lifetime, so an exception cannot leave the editor frozen.
struct UpdateGuard {
    explicit UpdateGuard(TextEditor& editor) : editor(editor) { editor.BeginUpdate(); }
    ~UpdateGuard() { editor.EndUpdate(); }
    UpdateGuard(const UpdateGuard&) = delete;
    UpdateGuard& operator=(const UpdateGuard&) = delete;
    TextEditor& editor;
};

}  // namespace lepotex
