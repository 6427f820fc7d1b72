#include "settings/SettingsPersistence.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <numeric>

#include "editor/Windows1250.h"
#include "settings/IniSettingsBackend.h"
#include "settings/SettingsError.h"

using namespace lepotex;
using List = std::vector<std::string>;

namespace {

auto Fails(const std::string& message) { return testing::ThrowsMessage<ESettingsError>(message); }

// A private configuration folder per test, never the user's own settings.
class SettingsFile : public testing::Test {
protected:
    QString ConfPath() const { return dir.path() + "/Zuvra/Lepotex 1.2.conf"; }
    std::unique_ptr<SettingsStore> NewStore() const
    {
        return std::make_unique<SettingsStore>(
            std::make_unique<IniSettingsBackend>(QFile::encodeName(dir.path()).toStdString()));
    }
    Settings Load() const
    {
        Settings settings;
        LoadSettings(settings, *NewStore());
        return settings;
    }
    // A value as the file holds it, as Windows-1250 bytes.
    std::string Stored(const QString& name) const
    {
        return EncodeWindows1250(QSettings(ConfPath(), QSettings::IniFormat).value(name).toString().toStdU16String());
    }
    void Store(const QString& name, const QVariant& value) const
    {
        QSettings(ConfPath(), QSettings::IniFormat).setValue(name, value);
    }
    void StoreBytes(const QString& name, const std::string& bytes) const
    {
        Store(name, QString::fromStdU16String(DecodeWindows1250(bytes)));
    }
    QByteArray FileBytes() const
    {
        QFile file(ConfPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(SettingsFile, FirstStartStoresTheDefaultsReadably)
{
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(Load(), Settings::Defaults());
    EXPECT_EQ(Stored("NoCaps") + Stored("Indent") + Stored("Indent size") + Stored("Smart"), "1140");
    EXPECT_EQ(Stored("NoGlue"), ListToText(DefaultNoGlue()));
    EXPECT_TRUE(QString::fromUtf8(FileBytes()).contains(u"Kapitola\\r\\nČást\\r\\nKniha\\r\\nDíl"));
}

TEST_F(SettingsFile, IndentSizeKeepsTheLowByteAndIsWrittenBackReduced)
{
    const std::pair<std::string, uint8_t> rows[] = {{"300", 44}, {"-1", 255}, {"12abc", 4}, {"", 4}};
    for (const auto& [stored, expected] : rows) {
        StoreBytes("Indent size", stored);
        EXPECT_EQ(Load().indentSize, expected) << stored;
        EXPECT_EQ(Stored("Indent size"), std::to_string(expected)) << stored;
    }
}

TEST_F(SettingsFile, StoredFlagsAndListsReadAsTheirTextSaysAndMissingOnesAreFilledIn)
{
    StoreBytes("NoCaps", "10");
    StoreBytes("Indent", "");
    StoreBytes("NoGlue", "\r\n");
    Store("AutoReplace", QByteArray());  // an empty value of another type reads as empty text
    Settings settings = Load();
    EXPECT_TRUE(settings.noCaps && !settings.indent);
    EXPECT_EQ(settings.noGlue, List{""});  // one empty entry, so no defaults
    EXPECT_EQ(settings.autoReplace, DefaultAutoReplace());
    EXPECT_EQ(Stored("Smart"), "0");  // settings stored before Smart existed read it as off

    StoreBytes("NoCaps", "yes");
    StoreBytes("NoGlue", "");
    StoreBytes("AutoReplace", "a\nb\rc");
    settings = Load();
    EXPECT_FALSE(settings.noCaps);
    EXPECT_EQ(settings.noGlue, DefaultNoGlue());
    EXPECT_EQ(settings.autoReplace, (List{"a", "b", "c"}));
    EXPECT_EQ(Stored("AutoReplace"), "a\r\nb\r\nc\r\n");
}

TEST_F(SettingsFile, SavedSettingsAndEveryByteValueComeBackExactly)
{
    std::string allBytes(255, '\0');
    std::iota(allBytes.begin(), allBytes.end(), char(1));
    NewStore()->WriteString(kSettingsSection, "Everything", allBytes);
    EXPECT_EQ(NewStore()->ReadString(kSettingsSection, "Everything", ""), allBytes);
    // Stored text ends at its first NUL.
    StoreBytes("T", std::string("1\0" "2", 3));
    ASSERT_EQ(Stored("T").size(), 3u);
    EXPECT_EQ(NewStore()->ReadInteger(kSettingsSection, "T", 4), 1);

    // Saved settings are read back as they were; entries that mean something to the file
    // format stay plain text.
    const Settings settings{.noGlue = {"Hlava", ""},
                            .autoReplace = {" leading", "trailing ", "@at", "\"quoted\"", "a;b,c=d", "back\\slash\\",
                                            "[x]", "#c"},
                            .noCaps = false, .indent = true, .indentSize = 80, .smart = true};
    SaveSettings(settings, *NewStore());
    EXPECT_EQ(Load(), settings);
}

TEST_F(SettingsFile, AValueOfAnotherTypeStopsLoadingWhereItStandsAndWritesNothing)
{
    StoreBytes("NoCaps", "0");
    Store("Indent size", 5);  // stored as @Variant(...)
    const QByteArray before = FileBytes();
    Settings settings;
    auto store = NewStore();
    EXPECT_THAT([&] { LoadSettings(settings, *store); }, Fails("Invalid data type for 'Indent size'"));
    EXPECT_EQ(FileBytes(), before);
    EXPECT_EQ(store->OpenCount(), 0);

    Store("Indent size", QStringList{"a", "b"});  // what unquoted commas make of a hand edit
    EXPECT_THAT([&] { Load(); }, Fails("Invalid data type for 'Indent size'"));
}

TEST_F(SettingsFile, UnreadableOrUnwritableFileNamesTheValueAndKeepsTheFile)
{
    // A file where the key's folder should be: the key cannot be made.
    ASSERT_TRUE(QFile(dir.path() + "/Zuvra").open(QIODevice::WriteOnly));
    EXPECT_THAT([&] { Load(); }, Fails("Failed to create key Lepotex 1.2"));
    ASSERT_TRUE(QFile::remove(dir.path() + "/Zuvra"));

    // A file that does not parse is not rewritten without the lines it could not read.
    QDir().mkpath(dir.path() + "/Zuvra");
    QFile broken(ConfPath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("[General\nNoCaps=0\n");
    broken.close();
    const QByteArray before = FileBytes();
    EXPECT_THAT([&] { Load(); }, Fails("Failed to get data for 'NoCaps'"));
    EXPECT_THAT([&] { NewStore()->WriteBoolean(kSettingsSection, "NoCaps", true); },
                Fails("Failed to set data for 'NoCaps'"));
    EXPECT_EQ(FileBytes(), before);
}
