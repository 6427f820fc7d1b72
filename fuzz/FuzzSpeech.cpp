// "Slepit „přímou řeč“" on any text: the linear scan equals the literal one, on the collected
// text directly and through the whole command in the editor.
#include <cstdint>
#include <string>
#include <vector>

#include "EditorLines.h"
#include "FuzzEditorChecks.h"
#include "FuzzInput.h"
#include "LiteralReference.h"
#include "editor/TextEditor.h"
#include "engine/DirectSpeech.h"
#include "engine/GlueCommands.h"
#include "engine/ProgressReporter.h"

using namespace lepotex;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The scan itself, on the bytes as they come.
    std::string literal = text;
    std::string linear = text;
    const int64_t literalSteps = literal::JoinSpeechSpans(literal);
    FUZZ_CHECK(JoinSpeechSpans(linear) == literalSteps);
    FUZZ_CHECK(linear == literal);

    // The command: the lines collected with CR after each, scanned, and inserted back.
    TextEditor editor;
    (void)editor.InsertText(text);
    const std::vector<std::string> before = fuzz::Paragraphs(editor);
    TextEditor expected;
    const bool expectedFailed = !literal::SpeechIntoEditor(testing::UnwrappedLines(editor), expected);

    SilentReporter quiet;
    GlueOutcome outcome = GlueOutcome::Refused;
    try {
        outcome = actPrimaRecExecute(editor, quiet).outcome;
    } catch (const EEditorError&) {
        FUZZ_CHECK(expectedFailed);
        fuzz::CheckEditor(editor);
        return 0;
    }
    fuzz::CheckEditor(editor);
    if (outcome == GlueOutcome::Refused) {
        FUZZ_CHECK(fuzz::Paragraphs(editor) == before);
        return 0;
    }
    FUZZ_CHECK(!expectedFailed);
    FUZZ_CHECK(fuzz::Paragraphs(editor) == fuzz::Paragraphs(expected));
    return 0;
}
