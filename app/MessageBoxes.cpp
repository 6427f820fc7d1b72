#include "app/MessageBoxes.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

#include "app/LepotexConst.h"

namespace lepotex {

namespace {

std::unique_ptr<QMessageBox> MakeBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    auto box = std::make_unique<QMessageBox>(icon, title, text, QMessageBox::NoButton, parent);
    box->setTextFormat(Qt::PlainText);  // a file name or a search text is never markup
    return box;
}

std::unique_ptr<QMessageBox> MakeOkBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    auto box = MakeBox(parent, icon, title, text);
    QPushButton* ok = box->addButton(consts::SOk, QMessageBox::AcceptRole);
    box->setDefaultButton(ok);
    box->setEscapeButton(ok);
    return box;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeConfirmBox(QWidget* parent, const QString& text)
{
    auto box = MakeBox(parent, QMessageBox::Question, consts::SConfirmTitle, text);
    QPushButton* yes = box->addButton(consts::SYes, QMessageBox::YesRole);
    box->addButton(consts::SNo, QMessageBox::NoRole);
    QPushButton* cancel = box->addButton(consts::SCancel, QMessageBox::RejectRole);
    box->setDefaultButton(yes);
    box->setEscapeButton(cancel);
    return box;
}

std::unique_ptr<QMessageBox> MakeInformationBox(QWidget* parent, const QString& text)
{
    return MakeOkBox(parent, QMessageBox::Information, consts::SInformationTitle, text);
}

std::unique_ptr<QMessageBox> MakePlainBox(QWidget* parent, const QString& text)
{
    return MakeOkBox(parent, QMessageBox::NoIcon, consts::SAppTitle, text);
}

Answer UserPrompts::Confirm(QWidget* parent, const QString& text)
{
    auto box = MakeConfirmBox(parent, text);
    box->exec();
    const auto role = box->buttonRole(box->clickedButton());
    if (role == QMessageBox::YesRole)
        return Answer::Yes;
    if (role == QMessageBox::NoRole)
        return Answer::No;
    return Answer::Cancel;
}

void UserPrompts::Inform(QWidget* parent, const QString& text) { MakeInformationBox(parent, text)->exec(); }

void UserPrompts::Plain(QWidget* parent, const QString& text) { MakePlainBox(parent, text)->exec(); }

QString UserPrompts::OpenFileName(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(consts::SOpenFilter);
    dialog.setDefaultSuffix(consts::SDefaultSuffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

QString UserPrompts::SaveFileName(QWidget* parent)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(consts::SSaveFilter);
    // "txt": the file holds plain text, and other programs go by the suffix.
    dialog.setDefaultSuffix(consts::SDefaultSuffix);
    // The command asks about an existing file itself, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace lepotex
