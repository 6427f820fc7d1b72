// lepotex: the window. `lepotex SOUBOR` opens that file at start, as "&Otevřít" would.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QTranslator>

#include "app/LepotexConst.h"
#include "app/LepotexMain.h"
#include "version/Version.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(lepotex::consts::SAppTitle);
    QApplication::setApplicationVersion(QString::fromStdString(lepotex::VersionText()));
    // The program speaks Czech whatever the desktop's language, so Qt's own dialogs (the file
    // dialogs above all) should too; without the translation they stay in English.
    QTranslator qtTranslator;
    if (qtTranslator.load(QStringLiteral("qtbase_cs"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTranslator);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lepotex slepuje rozlámané texty."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("SOUBOR"), QStringLiteral("Textový soubor, který se otevře."),
                                 QStringLiteral("[SOUBOR]"));
    parser.process(application);

    lepotex::TLepotexFrm window;
    window.show();
    // The document keeps its full path, as the open dialog gives it.
    if (!parser.positionalArguments().isEmpty())
        window.OpenAtStart(QFileInfo(parser.positionalArguments().first()).absoluteFilePath());
    return application.exec();
}
