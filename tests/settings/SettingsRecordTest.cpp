#include "settings/Settings.h"

#include <gtest/gtest.h>

using namespace lepotex;
using List = std::vector<std::string>;

TEST(Settings, DefaultsAreTheExactWindows1250Bytes)
{
    const Settings defaults = Settings::Defaults();
    EXPECT_TRUE(defaults.noCaps);
    EXPECT_TRUE(defaults.indent);
    EXPECT_EQ(defaults.indentSize, 4);

    ASSERT_EQ(defaults.noGlue.size(), 16u);
    EXPECT_EQ(defaults.noGlue[0], "Kapitola");
    EXPECT_EQ(defaults.noGlue[1], "\xC8\xE1st");
    EXPECT_EQ(defaults.noGlue[3], "D\xEDl");
    EXPECT_EQ(defaults.noGlue[12], "All rights reserved");
    EXPECT_EQ(defaults.noGlue[15], "PROLOG");

    // Rules 2 and 7 as their byte listings; rules 3 to 6 put one to four spaces between the marks.
    EXPECT_EQ(defaults.autoReplace, (List{"sena\\se na", "\x93\x84\x5C\x93\x5E\x70\x84", "\x93 \x84\\\x93^p\x84",
                                          "\x93  \x84\\\x93^p\x84", "\x93   \x84\\\x93^p\x84",
                                          "\x93    \x84\\\x93^p\x84", "\x2C\x2C\x5C\x84"}));
}

TEST(Settings, ListsConvertToAndFromTheirStoredText)
{
    struct Row {
        std::string text;
        List list;
    };
    const Row rows[] = {
        {"", {}},
        {"Kapitola", {"Kapitola"}},
        {"Kapitola\r\n", {"Kapitola"}},
        {"\r\n", {""}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"a\nb\rc", {"a", "b", "c"}},
        {"a\n\rb", {"a", "", "b"}},  // LF then CR are two breaks
        {"a\r\r\nb", {"a", "", "b"}},
        {std::string("a\r\nb\0c\r\nd", 9), {"a", "b"}},
        {" a \t\r\n", {" a \t"}},  // entries are never trimmed
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.text));
        EXPECT_EQ(TextToList(row.text), row.list);
    }
    EXPECT_EQ(ListToText({}), "");
    EXPECT_EQ(ListToText({"a", "", "b", ""}), "a\r\n\r\nb\r\n\r\n");
    EXPECT_EQ(TextToList(ListToText({"a", "", "b", ""})), (List{"a", "", "b", ""}));
}
