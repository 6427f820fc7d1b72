#include "app/LepotexMain.h"

#include <algorithm>
#include <climits>

#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QStatusBar>
#include <QStatusTipEvent>

#include "app/LepotexConst.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"
#include "engine/EngineMessages.h"

namespace lepotex {

namespace {

QString FromBytes(std::string_view bytes) { return QString::fromStdU16String(DecodeWindows1250(bytes)); }

}  // namespace

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

void TLepotexFrm::ShowMessage(std::string_view text)
{
    QString shown = FromBytes(text);
    // A glue that finished keeps the old text: the reader is told how to get it back, and what
    // the smart glue read of the layout.
    if (commandRunning && !glueRecord.before.Empty() && text == messages::GlueFinished()) {
        shown += consts::SGlueUndoable;
        if (glueRecord.layout.known)
            shown += QLatin1Char('\n') + QString::fromStdString(DescribeLayout(glueRecord.layout));
    }
    prompts->Plain(this, shown);
}

void TLepotexFrm::ShowWordWrapState(bool wordWrap) { miWordWarp->setChecked(wordWrap); }

}  // namespace lepotex
