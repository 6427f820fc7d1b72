#include "app/LepotexMain.h"

#include <algorithm>
#include <climits>
#include <exception>
#include <stdexcept>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/FindDialog.h"
#include "app/LepotexConst.h"
#include "app/MessageBoxes.h"
#include "app/ReplaceDialog.h"
#include "app/dialogs/LepotexAbout.h"
#include "app/dialogs/LepotexHelp.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"
#include "engine/GlueCommands.h"
#include "settings/SettingsError.h"
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

QString FromBytes(std::string_view bytes) { return QString::fromStdU16String(DecodeWindows1250(bytes)); }

std::string ToBytes(const QString& text) { return EncodeWindows1250(text.toStdU16String()); }

// True when every character of `text` has a Windows-1250 byte of its own.
bool FitsCodePage(const QString& text)
{
    const auto codePoints = text.toUcs4();
    return std::all_of(codePoints.begin(), codePoints.end(), [](char32_t c) { return HasWindows1250Byte(c); });
}

// The platform's form of a file name, as the core's file functions take it.
std::string FileSystemName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// Marks a long command as running for its lifetime, so that a close request is refused.
class RunningGuard {
public:
    explicit RunningGuard(bool& running) : running(running), before(running) { running = true; }
    ~RunningGuard() { running = before; }
    RunningGuard(const RunningGuard&) = delete;
    RunningGuard& operator=(const RunningGuard&) = delete;

private:
    bool& running;
    bool before;
};

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

template <typename Handler>
void TLepotexFrm::Guarded(Handler&& handler)
{
    try {
        handler();
    } catch (const std::exception& error) {
        ReportError(QString::fromUtf8(error.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}

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
    edit->addActions({Slepit, actPrimaRec, actSlepitChytre});
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

void TLepotexFrm::CreateStatusBar()
{
    // The longest text each panel shows, so that a wider desktop font does not cut it.
    const std::array<QString, kPanelCount> widest = {QString(), QStringLiteral("99999:999"), consts::SModified,
                                                     QStringLiteral("999999") + consts::SLines,
                                                     consts::SSize + QStringLiteral("9999999999"), consts::SInsert + consts::SOverwrite.left(1),
                                                     QString(), QStringLiteral("ISO-8859-2 LF")};
    QStatusBar* bar = statusBar();
    for (int i = 0; i < kPanelCount; ++i) {
        auto* panel = new QLabel(bar);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setTextFormat(Qt::PlainText);
        const int needed = panel->fontMetrics().horizontalAdvance(widest[size_t(i)]) + 2 * panel->frameWidth() + 8;
        const int width = std::max(kPanelWidths[size_t(i)], needed);
        // The hint and the path share what is left, so that neither is cut short in a
        // window of the usual size; the others keep their widths.
        const bool stretches = i == 0 || i == kPathPanel;
        if (!stretches) {
            panel->setFixedWidth(width);
        } else {
            panel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
            panel->setMinimumWidth(i == 0 ? width : 0);
        }
        bar->addWidget(panel, stretches ? 1 : 0);
        panels[size_t(i)] = panel;
    }
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

// ---- Status bar and progress ----------------------------------------------------------------

bool TLepotexFrm::event(QEvent* event)
{
    // A hint goes to panel 0, leaving the other panels in place.
    if (event->type() == QEvent::StatusTip) {
        panels[0]->setText(static_cast<QStatusTipEvent*>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TLepotexFrm::memoRXChange()
{
    const TextEditor& editor = Editor();
    const CaretPosition caret = editor.GetCaretPosition();
    panels[1]->setText(QStringLiteral("%1:%2").arg(caret.displayLine).arg(caret.column));
    panels[2]->setText(editor.Modified() ? consts::SModified : consts::SUnmodified);
    panels[3]->setText(QString::number(editor.LineCount()) + consts::SLines);
    panels[4]->setText(consts::SSize + QString::number(editor.ByteCount()));
    panels[5]->setText(editor.InsertMode() ? consts::SInsert : consts::SOverwrite);
    panels[kPathPanel]->setText(documentName == consts::SNoName ? consts::SNoFile : documentName);
    panels[kEncodingPanel]->setText(QString::fromStdString(FormatName(editor.GetFileFormat())));
    actUndo->setEnabled(editor.CanUndo());
    actRedo->setEnabled(editor.CanRedo());
}

void TLepotexFrm::ShowStage(std::string_view text, Repaint repaint)
{
    panels[0]->setText(FromBytes(text));
    if (repaint == Repaint::Now)
        RepaintStatus();
}

void TLepotexFrm::RepaintStatus()
{
    // Painted directly: the command holds the thread, and processing pending events here
    // would let clicks, keys and close requests run in its middle.
    statusBar()->repaint();
    if (pbarLista->isVisible())
        pbarLista->repaint();
}

void TLepotexFrm::ShowProgress()
{
    pbarLista->show();
    // Lay the window out now rather than from the event queue, which a command does not run.
    centralWidget()->layout()->activate();
    memoText->RepaintNow();
    pbarLista->repaint();
}

void TLepotexFrm::HideProgress()
{
    pbarLista->hide();
    centralWidget()->layout()->activate();
}

void TLepotexFrm::FitProgressToEditor()
{
    // The bar lies under the editor in the window's layout, so it is as wide already.
}

void TLepotexFrm::SetProgressMaximum(int64_t maximum)
{
    progressMaximum = std::max<int64_t>(maximum, 0);
    progressShift = 0;
    while ((progressMaximum >> progressShift) > INT_MAX)
        ++progressShift;
    pbarLista->setMaximum(int(progressMaximum >> progressShift));
    SetProgressPosition(std::min(progressPosition, progressMaximum));
}

void TLepotexFrm::SetProgressPosition(int64_t position)
{
    progressPosition = std::clamp<int64_t>(position, 0, progressMaximum);
    // QProgressBar repaints at once when the change shows.
    pbarLista->setValue(int(progressPosition >> progressShift));
}

void TLepotexFrm::SetProgressStep(int32_t step) { progressStep = step; }

void TLepotexFrm::StepProgress(int64_t count) { SetProgressPosition(progressPosition + count * progressStep); }

void TLepotexFrm::ShowBusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

void TLepotexFrm::RestoreCursor() { QApplication::restoreOverrideCursor(); }

void TLepotexFrm::ShowMessage(std::string_view text) { prompts->Plain(this, FromBytes(text)); }

void TLepotexFrm::ShowWordWrapState(bool wordWrap) { miWordWarp->setChecked(wordWrap); }

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
    command();
    memoText->RepaintNow();
    memoRXChange();
}

void TLepotexFrm::SlepitExecute()
{
    RunGlueCommand([this] { (void)lepotex::SlepitExecute(Editor(), settings, *this); });
}

void TLepotexFrm::actPrimaRecExecute()
{
    RunGlueCommand([this] { (void)lepotex::actPrimaRecExecute(Editor(), *this); });
}

// Reads the page layout whatever the Smart setting says, so a reader can try it on one book
// without changing how "Slepit" works for the rest.
void TLepotexFrm::actSlepitChytreExecute()
{
    RunGlueCommand([this] { (void)lepotex::SlepitChytreExecute(Editor(), settings, *this); });
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

// ---- Document commands ----------------------------------------------------------------------

void TLepotexFrm::SetDocumentName(const QString& name)
{
    documentName = name;
    setWindowTitle(QStringLiteral("Lepotex [%1]").arg(QFileInfo(name).fileName()));
    memoRXChange();
}

bool TLepotexFrm::MayDropText()
{
    if (!Editor().Modified())
        return true;
    switch (prompts->Confirm(this, consts::SFileChanged)) {
    case Answer::Cancel:
        return false;
    case Answer::No:
        return true;
    case Answer::Yes:
        FileSave1Execute();
        // A cancelled save dialog leaves the text unsaved: it is not dropped without consent.
        return !Editor().Modified();
    }
    return false;
}

void TLepotexFrm::FileNew1Execute()
{
    if (!MayDropText())
        return;
    Editor().Clear();
    Editor().SetModified(false);
    Editor().SetFileFormat({});  // a new document is Windows-1250 with CR LF
    unfaithfulLoad = false;
    SetDocumentName(consts::SNoName);
    memoText->viewport()->update();
}

void TLepotexFrm::FileOpen1Execute()
{
    if (!MayDropText())
        return;
    const QString fileName = prompts->OpenFileName(this);
    if (fileName.isEmpty())
        return;
    OpenDocument(fileName);
}

void TLepotexFrm::OpenDocument(const QString& fileName)
{
    // A device or a pipe may never end (/dev/zero), and reading it would hold the window.
    const QFileInfo info(fileName);
    if (info.exists() && !info.isFile() && !info.isDir())
        throw std::runtime_error(consts::SNotAFile.arg(fileName).toStdString());
    {
        RunningGuard running(commandRunning);
        BusyCursorGuard cursor(*this);
        // A failed load leaves the editor's text as it was, and the name and caption with it.
        Editor().LoadFromFile(FileSystemName(fileName));
        SetDocumentName(fileName);
        memoText->setFocus();
        Editor().SetModified(false);
        Editor().SetReadOnly(false);
        memoText->viewport()->update();
        memoRXChange();
    }
    const LoadReport& report = Editor().LastLoadReport();
    unfaithfulLoad = !report.Faithful();
    QString losses;
    if (report.charsReplaced) {
        const QString first = report.firstReplaced == U'\uFFFD'
                                  ? QStringLiteral("bajt, který v kódování souboru není znakem")
                                  : QStringLiteral("„%1“").arg(QString::fromUcs4(&report.firstReplaced, 1));
        losses += consts::SCharsReplaced.arg(report.charsReplaced).arg(first).arg(report.firstReplacedLine);
    }
    if (report.linesCutAtNul)
        losses += consts::SLinesCutAtNul.arg(report.linesCutAtNul);
    if (report.bytesAfterEndMark)
        losses += consts::SBytesAfterEndMark.arg(report.bytesAfterEndMark);
    const QString split = report.longLinesSplit ? consts::SLongLinesSplit.arg(report.longLinesSplit) : QString();
    if (!losses.isEmpty())
        prompts->Plain(this, consts::SLoadLosses.arg(fileName, losses + split) + consts::SSaveUnderNewName);
    else if (!split.isEmpty())
        prompts->Plain(this, consts::SLoadChanges.arg(fileName, QString::fromStdString(FormatName(report.format)), split));
}

void TLepotexFrm::OpenAtStart(const QString& fileName)
{
    try {
        OpenDocument(fileName);
    } catch (const std::exception& error) {
        ReportError(consts::SCannotOpenAtStart.arg(fileName, QString::fromUtf8(error.what())));
    }
}

void TLepotexFrm::FileSave1Execute()
{
    if (documentName.isEmpty() || documentName == consts::SNoName || unfaithfulLoad) {
        FileSaveAs1Execute();
        return;
    }
    Editor().SaveToFile(FileSystemName(documentName));
    Editor().SetModified(false);
    memoRXChange();
}

void TLepotexFrm::FileSaveAs1Execute()
{
    FileFormat format = Editor().GetFileFormat();
    const QString fileName = prompts->SaveFileName(this, format);
    if (fileName.isEmpty())
        return;
    if (QFileInfo::exists(fileName) && prompts->Confirm(this, consts::SOverwriteFile.arg(fileName)) != Answer::Yes)
        return;
    // A failed save keeps the format the document had, so that Ctrl+S does not change it unasked.
    const FileFormat before = Editor().GetFileFormat();
    Editor().SetFileFormat(format);
    try {
        Editor().SaveToFile(FileSystemName(fileName));
    } catch (...) {
        Editor().SetFileFormat(before);
        throw;
    }
    if (Editor().LastSaveReplacements() > 0)
        prompts->Plain(this, consts::SSaveReplaced.arg(QFileInfo(fileName).fileName(),
                                                       QString::fromLatin1(EncodingName(format.encoding)))
                                 .arg(Editor().LastSaveReplacements()));
    SetDocumentName(fileName);
    unfaithfulLoad = false;
    Editor().SetModified(false);
    memoRXChange();
}

void TLepotexFrm::FileExit1Execute() { close(); }

namespace {

// The first local file of a drag, or nothing: text and remote places are not opened.
QString DroppedFile(const QMimeData* data)
{
    if (data && data->hasUrls())
        for (const QUrl& url : data->urls())
            if (url.isLocalFile())
                return url.toLocalFile();
    return {};
}

}  // namespace

void TLepotexFrm::dragEnterEvent(QDragEnterEvent* event)
{
    if (!commandRunning && !DroppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

// A file dropped on the window opens as "Otevřít" would open it, after the same question
// about unsaved changes.
void TLepotexFrm::dropEvent(QDropEvent* event)
{
    const QString fileName = DroppedFile(event->mimeData());
    if (commandRunning || fileName.isEmpty())
        return;
    event->acceptProposedAction();
    // After the drop has ended: the question may be a modal box, which must not hold the
    // program the file was dragged from.
    QMetaObject::invokeMethod(
        this,
        [this, fileName] {
            Guarded([&] {
                if (!commandRunning && MayDropText())
                    OpenDocument(fileName);
            });
        },
        Qt::QueuedConnection);
}

void TLepotexFrm::closeEvent(QCloseEvent* event)
{
    // A command in its middle (a nested message box) must end first: the text may be half
    // rebuilt, and the question below would come too late.
    if (commandRunning) {
        event->ignore();
        return;
    }
    bool mayClose = false;
    Guarded([this, &mayClose] { mayClose = FormCloseQuery(); });
    if (mayClose)
        event->accept();
    else
        event->ignore();
}

bool TLepotexFrm::FormCloseQuery() { return MayDropText(); }

// ---- Find and replace -----------------------------------------------------------------------

void TLepotexFrm::actFindExecute()
{
    dlgFind->show();
    dlgFind->raise();
    dlgFind->activateWindow();
}

void TLepotexFrm::actFindNextExecute() { dlgFindFind(FindSender::FindNext); }

void TLepotexFrm::actReplaceExecute()
{
    dlgReplace->move(150, 150);
    dlgReplace->show();
    dlgReplace->raise();
    dlgReplace->activateWindow();
    searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .wholeWord = dlgReplace->WholeWord()};
}

void TLepotexFrm::dlgFindFind(FindSender sender)
{
    if (sender == FindSender::ReplaceDialog) {
        // The replace dialog searches down with its own boxes as they are now; its text also
        // goes to the find dialog, for F3.
        dlgFind->SetFindText(dlgReplace->FindText());
        searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .wholeWord = dlgReplace->WholeWord()};
    } else {
        searchOptions = SearchOptions{.backward = dlgFind->Up(), .matchCase = dlgFind->MatchCase(),
                                      .wholeWord = dlgFind->WholeWord()};
        dlgFind->close();
    }
    const QString text = dlgFind->FindText();
    // A character the code page cannot hold is in no text of the editor.
    const bool found = FitsCodePage(text) && Editor().Search(ToBytes(text), searchOptions);
    memoText->viewport()->update();
    if (!found)
        prompts->Inform(this, consts::SNotFound.arg(text));
}

void TLepotexFrm::dlgReplaceReplace(bool all)
{
    searchOptions = SearchOptions{.matchCase = dlgReplace->MatchCase(), .replace = !all, .replaceAll = all,
                                  .wholeWord = dlgReplace->WholeWord()};
    const QString text = dlgReplace->FindText();
    const QString replacement = dlgReplace->ReplaceText();
    if (!FitsCodePage(replacement))
        throw EEditorError(QStringLiteral("Náhradu „%1“ nelze zapsat v kódování Windows-1250.").arg(replacement).toStdString());
    const int32_t result = FitsCodePage(text) ? Editor().Replace(ToBytes(text), ToBytes(replacement), searchOptions) : -1;
    memoText->viewport()->update();
    memoRXChange();
    if (result == -1)
        prompts->Inform(this, consts::SNotFound.arg(text));
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
