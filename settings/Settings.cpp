#include "settings/Settings.h"

namespace lepotex {

Settings Settings::Defaults()
{
    Settings settings;
    settings.noGlue = DefaultNoGlue();
    settings.autoReplace = DefaultAutoReplace();
    return settings;
}

std::vector<std::string> DefaultNoGlue()
{
    // Windows-1250 bytes: 0xC8 "Č", 0xE1 "á", 0xED "í".
    return {
        "Kapitola",
        "\xC8\xE1" "st",  // "Část"
        "Kniha",
        "D\xED" "l",  // "Díl"
        "ISBN",
        "(c)",
        "(Publishers)",
        "Skeny",
        "Mirror",
        "Digitalizoval",
        "Email",
        "Copyright",
        "All rights reserved",
        "Translation",
        "Cover",
        "PROLOG",
    };
}

std::vector<std::string> DefaultAutoReplace()
{
    // 0x93 is the closing mark U+201C, 0x84 the opening mark U+201E; "^p" in a replacement
    // is a line break. Rules 2 to 6 split a paragraph between a closing and an opening mark
    // with no to four spaces between them.
    return {
        "sena\\se na",
        "\x93\x84\\\x93^p\x84",
        "\x93 \x84\\\x93^p\x84",
        "\x93  \x84\\\x93^p\x84",
        "\x93   \x84\\\x93^p\x84",
        "\x93    \x84\\\x93^p\x84",
        ",,\\\x84",
    };
}

std::string ListToText(const std::vector<std::string>& list)
{
    std::string text;
    for (const std::string& entry : list) {
        text += entry;
        text += "\r\n";
    }
    return text;
}

std::vector<std::string> TextToList(std::string_view text)
{
    text = text.substr(0, text.find('\0'));
    std::vector<std::string> list;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            list.emplace_back(text.substr(start));
            break;
        }
        list.emplace_back(text.substr(start, end - start));
        start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return list;
}

}  // namespace lepotex
