#include "app/dialogs/LepotexHelp.h"

#include <string_view>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/dialogs/RtfReader.h"
#include "editor/Windows1250.h"

namespace lepotex {

QString ManualText(const QByteArray& bytes)
{
    const std::string_view view(bytes.constData(), std::size_t(bytes.size()));
    if (LooksLikeRtf(view))
        return QString::fromStdU16String(RtfToText(view));
    QString text = QString::fromStdU16String(DecodeWindows1250(view));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

THelpForm::THelpForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("HelpForm"));
    setWindowTitle(QStringLiteral("HelpForm"));
    setSizeGripEnabled(true);

    red = new QPlainTextEdit;
    red->setObjectName(QStringLiteral("red"));
    red->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("Times New Roman"));
    font.setPixelSize(16);
    font.setStyleHint(QFont::Serif);  // the desktop's serif font where Times New Roman is missing
    red->setFont(font);

    auto* btnOK = new QPushButton(QStringLiteral("OK"));
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setFixedSize(75, 25);
    btnOK->setAutoDefault(false);  // Enter in the viewer is a line break, not a close
    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* pnPanel1 = new QHBoxLayout;
    pnPanel1->setContentsMargins(8, 5, 12, 6);
    pnPanel1->addStretch();
    pnPanel1->addWidget(btnOK);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 0);
    layout->setSpacing(0);
    layout->addWidget(red, 1);
    layout->addLayout(pnPanel1);

    setGeometry(316, 355, 397, 352);
}

QStringList THelpForm::ManualFolders()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    QStringList folders{QDir::currentPath(), programFolder};
#ifdef LEPOTEX_DATA_FROM_BIN
    folders << QDir::cleanPath(programFolder + QLatin1Char('/') + QStringLiteral(LEPOTEX_DATA_FROM_BIN));
#endif
#ifdef LEPOTEX_DATA_DIR
    folders << QStringLiteral(LEPOTEX_DATA_DIR);
#endif
    folders.removeDuplicates();
    return folders;
}

void THelpForm::LoadManual(const QStringList& folders)
{
    red->clear();
    manualPath.clear();
    QString unreadable;
    for (const QString& folder : folders) {
        const QString path = QDir(folder).filePath(QString::fromLatin1(kManualFileName));
        if (!QFileInfo(path).isFile())
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            if (unreadable.isEmpty())
                unreadable = path;
            continue;
        }
        const QByteArray bytes = file.readAll();
        if (file.error() != QFileDevice::NoError) {
            if (unreadable.isEmpty())
                unreadable = path;
            continue;
        }
        red->setPlainText(ManualText(bytes));
        manualPath = path;
        return;
    }
    const QString name = unreadable.isEmpty() ? QString::fromLatin1(kManualFileName) : QDir::toNativeSeparators(unreadable);
    throw EHelpError("Cannot open file " + name.toStdString());
}

QString THelpForm::Text() const
{
    return red->toPlainText();
}

}  // namespace lepotex
