#pragma once
// The two text-repair commands over the editor: "Slepit" (the glue pipeline with the
// automatic replacements) and "Slepit „přímou řeč“" (direct speech split over paragraphs).
// They report only through the ProgressReporter; an editor error passes out as an exception
// after the cursor, word wrap and progress bar have been restored.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "engine/GlueRecord.h"
#include "engine/GlueStages.h"
#include "engine/GluedText.h"
#include "engine/LineList.h"
#include "engine/LeftMargins.h"
#include "engine/LineTests.h"
#include "engine/ProgressReporter.h"
#include "engine/SplitCarons.h"
#include "settings/Settings.h"

namespace lepotex {

enum class GlueOutcome { Done, Refused };

struct [[nodiscard]] GlueResult {
    GlueOutcome outcome = GlueOutcome::Done;
    std::string message;  // the message box's text, Windows-1250 bytes
    bool written = false;  // the text went to the output given, and the editor holds none of it
};

// Where "Slepit" may put the glued text rather than back into the editor: the file a batch
// only saves the result to.
class GluedTextOutput {
public:
    virtual ~GluedTextOutput() = default;
    // Calls `produce` once, which hands it each paragraph the editor would hold after the
    // command (but its empty last one) as TextEditor::SaveProducedToFile takes them, and
    // returns true; or returns false without calling it, where this output takes a text only
    // from the editor. What `produce` throws passes on.
    virtual bool Write(int64_t size, const TextEditor::ParagraphProducer& produce) = 0;
};

// Refuses (with the message shown) when the editor shows fewer than two lines, when it is
// read-only, and, before the editor is emptied, when a glued paragraph would be longer than
// the editor allows; the text is then as before, except that word wrap is on. With the Smart
// setting, stages 1 to 4 are the smart glue's (SmartGlue.h); without it the bytes are the
// plain glue's, as always. `record`, when given, gets what the command decided (emptied when
// it refuses); the text it gives is the same either way.
//
// `oldText` Released lets the text go as the working list takes it in, so that a book is not
// held twice over; a refusal or an error after that leaves the editor empty. For a caller
// that only saves the result (the batch tool). With a record the text is kept all the same.
//
// `output`, with Released and no record, takes the text where it can, the bytes the same as the
// editor's would be: the editor is then left empty (GlueResult::written).
//
// `loaded`, with Released and no record: the book the editor loaded for the glue straight into
// the working list (GlueListSink), the editor left empty; it is glued in place of the editor's
// text, whose refusals it is tested for.
enum class OldText { Kept, Released };
class GlueListSink;
GlueResult SlepitExecute(TextEditor& editor, const Settings& settings, ProgressReporter& reporter,
                         GlueRecord* record = nullptr, OldText oldText = OldText::Kept,
                         GluedTextOutput* output = nullptr, GlueListSink* loaded = nullptr);

// A book's paragraphs as TextEditor::LoadFromFileInto reads them, put into the glue's working
// list as the glue would take them from the editor: a batch that only glues a book and saves
// the result never holds it in the editor first. With `settings` (the plain glue's, which
// must live as long), stages 1 to 3 are walked as the lines come, each while its bytes are
// at hand, and the glue goes on from stage 4; with the smart glue's, the lines' shapes are
// read as they come.
class GlueListSink : public LoadedParagraphSink {
public:
    GlueListSink(int32_t tabSize, const Settings* settings);
    ~GlueListSink() override;
    void Reserve(std::size_t paragraphs) override;
    void Take(std::string_view text, bool lasting, bool mayHoldControls) override;
    void Finish(bool plain) override;
    // The paragraphs taken, with the empty last one the editor would show: the count its
    // refusal counts.
    std::size_t LineCount() const { return taken + 1; }
    LineList list;
    // Stages 1 to 3 as walked, once the load is through; none without settings.
    std::optional<FirstStages> staged;

private:
    class ShapesBeside;
    int32_t tabSize;
    bool shaping;  // the lines' shapes are read as they come, for the smart glue
    std::size_t taken = 0;
    std::unique_ptr<FirstStagesWalk> walk;
    std::unique_ptr<ShapesBeside> beside;  // reads them on a second thread, for a long book
};

// "Slepit chytře": "Slepit" with the smart glue, whatever the Smart setting says.
GlueResult SlepitChytreExecute(TextEditor& editor, const Settings& settings, ProgressReporter& reporter,
                               GlueRecord* record = nullptr);

// The same refusals; uses none of the settings.
GlueResult actPrimaRecExecute(TextEditor& editor, ProgressReporter& reporter, GlueRecord* record = nullptr);

// The working-list part of "Slepit": stages 1 to 5 and the first replacement pass, with their
// stage texts and progress; the list is given back as the text the write-back inserts.
// Throws EEditorError when a line-break rule would make the text larger than `maxBytes`.
// `staged`: stages 1 to 3 as walked while the list was made (GlueListSink), taken from there.
GluedText GlueLines(LineList& list, const Settings& settings, ProgressReporter& reporter,
                    int64_t maxBytes = TextEditor::kMaxLimit, GlueRecord* record = nullptr,
                    FirstStages* staged = nullptr);
// What the smart glue reads off a book's lines before their layout, in this order: double
// spacing, the left margins, accents set before their letters, "t’" for "ť". `mends`, where
// given, gets the words whose letters were mended, in the order of the text.
struct LinesPrepared {
    int64_t columnPages = 0;  // pages set in two columns, read one column after the other
    int64_t spacingBlanks = 0;
    int64_t wordLines = 0;  // breaks between the words of a line a tool cut into its words
    LeftMargins margins;
    int64_t accents = 0;
    int64_t carons = 0;
};
LinesPrepared PrepareLinesForLayout(LineList& list, std::vector<CaronMend>* mends = nullptr);
// The same over a list of strings, which becomes the lines the write-back would insert.
void GlueWorkingList(WorkingList& list, const Settings& settings, ProgressReporter& reporter,
                     int64_t maxBytes = TextEditor::kMaxLimit);

}  // namespace lepotex
