#include "app/LepotexMain.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QTextEdit>
#include <QToolBar>
#include <QVBoxLayout>

#include "app/FindDialog.h"
#include "app/LepotexConst.h"
#include "app/ReplaceDialog.h"
#include "app/RunningGuard.h"
#include "app/dialogs/LepotexAbout.h"
#include "app/dialogs/LepotexHelp.h"
#include "editor/TextEditor.h"
#include "editor/view/EditorView.h"
#include "engine/GlueCommands.h"
#include "settings/SettingsPersistence.h"
#include "settings/SettingsStore.h"
#include "settings/dialog/LepotexCfg.h"

// Outside any namespace, as Qt's macro requires; the pictures live in a static library.
static void InitPictures() { Q_INIT_RESOURCE(icons); }

namespace lepotex {

namespace {

QIcon Picture(const char* themeName, const char* ownName)
{
    const QIcon own(QStringLiteral(":/icons/%1.png").arg(QLatin1String(ownName)));
    if (!themeName)
        return own;
    return QIcon::fromTheme(QLatin1String(themeName), own);
}

}  // namespace

TLepotexFrm::TLepotexFrm(std::unique_ptr<SettingsStore> settingsStore, std::unique_ptr<UserPrompts> userPrompts,
                         QWidget* parent)
    : QMainWindow(parent), store(std::move(settingsStore)),
      prompts(userPrompts ? std::move(userPrompts) : std::make_unique<UserPrompts>())
{
    InitPictures();
    setWindowTitle(consts::SAppTitle);
    setWindowIcon(QIcon::fromTheme(QStringLiteral("lepotex"), QIcon(QStringLiteral(":/icons/lepotex.png"))));
    move(310, 240);
    resize(797, 502);
    setAcceptDrops(true);

    auto* client = new QWidget(this);
    auto* layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    memoText = new EditorView(client);
    pbarLista = new QProgressBar(client);
    pbarLista->setRange(0, 100);
    pbarLista->setFixedHeight(23);
    pbarLista->setTextVisible(false);
    pbarLista->hide();
    layout->addWidget(memoText, 1);
    layout->addWidget(pbarLista);
    setCentralWidget(client);

    CreateActions();
    CreateChangesPanel();
    CreateMenus();
    CreateToolBar();
    CreateStatusBar();
    CreateBookmarkMenu();
    CreateDialogs();

    connect(memoText, &EditorView::changed, this, [this] { Guarded([this] { memoRXChange(); }); });
    connect(memoText, &EditorView::showStatus, this, [this](int, int) { Guarded([this] { memoRXChange(); }); });
    connect(memoText, &EditorView::topLineChanged, this, [this](int) { Guarded([this] { memoRXChange(); }); });
    connect(memoText, &EditorView::errorReported, this, &TLepotexFrm::ReportError);
    connect(memoText, &EditorView::noticeReported, this, [this](const QString& text) { prompts->Plain(this, text); });

    Guarded([this] { FormCreate(); });
    // An error of either is reported, and the start-up goes on with what was set up.
    Guarded([this] { AboutBox = new TAboutBox(this); });
    Guarded([this] {
        HelpForm = new THelpForm(this);
        HelpForm->LoadManual();
    });
}

TLepotexFrm::~TLepotexFrm() = default;

TextEditor& TLepotexFrm::Editor() { return memoText->Editor(); }

void TLepotexFrm::SetPrompts(std::unique_ptr<UserPrompts> newPrompts) { prompts = std::move(newPrompts); }

QString TLepotexFrm::PanelText(int panel) const { return panels.at(size_t(panel))->text(); }

void TLepotexFrm::ReportError(const QString& message) { prompts->Plain(this, message); }

// ---- Start-up -------------------------------------------------------------------------------

void TLepotexFrm::FormCreate()
{
    Editor().SetShowBookmarks(true);
    if (!store)
        store = std::make_unique<SettingsStore>();
    // What a failed load read stays in use, but the dialog then writes nothing it was not given.
    LoadSettings(settings, *store);
    settingsLoaded = true;
}

void TLepotexFrm::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!shown) {
        shown = true;
        Guarded([this] { FormShow(); });
    }
}

void TLepotexFrm::FormShow()
{
    pbarLista->hide();
    miWordWarp->setChecked(Editor().WordWrap());
    setWindowTitle(consts::SCaption);
    memoRXChange();
    memoText->setFocus();
}

QAction* TLepotexFrm::MakeAction(const QString& caption, const QString& shortHint, const QString& longHint,
                                 const QKeySequence& shortcut, const char* themeIcon, const char* ownIcon,
                                 void (TLepotexFrm::*handler)())
{
    auto* action = new QAction(caption, this);
    action->setToolTip(shortHint);
    action->setStatusTip(longHint);
    action->setShortcut(shortcut);
    if (ownIcon)
        action->setIcon(Picture(themeIcon, ownIcon));
    if (handler)
        connect(action, &QAction::triggered, this, [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    return action;
}

void TLepotexFrm::CreateActions()
{
    using Self = TLepotexFrm;
    const QKeySequence none;
    FileNew1 = MakeAction(QStringLiteral("&Nový"), QStringLiteral("Vytvořit nový soubor"), QStringLiteral("Vytvořit nový soubor"),
                          QKeySequence(Qt::CTRL | Qt::Key_N), "document-new", "new", &Self::FileNew1Execute);
    FileOpen1 = MakeAction(QStringLiteral("&Otevřít"), QStringLiteral("Otevřít soubor"), QStringLiteral("Otevřít soubor"),
                           QKeySequence(Qt::CTRL | Qt::Key_O), "document-open", "open", &Self::FileOpen1Execute);
    FileSave1 = MakeAction(QStringLiteral("&Uložit"), QStringLiteral("Save"), QStringLiteral("Uložit soubor"),
                           QKeySequence(Qt::CTRL | Qt::Key_S), "document-save", "save", &Self::FileSave1Execute);
    FileSaveAs1 = MakeAction(QStringLiteral("Uložit &jako..."), QStringLiteral("Save As"),
                             QStringLiteral("Uložit pod novým jménem."), none, nullptr, nullptr, &Self::FileSaveAs1Execute);
    FileExit1 = MakeAction(QStringLiteral("Konec"), QStringLiteral("Exit"), QStringLiteral("Končíme"), none, nullptr,
                           nullptr, &Self::FileExit1Execute);
    EditCut1 = MakeAction(QStringLiteral("&Vystřihnout"), QStringLiteral("Vystřihnou do schránky"),
                          QStringLiteral("Vystřihnou do schránky"), QKeySequence(Qt::CTRL | Qt::Key_X), "edit-cut", "cut",
                          &Self::EditCut1Execute);
    EditCopy1 = MakeAction(QStringLiteral("&Kopírovat"), QStringLiteral("Kopírovat do schránky"),
                           QStringLiteral("Kopírovat do schránky"), QKeySequence(Qt::CTRL | Qt::Key_C), "edit-copy", "copy",
                           &Self::EditCopy1Execute);
    EditPaste1 = MakeAction(QStringLiteral("&Vložit"), QStringLiteral("Vložit ze schránky"),
                            QStringLiteral("Vložit ze schránky"), QKeySequence(Qt::CTRL | Qt::Key_V), "edit-paste", "paste",
                            &Self::EditPaste1Execute);
    HelpAbout1 = MakeAction(QStringLiteral("&Lepotex..."), QStringLiteral("Co je to Lepotex"), QStringLiteral("Co je to Lepotex"),
                            none, nullptr, nullptr, &Self::HelpAbout1Execute);
    Slepit = MakeAction(QStringLiteral("Slepit"), QStringLiteral("Slepit rozlámaný text"), QStringLiteral("Slepit rozlámaný text"),
                        none, nullptr, "glue", &Self::SlepitExecute);
    actFind = MakeAction(QStringLiteral("Najít"), QStringLiteral("Najít text"), QStringLiteral("Najít text"),
                         QKeySequence(Qt::CTRL | Qt::Key_F), "edit-find", "find", &Self::actFindExecute);
    actFindNext = MakeAction(QStringLiteral("actFindNext"), QStringLiteral("Opakovat hledání texu"),
                             QStringLiteral("Opakovat hledání texu"), QKeySequence(Qt::Key_F3), nullptr, "find-next",
                             &Self::actFindNextExecute);
    actReplace = MakeAction(QStringLiteral("actReplace"), QStringLiteral("Nahradit text"), QStringLiteral("Nahradit text"),
                            QKeySequence(Qt::CTRL | Qt::Key_R), "edit-find-replace", "replace", &Self::actReplaceExecute);
    Help = MakeAction(QStringLiteral("&Návod"), QString(), QString(), none, nullptr, nullptr, &Self::HelpExecute);
    actUndo = MakeAction(QStringLiteral("Zpět"), QStringLiteral("Zrušit poslední změnu"), QStringLiteral("Zrušit poslední změnu"),
                         QKeySequence(Qt::CTRL | Qt::Key_Z), "edit-undo", "undo", &Self::actUndoExecute);
    actRedo = MakeAction(QStringLiteral("Zrušit zpět"), QString(), QString(), none, "edit-redo", "redo", &Self::actRedoExecute);
    actPrimaRec = MakeAction(QStringLiteral("Slepit „přímou řeč“"),
                             QStringLiteral("Slepit „přímou řeč“ rozlámanou ve více odstavcích."),
                             QStringLiteral("Slepit „přímou řeč“ rozlámanou ve více odstavcích."), none, nullptr, "speech",
                             &Self::actPrimaRecExecute);
    actSlepitChytre = MakeAction(QStringLiteral("Slepit chytře"), QStringLiteral("Slepit rozlámaný text podle rozvržení stránek"),
                                 QStringLiteral("Slepit rozlámaný text podle rozvržení stránek"), none, nullptr, nullptr,
                                 &Self::actSlepitChytreExecute);
    actUndo->setEnabled(false);
    actRedo->setEnabled(false);

    miWordWarp = new QAction(QStringLiteral("Zalamovat řádky"), this);
    miWordWarp->setStatusTip(QStringLiteral("Zalamovat řádky na obrazovce."));
    miWordWarp->setCheckable(true);
    miWordWarp->setChecked(true);
    // The action has toggled itself before this runs: `checked` is already the new state.
    connect(miWordWarp, &QAction::triggered, this, [this](bool checked) { Guarded([this, checked] { miWordWarpClick(checked); }); });
    miSetupConfig = new QAction(QStringLiteral("Konfigurace"), this);
    connect(miSetupConfig, &QAction::triggered, this, [this] { Guarded([this] { miSetupConfigClick(); }); });

    // The window's shortcuts reach the actions from the editor and the toolbar alike.
    addActions({FileNew1, FileOpen1, FileSave1, FileSaveAs1, FileExit1, EditCut1, EditCopy1, EditPaste1, HelpAbout1, Slepit,
                actFind, actFindNext, actReplace, Help, actUndo, actRedo, actPrimaRec, actSlepitChytre});
}

// A menu item with a caption of its own: it shows the action's shortcut and picture, follows
// its enabled state and runs it, but leaves the shortcut to the action alone.
QAction* TLepotexFrm::MenuItem(QAction* action, const QString& caption)
{
    auto* item = new QAction(action->icon(), caption, this);
    if (!action->shortcut().isEmpty())
        item->setText(caption + QLatin1Char('\t') + action->shortcut().toString(QKeySequence::NativeText));
    item->setStatusTip(action->statusTip());
    item->setEnabled(action->isEnabled());
    connect(action, &QAction::changed, item, [item, action] { item->setEnabled(action->isEnabled()); });
    connect(item, &QAction::triggered, action, &QAction::trigger);
    return item;
}

void TLepotexFrm::CreateMenus()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("&Soubor"));
    file->addActions({FileNew1, FileOpen1, FileSave1, FileSaveAs1});
    file->addSeparator();
    file->addAction(FileExit1);

    QMenu* edit = menuBar()->addMenu(QStringLiteral("Úpr&avy"));
    edit->menuAction()->setStatusTip(QStringLiteral("Povely editoru"));
    edit->addActions({Slepit, actPrimaRec, actSlepitChytre, actVratitLepeni, miChanges, actNextChange,
                      actPreviousChange});
    edit->addSeparator();
    edit->addActions({EditCut1, EditCopy1, EditPaste1});
    edit->addAction(MenuItem(actUndo, QStringLiteral("Undo")));
    edit->addAction(actRedo);
    edit->addSeparator();
    edit->addAction(actFind);
    edit->addAction(MenuItem(actFindNext, QStringLiteral("Najít další")));
    edit->addAction(MenuItem(actReplace, QStringLiteral("Nahradit")));

    QMenu* setup = menuBar()->addMenu(QStringLiteral("Nastavení"));
    setup->menuAction()->setStatusTip(QStringLiteral("Nastavení programu."));
    setup->addActions({miWordWarp, miSetupConfig});

    QMenu* help = menuBar()->addMenu(QStringLiteral("&Nápověda"));
    help->menuAction()->setStatusTip(QStringLiteral("Helpík"));
    help->addAction(MenuItem(HelpAbout1, QStringLiteral("&O programu...")));
    help->addAction(Help);
}

void TLepotexFrm::CreateToolBar()
{
    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setFloatable(false);
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ToolBar1->setIconSize(QSize(22, 22));
    ToolBar1->setContentsMargins(5, 0, 0, 0);
    // The first button carries a hint of its own.
    auto* newButton = new QAction(FileNew1->icon(), FileNew1->text(), this);
    newButton->setToolTip(QStringLiteral("Nový soubor"));
    newButton->setStatusTip(QStringLiteral("Nový soubor"));
    connect(newButton, &QAction::triggered, FileNew1, &QAction::trigger);
    ToolBar1->addAction(newButton);
    ToolBar1->addActions({FileOpen1, FileSave1});
    ToolBar1->addSeparator();
    ToolBar1->addActions({Slepit, actPrimaRec});
    ToolBar1->addSeparator();
    ToolBar1->addActions({actUndo, actRedo});
    ToolBar1->addSeparator();
    ToolBar1->addActions({EditCut1, EditCopy1, EditPaste1});
    ToolBar1->addSeparator();
    ToolBar1->addActions({actFind, actFindNext, actReplace});
    ToolBar1->addSeparator();
}

void TLepotexFrm::CreateBookmarkMenu()
{
    mnuBookmark = new QMenu(this);
    QMenu* add = mnuBookmark->addMenu(QStringLiteral("Přidej záložku"));
    QMenu* go = mnuBookmark->addMenu(QStringLiteral("Jdi na záložku"));
    for (int n = 1; n <= 9; ++n) {
        const auto key = Qt::Key(Qt::Key_F1 + n - 1);
        QAction* set = add->addAction(QString::number(n));
        set->setShortcut(QKeySequence(Qt::CTRL | key));
        set->setData(n);
        QAction* jump = go->addAction(QString::number(n));
        jump->setShortcut(QKeySequence(Qt::SHIFT | key));
        jump->setData(n);
        // The shortcuts work while the editor has the focus.
        for (QAction* action : {set, jump}) {
            action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
            memoText->addAction(action);
        }
        connect(set, &QAction::triggered, this, [this, n] { Guarded([this, n] { Editor().SetBookmark(n); memoText->viewport()->update(); }); });
        connect(jump, &QAction::triggered, this, [this, n] { Guarded([this, n] { Editor().GotoBookmark(n); memoText->viewport()->update(); }); });
        miAddBookmark[size_t(n - 1)] = set;
        miGotoBookmark[size_t(n - 1)] = jump;
    }
    memoText->SetPopupMenu(mnuBookmark);
}

void TLepotexFrm::CreateDialogs()
{
    dlgFind = new TFindDialog(this);
    dlgReplace = new TReplaceDialog(this);
    connect(dlgFind, &TFindDialog::findRequested, this, [this] { Guarded([this] { dlgFindFind(FindSender::FindDialog); }); });
    connect(dlgReplace, &TReplaceDialog::findRequested, this,
            [this] { Guarded([this] { dlgFindFind(FindSender::ReplaceDialog); }); });
    connect(dlgReplace, &TReplaceDialog::replaceRequested, this,
            [this](bool all) { Guarded([this, all] { dlgReplaceReplace(all); }); });
}

// ---- Glue commands --------------------------------------------------------------------------

template <typename Command>
void TLepotexFrm::RunGlueCommand(Command&& command)
{
    RunningGuard running(commandRunning);
    struct CheckMark {
        TLepotexFrm& window;
        // Also when the command ends in an error: the engine has put word wrap back on.
        ~CheckMark() { window.miWordWarp->setChecked(window.Editor().WordWrap()); }
    } checkMark{*this};
    struct Review {
        TLepotexFrm& window;
        ~Review() { window.ShowGlueRecord(); }
    } review{*this};
    command();
    memoText->RepaintNow();
    memoRXChange();
}

void TLepotexFrm::SlepitExecute()
{
    RunGlueCommand([this] { (void)lepotex::SlepitExecute(Editor(), settings, *this, &glueRecord); });
}

void TLepotexFrm::actPrimaRecExecute()
{
    RunGlueCommand([this] { (void)lepotex::actPrimaRecExecute(Editor(), *this, &glueRecord); });
}

// Reads the page layout whatever the Smart setting says, so a reader can try it on one book
// without changing how "Slepit" works for the rest.
void TLepotexFrm::actSlepitChytreExecute()
{
    RunGlueCommand([this] { (void)lepotex::SlepitChytreExecute(Editor(), settings, *this, &glueRecord); });
}

// ---- Small editor commands ------------------------------------------------------------------

void TLepotexFrm::miWordWarpClick(bool checked)
{
    Editor().SetWordWrap(checked);
    miWordWarp->setChecked(Editor().WordWrap());
    memoText->viewport()->update();
    memoRXChange();
}

void TLepotexFrm::actUndoExecute()
{
    if (Editor().CanUndo())
        Editor().Undo();
    memoText->viewport()->update();
    memoRXChange();
}

void TLepotexFrm::actRedoExecute()
{
    if (Editor().CanRedo())
        Editor().Redo();
    memoText->viewport()->update();
    memoRXChange();
}

// The clipboard actions act on the focused field, the text editor included.
void TLepotexFrm::EditCut1Execute()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == memoText || memoText->isAncestorOf(focus))
        memoText->CutToClipboard();
    else if (auto* line = qobject_cast<QLineEdit*>(focus))
        line->cut();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        plain->cut();
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
        rich->cut();
}

void TLepotexFrm::EditCopy1Execute()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == memoText || memoText->isAncestorOf(focus))
        memoText->CopyToClipboard();
    else if (auto* line = qobject_cast<QLineEdit*>(focus))
        line->copy();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        plain->copy();
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
        rich->copy();
}

void TLepotexFrm::EditPaste1Execute()
{
    QWidget* focus = QApplication::focusWidget();
    if (focus == memoText || memoText->isAncestorOf(focus))
        memoText->PasteFromClipboard();
    else if (auto* line = qobject_cast<QLineEdit*>(focus))
        line->paste();
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        plain->paste();
    else if (auto* rich = qobject_cast<QTextEdit*>(focus))
        rich->paste();
}

// ---- Settings, help and About ---------------------------------------------------------------

void TLepotexFrm::miSetupConfigClick()
{
    TLepotexConfigForm::Edit(this, settings, *store,
                             settingsLoaded ? SettingsLoadState::Loaded : SettingsLoadState::Failed);
}

void TLepotexFrm::HelpExecute()
{
    if (HelpForm)
        HelpForm->exec();
}

void TLepotexFrm::HelpAbout1Execute()
{
    if (AboutBox)
        AboutBox->exec();
}

}  // namespace lepotex
