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

TFindDialog::TFindDialog(QWidget* parent) : TSearchDialog(consts::SFindTitle, parent)
{
    auto* label = new QLabel(consts::SFindWhat, this);
    label->setBuddy(edtFind);

    auto* direction = new QGroupBox(consts::SDirection, this);
    rbUp = new QRadioButton(consts::SUp, direction);
    rbDown = new QRadioButton(consts::SDown, direction);
    rbDown->setChecked(true);
    auto* directionLayout = new QHBoxLayout(direction);
    directionLayout->addWidget(rbUp);
    directionLayout->addWidget(rbDown);

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

    // The shared fields were made first; Tab still goes through the dialog as it reads.
    setTabOrder(chkMatchCase, rbUp);
    setTabOrder(rbUp, rbDown);
    setTabOrder(rbDown, btnFindNext);
    setTabOrder(btnFindNext, btnCancel);
}

bool TFindDialog::Up() const { return rbUp->isChecked(); }

}  // namespace lepotex
