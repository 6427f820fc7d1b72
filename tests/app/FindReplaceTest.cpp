// Find, find next and replace through the two modeless dialogs. How a search matches is the
// editor's; here, that the dialogs' texts and boxes reach it and its outcome reaches the user.
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
    w.Type("Petr a pes. Pes a Petr.\nPES?");
    w.Editor().SetCaret({1, 1});
    // F3 before any search looks for the empty text: nothing happens, nothing is shown.
    w->actFindNext->trigger();
    EXPECT_TRUE(w.prompts->shown.empty());

    w->actFind->trigger();
    w->dlgFind->edtFind->setText(QStringLiteral("pes"));
    w->dlgFind->btnFindNext->click();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{1, 8}));
    w->actFindNext->trigger();
    w->actFindNext->trigger();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 1}));
    w->actFindNext->trigger();
    ASSERT_EQ(w.prompts->shown.size(), 1u);
    EXPECT_EQ(w.prompts->shown[0].kind, Shown::Inform);
    EXPECT_EQ(w.LastShown(), NotFound(QStringLiteral("pes")));
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 1}));  // the selection stays where it was

    // A character the code page cannot hold is simply not found (not searched for as "?").
    w->dlgFind->edtFind->setText(QStringLiteral("✓"));
    w->dlgFind->btnFindNext->click();
    EXPECT_EQ(w.LastShown(), NotFound(QStringLiteral("✓")));

    // Upwards, with match case and whole words: past "PES" to the earlier "Pes".
    w->dlgFind->rbUp->setChecked(true);
    w->dlgFind->chkMatchCase->setChecked(true);
    w->dlgFind->chkWholeWord->setChecked(true);
    w->dlgFind->edtFind->setText(QStringLiteral("Pes"));
    w.Editor().SetCaret(w.Editor().EndOfText());
    w->dlgFind->btnFindNext->click();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{1, 13}));
    EXPECT_EQ(w->LastSearchOptions(), (SearchOptions{.backward = true, .matchCase = true, .wholeWord = true}));

}

TEST(FindReplace, ReplaceUsesItsOwnTextAndBoxesFromTheCaret)
{
    TestWindow w;
    w.Type("na nadace na\nna nad Na");
    w->dlgFind->rbUp->setChecked(true);  // the find dialog's own box: not the replace dialog's
    w->actReplace->trigger();
    w->dlgReplace->edtFind->setText(QStringLiteral("Na"));
    // Ticked after the dialog opened: the request takes the boxes as they are now, and its
    // text is the one F3 repeats.
    w->dlgReplace->chkMatchCase->setChecked(true);
    w.Editor().SetCaret({1, 1});
    w->dlgReplace->btnFindNext->click();
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{2, 8}));
    EXPECT_EQ(w->dlgFind->FindText(), QStringLiteral("Na"));

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

    // A replacement the code page cannot hold is refused before anything changes.
    w.Editor().SetCaret({1, 1});
    w->dlgReplace->edtFind->setText(QStringLiteral("nad"));
    w->dlgReplace->edtReplace->setText(QStringLiteral("✓"));
    w->dlgReplace->btnReplaceAll->click();
    EXPECT_EQ(w.Editor().Text(), "na NAdace NA\r\nNA nad NA");
    EXPECT_EQ(w.prompts->shown.back().kind, Shown::Plain);
}

}  // namespace
}  // namespace lepotex::test
