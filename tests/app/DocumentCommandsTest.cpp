// New, Open, Save, Save As and closing, with the unsaved-changes question.
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include "AppTestSupport.h"

namespace lepotex::test {
namespace {

// The unsaved-changes question before New, Open, a dropped file and closing; refused opens
// keep the text: a folder cannot be read, a device might never end.
TEST(DocumentCommands, QuestionAnswersAndRefusedOpens)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("kniha.txt"));
    WriteFile(book, "Kniha\r\n");
    w.Type("rozepsaný text");
    auto unchanged = [&] {
        EXPECT_EQ(w.Editor().Text(), Utf8ToWindows1250("rozepsaný text"));
        EXPECT_TRUE(w.Editor().Modified());
        EXPECT_TRUE(w->DocumentName().isEmpty());
        EXPECT_TRUE(w->isVisible());
    };
    auto drop = [&](const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent dropped(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(w.window.get(), &dropped);
        QApplication::processEvents();
    };

    // Cancel, and "&Yes" with a cancelled save dialog (the text is still unsaved): nothing
    // changes, in each of the four commands. No open dialog may show: none is scripted.
    w.prompts->saveNames = {QString(), QString(), QString(), QString()};
    for (const Answer answer : {Answer::Cancel, Answer::Yes}) {
        w.prompts->answers = {answer, answer, answer, answer};
        w->FileNew1->trigger();
        w->FileOpen1->trigger();
        drop(book);
        EXPECT_FALSE(w->close());
        unchanged();
    }
    EXPECT_TRUE(w.prompts->saveNames.empty());
    EXPECT_EQ(w.LastShown(), QStringLiteral("Soubor se změnil. Mám ho zapsat?"));

    // "&Yes" with a save that fails: reported, and the close stops too.
    w.prompts->answers = {Answer::Yes};
    w.prompts->saveNames = {w.Path(QStringLiteral("není/kniha.txt"))};
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);
    unchanged();

    // "&No": New goes on without saving.
    w.prompts->answers = {Answer::No};
    w->FileNew1->trigger();
    EXPECT_EQ(w.Editor().Text(), "");
    EXPECT_FALSE(w.Editor().Modified());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [bez jména]"));

    // Unmodified: no question (none is scripted); Open loads, names and refreshes.
    w.prompts->openNames = {book};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.Editor().Text(), "Kniha\r\n");
    EXPECT_EQ(w->DocumentName(), book);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));

    // A failed open keeps the text, its name and the caption, and no busy cursor.
    w.Type("!");
    const QString folder = w.Path(QStringLiteral("složka.txt"));
    ASSERT_TRUE(QDir().mkdir(folder));
    w.prompts->answers = {Answer::No, Answer::No, Answer::No};
    w.prompts->openNames = {folder, QStringLiteral("/dev/zero")};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    w->FileOpen1->trigger();
    drop(QStringLiteral("/dev/zero"));
    EXPECT_EQ(w.LastShown(), QStringLiteral("/dev/zero není soubor, ale zařízení nebo roura: čtení z něj nemusí "
                                            "nikdy skončit, proto se neotevře."));
    EXPECT_EQ(w.Editor().Text(), "!Kniha\r\n");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));

    // "&No" to a drop opens the file; "&Yes" on closing saves to the opened file and closes.
    w.prompts->answers = {Answer::No};
    drop(book);
    EXPECT_EQ(w.Editor().Text(), "Kniha\r\n");
    w.Type("!");
    w.prompts->answers = {Answer::Yes};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(ReadFile(book), "!Kniha\r\n");  // the caret starts at the top
}

TEST(DocumentCommands, SaveAndSaveAs)
{
    TestWindow w;
    const QString first = w.Path(QStringLiteral("první.txt"));
    // Right after start, "&Uložit" asks for a name; a cancelled dialog writes nothing. The
    // names go to the file system in its own encoding, not through Windows-1250.
    w.Type("Žluťoučký kůň");
    w.prompts->saveNames = {QString(), first};
    w->FileSave1->trigger();
    EXPECT_TRUE(w.Editor().Modified());
    w->FileSave1->trigger();
    EXPECT_FALSE(w.Editor().Modified());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [první.txt]"));

    // Then Ctrl+S writes to it without a dialog or a question (none is scripted).
    w.Type("A");
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(first), Utf8ToWindows1250("Žluťoučký kůňA\r\n"));

    // Save As onto an existing file: "&No" and "Cancel" write nothing, "&Yes" overwrites.
    const QString second = w.Path(QStringLiteral("druhý.txt"));
    WriteFile(second, "stará");
    w.Type("B");
    w.prompts->saveNames = {second, second, second};
    w.prompts->answers = {Answer::No, Answer::Cancel, Answer::Yes};
    w->FileSaveAs1->trigger();
    w->FileSaveAs1->trigger();
    EXPECT_EQ(ReadFile(second), "stará");
    EXPECT_TRUE(w.Editor().Modified());
    EXPECT_EQ(w->DocumentName(), first);
    w->FileSaveAs1->trigger();
    EXPECT_EQ(ReadFile(second), Utf8ToWindows1250("Žluťoučký kůňAB\r\n"));
    EXPECT_EQ(w->DocumentName(), second);
    EXPECT_EQ(w.LastShown(), QStringLiteral("Přepsat soubor ") + second);
}

// Ctrl+S over a file another program changed since it was opened asks first; a failed save
// names the file and the reason in Czech; a torn save's copy of the old text is offered back.
TEST(DocumentCommands, ChangedFilesFailedSavesAndTornSaves)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("kniha.txt"));
    WriteFile(book, "Kniha\r\n");
    w->OpenAtStart(book);
    w.Type("!");
    WriteFile(book, "Kniha\r\nradek jineho programu\r\n");
    w.prompts->answers = {Answer::No, Answer::Yes};
    w->FileSave1->trigger();
    EXPECT_TRUE(w.LastShown().startsWith(QStringLiteral("Soubor se mezitím změnil… "))) << w.LastShown().toStdString();
    EXPECT_EQ(ReadFile(book), "Kniha\r\nradek jineho programu\r\n");
    EXPECT_TRUE(w.Editor().Modified());
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(book), "!Kniha\r\n");
    w.Type("?");
    w->FileSave1->trigger();  // its own save is no change: no question (none is scripted)
    EXPECT_EQ(ReadFile(book), "!?Kniha\r\n");

    const QString missing = w.Path(QStringLiteral("není"));
    w.prompts->saveNames = {missing + QStringLiteral("/kniha.txt")};
    w->FileSaveAs1->trigger();
    EXPECT_EQ(w.LastShown(), QStringLiteral("Soubor %1/kniha.txt nelze uložit: složka „%1“ neexistuje.").arg(missing));

    WriteFile(book, "Napůl zap");
    WriteFile(w.Path(QStringLiteral(".kniha.txt.lepotex-old~1")), "Stary text\r\n");
    w.Editor().SetModified(false);
    w.prompts->answers = {Answer::Yes};
    w->OpenAtStart(book);
    EXPECT_TRUE(w.LastShown().startsWith(QStringLiteral("Vedle souboru ") + book)) << w.LastShown().toStdString();
    EXPECT_EQ(ReadFile(book), "Stary text\r\n");
    EXPECT_EQ(w.Editor().Text(), "Stary text\r\n");
    EXPECT_FALSE(QFileInfo::exists(w.Path(QStringLiteral(".kniha.txt.lepotex-old~1"))));
}

// What loading could not keep is told (a NUL byte, characters the code page lacks), and such a
// file is never saved over by Ctrl+S.
TEST(DocumentCommands, EncodingsOnOpenAndSave)
{
    TestWindow w;
    const QString nul = w.Path(QStringLiteral("nul.txt"));
    WriteFile(nul, std::string("před\0za\r\ndruhá\r\n", 16));
    w->OpenAtStart(nul);
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("NUL"))) << w.LastShown().toStdString();
    const QString book = w.Path(QStringLiteral("azbuka.txt"));
    const std::string bytes = "Řádek\nПривет\n";
    WriteFile(book, bytes);
    w->OpenAtStart(book);
    ASSERT_EQ(w.prompts->shown.size(), 2u);
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("první je „П“ na řádku 2"))) << w.LastShown().toStdString();

    // Ctrl+S asks for a name; cancelled, the file stays as it was. Saved under a new name, in
    // the file's encoding and line end; then Ctrl+S saves there without a dialog.
    const QString copy = w.Path(QStringLiteral("kopie.txt"));
    w.prompts->saveNames = {QString(), copy};
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(book), bytes);
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(copy), "Řádek\n??????\n");
    w.Type("x");
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(copy), "xŘádek\n??????\n");
    EXPECT_EQ(ReadFile(book), bytes);

    // A new document is Windows-1250 with CR LF again, and Ctrl+S asks for its name.
    w.prompts->answers = {Answer::No};
    w->FileNew1->trigger();
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("CP1250"));
    w.Type("č");
    const QString fresh = w.Path(QStringLiteral("nový.txt"));
    w.prompts->saveNames = {fresh};
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(fresh), "\xE8\r\n");

    // The eighth panel names the document's encoding; Save As offers it and writes what the
    // user picks, telling how many characters the chosen code page could not hold.
    const QString utf = w.Path(QStringLiteral("utf.txt"));
    WriteFile(utf, "\xEF\xBB\xBF„Řekni“\nkůň\n");
    const size_t told = w.prompts->shown.size();
    w->OpenAtStart(utf);
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("UTF-8 BOM LF"));

    // ISO-8859-2 has no „ and “: the file is written, and the user told of the two.
    const QString latin2 = w.Path(QStringLiteral("l2.txt"));
    w.prompts->saveNames = {latin2};
    w.prompts->saveFormats = {FileFormat{TextEncoding::Iso8859_2, LineEnd::Lf}};
    w->FileSaveAs1->trigger();
    EXPECT_EQ(w.prompts->offeredFormat, (FileFormat{TextEncoding::Utf8Bom, LineEnd::Lf}));
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("ISO-8859-2 LF"));
    ASSERT_EQ(w.prompts->shown.size(), told + 1);  // nothing at the open
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("2 znaků"))) << w.LastShown().toStdString();
    EXPECT_EQ(ReadFile(latin2), ",,\xD8\x65kni\"\nk\xF9\xF2\n");
    EXPECT_EQ(w->DocumentName(), latin2);
}

}  // namespace
}  // namespace lepotex::test
