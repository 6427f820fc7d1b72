// The panel "Změny" after a glue, its steps F8 and F7, and "Vrátit lepení".
#include <QTest>
#include <QTreeView>
#include <gtest/gtest.h>

#include "AppTestSupport.h"
#include "app/ChangesPanel.h"
#include "editor/view/EditorView.h"

namespace lepotex::test {
namespace {

TEST(GlueReview, ThePanelStepsThroughTheDecisionsAndTheGlueComesUndoneWhole)
{
    TestWindow w;
    EXPECT_FALSE(w->pnlZmeny->isVisible());
    EXPECT_FALSE(w->actVratitLepeni->isEnabled());
    EXPECT_FALSE(w->actNextChange->isEnabled());
    w->OpenAtStart(SamplePath("mlyn.txt"));
    const std::string loaded = w.Editor().Text();
    w->Slepit->trigger();
    const std::string glued = w.Editor().Text();
    ASSERT_TRUE(w->pnlZmeny->isVisible());
    ASSERT_TRUE(w->actVratitLepeni->isEnabled());

    // The groups with their counts, the doubtful places first: here the two rules.
    ChangesModel* model = w->pnlZmeny->Model();
    QStringList groups;
    for (int row = 0; row < model->rowCount(); ++row)
        groups << model->index(row, 0).data().toString();
    EXPECT_EQ(groups, (QStringList{"K prověření (2)", "Automatické náhrady (2)", "Odstraněné řádky stránek (2)",
                                   "Odstraněná dělení slov (1)", "Ponechané odstavce (9)", "Slepené zlomy řádek (7)"}));

    // F8 from the text selects the first place: the rule that split "pozdě.“ „Tenhle".
    w->memoText->setFocus();
    QTest::keyClick(w->memoText, Qt::Key_F8);
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{9, 102}));
    EXPECT_EQ(w.Editor().SelectedText(), Utf8ToWindows1250("“"));
    QTest::keyClick(w->memoText, Qt::Key_F8);
    EXPECT_EQ(w.Editor().SelectedText(), Utf8ToWindows1250("se na"));
    QTest::keyClick(w->memoText, Qt::Key_F8);  // into the next group
    EXPECT_EQ(w.Editor().SelStart(), (ParaPos{9, 102}));
    QTest::keyClick(w->memoText, Qt::Key_F7);
    EXPECT_EQ(w.Editor().SelectedText(), Utf8ToWindows1250("se na"));
    // An entry chosen in the list selects its place too; Esc closes the panel.
    QTreeView* list = w->pnlZmeny->List();
    const QModelIndex hyphens = model->index(3, 0);
    list->setCurrentIndex(model->index(0, 0, hyphens));
    EXPECT_EQ(w.Editor().SelectedText(), Utf8ToWindows1250("vody,"));
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(w->pnlZmeny->isVisible());

    // "Vrátit lepení": edits made since are not dropped unasked; then the bytes as loaded
    // (that saving them gives the file back the end-to-end test shows).
    w.Type("!");
    w.prompts->answers.push_back(Answer::No);
    w->actVratitLepeni->trigger();
    EXPECT_NE(w.Editor().Text(), glued);
    EXPECT_TRUE(w->actVratitLepeni->isEnabled());
    w.prompts->answers.push_back(Answer::Yes);
    w->actVratitLepeni->trigger();
    EXPECT_EQ(w.Editor().Text(), loaded);
    EXPECT_FALSE(w->actVratitLepeni->isEnabled());
    EXPECT_FALSE(w->actNextChange->isEnabled());

    // Glued again, then a new document: nothing of the glue is kept.
    w->Slepit->trigger();
    EXPECT_EQ(w.Editor().Text(), glued);
    w.prompts->answers.push_back(Answer::No);
    w->FileNew1->trigger();
    EXPECT_FALSE(w->actVratitLepeni->isEnabled());
    EXPECT_TRUE(w->LastGlue().Empty());

    // The smart glue tells the layout it found.
    w->OpenAtStart(SamplePath("mlyn.txt"));
    w->actSlepitChytre->trigger();
    EXPECT_TRUE(w.LastShown().contains(QStringLiteral("\nRozvržení: "))) << w.LastShown().toStdString();
}

}  // namespace
}  // namespace lepotex::test
