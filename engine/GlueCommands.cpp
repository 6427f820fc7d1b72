#include "engine/GlueCommands.h"

#include <algorithm>
#include <cassert>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <thread>

#include "editor/ByteScan.h"
#include "editor/ParagraphReplacer.h"
#include "editor/TextBlock.h"
#include "engine/AutoReplace.h"
#include "engine/Columns.h"
#include "engine/DirectSpeech.h"
#include "engine/DoubleSpacing.h"
#include "engine/SplitLines.h"
#include "engine/EngineMessages.h"
#include "engine/GlueRecorder.h"
#include "engine/GlueStages.h"
#include "engine/Hyphenation.h"
#include "engine/InHalves.h"
#include "engine/JoinedHyphens.h"
#include "engine/LeftMargins.h"
#include "engine/SpacingAccents.h"
#include "engine/SplitCarons.h"
#include "engine/SmartGlue.h"

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

// `lineCount`: that of a book loaded past the editor, whose word wrap is off.
std::optional<std::string> Refusal(const TextEditor& editor, std::optional<std::size_t> lineCount = std::nullopt)
{
    // Counted with word wrap as it is: one long wrapped paragraph is enough to start.
    if (lineCount ? *lineCount < 2 : editor.LineCount() < 2)
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

// The paragraphs the write-back makes: each line less the CRs at its end, as InsertText of
// it and a CR LF would make it (the lines hold no LF).
void StripLineEnds(std::span<std::string_view> lines)
{
    for (std::string_view& line : lines)
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
}

// The refusal for the first paragraph that the write-back's InsertText would refuse as too
// long, numbered from 1.
std::optional<std::string> FindTooLong(std::span<const std::string_view> paragraphs, int32_t limit)
{
    for (std::size_t i = 0; i < paragraphs.size(); ++i)
        if (paragraphs[i].size() > std::size_t(limit))
            return messages::ParagraphTooLong(int64_t(i) + 1, int64_t(paragraphs[i].size()), limit);
    return std::nullopt;
}

// Clear, then the paragraphs in one block. `keep` (a record's, or the command's own) keeps the
// old text instead of freeing it.
void WriteBack(TextEditor& editor, TextBlock block, std::span<const std::string_view> paragraphs,
               TextEditor::KeptText* keep)
{
    if (keep)
        *keep = editor.ClearKeeping();
    else
        editor.Clear();
    // Lengths were checked before the text was cleared; any other refusal must not
    // silently drop the book.
    if (const int code = editor.InsertParagraphs(std::move(block), paragraphs); code != kErrNone) {
        if (keep && !keep->Empty())
            editor.Restore(std::move(*keep));
        RaiseEditorError(code);
    }
}

// Which in-place rules cannot find anything in `text`, the glued text the editor is given:
// a rule that matches case finds nothing where its search is nowhere in the bytes. Others
// are not known absent.
std::vector<char> InPlaceRulesAbsent(const Settings& settings, std::string_view text)
{
    std::vector<char> absent(settings.autoReplace.size(), 0);
    for (std::size_t index = 0; index < settings.autoReplace.size(); ++index) {
        const ReplacementRule rule = ParseRule(settings.autoReplace[index]);
        // The editor's search stops at a NUL and at its longest search; such rules just run.
        if (rule.kind == RuleKind::InPlace && RuleSearchOptions(rule).matchCase && !rule.search.empty() &&
            rule.search.size() <= 255 && rule.search.find('\0') == std::string::npos)
            absent[index] = !Occurs(text, rule.search);
    }
    return absent;
}

// `absent`: rules known to find nothing in the text as it was given to the editor, which stay
// so until a rule changes it.
void ApplyInPlaceRules(TextEditor& editor, const Settings& settings, ProgressReporter& reporter,
                       GlueRecord* record, std::vector<char> absent = {})
{
    if (settings.autoReplace.empty())
        return;
    StartRulePass(reporter, settings);
    for (std::size_t index = 0; index < settings.autoReplace.size(); ++index) {
        const ReplacementRule rule = ParseRule(settings.autoReplace[index]);
        if (rule.kind != RuleKind::InPlace)
            continue;
        reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Later);
        // The count is of no interest: a rule that finds nothing is no error. Where the search
        // for the record found nothing, the replace would find nothing either, and change
        // nothing, undo history included: the second pass over the book is spared. A rule
        // whose search is known absent spares both.
        const bool known = index < absent.size() && absent[index];
        std::vector<ParaPos> places;
        if (record && !known)
            places = FindReplacements(editor, rule);
        if ((!record && !known) || !places.empty())
            if (editor.Replace(rule.search, rule.replacement, RuleSearchOptions(rule)) > 0)
                absent.clear();
        if (record)
            InPlaceRuleApplied(*record, int32_t(index), rule, places);
        reporter.RepaintStatus();
        reporter.StepProgress(1);
    }
}

// Whether a paragraph holds a tab, and a CR or LF, found in one pass for the usual paragraph
// that holds neither.
struct Controls {
    bool tab = false;
    bool lineBreak = false;
};
Controls ControlsOf(std::string_view raw)
{
    const char* const end = raw.data() + raw.size();
    const char* const first = FindAnyOf(raw.data(), end, '\t', '\r', '\n');
    if (first == end)
        return {};
    const std::string_view rest(first, std::size_t(end - first));
    return {rest.find('\t') != std::string_view::npos, HasAnyOf(rest, '\r', '\n', '\r')};
}

// The editor's lines while word wrap is off, that is its paragraphs, with their tabs
// expanded as GetLine gives them. A paragraph without a tab is the same bytes, and the list
// only looks at them until the write-back.
LineList GatherLines(const TextEditor& editor)
{
    LineList list;
    const int32_t lineCount = editor.LineCount();
    list.pieces.reserve(std::size_t(lineCount));
    const bool plain = editor.KnownPlain();
    for (int32_t n = 1; n <= lineCount; ++n) {
        const std::string_view raw = editor.ParaText(n);
        const Controls controls = plain ? Controls{} : ControlsOf(raw);
        if (controls.tab)
            list.AddCopy(editor.GetLine(n));
        else
            list.AddView(raw, controls.lineBreak);
    }
    return list;
}

// The same, the editor's text drained into the list: what does not stay where it is (a
// paragraph of its own storage) is copied.
LineList DrainLines(TextEditor& editor)
{
    LineList list;
    list.pieces.reserve(std::size_t(editor.ParaCount()));
    const int32_t tabSize = editor.TabSize();
    const bool plain = editor.KnownPlain();
    editor.DrainText([&](const ParaText& text) {
        const std::string_view raw = text;
        if (!plain)
            ReadAhead(raw.data());
        const Controls controls = plain ? Controls{} : ControlsOf(raw);
        if (controls.tab)
            list.AddCopy(TextEditor::ExpandTabs(raw, tabSize));
        else if (text.IsBorrowed())
            list.AddView(raw, controls.lineBreak);
        else
            list.AddCopy(raw);
    });
    return list;
}

}  // namespace

// The shapes of a long book's lines, read on a second thread while the load reads on: the load
// scans the book on one core, and reading each line's shape there would add to it. The thread
// reads lines the load has published, from where they were then; the load lets them move (the
// list grows past what it reserved) only once the thread has read all it was given.
class GlueListSink::ShapesBeside {
public:
    // Lines are published this many at a time.
    static constexpr std::size_t kStep = std::size_t(1) << 14;

    explicit ShapesBeside(LineList& list) : list(list), thread([this] { Run(); }) {}
    ~ShapesBeside() { Stop(); }
    ShapesBeside(const ShapesBeside&) = delete;
    ShapesBeside& operator=(const ShapesBeside&) = delete;

    // Lines [0, count) at `lines` are there to be read, and stay where they are until Settle.
    void Publish(const std::string_view* lines, std::size_t count)
    {
        {
            const std::lock_guard lock(mutex);
            base = lines;
            published = count;
        }
        wake.notify_one();
    }
    // Returns once every line published is read (or the reading failed).
    void Settle()
    {
        std::unique_lock lock(mutex);
        settled.wait(lock, [&] { return read == published || failure; });
    }
    // Every line published read and the thread gone; throws what the reading failed with.
    void Finish()
    {
        Stop();
        if (failure)
            std::rethrow_exception(failure);
    }

private:
    void Stop()
    {
        {
            const std::lock_guard lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        if (thread.joinable())
            thread.join();
    }
    void Run()
    {
        std::unique_lock lock(mutex);
        for (;;) {
            wake.wait(lock, [&] { return published > read || stopping; });
            if (published == read)
                return;
            const std::string_view* const lines = base;
            const std::size_t from = read;
            const std::size_t to = published;
            lock.unlock();
            try {
                for (std::size_t i = from; i < to; ++i) {
                    const LineShape& shape = list.shapes.emplace_back(ShapeOfLine(lines[i]));
                    list.roles.push_back(shape.Blank() ? LineRole::Blank : LineRole::Text);
                    if (shape.feed)
                        list.feedLines.push_back(uint32_t(i));
                }
            } catch (...) {
                lock.lock();
                failure = std::current_exception();
                settled.notify_all();
                return;
            }
            lock.lock();
            read = to;
            settled.notify_all();
        }
    }

    LineList& list;  // its shapes and roles are the thread's until Finish
    std::mutex mutex;
    std::condition_variable wake;     // more lines, or the end
    std::condition_variable settled;  // all lines published are read
    const std::string_view* base = nullptr;
    std::size_t published = 0;
    std::size_t read = 0;
    bool stopping = false;
    std::exception_ptr failure;
    std::thread thread;  // last: it starts once the rest is set
};

GlueListSink::GlueListSink(int32_t tabSize, const Settings* settings)
    : tabSize(tabSize), shaping(settings && settings->smart)
{
    if (settings && !settings->smart)
        walk = std::make_unique<FirstStagesWalk>(list, *settings, false);
}

GlueListSink::~GlueListSink() = default;

void GlueListSink::Reserve(std::size_t paragraphs)
{
    if (walk) {
        walk->Reserve(paragraphs);
    } else {
        list.pieces.reserve(paragraphs);
        if (shaping) {
            list.shapes.reserve(paragraphs);
            list.roles.reserve(paragraphs);
            static const bool cores = std::thread::hardware_concurrency() > 1;
            if (!beside && taken == 0 && paragraphs >= kWorthASecondThread && cores) {
                try {
                    beside = std::make_unique<ShapesBeside>(list);
                } catch (const std::system_error&) {
                    // No thread to be had: the shapes are read as the lines come.
                }
            }
        }
    }
}

void GlueListSink::Take(std::string_view text, bool lasting, bool mayHoldControls)
{
    // Taken as the drain takes them: tabs expanded, line breaks noted, where the book has shown any.
    if (!lasting)
        text = list.arena.Store(text);
    if (mayHoldControls) {
        const Controls controls = ControlsOf(text);
        if (controls.tab)
            text = list.arena.Store(TextEditor::ExpandTabs(text, tabSize));
        list.lineBreaks = list.lineBreaks || controls.lineBreak;
    }
    ++taken;
    if (walk) {
        walk->Add(text);
    } else if (beside) {
        if (list.pieces.size() == list.pieces.capacity()) {
            beside->Publish(list.pieces.data(), list.pieces.size());
            beside->Settle();
        }
        list.pieces.push_back(text);
        if (list.pieces.size() % ShapesBeside::kStep == 0)
            beside->Publish(list.pieces.data(), list.pieces.size());
    } else {
        list.pieces.push_back(text);
        // Read while its bytes are at hand, and off the glue's own time.
        if (shaping) {
            const LineShape& shape = list.shapes.emplace_back(ShapeOfLine(text));
            list.roles.push_back(shape.Blank() ? LineRole::Blank : LineRole::Text);
            if (shape.feed)
                list.feedLines.push_back(uint32_t(list.shapes.size() - 1));
        }
    }
}

void GlueListSink::Finish(bool)
{
    // The editor's empty last paragraph, which its text would hand on too.
    if (walk) {
        walk->Add({});
        staged = walk->Finish();
        walk.reset();
    } else {
        if (beside) {
            beside->Publish(list.pieces.data(), list.pieces.size());
            const std::unique_ptr<ShapesBeside> done = std::move(beside);
            done->Finish();
        }
        list.pieces.push_back({});
        if (shaping) {
            list.shapes.emplace_back();
            list.roles.push_back(LineRole::Blank);
        }
    }
}

namespace {

// The line-break rules one after the other, each telling where it replaced: what
// WriteOutWithRules gives, without its shortcut of running them line by line.
GluedText RecordedRules(const LineList& list, const Settings& settings, ProgressReporter& reporter, int64_t maxBytes,
                        GlueRecorder& recorder)
{
    if (!settings.autoReplace.empty())
        StartRulePass(reporter, settings);
    std::vector<ReplacementRule> rules;
    std::vector<int32_t> ruleIndexes;
    for (std::size_t index = 0; index < settings.autoReplace.size(); ++index)
        if (ReplacementRule rule = ParseRule(settings.autoReplace[index]); rule.kind == RuleKind::LineBreak) {
            rules.push_back(std::move(rule));
            ruleIndexes.push_back(int32_t(index));
        }
    const bool lineByLine = RunsLineByLine(list, rules);
    // What each piece of the list became is read off the list beside its writing out, which
    // reads it alike; the rules' replacements are then placed among those changes.
    GluedText glued;
    std::vector<RulePlace> rulePlaces;
    std::exception_ptr failure;
    SideBySide(
        list.pieces.size() >= kWorthASecondThread,
        [&] {
            if (!lineByLine) {
                glued = WriteOut(list);
                return;
            }
            glued = WriteOutWithRules(
                list, rules, maxBytes,
                [&](const ReplacementRule& rule) {
                    reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Now);
                    reporter.StepProgress(1);
                },
                &rulePlaces);
        },
        [&]() noexcept {
            try {
                recorder.Resolve(list);
            } catch (...) {
                failure = std::current_exception();
            }
        });
    if (failure)
        std::rethrow_exception(failure);
    if (lineByLine) {
        recorder.RulesApplied(ruleIndexes, rules, rulePlaces);
        recorder.Place(glued);
        return glued;
    }
    std::vector<std::size_t> places;
    for (std::size_t index = 0; index < settings.autoReplace.size(); ++index) {
        const ReplacementRule rule = ParseRule(settings.autoReplace[index]);
        if (rule.kind != RuleKind::LineBreak)
            continue;
        places.clear();
        ApplyLineBreakRule(glued, rule, maxBytes, &places);
        recorder.RuleApplied(int32_t(index), rule, places);
        reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Now);
        reporter.StepProgress(1);
    }
    recorder.Place(glued);
    return glued;
}

// The words of the accents' pass, then those of the apostrophes' over its lines, both in the
// order of the text: the later pass moved the words after its own in a line, and a word
// mended by both is one word.
void MergeMends(std::vector<CaronMend>& accents, std::vector<CaronMend> apostrophes)
{
    std::vector<CaronMend> merged;
    merged.reserve(accents.size() + apostrophes.size());
    std::size_t c = 0;
    uint32_t line = UINT32_MAX;  // of the apostrophes taken last
    uint32_t shift = 0;          // the bytes they took out of that line so far
    auto shiftOn = [&](uint32_t l) { return l == line ? shift : 0u; };
    auto take = [&](CaronMend& word) {
        if (apostrophes[c].line != line) {
            line = apostrophes[c].line;
            shift = 0;
        }
        shift += uint32_t(apostrophes[c].before.size() - apostrophes[c].after.size());
        word = std::move(apostrophes[c++]);
    };
    for (CaronMend& word : accents) {
        while (c < apostrophes.size() &&
               (apostrophes[c].line < word.line ||
                (apostrophes[c].line == word.line && apostrophes[c].at + shiftOn(word.line) < word.at)))
            take(merged.emplace_back());
        word.at -= shiftOn(word.line);
        if (c < apostrophes.size() && apostrophes[c].line == word.line && apostrophes[c].at == word.at) {
            CaronMend both;
            take(both);
            word.after = std::move(both.after);
        }
        merged.push_back(std::move(word));
    }
    while (c < apostrophes.size())
        take(merged.emplace_back());
    accents = std::move(merged);
}

}  // namespace

LinesPrepared PrepareLinesForLayout(LineList& list, std::vector<CaronMend>* mends)
{
    // The blank lines of double spacing mark nothing, a margin is no indent, a mended letter is
    // one character of the line's width.
    LinesPrepared prepared;
    prepared.columnPages = SplitColumns(list);
    prepared.spacingBlanks = DropDoubleSpacing(list);
    prepared.wordLines = RejoinLinesCutIntoWords(list);
    prepared.margins = StripLeftMargins(list);
    prepared.accents = MendSpacingAccents(list, mends);
    if (prepared.accents == 0 || !mends) {
        prepared.carons = MendSplitCarons(list, mends);
    } else {
        std::vector<CaronMend> apostrophes;
        prepared.carons = MendSplitCarons(list, &apostrophes);
        MergeMends(*mends, std::move(apostrophes));
    }
    if (prepared.columnPages != 0 || prepared.spacingBlanks != 0 || prepared.wordLines != 0 || prepared.margins.lines != 0 ||
        prepared.accents != 0 || prepared.carons != 0) {
        list.shapes = LineShapes();
        list.roles = LineRoles();
        list.feedLines.clear();
    }
    return prepared;
}

namespace {

struct StagesDone {
    LinesPrepared prepared;
    int64_t hyphens = 0;
};

// Stages 1 to 5 over the list; `recorder` is made for `record`, when given.
StagesDone RunGlueStages(LineList& list, const Settings& settings, ProgressReporter& reporter, GlueRecord* record,
                         std::optional<GlueRecorder>& recorder, FirstStages* staged = nullptr)
{
    assert(!staged || (!record && !settings.smart));
    std::vector<CaronMend> mended;
    StagesDone done;
    // The hyphenation patterns take longer to load than most passes over a long book, and the
    // fresh pages of the list of its lines' widths cost more than the measuring that fills
    // them: the smart glue makes both ready beside the passes that prepare the lines, which
    // keep to one core.
    LineWidthList widths;
    Beforehand ready(settings.smart && list.size() >= kWorthASecondThread,
                     [&widths, lines = list.pieces.size()]() noexcept {
                         try {
                             const Hyphenator warm;
                         } catch (...) {
                             // Not loaded now: loaded when asked.
                         }
                         try {
                             widths.resize(lines);
                         } catch (...) {
                             widths = {};  // made when the lines are measured
                         }
                     });
    done.prepared = settings.smart ? PrepareLinesForLayout(list, record ? &mended : nullptr) : LinesPrepared{};
    if (record) {
        recorder.emplace(*record, list, settings);
        recorder->LettersMended(std::move(mended));
    }
    int64_t& hyphens = done.hyphens;
    if (settings.smart) {
        StartStage(reporter, messages::StageLayout(), list.size());
        ready.Wait();
        reporter.StepProgress(GlueByLayout(list, settings, std::move(widths)));
        // Once the breaks are decided: the widths were read off the lines as the book had them.
        std::vector<CaronMend> restored;
        if (!list.linesAreParagraphs)
            hyphens = RestoreJoinedHyphens(list, record ? &restored : nullptr);
        if (recorder)
            recorder->HyphensRestored(std::move(restored));
    } else {
        // The first three stages are one pass; each still shows as it always has.
        const std::size_t lineCount = staged ? std::size_t(staged->lineSteps) : list.size();
        StartStage(reporter, messages::StageIndentation(), lineCount);
        const FirstStages first = staged ? std::move(*staged) : RunFirstStages(list, settings);
        reporter.StepProgress(first.lineSteps);
        StartStage(reporter, messages::StagePageNumbers(), lineCount);
        reporter.StepProgress(first.lineSteps);
        StartStage(reporter, messages::StageHyphenation(), first.unnumbered);
        reporter.StepProgress(first.hyphenSteps);
        StartStage(reporter, messages::StageLineBreaks(), list.size());
        reporter.StepProgress(GlueLineBreaks(list, settings, &first.facts));
    }
    if (settings.indent) {
        const std::string indent = MakeIndentString(settings.indentSize);
        StartStage(reporter, messages::StageReindent(), list.size());
        reporter.StepProgress(Reindent(list, indent, !settings.smart || list.noLeadingSpaces));
    }
    return done;
}

std::vector<ReplacementRule> LineBreakRules(const Settings& settings)
{
    std::vector<ReplacementRule> rules;
    for (const std::string& text : settings.autoReplace)
        if (ReplacementRule rule = ParseRule(text); rule.kind == RuleKind::LineBreak)
            rules.push_back(std::move(rule));
    return rules;
}

// The glued list written out with the line-break rules, unrecorded.
GluedText WriteOutGlued(const LineList& list, const Settings& settings, ProgressReporter& reporter, int64_t maxBytes)
{
    if (settings.autoReplace.empty())
        return WriteOut(list);
    StartRulePass(reporter, settings);
    return WriteOutWithRules(list, LineBreakRules(settings), maxBytes, [&](const ReplacementRule& rule) {
        reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Now);
        reporter.StepProgress(1);
    });
}

}  // namespace

GluedText GlueLines(LineList& list, const Settings& settings, ProgressReporter& reporter, int64_t maxBytes,
                    GlueRecord* record, FirstStages* staged)
{
    std::optional<GlueRecorder> recorder;
    const StagesDone done = RunGlueStages(list, settings, reporter, record, recorder, staged);
    const LinesPrepared& prepared = done.prepared;
    const int64_t hyphens = done.hyphens;
    if (recorder) {
        GluedText glued = RecordedRules(list, settings, reporter, maxBytes, *recorder);
        record->layout.caronsMended = prepared.carons;
        record->layout.accentsMended = prepared.accents;
        record->layout.hyphensRestored = hyphens;
        record->layout.marginLeast = prepared.margins.least;
        record->layout.marginMost = prepared.margins.most;
        record->layout.columnPages = prepared.columnPages;
        record->layout.spacingBlanks = prepared.spacingBlanks;
        record->layout.wordLines = prepared.wordLines;
        record->layout.twoLetterBreaks = list.twoLetterBreaks;
        return glued;
    }
    return WriteOutGlued(list, settings, reporter, maxBytes);
}

void GlueWorkingList(WorkingList& list, const Settings& settings, ProgressReporter& reporter, int64_t maxBytes)
{
    LineList lines(list);
    const GluedText glued = GlueLines(lines, settings, reporter, maxBytes);
    list.clear();
    for (std::string_view line : glued.Lines())
        list.emplace_back(line);
}

namespace {

// Whether the glued list can be streamed: its lines hold no line end and the line-break rules
// run line by line, so that each line of the text is known as it is written; no rule brings
// a line end of its own (only "^p" makes one).
bool CanStream(const LineList& list, const Settings& settings, const std::vector<ReplacementRule>& lineRules)
{
    if (list.lineBreaks || (!lineRules.empty() && !RunsLineByLine(list, lineRules)))
        return false;
    return std::ranges::none_of(settings.autoReplace, [](const std::string& rule) {
        return rule.find_first_of("\r\n") != std::string::npos;
    });
}

// The glued list streamed into `output` instead of written back: the editor's paragraphs after
// the write-back and the in-place rules, one line at a time. The write-back's limits and the
// rules' are checked on the way, as far as the editor would check them; where one is in
// reach, or the output takes no stream, false, and the text is to be made the usual way.
bool StreamInto(GluedTextOutput& output, const LineList& list, const Settings& settings, ProgressReporter& reporter,
                const TextEditor& editor)
{
    const std::vector<ReplacementRule> lineRules = LineBreakRules(settings);
    if (!CanStream(list, settings, lineRules))
        return false;
    std::vector<ParagraphReplacer> inPlace;
    for (const std::string& text : settings.autoReplace)
        if (const ReplacementRule rule = ParseRule(text); rule.kind == RuleKind::InPlace)
            inPlace.emplace_back(rule.search, rule.replacement, RuleSearchOptions(rule));
    const int64_t maxBytes = editor.ByteLimit();
    const std::size_t lengthLimit = std::size_t(editor.ParaLengthLimit());
    const int64_t paraLimit = std::min<int64_t>(editor.ParaLimit(), TextEditor::kMaxLimit - 1);
    int64_t size = 0;
    for (const std::string_view piece : list.pieces)
        size += int64_t(piece.size()) + 2;

    const auto produce = [&](const std::function<void(std::string_view)>& add) {
        int64_t written = 0;  // the glued text so far
        int64_t largest = 0;  // the largest the editor's text could be so far, under any rule
        int64_t count = 0;
        std::vector<std::size_t> found(inPlace.size());  // where each rule's search is found next
        std::string replaced;
        std::string next;
        // The chunks are taken on a second core while the next ones are written out.
        ChunkPipe pipe([&](std::string_view text, const LineEndList& ends) {
            written += int64_t(text.size());
            if (written > maxBytes)
                throw StreamAbandoned{};
            for (std::size_t k = 0; k < inPlace.size(); ++k)
                found[k] = inPlace[k].NextPossible(text, 0);
            std::size_t start = 0;
            for (const std::size_t end : ends) {
                std::string_view line(text.data() + start, end - start);
                const std::size_t lineStart = start;
                start = end + 2;
                while (!line.empty() && line.back() == '\r')
                    line.remove_suffix(1);
                if (line.size() > lengthLimit || ++count > paraLimit)
                    throw StreamAbandoned{};
                std::size_t longest = line.size();
                bool changed = false;
                for (std::size_t k = 0; k < inPlace.size(); ++k) {
                    // A line no rule has changed yet is part of the chunk: a rule whose search is
                    // not found in the chunk within the line finds nothing in it. (No search holds
                    // a CR or LF, so none found in the chunk runs over a line's end.)
                    if (!changed) {
                        if (found[k] < lineStart)
                            found[k] = inPlace[k].NextPossible(text, lineStart);
                        if (found[k] >= end)
                            continue;
                    }
                    std::size_t ruleLongest = 0;
                    const int32_t made = inPlace[k].Apply(line, next, lengthLimit, ruleLongest);
                    if (made < 0)
                        throw StreamAbandoned{};
                    longest = std::max(longest, ruleLongest);
                    if (made > 0) {
                        replaced.swap(next);
                        line = replaced;
                        changed = true;
                    }
                }
                largest += int64_t(longest) + 2;
                if (largest > maxBytes)
                    throw StreamAbandoned{};
                add(line);
            }
        });
        const ChunkTaker take = [&](TextBuffer& text, LineEndList& ends) { pipe.Take(text, ends); };
        try {
            if (lineRules.empty())
                WriteOutInChunks(list, nullptr, take);
            else
                WriteOutWithRulesInChunks(list, lineRules, maxBytes, [&](const ReplacementRule& rule) {
                    reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Now);
                    reporter.StepProgress(1);
                }, take);
        } catch (const ChunkPipe::Stopped&) {
            // What stopped it is the taker's.
        }
        pipe.Finish();
        // The stages the write-back and the in-place rules show, which have run meanwhile.
        reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
        if (settings.autoReplace.empty())
            return;
        StartRulePass(reporter, settings);
        for (const std::string& text : settings.autoReplace)
            if (const ReplacementRule rule = ParseRule(text); rule.kind == RuleKind::InPlace) {
                reporter.ShowStage(messages::StageAutoReplace() + rule.search, Repaint::Later);
                reporter.RepaintStatus();
                reporter.StepProgress(1);
            }
    };
    if (!settings.autoReplace.empty())
        StartRulePass(reporter, settings);
    try {
        return output.Write(size, produce);
    } catch (const StreamAbandoned&) {
        return false;
    }
}

// "Slepit" from the busy cursor to the close. Returns the refusal of a paragraph over the
// limit, found before the editor is emptied.
std::optional<std::string> Glue(TextEditor& editor, const Settings& settings, ProgressReporter& reporter,
                                GlueRecord* record, OldText oldText, GluedTextOutput* output, GlueListSink* loaded,
                                bool& written)
{
    BusyCursorGuard cursor(reporter);
    StartCommand(editor, reporter);
    LineList list = loaded                                    ? std::move(loaded->list)
                    : oldText == OldText::Released && !record ? DrainLines(editor)
                                                              : GatherLines(editor);
    // Walked as the book was loaded, with the plain glue's settings.
    FirstStages* const staged = loaded && loaded->staged && !settings.smart ? &*loaded->staged : nullptr;

    CloseGuard close(editor, reporter);
    GluedText glued;
    if (output && oldText == OldText::Released && !record) {
        std::optional<GlueRecorder> none;
        (void)RunGlueStages(list, settings, reporter, nullptr, none, staged);
        if (StreamInto(*output, list, settings, reporter, editor)) {
            written = true;
            return std::nullopt;
        }
        glued = WriteOutGlued(list, settings, reporter, editor.ByteLimit());
    } else {
        glued = GlueLines(list, settings, reporter, editor.ByteLimit(), record, staged);
    }
    reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
    // In the working list's storage: it has room for as many lines, and its pages are had.
    LineViews lines = std::move(list.pieces);
    glued.Lines(lines);
    StripLineEnds(lines);
    if (std::optional<std::string> refusal = FindTooLong(lines, editor.ParaLengthLimit()))
        return refusal;
    // The write-back makes a text of exactly this size (every line and its CR LF). The
    // line-break rules checked it as they grew it, but re-indenting can grow a text that no
    // rule touched; better an error now than half a book.
    if (int64_t(glued.text.size()) > editor.ByteLimit())
        RaiseEditorError(kErrTextTooLarge);
    UpdateGuard update(editor);
    list = LineList();  // its views into the old text are about to dangle
    // Until the in-place rules are through, the old text is kept where it is not let go: a rule
    // that fails (a paragraph it grows past the limit) leaves the text as the command found it,
    // not glued and half replaced.
    TextEditor::KeptText ownKeeping;
    TextEditor::KeptText* const keep =
        record ? &record->before : oldText == OldText::Released ? nullptr : &ownKeeping;
    // While the text goes into the editor, a second core reads it for what the in-place rules
    // search, which a book mostly does not hold: those rules then spare a pass each.
    std::vector<char> absent;
    if (!settings.autoReplace.empty()) {
        const std::string_view text = glued.text.View();
        SideBySide(
            lines.size() >= kWorthASecondThread, [&] { WriteBack(editor, glued.text.Release(), lines, keep); },
            [&]() noexcept {
                try {
                    absent = InPlaceRulesAbsent(settings, text);
                } catch (...) {
                    absent.clear();  // nothing known: every rule runs
                }
            });
    } else {
        WriteBack(editor, glued.text.Release(), lines, keep);
    }
    try {
        ApplyInPlaceRules(editor, settings, reporter, record, std::move(absent));
    } catch (...) {
        if (keep && !keep->Empty())
            editor.Restore(std::move(*keep));
        throw;
    }
    return std::nullopt;
}

// "Slepit „přímou řeč“" from the busy cursor to the close, with the same refusal.
std::optional<std::string> GlueSpeech(TextEditor& editor, ProgressReporter& reporter, GlueRecord* record)
{
    BusyCursorGuard cursor(reporter);
    StartCommand(editor, reporter);
    const int32_t lineCount = editor.LineCount();
    // The collected text: every paragraph and its CR.
    const auto startScan = [&](int64_t length) {
        reporter.SetProgressPosition(0);
        reporter.SetProgressMaximum(length);
        reporter.SetProgressStep(1);
        reporter.ShowProgress();
        reporter.ShowStage(messages::StageSpeech(), Repaint::Now);
    };
    // A plain book goes from its paragraphs to the result in one pass; the record wants the
    // spans placed in the collected text, which only the long way makes.
    if (editor.KnownPlain() && !record) {
        CloseGuard close(editor, reporter);
        startScan(int64_t(editor.ByteCount()) - 2 * (int64_t(lineCount) - 1) + lineCount);
        JoinedSpeech joined = JoinPlainSpeech(editor);
        reporter.StepProgress(joined.steps);
        reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
        const LineViews pieces = joined.glued.Lines();
        if (std::optional<std::string> refusal = FindTooLong(pieces, editor.ParaLengthLimit()))
            return refusal;
        UpdateGuard update(editor);
        WriteBack(editor, joined.glued.text.Release(), pieces, nullptr);
        return std::nullopt;
    }
    SpeechText collected;
    collected.reserve(std::size_t(editor.ByteCount()) + std::size_t(lineCount));  // tabs aside
    for (int32_t n = 1; n <= lineCount; ++n) {
        const std::string_view raw = editor.ParaText(n);
        if (raw.find('\t') == std::string_view::npos)
            collected += raw;
        else
            collected += editor.GetLine(n);
        collected += '\r';
    }

    CloseGuard close(editor, reporter);
    startScan(int64_t(collected.size()));
    std::vector<SpeechSpan> spans;
    reporter.StepProgress(JoinSpeechSpans(collected, record ? &spans : nullptr));
    if (record)
        RecordSpeech(*record, collected, spans);
    reporter.ShowStage(messages::StageWriteBack(), Repaint::Now);
    // The pieces between the CRs, each with the CR LF the write-back inserts behind it. A
    // loaded paragraph may hold a lone LF, which InsertText would break the paragraph at, so
    // the lines are those of that text.
    TextBuffer text(collected.size() + std::size_t(std::count(collected.begin(), collected.end(), '\r')) + 2);
    for (std::size_t start = 0; start < collected.size();) {
        const std::size_t cr = std::min(collected.find('\r', start), collected.size());
        text.Append(std::string_view(collected).substr(start, cr - start));
        text.Append("\r\n");
        start = cr + 1;
    }
    SpeechText().swap(collected);
    LineViews pieces = LinesOf(text.View());
    StripLineEnds(pieces);
    if (std::optional<std::string> refusal = FindTooLong(pieces, editor.ParaLengthLimit()))
        return refusal;
    UpdateGuard update(editor);
    WriteBack(editor, text.Release(), pieces, record ? &record->before : nullptr);
    return std::nullopt;
}

template <typename Command>
GlueResult RunCommand(TextEditor& editor, ProgressReporter& reporter, GlueRecord* record, Command command,
                      const GlueListSink* loaded = nullptr)
{
    // Each pass frees the last one's arrays as it takes its own: they serve again.
    const ReuseFreedBlocks reuse;
    if (record)
        record->Clear();
    std::optional<std::string> refusal = Refusal(editor, loaded ? std::optional(loaded->LineCount()) : std::nullopt);
    if (!refusal) {
        try {
            refusal = command();
        } catch (...) {
            if (record)
                record->Clear();  // a command that failed changed nothing to review
            throw;
        }
    }
    if (refusal) {
        if (record)
            record->Clear();
        reporter.ShowMessage(*refusal);
        return {GlueOutcome::Refused, std::move(*refusal)};
    }
    reporter.ShowWordWrapState(editor.WordWrap());
    reporter.ShowMessage(messages::GlueFinished());
    return {GlueOutcome::Done, messages::GlueFinished()};
}

}  // namespace

GlueResult SlepitExecute(TextEditor& editor, const Settings& settings, ProgressReporter& reporter, GlueRecord* record,
                         OldText oldText, GluedTextOutput* output, GlueListSink* loaded)
{
    assert(!loaded || (oldText == OldText::Released && !record));
    bool written = false;
    GlueResult result = RunCommand(
        editor, reporter, record,
        [&] { return Glue(editor, settings, reporter, record, oldText, output, loaded, written); }, loaded);
    result.written = written && result.outcome == GlueOutcome::Done;
    return result;
}

GlueResult SlepitChytreExecute(TextEditor& editor, const Settings& settings, ProgressReporter& reporter,
                               GlueRecord* record)
{
    Settings smart = settings;
    smart.smart = true;
    return SlepitExecute(editor, smart, reporter, record);
}

GlueResult actPrimaRecExecute(TextEditor& editor, ProgressReporter& reporter, GlueRecord* record)
{
    return RunCommand(editor, reporter, record, [&] { return GlueSpeech(editor, reporter, record); });
}

}  // namespace lepotex
