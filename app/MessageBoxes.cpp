#include "app/MessageBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
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

namespace {

// The encodings a document can be saved in, as the save dialog offers them.
constexpr TextEncoding kSaveEncodings[] = {TextEncoding::Windows1250, TextEncoding::Utf8, TextEncoding::Utf8Bom,
                                           TextEncoding::Utf16Le, TextEncoding::Utf16Be, TextEncoding::Iso8859_2,
                                           TextEncoding::Cp852};

QString EncodingCaption(TextEncoding encoding)
{
    if (encoding == TextEncoding::Utf16Be)
        return QStringLiteral("UTF-16 (big endian)");
    return QString::fromLatin1(EncodingName(encoding));
}

}  // namespace

QString UserPrompts::SaveFileName(QWidget* parent, FileFormat& format)
{
    QFileDialog dialog(parent);
    // Qt's own dialog, so that the encoding and line-end choices can sit under the file name.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(consts::SSaveFilter);
    // "txt": the file holds plain text, and other programs go by the suffix.
    dialog.setDefaultSuffix(consts::SDefaultSuffix);
    // The command asks about an existing file itself, in its own words.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);

    auto* encodings = new QComboBox(&dialog);
    encodings->setObjectName(QStringLiteral("cbEncoding"));
    for (TextEncoding encoding : kSaveEncodings) {
        encodings->addItem(EncodingCaption(encoding), int(encoding));
        if (encoding == format.encoding)
            encodings->setCurrentIndex(encodings->count() - 1);
    }
    auto* lineEnds = new QComboBox(&dialog);
    lineEnds->setObjectName(QStringLiteral("cbLineEnd"));
    lineEnds->addItem(QStringLiteral("CR LF (Windows)"), int(LineEnd::CrLf));
    lineEnds->addItem(QStringLiteral("LF (Linux)"), int(LineEnd::Lf));
    lineEnds->setCurrentIndex(format.lineEnd == LineEnd::Lf ? 1 : 0);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(consts::SEncodingLabel, &dialog), row, 0);
        auto* choices = new QHBoxLayout;
        choices->addWidget(encodings, 1);
        choices->addWidget(lineEnds);
        grid->addLayout(choices, row, 1, 1, grid->columnCount() - 1);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    format.encoding = TextEncoding(encodings->currentData().toInt());
    format.lineEnd = LineEnd(lineEnds->currentData().toInt());
    return dialog.selectedFiles().first();
}

}  // namespace lepotex
