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

TReplaceDialog::TReplaceDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(consts::SReplaceTitle);
    setModal(false);

    auto* findLabel = new QLabel(consts::SFindWhat, this);
    edtFind = new QLineEdit(this);
    edtFind->setMaxLength(kMaxTextLength);
    findLabel->setBuddy(edtFind);
    auto* replaceLabel = new QLabel(consts::SReplaceWith, this);
    edtReplace = new QLineEdit(this);
    edtReplace->setMaxLength(kMaxTextLength);
    replaceLabel->setBuddy(edtReplace);
    chkWholeWord = new QCheckBox(consts::SWholeWord, this);
    chkMatchCase = new QCheckBox(consts::SMatchCase, this);

    btnFindNext = new QPushButton(consts::SFindNext, this);
    btnFindNext->setDefault(true);
    btnReplace = new QPushButton(consts::SReplaceButton, this);
    btnReplaceAll = new QPushButton(consts::SReplaceAll, this);
    btnCancel = new QPushButton(consts::SCancelButton, this);

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

    connect(btnFindNext, &QPushButton::clicked, this, &TReplaceDialog::findRequested);
    connect(btnReplace, &QPushButton::clicked, this, [this] { emit replaceRequested(false); });
    connect(btnReplaceAll, &QPushButton::clicked, this, [this] { emit replaceRequested(true); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

QString TReplaceDialog::FindText() const { return edtFind->text(); }
QString TReplaceDialog::ReplaceText() const { return edtReplace->text(); }
bool TReplaceDialog::MatchCase() const { return chkMatchCase->isChecked(); }
bool TReplaceDialog::WholeWord() const { return chkWholeWord->isChecked(); }

}  // namespace lepotex
