// Search and replace with any options, texts and caret: the counts stay in step with the
// text; a found occurrence is what was searched for; and over the whole text the result
// equals a plain scan of the paragraphs, one position at a time.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "FuzzEditorChecks.h"
#include "FuzzInput.h"
#include "editor/TextEditor.h"
#include "editor/Windows1250.h"

using namespace lepotex;

namespace {

bool IsDelimiter(char c)
{
    static constexpr std::string_view kDelimiters("\t'\r\n ,./?;:`\"<>[]{}-=\\+|()%@&^$#!~*", 35);
    return kDelimiters.find(c) != std::string_view::npos;
}

struct Reference {
    std::string_view s;
    std::string_view r;
    SearchOptions options;

    bool MatchesAt(const std::string& text, size_t at) const
    {
        if (at + s.size() > text.size())
            return false;
        for (size_t i = 0; i < s.size(); ++i) {
            const uint8_t a = uint8_t(text[at + i]);
            const uint8_t b = uint8_t(s[i]);
            if (options.matchCase ? a != b : ToUpperByte(a) != ToUpperByte(b))
                return false;
        }
        if (options.wholeWord) {
            if (at > 0 && !IsDelimiter(text[at - 1]))
                return false;
            if (at + s.size() < text.size() && !IsDelimiter(text[at + s.size()]))
                return false;
        }
        return true;
    }

    // Replaces every occurrence as the engine walks the text; returns the count.
    int32_t ReplaceAll(std::vector<std::string>& paras) const
    {
        int32_t count = 0;
        for (size_t i = 0; i < paras.size(); ++i) {
            std::string& text = paras[options.backward ? paras.size() - 1 - i : i];
            if (!options.backward) {
                for (size_t at = 0; at + s.size() <= text.size(); ++at)
                    if (MatchesAt(text, at)) {
                        text.replace(at, s.size(), r);
                        ++count;
                        at += r.size() - 1;  // the loop's step makes it r.size()
                    }
            } else {
                for (size_t end = text.size(); end >= s.size(); --end)
                    if (const size_t at = end - s.size(); MatchesAt(text, at)) {
                        text.replace(at, s.size(), r);
                        ++count;
                        end = at + 1;  // the loop's step makes it at
                    }
            }
        }
        return count;
    }

    // The first occurrence in the walk's order, as {paragraph, column}, or {0, 0}.
    ParaPos First(const std::vector<std::string>& paras) const
    {
        const int32_t count = int32_t(paras.size());
        for (int32_t i = 0; i < count; ++i) {
            const int32_t p = options.backward ? count - 1 - i : i;
            const std::string& text = paras[size_t(p)];
            if (text.size() < s.size())
                continue;
            for (size_t k = 0; k + s.size() <= text.size(); ++k) {
                const size_t at = options.backward ? text.size() - s.size() - k : k;
                if (MatchesAt(text, at))
                    return ParaPos{p + 1, int32_t(at) + 1};
            }
        }
        return ParaPos{0, 0};
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    SearchOptions options = SearchOptions::FromFlags(in.Byte());
    const bool search = in.Flag();
    const std::string s(in.Until('\0').substr(0, 300));
    const std::string r(in.Until('\0').substr(0, 300));
    const int caretPara = in.Below(64);
    const int caretColumn = in.Below(300);
    const int selectionPara = in.Below(64);
    const int selectionColumn = in.Below(300);
    TextEditor editor;
    if (in.Byte() % 4 == 0)
        editor.SetParaLengthLimit(1 + in.Below(400));
    (void)editor.InsertText(in.Rest());
    const std::vector<std::string> before = fuzz::Paragraphs(editor);
    editor.SetSelection(ParaPos{1 + selectionPara, 1 + selectionColumn}, ParaPos{1 + caretPara, 1 + caretColumn});
    const bool plain = options.global && !options.selectedOnly && !editor.HasSelection() &&
                       s.size() <= 255 && r.size() <= 255 && s.find('\0') == std::string::npos &&
                       r.find('\0') == std::string::npos && editor.ParaLengthLimit() == TextEditor::kMaxParaLength;

    int32_t result = 0;
    bool found = false;
    bool failed = false;
    try {
        if (search)
            found = editor.Search(s, options);
        else
            result = editor.Replace(s, r, options);
    } catch (const EEditorError&) {
        failed = true;  // a replacement would make a paragraph too long
    }
    fuzz::CheckEditor(editor);

    const std::string_view cut = std::string_view(s).substr(0, std::min(s.find('\0'), size_t(255)));
    if (search && found && !cut.empty()) {
        const std::string selected = editor.SelectedText();
        FUZZ_CHECK((Reference{cut, {}, options}.MatchesAt(selected, 0)));
        FUZZ_CHECK(selected.size() == cut.size());
    }
    if (!plain || s.empty() || failed)
        return 0;
    Reference reference{s, r, options};
    std::vector<std::string> expected = before;
    if (!search && options.replaceAll) {
        const int32_t count = reference.ReplaceAll(expected);
        FUZZ_CHECK(result == (count != 0 ? count : -1));
        FUZZ_CHECK(fuzz::Paragraphs(editor) == expected);
        // Undone as one step, when the history kept it: a group that would need the room of
        // the whole history (the text's own insertion included) is refused, and leaves none.
        if (count != 0 && editor.CanUndo()) {
            editor.Undo();
            FUZZ_CHECK(fuzz::Paragraphs(editor) == before);
        }
    } else {
        const ParaPos first = reference.First(before);
        FUZZ_CHECK(fuzz::Paragraphs(editor) == before);
        FUZZ_CHECK((search ? (found ? 0 : -1) : result) == (first.paraNo != 0 ? 0 : -1));
        if (first.paraNo != 0)
            FUZZ_CHECK(editor.SelStart() == first);
    }
    return 0;
}
