#include "WordsKept.h"

#include <set>
#include <string_view>
#include <utility>

#include "engine/GlueCommands.h"
#include "engine/LayoutAnalysis.h"
#include "engine/LineList.h"

namespace lepotex::testing {
namespace {

struct Word {
    std::string_view text;
    bool breakable = false;  // ends its line with a hyphen a join may drop, and text follows
};

bool IsHyphen(char c)
{
    // A hyphen, the en and em dashes OCR reads for one, the negation sign and the soft hyphen.
    return c == '-' || c == '\x96' || c == '\x97' || c == '\xAC' || c == '\xAD';
}

// A lone CR or LF inside a line parts words as a line end would (the glue may make it one); a
// form feed marks a page's start, and the glue takes it away with the page's furniture.
bool Parts(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

void AddWords(std::string_view line, std::vector<Word>& words)
{
    std::size_t at = 0;
    while (at < line.size()) {
        while (at < line.size() && Parts(line[at]))
            ++at;
        std::size_t end = at;
        while (end < line.size() && !Parts(line[end]))
            ++end;
        if (end > at)
            words.push_back({line.substr(at, end - at)});
        at = end;
    }
}

// A word pdftotext wrote whole at a line end may get back the hyphen it took out of it.
bool HyphensPutBack(std::string_view word, std::string_view out)
{
    std::size_t w = 0;
    for (std::size_t o = 0; o < out.size(); ++o) {
        if (w < word.size() && out[o] == word[w])
            ++w;
        else if (out[o] != '-' || o == 0 || o + 1 == out.size())
            return false;
    }
    return w == word.size() && out.size() > word.size();
}

// Whether `out` from `pos` on is the words from `i` on glued at broken line ends, each join
// keeping or dropping the hyphen; gives the word after the last one used. `failed` remembers
// the states already tried, so that a long run of broken words stays linear.
bool Joined(const std::vector<Word>& words, std::size_t i, std::string_view out, std::size_t pos,
            std::set<std::pair<std::size_t, std::size_t>>& failed, std::size_t& next)
{
    if (i >= words.size() || failed.contains({i, pos}))
        return false;
    const std::string_view word = words[i].text;
    const std::string_view rest = out.substr(pos);
    if (rest == word || HyphensPutBack(word, rest)) {
        next = i + 1;
        return true;
    }
    if (words[i].breakable) {
        const std::string_view stem = word.substr(0, word.size() - 1);
        // A kept hyphen may be written as a plain one: OCR's negation sign is no letter of the word.
        const bool keptAsHyphen = rest.size() > stem.size() && rest.starts_with(stem) && rest[stem.size()] == '-';
        if ((rest.starts_with(word) || keptAsHyphen) && Joined(words, i + 1, out, pos + word.size(), failed, next))
            return true;
        if (rest.size() > stem.size() && rest.starts_with(stem) &&
            Joined(words, i + 1, out, pos + stem.size(), failed, next))
            return true;
        // The part before the break may get back a hyphen pdftotext took out of it too
        // ("ParkáňNá-" and "ny": "Parkáň-Nány"), the break's own hyphen kept or dropped.
        for (std::size_t length = stem.size() + 1; length < rest.size() && length <= 2 * word.size(); ++length) {
            const std::string_view part = rest.substr(0, length);
            if ((HyphensPutBack(stem, part) || HyphensPutBack(word, part)) &&
                Joined(words, i + 1, out, pos + length, failed, next))
                return true;
        }
    }
    failed.insert({i, pos});
    return false;
}

std::string Around(const std::vector<Word>& words, std::size_t at)
{
    std::string text;
    for (std::size_t k = at >= 3 ? at - 3 : 0; k < words.size() && k < at + 4; ++k)
        text += (k == at ? "[" : "") + std::string(words[k].text) + (k == at ? "] " : " ");
    return text;
}

}  // namespace

std::string WordsLostOrChanged(const std::vector<std::string>& before, const std::vector<std::string>& after)
{
    // The lines as the smart glue reads them before their layout.
    LineList book;
    for (const std::string& line : before)
        book.AddView(line, true);
    PrepareLinesForLayout(book);
    const std::vector<std::string_view> lines(book.pieces.begin(), book.pieces.end());
    const Layout layout = AnalyseLayout(lines);
    std::vector<Word> expected;
    // A footnote may come later than it stood, behind the paragraph: its words, whole, and how
    // many of the text's words stood before it.
    struct Note {
        std::size_t after = 0;
        std::vector<Word> words;
    };
    std::vector<Note> notes;
    const auto breakable = [](std::vector<Word>& words, std::size_t first) {
        if (words.size() > first && IsHyphen(words.back().text.back()) && words.back().text.size() > 1)
            words.back().breakable = true;
    };
    auto cut = layout.cuts.begin();  // a page number the layout cut off a line is furniture too
    for (std::size_t n = 0; n < lines.size(); ++n) {
        const LineRole role = layout.roles[n];
        while (cut != layout.cuts.end() && cut->line < n)
            ++cut;
        const bool isCut = cut != layout.cuts.end() && cut->line == n;
        const std::string_view line = isCut ? std::string_view(cut->text) : lines[n];
        if (role == LineRole::NoteStart || (role == LineRole::Note && !notes.empty())) {
            if (role == LineRole::NoteStart) {
                if (!notes.empty() && !notes.back().words.empty())
                    notes.back().words.back().breakable = false;
                notes.push_back({expected.size(), {}});
            }
            const std::size_t first = notes.back().words.size();
            AddWords(line, notes.back().words);
            breakable(notes.back().words, first);
            continue;
        }
        if (role != LineRole::Text)
            continue;
        const std::size_t first = expected.size();
        AddWords(line, expected);
        breakable(expected, first);
    }
    if (!expected.empty())
        expected.back().breakable = false;  // nothing follows it to join
    if (!notes.empty() && !notes.back().words.empty())
        notes.back().words.back().breakable = false;
    std::vector<Word> got;
    for (const std::string& line : after)
        AddWords(line, got);

    std::size_t i = 0;
    std::size_t note = 0;    // the next footnote to come
    std::size_t inNote = 0;  // its words read so far
    for (std::size_t j = 0; j < got.size(); ++j) {
        std::set<std::pair<std::size_t, std::size_t>> failed;
        std::size_t next = 0;
        const bool noteDue = note < notes.size() && notes[note].after <= i;
        if (inNote == 0 && Joined(expected, i, got[j].text, 0, failed, next)) {
            i = next;
            continue;
        }
        failed.clear();
        if (!noteDue || !Joined(notes[note].words, inNote, got[j].text, 0, failed, next))
            return "expected " + Around(inNote > 0 ? notes[note].words : expected, inNote > 0 ? inNote : i) + "got " +
                   Around(got, j);
        inNote = next;
        if (inNote == notes[note].words.size()) {
            ++note;
            inNote = 0;
        }
    }
    if (i < expected.size())
        return "lost at the end: " + Around(expected, i);
    if (note < notes.size())
        return "a footnote lost: " + Around(notes[note].words, inNote);
    return {};
}

}  // namespace lepotex::testing
