// Keyboard-level editing as the view calls it. Each public operation is one user change:
// it raises an editor error for a limit, and OnChange when it changed the text.
#include "editor/TextEditor.h"

#include "editor/EditorBuffer.h"

namespace lepotex {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Opens an undo group for one user command and closes it on every way out.
struct UndoGroup {
    explicit UndoGroup(UndoHistory& undo) : undo(undo) { undo.BeginGroup(); }
    ~UndoGroup() { undo.EndGroup(); }
    UndoHistory& undo;
};

}  // namespace

void TextEditor::TypeChar(char c)
{
    if (readOnly || c == '\0')
        return;
    if (HasSelection()) {
        // The deletion and the character are one change; typing after it merges again.
        UndoGroup group(buffer->undo);
        if (const int error = DeleteRange(SelStart(), SelEnd()))
            RaiseEditorError(error);
        if (const int error = LimitsCheck(caret.paraNo, 0, 1))
            RaiseEditorError(error);
        InsertBytes(caret.paraNo, caret.column - 1, std::string_view(&c, 1));
    } else {
        caret = anchor = Clamp(caret);
        const std::string_view text = Para(caret.paraNo).text;
        if (!insertMode && caret.column <= int32_t(text.size())) {
            ReplaceBytes(caret.paraNo, caret.column - 1, 1, std::string_view(&c, 1));
        } else {
            if (const int error = LimitsCheck(caret.paraNo, 0, 1))
                RaiseEditorError(error);
            InsertBytes(caret.paraNo, caret.column - 1, std::string_view(&c, 1));
        }
    }
    caret.column += 1;
    anchor = caret;
    ScrollCaretIntoView();
    CaretPlaced();
    UserChanged();
}

bool TextEditor::DeleteCharAt(ParaPos pos)
{
    const int32_t length = int32_t(Para(pos.paraNo).text.size());
    if (pos.column <= length) {
        DeleteBytes(pos.paraNo, pos.column - 1, 1);
        return true;
    }
    if (pos.paraNo == ParaCount())
        return false;
    if (length + int64_t(Para(pos.paraNo + 1).text.size()) > paraLengthLimit)
        RaiseEditorError(kErrJoinTooLong);
    JoinParagraphs(pos.paraNo);
    return true;
}

void TextEditor::Backspace()
{
    if (readOnly)
        return;
    if (HasSelection()) {
        DeleteSelection();
        return;
    }
    ParaPos before = Clamp(caret);
    if (before.column > 1)
        before.column -= 1;
    else if (before.paraNo > 1)
        before = ParaPos{before.paraNo - 1, int32_t(Para(before.paraNo - 1).text.size()) + 1};
    else
        return;
    if (!DeleteCharAt(before))
        return;
    caret = anchor = before;
    ScrollCaretIntoView();
    CaretPlaced();
    UserChanged();
}

void TextEditor::DeleteForward()
{
    if (readOnly)
        return;
    if (HasSelection()) {
        DeleteSelection();
        return;
    }
    caret = anchor = Clamp(caret);
    if (!DeleteCharAt(caret))
        return;
    CaretPlaced();
    UserChanged();
}

void TextEditor::BreakParagraph()
{
    if (readOnly)
        return;
    UndoGroup group(buffer->undo);
    if (HasSelection())
        if (const int error = DeleteRange(SelStart(), SelEnd()))
            RaiseEditorError(error);
    caret = Clamp(caret);
    if (const int error = LimitsCheck(caret.paraNo, 1, 2))
        RaiseEditorError(error);
    const std::string_view text = Para(caret.paraNo).text;
    int32_t split = caret.column - 1;
    int32_t blanks = split;
    while (blanks > 0 && IsBlank(text[size_t(blanks - 1)]))
        --blanks;
    DeleteBytes(caret.paraNo, blanks, split - blanks);
    SplitParagraph(caret.paraNo, blanks);
    caret = anchor = ParaPos{caret.paraNo + 1, 1};
    ScrollCaretIntoView();
    CaretPlaced();
    UserChanged();
}

void TextEditor::DeleteSelection()
{
    if (readOnly || !HasSelection())
        return;
    if (const int error = DeleteRange(SelStart(), SelEnd()))
        RaiseEditorError(error);
    ScrollCaretIntoView();
    CaretPlaced();
    UserChanged();
}

std::string TextEditor::TextToCopy() const
{
    if (!HasSelection())
        return {};
    std::string text = SelectedText();
    for (char& c : text)
        if (c >= 0x01 && c <= 0x09)
            c = ' ';
    return text;
}

std::string TextEditor::Cut()
{
    if (readOnly || !HasSelection())
        return {};
    std::string text = TextToCopy();
    DeleteSelection();
    return text;
}

void TextEditor::Paste(std::string_view clipboardText)
{
    clipboardText = clipboardText.substr(0, clipboardText.find('\0'));
    if (readOnly || clipboardText.empty())
        return;
    const int error = InsertText(clipboardText);
    UserChanged();  // what went in before a failure is a change too
    if (error != kErrNone)
        RaiseEditorError(error);
}

}  // namespace lepotex
