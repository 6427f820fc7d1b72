#include "editor/view/EditorView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <new>
#include <string>

#include <QApplication>
#include <QBasicTimer>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QFocusEvent>
#include <QFontDatabase>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMessageBox>
#include <QMetaMethod>
#include <QPainter>
#include <QRawFont>
#include <QScrollBar>
#include <QTimerEvent>
#include <QToolTip>
#include <QWheelEvent>

#include "editor/EditorErrors.h"
#include "editor/Windows1250.h"

namespace lepotex {

namespace {

// The commands of the key table; the Ext and Extend commands are their plain counterparts with
// the selection extended.
enum class Command {
    Left, Right, Up, Down, WordLeft, WordRight, Home, End, PrevPage, NextPage, TopOfPage, BotOfPage,
    FirstPage, LastPage, Del, Back, Ins, NewLine, Tab, Cut, Copy, Paste, Undo, Redo, Restore,
};

struct KeyBinding {
    int key;
    Qt::KeyboardModifiers modifiers;
    Command command;
    bool extend;
};

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier;
constexpr Qt::KeyboardModifiers kShift = Qt::ShiftModifier;
constexpr Qt::KeyboardModifiers kCtrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers kAlt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

// The key table but its 20 bookmark entries, which read the digit from the key itself.
const KeyBinding kKeyTable[] = {
    {Qt::Key_Left, kNone, Command::Left, false},
    {Qt::Key_Right, kNone, Command::Right, false},
    {Qt::Key_Up, kNone, Command::Up, false},
    {Qt::Key_Down, kNone, Command::Down, false},
    {Qt::Key_Left, kCtrl, Command::WordLeft, false},
    {Qt::Key_Right, kCtrl, Command::WordRight, false},
    {Qt::Key_Home, kNone, Command::Home, false},
    {Qt::Key_End, kNone, Command::End, false},
    {Qt::Key_PageUp, kNone, Command::PrevPage, false},
    {Qt::Key_PageDown, kNone, Command::NextPage, false},
    {Qt::Key_PageUp, kCtrl, Command::TopOfPage, false},
    {Qt::Key_PageDown, kCtrl, Command::BotOfPage, false},
    {Qt::Key_Home, kCtrl, Command::FirstPage, false},
    {Qt::Key_End, kCtrl, Command::LastPage, false},
    {Qt::Key_Left, kShift, Command::Left, true},
    {Qt::Key_Right, kShift, Command::Right, true},
    {Qt::Key_Up, kShift, Command::Up, true},
    {Qt::Key_Down, kShift, Command::Down, true},
    {Qt::Key_Left, kCtrlShift, Command::WordLeft, true},
    {Qt::Key_Right, kCtrlShift, Command::WordRight, true},
    {Qt::Key_Home, kShift, Command::Home, true},
    {Qt::Key_End, kShift, Command::End, true},
    {Qt::Key_PageUp, kShift, Command::PrevPage, true},
    {Qt::Key_PageDown, kShift, Command::NextPage, true},
    {Qt::Key_PageUp, kCtrlShift, Command::TopOfPage, true},
    {Qt::Key_PageDown, kCtrlShift, Command::BotOfPage, true},
    {Qt::Key_Home, kCtrlShift, Command::FirstPage, true},
    {Qt::Key_End, kCtrlShift, Command::LastPage, true},
    {Qt::Key_Delete, kNone, Command::Del, false},
    {Qt::Key_Backspace, kNone, Command::Back, false},
    {Qt::Key_Backspace, kShift, Command::Back, false},
    {Qt::Key_Insert, kNone, Command::Ins, false},
    {Qt::Key_Return, kCtrl, Command::NewLine, false},
    {Qt::Key_Enter, kCtrl, Command::NewLine, false},
    {Qt::Key_Tab, kNone, Command::Tab, false},
    {Qt::Key_Tab, kCtrl, Command::Tab, false},
    {Qt::Key_Delete, kShift, Command::Cut, false},
    {Qt::Key_X, kCtrl, Command::Cut, false},
    {Qt::Key_Insert, kCtrl, Command::Copy, false},
    {Qt::Key_C, kCtrl, Command::Copy, false},
    {Qt::Key_Insert, kShift, Command::Paste, false},
    {Qt::Key_V, kCtrl, Command::Paste, false},
    {Qt::Key_Z, kCtrl, Command::Undo, false},
    {Qt::Key_Z, kCtrlShift, Command::Redo, false},
    {Qt::Key_Backspace, kAlt, Command::Restore, false},
};

Qt::KeyboardModifiers TableModifiers(const QKeyEvent* event)
{
    return event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
}

// The digit of a digit-row key however the layout shifts it: Ctrl+Shift+1 arrives as "!" on
// an English layout, and a Czech one has letters on the row and the digits shifted.
int DigitOfKey(const QKeyEvent* event)
{
    const int key = event->key();
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return key - Qt::Key_0;
    // Windows gives the row's virtual key, VK_0 to VK_9, whatever the layout; X11 gives the keysym.
    const quint32 virtualKey = event->nativeVirtualKey();
    if (virtualKey >= '0' && virtualKey <= '9')
        return int(virtualKey - '0');
    // X11 and Wayland: key codes 10 to 19 are the physical row "1" to "0".
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb") || platform.startsWith(QLatin1String("wayland"))) {
        const quint32 code = event->nativeScanCode();
        if (code >= 10 && code <= 19)
            return int(code - 9) % 10;
    }
    static constexpr std::string_view kShiftedDigits = ")!@#$%^&*(";
    if (key > 0 && key < 128)
        if (const size_t at = kShiftedDigits.find(char(key)); at != std::string_view::npos)
            return int(at);
    return -1;
}

// Bytes that have no visible glyph of their own: C0 and C1 control characters (the five bytes
// Windows-1250 leaves undefined decode to C1 ones) and DEL. The tab is drawn as blanks.
bool IsInvisible(uint8_t byte)
{
    const char16_t u = Windows1250ToUnicode(byte);
    return byte != '\t' && (u < 0x20 || (u >= 0x7F && u < 0xA0));
}

bool IsUndefined(uint8_t byte)
{
    return byte == 0x81 || byte == 0x83 || byte == 0x88 || byte == 0x90 || byte == 0x98;
}

// The character a byte is drawn as: one cell each.
QChar DisplayChar(uint8_t byte)
{
    if (byte == '\t')
        return QLatin1Char(' ');
    if (IsInvisible(byte))
        return QLatin1Char('?');  // drawn light on a red cell, so it cannot be taken for a "?" of the text
    if (byte == 0xAD)
        return QLatin1Char('-');  // a soft hyphen would be drawn with no width at all
    return QChar(Windows1250ToUnicode(byte));
}

QString ByteTip(uint8_t byte)
{
    const QString hex = QStringLiteral("0x") + QString::number(byte, 16).toUpper().rightJustified(2, QLatin1Char('0'));
    if (IsUndefined(byte))
        return QStringLiteral("Bajt %1 nemá ve Windows-1250 žádný znak").arg(hex);
    return QStringLiteral("Řídicí znak %1").arg(hex);
}

QFont DefaultFont()
{
    if (QFontDatabase::families().contains(QStringLiteral("Courier New"), Qt::CaseInsensitive)) {
        QFont font(QStringLiteral("Courier New"));
        font.setPointSize(8);
        font.setFixedPitch(true);
        return font;
    }
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSize(8);
    font.setFixedPitch(true);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

QString PasteNotice(int replaced)
{
    const QString count = QString::number(replaced);
    if (replaced == 1)
        return QStringLiteral("1 vložený znak nemá obdobu v kódování Windows-1250; byl nahrazen znakem „?“.");
    if (replaced >= 2 && replaced <= 4)
        return QStringLiteral("%1 vložené znaky nemají obdobu v kódování Windows-1250; byly nahrazeny znakem „?“.").arg(count);
    return QStringLiteral("%1 vložených znaků nemá obdobu v kódování Windows-1250; byly nahrazeny znakem „?“.").arg(count);
}

}  // namespace

struct EditorView::Private {
    explicit Private(EditorView* q) : q(q) {}

    EditorView* q;
    // The width of one cell. Glyph advances are fractional, and a run of text is drawn at them,
    // so every cell position is computed from this exact figure, never from a rounded one.
    qreal charWidth = 7;
    int lineHeight = 13;
    int ascent = 10;
    QRawFont rawFont;                    // the font's glyphs, drawn without shaping
    std::array<quint32, 256> glyphOf{};  // the glyph of each byte in rawFont; 0: the font has none
    int firstColumn = 0;  // display columns scrolled out at the left, from 0
    int widestLine = 0;   // display columns of the widest line seen since the layout changed
    int goalColumn = 0;   // display column (from 1) that Up, Down and the pages aim at; 0: the caret's
    int verticalFactor = 1;
    bool settingScrollBars = false;
    bool caretShown = true;
    bool selecting = false;
    bool selectingWords = false;         // the button went down for a double click: drags go by words
    std::pair<ParaPos, ParaPos> clickedWord;
    QElapsedTimer sinceDoubleClick;      // a third click soon after, in the same place, takes the paragraph
    QPoint doubleClickPos;
    double wheelRemainder = 0;
    QPoint lastMousePos;
    QBasicTimer blink;
    QBasicTimer autoScroll;
    QBasicTimer wrapTimer;  // a re-wrap of a big text, waiting for the window to stop changing size
    QString preedit;

    TextEditor& Ed() { return q->editor; }

    void ReportError(const QString& message)
    {
        if (q->isSignalConnected(QMetaMethod::fromSignal(&EditorView::errorReported))) {
            emit q->errorReported(message);
            return;
        }
        QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), message, QMessageBox::Ok, q);
        box.exec();
    }

    void ReportNotice(const QString& message)
    {
        if (q->isSignalConnected(QMetaMethod::fromSignal(&EditorView::noticeReported))) {
            emit q->noticeReported(message);
            return;
        }
        QMessageBox::information(q, QGuiApplication::applicationDisplayName(), message);
    }

    // Runs one user command; its editor error becomes a report, since nothing may leave a Qt
    // event handler.
    template <typename Function>
    void Guarded(Function&& function)
    {
        try {
            function();
        } catch (const std::bad_alloc&) {
            ReportError(QString::fromLatin1(EditorErrorMessage(kErrOutOfMemory)));
        } catch (const std::exception& error) {
            ReportError(QString::fromUtf8(error.what()));
        }
        AfterCommand();
    }

    void Beep()
    {
        QApplication::beep();
        emit q->beeped();
    }

    void AfterCommand()
    {
        EnsureCaretColumnVisible();
        caretShown = true;
        if (q->hasFocus())
            RestartBlink();
        q->viewport()->update();
    }

    void RestartBlink()
    {
        const int flash = QApplication::cursorFlashTime();
        if (flash > 0)
            blink.start(flash / 2, q);
        else
            blink.stop();
    }

    void UpdateMetrics()
    {
        const QFontMetricsF metrics(q->font());
        charWidth = std::max<qreal>(1, metrics.horizontalAdvance(QLatin1Char('M')));
        lineHeight = std::max(1, int(std::ceil(metrics.height())));
        ascent = int(std::round(metrics.ascent()));
        rawFont = QRawFont::fromFont(q->font());
        for (int byte = 0; byte < 256; ++byte) {
            const QList<quint32> indexes = rawFont.glyphIndexesForString(QString(DisplayChar(uint8_t(byte))));
            glyphOf[size_t(byte)] = indexes.size() == 1 ? indexes[0] : 0;
        }
        widestLine = 0;
        Ed().SetVisibleRows(q->Rows());
        ApplyWrapToWindow();
        UpdateScrollBars();
        q->viewport()->update();
    }

    void ApplyWrapToWindow()
    {
        wrapTimer.stop();
        if (!q->wrapToWindow)
            return;
        const int columns = q->Columns() - 2;
        if (columns <= 0 || columns == Ed().WrapColumn())
            return;
        // Keep the text at the top of the window where it is while the lines re-form under it.
        const ParaPos atTop = Ed().PosFromDisplay(Ed().TopLine(), 1);
        Ed().SetWrapColumn(columns);
        if (Ed().WordWrap())
            Ed().SetTopLine(Ed().DisplayLineOf(atTop));
        widestLine = 0;
        UpdateScrollBars();
    }

    // Re-wrapping walks every paragraph: on a book that is some 20 ms for each step of a window's
    // edge being dragged, so there it waits until the size has stayed for a moment.
    void WrapToWindowSoon()
    {
        constexpr int32_t kDeferFromBytes = 4'000'000;
        if (!q->wrapToWindow || q->Columns() - 2 == Ed().WrapColumn())
            return;
        if (Ed().ByteCount() < kDeferFromBytes)
            ApplyWrapToWindow();
        else
            wrapTimer.start(150, q);
    }

    // The vertical bar counts the possible top lines; past 32767 of them one step stands for
    // `verticalFactor` lines, as a 16-bit scroll bar of the platform would need.
    int64_t TopPositions() const
    {
        return std::max<int64_t>(0, int64_t(q->editor.LineCount()) - (q->editor.VisibleRows() - 1));
    }

    int VerticalValueOf(int32_t topLine) const
    {
        const int64_t positions = TopPositions();
        const int maximum = int(std::max<int64_t>(0, positions / verticalFactor - 1));
        if (topLine >= positions)
            return maximum;
        return std::min(maximum, int((topLine - 1) / verticalFactor));
    }

    int32_t TopLineOf(int value) const
    {
        const int64_t positions = TopPositions();
        const int maximum = int(std::max<int64_t>(0, positions / verticalFactor - 1));
        if (value >= maximum)
            return int32_t(std::max<int64_t>(1, positions));
        return int32_t(int64_t(value) * verticalFactor + 1);
    }

    void UpdateScrollBars()
    {
        settingScrollBars = true;
        const int64_t positions = TopPositions();
        verticalFactor = positions > 32767 ? int(positions / 32768) * 2 : 1;
        QScrollBar* vertical = q->verticalScrollBar();
        vertical->setRange(0, int(std::max<int64_t>(0, positions / verticalFactor - 1)));
        vertical->setPageStep(std::max(1, q->Rows() / verticalFactor));
        vertical->setSingleStep(1);
        vertical->setValue(VerticalValueOf(Ed().TopLine()));
        QScrollBar* horizontal = q->horizontalScrollBar();
        const int columns = q->Columns();
        horizontal->setRange(0, std::max({0, widestLine + 1 - columns, firstColumn}));
        horizontal->setPageStep(columns);
        horizontal->setSingleStep(1);
        horizontal->setValue(firstColumn);
        settingScrollBars = false;
    }

    void SetFirstColumn(int column)
    {
        column = std::max(0, column);
        if (column == firstColumn)
            return;
        firstColumn = column;
        UpdateScrollBars();
        q->viewport()->update();
    }

    void EnsureCaretColumnVisible()
    {
        const int column = Ed().CaretDisplayColumn() - 1;
        const int columns = q->Columns();
        if (column + 1 > widestLine) {
            widestLine = column + 1;
            UpdateScrollBars();
        }
        if (column < firstColumn)
            SetFirstColumn(column - columns / 3);  // with some of the text in front of it in view
        else if (column >= firstColumn + columns)
            SetFirstColumn(column - columns + 1);
    }

    // The caret position a point of the viewport stands for: the nearest gap between cells.
    ParaPos PosAt(QPoint point) const
    {
        const int row = int(std::floor(double(point.y()) / lineHeight));
        const int64_t line = int64_t(q->editor.TopLine()) + row;
        const int gap = int(std::floor((point.x() - kLeftMargin) / charWidth + 0.5)) + firstColumn;
        return q->editor.PosFromDisplay(int32_t(std::clamp<int64_t>(line, 1, q->editor.LineCount())),
                                        std::max(1, gap + 1));
    }

    // The byte drawn in the cell under a point, or -1.
    int ByteAt(QPoint point) const
    {
        if (point.x() < kLeftMargin || point.y() < 0)
            return -1;
        const int64_t line = int64_t(q->editor.TopLine()) + point.y() / lineHeight;
        if (line > q->editor.LineCount())
            return -1;
        const int cell = int((point.x() - kLeftMargin) / charWidth) + firstColumn;
        const TextEditor::LineSpan span = q->editor.DisplayLineSpan(int32_t(line));
        const std::string_view text = q->editor.ParaText(span.paraNo);
        const int tab = q->editor.TabSize();
        int column = 0;
        for (int32_t offset = span.begin; offset < span.end; ++offset) {
            const uint8_t byte = uint8_t(text[size_t(offset)]);
            const int next = byte == '\t' ? (column / tab + 1) * tab : column + 1;
            if (cell < next)
                return byte;
            column = next;
        }
        return -1;
    }

    // The left edge of a cell (display column from 0) in the viewport.
    int CellX(int column) const { return kLeftMargin + int(std::lround((column - firstColumn) * charWidth)); }

    QRect CaretRect() const
    {
        const CaretPosition caret = q->editor.GetCaretPosition();
        const int y = (caret.displayLine - q->editor.TopLine()) * lineHeight;
        const int column = q->editor.CaretDisplayColumn() - 1;
        const int x = CellX(column);
        return QRect(x, y, q->editor.InsertMode() ? 2 : CellX(column + 1) - x, lineHeight);
    }

    // Extends the selection to a point: to its position, or after a double click to whole words,
    // the word first clicked always included.
    void DragTo(QPoint point)
    {
        const ParaPos pos = PosAt(point);
        if (!selectingWords) {
            Ed().ExtendSelectionTo(pos);
            return;
        }
        const auto [start, end] = Ed().WordAt(pos);
        if (pos < clickedWord.first)
            Ed().SetSelection(clickedWord.second, start);
        else
            Ed().SetSelection(clickedWord.first, std::max(end, clickedWord.second));
    }

    void MoveCaret(ParaPos to, bool extend)
    {
        if (extend)
            Ed().ExtendSelectionTo(to);
        else
            Ed().SetCaret(to);
    }

    int GoalColumn()
    {
        if (goalColumn == 0)
            goalColumn = Ed().CaretDisplayColumn();
        return goalColumn;
    }

    void Run(Command command, bool extend);
    void TypeText(const QString& text);
    void Paint(QPainter& painter, const QRect& area);
};

void EditorView::Private::Run(Command command, bool extend)
{
    TextEditor& ed = Ed();
    const bool vertical = command == Command::Up || command == Command::Down || command == Command::PrevPage ||
                          command == Command::NextPage || command == Command::TopOfPage ||
                          command == Command::BotOfPage;
    if (!vertical)
        goalColumn = 0;
    const ParaPos caret = ed.Caret();
    switch (command) {
    case Command::Left:
        MoveCaret(!extend && ed.HasSelection() ? ed.SelStart() : ed.CharLeftOf(caret), extend);
        break;
    case Command::Right:
        MoveCaret(!extend && ed.HasSelection() ? ed.SelEnd() : ed.CharRightOf(caret), extend);
        break;
    case Command::Up:
    case Command::Down: {
        const int32_t line = ed.GetCaretPosition().displayLine + (command == Command::Up ? -1 : 1);
        const int goal = GoalColumn();
        if (line >= 1 && line <= ed.LineCount())
            MoveCaret(ed.PosFromDisplay(line, goal), extend);
        else if (!extend)
            ed.ClearSelection();
        break;
    }
    case Command::WordLeft:
        MoveCaret(ed.WordLeftOf(caret), extend);
        break;
    case Command::WordRight:
        MoveCaret(ed.WordRightOf(caret), extend);
        break;
    case Command::Home:
        MoveCaret(ed.LineHomeOf(caret), extend);
        break;
    case Command::End:
        MoveCaret(ed.LineEndOf(caret), extend);
        break;
    case Command::PrevPage:
    case Command::NextPage: {
        // The text and the caret move by a window less one line, so one line stays in view.
        const int32_t step = std::max(1, q->Rows() - 1) * (command == Command::PrevPage ? -1 : 1);
        const int goal = GoalColumn();
        const int32_t line = std::clamp(ed.GetCaretPosition().displayLine + step, 1, ed.LineCount());
        ed.SetTopLine(ed.TopLine() + step);
        MoveCaret(ed.PosFromDisplay(line, goal), extend);
        break;
    }
    case Command::TopOfPage:
        MoveCaret(ed.PosFromDisplay(ed.TopLine(), GoalColumn()), extend);
        break;
    case Command::BotOfPage:
        MoveCaret(ed.PosFromDisplay(std::min(ed.LineCount(), ed.TopLine() + q->Rows() - 1), GoalColumn()), extend);
        break;
    case Command::FirstPage:
        MoveCaret(ParaPos{1, 1}, extend);
        break;
    case Command::LastPage:
        MoveCaret(ed.EndOfText(), extend);
        break;
    case Command::Del:
        ed.DeleteForward();
        break;
    case Command::Back:
        ed.Backspace();
        break;
    case Command::Ins:
        ed.SetInsertMode(!ed.InsertMode());
        break;
    case Command::NewLine:
        ed.BreakParagraph();
        break;
    case Command::Tab:
        q->focusNextPrevChild(true);
        break;
    case Command::Cut:
        q->CutToClipboard();
        break;
    case Command::Copy:
        q->CopyToClipboard();
        break;
    case Command::Paste:
        q->PasteFromClipboard();
        break;
    case Command::Undo:
    case Command::Redo:
    case Command::Restore: {
        // Reached from the editor's own keys, so a user change: the window refreshes on it.
        const bool possible = command == Command::Redo ? ed.CanRedo() : ed.CanUndo();
        if (command == Command::Undo)
            ed.Undo();
        else if (command == Command::Redo)
            ed.Redo();
        else
            ed.RestoreParagraph();
        if (possible)
            emit q->changed();
        break;
    }
    }
}

void EditorView::Private::TypeText(const QString& text)
{
    TextEditor& ed = Ed();
    if (ed.ReadOnly())
        return;
    std::string bytes;
    for (const char32_t codePoint : text.toUcs4()) {
        if (!HasWindows1250Byte(codePoint) || codePoint < 0x20) {
            Beep();  // nothing of it goes in: the text is the user's, not a guess
            return;
        }
        bytes.push_back(char(UnicodeToWindows1250(codePoint)));
    }
    goalColumn = 0;
    for (const char byte : bytes)
        ed.TypeChar(byte);
}

void EditorView::Private::Paint(QPainter& painter, const QRect& area)
{
    TextEditor& ed = Ed();
    const QPalette& palette = q->palette();
    const QPalette::ColorGroup group = q->hasFocus() ? QPalette::Active : QPalette::Inactive;
    painter.fillRect(area, palette.color(group, QPalette::Base));
    const int width = q->viewport()->width();
    const int textRight = width - kRightMargin;
    const int rows = q->viewport()->height() / lineHeight + 1;  // the partial row at the bottom too
    const int columns = int((textRight - kLeftMargin) / charWidth) + 2;
    const int32_t top = ed.TopLine();
    const int32_t lineCount = ed.LineCount();
    const ParaPos selStart = ed.SelStart();
    const ParaPos selEnd = ed.SelEnd();
    const bool hasSelection = ed.HasSelection();
    const int tab = ed.TabSize();
    const QColor textColor = palette.color(group, QPalette::Text);
    const QColor highlight = palette.color(group, QPalette::Highlight);
    const QColor highlighted = palette.color(group, QPalette::HighlightedText);
    const QColor invisibleColor(0xC0, 0x30, 0x30);
    int widestSeen = widestLine;

    painter.save();
    painter.setClipRect(QRect(kLeftMargin, 0, std::max(0, textRight - kLeftMargin), q->viewport()->height()));
    std::vector<uint8_t> cells;  // per cell: the byte drawn there (a tab gives blanks)
    std::vector<uint8_t> kinds;  // per cell: bit 0 selected, bit 1 invisible byte, bit 2 no glyph in the font
    QList<quint32> glyphs;
    QList<QPointF> positions;
    for (int row = 0; row < rows; ++row) {
        const int64_t line = int64_t(top) + row;
        if (line > lineCount)
            break;
        const int y = row * lineHeight;
        if (y > area.bottom() || y + lineHeight <= area.top())
            continue;
        const TextEditor::LineSpan span = ed.DisplayLineSpan(int32_t(line));
        const std::string_view text = ed.ParaText(span.paraNo);
        // The selected offsets of this paragraph, [selFrom, selTo).
        int32_t selFrom = 0;
        int32_t selTo = 0;
        if (hasSelection && span.paraNo >= selStart.paraNo && span.paraNo <= selEnd.paraNo) {
            selFrom = span.paraNo == selStart.paraNo ? selStart.column - 1 : 0;
            selTo = span.paraNo == selEnd.paraNo ? selEnd.column - 1 : INT32_MAX;
        }
        // Cells are made up to the window's right edge only; behind it the line is just measured,
        // so that a line of 32767 characters costs no more than a short one.
        const int shownEnd = firstColumn + columns;
        cells.clear();
        kinds.clear();
        int width = 0;
        for (int32_t offset = span.begin; offset < span.end; ++offset) {
            uint8_t byte = uint8_t(text[size_t(offset)]);
            int count = 1;
            if (byte == '\t') {
                count = tab - width % tab;
                byte = ' ';
            }
            width += count;
            if (int(cells.size()) >= shownEnd)
                continue;
            const uint8_t kind = uint8_t((offset >= selFrom && offset < selTo ? 1 : 0) | (IsInvisible(byte) ? 2 : 0) |
                                         (glyphOf[byte] != 0 ? 0 : 4));
            cells.insert(cells.end(), size_t(count), byte);
            kinds.insert(kinds.end(), size_t(count), kind);
        }
        // A selection that goes on into the next paragraph shows one cell for the line end.
        const bool lastLineOfPara = span.end == int32_t(text.size());
        if (lastLineOfPara && selTo == INT32_MAX && span.paraNo < selEnd.paraNo) {
            ++width;
            if (int(cells.size()) < shownEnd) {
                cells.push_back(' ');
                kinds.push_back(1);
            }
        }
        widestSeen = std::max(widestSeen, width);
        const int from = std::min(int(cells.size()), firstColumn);
        const int to = std::min(int(cells.size()), firstColumn + columns);
        const qreal baseline = y + ascent;
        int runStart = from;
        while (runStart < to) {
            int runEnd = runStart + 1;
            while (runEnd < to && kinds[size_t(runEnd)] == kinds[size_t(runStart)])
                ++runEnd;
            const uint8_t kind = kinds[size_t(runStart)];
            const int x = CellX(runStart);
            if (kind & 1)
                painter.fillRect(QRect(x, y, CellX(runEnd) - x, lineHeight), highlight);
            if (kind & 2)
                painter.fillRect(QRect(x, y + 1, CellX(runEnd) - x, lineHeight - 2), invisibleColor);
            painter.setPen(kind & 2 ? QColor(Qt::white) : (kind & 1 ? highlighted : textColor));
            if (!(kind & 4)) {
                // The font's own glyphs, each placed at its cell: no shaping, and no glyph can
                // move the rest of the line off the caret.
                glyphs.clear();
                positions.clear();
                for (int i = runStart; i < runEnd; ++i) {
                    if (cells[size_t(i)] == ' ')
                        continue;
                    glyphs.append(glyphOf[cells[size_t(i)]]);
                    positions.append(QPointF(kLeftMargin + (i - firstColumn) * charWidth, baseline));
                }
                if (!glyphs.isEmpty()) {
                    QGlyphRun glyphRun;
                    glyphRun.setRawFont(rawFont);
                    glyphRun.setGlyphIndexes(glyphs);
                    glyphRun.setPositions(positions);
                    painter.drawGlyphRun(QPointF(0, 0), glyphRun);
                }
            } else {
                // A character the font lacks comes from a fallback font, cell by cell.
                for (int i = runStart; i < runEnd; ++i)
                    painter.drawText(QPointF(kLeftMargin + (i - firstColumn) * charWidth, baseline),
                                     QString(DisplayChar(cells[size_t(i)])));
            }
            runStart = runEnd;
        }
    }
    painter.restore();

    // Bookmarks in the left margin, the lowest digit on top where two share a line.
    if (ed.ShowBookmarks()) {
        QFont markFont = q->font();
        markFont.setBold(true);
        markFont.setPixelSize(std::max(6, lineHeight - 4));
        painter.setFont(markFont);
        for (int number = 9; number >= 0; --number) {
            const ParaPos mark = ed.Bookmark(number);
            if (mark.paraNo == 0)
                continue;
            const int32_t line = ed.DisplayLineOf(mark);
            if (line < top || line >= int64_t(top) + rows)
                continue;
            const QRect box(2, (line - top) * lineHeight + 1, kLeftMargin - 4, lineHeight - 2);
            painter.setRenderHint(QPainter::Antialiasing, true);
            painter.setPen(Qt::NoPen);
            painter.setBrush(QColor(0x1F, 0x5F, 0xA8));
            painter.drawRoundedRect(box, 2, 2);
            painter.setPen(Qt::white);
            painter.drawText(box, Qt::AlignCenter, QString::number(number));
            painter.setRenderHint(QPainter::Antialiasing, false);
        }
        painter.setFont(q->font());
    }

    // The caret, and the text an input method is composing in front of it.
    if (q->hasFocus()) {
        const QRect caret = CaretRect();
        if (!preedit.isEmpty()) {
            const QRect box(caret.left(), caret.top(), int(std::ceil(preedit.size() * charWidth)), lineHeight);
            painter.fillRect(box, palette.color(group, QPalette::Base));
            painter.setPen(textColor);
            painter.drawText(box.left(), box.top() + ascent, preedit);
            painter.drawLine(box.left(), box.bottom(), box.right(), box.bottom());
        } else if (caretShown && caret.left() >= kLeftMargin - 1 && caret.left() < textRight) {
            if (ed.InsertMode())
                painter.fillRect(caret, textColor);
            else
                painter.fillRect(caret.adjusted(0, caret.height() * 2 / 3, 0, 0), textColor);
        }
    }

    if (widestSeen > widestLine) {
        widestLine = widestSeen;
        // Not from inside the paint: the bar's range change repaints it.
        QMetaObject::invokeMethod(q, [this] { UpdateScrollBars(); }, Qt::QueuedConnection);
    }
}

EditorView::EditorView(QWidget* parent) : QAbstractScrollArea(parent), d(new Private(this))
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_InputMethodEnabled, true);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setCursor(Qt::IBeamCursor);
    viewport()->setBackgroundRole(QPalette::Base);
    viewport()->setMouseTracking(false);

    // The events first: the font below already re-wraps and places the caret.
    editor.SetShowBookmarks(true);
    editor.OnChange = [this] { emit changed(); };
    editor.OnShowStatus = [this](int32_t line, int32_t column) { emit showStatus(line, column); };
    editor.OnStatusPosted = [this] {
        QMetaObject::invokeMethod(
            this,
            [this] {
                // The caret may have been placed by the window's commands too (a bookmark, a
                // search): the columns follow it here, once per turn of the event loop.
                d->EnsureCaretColumnVisible();
                editor.DeliverShowStatus();
            },
            Qt::QueuedConnection);
    };
    editor.OnTopLineChanged = [this](int32_t line) {
        d->UpdateScrollBars();
        viewport()->update();
        emit topLineChanged(line);
    };
    editor.OnRepaint = [this] {
        d->UpdateScrollBars();
        viewport()->update();
    };
    editor.OnBeep = [this] { d->Beep(); };
    setFont(DefaultFont());
    d->UpdateMetrics();
}

EditorView::~EditorView()
{
    // The editor outlives nothing of the view: its events must not reach a half-destroyed widget.
    editor.OnChange = nullptr;
    editor.OnShowStatus = nullptr;
    editor.OnStatusPosted = nullptr;
    editor.OnTopLineChanged = nullptr;
    editor.OnRepaint = nullptr;
    editor.OnBeep = nullptr;
    delete d;
}

void EditorView::CopyToClipboard()
{
    if (!editor.HasSelection())
        return;
    const std::u16string text = DecodeWindows1250(editor.TextToCopy());
    QString unicode = QString::fromStdU16String(text);
    // Paragraphs are joined by the platform's line end; Qt writes CR LF where that is the rule.
    unicode.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    QApplication::clipboard()->setText(unicode);
}

void EditorView::CutToClipboard()
{
    d->Guarded([this] {
        if (editor.ReadOnly() || !editor.HasSelection())
            return;
        // The clipboard gets the text only once the deletion has gone through.
        const std::string text = editor.Cut();
        QString unicode = QString::fromStdU16String(DecodeWindows1250(text));
        unicode.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QApplication::clipboard()->setText(unicode);
    });
}

void EditorView::PasteFromClipboard()
{
    d->Guarded([this] {
        if (editor.ReadOnly())
            return;
        const QString text = QApplication::clipboard()->text();
        if (text.isEmpty())
            return;
        std::string bytes;
        bytes.reserve(size_t(text.size()));
        int replaced = 0;
        // Walked in place: a book-sized clipboard is not copied into code points first.
        for (qsizetype i = 0; i < text.size(); ++i) {
            char32_t codePoint = text[i].unicode();  // a lone surrogate stays one, and unmappable
            if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                codePoint = QChar::surrogateToUcs4(text[i], text[i + 1]);
                ++i;
            }
            // A NUL cannot be held by a paragraph; it is replaced like any character without a byte.
            if (codePoint == 0 || !HasWindows1250Byte(codePoint)) {
                bytes.push_back('?');
                ++replaced;
            } else {
                bytes.push_back(char(UnicodeToWindows1250(codePoint)));
            }
        }
        // A paste goes in whole or not at all: nothing of it stays behind a refusal.
        if (const int error = editor.CheckInsert(bytes); error != kErrNone) {
            d->ReportError(QString::fromLatin1(EditorErrorMessage(error)));
            return;
        }
        editor.Paste(bytes);
        if (replaced > 0)
            d->ReportNotice(PasteNotice(replaced));
    });
}

void EditorView::RepaintNow() { viewport()->repaint(); }

void EditorView::SetWrapToWindow(bool on)
{
    wrapToWindow = on;
    d->ApplyWrapToWindow();
}

int EditorView::Columns() const
{
    return std::max(1, int((viewport()->width() - kLeftMargin - kRightMargin) / d->charWidth));
}

int EditorView::Rows() const { return std::max(1, viewport()->height() / d->lineHeight); }

void EditorView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.setFont(font());
    d->Paint(painter, event->rect());
}

void EditorView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    editor.SetVisibleRows(Rows());
    d->WrapToWindowSoon();
    d->UpdateScrollBars();
}

void EditorView::changeEvent(QEvent* event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        d->UpdateMetrics();
}

void EditorView::keyPressEvent(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = TableModifiers(event);
    // Ctrl+0 to Ctrl+9 reach a bookmark, Ctrl+Shift+0 to 9 set one.
    if ((modifiers & Qt::ControlModifier) && !(modifiers & (Qt::AltModifier | Qt::MetaModifier))) {
        if (const int digit = DigitOfKey(event); digit >= 0) {
            d->Guarded([&] {
                d->goalColumn = 0;
                if (modifiers & Qt::ShiftModifier)
                    editor.SetBookmark(digit);
                else
                    editor.GotoBookmark(digit);
            });
            event->accept();
            return;
        }
    }
    for (const KeyBinding& binding : kKeyTable) {
        if (binding.key == event->key() && binding.modifiers == modifiers) {
            d->Guarded([&] { d->Run(binding.command, binding.extend); });
            event->accept();
            return;
        }
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        d->Guarded([&] {
            d->goalColumn = 0;
            editor.BreakParagraph();
        });
        event->accept();
        return;
    }
    // Typed text. Ctrl+Alt is AltGr on Windows, which types; Ctrl or Alt alone do not.
    const QString text = event->text();
    const bool ctrlAlt = (modifiers & Qt::ControlModifier) && (modifiers & Qt::AltModifier);
    const bool commandModifier = (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier)) && !ctrlAlt;
    if (!text.isEmpty() && !commandModifier &&
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() >= 0x20 && c.unicode() != 0x7F; })) {
        d->Guarded([&] { d->TypeText(text); });
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void EditorView::inputMethodEvent(QInputMethodEvent* event)
{
    if (!event->commitString().isEmpty()) {
        const QString commit = event->commitString();
        d->Guarded([&] { d->TypeText(commit); });
    }
    d->preedit = event->preeditString();
    viewport()->update();
    event->accept();
}

QVariant EditorView::inputMethodQuery(Qt::InputMethodQuery query) const
{
    switch (query) {
    case Qt::ImEnabled:
        return !editor.ReadOnly();
    case Qt::ImCursorRectangle:
    case Qt::ImAnchorRectangle:
        return QRectF(d->CaretRect().translated(viewport()->pos()));
    case Qt::ImFont:
        return font();
    case Qt::ImHints:
        return int(Qt::ImhMultiLine | Qt::ImhNoPredictiveText);
    case Qt::ImSurroundingText: {
        const std::string_view text = editor.ParaText(editor.Caret().paraNo);
        return QString::fromStdU16String(DecodeWindows1250(text));
    }
    case Qt::ImCursorPosition:
        return editor.Caret().column - 1;
    case Qt::ImAnchorPosition:
        return editor.Anchor().paraNo == editor.Caret().paraNo ? editor.Anchor().column - 1 : editor.Caret().column - 1;
    case Qt::ImCurrentSelection:
        return editor.HasSelection() ? QString::fromStdU16String(DecodeWindows1250(editor.SelectedText())) : QString();
    default:
        return QAbstractScrollArea::inputMethodQuery(query);
    }
}

void EditorView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (d->sinceDoubleClick.isValid() && d->sinceDoubleClick.elapsed() < QApplication::doubleClickInterval() &&
        (at - d->doubleClickPos).manhattanLength() < QApplication::startDragDistance() &&
        !(event->modifiers() & Qt::ShiftModifier)) {
        d->sinceDoubleClick.invalidate();
        d->Guarded([&] {
            d->goalColumn = 0;
            const int32_t para = d->PosAt(at).paraNo;
            editor.SetSelection(ParaPos{para, 1}, ParaPos{para, int32_t(editor.ParaText(para).size()) + 1});
            d->selecting = false;
        });
        event->accept();
        return;
    }
    d->Guarded([&] {
        d->goalColumn = 0;
        const ParaPos pos = d->PosAt(event->position().toPoint());
        if (event->modifiers() & Qt::ShiftModifier)
            editor.ExtendSelectionTo(pos);
        else
            editor.SetCaret(pos);
        d->selecting = true;
        d->selectingWords = false;
        d->lastMousePos = event->position().toPoint();
    });
    event->accept();
}

void EditorView::mouseMoveEvent(QMouseEvent* event)
{
    if (!d->selecting || !(event->buttons() & Qt::LeftButton))
        return;
    d->lastMousePos = event->position().toPoint();
    d->Guarded([&] { d->DragTo(d->lastMousePos); });
    // Outside the text the selection goes on growing while the button is held.
    if (viewport()->rect().contains(d->lastMousePos))
        d->autoScroll.stop();
    else if (!d->autoScroll.isActive())
        d->autoScroll.start(50, this);
    event->accept();
}

void EditorView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        d->selecting = false;
        d->autoScroll.stop();
    }
    event->accept();
}

void EditorView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseDoubleClickEvent(event);
        return;
    }
    d->Guarded([&] {
        d->goalColumn = 0;
        const ParaPos pos = d->PosAt(event->position().toPoint());
        d->clickedWord = editor.WordAt(pos);
        if (d->clickedWord.first != d->clickedWord.second)
            editor.SetSelection(d->clickedWord.first, d->clickedWord.second);
        else
            d->clickedWord = {editor.Caret(), editor.Caret()};
        d->selecting = true;
        d->selectingWords = true;
        d->lastMousePos = event->position().toPoint();
    });
    d->sinceDoubleClick.start();
    d->doubleClickPos = event->position().toPoint();
    event->accept();
}

void EditorView::wheelEvent(QWheelEvent* event)
{
    const QPoint angle = event->angleDelta();
    if (angle.y() != 0 && !(event->modifiers() & Qt::ShiftModifier)) {
        d->wheelRemainder += angle.y() / 120.0 * QApplication::wheelScrollLines();
        const int lines = int(d->wheelRemainder);
        d->wheelRemainder -= lines;
        if (lines != 0)
            editor.SetTopLine(editor.TopLine() - lines);
    } else {
        const int delta = angle.x() != 0 ? angle.x() : angle.y();
        d->SetFirstColumn(std::min(horizontalScrollBar()->maximum(), d->firstColumn - delta / 120 * 3));
    }
    event->accept();
}

void EditorView::contextMenuEvent(QContextMenuEvent* event)
{
    if (!popupMenu)
        return;
    // From the keyboard's menu key the menu opens at the caret, not where the mouse happens to be.
    const QPoint at = event->reason() == QContextMenuEvent::Keyboard
                          ? viewport()->mapToGlobal(d->CaretRect().bottomLeft())
                          : event->globalPos();
    popupMenu->exec(at);
    event->accept();
}

void EditorView::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    d->caretShown = true;
    d->RestartBlink();
    viewport()->update();
}

void EditorView::focusOutEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusOutEvent(event);
    d->blink.stop();
    d->selecting = false;
    d->autoScroll.stop();
    viewport()->update();
}

void EditorView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() == d->blink.timerId()) {
        d->caretShown = !d->caretShown;
        viewport()->update(d->CaretRect().adjusted(-1, 0, 1, 0));
    } else if (event->timerId() == d->wrapTimer.timerId()) {
        d->wrapTimer.stop();
        d->ApplyWrapToWindow();
    } else if (event->timerId() == d->autoScroll.timerId()) {
        d->Guarded([&] { d->DragTo(d->lastMousePos); });
    } else {
        QAbstractScrollArea::timerEvent(event);
    }
}

void EditorView::scrollContentsBy(int dx, int dy)
{
    if (d->settingScrollBars)
        return;
    if (dy != 0)
        editor.SetTopLine(d->TopLineOf(verticalScrollBar()->value()));
    if (dx != 0) {
        d->firstColumn = horizontalScrollBar()->value();
        viewport()->update();
    }
}

bool EditorView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const int byte = d->ByteAt(help->pos());
        if (byte >= 0 && IsInvisible(uint8_t(byte)))
            QToolTip::showText(help->globalPos(), ByteTip(uint8_t(byte)), viewport());
        else
            QToolTip::hideText();
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace lepotex
