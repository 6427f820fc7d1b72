#include "LiteralReference.h"

#include <algorithm>
#include <cstdint>

#include "engine/AutoReplace.h"
#include "engine/GlueStages.h"

namespace lepotex::literal {
namespace {

thread_local int64_t budget = INT64_MAX;

void Spend(std::size_t steps)
{
    if ((budget -= int64_t(steps)) < 0)
        throw OverBudget{};
}

// Lines of a text: CR LF, a lone CR and a lone LF end a line; a break at the very end makes
// no empty line after it.
WorkingList TextToLines(std::string_view text)
{
    WorkingList list;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        list.emplace_back(text.substr(start, i - start));
        i += text.substr(i, 2) == "\r\n";
        start = i + 1;
    }
    if (start < text.size())
        list.emplace_back(text.substr(start));
    return list;
}

std::string StripLeadingSpaces(const std::string& line)
{
    return line.substr(std::min(line.find_first_not_of(' '), line.size()));
}

}  // namespace

void SetBudget(int64_t steps) { budget = steps; }

void ApplyLineBreakRule(WorkingList& list, const std::string& search, const std::string& replacement)
{
    std::string text;
    for (const std::string& line : list)
        text += line + "\r\n";
    // A replacement holding its search text is passed over; any other is searched again from the start.
    const bool passOver = replacement.find(search) != std::string::npos;
    for (std::size_t at = text.find(search); at != std::string::npos;
         at = text.find(search, passOver ? at + replacement.size() : 0)) {
        Spend(text.size());
        text.replace(at, search.size(), replacement);
    }
    list = TextToLines(text);
}

std::vector<int64_t> Glue(WorkingList& list, const Settings& settings, int64_t (*removals)[3])
{
    std::vector<int64_t> steps(4, 0);
    int64_t ignored[3] = {};
    int64_t (&removed)[3] = removals ? *removals : ignored;
    for (std::size_t i = list.size(); i-- > 0; ++steps[0])
        list[i] = StripLeadingSpaces(list[i]);
    for (std::size_t i = list.size(); i-- > 0; ++steps[1])
        if (IsPageNumberLine(list[i])) {
            Spend(list.size() - i);
            DeleteLine(list, i);
            ++removed[0];
        }
    for (std::size_t i = list.size() < 2 ? 0 : list.size() - 1; i-- > 0;) {
        if (list[i].empty())
            continue;
        std::size_t partner = i + 1;
        while (partner < list.size() && list[partner].empty())
            ++partner;
        if (partner < list.size() && IsHyphenatedBreak(list[i], list[partner])) {
            Spend(list.size() - i);
            JoinHyphenatedLines(list, i);
            ++removed[1];
        }
        ++steps[2];
    }
    for (std::size_t i = list.size() < 2 ? 0 : list.size() - 1; i-- > 0;) {
        if (list[i].empty() || list[i + 1].empty())
            continue;
        if (CanGlueLines(list[i], list[i + 1], settings)) {
            Spend(list.size() - i);
            JoinLines(list, i);
            ++removed[2];
        }
        ++steps[3];
    }
    if (settings.indent) {
        steps.push_back(0);
        for (std::size_t i = list.size(); i-- > 0;)
            if (!list[i].empty()) {
                list[i] = MakeIndentString(settings.indentSize) + StripLeadingSpaces(list[i]);
                ++steps[4];
            }
    }
    for (const std::string& text : settings.autoReplace)
        if (const ReplacementRule rule = ParseRule(text); rule.kind == RuleKind::LineBreak)
            ApplyLineBreakRule(list, rule.search, ExpandParagraphMarks(rule.replacement));
    return steps;
}

int64_t JoinSpeechSpans(std::string& t)
{
    int64_t steps = 0;
    bool inSpeech = false;
    std::size_t open = 0;
    for (std::size_t pos = 0; pos + 1 < t.size(); ++pos, ++steps) {
        if (t[pos] == '\x84') {
            open = pos;
            inSpeech = true;
        } else if (t[pos] == '\x93' && inSpeech) {
            for (std::size_t c = open + 1; c < pos; ++c) {
                if (t[c] != '\r')
                    continue;
                t[c++] = ' ';
                // The LF and spaces after the break go; the character after them is passed over.
                for (bool lf = t[c] == '\n'; lf || t[c] == ' '; lf = false) {
                    t.erase(c, 1);
                    --pos;
                    ++steps;
                }
            }
            inSpeech = false;
        }
    }
    return steps;
}

bool GlueIntoEditor(WorkingList lines, const Settings& settings, TextEditor& out)
{
    Glue(lines, settings);
    bool inserted = true;
    for (const std::string& line : lines)
        inserted = out.InsertText(line + "\r\n") == kErrNone && inserted;
    for (const std::string& text : settings.autoReplace)
        if (const ReplacementRule rule = ParseRule(text); inserted && rule.kind == RuleKind::InPlace)
            (void)out.Replace(rule.search, rule.replacement, RuleSearchOptions(rule));
    return inserted;
}

bool SpeechIntoEditor(const std::vector<std::string>& lines, TextEditor& out)
{
    std::string collected;
    for (const std::string& line : lines)
        collected += line + "\r";
    JoinSpeechSpans(collected);
    bool inserted = true;
    for (std::size_t cr; (cr = collected.find('\r')) != std::string::npos; collected.erase(0, cr + 1))
        inserted = out.InsertText(collected.substr(0, cr) + "\r\n") == kErrNone && inserted;
    return inserted;
}

}  // namespace lepotex::literal
