#pragma once
// Helpers shared by the editor tests.
#include <string>
#include <vector>

#include "editor/TextEditor.h"

namespace lepotex::test {

inline std::vector<std::string> Paragraphs(const TextEditor& editor)
{
    std::vector<std::string> out;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        out.emplace_back(editor.ParaText(p));
    return out;
}

// What the counters must be, computed from the text itself.
inline void ExpectCountsConsistent(const TextEditor& editor)
{
    int64_t bytes = 0;
    int64_t lines = 0;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p) {
        bytes += int64_t(editor.ParaText(p).size());
        lines += editor.ParaLineCount(p);
    }
    bytes += 2 * (int64_t(editor.ParaCount()) - 1);
    if (bytes != editor.ByteCount() || lines != editor.LineCount())
        throw std::logic_error("counts out of step: bytes " + std::to_string(bytes) + " vs " +
                               std::to_string(editor.ByteCount()) + ", lines " + std::to_string(lines) + " vs " +
                               std::to_string(editor.LineCount()));
}

}  // namespace lepotex::test
