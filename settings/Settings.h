#pragma once
// The values that steer the glue pipeline, with their built-in defaults. Text is
// Windows-1250 bytes, as everywhere in the core.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lepotex {

struct Settings {
    std::vector<std::string> noGlue;       // line prefixes that keep a line from being glued
    std::vector<std::string> autoReplace;  // "search\replacement" rules
    bool noCaps = true;                    // a line wholly in capitals is never glued
    bool indent = true;                    // indent every paragraph after gluing
    uint8_t indentSize = 4;
    // Glue by what the book's layout shows (its width, paragraph mark, page furniture and
    // hyphenation) before the line tests; off gives the plain glue's bytes.
    bool smart = false;

    // The record with the default lists filled in.
    static Settings Defaults();
    bool operator==(const Settings&) const = default;
};

std::vector<std::string> DefaultNoGlue();
std::vector<std::string> DefaultAutoReplace();

// The stored form of a list: every entry followed by CR LF, the last one too; an empty
// list gives the empty text.
[[nodiscard]] std::string ListToText(const std::vector<std::string>& list);
// Cuts a text into entries at every CR LF, lone CR or lone LF. A break at the very end adds
// no empty entry, two breaks in a row give an empty entry between them, and a NUL ends the
// text.
[[nodiscard]] std::vector<std::string> TextToList(std::string_view text);

}  // namespace lepotex
