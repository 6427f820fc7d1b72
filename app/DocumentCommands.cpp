#include "app/LepotexMain.h"

#include <cstring>
#include <exception>
#include <stdexcept>

#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "app/LepotexConst.h"
#include "app/RunningGuard.h"
#include "editor/TextEditor.h"
#include "editor/view/EditorView.h"

namespace lepotex {

namespace {

// The platform's form of a file name, as the core's file functions take it.
std::string FileSystemName(const QString& fileName) { return QFile::encodeName(fileName).toStdString(); }

// Saves, telling a failure in Czech with the file's name, in the batch tool's words. A file
// another program changed since it was opened comes back as EFileChangedError, to be asked.
void SaveFile(TextEditor& editor, const QString& fileName, bool overwriteChanged)
{
    try {
        editor.SaveToFile(FileSystemName(fileName), overwriteChanged);
    } catch (const EFileChangedError&) {
        throw;
    } catch (const EInOutError& error) {
        const std::string text = error.what();
        QString reason;
        if (text == "File not found")  // the new file beside it could not be made
            reason = QFileInfo(fileName).dir().exists()
                         ? QStringLiteral("soubor neexistuje")
                         : QStringLiteral("složka „%1“ neexistuje").arg(QFileInfo(fileName).path());
        else if (text == "Invalid filename")
            reason = QStringLiteral("neplatná cesta");
        else if (text == "Too many open files")
            reason = QStringLiteral("příliš mnoho otevřených souborů");
        else if (text == "File access denied")
            reason = QStringLiteral("přístup odepřen");
        else if (text == "Disk full")
            reason = QStringLiteral("disk je plný");
        else
            reason = QStringLiteral("chyba systému %1 (%2)").arg(error.errorCode).arg(QString::fromLocal8Bit(std::strerror(error.errorCode)));
        throw std::runtime_error(consts::SCannotSave.arg(fileName, reason).toStdString());
    }
}

}  // namespace

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
    ForgetGlue();
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
        ForgetGlue();
        SetDocumentName(fileName);
        memoText->setFocus();
        Editor().SetModified(false);
        Editor().SetReadOnly(false);
        memoText->viewport()->update();
        memoRXChange();
    }
    const LoadReport& report = Editor().LastLoadReport();
    // A save killed while it wrote over the file left its old text beside it.
    if (!report.oldTextCopy.empty()) {
        const QString copy = QFile::decodeName(QByteArray::fromStdString(report.oldTextCopy));
        if (prompts->Confirm(this, consts::SOldTextCopy.arg(fileName, copy)) == Answer::Yes) {
            TextEditor::RestoreOldTextCopy(FileSystemName(fileName), report.oldTextCopy);
            OpenDocument(fileName);
            return;
        }
    }
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
    try {
        SaveFile(Editor(), documentName, false);
    } catch (const EFileChangedError&) {
        if (prompts->Confirm(this, consts::SChangedMeanwhile.arg(documentName)) != Answer::Yes)
            return;
        SaveFile(Editor(), documentName, true);
    }
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
        // Chosen and, if it was there, confirmed: whatever the file holds now is replaced.
        SaveFile(Editor(), fileName, true);
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

}  // namespace lepotex
