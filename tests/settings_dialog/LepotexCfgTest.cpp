#include "settings/dialog/LepotexCfg.h"

#include <functional>

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "../settings/FakeSettingsBackend.h"
#include "../QtApplicationEnvironment.h"
#include "settings/SettingsPersistence.h"

using namespace lepotex;
using Values = std::map<std::string, std::string>;

namespace {

template <class T = QPlainTextEdit>  // a missing child crashes the test, which fails it
T* Child(TLepotexConfigForm& dialog, const char* name) { return dialog.findChild<T*>(QString::fromLatin1(name)); }
void ClickOK(TLepotexConfigForm& dialog) { QTest::mouseClick(Child<QPushButton>(dialog, "btnOK"), Qt::LeftButton); }

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

TEST_F(SettingsDialogTest, ClosingKeepsTheSettingsAndOkTakesTheFieldsAsTheyStand)
{
    settings.noGlue = {"  a", "", "\x81\x98 b"};  // bytes without a letter survive the round trip
    settings.indentSize = 200;                     // shown as 80, kept unless OK
    const Settings before = settings;
    EXPECT_FALSE(RunDialog([](TLepotexConfigForm& dialog) {
        EXPECT_EQ(Child<QSpinBox>(dialog, "cedOdsazeni")->text(), "80");
        Child<QCheckBox>(dialog, "chkOdsazeni")->setChecked(false);
        Child(dialog, "memoNelepit")->setPlainText("changed");
    }));
    EXPECT_EQ(settings, before);
    EXPECT_EQ(log.values["Indent size"], "200");
    EXPECT_EQ(log.values["NoGlue"], "  a\r\n\r\n\x81\x98 b\r\n");

    // OK without a change gives back the very bytes, the size within its limit.
    RunDialog([](TLepotexConfigForm& dialog) { ClickOK(dialog); });
    EXPECT_EQ(log.values["Indent size"], "80");
    settings.indentSize = 200;
    EXPECT_EQ(settings, before);

    EXPECT_TRUE(RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkChytre")->setChecked(true);
        Child<QSpinBox>(dialog, "cedOdsazeni")->setValue(12);
        // Blank lines become empty entries, spaces stay, the final line break adds nothing.
        Child(dialog, "memoNelepit")->setPlainText("  Část  \n\nB \n");
        Child(dialog, "memoAuto")->setPlainText(QString::fromUtf8("“ „\\“^p„"));
        ClickOK(dialog);
    }));
    EXPECT_EQ(log.values, (Values{{"NoCaps", "1"}, {"Indent", "1"}, {"Indent size", "12"}, {"Smart", "1"},
                                  {"NoGlue", "  \xC8\xE1st  \r\n\r\nB \r\n"},
                                  {"AutoReplace", "\x93 \x84\\\x93^p\x84\r\n"}}));
}

// A surrogate pair is named as one character; a NUL would cut the stored list short.
TEST_F(SettingsDialogTest, CharacterOutsideTheCodePageIsRefusedByName)
{
    const Settings before = settings;
    const QString emoji = QString::fromUtf8("😀"), nul(QChar(0));
    for (const auto& [typed, bad, code] : {std::tuple{"Díl " + emoji, emoji, "U+1F600"},
                                           std::tuple{"A\nB" + nul + "C", nul, "U+0000"}}) {
        QString shown;
        EXPECT_FALSE(RunDialog([&](TLepotexConfigForm& dialog) {
            Child(dialog, "memoAuto")->setPlainText(typed);
            QTimer::singleShot(0, [&] {
                auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                ASSERT_NE(box, nullptr);
                shown = box->text();
                box->accept();
            });
            ClickOK(dialog);
            EXPECT_TRUE(dialog.isVisible());
            EXPECT_EQ(Child(dialog, "memoAuto")->textCursor().selectedText(), bad);  // shown to the user
        }));
        EXPECT_EQ(settings, before);
        EXPECT_TRUE(shown.contains(QLatin1String(code))) << shown.toStdString();
    }
}

// After a failed read at start-up the values past the failing one were never read; the store
// still holds the user's own.
TEST_F(SettingsDialogTest, AfterFailedLoadOnlyWhatTheUserChangedIsWritten)
{
    const Values stored{
        {"NoCaps", "1"}, {"Indent", "1"}, {"Indent size", "7"}, {"NoGlue", "Mine\r\n"}, {"AutoReplace", "a\\b\r\n"}};
    log.values = stored;
    log.failingName = "Indent size";
    EXPECT_THROW(LoadSettings(settings, store), ESettingsError);
    log.failingName.clear();
    const Settings readSoFar = settings;

    RunDialog([](TLepotexConfigForm&) {}, SettingsLoadState::Failed);
    EXPECT_EQ(settings, readSoFar);
    EXPECT_EQ(log.values, stored);

    RunDialog([](TLepotexConfigForm& dialog) {
        Child<QCheckBox>(dialog, "chkNoGlueCAPS")->setChecked(false);
        Child(dialog, "memoAuto")->setPlainText("x\\y");
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
