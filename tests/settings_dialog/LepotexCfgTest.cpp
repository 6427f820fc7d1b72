#include "settings/dialog/LepotexCfg.h"

#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "../settings/FakeSettingsBackend.h"
#include "../QtApplicationEnvironment.h"
#include "settings/SettingsPersistence.h"

using namespace lepotex;
using List = std::vector<std::string>;

namespace {

template <class T>
T* Child(TLepotexConfigForm& dialog, const char* name)
{
    T* child = dialog.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}
void ClickOK(TLepotexConfigForm& dialog) { QTest::mouseClick(Child<QPushButton>(dialog, "btnOK"), Qt::LeftButton); }
QPlainTextEdit* Field(TLepotexConfigForm& dialog, const char* name) { return Child<QPlainTextEdit>(dialog, name); }

// Runs the menu command with `act` playing the user while the dialog is open.
class SettingsDialogTest : public testing::Test {
protected:
    bool RunDialog(const std::function<void(TLepotexConfigForm&)>& act,
                   SettingsLoadState state = SettingsLoadState::Loaded)
    {
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<TLepotexConfigForm*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            act(*dialog);
            if (dialog->isVisible())
                dialog->close();  // the window's close box
        });
        return TLepotexConfigForm::Edit(nullptr, settings, store, state);
    }

    FakeSettingsBackend::Log log;
    SettingsStore store{std::make_unique<FakeSettingsBackend>(log)};
    Settings settings = Settings::Defaults();
};

TEST_F(SettingsDialogTest, OkTakesLinesAsTheyStandAndStoresAllFive)
{
    const bool accepted = RunDialog([](TLepotexConfigForm& dialog) {
        EXPECT_TRUE(Field(dialog, "memoNelepit")->toPlainText().startsWith("Kapitola\nČást\nKniha\nDíl\n"));
        Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
        Child<QCheckBox>(dialog, "chkChytre")->setChecked(true);
        Child<QSpinBox>(dialog, "cedOdsazeni")->setValue(12);
        // Blank lines become empty entries, spaces stay, the final line break adds nothing.
        Field(dialog, "memoNelepit")->setPlainText("  Část  \n\nB \n");
        Field(dialog, "memoAuto")->setPlainText(QString::fromUtf8("“ „\\“^p„"));
        ClickOK(dialog);
    });
    EXPECT_TRUE(accepted);
    EXPECT_EQ(settings.noGlue, (List{"  \xC8\xE1st  ", "", "B "}));
    EXPECT_EQ(log.values, (std::map<std::string, std::string>{{"NoCaps", "1"},
                                                              {"Indent", "0"},
                                                              {"Indent size", "12"},
                                                              {"Smart", "1"},
                                                              {"NoGlue", "  \xC8\xE1st  \r\n\r\nB \r\n"},
                                                              {"AutoReplace", "\x93 \x84\\\x93^p\x84\r\n"}}));
}

TEST_F(SettingsDialogTest, ClosingWithoutOkKeepsTheSettingsAndStoresThemAgain)
{
    settings.noGlue = {"  a", "", "\x81\x98 b"};  // bytes without a letter survive the round trip
    settings.indentSize = 200;                     // shown as 80, kept unless OK
    const Settings before = settings;
    const bool accepted = RunDialog([](TLepotexConfigForm& dialog) {
        EXPECT_EQ(Child<QSpinBox>(dialog, "cedOdsazeni")->text(), "80");
        Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
        Field(dialog, "memoNelepit")->setPlainText("changed");
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(settings, before);
    EXPECT_EQ(log.values["Indent"], "1");
    EXPECT_EQ(log.values["Indent size"], "200");
    EXPECT_EQ(log.values["NoGlue"], "  a\r\n\r\n\x81\x98 b\r\n");

    // OK without a change gives back the very bytes, the size within its limit.
    RunDialog([](TLepotexConfigForm& dialog) { ClickOK(dialog); });
    EXPECT_EQ(settings.indentSize, 80);
    settings.indentSize = 200;
    EXPECT_EQ(settings, before);
    EXPECT_EQ(log.values["Indent size"], "80");

    // An emptied number field gives zero.
    RunDialog([](TLepotexConfigForm& dialog) {
        auto* field = Child<QSpinBox>(dialog, "cedOdsazeni");
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        ClickOK(dialog);  // takes the focus away from the field first, as a mouse click does
    });
    EXPECT_EQ(settings.indentSize, 0);
    EXPECT_EQ(log.values["Indent size"], "0");
}

TEST_F(SettingsDialogTest, CharacterOutsideTheCodePageIsRefusedByName)
{
    const Settings before = settings;
    const struct {
        QString typed;
        QString named;
        QString selected;
    } cases[] = {
        {QString::fromUtf8("Kapitola ✓"), QString::fromUtf8("„✓“ (U+2713)"), QString::fromUtf8("✓")},
        {QString::fromUtf8("Díl 😀"), QString::fromUtf8("„😀“ (U+1F600)"), QString::fromUtf8("😀")},
        {QStringLiteral("A\nB") + QChar(0) + QStringLiteral("C"), QStringLiteral("(U+0000)"), {}},  // would cut the list
    };
    for (const auto& c : cases) {
        QString shown;
        EXPECT_FALSE(RunDialog([&](TLepotexConfigForm& dialog) {
            Field(dialog, "memoAuto")->setPlainText(c.typed);
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                shown = box->text();
                box->accept();
            });
            ClickOK(dialog);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(Child<QTabWidget>(dialog, "pgcOdsazeni")->currentIndex(), 2);
            if (!c.selected.isEmpty()) {
                EXPECT_EQ(Field(dialog, "memoAuto")->textCursor().selectedText(), c.selected);
            }
        }));
        EXPECT_EQ(settings, before);
        EXPECT_TRUE(shown.contains(c.named)) << shown.toStdString();
    }
}

// After a failed read at start-up the values past the failing one were never read; the store
// still holds the user's own.
TEST_F(SettingsDialogTest, AfterFailedLoadOnlyWhatTheUserChangedIsWritten)
{
    const std::map<std::string, std::string> stored{
        {"NoCaps", "1"}, {"Indent", "1"}, {"Indent size", "7"}, {"NoGlue", "Mine\r\n"}, {"AutoReplace", "a\\b\r\n"}};
    log.values = stored;
    log.failingName = "Indent size";
    Settings readSoFar;
    EXPECT_THROW(LoadSettings(readSoFar, store), ESettingsError);
    log.failingName.clear();
    settings = readSoFar;

    RunDialog([](TLepotexConfigForm&) {}, SettingsLoadState::Failed);
    EXPECT_EQ(settings, readSoFar);
    EXPECT_EQ(log.values, stored);

    RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkNoGlueCAPS")->setChecked(false);
        Field(dialog, "memoAuto")->setPlainText("x\\y");
        ClickOK(dialog);
    }, SettingsLoadState::Failed);
    auto expected = stored;
    expected["NoCaps"] = "0";
    expected["AutoReplace"] = "x\\y\r\n";
    EXPECT_EQ(log.values, expected);

    // A store error is thrown after the values are taken.
    log.failingName = "NoGlue";
    EXPECT_THROW(RunDialog([](TLepotexConfigForm& dialog) {
                     Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
                     ClickOK(dialog);
                 }),
                 ESettingsError);
    EXPECT_FALSE(settings.indent);
}

}  // namespace
