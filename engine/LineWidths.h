#pragma once
// How wide each line of a typeset book is on the page, where the text came out of a justified
// PDF: the characters of a proportional font differ in width (an "m" takes three "i"s), so
// a line's length in characters says little of how full it is. The widths are learnt from the
// book itself: the lines inside a paragraph are full, each filling the same measure with its
// characters and its stretched or shrunk spaces.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "editor/TextBlock.h"
#include "engine/LayoutAnalysis.h"

namespace lepotex {

// One line's width in parts of the measure, as the decisions read it.
struct LineWidth {
    float slack = 0;      // the room it leaves at natural spaces (WidthModel::Slack)
    float firstWord = 0;  // the characters of the first word
};
using LineWidthList = std::vector<LineWidth, LargeAllocator<LineWidth>>;

struct WidthModel {
    // The lines are measured; empty when the book shows no measure.
    LineWidthList lines;
    float space = 0;  // a space at its natural width, in parts of the measure
    // What a full line leaves of the measure at natural spaces (negative where its spaces
    // shrank), around `fullCentre` with a spread of about `fullSpread`.
    float fullCentre = 0;
    float fullSpread = 0;
    // How the rooms of full lines spread, in the book's own lines: a density over rooms from
    // kRoomFrom in steps of kRoomStep, and its sum up to each room.
    static constexpr float kRoomFrom = -0.25f;
    static constexpr float kRoomStep = 0.0025f;
    static constexpr int kRoomSteps = 400;
    std::vector<float> roomDensity;
    std::vector<float> roomsUpTo;
    // Their logarithms, which every break looks up twice.
    std::array<float, kRoomSteps> logDensity{};
    std::array<float, kRoomSteps> logUpTo{};
    // The density (log) of a full line's room where the next word did not fit: full lines
    // leave no room for it, but for what the widths miss and the spaces shrink.
    float FullRoom(float room, float next) const
    {
        const auto step = [](float r) { return std::clamp(int((r - kRoomFrom) / kRoomStep), 0, kRoomSteps - 1); };
        const float tolerance = 0.5f * fullSpread;
        const float limit = next + tolerance;
        float density = logDensity[std::size_t(step(room))] - logUpTo[std::size_t(step(limit))];
        if (room > limit)
            density -= 0.5f * ((room - limit) / tolerance) * ((room - limit) / tolerance);
        return density;
    }
    // The odds (log) that a line filling `measures` measures (more than one where the
    // extraction ran lines together) leaves this room as a paragraph's first line, whose spaces
    // filled the measure less `firstLine`, against as any other full line.
    float FirstLineOdds(float room, float measures) const;
    // What a paragraph's first line leaves beyond that, where the indent it stands for is no
    // space of the text (trimmed, or lost in the extraction); 0 where first lines are full.
    float firstLine = 0;

    // How a break between two text lines looks at the break: the end of the upper line and
    // the start of the lower one.
    enum UpperEnd : uint8_t { kQuotedStop, kQuoted, kStop, kExclamation, kQuestion, kColon, kPause, kEndDash, kWord, kUpperEnds };
    enum LowerStart : uint8_t { kQuote, kDash, kCapital, kSmall, kOtherStart, kLowerStarts };
    static UpperEnd EndOf(const LineShape& upper)
    {
        const UpperEnd end = kEndOfLast[upper.last];
        const uint8_t before = upper.beforeLast;
        return end == kQuoted && (before == '.' || before == '!' || before == '?') ? kQuotedStop : end;
    }
    static LowerStart StartOf(const LineShape& lower) { return kStartOfFirst[lower.first]; }
    // The look of a line ending in each byte (kQuoted for every closing quotation mark), and
    // of one starting with it: looked up at every break.
    static const std::array<UpperEnd, 256> kEndOfLast;
    static const std::array<LowerStart, 256> kStartOfFirst;
    // The odds (log) that a paragraph ends at a break that looks so, against the odds of going
    // on, in the book's own full lines and sure ends.
    float endOdds[kUpperEnds][kLowerStarts] = {};
    // Sets them from how often each look ends a paragraph and goes on, and the odds (log) of an
    // end among all breaks.
    using LookCounts = double[kUpperEnds][kLowerStarts];
    void WeighLooks(const LookCounts& ends, const LookCounts& goesOn, double base);
    // They were weighed so by how the book's breaks came out, not only by the sure ones.
    bool looksByBreaks = false;
    // Weighed for a text wrapped to a width with its paragraphs marked by nothing, where the
    // lines are not measured: a full line ends its paragraph where its break looks so.
    bool looksByWords = false;

    // The lines are set ragged right: their rooms are measured from the measure the longest
    // lines reach, and a full line's is anything up to the next line's first word.
    bool ragged = false;
    // The density (log) of a ragged full line's room where the next word did not fit: as the
    // book's full lines leave it of their next words, beyond that the lines broken early.
    float RaggedRoom(float room, float next) const;
    // What a ragged line's room below none tells against any line (log): the widths miss so much.
    float RaggedShort(float room) const;
    static constexpr float kRaggedNoise = 1.0f;  // what the widths miss, in spaces
    float earlyBreaks = 0;  // the share of full ragged lines that left room for the next word
    // How the rooms of full ragged lines spread as shares of the next word (log of a density),
    // from kShareFrom in steps of kShareStep, as the book's own lines show it.
    static constexpr float kShareFrom = -0.5f;
    static constexpr float kShareStep = 0.05f;
    static constexpr int kShareSteps = 40;
    std::array<float, kShareSteps> logShare{};

    bool Known() const { return !lines.empty(); }
    // The room a line leaves at natural spaces. A line far longer than the measure holds two
    // lines or more, run together where the extraction took out a hyphen: the room is that of
    // its last one.
    float Slack(std::size_t line) const { return lines[line].slack; }
    // The same of a line whose characters but the spaces take `glyphs`, with `gaps` gaps.
    static float SlackOf(float glyphs, uint16_t gaps, float space)
    {
        const float natural = glyphs + float(gaps) * space;
        return Lines(natural) - natural;
    }
    // How many measures a line of this natural width fills.
    static float Lines(float natural) { return std::max(1.0f, std::ceil(natural - kOverfull)); }
    // How far beyond the measure shrunk spaces take a line, at most, with what the widths miss.
    static constexpr float kOverfull = 0.12f;
};

// The odds of each look of a break at a full line of a text wrapped to a width whose
// paragraphs nothing marks: how its paragraphs end is told by the breaks where the next word
// would have fitted, how it goes on by the words within its lines, since a wrapper breaks
// between any two of them. Nothing where too few breaks tell.
void WeighLooksByWords(std::span<const std::string_view> lines, const Layout& layout, WidthModel& model);

// Learns the character widths from the book's lines inside paragraphs and measures every
// line; nothing when too few lines tell.
// `ready`: a list of a width for every line, its memory touched already (filled beside other
// work: fresh pages cost more than the measuring that fills them), to be used for the lines'.
WidthModel MeasureLines(std::span<const std::string_view> lines, const Layout& layout, LineWidthList&& ready = {});
// For tests, which compare the ways of summing a long book's lines: true, MeasureLines sums
// them from its table of byte pairs even where the processor could sum 64 bytes at a time.
inline bool measuringByPairs = false;
// Whether MeasureLines knows the widths, without measuring every line.
bool LinesMeasurable(std::span<const std::string_view> lines, const Layout& layout);
// Whether MeasureLines finds the lines set ragged right, without measuring every line.
bool LinesRagged(std::span<const std::string_view> lines, const Layout& layout);

}  // namespace lepotex
