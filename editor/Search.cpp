// The search-and-replace engine: Boyer-Moore-Horspool over each paragraph in place,
// forward or backward, with or without case, optionally whole words only.
#include "editor/TextEditor.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>

#include "editor/EditorBuffer.h"
#include "editor/ParagraphReplacer.h"
#include "editor/Windows1250.h"

namespace lepotex {

namespace {

constexpr size_t kMaxSearchLength = 255;

bool IsWordDelimiter(uint8_t c)
{
    static constexpr std::string_view kDelimiters("\t'\r\n ,./?;:`\"<>[]{}-=\\+|()%@&^$#!~*", 35);
    return std::memchr(kDelimiters.data(), c, kDelimiters.size()) != nullptr;
}

// Byte-exact search. A pattern's first byte is often a common letter ("sena"), on which the
// library's search stops every few bytes; testing its first and last byte at 16 positions at
// once leaves few places to compare.
size_t FindExact(std::string_view text, size_t from, std::string_view pattern)
{
#if defined(__GNUC__) || defined(__clang__)
    const size_t m = pattern.size();
    if (m >= 2 && from <= text.size()) {
        using Lanes = char __attribute__((vector_size(16)));
        const Lanes none{};
        const Lanes first = none + pattern[0];  // the byte in every lane
        const Lanes last = none + pattern[m - 1];
        const char* data = text.data();
        size_t at = from;
        for (; at + m - 1 + 16 <= text.size(); at += 16) {
            Lanes head;
            Lanes tail;
            std::memcpy(&head, data + at, 16);
            std::memcpy(&tail, data + at + m - 1, 16);
            const auto hits = (head == first) & (tail == last);
            uint64_t halves[2];
            std::memcpy(halves, &hits, 16);
            if ((halves[0] | halves[1]) == 0)
                continue;
            for (int k = 0; k < 16; ++k)
                if (hits[k] && std::memcmp(data + at + size_t(k) + 1, pattern.data() + 1, m - 2) == 0)
                    return at + size_t(k);
        }
        return text.find(pattern, at);
    }
#endif
    return from > text.size() ? std::string_view::npos : text.find(pattern, from);
}

// The pattern prepared for one search: folded to upper case unless case matters.
class Pattern {
public:
    Pattern(std::string_view text, bool matchCase) : fold(UpperTable())
    {
        bytes.assign(text.begin(), text.end());
        if (!matchCase)
            for (char& c : bytes)
                c = char(fold[uint8_t(c)]);
        const size_t length = bytes.size();
        skip.fill(std::min(length, kMaxSearchLength));
        for (size_t i = 0; i + 1 < length; ++i)
            skip[uint8_t(bytes[i])] = length - 1 - i;
        // Without case, a pattern whose bytes have no other case (",,", digits, quotes) is still
        // found byte for byte, which the library does much faster than a folding loop.
        std::array<int, 256> sharing{};
        for (int b = 0; b < 256; ++b)
            ++sharing[fold[size_t(b)]];
        exact = matchCase;
        if (!exact) {
            exact = true;
            for (const char c : text)
                exact = exact && sharing[uint8_t(c)] == 1 && fold[uint8_t(c)] == uint8_t(c);
        }
    }

    size_t Length() const { return bytes.size(); }

    bool MatchesAt(std::string_view text, size_t at) const
    {
        if (exact)
            return text.compare(at, bytes.size(), bytes) == 0;
        for (size_t i = 0; i < bytes.size(); ++i)
            if (fold[uint8_t(text[at + i])] != uint8_t(bytes[i]))
                return false;
        return true;
    }

    // First occurrence starting at or after `from`, or npos.
    size_t FindForward(std::string_view text, size_t from) const
    {
        if (exact)
            return FindExact(text, from, bytes);
        const size_t length = bytes.size();
        if (text.size() < length)
            return std::string_view::npos;
        const uint8_t last = uint8_t(bytes[length - 1]);
        const char* data = text.data();
        for (size_t at = from; at + length <= text.size();) {
            const uint8_t c = fold[uint8_t(data[at + length - 1])];
            if (c == last && MatchesAt(text, at))
                return at;
            at += skip[c];
        }
        return std::string_view::npos;
    }

    // Last occurrence that ends at or before `end`, or npos.
    size_t FindBackward(std::string_view text, size_t end) const
    {
        const size_t length = bytes.size();
        end = std::min(end, text.size());
        if (end < length)
            return std::string_view::npos;
        if (exact)
            return text.substr(0, end).rfind(bytes);
        for (size_t at = end - length + 1; at-- > 0;)
            if (MatchesAt(text, at))
                return at;
        return std::string_view::npos;
    }

private:
    bool exact;  // compare bytes as they are
    const std::array<uint8_t, 256>& fold;
    std::string bytes;
    std::array<size_t, 256> skip{};
};

}  // namespace

struct ParagraphReplacer::Prepared {
    Prepared(std::string_view search, std::string_view replacement, SearchOptions options)
        : pattern(search, options.matchCase), replacement(replacement), wholeWord(options.wholeWord)
    {
    }
    Pattern pattern;
    std::string replacement;
    bool wholeWord;
};

ParagraphReplacer::ParagraphReplacer(std::string_view search, std::string_view replacement, SearchOptions options)
{
    // Cut as the editor's search cuts them.
    search = search.substr(0, std::min(search.find('\0'), kMaxSearchLength));
    replacement = replacement.substr(0, std::min(replacement.find('\0'), kMaxSearchLength));
    if (!search.empty())
        prepared = std::make_unique<Prepared>(search, replacement, options);
}

ParagraphReplacer::~ParagraphReplacer() = default;
ParagraphReplacer::ParagraphReplacer(ParagraphReplacer&&) noexcept = default;
ParagraphReplacer& ParagraphReplacer::operator=(ParagraphReplacer&&) noexcept = default;

std::size_t ParagraphReplacer::NextPossible(std::string_view text, std::size_t from) const
{
    return prepared && from <= text.size() ? prepared->pattern.FindForward(text, from) : std::string_view::npos;
}

int32_t ParagraphReplacer::Apply(std::string_view text, std::string& out, std::size_t lengthLimit,
                                 std::size_t& longest) const
{
    longest = text.size();
    if (!prepared)
        return 0;
    const Pattern& pattern = prepared->pattern;
    const std::string& r = prepared->replacement;
    const size_t length = pattern.Length();
    // Each step as the editor's forward "replace all" takes it: the next match from behind
    // the last replacement, a match that is no whole word passed by one byte.
    std::string work;
    std::string_view now = text;
    int32_t count = 0;
    for (size_t from = 0;;) {
        const size_t m = pattern.FindForward(now, from);
        if (m == std::string_view::npos)
            break;
        if (prepared->wholeWord && ((m > 0 && !IsWordDelimiter(uint8_t(now[m - 1]))) ||
                                    (m + length < now.size() && !IsWordDelimiter(uint8_t(now[m + length]))))) {
            from = m + 1;
            continue;
        }
        if (now.size() - length + r.size() > lengthLimit)
            return -1;
        if (count == 0)
            work.assign(text);
        work.replace(m, length, r);
        now = work;
        ++count;
        longest = std::max(longest, work.size());
        from = m + r.size();
    }
    if (count > 0)
        out = std::move(work);
    return count;
}

int32_t TextEditor::SearchEngine(std::string_view s, std::string_view r, SearchOptions options)
{
    // A NUL ends a text, as everywhere else; it can never be part of a paragraph.
    s = s.substr(0, std::min(s.find('\0'), kMaxSearchLength));
    r = r.substr(0, std::min(r.find('\0'), kMaxSearchLength));
    if (s.empty())
        return 0;
    // A read-only text is only searched: the next occurrence is selected, nothing replaced.
    if (readOnly)
        options.replace = options.replaceAll = false;
    const bool replacing = options.replace || options.replaceAll;
    const Pattern pattern(s, options.matchCase);
    int32_t count = 0;
    // One replace command is one undo step, however many occurrences it changes.
    struct Group {
        explicit Group(UndoHistory& undo) : undo(undo) { undo.BeginGroup(); }
        ~Group() { undo.EndGroup(); }
        UndoHistory& undo;
    };
    std::optional<Group> group;
    if (replacing)
        group.emplace(buffer->undo);

    if (replacing && HasSelection()) {
        const std::string selected = SelectedText();
        if (selected.size() == pattern.Length() && pattern.MatchesAt(selected, 0)) {
            // InsertText of nothing would leave the selection standing.
            const int error = r.empty() ? DeleteRange(SelStart(), SelEnd()) : InsertText(r);
            if (error != kErrNone)
                RaiseEditorError(error);
            count = 1;
        }
    }

    ParaPos rangeStart{1, 1};
    ParaPos rangeEnd = EndOfText();
    ParaPos at;
    if (options.selectedOnly) {
        rangeStart = Clamp(SelStart());
        rangeEnd = Clamp(SelEnd());
        at = options.backward ? rangeEnd : rangeStart;
    } else if (options.global) {
        at = options.backward ? rangeEnd : rangeStart;
    } else {
        at = Clamp(caret);
        (options.backward ? rangeEnd : rangeStart) = at;
    }

    const size_t length = pattern.Length();
    auto accepted = [&](std::string_view text, int32_t paraNo, size_t m) {
        if (options.wholeWord) {
            if (m > 0 && !IsWordDelimiter(uint8_t(text[m - 1])))
                return false;
            if (m + length < text.size() && !IsWordDelimiter(uint8_t(text[m + length])))
                return false;
        }
        return ParaPos{paraNo, int32_t(m) + 1} >= rangeStart && ParaPos{paraNo, int32_t(m + length) + 1} <= rangeEnd;
    };

    bool found = false;
    int error = kErrNone;
    ParaPos lastChange = at;
    const int32_t delta = int32_t(r.size()) - int32_t(length);
    // An accepted match: select it and stop (the caret on the side the search came from), or
    // replace it and go on, behind the new text forward and in front of it backward.
    auto takeMatch = [&](int32_t paraNo, size_t m) {
        const ParaPos start{paraNo, int32_t(m) + 1};
        if (!options.replaceAll) {
            const ParaPos end{paraNo, int32_t(m + length) + 1};
            anchor = options.backward ? end : start;
            caret = options.backward ? start : end;
            found = true;
            return false;
        }
        if ((error = LimitsCheck(paraNo, 0, delta)) != kErrNone)
            return false;
        ReplaceBytes(paraNo, int32_t(m), int32_t(length), r);
        ++count;
        lastChange = options.backward ? start : ParaPos{paraNo, start.column + int32_t(r.size())};
        if (paraNo == rangeEnd.paraNo)
            rangeEnd.column += delta;
        return true;
    };
    std::optional<DeferredWraps> deferred;
    if (options.replaceAll)
        deferred.emplace(*this);
    if (!options.backward) {
        for (int32_t paraNo = at.paraNo; paraNo <= rangeEnd.paraNo && !found && error == kErrNone; ++paraNo) {
            size_t from = paraNo == at.paraNo ? size_t(at.column - 1) : 0;
            for (;;) {
                const std::string_view text = Para(paraNo).text;
                const size_t m = pattern.FindForward(text, from);
                if (m == std::string_view::npos)
                    break;
                if (paraNo == rangeEnd.paraNo && int32_t(m + length) + 1 > rangeEnd.column)
                    break;  // everything further lies beyond the range
                if (!accepted(text, paraNo, m)) {
                    from = m + 1;
                    continue;
                }
                if (!takeMatch(paraNo, m))
                    break;
                from = m + r.size();
            }
        }
    } else {
        for (int32_t paraNo = at.paraNo; paraNo >= rangeStart.paraNo && !found && error == kErrNone; --paraNo) {
            size_t end = paraNo == at.paraNo ? size_t(at.column - 1) : Para(paraNo).text.size();
            for (;;) {
                const std::string_view text = Para(paraNo).text;
                const size_t m = pattern.FindBackward(text, end);
                if (m == std::string_view::npos)
                    break;
                if (paraNo == rangeStart.paraNo && int32_t(m) + 1 < rangeStart.column)
                    break;
                if (!accepted(text, paraNo, m)) {
                    if (m == 0)
                        break;
                    end = m + length - 1;
                    continue;
                }
                if (!takeMatch(paraNo, m))
                    break;
                end = m;
            }
        }
    }

    deferred.reset();

    if (options.replaceAll && count > 0) {
        if (options.selectedOnly) {
            anchor = rangeStart;
            caret = rangeEnd;
        } else {
            caret = anchor = Clamp(lastChange);
        }
    }
    if (found || count > 0) {
        ScrollCaretIntoView();
        CaretPlaced();
        Repaint();
    }
    if (error != kErrNone)
        RaiseEditorError(error);
    if (count != 0)
        return count;
    return found ? 0 : -1;
}

bool TextEditor::Search(std::string_view s, SearchOptions options)
{
    options.replace = false;
    options.replaceAll = false;
    return SearchEngine(s, {}, options) == 0;
}

int32_t TextEditor::Replace(std::string_view s, std::string_view r, SearchOptions options)
{
    return SearchEngine(s, r, options);
}

}  // namespace lepotex
