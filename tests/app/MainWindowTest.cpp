// The window as it starts, its shortcuts, status bar, boxes and error handling.
#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <gtest/gtest.h>

#include "../QtApplicationEnvironment.h"
#include "AppTestSupport.h"
#include "app/FindDialog.h"
#include "app/dialogs/LepotexHelp.h"
#include "editor/view/EditorView.h"

namespace lepotex::test {
namespace {

TEST(MainWindow, StatusPanelsShortcutsAndBookmarks)
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
    // The settings were read, and their defaults stored, from the test's own folder.
    EXPECT_EQ(w->CurrentSettings(), Settings::Defaults());
    EXPECT_TRUE(QFile::exists(w.Path(QStringLiteral("config/Zuvra/Lepotex 1.2.conf"))));
    EXPECT_TRUE(w.prompts->shown.empty());

    // The shortcuts; a bookmark is set by Ctrl+F1..F9 and reached by Shift+F1..F9.
    QStringList keys;
    for (QAction* action : {w->FileNew1, w->FileOpen1, w->FileSave1, w->EditCut1, w->EditCopy1, w->EditPaste1,
                            w->actFind, w->actFindNext, w->actReplace, w->actUndo, w->miAddBookmark[4],
                            w->miGotoBookmark[4]})
        keys << action->shortcut().toString();
    EXPECT_EQ(keys.join(' '), "Ctrl+N Ctrl+O Ctrl+S Ctrl+X Ctrl+C Ctrl+V Ctrl+F F3 Ctrl+R Ctrl+Z Ctrl+F5 Shift+F5");

    // The column is the character position: a tab counts as one.
    w.Type("Dobrý den\n\tsvěte");
    w->memoRXChange();
    EXPECT_EQ(panels(), (QStringList{"2:7", "Změněn", "2 řádek", "Velikost: 17", "Vlož"}));
    w->miAddBookmark[4]->trigger();
    w.Editor().SetCaret({1, 2});
    w->miGotoBookmark[4]->trigger();
    EXPECT_EQ(w.Editor().Caret(), (ParaPos{2, 7}));
    // The editor's own events refresh the panels: a typed character raises its change event.
    w.Editor().SetInsertMode(false);
    w.Editor().TypeChar('x');
    EXPECT_EQ(w->PanelText(5), QStringLiteral("Přes"));

    // The wrap action toggles itself before its handler runs; the handler must not invert it again.
    for (const bool on : {false, true}) {
        w->miWordWarp->trigger();
        EXPECT_EQ(w->miWordWarp->isChecked(), on);
        EXPECT_EQ(w.Editor().WordWrap(), on);
    }
}

TEST(MainWindow, ConfirmBoxAnswersYesOnEnterAndCancelOnClose)
{
    UserPrompts real;
    QTimer::singleShot(0, [] { QApplication::activeModalWidget()->close(); });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Cancel);
    QTimer::singleShot(0, [] {
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(QApplication::activeModalWidget(), &enter);
    });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Yes);
}

TEST(MainWindow, AnUnreadableSettingsFileIsReportedAndTheStartGoesOn)
{
    TestWindow w([](const QTemporaryDir& folder) {
        QDir().mkpath(folder.filePath(QStringLiteral("config/Zuvra/Lepotex 1.2.conf")));
    });
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Plain);
    EXPECT_FALSE(w->SettingsLoaded());
    ASSERT_NE(w->HelpForm, nullptr);
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
