// "Slepit" with any settings, no-glue list and replacement rules, on any text: the linear
// engine leaves the editor exactly as the literal algorithm does (each removal, join and
// replacement made one at a time, then the lines inserted back and the in-place rules run
// through the editor's replace-all), or refuses and leaves the text as it was. Streamed into
// a file instead, it hands over the paragraphs the editor gets, or gives up and glues as usual.
#include <cstdint>
#include <string>
#include <vector>

#include "CollectedOutput.h"
#include "EditorLines.h"
#include "FuzzEditorChecks.h"
#include "FuzzInput.h"
#include "LiteralReference.h"
#include "editor/TextEditor.h"
#include "engine/GlueCommands.h"
#include "engine/ProgressReporter.h"

using namespace lepotex;


extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t flags = in.Byte();
    Settings settings = (flags & 4) ? Settings::Defaults() : Settings{};
    settings.noCaps = (flags & 1) != 0;
    settings.indent = (flags & 2) != 0;
    settings.indentSize = in.Byte();
    for (const std::string& entry : TextToList(in.Until('\x02')))
        settings.noGlue.push_back(entry);
    for (const std::string& rule : TextToList(in.Until('\x02')))
        settings.autoReplace.push_back(rule);

    TextEditor editor, streamed;
    editor.SetWrapColumn(1 + int32_t(flags >> 3));
    streamed.SetWrapColumn(1 + int32_t(flags >> 3));
    const std::string_view text = in.Rest();
    (void)editor.InsertText(text);
    (void)streamed.InsertText(text);
    editor.SetCaret(ParaPos{1, 1});
    streamed.SetCaret(ParaPos{1, 1});
    const std::vector<std::string> before = fuzz::Paragraphs(editor);
    const int32_t linesBefore = editor.LineCount();

    // The literal form, built in a second editor. It is quadratic, cubic for a rule whose
    // replacements make new occurrences: an input it cannot do in a second or so is skipped,
    // not a finding.
    TextEditor expected;
    bool expectedFailed = false;
    bool referenceSkipped = false;
    literal::SetBudget(int64_t(1) << 28);
    try {
        expectedFailed = !literal::GlueIntoEditor(testing::UnwrappedLines(editor), settings, expected);
    } catch (const EEditorError&) {
        expectedFailed = true;
    } catch (const literal::OverBudget&) {
        referenceSkipped = true;
    }
    // Rules the reference gave up on may make a text of gigabytes within the editor's limit
    // (a space made a line of spaces, rule after rule), too much to build twice under the
    // sanitizers: the glue then runs against a smaller limit, which it keeps as it keeps the
    // editor's own.
    if (referenceSkipped) {
        constexpr int32_t kSkippedLimit = int32_t(16) << 20;
        editor.SetByteLimit(kSkippedLimit);
        streamed.SetByteLimit(kSkippedLimit);
    }

    SilentReporter quiet;
    GlueOutcome outcome = GlueOutcome::Refused;
    bool failed = false;
    try {
        outcome = SlepitExecute(editor, settings, quiet).outcome;
    } catch (const EEditorError&) {
        failed = true;
    }
    fuzz::CheckEditor(editor);

    fuzz::CollectedOutput output;
    GlueResult streamResult;
    bool streamFailed = false;
    try {
        streamResult = SlepitExecute(streamed, settings, quiet, nullptr, OldText::Released, &output);
    } catch (const EEditorError&) {
        streamFailed = true;
    }
    FUZZ_CHECK(streamFailed == failed);
    if (!failed) {
        FUZZ_CHECK(streamResult.outcome == outcome);
        if (streamResult.written) {
            FUZZ_CHECK(output.paragraphs == fuzz::SavedParagraphs(fuzz::Paragraphs(editor)));
        } else if (outcome == GlueOutcome::Done) {
            FUZZ_CHECK(fuzz::Paragraphs(streamed) == fuzz::Paragraphs(editor));
        }
    }
    if (linesBefore < 2)
        FUZZ_CHECK(outcome == GlueOutcome::Refused);
    if (referenceSkipped)
        return 0;
    if (outcome == GlueOutcome::Refused) {
        // Fewer than two lines, or a paragraph the result would make too long.
        FUZZ_CHECK(fuzz::Paragraphs(editor) == before);
        FUZZ_CHECK(expectedFailed || linesBefore < 2);
        return 0;
    }
    if (failed || expectedFailed) {
        FUZZ_CHECK(failed && expectedFailed);
        return 0;
    }
    FUZZ_CHECK(fuzz::Paragraphs(editor) == fuzz::Paragraphs(expected));
    FUZZ_CHECK(editor.Caret() == expected.Caret());
    return 0;
}
