#include "app/dialogs/LepotexAbout.h"
#include "app/dialogs/LepotexHelp.h"

#include <fstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../QtApplicationEnvironment.h"
#include "editor/Windows1250.h"

using namespace lepotex;

namespace {

// Runs in an empty working folder of its own, and comes back.
class HelpTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(QDir::setCurrent(workDir.path())); }
    void TearDown() override { QDir::setCurrent(oldDir); }

    QString oldDir = QDir::currentPath();
    QTemporaryDir workDir;
};

TEST_F(HelpTest, FindsTheManualBesideTheProgramWhenTheWorkingFolderHasNone)
{
    THelpForm help;
    help.LoadManual();
    EXPECT_EQ(help.ManualPath(), QDir(QCoreApplication::applicationDirPath()).filePath("Lepotex.txt"));

    // The manual as built: Windows-1250 with CR LF, shown as Unicode lines.
    QFile source(QStringLiteral(LEPOTEX_MANUAL_SOURCE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    QString expected = QString::fromStdU16String(DecodeWindows1250(source.readAll().toStdString()));
    EXPECT_EQ(help.Text(), expected.replace("\r\n", "\n"));
    EXPECT_TRUE(help.Text().contains(QString::fromUtf8("Slepit „přímou řeč“")));
}

// A manual that cannot be read empties the viewer: no old text stands for it.
TEST_F(HelpTest, WorkingFolderComesFirstInAnyOfItsEncodingsAndAMissingManualIsNamed)
{
    THelpForm help;
    const struct {
        QByteArray bytes;
        const char* text;
    } manuals[] = {
        {"{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}N\\'e1vod\\par P\\u345?\\'edli\\'9a}", "Návod\nPříliš"},
        {"Kapitola\r\nP\xF8\xEDli\x9A\rkon\xE8\xED\n", "Kapitola\nPříliš\nkončí\n"},
        {"\xEF\xBB\xBFNávod — ελληνικά\n", "Návod — ελληνικά\n"},  // every character of UTF-8 kept
    };
    for (const auto& manual : manuals) {
        std::ofstream("Lepotex.txt", std::ios::binary).write(manual.bytes.data(), manual.bytes.size());
        help.LoadManual();
        EXPECT_EQ(help.ManualPath(), QDir::current().filePath("Lepotex.txt"));
        EXPECT_EQ(help.Text(), QString::fromUtf8(manual.text));
    }

    QTemporaryDir empty;
    EXPECT_THAT([&] { help.LoadManual({empty.path(), empty.path() + "/none"}); },
                testing::ThrowsMessage<EHelpError>("Cannot open file Lepotex.txt"));
    EXPECT_EQ(help.Text(), "");
    EXPECT_EQ(help.ManualPath(), "");
    // A folder named like the manual is no manual.
    ASSERT_TRUE(QDir(empty.path()).mkdir("Lepotex.txt"));
    EXPECT_THROW(help.LoadManual({empty.path()}), EHelpError);
}

TEST(AboutBox, ShowsDecodedLogoAndVersionAndClosesOnEnter)
{
    EXPECT_EQ(TAboutBox::Logo().size(), QSize(227, 65));
    TAboutBox about;
    QTimer::singleShot(0, [&] { QTest::keyClick(&about, Qt::Key_Return); });
    EXPECT_EQ(about.exec(), QDialog::Accepted);
    EXPECT_EQ(about.findChild<QLabel*>("Version")->text(), "verze 1.2 (19.1.2003)");
}

}  // namespace
