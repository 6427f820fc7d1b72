// New, Open, Save, Save As and closing, with the unsaved-changes question.
#include <QFile>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

namespace lepotex::test {
namespace {

const QString kQuestion = QStringLiteral("Soubor se změnil. Mám ho zapsat?");

int Questions(const ScriptedPrompts& prompts)
{
    int n = 0;
    for (const Shown& s : prompts.shown)
        n += s.kind == Shown::Confirm && s.text == kQuestion;
    return n;
}

TEST(DocumentCommands, QuestionAnswersInNewOpenAndClose)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("kniha.txt"));
    WriteFile(book, "Kniha\r\n");
    w.Type("rozepsaný text");

    // Cancel: nothing changes, in each of the three commands.
    w.prompts->answers = {Answer::Cancel, Answer::Cancel, Answer::Cancel};
    w->FileNew1->trigger();
    w->FileOpen1->trigger();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(Questions(*w.prompts), 3);
    EXPECT_EQ(w.prompts->openDialogs, 0);
    EXPECT_EQ(w.Editor().Text(), Utf8ToWindows1250("rozepsaný text"));
    EXPECT_TRUE(w.Editor().Modified());
    EXPECT_TRUE(w->DocumentName().isEmpty());
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex verze 1.2 (19.1.2003)"));
    EXPECT_TRUE(w->isVisible());

    // "&Yes" with a cancelled save dialog: the text is still unsaved, so the commands stop.
    w.prompts->answers = {Answer::Yes, Answer::Yes, Answer::Yes};
    w.prompts->saveNames = {QString(), QString(), QString()};
    w->FileNew1->trigger();
    w->FileOpen1->trigger();
    EXPECT_FALSE(w->close());
    EXPECT_EQ(w.prompts->saveDialogs, 3);
    EXPECT_EQ(w.prompts->openDialogs, 0);
    EXPECT_EQ(w.Editor().Text(), Utf8ToWindows1250("rozepsaný text"));
    EXPECT_TRUE(w->isVisible());

    // "&Yes" with a save that fails: reported, and the close stops too.
    w.prompts->answers = {Answer::Yes};
    w.prompts->saveNames = {w.Path(QStringLiteral("není/kniha.txt"))};
    EXPECT_FALSE(w->close());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);

    // "&No": New goes on without saving.
    w.prompts->answers = {Answer::No};
    w->FileNew1->trigger();
    EXPECT_EQ(w.Editor().Text(), "");
    EXPECT_FALSE(w.Editor().Modified());
    EXPECT_EQ(w->DocumentName(), QStringLiteral("bez jména"));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [bez jména]"));
    EXPECT_EQ(w->PanelText(6), QStringLiteral("soubor není zadán"));

    // Unmodified: no question; Open loads, names and refreshes.
    w.prompts->openNames = {book};
    w->FileOpen1->trigger();
    EXPECT_EQ(w.Editor().Text(), "Kniha\r\n");
    EXPECT_EQ(w->DocumentName(), book);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));
    EXPECT_EQ(w->PanelText(6), book);
    EXPECT_EQ(w->PanelText(2), QStringLiteral("---"));

    // "&Yes" on closing saves to the opened file and closes.
    w.Type("!");
    w.prompts->answers = {Answer::Yes};
    EXPECT_TRUE(w->close());
    EXPECT_EQ(ReadFile(book), "!Kniha\r\n");  // the caret starts at the top
    EXPECT_EQ(Questions(*w.prompts), 9);
}

TEST(DocumentCommands, SaveAndSaveAs)
{
    TestWindow w;
    const QString first = w.Path(QStringLiteral("první.txt"));
    // Right after start, "&Uložit" asks for a name; a cancelled dialog writes nothing.
    w.Type("Žluťoučký kůň");
    w.prompts->saveNames = {QString()};
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 1);
    EXPECT_TRUE(w.Editor().Modified());

    w.prompts->saveNames = {first};
    w->FileSave1->trigger();
    EXPECT_EQ(ReadFile(first), Utf8ToWindows1250("Žluťoučký kůň\r\n"));
    EXPECT_FALSE(w.Editor().Modified());
    EXPECT_EQ(w->DocumentName(), first);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [první.txt]"));
    EXPECT_EQ(w->PanelText(2), QStringLiteral("---"));

    // Then Ctrl+S writes to it without a dialog or a question.
    w.Type("A");
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 2);
    EXPECT_TRUE(w.prompts->shown.empty());
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
    ASSERT_EQ(w.prompts->shown.size(), 3u);
    EXPECT_EQ(w.prompts->shown[0].text, QStringLiteral("Přepsat soubor ") + second);

    // After New, "&Uložit" asks for a name again.
    w->FileNew1->trigger();
    w.prompts->saveNames = {QString()};
    w->FileSave1->trigger();
    EXPECT_EQ(w.prompts->saveDialogs, 6);
}

TEST(DocumentCommands, FailedOpenKeepsTextNameAndCaption)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("kniha.txt"));
    WriteFile(book, "Kniha\r\n");
    w.prompts->openNames = {book};
    w->FileOpen1->trigger();
    w.Type("x");
    const std::string text = w.Editor().Text();

    // A folder cannot be read as a text, whoever runs the test.
    const QString folder = w.Path(QStringLiteral("složka.txt"));
    ASSERT_TRUE(QDir().mkdir(folder));
    w.prompts->answers = {Answer::No};
    w.prompts->openNames = {folder};
    w->FileOpen1->trigger();
    ASSERT_EQ(w.prompts->shown.back().kind, Shown::Plain);
    EXPECT_EQ(w.Editor().Text(), text);
    EXPECT_TRUE(w.Editor().Modified());
    EXPECT_EQ(w->DocumentName(), book);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [kniha.txt]"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST(DocumentCommands, FileNamesStayInThePlatformsForm)
{
    TestWindow w;
    // A colon belongs to the name on this platform, and the caption shows the whole name.
    const QString colon = w.Path(QStringLiteral("Kapitola: 1.txt"));
    WriteFile(colon, Utf8ToWindows1250("Čtení\r\n"));
    w->OpenAtStart(colon);
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [Kapitola: 1.txt]"));
    EXPECT_EQ(w.Editor().Text(), Utf8ToWindows1250("Čtení\r\n"));

    // Non-ASCII names go to the file system in its own encoding, not through Windows-1250.
    const QString czech = w.Path(QStringLiteral("Příliš žluťoučký.txt"));
    w.Type("a");
    w.prompts->saveNames = {czech};
    w->FileSaveAs1->trigger();
    EXPECT_TRUE(QFile::exists(czech));
    EXPECT_EQ(w->windowTitle(), QStringLiteral("Lepotex [Příliš žluťoučký.txt]"));
    EXPECT_TRUE(w.prompts->shown.empty());
}

TEST(DocumentCommands, OpenTellsWhatTheFileFormatLeftOut)
{
    TestWindow w;
    const QString book = w.Path(QStringLiteral("nul.txt"));
    WriteFile(book, std::string("před\0za\r\ndruhá\r\n", 16));
    w->OpenAtStart(book);
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_TRUE(w.prompts->shown[0].text.contains(QStringLiteral("NUL"))) << w.prompts->shown[0].text.toStdString();
    EXPECT_EQ(w->DocumentName(), book);
}

}  // namespace
}  // namespace lepotex::test
