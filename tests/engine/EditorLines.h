#pragma once
#include <string>
#include <vector>

#include "editor/TextEditor.h"

namespace lepotex::testing {

// What the commands read: every line as GetLine gives it with word wrap off; the editor's own
// setting is put back afterwards.
inline std::vector<std::string> UnwrappedLines(TextEditor& editor)
{
    const bool wrapped = editor.WordWrap();
    editor.SetWordWrap(false);
    std::vector<std::string> lines;
    for (int32_t n = 1; n <= editor.LineCount(); ++n)
        lines.push_back(editor.GetLine(n));
    editor.SetWordWrap(wrapped);
    return lines;
}

}  // namespace lepotex::testing
