// The window as it starts, its shortcuts, status bar, boxes and error handling.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <gtest/gtest.h>

#include "../QtApplicationEnvironment.h"
#include "AppTestSupport.h"
#include "app/FindDialog.h"
#include "app/dialogs/LepotexHelp.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"
#include "settings/Settings.h"

namespace lepotex::test {
namespace {

TEST(MainWindow, StatusPanelsFromTheStartFollowTheEditor)
{
    TestWindow w;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex verze 1.2 (19.1.2003)"));
    auto panels = [&w] {
        QStringList texts;
        for (int i = 1; i <= 5; ++i)
            texts << w->PanelText(i);
        return texts;
    };
    EXPECT_EQ(panels(), (QStringList{"1:1", "---", "1 řádek", "Velikost: 0", "Vlož"}));
    // The manual beside the program is found, though the working folder holds none.
    EXPECT_TRUE(w->HelpForm->Text().contains(QStringLiteral("Slepit")));
    // The settings were read, and their defaults stored, from the test's own folder.
    EXPECT_EQ(w->CurrentSettings(), Settings::Defaults());
    EXPECT_TRUE(QFile::exists(w.Path(QStringLiteral("config/Zuvra/Lepotex 1.2.conf"))));
    // Panels of at least the given widths (wider where the font needs it); "Změněn" is not cut.
    for (int i = 0; i < 6; ++i)
        EXPECT_GE(w->panels[size_t(i)]->width(), TLepotexFrm::kPanelWidths[size_t(i)]) << i;
    EXPECT_GE(w->panels[2]->contentsRect().width(), w->panels[2]->fontMetrics().horizontalAdvance(QStringLiteral("Změněn")));
    EXPECT_TRUE(w.prompts->shown.empty());

    // The column is the character position: a tab counts as one.
    w.Type("Dobrý den\n\tsvěte");
    w->memoRXChange();
    EXPECT_EQ(panels(), (QStringList{"2:7", "Změněn", "2 řádek", "Velikost: 17", "Vlož"}));
    w->actUndo->trigger();
    EXPECT_TRUE(w->actRedo->isEnabled());
    // The editor's own events refresh the panels: a typed character raises its change event.
    w.Editor().SetInsertMode(false);
    w.Editor().TypeChar('x');
    EXPECT_EQ(w->PanelText(5), QStringLiteral("Přes"));
    QStatusTipEvent tip(w->FileSave1->statusTip());
    QApplication::sendEvent(w.window.get(), &tip);
    EXPECT_EQ(w->PanelText(0), QStringLiteral("Uložit soubor"));
    EXPECT_TRUE(w->panels[4]->isVisible());

    // The wrap action toggles itself before its handler runs; the handler must not invert it again.
    for (const bool on : {false, true}) {
        w->miWordWarp->trigger();
        EXPECT_EQ(w->miWordWarp->isChecked(), on);
        EXPECT_EQ(w.Editor().WordWrap(), on);
    }
}

TEST(MainWindow, ShortcutsUndoItemAndBookmarks)
{
    TestWindow w;
    const std::pair<QAction*, const char*> shortcuts[] = {
        {w->FileNew1, "Ctrl+N"}, {w->FileOpen1, "Ctrl+O"}, {w->FileSave1, "Ctrl+S"},   {w->EditCut1, "Ctrl+X"},
        {w->EditCopy1, "Ctrl+C"}, {w->EditPaste1, "Ctrl+V"}, {w->actFind, "Ctrl+F"},   {w->actFindNext, "F3"},
        {w->actReplace, "Ctrl+R"}, {w->actUndo, "Ctrl+Z"},   {w->FileSaveAs1, ""},      {w->actRedo, ""},
    };
    for (const auto& [action, keys] : shortcuts)
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(keys))) << keys;

    // The "Undo" item of the menu follows the action's enabled state and runs it.
    QAction* undoItem = w->menuBar()->actions()[1]->menu()->actions()[7];
    ASSERT_EQ(undoItem->text(), QStringLiteral("Undo\tCtrl+Z"));
    EXPECT_FALSE(undoItem->isEnabled());
    w.Type("ab");
    w->memoRXChange();
    EXPECT_TRUE(undoItem->isEnabled());
    undoItem->trigger();
    EXPECT_EQ(w.Editor().ByteCount(), 0);

    // Bookmarks: Ctrl+F1..F9 set, Shift+F1..F9 go, also from the editor's own pop-up menu.
    EXPECT_EQ(w->miAddBookmark[4]->shortcut(), QKeySequence(QStringLiteral("Ctrl+F5")));
    EXPECT_EQ(w->miGotoBookmark[4]->shortcut(), QKeySequence(QStringLiteral("Shift+F5")));
    EXPECT_TRUE(w->memoText->actions().contains(w->miAddBookmark[8]));
    w.Type("jedna\ndva\ntri");
    w.Editor().SetCaret({2, 2});
    w->miAddBookmark[4]->trigger();
    w.Editor().SetCaret({3, 1});
    w->miGotoBookmark[4]->trigger();
    EXPECT_EQ(w.Editor().Caret(), (ParaPos{2, 2}));
}

TEST(MainWindow, ConfirmBoxAnswersYesOnEnterAndCancelOnClose)
{
    auto confirm = MakeConfirmBox(nullptr, QStringLiteral("Otázka?"));
    EXPECT_EQ(confirm->windowTitle(), QStringLiteral("Confirm"));
    EXPECT_EQ(confirm->buttons().size(), 3);
    UserPrompts real;
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Cancel);
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(box, &enter);
        }
    });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Yes);
    // A message shows its text as it is, never as markup.
    EXPECT_EQ(MakeInformationBox(nullptr, QStringLiteral("<b>x</b>"))->textFormat(), Qt::PlainText);
}

TEST(MainWindow, ErrorsAtStartAndInHandlersAreReportedAndTheProgramGoesOn)
{
    // A settings file that cannot be read: reported at start-up, and the start goes on.
    TestWindow w([](const QTemporaryDir& folder) {
        QDir().mkpath(folder.filePath(QStringLiteral("config/Zuvra/Lepotex 1.2.conf")));
    });
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Plain);
    EXPECT_FALSE(w->SettingsLoaded());
    ASSERT_NE(w->HelpForm, nullptr);
    // A save into a folder that does not exist fails inside the action's handler: the error
    // must not leave the handler, and the text stays unsaved.
    w.prompts->saveNames.push_back(w.Path(QStringLiteral("chybí/složka/kniha.txt")));
    w.Type("text");
    w->FileSave1->trigger();
    ASSERT_EQ(w.prompts->shown.size(), 2u);
    EXPECT_EQ(w.prompts->shown[1].kind, Shown::Plain);
    EXPECT_TRUE(w.Editor().Modified());
}

TEST(MainWindow, ClipboardActionsActOnTheFocusedEditorOrField)
{
    TestWindow w;
    w->activateWindow();
    w->memoText->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), w->memoText);
    w.Type("Čaj a káva");
    w.Editor().SetSelection({1, 1}, {1, 4});
    w->EditCopy1->trigger();
    EXPECT_EQ(QApplication::clipboard()->text(), QStringLiteral("Čaj"));
    w->EditCut1->trigger();
    w.Editor().SetCaret(w.Editor().EndOfText());
    w->EditPaste1->trigger();
    EXPECT_EQ(Windows1250ToUtf8(w.Editor().Text()), " a kávaČaj");

    // In a field of a dialog they act on that field, and leave the text alone.
    w->actFind->trigger();
    w->dlgFind->activateWindow();
    w->dlgFind->edtFind->setFocus();
    QApplication::processEvents();
    if (QApplication::focusWidget() != w->dlgFind->edtFind)
        GTEST_SKIP() << "this platform gives the dialog no focus";
    w->dlgFind->edtFind->clear();
    w->EditPaste1->trigger();
    EXPECT_EQ(w->dlgFind->FindText(), QStringLiteral("Čaj"));
    EXPECT_EQ(Windows1250ToUtf8(w.Editor().Text()), " a kávaČaj");
}

}  // namespace
}  // namespace lepotex::test
