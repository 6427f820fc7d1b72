// "Slepit chytře" without replacement rules on any text: the editor stays sound, and the glued
// text holds every word of the book in order, less the lines taken for page furniture (a word
// broken at a line end may come back joined, with its hyphen or without it). Streamed into a
// file instead, it hands over the same paragraphs. Reading pages in two columns one column after
// the other only parts and moves lines: every word and form feed stays.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "CollectedOutput.h"
#include "EditorLines.h"
#include "FuzzEditorChecks.h"
#include "FuzzInput.h"
#include "WordsKept.h"
#include "editor/TextEditor.h"
#include "engine/Columns.h"
#include "engine/GlueCommands.h"
#include "engine/LineList.h"
#include "engine/ProgressReporter.h"

using namespace lepotex;

namespace {

void CheckColumnsKeepEveryWord(const std::vector<std::string>& lines)
{
    LineList list;
    for (const std::string& line : lines)
        list.AddView(line, true);
    if (SplitColumns(list) == 0)
        return;
    std::size_t feedsBefore = 0;
    std::size_t feedsAfter = 0;
    FUZZ_CHECK(testing::SortedWords(lines, feedsBefore) == testing::SortedWords(list.pieces, feedsAfter));
    FUZZ_CHECK(feedsBefore == feedsAfter);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t flags = in.Byte();
    Settings settings = (flags & 4) ? Settings::Defaults() : Settings{};
    settings.autoReplace.clear();
    settings.noCaps = (flags & 1) != 0;
    settings.indent = (flags & 2) != 0;
    settings.indentSize = uint8_t(flags >> 4);

    TextEditor editor, streamed;
    const std::string_view text = in.Rest();
    (void)editor.InsertText(text);
    (void)streamed.InsertText(text);
    editor.SetCaret(ParaPos{1, 1});
    streamed.SetCaret(ParaPos{1, 1});
    const std::vector<std::string> paragraphs = fuzz::Paragraphs(editor);
    const std::vector<std::string> before = testing::UnwrappedLines(editor);
    CheckColumnsKeepEveryWord(before);

    SilentReporter quiet;
    GlueOutcome outcome = GlueOutcome::Refused;
    try {
        outcome = SlepitChytreExecute(editor, settings, quiet).outcome;
    } catch (const EEditorError&) {
        fuzz::CheckEditor(editor);
        return 0;  // a limit of the editor: the text must still be sound
    }
    fuzz::CheckEditor(editor);
    fuzz::CollectedOutput output;
    Settings smart = settings;
    smart.smart = true;
    const GlueResult streamResult = SlepitExecute(streamed, smart, quiet, nullptr, OldText::Released, &output);
    FUZZ_CHECK(streamResult.outcome == outcome);
    if (streamResult.written)
        FUZZ_CHECK(output.paragraphs == fuzz::SavedParagraphs(fuzz::Paragraphs(editor)));
    else if (outcome == GlueOutcome::Done)
        FUZZ_CHECK(fuzz::Paragraphs(streamed) == fuzz::Paragraphs(editor));
    if (outcome == GlueOutcome::Refused) {
        FUZZ_CHECK(fuzz::Paragraphs(editor) == paragraphs);
        return 0;
    }
    const std::string problem = testing::WordsLostOrChanged(before, testing::UnwrappedLines(editor));
    if (!problem.empty())
        std::fprintf(stderr, "%s\n", problem.c_str());
    FUZZ_CHECK(problem.empty());
    return 0;
}
