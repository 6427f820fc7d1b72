#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include "settings/SettingsError.h"
#include "FakeSettingsBackend.h"

using namespace lepotex;

TEST(SettingsStore, OpenAndCloseNestAndTheKeyIsOpenedOnce)
{
    FakeSettingsBackend::Log log;
    SettingsStore store(std::make_unique<FakeSettingsBackend>(log));
    store.SetKeyName("\\\\Software\\Zuvra\\\\");
    EXPECT_EQ(store.KeyName(), "Software\\Zuvra");

    store.Open();
    store.Open();
    EXPECT_EQ(store.ReadString("s", "missing", "dflt"), "dflt");
    store.Close();
    EXPECT_EQ(log.closes, 0);
    store.Close();
    EXPECT_EQ(log.opens, 1);
    EXPECT_EQ(log.closes, 1);
    EXPECT_EQ(log.keyName, "Software\\Zuvra");
    store.Close();  // already at 0: nothing to close
    EXPECT_EQ(store.OpenCount(), 0);
    EXPECT_EQ(log.closes, 1);

    store.WriteString("s", "v", "x");  // a call outside Open brackets itself
    EXPECT_EQ(log.opens, 2);
    EXPECT_EQ(log.closes, 2);

    store.SetKeyName("unopenable");
    EXPECT_THROW(store.Open(), ESettingsError);
    EXPECT_EQ(store.OpenCount(), 0);
    store.SetKeyName("\\\\");
    EXPECT_EQ(store.KeyName(), "");
}

TEST(SettingsStore, IntegerParsesSignsHexAndLeadingSpacesOnly)
{
    const std::pair<std::string, std::optional<int32_t>> rows[] = {
        {"4", 4}, {" 7", 7}, {"   -12", -12}, {"+5", 5}, {"007", 7}, {"300", 300},
        {"$10", 16}, {"x1F", 31}, {"X1f", 31}, {"0x10", 16}, {"0X7fffffff", INT32_MAX},
        {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"", std::nullopt}, {"abc", std::nullopt}, {"12abc", std::nullopt}, {"7 ", std::nullopt},
        {"\t7", std::nullopt}, {"2147483648", std::nullopt}, {"-2147483649", std::nullopt},
        {"$80000000", std::nullopt}, {"99999999999999999999", std::nullopt}, {"--1", std::nullopt},
        {"+-1", std::nullopt}, {"-$10", std::nullopt}, {"$-10", std::nullopt}, {"$", std::nullopt},
        {"0x", std::nullopt}, {"- 1", std::nullopt}, {"1 2", std::nullopt},
    };
    for (const auto& [text, expected] : rows) {
        SCOPED_TRACE(text);
        EXPECT_EQ(ParseStoredInteger(text), expected);
    }

    // Stored text ends at its first NUL; the file tests cover the fallback and the write-back.
    FakeSettingsBackend::Log log;
    log.values["T"] = std::string("1\0" "2", 3);
    EXPECT_EQ(SettingsStore(std::make_unique<FakeSettingsBackend>(log)).ReadInteger("s", "T", 4), 1);
}
