// New, Open, Save, Save As and closing, with the unsaved-changes question.
#include <QApplication>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

namespace lepotex::test {
namespace {

TEST(DocumentCommands, QuestionAnswersInNewOpenAndCloseAndAFailedOpen)
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
        EXPECT_EQ(w.prompts->openDialogs, 0);
    };

    // Cancel: nothing changes, in each of the three commands.
    w.prompts->answers = {Answer::Cancel, Answer::Cancel, Answer::Cancel};
    w->FileNew1->trigger();
    w->FileOpen1->trigger();
    EXPECT_FALSE(w->close());
    unchanged();
    EXPECT_EQ(w.LastShown(), QStringLiteral("Soubor se změnil. Mám ho zapsat?"));

    // "&Yes" with a cancelled save dialog: the text is still unsaved, so the commands stop.
    w.prompts->answers = {Answer::Yes, Answer::Yes, Answer::Yes};
    w.prompts->saveNames = {QString(), QString(), QString()};
    w->FileNew1->trigger();
    w->FileOpen1->trigger();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->saveDialogs, 3);
    unchanged();

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
    EXPECT_EQ(w->PanelText(6), QStringLiteral("soubor není zadán"));

    // Unmodified: no question; Open loads, names and refreshes.
    const size_t shown = w.prompts->shown.size();
    w.prompts->openNames = {book};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.prompts->shown.size(), shown);
    EXPECT_EQ(w.Editor().Text(), "Kniha\r\n");
    EXPECT_EQ(w->DocumentName(), book);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));
    EXPECT_EQ(w->PanelText(6), book);

    // A failed open keeps the text, its name and the caption. (A folder cannot be read as a
    // text, whoever runs the test.)
    w.Type("!");
    const QString folder = w.Path(QStringLiteral("složka.txt"));
    ASSERT_TRUE(QDir().mkdir(folder));
    w.prompts->answers = {Answer::No};
    w.prompts->openNames = {folder};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);
    EXPECT_EQ(w.Editor().Text(), "!Kniha\r\n");
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // "&Yes" on closing saves to the opened file and closes.
    w.prompts->answers = {Answer::Yes};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(ReadFile(book), "!Kniha\r\n");  // the caret starts at the top
}

// A dropped file opens after the same question as Open; a device, which might never end,
// is refused by either way in, and the text stays.
TEST(DocumentCommands, DroppedFilesOpenAndDevicesAreRefused)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("kniha.txt"));
    WriteFile(book, "Kniha\r\n");
    w.Type("rozepsaný text");
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

    w.prompts->answers = {Answer::Cancel};
    drop(book);
    EXPECT_EQ(w.Editor().Text(), Utf8ToWindows1250("rozepsaný text"));
    w.prompts->answers = {Answer::No};
    drop(book);
    EXPECT_EQ(w.Editor().Text(), "Kniha\r\n");
    EXPECT_EQ(w->DocumentName(), book);

    w.Type("!");
    w.prompts->answers = {Answer::No};
    drop(QStringLiteral("/dev/zero"));
    EXPECT_EQ(w.LastShown(), QStringLiteral("/dev/zero není soubor, ale zařízení nebo roura: čtení z něj nemusí "
                                            "nikdy skončit, proto se neotevře."));
    w.prompts->answers = {Answer::No};
    w.prompts->openNames = {QStringLiteral("/dev/zero")};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.Editor().Text(), "!Kniha\r\n");
    EXPECT_EQ(w->DocumentName(), book);
    EXPECT_TRUE(w.Editor().Modified());
}

TEST(DocumentCommands, SaveAndSaveAs)
{
    TestWindow w;
    const QString first = w.Path(QStringLiteral("první.txt"));
    // Right after start, "&Uložit" asks for a name; a cancelled dialog writes nothing.
    w.Type("Žluťoučký kůň");
    w.prompts->saveNames = {QString(), first};
    w->FileSave1->trigger();
    EXPECT_TRUE(w.Editor().Modified());
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(first), Utf8ToWindows1250("Žluťoučký kůň\r\n"));
    EXPECT_FALSE(w.Editor().Modified());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [první.txt]"));

    // Then Ctrl+S writes to it without a dialog or a question.
    w.Type("A");
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 2);
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

    // After New, "&Uložit" asks for a name again.
    w->FileNew1->trigger();
    w.prompts->saveNames = {QString()};
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 6);
}

TEST(DocumentCommands, FileNamesStayInThePlatformsEncodingAndLeftOutBytesAreTold)
{
    TestWindow w;
    // Non-ASCII names go to the file system in its own encoding, not through Windows-1250.
    const QString czech = w.Path(QStringLiteral("Příliš žluťoučký.txt"));
    w.Type("a");
    w.prompts->saveNames = {czech};
    w->FileSaveAs1->trigger();
    EXPECT_TRUE(QFile::exists(czech));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [Příliš žluťoučký.txt]"));
    EXPECT_TRUE(w.prompts->shown.empty());

    // A NUL byte cannot be kept: the file opens, and the user is told.
    const QString nul = w.Path(QStringLiteral("nul.txt"));
    WriteFile(nul, std::string("před\0za\r\ndruhá\r\n", 16));
    w->OpenAtStart(nul);
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("NUL"))) << w.LastShown().toStdString();
    EXPECT_EQ(w->DocumentName(), nul);
}

TEST(DocumentCommands, ALossyFileIsNeverSavedOverItselfByCtrlS)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("azbuka.txt"));
    const std::string bytes = "Řádek\nПривет\n";
    WriteFile(book, bytes);
    w->OpenAtStart(book);
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("první je „П“ na řádku 2"))) << w.LastShown().toStdString();
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("Uložit jako...")));

    // Ctrl+S asks for a name; cancelled, the file stays as it was.
    w.prompts->saveNames = {QString()};
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 1);
    EXPECT_EQ(ReadFile(book), bytes);
    // Saved under a new name, in the file's encoding and line end; then Ctrl+S saves there.
    const QString copy = w.Path(QStringLiteral("kopie.txt"));
    w.prompts->saveNames = {copy};
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(copy), "Řádek\n??????\n");
    w.Type("x");
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 2);
    EXPECT_EQ(ReadFile(book), bytes);

    // A new document is Windows-1250 with CR LF again.
    w.prompts->answers = {Answer::No};
    w->FileNew1->trigger();
    w.Type("č");
    const QString fresh = w.Path(QStringLiteral("nový.txt"));
    w.prompts->saveNames = {fresh};
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(fresh), "\xE8\r\n");
}

// The eighth panel names the document's encoding; Save As offers it and writes what the user
// picks, telling how many characters the chosen code page could not hold.
TEST(DocumentCommands, SaveAsWritesTheEncodingTheUserPicks)
{
    TestWindow w;
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("CP1250"));
    const QString book = w.Path(QStringLiteral("utf.txt"));
    WriteFile(book, "\xEF\xBB\xBF„Řekni“\nkůň\n");
    w->OpenAtStart(book);
    EXPECT_TRUE(w.prompts->shown.empty());
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("UTF-8 BOM LF"));

    // ISO-8859-2 has no „ and “: the file is written, and the user told of the two.
    const QString latin2 = w.Path(QStringLiteral("l2.txt"));
    w.prompts->saveNames = {latin2};
    w.prompts->saveFormats = {FileFormat{TextEncoding::Iso8859_2, LineEnd::Lf}};
    w->FileSaveAs1->trigger();
    EXPECT_EQ(w.prompts->offeredFormat, (FileFormat{TextEncoding::Utf8Bom, LineEnd::Lf}));
    EXPECT_EQ(w->PanelText(TLepotexFrm::kEncodingPanel), QStringLiteral("ISO-8859-2 LF"));
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("2 znaků"))) << w.LastShown().toStdString();
    EXPECT_EQ(ReadFile(latin2), ",,\xD8\x65kni\"\nk\xF9\xF2\n");
    EXPECT_EQ(w->DocumentName(), latin2);
}

}  // namespace
}  // namespace lepotex::test
