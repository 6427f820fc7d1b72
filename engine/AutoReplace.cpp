#include "engine/AutoReplace.h"

#include <algorithm>
#include <iterator>
#include <ranges>
#include <vector>

#include "editor/EditorErrors.h"

namespace lepotex {
namespace {

constexpr std::size_t kRuleTailLimit = 255;

// Two memchr scans: find_first_of would search the set once per byte of the text.
bool HasLineEnd(std::string_view s) noexcept
{
    return s.find('\r') != std::string_view::npos || s.find('\n') != std::string_view::npos;
}

// KMP failure function: fail[k] is the length of the longest proper border of search[0..k].
std::vector<std::size_t> FailureFunction(std::string_view search)
{
    std::vector<std::size_t> fail(search.size(), 0);
    for (std::size_t k = 1, border = 0; k < search.size(); ++k) {
        while (border > 0 && search[k] != search[border])
            border = fail[border - 1];
        if (search[k] == search[border])
            ++border;
        fail[k] = border;
    }
    return fail;
}

void GrowBy(int64_t& size, int64_t delta, int64_t maxBytes)
{
    size += delta;
    if (size > maxBytes)
        RaiseEditorError(kErrTextTooLarge);
}

// Replaces each occurrence once, left to right, going on behind each inserted text.
std::string ReplaceOnce(std::string_view text, std::string_view search, std::string_view replacement,
                        int64_t& size, int64_t maxBytes)
{
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (std::size_t at; (at = text.find(search, from)) != std::string_view::npos; from = at + search.size()) {
        GrowBy(size, int64_t(replacement.size()) - int64_t(search.size()), maxBytes);
        out.append(text, from, at - from);
        out += replacement;
    }
    out.append(text, from);
    return out;
}

}  // namespace

ReplacementRule ParseRule(std::string_view rule)
{
    ReplacementRule parsed;
    const std::size_t first = rule.find('\\');
    if (first == std::string_view::npos || first == 0 || first + 1 == rule.size())
        return parsed;
    parsed.search = rule.substr(0, first);
    const std::string_view tail = rule.substr(first + 1, kRuleTailLimit);
    const std::size_t second = tail.find('\\');
    parsed.replacement = tail.substr(0, second);
    if (second != std::string_view::npos) {
        parsed.hasOptionField = true;
        parsed.optionField = tail.substr(second + 1);
    }
    if (parsed.replacement.find("^p") != std::string::npos)
        parsed.kind = RuleKind::LineBreak;
    else if (parsed.search.find("^p") == std::string::npos && parsed.optionField.find("^p") == std::string::npos)
        parsed.kind = RuleKind::InPlace;
    return parsed;
}

SearchOptions RuleSearchOptions(const ReplacementRule& rule)
{
    SearchOptions options{.global = true, .replace = true, .replaceAll = true};
    if (!rule.hasOptionField) {
        options.wholeWord = true;
        options.matchCase = true;
    } else {
        options.wholeWord = rule.optionField.find_first_of("wW") != std::string::npos;
        options.matchCase = rule.optionField.find_first_of("cC") != std::string::npos;
    }
    return options;
}

std::string ExpandParagraphMarks(std::string_view replacement)
{
    std::string out;
    std::size_t from = 0;
    for (std::size_t at; (at = replacement.find("^p", from)) != std::string_view::npos; from = at + 2) {
        out.append(replacement, from, at - from);
        out += "\r\n";
    }
    out.append(replacement, from);
    return out;
}

std::string ReplaceRepeatedly(std::string_view text, std::string_view search, std::string_view replacement,
                              int64_t& size, int64_t maxBytes)
{
    if (search.empty())
        return std::string(text);
    if (replacement.find(search) != std::string_view::npos)
        return ReplaceOnce(text, search, replacement, size, maxBytes);

    // Stream the text through a KMP matcher into `out`, which never holds a whole occurrence.
    // The first match completed is therefore the leftmost occurrence of the whole text, the
    // one the literal rule replaces. Its replacement is fed through the matcher again, in
    // front of the rest, since it may form an occurrence with the bytes around it; an
    // occurrence cannot start before the last search.size() - 1 bytes of `out`, and the
    // matcher state recomputed over those bytes covers them.
    const std::vector<std::size_t> fail = FailureFunction(search);
    const std::size_t m = search.size();
    auto advance = [&](std::size_t state, char c) {
        while (state > 0 && search[state] != c)
            state = fail[state - 1];
        return search[state] == c ? state + 1 : state;
    };
    std::string out;
    out.reserve(text.size());
    std::string pending;  // bytes to feed before the rest of `text`, in reverse order
    std::size_t next = 0;
    std::size_t state = 0;
    for (;;) {
        char c;
        if (!pending.empty()) {
            c = pending.back();
            pending.pop_back();
        } else if (next < text.size()) {
            c = text[next++];
        } else {
            break;
        }
        state = advance(state, c);
        out += c;
        if (state < m)
            continue;
        GrowBy(size, int64_t(replacement.size()) - int64_t(m), maxBytes);
        out.resize(out.size() - m);
        pending.append(replacement.rbegin(), replacement.rend());
        state = 0;
        for (std::size_t k = out.size() - std::min(out.size(), m - 1); k < out.size(); ++k)
            state = advance(state, out[k]);
    }
    return out;
}

void AppendLines(WorkingList& list, std::string_view text)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        list.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        list.emplace_back(text.substr(start));
}

WorkingList TextToLines(std::string_view text)
{
    WorkingList list;
    AppendLines(list, text);
    return list;
}

void ApplyLineBreakRule(WorkingList& list, const ReplacementRule& rule, int64_t maxBytes, LineEnds lineEnds)
{
    const std::string replacement = ExpandParagraphMarks(rule.replacement);
    int64_t size = 0;
    bool lineEndInLines = false;
    for (const std::string& line : list) {
        size += int64_t(line.size()) + 2;
        lineEndInLines = lineEndInLines || (lineEnds == LineEnds::Possible && HasLineEnd(line));
    }
    if (!HasLineEnd(rule.search) && !lineEndInLines) {
        // No occurrence can reach across a line end, so each line is rewritten on its own,
        // and a line without an occurrence stays as it is.
        auto first = std::find_if(list.begin(), list.end(), [&](const std::string& line) {
            return line.find(rule.search) != std::string::npos;
        });
        if (first == list.end())
            return;
        WorkingList result;
        result.reserve(list.size() + list.size() / 8);
        std::move(list.begin(), first, std::back_inserter(result));
        for (std::string& line : std::ranges::subrange(first, list.end())) {
            if (line.find(rule.search) == std::string::npos) {
                result.push_back(std::move(line));
                continue;
            }
            std::string rewritten = ReplaceRepeatedly(line, rule.search, replacement, size, maxBytes);
            rewritten += "\r\n";
            AppendLines(result, rewritten);
        }
        list = std::move(result);
        return;
    }
    std::string text;
    text.reserve(std::size_t(size));
    for (const std::string& line : list) {
        text += line;
        text += "\r\n";
    }
    list.clear();
    list.shrink_to_fit();
    text = ReplaceRepeatedly(text, rule.search, replacement, size, maxBytes);
    list = TextToLines(text);
}

}  // namespace lepotex
