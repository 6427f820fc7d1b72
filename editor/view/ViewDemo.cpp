// A window with nothing but the view, holding a page of Czech text with a selection and two
// bookmarks: for looking at the drawing in a real X server. With --grab FILE it saves what it
// shows and ends.
#include <string>

#include <QApplication>
#include <QCommandLineParser>
#include <QTimer>

#include "editor/Windows1250.h"
#include "editor/view/EditorView.h"

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Lepotex"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("grab"), QStringLiteral("Save the window to FILE and end."), QStringLiteral("FILE")});
    parser.process(app);

    lepotex::EditorView view;
    view.setWindowTitle(QStringLiteral("Lepotex"));
    view.resize(640, 360);
    lepotex::TextEditor& editor = view.Editor();
    const char* text =
        "Příliš žluťoučký kůň úpěl ďábelské ódy. Když se večer vracel domů, řeka už byla "
        "temná a nad lesem visel měsíc jako zapomenutá lucerna.\r\n"
        "„Kdo tam?“ zeptal se hlas za vraty.\r\n"
        "\tOdpověď nepřišla; jen vítr šuměl v korunách starých lip a kdesi daleko štěkal pes.\r\n"
        "Číslo\tJméno\tMěsto\r\n"
        "1.\tŠárka\tČeské Budějovice\r\n"
        "2.\tŘehoř\tÚstí nad Labem\r\n"
        "Bajt bez znaku: [@], řídicí znak: [#].\r\n"
        "Konec ukázky – ještě jeden odstavec, aby bylo co zalamovat, když se okno zúží.";
    std::string bytes = lepotex::Utf8ToWindows1250(text);
    // Two bytes that have no glyph: one Windows-1250 leaves undefined, and a control character.
    bytes[bytes.find('@')] = '\x81';
    bytes[bytes.find('#')] = '\x01';
    (void)editor.InsertText(bytes);
    editor.SetModified(false);
    editor.SetCaret({2, 1});
    editor.SetBookmark(1);
    editor.SetCaret({5, 4});
    editor.SetBookmark(2);
    editor.SetSelection({1, 22}, {1, 50});
    view.show();
    view.activateWindow();
    view.setFocus();

    if (parser.isSet(QStringLiteral("grab"))) {
        const QString file = parser.value(QStringLiteral("grab"));
        QTimer::singleShot(800, &view, [&view, file] {
            view.grab().save(file);
            QApplication::quit();
        });
    }
    return QApplication::exec();
}
