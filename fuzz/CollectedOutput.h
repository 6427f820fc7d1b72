#pragma once
// What a glue streamed into a file would hand over, kept in memory for comparing with the
// editor's paragraphs after the usual glue.
#include <string>
#include <string_view>
#include <vector>

#include "editor/TextEditor.h"
#include "engine/GlueCommands.h"

namespace lepotex::fuzz {

class CollectedOutput : public GluedTextOutput {
public:
    std::vector<std::string> paragraphs;

    bool Write(int64_t, const TextEditor::ParagraphProducer& produce) override
    {
        paragraphs.clear();
        produce([&](std::string_view text) { paragraphs.emplace_back(text); });
        return true;
    }
};

// The paragraphs a save writes: all but an empty last one.
inline std::vector<std::string> SavedParagraphs(std::vector<std::string> paragraphs)
{
    if (!paragraphs.empty() && paragraphs.back().empty())
        paragraphs.pop_back();
    return paragraphs;
}

}  // namespace lepotex::fuzz
