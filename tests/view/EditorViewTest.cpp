// The view widget offscreen: its key table, typing, input methods, wrap to the window, the
// clipboard, bookmarks from the keys, the mouse, the scroll bars and the drawing of odd bytes.
#include "editor/view/EditorView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>

#include <array>
#include <cmath>
#include <string>

#include "../QtApplicationEnvironment.h"
#include "editor/Windows1250.h"

namespace lepotex {
namespace {

std::string Cp(const char* utf8) { return Utf8ToWindows1250(utf8); }

constexpr Qt::KeyboardModifiers kNone = Qt::NoModifier, kShift = Qt::ShiftModifier, kCtrl = Qt::ControlModifier,
                                kCtrlShift = Qt::ControlModifier | Qt::ShiftModifier;

class ViewTest : public ::testing::Test {
protected:
    ViewTest()
    {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(&view);
        layout->addWidget(&line);
        window.resize(480, 320);
        window.show();
        QApplication::setActiveWindow(&window);
        view.setFocus();
        QApplication::processEvents();
        // Every report goes to the log, so that no message box waits for a click.
        QObject::connect(&view, &EditorView::errorReported, [this](const QString& m) { errors << m; });
        QObject::connect(&view, &EditorView::noticeReported, [this](const QString& m) { notices << m; });
        QObject::connect(&view, &EditorView::beeped, [this] { ++beeps; });
    }

    TextEditor& Ed() { return view.Editor(); }
    // The selection as anchor and caret.
    std::pair<ParaPos, ParaPos> Sel() { return {Ed().Anchor(), Ed().Caret()}; }

    // Puts these Windows-1250 bytes in the editor, the caret at the top.
    void Load(const std::string& bytes, bool wrap = true)
    {
        Ed().SetWordWrap(wrap);
        Ed().Clear();
        ASSERT_EQ(Ed().InsertText(bytes), 0);
        Ed().SetCaret({1, 1});
        QApplication::processEvents();
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = kNone, const QString& text = {}, quint32 scanCode = 0,
             quint32 virtualKey = 0)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, virtualKey, 0, text);
        QApplication::sendEvent(&view, &press);
    }

    void Type(const QString& text)
    {
        for (const QChar c : text)
            Key(0, kNone, QString(c));
    }

    // The cell of a column (from 0) of a screen line (from 0), a pixel into it.
    QPoint At(int column, int row) const
    {
        const QFontMetricsF metrics(view.font());
        return QPoint(EditorView::kLeftMargin + int(column * metrics.horizontalAdvance(QLatin1Char('M'))) + 1,
                      int((row + 0.5) * std::ceil(metrics.height())));
    }

    QWidget window;
    EditorView view;
    QLineEdit line;
    QStringList errors;
    QStringList notices;
    int beeps = 0;
};

TEST_F(ViewTest, KeyTableMovesExtendsAndPages)
{
    Load(Cp("jedna dvě, tři\r\nkrátký\r\nposlední řádek textu"), false);
    const ParaPos end{3, 21};
    // Each key with the caret and the anchor it leaves; Up and Down aim at the column they
    // started from, across a shorter line; a plain move after a selection collapses it.
    const struct {
        int key;
        Qt::KeyboardModifiers modifiers;
        ParaPos caret, anchor;
    } steps[] = {
        {Qt::Key_Right, kNone, {1, 2}, {1, 2}},        {Qt::Key_End, kNone, {1, 15}, {1, 15}},
        {Qt::Key_Right, kNone, {2, 1}, {2, 1}},        {Qt::Key_Left, kNone, {1, 15}, {1, 15}},
        {Qt::Key_Home, kNone, {1, 1}, {1, 1}},         {Qt::Key_Right, kCtrl, {1, 7}, {1, 7}},
        {Qt::Key_Right, kCtrl, {1, 12}, {1, 12}},      {Qt::Key_Down, kNone, {2, 7}, {2, 7}},
        {Qt::Key_Down, kNone, {3, 12}, {3, 12}},       {Qt::Key_Up, kNone, {2, 7}, {2, 7}},
        {Qt::Key_Up, kNone, {1, 12}, {1, 12}},         {Qt::Key_Right, kShift, {1, 13}, {1, 12}},
        {Qt::Key_Down, kShift, {2, 7}, {1, 12}},       {Qt::Key_Left, kCtrlShift, {2, 1}, {1, 12}},
        {Qt::Key_Up, kShift, {1, 1}, {1, 12}},         {Qt::Key_Right, kCtrlShift, {1, 7}, {1, 12}},
        {Qt::Key_Left, kNone, {1, 7}, {1, 7}},         {Qt::Key_End, kCtrlShift, end, {1, 7}},
        {Qt::Key_End, kCtrl, end, end},                {Qt::Key_Left, kShift, {3, 20}, end},
        {Qt::Key_Home, kCtrl, {1, 1}, {1, 1}},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        Key(steps[i].key, steps[i].modifiers);
        EXPECT_EQ(Sel(), std::pair(steps[i].anchor, steps[i].caret)) << "step " << i;
    }

    // A page is the rows on screen; no scrolling past the end: the last page shows the last
    // line at the bottom.
    Load(QByteArray("radek\r\n").repeated(200).toStdString(), false);
    Ed().SetCaret({1, 3});
    const int rows = view.Rows();
    Key(Qt::Key_PageDown);
    EXPECT_EQ(Ed().Caret(), (ParaPos{rows, 3}));
    EXPECT_EQ(Ed().TopLine(), rows);
    Key(Qt::Key_PageUp, kShift);
    EXPECT_EQ(Sel(), std::pair(ParaPos{rows, 3}, ParaPos{1, 3}));
    Key(Qt::Key_End, kCtrl);
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_PageDown);
    EXPECT_EQ(Ed().TopLine(), Ed().LineCount() - rows + 1);
}

TEST_F(ViewTest, KeyTableEdits)
{
    Load("abc def\r\nghi");
    Ed().SetCaret({1, 2});
    Key(Qt::Key_Delete);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Ed().ParaText(1), "c def");
    Ed().SetCaret({2, 1});
    Key(Qt::Key_Backspace, kShift);  // joins
    EXPECT_EQ(Ed().Text(), "c defghi");
    Key(Qt::Key_Return, kCtrl);
    EXPECT_EQ(Ed().Text(), "c def\r\nghi");
    // Tab moves the focus and inserts nothing.
    Key(Qt::Key_Tab, kNone, QStringLiteral("\t"));
    EXPECT_TRUE(line.hasFocus());
    view.setFocus();
    // Undo, redo and the paragraph restore.
    Key(Qt::Key_Z, kCtrl);
    EXPECT_EQ(Ed().Text(), "c defghi");
    Key(Qt::Key_Z, kCtrlShift);
    EXPECT_EQ(Ed().Text(), "c def\r\nghi");
    Ed().SetCaret({2, 4});
    Type(QStringLiteral("jk"));
    Ed().SetCaret({2, 1});
    Key(Qt::Key_Delete);
    Key(Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(Ed().Text(), "c def\r\nghi");
    // Both key sets of the clipboard: copy, paste, cut.
    for (const auto& keys : {std::array{kCtrl | Qt::Key_Insert, kShift | Qt::Key_Insert, kShift | Qt::Key_Delete},
                             std::array{kCtrl | Qt::Key_C, kCtrl | Qt::Key_V, kCtrl | Qt::Key_X}}) {
        Load("abc def");
        Ed().SetSelection({1, 1}, {1, 4});
        Key(keys[0].key(), keys[0].keyboardModifiers());
        Ed().SetCaret({1, 8});
        Key(keys[1].key(), keys[1].keyboardModifiers());
        Ed().SetSelection({1, 4}, {1, 8});
        Key(keys[2].key(), keys[2].keyboardModifiers());
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" def"));
        EXPECT_EQ(Ed().Text(), "abcabc");
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ViewTest, TypingInBothModesAndRefusingForeignCharacters)
{
    Load(Cp("kůň"));
    Ed().SetCaret({1, 2});
    Type(QStringLiteral("ř"));
    Key(Qt::Key_Insert);
    Type(QStringLiteral("abcd"));  // overwriting at the end appends
    EXPECT_EQ(Ed().ParaText(1), Cp("křabcd"));
    Key(Qt::Key_Insert);
    Ed().SetCaret({1, 4});
    Type(QStringLiteral("  "));
    Key(Qt::Key_Return);  // the blanks in front of the break go
    EXPECT_EQ(Ed().Text(), Cp("křa\r\nbcd"));
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Ed().Caret(), (ParaPos{1, 4}));
    // Outside the code page: a beep and no change, also for a surrogate pair; Ctrl or Alt with
    // a letter is a command or nothing, never text.
    const std::string before = Ed().Text();
    Type(QStringLiteral("中"));
    Key(0, kNone, QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(beeps, 2);
    Key(Qt::Key_Q, kCtrl, QStringLiteral("\x11"));
    Key(Qt::Key_Q, Qt::AltModifier, QStringLiteral("q"));
    EXPECT_EQ(Ed().Text(), before);
    // A read-only editor takes nothing.
    Ed().SetReadOnly(true);
    Type(QStringLiteral("x"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Ed().Text(), before);

    // An input method's commit types Czech; what is being composed does not.
    Ed().SetReadOnly(false);
    Load("");
    QInputMethodEvent commit(QStringLiteral("ř"), {});
    commit.setCommitString(QStringLiteral("čřů"));
    QApplication::sendEvent(&view, &commit);
    EXPECT_EQ(Ed().Text(), Cp("čřů"));
}

TEST_F(ViewTest, WrapFollowsTheWindowOnResize)
{
    Load("slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo");
    window.resize(300, 320);
    QApplication::processEvents();
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    for (int line = 1; line <= Ed().LineCount(); ++line)
        EXPECT_LE(Ed().GetLine(line).size(), size_t(Ed().WrapColumn() + 1));
    // Off: the window's width no longer counts.
    const int kept = Ed().WrapColumn();
    view.SetWrapToWindow(false);
    window.resize(600, 320);
    QApplication::processEvents();
    EXPECT_EQ(Ed().WrapColumn(), kept);
}

TEST_F(ViewTest, ClipboardRoundTripsAndRefusesAParagraphTooLong)
{
    Load(Cp("Příliš žluťoučký kůň\túpěl ďábelské ódy „x“ – ß\x01\r\nŘádek druhý\r\n"));
    Ed().SelectAll();
    view.CopyToClipboard();
    // Tab and the control byte become spaces; paragraphs are joined by line ends.
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy „x“ – ß \nŘádek druhý\n"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Ed().Text(), Cp("Příliš žluťoučký kůň úpěl ďábelské ódy „x“ – ß \r\nŘádek druhý\r\n"));
    // A byte the code page leaves undefined survives the trip as its C1 character.
    Load("a\x81" "b");
    Ed().SelectAll();
    view.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf16(u"a\u0081b"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Ed().Text(), "a\x81" "b");
    EXPECT_TRUE(notices.isEmpty());
    // Characters the code page lacks become "?", and the user is told how many.
    QApplication::clipboard()->setText(QString::fromUtf8("a€b\xF0\x9F\x98\x80" "c中d"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Ed().Text(), Cp("a€b?c?d"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("2 "))) << notices[0].toStdString();

    // A paste whose last paragraph is too long goes in whole or not at all: not at all.
    Ed().SetModified(false);
    QApplication::clipboard()->setText(QStringLiteral("short\nalso short\n") + QString(40000, QLatin1Char('y')));
    view.PasteFromClipboard();
    EXPECT_EQ(errors, QStringList{QStringLiteral("Current operation will exceed the maximum paragraph size")});
    EXPECT_EQ(Ed().Text(), Cp("a€b?c?d"));
    EXPECT_FALSE(Ed().Modified());
}

TEST_F(ViewTest, BookmarksSetAndReachedFromTheKeysOnAnyLayout)
{
    Load(Cp("nula\r\njedna\r\ndva\r\ntři"));
    Ed().SetCaret({2, 3});
    Key(Qt::Key_3, kCtrlShift, QStringLiteral("3"));  // layouts with digits shifted
    EXPECT_EQ(Ed().Bookmark(3), (ParaPos{2, 3}));
    Ed().SetCaret({4, 2});
    // An English layout: Ctrl+Shift+0 arrives as ")".
    Key(Qt::Key_ParenRight, kCtrlShift, QStringLiteral(")"), 19, ')');
    EXPECT_EQ(Ed().Bookmark(0), (ParaPos{4, 2}));
    Ed().SetCaret({1, 1});
    Key(Qt::Key_0, kCtrl);
    EXPECT_EQ(Ed().Caret(), (ParaPos{4, 2}));
    // Windows: the virtual key of the digit row whatever the character.
    Key(Qt::Key_Plus, kCtrl, QStringLiteral("+"), 2, '3');
    EXPECT_EQ(Ed().Caret(), (ParaPos{2, 3}));
    EXPECT_EQ(Ed().Text(), Cp("nula\r\njedna\r\ndva\r\ntři"));
}

TEST_F(ViewTest, MouseClickDragDoubleAndTripleClick)
{
    Load(Cp("první slovo\r\ndruhé slovo"), false);
    QWidget* viewport = view.viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, At(3, 1));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, At(1, 0));
    EXPECT_EQ(Sel(), std::pair(ParaPos{2, 4}, ParaPos{1, 2}));
    QTest::mousePress(viewport, Qt::LeftButton, {}, At(2, 0));
    QTest::mouseMove(viewport, At(8, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(8, 1));
    EXPECT_EQ(Sel(), std::pair(ParaPos{1, 3}, ParaPos{2, 9}));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, At(8, 1));
    EXPECT_EQ(Sel(), std::pair(ParaPos{2, 7}, ParaPos{2, 12}));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, At(8, 1));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, At(8, 1));  // the third click takes the paragraph
    EXPECT_EQ(Sel(), std::pair(ParaPos{2, 1}, ParaPos{2, 12}));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 10, At(0, 5).y()));  // below and behind
    EXPECT_EQ(Ed().Caret(), Ed().EndOfText());
}

TEST_F(ViewTest, ScrollBarsReachEveryLineAndFollowTheCaret)
{
    Load(QByteArray("r\r\n").repeated(100000).toStdString(), false);
    const int64_t positions = Ed().LineCount() - (view.Rows() - 1);
    const int factor = 6;  // lines a step of the bar, to keep its range below 32768
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), positions / factor - 1);
    bar->setValue(1000);
    EXPECT_EQ(Ed().TopLine(), 1000 * factor + 1);
    bar->setValue(bar->maximum());
    EXPECT_EQ(Ed().TopLine(), positions);  // the very end can be reached

    // A long line scrolls sideways to the caret, also when the window's own commands placed it.
    Load(std::string(1000, 'w') + "\r\nkratky", false);
    QScrollBar* sideways = view.horizontalScrollBar();
    Key(Qt::Key_End);
    EXPECT_EQ(sideways->value(), 1000 - view.Columns() + 1);  // the caret's cell is the last one shown
    Key(Qt::Key_Down);
    EXPECT_EQ(sideways->value(), 0);
    Ed().SetCaret({1, 500});
    QApplication::processEvents();
    EXPECT_LE(sideways->value(), 499);
    EXPECT_GT(sideways->value() + view.Columns(), 499);
}

}  // namespace
}  // namespace lepotex
