#include "settings/dialog/LepotexCfg.h"

#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include "../settings/FakeSettingsBackend.h"
#include "../QtApplicationEnvironment.h"
#include "editor/Windows1250.h"
#include "settings/SettingsPersistence.h"

using namespace lepotex;
using List = std::vector<std::string>;

namespace {

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

    template <class T>
    static T* Child(TLepotexConfigForm& dialog, const char* name)
    {
        T* child = dialog.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void ClickOK(TLepotexConfigForm& dialog) { QTest::mouseClick(Child<QPushButton>(dialog, "btnOK"), Qt::LeftButton); }
    static QString FieldText(TLepotexConfigForm& dialog, const char* name)
    {
        return Child<QPlainTextEdit>(dialog, name)->toPlainText();
    }

    std::map<std::string, std::string> StoredDefaults() const
    {
        const Settings defaults = Settings::Defaults();
        return {{"NoCaps", "1"},
                {"Indent", "1"},
                {"Indent size", "4"},
                {"NoGlue", ListToText(defaults.noGlue)},
                {"AutoReplace", ListToText(defaults.autoReplace)}};
    }

    FakeSettingsBackend::Log log;
    SettingsStore store{std::make_unique<FakeSettingsBackend>(log)};
    Settings settings = Settings::Defaults();
};

TEST_F(SettingsDialogTest, OpensOnFirstTabWithTheSettingsAsUnicodeLines)
{
    RunDialog([](TLepotexConfigForm& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Lepotex - nastavení");
        auto* tabs = Child<QTabWidget>(dialog, "pgcOdsazeni");
        ASSERT_EQ(tabs->count(), 3);
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_EQ(tabs->tabText(0), "Nastavení");
        EXPECT_EQ(tabs->tabText(1), "Nelepit");
        EXPECT_EQ(tabs->tabText(2), "Automatické opravy");
        EXPECT_TRUE(Child<QCheckBox>(dialog, "chkOdsazeni")->isChecked());
        EXPECT_TRUE(Child<QCheckBox>(dialog, "chkNoGlueCAPS")->isChecked());
        EXPECT_EQ(Child<QSpinBox>(dialog, "cedOdsazeni")->text(), "4");
        const QString noGlue = FieldText(dialog, "memoNelepit");
        EXPECT_TRUE(noGlue.startsWith("Kapitola\nČást\nKniha\nDíl\n")) << noGlue.toStdString();
        EXPECT_TRUE(noGlue.endsWith("PROLOG\n"));
        EXPECT_TRUE(FieldText(dialog, "memoAuto").contains(QString::fromUtf8("“„\\“^p„\n")));
        EXPECT_EQ(dialog.findChildren<QPushButton*>().size(), 1);
    });
}

TEST_F(SettingsDialogTest, OkTakesLinesAsTheyStandAndStoresAllFive)
{
    const bool accepted = RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
        Child<QCheckBox>(dialog, "chkNoGlueCAPS")->setChecked(false);
        Child<QSpinBox>(dialog, "cedOdsazeni")->setValue(12);
        // Blank lines become empty entries, spaces stay, the final line break adds nothing.
        Child<QPlainTextEdit>(dialog, "memoNelepit")->setPlainText("  Část  \n\nB \n");
        Child<QPlainTextEdit>(dialog, "memoAuto")->setPlainText(QString::fromUtf8("“ „\\“^p„"));
        ClickOK(dialog);
    });
    EXPECT_TRUE(accepted);
    EXPECT_FALSE(settings.indent);
    EXPECT_FALSE(settings.noCaps);
    EXPECT_EQ(settings.indentSize, 12);
    EXPECT_EQ(settings.noGlue, (List{"  \xC8\xE1st  ", "", "B "}));
    EXPECT_EQ(settings.autoReplace, (List{"\x93 \x84\\\x93^p\x84"}));
    EXPECT_EQ(log.values["NoCaps"], "0");
    EXPECT_EQ(log.values["Indent"], "0");
    EXPECT_EQ(log.values["Indent size"], "12");
    EXPECT_EQ(log.values["NoGlue"], "  \xC8\xE1st  \r\n\r\nB \r\n");
    EXPECT_EQ(log.values["AutoReplace"], "\x93 \x84\\\x93^p\x84\r\n");

    // Emptied fields give empty lists, stored empty.
    RunDialog([](TLepotexConfigForm& dialog) {
        Child<QPlainTextEdit>(dialog, "memoNelepit")->clear();
        Child<QPlainTextEdit>(dialog, "memoAuto")->clear();
        ClickOK(dialog);
    });
    EXPECT_TRUE(settings.noGlue.empty());
    EXPECT_TRUE(settings.autoReplace.empty());
    EXPECT_EQ(log.values["NoGlue"], "");
}

TEST_F(SettingsDialogTest, ClosingWithoutOkKeepsTheSettingsAndStoresThemAgain)
{
    settings.noGlue = {"  a", "", "\x81\x98 b"};  // bytes without a letter survive the round trip
    const Settings before = settings;
    const bool accepted = RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
        Child<QPlainTextEdit>(dialog, "memoNelepit")->setPlainText("changed");
    });
    EXPECT_FALSE(accepted);
    EXPECT_EQ(settings, before);
    EXPECT_EQ(log.values["Indent"], "1");
    EXPECT_EQ(log.values["NoGlue"], "  a\r\n\r\n\x81\x98 b\r\n");

    // OK without a change gives back the very bytes.
    RunDialog([](TLepotexConfigForm& dialog) { ClickOK(dialog); });
    EXPECT_EQ(settings, before);
}

TEST_F(SettingsDialogTest, IndentSizeAbove80IsShownAs80AndKeptUnlessOk)
{
    settings.indentSize = 200;
    RunDialog([](TLepotexConfigForm& dialog) { EXPECT_EQ(Child<QSpinBox>(dialog, "cedOdsazeni")->text(), "80"); });
    EXPECT_EQ(settings.indentSize, 200);
    EXPECT_EQ(log.values["Indent size"], "200");

    RunDialog([](TLepotexConfigForm& dialog) { ClickOK(dialog); });
    EXPECT_EQ(settings.indentSize, 80);
    EXPECT_EQ(log.values["Indent size"], "80");
}

TEST_F(SettingsDialogTest, EmptyNumberFieldGivesZero)
{
    RunDialog([](TLepotexConfigForm& dialog) {
        auto* field = Child<QSpinBox>(dialog, "cedOdsazeni");
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Backspace);
        EXPECT_EQ(field->text(), "");
        ClickOK(dialog);  // takes the focus away from the field first, as a mouse click does
    });
    EXPECT_EQ(settings.indentSize, 0);
    EXPECT_EQ(log.values["Indent size"], "0");
}

TEST_F(SettingsDialogTest, CharacterOutsideTheCodePageIsRefusedByName)
{
    const Settings before = settings;
    for (const char* typed : {"Kapitola ✓", "Díl 😀", "A\nB\nC"}) {
        SCOPED_TRACE(typed);
        const bool nul = std::string_view(typed) == "A\nB\nC";
        QString shown;
        bool stillOpen = false;
        QString selected;
        const bool accepted = RunDialog([&](TLepotexConfigForm& dialog) {
            QString text = QString::fromUtf8(typed);
            if (nul)
                text[3] = QChar(0);  // a NUL would cut the stored list short
            Child<QPlainTextEdit>(dialog, "memoAuto")->setPlainText(text);
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                EXPECT_EQ(box->windowTitle(), "Lepotex");
                shown = box->text();
                box->accept();
            });
            ClickOK(dialog);
            stillOpen = dialog.isVisible();
            EXPECT_EQ(Child<QTabWidget>(dialog, "pgcOdsazeni")->currentIndex(), 2);
            selected = Child<QPlainTextEdit>(dialog, "memoAuto")->textCursor().selectedText();
        });
        EXPECT_FALSE(accepted);
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(settings, before);
        if (std::string_view(typed) == "Kapitola ✓") {
            EXPECT_EQ(shown, TLepotexConfigForm::UnencodableMessage(U'✓'));
            EXPECT_TRUE(shown.contains(QString::fromUtf8("„✓“ (U+2713)"))) << shown.toStdString();
            EXPECT_EQ(selected, QString::fromUtf8("✓"));
        } else if (nul) {
            EXPECT_TRUE(shown.contains("(U+0000)")) << shown.toStdString();
        } else {
            EXPECT_TRUE(shown.contains(QString::fromUtf8("„😀“ (U+1F600)"))) << shown.toStdString();
            EXPECT_EQ(selected, QString::fromUtf8("😀"));
        }
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
    readSoFar.noGlue.clear();
    readSoFar.autoReplace.clear();
    readSoFar.noCaps = readSoFar.indent = false;
    readSoFar.indentSize = 0;
    EXPECT_THROW(LoadSettings(readSoFar, store), ESettingsError);
    log.failingName.clear();
    settings = readSoFar;

    RunDialog([](TLepotexConfigForm&) {}, SettingsLoadState::Failed);
    EXPECT_EQ(settings, readSoFar);
    EXPECT_EQ(log.values, stored);

    RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkNoGlueCAPS")->setChecked(false);
        Child<QPlainTextEdit>(dialog, "memoAuto")->setPlainText("x\\y");
        ClickOK(dialog);
    }, SettingsLoadState::Failed);
    EXPECT_FALSE(settings.noCaps);
    auto expected = stored;
    expected["NoCaps"] = "0";
    expected["AutoReplace"] = "x\\y\r\n";
    EXPECT_EQ(log.values, expected);
}

TEST_F(SettingsDialogTest, StoreErrorIsThrownAfterTheValuesAreTaken)
{
    log.failingName = "NoGlue";
    EXPECT_THROW(RunDialog([](TLepotexConfigForm& dialog) {
                     Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
                     ClickOK(dialog);
                 }),
                 ESettingsError);
    EXPECT_FALSE(settings.indent);
    EXPECT_EQ(log.values["Indent"], "0");
}

}  // namespace
