#pragma once
// Books made for the smart glue's tests, and the glue itself as they run it.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/GlueRecord.h"

namespace lepotex::testing {

// A small hand-made book of plain words (no hyphen, no digit, in Windows-1250), wrapped
// greedily at `width`; `indent` spaces mark a paragraph, or a blank line when `blank`, or nothing.
// `jitter` > 0: each line's width falls short of `width` by up to jitter - 1, as justified lines
// in a proportional font hold more or fewer characters.
inline std::vector<std::string> Wrap(int paragraphs, std::size_t width, std::size_t indent, bool blank, unsigned seed = 7, unsigned jitter = 0)
{
    static const char* const words[] = {"a", "les", "domov", "cesta", "okno", "zahrada", "dlouho", "ticho",
                                        "kámen", "voda", "večer", "srdce", "přítel", "hvězda", "mlynář"};
    std::mt19937 rng(seed);
    std::vector<std::string> lines;
    for (int p = 0; p < paragraphs; ++p) {
        if (blank && p > 0)
            lines.emplace_back();
        std::string line = std::string(indent, ' ') + "Pak";
        for (int w = 8 + int(rng() % 40); w > 0; --w) {
            const std::string word = Utf8ToWindows1250(words[rng() % std::size(words)]) + (w == 1 ? "." : "");
            if (line.size() + 1 + word.size() > width - (jitter ? rng() % jitter : 0)) {
                lines.push_back(line);
                line = word;
            } else {
                line += ' ' + word;
            }
        }
        lines.push_back(line);
    }
    return lines;
}

// The text the smart glue makes of the lines, with the default settings but no replacement
// rules; `layout`, when given, gets what it found of their layout.
inline std::string SmartGlued(const std::vector<std::string>& lines, std::string* layout = nullptr)
{
    TextEditor editor;
    for (const std::string& line : lines)
        EXPECT_EQ(editor.InsertText(line + "\r\n"), 0);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    SilentReporter reporter;
    GlueRecord record;
    EXPECT_EQ(SlepitChytreExecute(editor, settings, reporter, &record).outcome, GlueOutcome::Done);
    if (layout)
        *layout = DescribeLayout(record.layout);
    return editor.Text();
}

}  // namespace lepotex::testing
