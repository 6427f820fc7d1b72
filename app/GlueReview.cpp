// The review of the last glue: the panel "Změny" with its steps F8 and F7, and
// "Vrátit lepení", which puts back the text as it was before the glue.
#include <algorithm>

#include <QAction>
#include <QTreeView>

#include "app/ChangesPanel.h"
#include "app/LepotexConst.h"
#include "app/LepotexMain.h"
#include "editor/TextEditor.h"
#include "editor/view/EditorView.h"

namespace lepotex {

void TLepotexFrm::CreateChangesPanel()
{
    pnlZmeny = new TChangesPanel(this);
    pnlZmeny->setAllowedAreas(Qt::LeftDockWidgetArea | Qt::RightDockWidgetArea | Qt::BottomDockWidgetArea);
    addDockWidget(Qt::RightDockWidgetArea, pnlZmeny);
    pnlZmeny->hide();
    connect(pnlZmeny, &TChangesPanel::placeChosen, this, [this](int32_t paraNo, int32_t column, int32_t length) {
        Guarded([&] { SelectPlace(paraNo, column, length); });
    });
    connect(pnlZmeny, &TChangesPanel::textWanted, this, [this] { memoText->setFocus(); });

    using Self = TLepotexFrm;
    const QKeySequence none;
    actVratitLepeni = MakeAction(QStringLiteral("Vrátit &lepení"), QStringLiteral("Vrátit text, jaký byl před lepením"),
                                 QStringLiteral("Vrátit text, jaký byl před lepením"), none, nullptr, nullptr,
                                 &Self::actVratitLepeniExecute);
    actNextChange = MakeAction(QStringLiteral("Další změna"), QStringLiteral("Další místo, které lepení změnilo"),
                               QStringLiteral("Další místo, které lepení změnilo"), QKeySequence(Qt::Key_F8), nullptr,
                               nullptr, &Self::actNextChangeExecute);
    actPreviousChange = MakeAction(QStringLiteral("Předchozí změna"), QStringLiteral("Předchozí místo, které lepení změnilo"),
                                   QStringLiteral("Předchozí místo, které lepení změnilo"),
                                   QKeySequence(Qt::Key_F7), nullptr, nullptr, &Self::actPreviousChangeExecute);
    addActions({actVratitLepeni, actNextChange, actPreviousChange});
    miChanges = pnlZmeny->toggleViewAction();
    miChanges->setText(QStringLiteral("Změny"));
    miChanges->setStatusTip(QStringLiteral("Ukázat, co lepení změnilo"));
    // Opened from the menu, the list takes the keys; Esc gives them back to the text.
    connect(miChanges, &QAction::triggered, this, [this](bool checked) {
        if (checked)
            pnlZmeny->List()->setFocus();
    });
    ShowGlueRecord();
}

void TLepotexFrm::ShowGlueRecord()
{
    const bool any = !glueRecord.Empty();
    pnlZmeny->ShowRecord(any ? &glueRecord : nullptr);
    if (any && shown && !pnlZmeny->isVisible()) {
        pnlZmeny->show();
        // A third of the window: room for a place and the words on either side of it.
        resizeDocks({pnlZmeny}, {width() / 3}, Qt::Horizontal);
    }
    actVratitLepeni->setEnabled(!glueRecord.before.Empty());
    actNextChange->setEnabled(!glueRecord.changes.empty());
    actPreviousChange->setEnabled(!glueRecord.changes.empty());
}

void TLepotexFrm::ForgetGlue()
{
    glueRecord.Clear();
    ShowGlueRecord();
    pnlZmeny->hide();
}

void TLepotexFrm::SelectPlace(int32_t paraNo, int32_t column, int32_t length)
{
    TextEditor& editor = Editor();
    // The text may have been edited since the glue: a place past its end goes to the end.
    paraNo = std::clamp(paraNo, 1, editor.ParaCount());
    const auto size = int32_t(editor.ParaText(paraNo).size());
    column = std::clamp(column, 1, size + 1);
    length = std::clamp(length, 0, size + 1 - column);
    editor.SetSelection({paraNo, column}, {paraNo, column + length});
    editor.ScrollCaretIntoView();
    memoText->viewport()->update();
    memoRXChange();
}

void TLepotexFrm::actVratitLepeniExecute()
{
    if (glueRecord.before.Empty())
        return;
    // The glue leaves no undo history: anything to undo was typed since, and would go unasked.
    if (Editor().CanUndo() && prompts->Confirm(this, consts::SGlueEditedSince) != Answer::Yes)
        return;
    Editor().Restore(std::move(glueRecord.before));
    ForgetGlue();
    memoText->RepaintNow();
    memoRXChange();
    memoText->setFocus();
}

void TLepotexFrm::actNextChangeExecute()
{
    if (!glueRecord.changes.empty()) {
        pnlZmeny->show();
        pnlZmeny->Step(+1);
    }
}

void TLepotexFrm::actPreviousChangeExecute()
{
    if (!glueRecord.changes.empty()) {
        pnlZmeny->show();
        pnlZmeny->Step(-1);
    }
}

}  // namespace lepotex
