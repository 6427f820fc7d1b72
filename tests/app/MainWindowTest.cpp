// The window as it starts, its actions, menus, toolbar, pop-up menu, status bar and boxes.
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTimer>
#include <QToolBar>
#include <QKeyEvent>
#include <QClipboard>
#include <QDir>
#include <QLineEdit>
#include <QFile>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/MessageBoxes.h"
#include "app/dialogs/LepotexAbout.h"
#include "app/dialogs/LepotexHelp.h"
#include "app/FindDialog.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"
#include "settings/Settings.h"

namespace lepotex::test {
namespace {

QStringList Captions(const QList<QAction*>& actions)
{
    QStringList out;
    for (QAction* action : actions)
        out << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return out;
}

TEST(MainWindow, StartsAsDescribed)
{
    TestWindow w;
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex verze 1.2 (19.1.2003)"));
    EXPECT_EQ(w->PanelText(1), QStringLiteral("1:1"));
    EXPECT_EQ(w->PanelText(2), QStringLiteral("---"));
    EXPECT_EQ(w->PanelText(3), QStringLiteral("1 řádek"));
    EXPECT_EQ(w->PanelText(4), QStringLiteral("Velikost: 0"));
    EXPECT_EQ(w->PanelText(5), QStringLiteral("Vlož"));
    EXPECT_EQ(w->PanelText(6), QString());
    EXPECT_TRUE(w->DocumentName().isEmpty());
    EXPECT_FALSE(w->actUndo->isEnabled());
    EXPECT_FALSE(w->actRedo->isEnabled());
    EXPECT_FALSE(w->pbarLista->isVisible());
    EXPECT_EQ(w->pbarLista->maximum(), 100);
    EXPECT_TRUE(w->miWordWarp->isChecked());
    EXPECT_TRUE(w.Editor().WordWrap());
    EXPECT_TRUE(w.Editor().ShowBookmarks());
    // The settings were read, and their defaults stored, from the test's own folder.
    EXPECT_EQ(w->CurrentSettings(), Settings::Defaults());
    EXPECT_TRUE(QFile::exists(w.Path(QStringLiteral("config/Zuvra/Lepotex 1.2.conf"))));
    // Seven panels of at least the given widths (wider where the font needs it), the last one
    // taking what is left; "Změněn" is not cut.
    for (int i = 0; i < 6; ++i)
        EXPECT_GE(w->panels[size_t(i)]->width(), TLepotexFrm::kPanelWidths[size_t(i)]) << i;
    EXPECT_GE(w->panels[2]->contentsRect().width(), w->panels[2]->fontMetrics().horizontalAdvance(QStringLiteral("Změněn")));
    EXPECT_TRUE(w.prompts->shown.empty());
}

TEST(MainWindow, ActionsHaveTheirCaptionsHintsAndShortcuts)
{
    TestWindow w;
    struct Row {
        QAction* action;
        const char* caption;
        const char* shortHint;
        const char* longHint;
        const char* shortcut;
        bool picture;
    };
    const Row rows[] = {
        {w->FileNew1, "&Nový", "Vytvořit nový soubor", "Vytvořit nový soubor", "Ctrl+N", true},
        {w->FileOpen1, "&Otevřít", "Otevřít soubor", "Otevřít soubor", "Ctrl+O", true},
        {w->FileSave1, "&Uložit", "Save", "Uložit soubor", "Ctrl+S", true},
        {w->FileSaveAs1, "Uložit &jako...", "Save As", "Uložit pod novým jménem.", "", false},
        {w->FileExit1, "Konec", "Exit", "Končíme", "", false},
        {w->EditCut1, "&Vystřihnout", "Vystřihnou do schránky", "Vystřihnou do schránky", "Ctrl+X", true},
        {w->EditCopy1, "&Kopírovat", "Kopírovat do schránky", "Kopírovat do schránky", "Ctrl+C", true},
        {w->EditPaste1, "&Vložit", "Vložit ze schránky", "Vložit ze schránky", "Ctrl+V", true},
        {w->HelpAbout1, "&Lepotex...", "Co je to Lepotex", "Co je to Lepotex", "", false},
        {w->Slepit, "Slepit", "Slepit rozlámaný text", "Slepit rozlámaný text", "", true},
        {w->actFind, "Najít", "Najít text", "Najít text", "Ctrl+F", true},
        {w->actFindNext, "actFindNext", "Opakovat hledání texu", "Opakovat hledání texu", "F3", true},
        {w->actReplace, "actReplace", "Nahradit text", "Nahradit text", "Ctrl+R", true},
        {w->actUndo, "Zpět", "Zrušit poslední změnu", "Zrušit poslední změnu", "Ctrl+Z", true},
        {w->actPrimaRec, "Slepit „přímou řeč“", "Slepit „přímou řeč“ rozlámanou ve více odstavcích.",
         "Slepit „přímou řeč“ rozlámanou ve více odstavcích.", "", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(row.action->text(), QString::fromUtf8(row.caption));
        EXPECT_EQ(row.action->toolTip(), QString::fromUtf8(row.shortHint));
        EXPECT_EQ(row.action->statusTip(), QString::fromUtf8(row.longHint));
        EXPECT_EQ(row.action->shortcut(), QKeySequence(QString::fromLatin1(row.shortcut)));
        EXPECT_EQ(!row.action->icon().isNull(), row.picture);
    }
    EXPECT_EQ(w->Help->text(), QStringLiteral("&Návod"));
    EXPECT_TRUE(w->Help->statusTip().isEmpty());
    EXPECT_EQ(w->actRedo->text(), QStringLiteral("Zrušit zpět"));
    EXPECT_TRUE(w->actRedo->shortcut().isEmpty());
    EXPECT_FALSE(w->actRedo->icon().isNull());

    // The menus, with the captions of their own.
    const QList<QAction*> menus = w->menuBar()->actions();
    ASSERT_EQ(menus.size(), 4);
    EXPECT_EQ(Captions(menus), (QStringList{"&Soubor", "Úpr&avy", "Nastavení", "&Nápověda"}));
    EXPECT_EQ(Captions(menus[0]->menu()->actions()),
              (QStringList{"&Nový", "&Otevřít", "&Uložit", "Uložit &jako...", "-", "Konec"}));
    EXPECT_EQ(Captions(menus[1]->menu()->actions()),
              (QStringList{"Slepit", "Slepit „přímou řeč“", "-", "&Vystřihnout", "&Kopírovat", "&Vložit",
                           "Undo\tCtrl+Z", "Zrušit zpět", "-", "Najít", "Najít další\tF3", "Nahradit\tCtrl+R"}));
    EXPECT_EQ(Captions(menus[2]->menu()->actions()), (QStringList{"Zalamovat řádky", "Konfigurace"}));
    EXPECT_EQ(Captions(menus[3]->menu()->actions()), (QStringList{"&O programu...", "&Návod"}));
    EXPECT_EQ(menus[1]->statusTip(), QStringLiteral("Povely editoru"));
    EXPECT_EQ(menus[2]->statusTip(), QStringLiteral("Nastavení programu."));
    EXPECT_EQ(menus[3]->statusTip(), QStringLiteral("Helpík"));
    EXPECT_EQ(w->miWordWarp->statusTip(), QStringLiteral("Zalamovat řádky na obrazovce."));

    // The "Undo" item follows the action's enabled state and runs it.
    QAction* undoItem = menus[1]->menu()->actions()[6];
    EXPECT_FALSE(undoItem->isEnabled());
    w.Type("ab");
    w->memoRXChange();
    EXPECT_TRUE(undoItem->isEnabled());
    undoItem->trigger();
    EXPECT_EQ(w.Editor().ByteCount(), 0);

    // The toolbar, in its order; the first button has a hint of its own.
    const QList<QAction*> tools = w->ToolBar1->actions();
    QStringList order;
    for (QAction* action : tools)
        order << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(order, (QStringList{"&Nový", "&Otevřít", "&Uložit", "-", "Slepit", "Slepit „přímou řeč“", "-", "Zpět",
                                  "Zrušit zpět", "-", "&Vystřihnout", "&Kopírovat", "&Vložit", "-", "Najít",
                                  "actFindNext", "actReplace", "-"}));
    EXPECT_EQ(tools[0]->toolTip(), QStringLiteral("Nový soubor"));
    EXPECT_EQ(tools[0]->statusTip(), QStringLiteral("Nový soubor"));
    EXPECT_EQ(w->ToolBar1->toolButtonStyle(), Qt::ToolButtonIconOnly);
}

TEST(MainWindow, HintsGoToPanelZeroAndLeaveTheOthers)
{
    TestWindow w;
    const QString size = w->PanelText(4);
    QStatusTipEvent tip(w->FileSave1->statusTip());
    QApplication::sendEvent(w.window.get(), &tip);
    EXPECT_EQ(w->PanelText(0), QStringLiteral("Uložit soubor"));
    EXPECT_EQ(w->PanelText(4), size);
    EXPECT_TRUE(w->panels[4]->isVisible());
    QStatusTipEvent empty{QString()};
    QApplication::sendEvent(w.window.get(), &empty);
    EXPECT_EQ(w->PanelText(0), QString());
}

TEST(MainWindow, StatusRefreshFollowsTheEditor)
{
    TestWindow w;
    w.Type("Dobrý den\nsvěte");
    w->memoRXChange();
    EXPECT_EQ(w->PanelText(1), QStringLiteral("2:6"));
    EXPECT_EQ(w->PanelText(2), QStringLiteral("Změněn"));
    EXPECT_EQ(w->PanelText(3), QStringLiteral("2 řádek"));
    EXPECT_EQ(w->PanelText(4), QStringLiteral("Velikost: 16"));
    EXPECT_TRUE(w->actUndo->isEnabled());
    EXPECT_FALSE(w->actRedo->isEnabled());
    w->actUndo->trigger();
    EXPECT_TRUE(w->actRedo->isEnabled());
    w.Editor().SetInsertMode(false);
    w->memoRXChange();
    EXPECT_EQ(w->PanelText(5), QStringLiteral("Přes"));
    // The editor's own events refresh the panels: a typed character raises its change event.
    w.Editor().SetInsertMode(true);
    w.Editor().TypeChar('x');
    EXPECT_EQ(w->PanelText(5), QStringLiteral("Vlož"));
}

TEST(MainWindow, WordWrapCheckMarkAgreesWithTheEditor)
{
    TestWindow w;
    std::string longParagraph(400, 'a');
    for (size_t i = 5; i < longParagraph.size(); i += 6)
        longParagraph[i] = ' ';
    w.Type(longParagraph);
    ASSERT_GT(w.Editor().LineCount(), 1);
    // The action toggles itself before its handler runs; the handler must not invert it again.
    w->miWordWarp->trigger();
    EXPECT_FALSE(w->miWordWarp->isChecked());
    EXPECT_FALSE(w.Editor().WordWrap());
    EXPECT_EQ(w->PanelText(3), QStringLiteral("1 řádek"));
    w->miWordWarp->trigger();
    EXPECT_TRUE(w->miWordWarp->isChecked());
    EXPECT_TRUE(w.Editor().WordWrap());
}

TEST(MainWindow, BookmarkMenuSetsAndGoes)
{
    TestWindow w;
    ASSERT_EQ(Captions(w->mnuBookmark->actions()), (QStringList{"Přidej záložku", "Jdi na záložku"}));
    for (int n = 1; n <= 9; ++n) {
        EXPECT_EQ(w->miAddBookmark[size_t(n - 1)]->text(), QString::number(n));
        EXPECT_EQ(w->miAddBookmark[size_t(n - 1)]->shortcut(), QKeySequence(QStringLiteral("Ctrl+F%1").arg(n)));
        EXPECT_EQ(w->miGotoBookmark[size_t(n - 1)]->shortcut(), QKeySequence(QStringLiteral("Shift+F%1").arg(n)));
        EXPECT_TRUE(w->memoText->actions().contains(w->miAddBookmark[size_t(n - 1)]));
    }
    w.Type("jedna\ndva\ntri");
    w.Editor().SetCaret({2, 2});
    w->miAddBookmark[4]->trigger();
    w.Editor().SetCaret({3, 1});
    w->miGotoBookmark[4]->trigger();
    EXPECT_EQ(w.Editor().Caret(), (ParaPos{2, 2}));
}

TEST(MainWindow, MessageBoxesHaveTheirTitlesAndButtons)
{
    auto confirm = MakeConfirmBox(nullptr, QStringLiteral("Otázka?"));
    EXPECT_EQ(confirm->windowTitle(), QStringLiteral("Confirm"));
    EXPECT_EQ(confirm->icon(), QMessageBox::Question);
    QStringList buttons;
    for (QAbstractButton* button : confirm->buttons())
        buttons << button->text();
    buttons.sort();
    EXPECT_EQ(buttons, (QStringList{"&No", "&Yes", "Cancel"}));
    ASSERT_NE(confirm->defaultButton(), nullptr);
    EXPECT_EQ(confirm->defaultButton()->text(), QStringLiteral("&Yes"));
    ASSERT_NE(confirm->escapeButton(), nullptr);
    EXPECT_EQ(confirm->escapeButton()->text(), QStringLiteral("Cancel"));

    // The close box answers "Cancel".
    UserPrompts real;
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget())
            box->close();
    });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Cancel);
    // Enter answers "&Yes".
    QTimer::singleShot(0, [] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QApplication::sendEvent(box, &enter);
        }
    });
    EXPECT_EQ(real.Confirm(nullptr, QStringLiteral("Otázka?")), Answer::Yes);

    auto info = MakeInformationBox(nullptr, QStringLiteral("<b>x</b>"));
    EXPECT_EQ(info->windowTitle(), QStringLiteral("Information"));
    ASSERT_EQ(info->buttons().size(), 1);
    EXPECT_EQ(info->buttons()[0]->text(), QStringLiteral("OK"));
    EXPECT_EQ(info->textFormat(), Qt::PlainText);
    auto plain = MakePlainBox(nullptr, QStringLiteral("x"));
    EXPECT_EQ(plain->windowTitle(), QStringLiteral("Lepotex"));
    ASSERT_EQ(plain->buttons().size(), 1);
    EXPECT_EQ(plain->buttons()[0]->text(), QStringLiteral("OK"));
}

TEST(MainWindow, AnErrorInAHandlerIsReportedAndTheProgramGoesOn)
{
    TestWindow w;
    // A file named at start that cannot be opened: reported, and the program starts empty.
    w->OpenAtStart(w.Path(QStringLiteral("není.txt")));
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Plain);
    EXPECT_TRUE(w.prompts->shown[0].text.contains(QStringLiteral("File not found"))) << w.prompts->shown[0].text.toStdString();
    EXPECT_TRUE(w->DocumentName().isEmpty());
    w.prompts->saveNames.push_back(w.Path(QStringLiteral("chybí/složka/kniha.txt")));
    // A save into a folder that does not exist fails inside the action's handler: the error
    // must not leave the handler, and the text stays unsaved.
    w.Type("text");
    w->FileSave1->trigger();
    ASSERT_EQ(w.prompts->shown.size(), 2u);
    EXPECT_EQ(w.prompts->shown[1].kind, Shown::Plain);
    EXPECT_TRUE(w.Editor().Modified());
    EXPECT_TRUE(w->isVisible());
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
    EXPECT_EQ(Windows1250ToUtf8(w.Editor().Text()), " a káva");
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

TEST(MainWindow, StartUpErrorsAreReportedAndTheProgramGoesOn)
{
    // A settings file that cannot be read: reported in the general error report at start-up.
    TestWindow w([](const QTemporaryDir& folder) {
        QDir().mkpath(folder.filePath(QStringLiteral("config/Zuvra/Lepotex 1.2.conf")));
    });
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Plain);
    EXPECT_FALSE(w->SettingsLoaded());
    // The rest of the start-up went on: the caption, the help window with its manual.
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex verze 1.2 (19.1.2003)"));
    ASSERT_NE(w->HelpForm, nullptr);
    ASSERT_NE(w->AboutBox, nullptr);
}

TEST(MainWindow, HelpAboutAndSettingsOpenFromTheirActions)
{
    TestWindow w;
    EXPECT_TRUE(w->SettingsLoaded());
    // The manual beside the program is found, though the working folder holds none.
    ASSERT_NE(w->HelpForm, nullptr);
    EXPECT_FALSE(w->HelpForm->ManualPath().isEmpty());
    EXPECT_TRUE(w->HelpForm->Text().contains(QStringLiteral("Slepit")));

    QStringList titles;
    auto closeModal = [&titles] {
        QTimer::singleShot(0, [&titles] {
            if (QWidget* box = QApplication::activeModalWidget()) {
                titles << box->windowTitle();
                box->close();
            }
        });
    };
    closeModal();
    w->Help->trigger();
    closeModal();
    w->HelpAbout1->trigger();
    closeModal();
    w->miSetupConfig->trigger();
    ASSERT_EQ(titles.size(), 3);
    EXPECT_EQ(titles[2], QStringLiteral("Lepotex - nastavení"));
    EXPECT_EQ(w->CurrentSettings(), Settings::Defaults());
    EXPECT_TRUE(w.prompts->shown.empty());
}

}  // namespace
}  // namespace lepotex::test
