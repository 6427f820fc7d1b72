#pragma once
// The main window: the editor `memoText`, the menus, toolbar and actions, the status bar and
// `pbarLista`, the document, find and replace commands, and the two glue commands, which
// report through this window as their ProgressReporter. Its code lives in one file for each
// concern: LepotexMain.cpp the window, its actions and the glue commands; DocumentCommands.cpp
// new, open, save and close; FindReplace.cpp find and replace; StatusDisplay.cpp the status
// panels and the progress bar; GlueReview.cpp the panel "Změny" and "Vrátit lepení". The view
// reaches the window only through its signals.
//
// No error may leave a Qt event handler, so every handler runs inside Guarded, which shows an
// error in the general error report (a message box titled "Lepotex") and lets the program
// go on. A long command holds the user-interface thread and never processes pending events:
// its stage texts and progress are painted directly, and no click, key or close request can
// run in its middle.
#include <array>
#include <exception>
#include <memory>
#include <string>

#include <QMainWindow>
#include <QString>

#include "app/MessageBoxes.h"
#include "editor/SearchOptions.h"
#include "engine/GlueRecord.h"
#include "engine/ProgressReporter.h"
#include "settings/Settings.h"
#include "settings/SettingsStore.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QToolBar;

namespace lepotex {

class EditorView;
class TAboutBox;
class TChangesPanel;
class TFindDialog;
class THelpForm;
class TReplaceDialog;
class TextEditor;

class TLepotexFrm : public QMainWindow, public ProgressReporter {
    Q_OBJECT
public:
    static constexpr int kPanelCount = 8;
    static constexpr std::array<int, kPanelCount> kPanelWidths = {100, 80, 50, 80, 100, 40, 500, 90};

    // `store` keeps the settings, the platform's store when none is given; `prompts` shows
    // the boxes and file dialogs, the real ones when none is given.
    explicit TLepotexFrm(std::unique_ptr<SettingsStore> store = nullptr, std::unique_ptr<UserPrompts> prompts = nullptr,
                         QWidget* parent = nullptr);
    ~TLepotexFrm() override;

    TextEditor& Editor();
    const QString& DocumentName() const { return documentName; }
    SearchOptions LastSearchOptions() const { return searchOptions; }
    const Settings& CurrentSettings() const { return settings; }
    bool SettingsLoaded() const { return settingsLoaded; }
    QString PanelText(int panel) const;
    bool CommandRunning() const { return commandRunning; }

    // The boxes and file dialogs the commands ask through; the window owns them.
    void SetPrompts(std::unique_ptr<UserPrompts> prompts);

    // Opens `fileName` (platform form) as "&Otevřít" does after its dialog; throws on failure,
    // leaving text, name and caption as they were.
    void OpenDocument(const QString& fileName);
    // Opens the file named on the command line; a failure is reported and the text stays empty.
    void OpenAtStart(const QString& fileName);

    // The general error report.
    void ReportError(const QString& message);

    // ProgressReporter: status panel 0, pbarLista, the cursor and the closing message.
    void ShowStage(std::string_view text, Repaint repaint) override;
    void RepaintStatus() override;
    void ShowProgress() override;
    void HideProgress() override;
    void FitProgressToEditor() override;
    void SetProgressPosition(int64_t position) override;
    void SetProgressMaximum(int64_t maximum) override;
    void SetProgressStep(int32_t step) override;
    void StepProgress(int64_t count) override;
    void ShowBusyCursor() override;
    void RestoreCursor() override;
    void ShowMessage(std::string_view text) override;
    void ShowWordWrapState(bool wordWrap) override;

    // The controls, named as the program names them.
    EditorView* memoText = nullptr;
    QProgressBar* pbarLista = nullptr;
    QToolBar* ToolBar1 = nullptr;
    std::array<QLabel*, kPanelCount> panels{};
    static constexpr int kPathPanel = 6;
    static constexpr int kEncodingPanel = 7;  // how the document is written: encoding and line end
    TFindDialog* dlgFind = nullptr;
    TReplaceDialog* dlgReplace = nullptr;
    QMenu* mnuBookmark = nullptr;
    TAboutBox* AboutBox = nullptr;
    THelpForm* HelpForm = nullptr;
    TChangesPanel* pnlZmeny = nullptr;  // what the last glue decided

    QAction* FileNew1 = nullptr;
    QAction* FileOpen1 = nullptr;
    QAction* FileSave1 = nullptr;
    QAction* FileSaveAs1 = nullptr;
    QAction* FileExit1 = nullptr;
    QAction* EditCut1 = nullptr;
    QAction* EditCopy1 = nullptr;
    QAction* EditPaste1 = nullptr;
    QAction* HelpAbout1 = nullptr;
    QAction* Slepit = nullptr;
    QAction* actFind = nullptr;
    QAction* actFindNext = nullptr;
    QAction* actReplace = nullptr;
    QAction* Help = nullptr;
    QAction* actUndo = nullptr;
    QAction* actRedo = nullptr;
    QAction* actPrimaRec = nullptr;
    QAction* actSlepitChytre = nullptr;
    QAction* actVratitLepeni = nullptr;   // the text before the last glue back
    QAction* actNextChange = nullptr;     // F8: the next place in "Změny"
    QAction* actPreviousChange = nullptr;  // F7 (Shift+F8 is bookmark 8's)
    QAction* miChanges = nullptr;          // shows or hides "Změny"
    QAction* miWordWarp = nullptr;
    QAction* miSetupConfig = nullptr;
    std::array<QAction*, 9> miAddBookmark{};   // bookmarks 1 to 9
    std::array<QAction*, 9> miGotoBookmark{};

    // The handlers, public so that the tests can drive them as the actions do.
    void FileNew1Execute();
    void FileOpen1Execute();
    void FileSave1Execute();
    void FileSaveAs1Execute();
    void FileExit1Execute();
    void SlepitExecute();
    void actPrimaRecExecute();
    void actSlepitChytreExecute();
    void actVratitLepeniExecute();
    void actNextChangeExecute();
    void actPreviousChangeExecute();
    const GlueRecord& LastGlue() const { return glueRecord; }
    void actFindExecute();
    void actFindNextExecute();
    void actReplaceExecute();
    void actUndoExecute();
    void actRedoExecute();
    void miWordWarpClick(bool checked);
    void miSetupConfigClick();
    void HelpExecute();
    void HelpAbout1Execute();
    void EditCut1Execute();
    void EditCopy1Execute();
    void EditPaste1Execute();
    enum class FindSender { FindDialog, ReplaceDialog, FindNext };
    void dlgFindFind(FindSender sender);
    void dlgReplaceReplace(bool all);
    void memoRXChange();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    bool FormCloseQuery();
    // The unsaved-changes question; false when the command must stop.
    bool MayDropText();
    void SetDocumentName(const QString& name);
    void SaveTo(const QString& fileName);

    void CreateActions();
    void CreateMenus();
    void CreateToolBar();
    void CreateStatusBar();
    void CreateBookmarkMenu();
    void CreateDialogs();
    QAction* MakeAction(const QString& caption, const QString& shortHint, const QString& longHint,
                        const QKeySequence& shortcut, const char* themeIcon, const char* ownIcon,
                        void (TLepotexFrm::*handler)());
    QAction* MenuItem(QAction* action, const QString& caption);
    template <typename Handler>
    void Guarded(Handler&& handler);
    template <typename Command>
    void RunGlueCommand(Command&& command);
    void CreateChangesPanel();
    // After a glue: the panel shows its record, and "Vrátit lepení" can bring the old text back.
    void ShowGlueRecord();
    // A new or opened document: the last glue's record and old text go.
    void ForgetGlue();
    void SelectPlace(int32_t paraNo, int32_t column, int32_t length);

    std::unique_ptr<SettingsStore> store;
    std::unique_ptr<UserPrompts> prompts;
    Settings settings;
    bool settingsLoaded = false;  // false when reading them at start failed
    SearchOptions searchOptions;
    QString documentName;
    bool shown = false;
    bool commandRunning = false;
    // The document did not load whole (characters replaced, text dropped): Ctrl+S asks for a
    // new name instead of writing over the file it came from.
    bool unfaithfulLoad = false;
    int64_t progressMaximum = 100;
    int64_t progressPosition = 0;
    int32_t progressStep = 1;
    int progressShift = 0;  // the bar counts in units of 2^shift when a maximum exceeds int
    GlueRecord glueRecord;   // of the last glue, until the next one or a new document
};

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

}  // namespace lepotex
