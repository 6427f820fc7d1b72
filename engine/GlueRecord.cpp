#include "engine/GlueRecord.h"

#include "editor/Windows1250.h"

namespace lepotex {

void GlueRecord::Clear()
{
    changes.clear();
    bytes.clear();
    layout = LayoutFound();
    smart = false;
    before = TextEditor::KeptText();
}

Change& GlueRecord::Add(Change change, std::string_view first, std::string_view second)
{
    change.bytes = bytes.size();
    change.firstLength = uint32_t(first.size());
    change.secondLength = uint32_t(second.size());
    bytes.insert(bytes.end(), first.begin(), first.end());
    bytes.insert(bytes.end(), second.begin(), second.end());
    return changes.emplace_back(change);
}

void GlueRecord::Reserve(std::size_t moreChanges, std::size_t moreBytes)
{
    changes.reserve(changes.size() + moreChanges);
    bytes.reserve(bytes.size() + moreBytes);
}

std::string GlueRecord::OldText(const Change& change) const
{
    const std::string_view first = First(change);
    const std::string_view second = Second(change);
    switch (change.kind) {
    case ChangeKind::PageLine:
    case ChangeKind::Rule:
    case ChangeKind::Speech:
    case ChangeKind::LetterMended:
        return std::string(first);
    case ChangeKind::HyphenRemoved:
    case ChangeKind::HyphenKept:
    case ChangeKind::LineGlued:
    case ChangeKind::ParagraphKept:
        break;
    }
    return std::string(first) + '\n' + std::string(second);
}

std::string GlueRecord::NewText(const Change& change) const
{
    const std::string_view first = First(change);
    const std::string_view second = Second(change);
    switch (change.kind) {
    case ChangeKind::PageLine:
        return {};
    case ChangeKind::Rule:
    case ChangeKind::Speech:
    case ChangeKind::LetterMended:
        return std::string(second);
    case ChangeKind::HyphenRemoved:
        return std::string(first.substr(0, first.size() - 1)) + std::string(second);
    case ChangeKind::HyphenKept:
        return std::string(first) + std::string(second);
    case ChangeKind::LineGlued:
        return std::string(first) + ' ' + std::string(second);
    case ChangeKind::ParagraphKept:
        break;
    }
    return OldText(change);
}

std::array<int64_t, kChangeKindCount> GlueRecord::Counts() const
{
    std::array<int64_t, kChangeKindCount> counts{};
    for (const Change& change : changes)
        ++counts[std::size_t(change.kind)];
    return counts;
}

std::string_view ChangeKindId(ChangeKind kind)
{
    static constexpr std::array<std::string_view, kChangeKindCount> ids = {
        "page-line", "hyphen-removed", "hyphen-kept", "line-glued", "paragraph-kept", "rule", "speech", "letter-mended"};
    return ids[std::size_t(kind)];
}

std::string_view BreakReasonId(BreakReason reason)
{
    static constexpr std::array<std::string_view, 8> ids = {"",       "line-tests", "short-line", "full-line",
                                                            "indent", "blank-line", "footnote",   "whole-paragraph"};
    return ids[std::size_t(reason)];
}

std::string_view ChangeKindCaption(ChangeKind kind)
{
    static constexpr std::array<std::string_view, kChangeKindCount> captions = {
        "Odstraněné řádky stránek", "Odstraněná dělení slov", "Ponechaná dělení slov", "Slepené zlomy řádek",
        "Ponechané odstavce",       "Automatické náhrady",    "Slepená přímá řeč",     "Opravená písmena"};
    return captions[std::size_t(kind)];
}

std::string_view BreakReasonCaption(BreakReason reason)
{
    static constexpr std::array<std::string_view, 8> captions = {
        "",        "řádkové testy", "krátký řádek",       "plný řádek",
        "odsazení", "prázdný řádek", "poznámka pod čarou", "řádek je celý odstavec"};
    return captions[std::size_t(reason)];
}

namespace {

// "1 řádek", "3 řádky", "5 řádků".
std::string Counted(int64_t count, const char* one, const char* few, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : count >= 2 && count <= 4 ? few : many);
}

}  // namespace

std::string DescribeLayout(const LayoutFound& layout)
{
    if (!layout.known)
        return {};
    std::string text = "Rozvržení: ";
    if (layout.linesAreParagraphs)
        text += "každý řádek je celý odstavec, text už je slepený";
    else
        text += layout.width > 0 ? "šířka řádku " + std::to_string(layout.width) + " znaků"
                                 : "řádky nejsou zalomené na jednu šířku";
    if (layout.columnPages > 0)
        text += ", stránky sázené ve dvou sloupcích (čteno po sloupcích: " + Counted(layout.columnPages, "stránka", "stránky", "stránek") + ")";
    if (layout.spacingBlanks > 0)
        text += ", řádky proložené prázdnými řádky (odebráno jich: " + std::to_string(layout.spacingBlanks) + ")";
    if (layout.wordLines > 0)
        text += ", řádky rozpadlé na slova (spojeno zlomů: " + std::to_string(layout.wordLines) + ")";
    if (layout.marginLeast > 0)
        text += ", text posunutý od levého okraje o " +
                (layout.marginMost > layout.marginLeast ? std::to_string(layout.marginLeast) + " až " : std::string()) +
                Counted(layout.marginMost, "mezeru", "mezery", "mezer");
    if (layout.measured)
        text += layout.ragged ? ", řádky zarovnané vlevo (šířky písmen změřené z knihy)"
                              : ", řádky zarovnané do bloku (šířky písmen změřené z knihy)";
    switch (layout.mark) {
    case ParagraphMark::Indent:
        text += ", odstavce začínají odsazením o " + Counted(layout.indent, "mezeru", "mezery", "mezer");
        break;
    case ParagraphMark::Blank:
        text += ", odstavce odděluje prázdný řádek";
        break;
    case ParagraphMark::Neither:
        if (!layout.linesAreParagraphs)
            text += ", odstavce nejsou nijak označené";
        break;
    }
    if (layout.twoLetterBreaks)
        text += ", slova dělená i před posledními dvěma písmeny (jako v textovém editoru)";
    // What was mended or moved in the text, told last: it is no matter of the layout.
    std::string mended =
        layout.caronsMended > 0
            ? "; písmen s háčkem čtených jako písmeno a apostrof (t’ → ť): " + std::to_string(layout.caronsMended)
            : "";
    if (layout.accentsMended > 0)
        mended += "; písmen čtených jako samostatné znaménko a písmeno (ˇr → ř): " + std::to_string(layout.accentsMended);
    if (layout.notes > 0)
        mended += "; poznámek pod čarou přesunutých za odstavec, který stránka přerušila: " +
                  std::to_string(layout.notes);
    if (layout.hyphensRestored > 0)
        mended += "; spojovníků vrácených do slov spojených na konci řádku: " + std::to_string(layout.hyphensRestored);
    if (layout.pageLines == 0 && layout.numbersCut == 0)
        return text + ", řádky stránek žádné" + mended + ".";
    text += ", řádky stránek";
    for (std::size_t i = 0; i < layout.furniture.size() && i < 3; ++i)
        text += std::string(i == 0 ? " " : ", ") + "„" + Windows1250ToUtf8(layout.furniture[i].shape) + "“ (" +
                std::to_string(layout.furniture[i].lines) + "×)";
    if (layout.furniture.size() > 3)
        text += " a další";
    text += "; odstraněno řádků: " + std::to_string(layout.pageLines);
    if (layout.pageBlanks > 0)
        text += ", prázdných kolem nich: " + std::to_string(layout.pageBlanks);
    if (layout.numbersCut > 0)
        text += "; čísel stránek odříznutých z řádků textu: " + std::to_string(layout.numbersCut);
    return text + mended + ".";
}

}  // namespace lepotex
