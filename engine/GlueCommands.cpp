#include "engine/GlueCommands.h"

#include <optional>
#include <string_view>

#include "engine/AutoReplace.h"
#include "engine/DirectSpeech.h"
#include "engine/EngineMessages.h"
#include "engine/GlueStages.h"

namespace lepotex {
namespace {

// The close of both commands, run also when an error passes: word wrap back on, the last
// status text, the progress bar hidden.
class CloseGuard {
public:
    CloseGuard(TextEditor& editor, ProgressReporter& reporter) : editor(editor), reporter(reporter) {}
    ~CloseGuard()
    {
        editor.SetWordWrap(true);
        reporter.ShowStage(messages::StageDone(), Repaint::Later);
        reporter.HideProgress();
    }
    CloseGuard(const CloseGuard&) = delete;
    CloseGuard& operator=(const CloseGuard&) = delete;

private:
    TextEditor& editor;
    ProgressReporter& reporter;
};

std::optional<std::string> Refusal(const TextEditor& editor)
{
    // Counted with word wrap as it is: one long wrapped paragraph is enough to start.
    if (editor.LineCount() < 2)
        return messages::NothingToGlue();
    // Clear would empty a read-only editor that then takes no text back.
    if (editor.ReadOnly())
        return messages::ReadOnlyText();
    return std::nullopt;
}

// Word wrap off, so that every display line is a paragraph, for the whole command.
void StartCommand(TextEditor& editor, ProgressReporter& reporter)
{
    reporter.FitProgressToEditor();
    reporter.ShowProgress();
    editor.SetWordWrap(false);
    reporter.ShowStage(messages::StageStarting(), Repaint::Now);
}

void StartStage(ProgressReporter& reporter, const std::string& text, std::size_t lineCount)
{
    reporter.ShowStage(text, Repaint::Now);
    reporter.SetProgressPosition(0);
    // An empty list would give -1, below the bar's minimum.
    reporter.SetProgressMaximum(lineCount > 0 ? int64_t(lineCount) - 1 : 0);
}

void StartRulePass(ProgressReporter& reporter, const Settings& settings)
{
    reporter.SetProgressPosition(0);
    reporter.SetProgressMaximum(int64_t(settings.autoReplace.size()) - 1);
}

// The refusal for the first of the pieces (lines of the working list, or speech pieces) that
// the write-back's InsertText would refuse as too long: it makes a paragraph of every part up
// to an LF, less the CRs and LFs at its end. paraNo counts the paragraphs so made, from 1.
template <typename Pieces>
std::optional<std::string> FindTooLong(const Pieces& pieces, int32_t limit)
{
    int64_t paraNo = 0;
    for (std::string_view piece : pieces) {
        std::size_t start = 0;
        for (;;) {
            ++paraNo;
            const std::size_t lf = piece.find('\n', start);
            std::string_view part = piece.substr(start, lf == std::string_view::npos ? piece.npos : lf - start);
            while (!part.empty() && (part.back() == '\r' || part.back() == '\n'))
                part.remove_suffix(1);
            if (part.size() > std::size_t(limit))
                return messages::ParagraphTooLong(paraNo, int64_t(part.size()), limit);
            if (lf == std::string_view::npos)
                break;
            start = lf + 1;
        }
    }
    return std::nullopt;
}

// Clear, then every piece followed by CR LF; each lands in front of the final empty paragraph.
template <typename Pieces>
void WriteBack(TextEditor& editor, const Pieces& pieces)
{
    editor.Clear();
    std::string chunk;
    for (std::string_view piece : pieces) {
        chunk.assign(piece);
        chunk += "\r\n";
        // Lengths were checked before the text was cleared; any other refusal must not
        // silently drop the rest of the book.
        if (const int code = editor.InsertText(chunk); code != kErrNone)
            RaiseEditorError(code);
    }
}

void ApplyInPlaceRules(TextEditor& editor, const Settings& settings, ProgressReporter& reporter)
{
    if (settings.autoReplace.empty())
        return;
    StartRulePass(reporter, settings);
    for (const std::string& text : settings.autoReplace) {
        const ReplacementRule rule = ParseRule(text);
        if (rule.kind != RuleKind::InPlace)
            continue;
        reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Later);
        // The count is of no interest: a rule that finds nothing is no error.
        (void)editor.Replace(rule.search, rule.replacement, RuleSearchOptions(rule));
        reporter.RepaintStatus();
        reporter.StepProgress(1);
    }
}

// Appends GetLine(n) of an editor with word wrap off: paragraph n with its tabs expanded. The
// paragraph's own bytes are the same when it holds no tab, and cost no look-up of the line.
void AppendLineText(std::string& out, const TextEditor& editor, int32_t n)
{
    const std::string_view raw = editor.ParaText(n);
    if (raw.find('\t') == std::string_view::npos)
        out += raw;
    else
        out += editor.GetLine(n);
}

}  // namespace

void GlueWorkingList(WorkingList& list, const Settings& settings, ProgressReporter& reporter, int64_t maxBytes)
{
    StartStage(reporter, messages::StageIndentation(), list.size());
    reporter.StepProgress(RemoveIndentation(list));
    StartStage(reporter, messages::StagePageNumbers(), list.size());
    reporter.StepProgress(RemovePageNumbers(list));
    StartStage(reporter, messages::StageHyphenation(), list.size());
    reporter.StepProgress(JoinHyphenatedWords(list));
    StartStage(reporter, messages::StageLineBreaks(), list.size());
    reporter.StepProgress(GlueLineBreaks(list, settings));
    if (settings.indent) {
        const std::string indent = MakeIndentString(settings.indentSize);
        StartStage(reporter, messages::StageReindent(), list.size());
        reporter.StepProgress(Reindent(list, indent));
    }
    if (settings.autoReplace.empty())
        return;
    StartRulePass(reporter, settings);
    LineEnds lineEnds = LineEnds::Possible;
    for (const std::string& text : settings.autoReplace) {
        const ReplacementRule rule = ParseRule(text);
        if (rule.kind != RuleKind::LineBreak)
            continue;
        ApplyLineBreakRule(list, rule, maxBytes, lineEnds);
        lineEnds = LineEnds::None;
        reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Now);
        reporter.StepProgress(1);
    }
}

namespace {

// "Slepit" from the busy cursor to the close. Returns the refusal of a paragraph over the
// limit, found before the editor is emptied.
std::optional<std::string> Glue(TextEditor& editor, const Settings& settings, ProgressReporter& reporter)
{
    BusyCursorGuard cursor(reporter);
    StartCommand(editor, reporter);
    WorkingList list;
    const int32_t lineCount = editor.LineCount();
    list.reserve(std::size_t(lineCount));
    for (int32_t n = 1; n <= lineCount; ++n)
        AppendLineText(list.emplace_back(), editor, n);

    CloseGuard close(editor, reporter);
    // The write-back makes a text of exactly the size the first pass counts (every line and
    // its CR LF), so the editor's own limit is checked before the editor is emptied.
    GlueWorkingList(list, settings, reporter, editor.ByteLimit());
    reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
    if (std::optional<std::string> refusal = FindTooLong(list, editor.ParaLengthLimit()))
        return refusal;
    // Re-indenting can grow a text that no rule touched; better an error now than half a book.
    int64_t size = 0;
    for (const std::string& line : list)
        size += int64_t(line.size()) + 2;
    if (size > editor.ByteLimit())
        RaiseEditorError(kErrTextTooLarge);
    UpdateGuard update(editor);
    WriteBack(editor, list);
    WorkingList().swap(list);
    ApplyInPlaceRules(editor, settings, reporter);
    return std::nullopt;
}

// "Slepit „přímou řeč“" from the busy cursor to the close, with the same refusal.
std::optional<std::string> GlueSpeech(TextEditor& editor, ProgressReporter& reporter)
{
    BusyCursorGuard cursor(reporter);
    StartCommand(editor, reporter);
    std::string collected;
    const int32_t lineCount = editor.LineCount();
    for (int32_t n = 1; n <= lineCount; ++n) {
        AppendLineText(collected, editor, n);
        collected += '\r';
    }

    CloseGuard close(editor, reporter);
    reporter.SetProgressPosition(0);
    reporter.SetProgressMaximum(int64_t(collected.size()));
    reporter.SetProgressStep(1);
    reporter.ShowProgress();
    reporter.ShowStage(messages::StageSpeech(), Repaint::Now);
    reporter.StepProgress(JoinSpeechSpans(collected));
    reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
    std::vector<std::string_view> pieces;
    for (std::size_t start = 0, cr; start < collected.size(); start = cr + 1) {
        cr = collected.find('\r', start);
        pieces.emplace_back(collected.data() + start, cr - start);
    }
    if (std::optional<std::string> refusal = FindTooLong(pieces, editor.ParaLengthLimit()))
        return refusal;
    UpdateGuard update(editor);
    WriteBack(editor, pieces);
    return std::nullopt;
}

template <typename Command>
GlueResult RunCommand(TextEditor& editor, ProgressReporter& reporter, Command command)
{
    std::optional<std::string> refusal = Refusal(editor);
    if (!refusal)
        refusal = command();
    if (refusal) {
        reporter.ShowMessage(*refusal);
        return {GlueOutcome::Refused, std::move(*refusal)};
    }
    reporter.ShowWordWrapState(editor.WordWrap());
    reporter.ShowMessage(messages::GlueFinished());
    return {GlueOutcome::Done, messages::GlueFinished()};
}

}  // namespace

GlueResult SlepitExecute(TextEditor& editor, const Settings& settings, ProgressReporter& reporter)
{
    return RunCommand(editor, reporter, [&] { return Glue(editor, settings, reporter); });
}

GlueResult actPrimaRecExecute(TextEditor& editor, ProgressReporter& reporter)
{
    return RunCommand(editor, reporter, [&] { return GlueSpeech(editor, reporter); });
}

}  // namespace lepotex
