#pragma once
// The invariants of an editor that every edit must keep, checked from the text itself.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzInput.h"
#include "editor/TextEditor.h"

namespace lepotex::fuzz {

inline std::vector<std::string> Paragraphs(const TextEditor& editor)
{
    std::vector<std::string> paras;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        paras.emplace_back(editor.ParaText(p));
    return paras;
}

// A paragraph as a save writes it and a load reads it back: bytes 1 to 9 become spaces, and
// the line loses the blanks at its end (and a CR there, when LF ends the lines).
inline std::string AsSaved(std::string_view para, bool lf = false)
{
    std::string line(para);
    std::replace_if(line.begin(), line.end(), [](char c) { return c >= 0x01 && c <= 0x09; }, ' ');
    while (!line.empty() && (line.back() == ' ' || (lf && line.back() == '\r')))
        line.pop_back();
    return line;
}

// The counts agree with the paragraphs, no paragraph holds a NUL or exceeds the length limit,
// the caret and the bookmarks lie inside the text.
inline void CheckEditor(const TextEditor& editor)
{
    FUZZ_CHECK(editor.ParaCount() >= 1);
    int64_t bytes = 0;
    int64_t lines = 0;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p) {
        const std::string_view text = editor.ParaText(p);
        FUZZ_CHECK(text.find('\0') == std::string_view::npos);
        FUZZ_CHECK(int64_t(text.size()) <= TextEditor::kMaxParaLength);
        bytes += int64_t(text.size());
        const int32_t paraLines = editor.ParaLineCount(p);
        FUZZ_CHECK(paraLines >= 1);
        FUZZ_CHECK(!editor.WordWrap() ? paraLines == 1 : paraLines <= int32_t(text.size()) + 1);
        lines += paraLines;
    }
    bytes += 2 * (int64_t(editor.ParaCount()) - 1);
    FUZZ_CHECK(bytes == editor.ByteCount());
    FUZZ_CHECK(lines == editor.LineCount());
    for (const ParaPos pos : {editor.Caret(), editor.Anchor()}) {
        FUZZ_CHECK(pos.paraNo >= 1 && pos.paraNo <= editor.ParaCount());
        FUZZ_CHECK(pos.column >= 1 && pos.column <= int32_t(editor.ParaText(pos.paraNo).size()) + 1);
    }
    for (int n = 0; n <= 9; ++n) {
        const ParaPos mark = editor.Bookmark(n);
        if (mark.paraNo == 0) {
            FUZZ_CHECK(mark.column == 0);
            continue;
        }
        FUZZ_CHECK(mark.paraNo <= editor.ParaCount());
        FUZZ_CHECK(mark.column >= 1 && mark.column <= int32_t(editor.ParaText(mark.paraNo).size()) + 1);
    }
}

}  // namespace lepotex::fuzz
