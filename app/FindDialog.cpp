#include "app/FindDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/LepotexConst.h"

namespace lepotex {

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(consts::SFindTitle);
    setModal(false);

    auto* label = new QLabel(consts::SFindWhat, this);
    edtFind = new QLineEdit(this);
    edtFind->setMaxLength(kMaxTextLength);
    label->setBuddy(edtFind);
    chkWholeWord = new QCheckBox(consts::SWholeWord, this);
    chkMatchCase = new QCheckBox(consts::SMatchCase, this);

    auto* direction = new QGroupBox(consts::SDirection, this);
    rbUp = new QRadioButton(consts::SUp, direction);
    rbDown = new QRadioButton(consts::SDown, direction);
    rbDown->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(rbUp);
    directionLayout->addWidget(rbDown);

    btnFindNext = new QPushButton(consts::SFindNext, this);
    btnFindNext->setDefault(true);
    btnCancel = new QPushButton(consts::SCancelButton, this);

    auto* grid = new QGridLayout;
    grid->addWidget(label, 0, 0);
    grid->addWidget(edtFind, 0, 1, 1, 2);
    grid->addWidget(chkWholeWord, 1, 0, 1, 2);
    grid->addWidget(chkMatchCase, 2, 0, 1, 2);
    grid->addWidget(direction, 1, 2, 2, 1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnFindNext);
    buttons->addWidget(btnCancel);
    buttons->addStretch();
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    connect(btnFindNext, &QPushButton::clicked, this, &TFindDialog::findRequested);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

QString TFindDialog::FindText() const { return edtFind->text(); }
void TFindDialog::SetFindText(const QString& text) { edtFind->setText(text); }
bool TFindDialog::MatchCase() const { return chkMatchCase->isChecked(); }
bool TFindDialog::WholeWord() const { return chkWholeWord->isChecked(); }
bool TFindDialog::Up() const { return rbUp->isChecked(); }

}  // namespace lepotex
