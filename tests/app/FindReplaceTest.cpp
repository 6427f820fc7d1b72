// Find, find next and replace through the two modeless dialogs.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/FindDialog.h"
#include "app/ReplaceDialog.h"

namespace lepotex::test {
namespace {

QString NotFound(const QString& text) { return QStringLiteral("Hledaný text '%1' nelze najít").arg(text); }

TEST(FindReplace, FindTakesTheDialogsOptionsAndF3Repeats)
{
    TestWindow w;
    w.Type("Petr a pes. Pes a Petr.\nPES");
    w.Editor().SetCaret({1, 1});
    // F3 before any search looks for the empty text: nothing happens, nothing is shown.
    w->actFindNext->trigger();
    EXPECT_TRUE(w.prompts->shown.empty());

    w->actFind->trigger();
    EXPECT_FALSE(w->dlgFind->isModal());
    w->dlgFind->edtFind->setText(QString(300, QLatin1Char('a')));
    EXPECT_EQ(w->dlgFind->FindText().size(), 255);
    w->dlgFind->edtFind->setText(QStringLiteral("pes"));
    w->dlgFind->btnFindNext->click();
    EXPECT_FALSE(w->dlgFind->isVisible());  // a find request closes the find dialog
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{1, 8}));
    w->actFindNext->trigger();
    w->actFindNext->trigger();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 1}));
    w->actFindNext->trigger();
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Inform);
    EXPECT_EQ(w.LastShown(), NotFound(QStringLiteral("pes")));
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 1}));  // the selection stays where it was

    // Upwards, with match case: the earlier "Pes", then nothing more (no wrap-around).
    w->dlgFind->rbUp->setChecked(true);
    w->dlgFind->chkMatchCase->setChecked(true);
    w->dlgFind->edtFind->setText(QStringLiteral("Pes"));
    w->dlgFind->btnFindNext->click();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{1, 13}));
    EXPECT_EQ(w->LastSearchOptions(), (SearchOptions{.backward = true, .matchCase = true}));
    w->actFindNext->trigger();
    EXPECT_EQ(w.prompts->shown.size(), 2u);

    // Whole words only.
    w->dlgFind->rbDown->setChecked(true);
    w->dlgFind->chkMatchCase->setChecked(false);
    w->dlgFind->chkWholeWord->setChecked(true);
    w->dlgFind->edtFind->setText(QStringLiteral("pe"));
    w.Editor().SetCaret({1, 1});
    w->dlgFind->btnFindNext->click();
    EXPECT_EQ(w.LastShown(), NotFound(QStringLiteral("pe")));
    EXPECT_EQ(w->LastSearchOptions(), (SearchOptions{.wholeWord = true}));

    // A character the code page cannot hold is simply not found (not searched for as "?").
    w.Type("?");
    w.Editor().SetCaret({1, 1});
    w->dlgFind->chkWholeWord->setChecked(false);
    for (const QString& text : {QStringLiteral("€€"), QStringLiteral("✓")}) {  // € is in Windows-1250
        w->dlgFind->edtFind->setText(text);
        w->dlgFind->btnFindNext->click();
        EXPECT_EQ(w.LastShown(), NotFound(text));
    }
}

TEST(FindReplace, ReplaceUsesItsOwnTextAndBoxesFromTheCaret)
{
    TestWindow w;
    w.Type("na nadace na\nna nad Na");
    w->dlgFind->edtFind->setText(QStringLiteral("jiné"));
    w->dlgFind->rbUp->setChecked(true);
    w->actReplace->trigger();
    EXPECT_FALSE(w->dlgReplace->isModal());
    EXPECT_EQ(w->dlgReplace->edtReplace->maxLength(), 255);
    w->dlgReplace->edtFind->setText(QStringLiteral("Na"));
    // Ticked after the dialog opened: the request takes the boxes as they are now, and its
    // text is the one F3 repeats.
    w->dlgReplace->chkMatchCase->setChecked(true);
    w.Editor().SetCaret({1, 1});
    w->dlgReplace->btnFindNext->click();
    EXPECT_TRUE(w->dlgReplace->isVisible());
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 8}));
    EXPECT_EQ(w->dlgFind->FindText(), QStringLiteral("Na"));
    EXPECT_TRUE(w.prompts->shown.empty());

    // Replace selects the next occurrence first, then replaces it on the next press.
    w->dlgReplace->chkMatchCase->setChecked(false);
    w->dlgReplace->edtFind->setText(QStringLiteral("na"));
    w->dlgReplace->edtReplace->setText(QStringLiteral("NA"));
    w.Editor().SetCaret({1, 4});
    w->dlgReplace->btnReplace->click();
    EXPECT_EQ(w.Editor().Text(), "na nadace na\r\nna nad Na");
    w->dlgReplace->btnReplace->click();
    EXPECT_EQ(w.Editor().Text().substr(0, 12), "na NAdace na");

    // "whole word" ticked after opening: replace all now leaves "nad" alone, and the "na"
    // before the caret stays.
    w->dlgReplace->chkWholeWord->setChecked(true);
    w.Editor().SetCaret({1, 4});
    w->dlgReplace->btnReplaceAll->click();
    EXPECT_EQ(w.Editor().Text(), "na NAdace NA\r\nNA nad NA");
    EXPECT_EQ(w->LastSearchOptions(), (SearchOptions{.replaceAll = true, .wholeWord = true}));

    // Nothing left to replace from here on: the not-found message with the replace text.
    w->dlgReplace->edtFind->setText(QStringLiteral("xyz"));
    w->dlgReplace->btnReplaceAll->click();
    EXPECT_EQ(w.LastShown(), NotFound(QStringLiteral("xyz")));

    // A replacement the code page cannot hold is refused before anything changes.
    const std::string before = w.Editor().Text();
    w.Editor().SetCaret({1, 1});
    w->dlgReplace->edtFind->setText(QStringLiteral("nad"));
    w->dlgReplace->edtReplace->setText(QStringLiteral("✓"));
    w->dlgReplace->btnReplaceAll->click();
    EXPECT_EQ(w.Editor().Text(), before);
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);
    w->dlgReplace->btnCancel->click();
    EXPECT_FALSE(w->dlgReplace->isVisible());
}

}  // namespace
}  // namespace lepotex::test
