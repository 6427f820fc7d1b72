// The view widget offscreen: its key table, typing, wrap to the window, the clipboard, the
// events, bookmarks from the keys, the mouse, input methods and the drawing of odd bytes.
#include "editor/view/EditorView.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QImage>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>
#include <string>
#include <vector>

#include "editor/Windows1250.h"

// Readable failures for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }
inline void PrintTo(const QStringList& list, std::ostream* out) { *out << '[' << list.join(QLatin1String(" | ")).toStdString() << ']'; }

namespace lepotex {
namespace {

std::string Cp(const char* utf8) { return Utf8ToWindows1250(utf8); }

std::vector<std::string> Paragraphs(const TextEditor& editor)
{
    std::vector<std::string> out;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        out.emplace_back(editor.ParaText(p));
    return out;
}

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

    void Load(const char* utf8)
    {
        Ed().Clear();
        ASSERT_EQ(Ed().InsertText(Cp(utf8)), 0);
        Ed().SetCaret({1, 1});
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier, const QString& text = {},
             quint32 scanCode = 0, quint32 virtualKey = 0)
    {
        QKeyEvent press(QEvent::KeyPress, key, modifiers, scanCode, virtualKey, 0, text);
        QApplication::sendEvent(&view, &press);
    }

    void Type(const QString& text)
    {
        for (const QChar c : text)
            Key(0, Qt::NoModifier, QString(c));
    }

    QWidget window;
    EditorView view;
    QLineEdit line;
    QStringList errors;
    QStringList notices;
    int beeps = 0;
};

TEST_F(ViewTest, KeyTableMovesAndExtends)
{
    Ed().SetWordWrap(false);
    Load("jedna dvě, tři\r\nkrátký\r\nposlední řádek textu");
    TextEditor& ed = Ed();
    Key(Qt::Key_Right);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 2}));
    Key(Qt::Key_End);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 15}));
    Key(Qt::Key_Right);  // over the paragraph's end
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 1}));
    Key(Qt::Key_Left);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 15}));
    Key(Qt::Key_Home);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 1}));
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 7}));
    Key(Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 12}));  // over ", "
    Key(Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 7}));
    // Up and Down aim at the column they started from, across a shorter line.
    ed.SetCaret({1, 13});
    Key(Qt::Key_Down);
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 7}));
    Key(Qt::Key_Down);
    EXPECT_EQ(ed.Caret(), (ParaPos{3, 13}));
    Key(Qt::Key_Up);
    Key(Qt::Key_Up);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 13}));
    // Extending: the anchor stays, the caret moves as its plain counterpart would.
    Key(Qt::Key_Right, Qt::ShiftModifier);
    Key(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(ed.Anchor(), (ParaPos{1, 13}));
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 7}));
    Key(Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 1}));
    Key(Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 7}));
    Key(Qt::Key_Home, Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 1}));
    EXPECT_EQ(ed.Anchor(), (ParaPos{1, 13}));
    Key(Qt::Key_Left);  // collapses to the selection's start
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 13}));
    EXPECT_FALSE(ed.HasSelection());
    Key(Qt::Key_End, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.SelStart(), (ParaPos{1, 13}));
    EXPECT_EQ(ed.SelEnd(), ed.EndOfText());
    Key(Qt::Key_Home, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 1}));
    EXPECT_EQ(ed.Anchor(), (ParaPos{1, 13}));
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), ed.EndOfText());
    EXPECT_FALSE(ed.HasSelection());
    Key(Qt::Key_Home, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 1}));
}

TEST_F(ViewTest, KeyTablePages)
{
    Ed().SetWordWrap(false);
    std::string text;
    for (int i = 1; i <= 200; ++i)
        text += "radek " + std::to_string(i) + "\r\n";
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText(text), 0);
    Ed().SetCaret({1, 3});
    TextEditor& ed = Ed();
    const int rows = view.Rows();
    ASSERT_GT(rows, 3);
    Key(Qt::Key_PageDown);
    EXPECT_EQ(ed.Caret(), (ParaPos{rows, 3}));
    EXPECT_EQ(ed.TopLine(), rows);
    Key(Qt::Key_PageDown, Qt::ControlModifier);  // bottom of the page
    EXPECT_EQ(ed.Caret().paraNo, 2 * rows - 1);
    Key(Qt::Key_PageUp, Qt::ControlModifier);  // top of the page
    EXPECT_EQ(ed.Caret().paraNo, rows);
    Key(Qt::Key_PageDown, Qt::ShiftModifier);
    EXPECT_EQ(ed.Anchor().paraNo, rows);
    EXPECT_EQ(ed.Caret().paraNo, 2 * rows - 1);
    Key(Qt::Key_PageUp, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret().paraNo, ed.TopLine());
    EXPECT_EQ(ed.Anchor().paraNo, rows);
    Key(Qt::Key_PageDown, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret().paraNo, ed.TopLine() + rows - 1);
    const int32_t bottom = ed.Caret().paraNo;
    Key(Qt::Key_PageUp, Qt::ShiftModifier);
    EXPECT_EQ(ed.Caret().paraNo, bottom - (rows - 1));
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageUp);
    Key(Qt::Key_PageUp);
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 3}));
    EXPECT_EQ(ed.TopLine(), 1);
    // No scrolling past the end: the last page shows the last line at the bottom.
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(ed.TopLine(), ed.LineCount() - rows + 1);
    for (int i = 0; i < 5; ++i)
        Key(Qt::Key_PageDown);
    EXPECT_EQ(ed.TopLine(), ed.LineCount() - rows + 1);
}

TEST_F(ViewTest, KeyTableEdits)
{
    Load("abc def\r\nghi");
    TextEditor& ed = Ed();
    ed.SetCaret({1, 2});
    Key(Qt::Key_Delete);
    EXPECT_EQ(ed.ParaText(1), "ac def");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(ed.ParaText(1), "c def");
    ed.SetCaret({2, 1});
    Key(Qt::Key_Backspace, Qt::ShiftModifier);  // joins
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c defghi"}));
    Key(Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c def", "ghi"}));
    Key(Qt::Key_Insert);
    EXPECT_FALSE(ed.InsertMode());
    Key(Qt::Key_Insert);
    EXPECT_TRUE(ed.InsertMode());
    // Tab and Ctrl+Tab move the focus and insert nothing.
    Key(Qt::Key_Tab, Qt::NoModifier, QStringLiteral("\t"));
    EXPECT_TRUE(line.hasFocus());
    view.setFocus();
    Key(Qt::Key_Tab, Qt::ControlModifier, QStringLiteral("\t"));
    EXPECT_TRUE(line.hasFocus());
    view.setFocus();
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c def", "ghi"}));
    // Undo, redo and the paragraph restore.
    Key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c defghi"}));
    Key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c def", "ghi"}));
    ed.SetCaret({2, 4});
    Type(QStringLiteral("jk"));
    ed.SetCaret({2, 1});
    Key(Qt::Key_Delete);
    EXPECT_EQ(ed.ParaText(2), "hijk");
    Key(Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"c def", "ghi"}));
    // Both key sets of the clipboard.
    for (const auto& [cut, copy, paste] :
         {std::tuple{std::pair{Qt::Key_Delete, Qt::ShiftModifier}, std::pair{Qt::Key_Insert, Qt::ControlModifier},
                     std::pair{Qt::Key_Insert, Qt::ShiftModifier}},
          std::tuple{std::pair{Qt::Key_X, Qt::ControlModifier}, std::pair{Qt::Key_C, Qt::ControlModifier},
                     std::pair{Qt::Key_V, Qt::ControlModifier}}}) {
        Load("abc def");
        ed.SetSelection({1, 1}, {1, 4});
        Key(copy.first, copy.second);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("abc"));
        ed.SetCaret({1, 8});
        Key(paste.first, paste.second);
        EXPECT_EQ(ed.ParaText(1), "abc defabc");
        ed.SetSelection({1, 4}, {1, 8});
        Key(cut.first, cut.second);
        EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral(" def"));
        EXPECT_EQ(ed.ParaText(1), "abcabc");
    }
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

TEST_F(ViewTest, TypingInBothModesAcrossParagraphsAndRefusingForeignCharacters)
{
    Load("kůň");
    TextEditor& ed = Ed();
    ed.SetCaret({1, 2});
    Type(QStringLiteral("ř"));
    EXPECT_EQ(ed.ParaText(1), Cp("křůň"));
    Key(Qt::Key_Insert);
    Type(QStringLiteral("ab"));
    EXPECT_EQ(ed.ParaText(1), Cp("křab"));
    Type(QStringLiteral("cd"));  // overwriting at the end appends
    EXPECT_EQ(ed.ParaText(1), Cp("křabcd"));
    Key(Qt::Key_Insert);
    ed.SetCaret({1, 4});
    Type(QStringLiteral("  "));
    Key(Qt::Key_Return);  // the blanks in front of the break go
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{Cp("křa"), "bcd"}));
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 1}));
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{Cp("křabcd")}));
    EXPECT_EQ(ed.Caret(), (ParaPos{1, 4}));
    // Outside the code page: a beep and no change, also for a surrogate pair.
    const auto before = Paragraphs(ed);
    Type(QStringLiteral("中"));
    Key(0, Qt::NoModifier, QString::fromUtf8("\xF0\x9F\x98\x80"));
    EXPECT_EQ(beeps, 2);
    EXPECT_EQ(Paragraphs(ed), before);
    EXPECT_FALSE(ed.HasSelection());
    // Ctrl with a letter is a command or nothing, never text.
    Key(Qt::Key_Q, Qt::ControlModifier, QStringLiteral("\x11"));
    Key(Qt::Key_Q, Qt::AltModifier, QStringLiteral("q"));
    EXPECT_EQ(Paragraphs(ed), before);
    // A paragraph at its length limit: the editor's error is reported and nothing changes.
    ed.SetParaLengthLimit(6);
    Type(QStringLiteral("x"));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("Current operation will exceed the maximum paragraph size"));
    EXPECT_EQ(Paragraphs(ed), before);
    // A read-only editor takes nothing.
    ed.SetReadOnly(true);
    Type(QStringLiteral("x"));
    Key(Qt::Key_Return);
    EXPECT_EQ(Paragraphs(ed), before);
}

TEST_F(ViewTest, InputMethodCommitsTypeCzech)
{
    Load("");
    QInputMethodEvent compose(QStringLiteral("ř"), {});
    QApplication::sendEvent(&view, &compose);
    EXPECT_EQ(Ed().ParaText(1), "");  // still being composed
    QInputMethodEvent commit;
    commit.setCommitString(QStringLiteral("čřů"));
    QApplication::sendEvent(&view, &commit);
    EXPECT_EQ(Ed().ParaText(1), Cp("čřů"));
    EXPECT_TRUE(view.inputMethodQuery(Qt::ImEnabled).toBool());
    EXPECT_EQ(view.inputMethodQuery(Qt::ImCursorPosition).toInt(), 3);
    EXPECT_EQ(view.inputMethodQuery(Qt::ImSurroundingText).toString(), QStringLiteral("čřů"));
}

TEST_F(ViewTest, WrapFollowsTheWindowOnResizeAndFontChange)
{
    Load("slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo slovo");
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    const qreal charWidth = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('M'));
    EXPECT_EQ(view.Columns(), int((view.viewport()->width() - 20) / charWidth));
    const int wide = Ed().WrapColumn();
    window.resize(300, 320);
    QApplication::processEvents();
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    EXPECT_LT(Ed().WrapColumn(), wide);
    EXPECT_GT(Ed().LineCount(), 1);
    for (int line = 1; line <= Ed().LineCount(); ++line)
        EXPECT_LE(Ed().GetLine(line).size(), size_t(Ed().WrapColumn() + 1));
    QFont bigger = view.font();
    bigger.setPointSize(bigger.pointSize() * 2);
    const int before = Ed().WrapColumn();
    view.setFont(bigger);
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    EXPECT_LT(Ed().WrapColumn(), before);
    // Too narrow for anything: the last column stays.
    const int kept = Ed().WrapColumn();
    view.setMinimumWidth(0);
    window.resize(30, 320);
    QApplication::processEvents();
    if (view.Columns() - 2 <= 0) {
        EXPECT_EQ(Ed().WrapColumn(), kept);
    }
    // Off: the window's width no longer counts.
    view.SetWrapToWindow(false);
    window.resize(600, 320);
    QApplication::processEvents();
    EXPECT_EQ(Ed().WrapColumn(), kept);
    view.SetWrapToWindow(true);
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    // A book waits for the size to settle before all its paragraphs are wrapped anew.
    std::string book;
    for (int i = 0; i < 50000; ++i)
        book += std::string(80, 'k') + "\r\n";
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText(book), 0);
    const int settled = Ed().WrapColumn();
    QElapsedTimer clock;
    clock.start();
    window.resize(420, 320);
    QApplication::processEvents();
    if (clock.elapsed() < 100) {  // a slow (sanitizer) build may have waited long enough already
        EXPECT_EQ(Ed().WrapColumn(), settled);
    }
    QTest::qWait(400);
    EXPECT_EQ(Ed().WrapColumn(), view.Columns() - 2);
    EXPECT_NE(Ed().WrapColumn(), settled);
}

TEST_F(ViewTest, ClipboardRoundTripOfCzechAndOfForeignCharacters)
{
    const char* czech = "Příliš žluťoučký kůň\túpěl ďábelské ódy „x“ – ß\x01";
    Load((std::string(czech) + "\r\nŘádek druhý\r\n").c_str());
    Ed().SelectAll();
    view.CopyToClipboard();
    // Tab and the control byte become spaces; paragraphs are joined by line ends.
    EXPECT_EQ(QApplication::clipboard()->text(),
              QStringLiteral("Příliš žluťoučký kůň úpěl ďábelské ódy „x“ – ß \nŘádek druhý\n"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Paragraphs(Ed()),
              (std::vector<std::string>{Cp("Příliš žluťoučký kůň úpěl ďábelské ódy „x“ – ß "), Cp("Řádek druhý"), ""}));
    EXPECT_TRUE(notices.isEmpty());
    // A byte the code page leaves undefined survives the trip as its C1 character.
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText("a\x81" "b"), 0);
    Ed().SelectAll();
    view.CopyToClipboard();
    EXPECT_EQ(QApplication::clipboard()->text(), QString::fromUtf16(u"a\u0081b"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Ed().ParaText(1), "a\x81" "b");
    EXPECT_TRUE(notices.isEmpty());
    // Characters the code page lacks become "?", and the user is told how many.
    QApplication::clipboard()->setText(QString::fromUtf8("a€b\xF0\x9F\x98\x80" "c中d"));
    Ed().Clear();
    view.PasteFromClipboard();
    EXPECT_EQ(Ed().ParaText(1), Cp("a€b?c?d"));
    ASSERT_EQ(notices.size(), 1);
    EXPECT_TRUE(notices[0].startsWith(QStringLiteral("2 "))) << notices[0].toStdString();
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(ViewTest, PasteOfAParagraphTooLongIsReportedAndInsertsNothing)
{
    Load("první\r\ndruhý");
    Ed().SetCaret({2, 3});
    Ed().SetModified(false);
    int changes = 0;
    QObject::connect(&view, &EditorView::changed, [&] { ++changes; });
    const auto before = Paragraphs(Ed());
    QApplication::clipboard()->setText(QString(40000, QLatin1Char('x')) + QLatin1Char('\n'));
    view.PasteFromClipboard();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_EQ(errors[0], QStringLiteral("Current operation will exceed the maximum paragraph size"));
    EXPECT_EQ(Paragraphs(Ed()), before);
    // Also when the first paragraphs of the paste would fit: the paste goes in whole or not at all.
    QApplication::clipboard()->setText(QStringLiteral("short\nalso short\n") + QString(40000, QLatin1Char('y')));
    view.PasteFromClipboard();
    EXPECT_EQ(errors.size(), 2);
    EXPECT_EQ(Paragraphs(Ed()), before);
    EXPECT_EQ(changes, 0);
    EXPECT_FALSE(Ed().Modified());
}

TEST_F(ViewTest, EventsCountedAndInOrder)
{
    Ed().SetWordWrap(false);
    std::string text;
    for (int i = 0; i < 100; ++i)
        text += "x\t yz\r\n";
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText(text), 0);
    Ed().SetCaret({1, 1});
    Ed().SetTopLine(1);
    QApplication::processEvents();
    QStringList log;
    QObject::connect(&view, &EditorView::changed, [&] { log << QStringLiteral("change"); });
    QObject::connect(&view, &EditorView::showStatus,
                     [&](int line, int column) { log << QStringLiteral("status %1 %2").arg(line).arg(column); });
    QObject::connect(&view, &EditorView::topLineChanged,
                     [&](int line) { log << QStringLiteral("top %1").arg(line); });
    Type(QStringLiteral("a"));
    EXPECT_EQ(log, QStringList{QStringLiteral("change")});  // the status waits for the event queue
    Key(Qt::Key_Right);
    Key(Qt::Key_Right);  // behind the tab: display column 9
    QApplication::processEvents();
    EXPECT_EQ(log, (QStringList{QStringLiteral("change"), QStringLiteral("status 1 9")}));
    log.clear();
    Key(Qt::Key_End, Qt::ControlModifier);
    EXPECT_EQ(log, QStringList{QStringLiteral("top %1").arg(Ed().LineCount() - view.Rows() + 1)});
    QApplication::processEvents();
    EXPECT_EQ(log.size(), 2);
    EXPECT_EQ(log.last(), QStringLiteral("status %1 1").arg(Ed().LineCount()));
    log.clear();
    Key(Qt::Key_Home, Qt::ControlModifier);
    Key(Qt::Key_Delete);
    Key(Qt::Key_Insert);
    QApplication::processEvents();
    EXPECT_EQ(log, (QStringList{QStringLiteral("top 1"), QStringLiteral("change"), QStringLiteral("status 1 1")}));
    // Program operations raise no change, but the wheel and the scroll bar move the top line.
    log.clear();
    (void)Ed().InsertText("q");
    QWheelEvent wheel(QPointF(10, 10), view.mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(log.value(0), QStringLiteral("top %1").arg(1 + QApplication::wheelScrollLines()));
    view.verticalScrollBar()->setValue(10);
    EXPECT_EQ(log.last(), QStringLiteral("top 11"));
    EXPECT_FALSE(log.contains(QStringLiteral("change")));
}

TEST_F(ViewTest, BookmarksSetAndReachedFromTheKeys)
{
    Load("nula\r\njedna\r\ndva\r\ntři");
    TextEditor& ed = Ed();
    ed.SetCaret({2, 3});
    Key(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("3"));  // layouts with digits shifted
    EXPECT_EQ(ed.Bookmark(3), (ParaPos{2, 3}));
    ed.SetCaret({4, 2});
    // An English layout: Ctrl+Shift+0 arrives as ")".
    Key(Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral(")"), 19, ')');
    EXPECT_EQ(ed.Bookmark(0), (ParaPos{4, 2}));
    ed.SetCaret({1, 1});
    Key(Qt::Key_NumberSign, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("#"), 12, '#');  // "3" again
    EXPECT_EQ(ed.Bookmark(3), (ParaPos{1, 1}));
    ed.SetCaret({2, 3});
    Key(Qt::Key_3, Qt::ControlModifier | Qt::ShiftModifier, QStringLiteral("3"));
    ed.SetCaret({1, 1});
    Key(Qt::Key_0, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{4, 2}));
    // Windows: the virtual key of the digit row whatever the character.
    Key(Qt::Key_Plus, Qt::ControlModifier, QStringLiteral("+"), 2, '3');
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 3}));
    Key(Qt::Key_7, Qt::ControlModifier);  // unset: nothing happens
    EXPECT_EQ(ed.Caret(), (ParaPos{2, 3}));
    EXPECT_EQ(Paragraphs(ed), (std::vector<std::string>{"nula", "jedna", "dva", Cp("tři")}));
    // The marks follow the text.
    ed.SetCaret({1, 1});
    Key(Qt::Key_Return);
    Key(Qt::Key_3, Qt::ControlModifier);
    EXPECT_EQ(ed.Caret(), (ParaPos{3, 3}));
}

TEST_F(ViewTest, MouseClickDragDoubleClickAndPopup)
{
    Ed().SetWordWrap(false);
    Load("první slovo\r\ndruhé slovo");
    QApplication::processEvents();
    const qreal cw = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('M'));
    const int lh = int(std::ceil(QFontMetricsF(view.font()).height()));
    auto at = [&](int column, int line) {  // the gap in front of a column (from 0) of a line (from 0)
        return QPoint(EditorView::kLeftMargin + int(column * cw) + 1, line * lh + lh / 2);
    };
    QWidget* viewport = view.viewport();
    QTest::mouseClick(viewport, Qt::LeftButton, {}, at(3, 1));
    EXPECT_EQ(Ed().Caret(), (ParaPos{2, 4}));
    QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, at(1, 0));
    EXPECT_EQ(Ed().Anchor(), (ParaPos{2, 4}));
    EXPECT_EQ(Ed().Caret(), (ParaPos{1, 2}));
    QTest::mousePress(viewport, Qt::LeftButton, {}, at(2, 0));
    QTest::mouseMove(viewport, at(8, 1));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(8, 1));
    EXPECT_EQ(Ed().Anchor(), (ParaPos{1, 3}));
    EXPECT_EQ(Ed().Caret(), (ParaPos{2, 9}));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at(8, 1));
    EXPECT_EQ(Ed().SelStart(), (ParaPos{2, 7}));
    EXPECT_EQ(Ed().SelEnd(), (ParaPos{2, 12}));
    // Held after a double click, the button selects whole words.
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(8, 1));
    QTest::mouseDClick(viewport, Qt::LeftButton, {}, at(8, 1));
    QMouseEvent drag(QEvent::MouseMove, at(2, 0), viewport->mapToGlobal(at(2, 0)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(viewport, &drag);
    EXPECT_EQ(Ed().Anchor(), (ParaPos{2, 12}));
    EXPECT_EQ(Ed().Caret(), (ParaPos{1, 1}));
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, at(2, 0));
    QTest::mouseClick(viewport, Qt::LeftButton, {}, QPoint(viewport->width() - 10, lh * 5));  // below and behind
    EXPECT_EQ(Ed().Caret(), Ed().EndOfText());
    QMenu menu;
    menu.addAction(QStringLiteral("Přidej záložku 1"));
    int shown = 0;
    QObject::connect(&menu, &QMenu::aboutToShow, [&] {
        ++shown;
        QTimer::singleShot(0, &menu, &QMenu::close);
    });
    view.SetPopupMenu(&menu);
    QContextMenuEvent context(QContextMenuEvent::Mouse, at(2, 0), viewport->mapToGlobal(at(2, 0)));
    QApplication::sendEvent(viewport, &context);
    EXPECT_EQ(shown, 1);
}

TEST_F(ViewTest, HugeLineCountsScaleTheScrollBar)
{
    Ed().SetWordWrap(false);
    std::string text;
    for (int i = 0; i < 100000; ++i)
        text += "r\r\n";
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText(text), 0);
    QApplication::processEvents();
    const int64_t positions = Ed().LineCount() - (view.Rows() - 1);
    const int factor = int(positions / 32768) * 2;
    ASSERT_EQ(factor, 6);
    QScrollBar* bar = view.verticalScrollBar();
    EXPECT_EQ(bar->maximum(), positions / factor - 1);
    bar->setValue(1000);
    EXPECT_EQ(Ed().TopLine(), 1000 * factor + 1);
    bar->setValue(bar->maximum());
    EXPECT_EQ(Ed().TopLine(), positions);  // the very end can be reached
    Ed().SetTopLine(1);
    EXPECT_EQ(bar->value(), 0);
}

TEST_F(ViewTest, LongLinesScrollSidewaysToTheCaret)
{
    Ed().SetWordWrap(false);
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText(std::string(1000, 'w') + "\r\nkratky"), 0);
    Ed().SetCaret({1, 1});
    QApplication::processEvents();
    QScrollBar* bar = view.horizontalScrollBar();
    EXPECT_EQ(bar->value(), 0);
    Key(Qt::Key_End);
    EXPECT_EQ(bar->value(), 1000 - view.Columns() + 1);  // the caret's cell is the last one shown
    EXPECT_GE(bar->maximum(), bar->value());
    Key(Qt::Key_Down);
    EXPECT_EQ(bar->value(), 0);
    // A caret placed by the window's own commands is followed as well, once the status is due.
    Ed().SetCaret({1, 500});
    QApplication::processEvents();
    EXPECT_LE(bar->value(), 499);
    EXPECT_GT(bar->value() + view.Columns(), 499);
}

TEST_F(ViewTest, BytesWithoutCharactersAreDrawnVisibly)
{
    Ed().SetWordWrap(false);
    Ed().Clear();
    ASSERT_EQ(Ed().InsertText("ab\x81" "c\r\nabcd"), 0);
    Ed().SetCaret({2, 1});
    view.clearFocus();
    QApplication::processEvents();
    const QImage image = view.viewport()->grab().toImage();
    const qreal cw = QFontMetricsF(view.font()).horizontalAdvance(QLatin1Char('M'));
    const int lh = int(std::ceil(QFontMetricsF(view.font()).height()));
    auto reddish = [&](int line, int column) {
        int count = 0;
        for (int y = line * lh; y < (line + 1) * lh; ++y)
            for (int x = EditorView::kLeftMargin + int(column * cw); x < EditorView::kLeftMargin + int((column + 1) * cw); ++x) {
                const QColor c = image.pixelColor(x, y);
                count += c.red() > 150 && c.green() < 110 && c.blue() < 110;
            }
        return count;
    };
    EXPECT_GT(reddish(0, 2), 0);   // 0x81 has a mark of its own cell
    EXPECT_EQ(reddish(1, 2), 0);   // a plain letter has none
    EXPECT_EQ(Ed().ParaText(1), "ab\x81" "c");
    // A selection stays visible without the focus: highlighted cells in the first line.
    Ed().SetSelection({1, 1}, {1, 3});
    QApplication::processEvents();
    const QImage selected = view.viewport()->grab().toImage();
    const QColor highlight = view.palette().color(QPalette::Inactive, QPalette::Highlight);
    EXPECT_EQ(selected.pixelColor(EditorView::kLeftMargin + 1, 1), highlight);
    EXPECT_NE(selected.pixelColor(EditorView::kLeftMargin + 1, lh + 1), highlight);
}

}  // namespace
}  // namespace lepotex
