// lepotex: the window. `lepotex SOUBOR` opens that file at start, as "&Otevřít" would.
#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>

#include "app/LepotexConst.h"
#include "app/LepotexMain.h"

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(lepotex::consts::SAppTitle);
    QApplication::setApplicationVersion(QStringLiteral("1.2"));

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
