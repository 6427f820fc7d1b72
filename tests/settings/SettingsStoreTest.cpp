#include "settings/SettingsStore.h"

#include <gtest/gtest.h>

#include "settings/Settings.h"
#include "settings/SettingsError.h"

using namespace lepotex;
using List = std::vector<std::string>;

TEST(Settings, DefaultsAreTheExactWindows1250Bytes)
{
    const Settings defaults = Settings::Defaults();
    EXPECT_TRUE(defaults.noCaps && defaults.indent && !defaults.smart && defaults.indentSize == 4);
    ASSERT_EQ(defaults.noGlue.size(), 16u);
    EXPECT_EQ(defaults.noGlue[1], "\xC8\xE1st");
    EXPECT_EQ(defaults.noGlue[15], "PROLOG");
    // Rules 2 and 7 as their byte listings; rules 3 to 6 put one to four spaces between the marks.
    EXPECT_EQ(defaults.autoReplace, (List{"sena\\se na", "\x93\x84\x5C\x93\x5E\x70\x84", "\x93 \x84\\\x93^p\x84",
                                          "\x93  \x84\\\x93^p\x84", "\x93   \x84\\\x93^p\x84",
                                          "\x93    \x84\\\x93^p\x84", "\x2C\x2C\x5C\x84"}));
}

TEST(Settings, ListsConvertToAndFromTheirStoredText)
{
    const std::pair<std::string, List> rows[] = {
        {"", {}}, {"\r\n", {""}}, {"a\nb\rc", {"a", "b", "c"}}, {"a\n\rb", {"a", "", "b"}},  // LF then CR: two breaks
        {"a\r\r\nb", {"a", "", "b"}}, {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}}, {" a \t\r\n", {" a \t"}},
    };
    for (const auto& [text, list] : rows)
        EXPECT_EQ(TextToList(text), list) << testing::PrintToString(text);
    EXPECT_EQ(ListToText({"a", "", "b", ""}), "a\r\n\r\nb\r\n\r\n");
}

TEST(SettingsStore, IntegerParsesSignsHexAndLeadingSpacesOnly)
{
    const std::pair<std::string, std::optional<int32_t>> rows[] = {
        {"   -12", -12}, {"+5", 5}, {"$10", 16}, {"x1F", 31}, {"0X7fffffff", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"", std::nullopt}, {"12abc", std::nullopt}, {"7 ", std::nullopt}, {"\t7", std::nullopt},
        {"2147483648", std::nullopt}, {"$80000000", std::nullopt}, {"--1", std::nullopt}, {"0x", std::nullopt},
    };
    for (const auto& [text, expected] : rows)
        EXPECT_EQ(ParseStoredInteger(text), expected) << text;
}
