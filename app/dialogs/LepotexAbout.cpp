#include "app/dialogs/LepotexAbout.h"

#include <QFrame>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace lepotex {
namespace {

QLabel* MakeLabel(QWidget* parent, const char* name, const QString& text, QRect geometry)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(name));
    label->setGeometry(geometry);
    return label;
}

}  // namespace

QImage TAboutBox::Logo()
{
    return QImage(QStringLiteral(":/lepotex/logo.jpg"), "JPEG");
}

TAboutBox::TAboutBox(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("AboutBox"));
    setWindowTitle(QStringLiteral("About"));
    setFixedSize(252, 255);
    QFont boxFont = font();
    boxFont.setPointSize(8);
    setFont(boxFont);
    QPalette black = palette();
    black.setColor(QPalette::WindowText, Qt::black);
    setPalette(black);

    auto* Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(0, 0, 252, 255 - 38);
    auto* bevel = new QFrame(Panel1);
    bevel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    bevel->setGeometry(Panel1->rect().adjusted(4, 4, -4, -4));

    auto* ProgramIcon = MakeLabel(Panel1, "ProgramIcon", QString(), QRect(12, 12, 227, 65));
    ProgramIcon->setPixmap(QPixmap::fromImage(Logo()));
    ProgramIcon->setScaledContents(true);

    // Drawn over the logo's lower left corner, which the logo leaves plain for it.
    Version = MakeLabel(Panel1, "Version", QStringLiteral("Verze: ------------------"), QRect(16, 56, 87, 13));
    Version->setAttribute(Qt::WA_TranslucentBackground);

    auto* ProductName = MakeLabel(Panel1, "ProductName", QStringLiteral("Leptex"), QRect(8, 74, 233, 49));
    QFont nameFont(QStringLiteral("Times New Roman"));
    nameFont.setStyleHint(QFont::Serif);
    nameFont.setPixelSize(43);
    nameFont.setBold(true);
    ProductName->setFont(nameFont);
    ProductName->setAlignment(Qt::AlignCenter);

    auto* lblLabel1 = MakeLabel(Panel1, "lblLabel1",
                                QStringLiteral("Univerzálni softwarové lepidlo pro rozsáhle rozlámené texty, zejména beletrii."),
                                QRect(16, 128, 225, 41));
    lblLabel1->setWordWrap(true);
    lblLabel1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto* Copyright = MakeLabel(Panel1, "Copyright", QStringLiteral("Copyright © 2003 Zuvra\nProgram je freeware."),
                                QRect(8, 176, 233, 29));
    Copyright->setAlignment(Qt::AlignCenter);

    auto* pnPanel2 = new QWidget(this);
    pnPanel2->setObjectName(QStringLiteral("pnPanel2"));
    pnPanel2->setGeometry(0, 255 - 38, 252, 38);
    auto* OKButton = new QPushButton(QStringLiteral("OK"), pnPanel2);
    OKButton->setObjectName(QStringLiteral("OKButton"));
    OKButton->setGeometry(102, 7, 65, 26);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    Version->setText(QString::fromLatin1(kVersionText));
    Version->adjustSize();  // the desktop's font may be wider than the box was drawn for
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    QDialog::showEvent(event);
}

}  // namespace lepotex
