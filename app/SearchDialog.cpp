#include "app/SearchDialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/LepotexConst.h"

namespace lepotex {

TSearchDialog::TSearchDialog(const QString& title, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(title);
    setModal(false);
    edtFind = new QLineEdit(this);
    edtFind->setMaxLength(kMaxTextLength);
    chkWholeWord = new QCheckBox(consts::SWholeWord, this);
    chkMatchCase = new QCheckBox(consts::SMatchCase, this);
    btnFindNext = new QPushButton(consts::SFindNext, this);
    btnFindNext->setDefault(true);
    btnCancel = new QPushButton(consts::SCancelButton, this);
    connect(btnFindNext, &QPushButton::clicked, this, &TSearchDialog::findRequested);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::close);
}

QString TSearchDialog::FindText() const { return edtFind->text(); }
void TSearchDialog::SetFindText(const QString& text) { edtFind->setText(text); }
bool TSearchDialog::MatchCase() const { return chkMatchCase->isChecked(); }
bool TSearchDialog::WholeWord() const { return chkWholeWord->isChecked(); }

}  // namespace lepotex
