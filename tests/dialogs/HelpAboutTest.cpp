#include "app/dialogs/LepotexAbout.h"
#include "app/dialogs/LepotexHelp.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../QtApplicationEnvironment.h"
#include "editor/Windows1250.h"

using namespace lepotex;

namespace {

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// Runs in an empty working folder of its own, and comes back.
class HelpTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(workDir.isValid());
        ASSERT_TRUE(QDir::setCurrent(workDir.path()));
    }
    void TearDown() override { QDir::setCurrent(oldDir); }

    QString oldDir = QDir::currentPath();
    QTemporaryDir workDir;
};

TEST_F(HelpTest, FindsTheManualBesideTheProgramWhenTheWorkingFolderHasNone)
{
    const QStringList folders = THelpForm::ManualFolders();
    ASSERT_GE(folders.size(), 3);
    EXPECT_EQ(folders[0], QDir::currentPath());
    EXPECT_EQ(folders[1], QCoreApplication::applicationDirPath());
    EXPECT_TRUE(folders.contains(QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../share/lepotex")));

    THelpForm help;
    help.LoadManual();
    EXPECT_EQ(help.ManualPath(), QDir(QCoreApplication::applicationDirPath()).filePath("Lepotex.txt"));

    // The manual as built: Windows-1250 with CR LF, shown as Unicode lines.
    QFile source(QStringLiteral(LEPOTEX_MANUAL_SOURCE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    EXPECT_FALSE(bytes.contains("\n\n")) << "every line ends with CR LF";
    EXPECT_EQ(bytes.count("\n"), bytes.count("\r\n"));
    QString expected = QString::fromStdU16String(DecodeWindows1250(bytes.toStdString()));
    expected.replace("\r\n", "\n");
    EXPECT_EQ(help.Text(), expected);
    EXPECT_TRUE(help.Text().contains(QString::fromUtf8("Slepit „přímou řeč“")));
}

TEST_F(HelpTest, WorkingFolderComesFirstAndRichTextIsShownAsText)
{
    WriteFile("Lepotex.txt", "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}N\\'e1vod\\par P\\u345?\\'edli\\'9a}");
    THelpForm help;
    help.LoadManual();
    EXPECT_EQ(help.ManualPath(), QDir::current().filePath("Lepotex.txt"));
    EXPECT_EQ(help.Text(), QString::fromUtf8("Návod\nPříliš"));

    WriteFile("Lepotex.txt", "Kapitola\r\nP\xF8\xEDli\x9A\rkon\xE8\xED\n");
    help.LoadManual();
    EXPECT_EQ(help.Text(), QString::fromUtf8("Kapitola\nPříliš\nkončí\n"));
}

TEST_F(HelpTest, MissingManualLeavesAnEmptyViewerAndNamesTheFile)
{
    WriteFile("Lepotex.txt", "old");
    THelpForm help;
    help.LoadManual();
    ASSERT_EQ(help.Text(), "old");

    QTemporaryDir empty;
    EXPECT_THAT([&] { help.LoadManual({empty.path(), empty.path() + "/none"}); },
                testing::ThrowsMessage<EHelpError>("Cannot open file Lepotex.txt"));
    EXPECT_EQ(help.Text(), "");
    EXPECT_EQ(help.ManualPath(), "");

    // A folder named like the manual is no manual.
    ASSERT_TRUE(QDir(empty.path()).mkdir("Lepotex.txt"));
    EXPECT_THROW(help.LoadManual({empty.path()}), EHelpError);
}

TEST_F(HelpTest, ViewerIsEditableInTheManualsFontAndOkCloses)
{
    THelpForm help;
    EXPECT_EQ(help.windowTitle(), "HelpForm");
    auto* red = help.findChild<QPlainTextEdit*>("red");
    ASSERT_NE(red, nullptr);
    EXPECT_FALSE(red->isReadOnly());
    EXPECT_EQ(QFontInfo(red->font()).pixelSize(), 16);
    help.show();
    QTest::mouseClick(help.findChild<QPushButton*>("btnOK"), Qt::LeftButton);
    EXPECT_FALSE(help.isVisible());
    EXPECT_EQ(help.result(), QDialog::Accepted);
}

TEST(AboutBox, ShowsDecodedLogoAndVersionAndClosesOnEnter)
{
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("jpeg"));
    const QImage logo = TAboutBox::Logo();
    ASSERT_FALSE(logo.isNull());
    EXPECT_EQ(logo.size(), QSize(227, 65));

    TAboutBox about;
    EXPECT_EQ(about.windowTitle(), "About");
    auto* version = about.findChild<QLabel*>("Version");
    ASSERT_NE(version, nullptr);
    EXPECT_EQ(version->text(), "Verze: ------------------");
    QTimer::singleShot(0, [&] {
        EXPECT_EQ(version->text(), "verze 1.2 (19.1.2003)");
        EXPECT_EQ(about.findChild<QLabel*>("ProductName")->text(), "Leptex");
        EXPECT_FALSE(about.findChild<QLabel*>("ProgramIcon")->pixmap().isNull());
        QTest::keyClick(&about, Qt::Key_Return);
    });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
}

}  // namespace
