#include "app/ReplaceDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/LepotexConst.h"

namespace lepotex {

TReplaceDialog::TReplaceDialog(QWidget* parent) : TSearchDialog(consts::SReplaceTitle, parent)
{
    auto* findLabel = new QLabel(consts::SFindWhat, this);
    findLabel->setBuddy(edtFind);
    auto* replaceLabel = new QLabel(consts::SReplaceWith, this);
    edtReplace = new QLineEdit(this);
    edtReplace->setMaxLength(kMaxTextLength);
    replaceLabel->setBuddy(edtReplace);

    btnReplace = new QPushButton(consts::SReplaceButton, this);
    btnReplaceAll = new QPushButton(consts::SReplaceAll, this);

    auto* grid = new QGridLayout;
    grid->addWidget(findLabel, 0, 0);
    grid->addWidget(edtFind, 0, 1);
    grid->addWidget(replaceLabel, 1, 0);
    grid->addWidget(edtReplace, 1, 1);
    grid->addWidget(chkWholeWord, 2, 0, 1, 2);
    grid->addWidget(chkMatchCase, 3, 0, 1, 2);
    grid->setRowStretch(4, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnFindNext);
    buttons->addWidget(btnReplace);
    buttons->addWidget(btnReplaceAll);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    // The shared fields were made first; Tab still goes through the dialog as it reads.
    setTabOrder(edtFind, edtReplace);
    setTabOrder(edtReplace, chkWholeWord);
    setTabOrder(chkWholeWord, chkMatchCase);
    setTabOrder(chkMatchCase, btnFindNext);
    setTabOrder(btnFindNext, btnReplace);
    setTabOrder(btnReplace, btnReplaceAll);
    setTabOrder(btnReplaceAll, btnCancel);

    connect(btnReplace, &QPushButton::clicked, this, [this] { emit replaceRequested(false); });
    connect(btnReplaceAll, &QPushButton::clicked, this, [this] { emit replaceRequested(true); });
}

QString TReplaceDialog::ReplaceText() const { return edtReplace->text(); }

}  // namespace lepotex
