#include "engine/JoinedHyphens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/TextEditor.h"
#include "editor/Windows1250.h"
#include "engine/GlueCommands.h"
#include "engine/GlueRecord.h"

namespace lepotex {
namespace {

// Lines of about sixty characters, as a PDF's reading order gives them: every eighth one (every
// `every`th) ran together with the next, which pdftotext does where it took a line-end hyphen
// out. `words` (UTF-8) stand where the first of such two lines ended.
std::string Book(const std::vector<std::string>& words, bool runTogether, int every = 8)
{
    static const char* const kFiller[] = {"večer", "byl", "tichý", "a", "na", "návsi", "svítila", "lucerna",
                                          "až", "do", "rána", "když", "přišel", "domů", "řekl", "ženě", "psi",
                                          "štěkali", "za", "humny", "u", "potoka", "stál", "mlýn"};
    uint32_t seed = 7;
    auto line = [&](std::size_t length) {
        std::string text;
        while (text.size() < length) {
            seed = seed * 1103515245 + 12345;
            text += std::string(text.empty() ? "" : " ") + kFiller[(seed >> 16) % std::size(kFiller)];
        }
        return text;
    };
    std::string book;
    std::size_t special = 0;
    for (int i = 0; i < 160; ++i) {
        if (i % every == every / 2 && runTogether) {
            std::string text = line(52);
            if (special < words.size())
                text += " " + words[special++];
            book += text + " " + line(50) + "\r\n";
        } else {
            book += line(56 + std::size_t(i % 5)) + "\r\n";
        }
    }
    // Elsewhere, words that tell how the book writes the others.
    return Utf8ToWindows1250(book + "Chci-li, půjdu; je-li tma, zůstanu. Co máš? Nezaplatil. Žid měl židle. Co chcete? Jel domů.\r\n");
}

struct Glued {
    std::string text;
    std::vector<std::string> kept;  // "before>after" of every hyphen put back
};

Glued Glue(const std::string& book)
{
    TextEditor editor;
    EXPECT_EQ(editor.InsertText(book), 0);
    Settings settings = Settings::Defaults();
    settings.autoReplace.clear();
    SilentReporter reporter;
    GlueRecord record;
    EXPECT_EQ(SlepitChytreExecute(editor, settings, reporter, &record).outcome, GlueOutcome::Done);
    Glued glued{Windows1250ToUtf8(editor.Text()), {}};
    for (const Change& change : record.changes)
        if (change.kind == ChangeKind::LetterMended && change.doubtful) {
            const std::string at(editor.ParaText(change.paraNo).substr(std::size_t(change.column - 1), std::size_t(change.length)));
            EXPECT_EQ(at, record.NewText(change));
            glued.kept.push_back(Windows1250ToUtf8(record.OldText(change) + ">" + record.NewText(change)));
        }
    return glued;
}

TEST(JoinedHyphensTest, HyphensGoBackWhereTheWordShowsThem)
{
    const std::vector<std::string> words = {"ParkáňNány", "oh-ohoh-oh", "cinkcink-cink", "Ne-nenemohu", "mášli",
                                            "nezaplatilli", "chceteli", "nevrátilli", "židli", "kárali", "hahaha-ha", "Ha-hahaha",
                                            "Botticelli", "jeli"};
    const Glued glued = Glue(Book(words, true));
    for (const char* now : {"Parkáň-Nány", "oh-oh-oh-oh", "cink-cink-cink", "Ne-ne-nemohu", "máš-li", "nezaplatil-li",
                            "chcete-li", "nevrátil-li"})
        EXPECT_NE(glued.text.find(now), std::string::npos) << now;
    // A noun's or a past tense's ending, laughter and a name are no hyphen lost.
    for (const char* same : {"židli", "kárali", "hahaha-ha", "Ha-hahaha", "Botticelli", "jeli"})
        EXPECT_NE(glued.text.find(same), std::string::npos) << same;
    const std::vector<std::string> kept = {"ParkáňNány>Parkáň-Nány", "oh-ohoh-oh>oh-oh-oh-oh",
                                           "cinkcink-cink>cink-cink-cink", "Ne-nenemohu>Ne-ne-nemohu",
                                           "mášli>máš-li", "nezaplatilli>nezaplatil-li",
                                           "chceteli>chcete-li", "nevrátilli>nevrátil-li"};
    EXPECT_EQ(glued.kept, kept);
    // A book that breaks many words (a narrow page, a word processor's) runs a third of its
    // lines together: its full lines are still the usual ones.
    EXPECT_EQ(Glue(Book(words, true, 3)).kept, kept);

    // Words written without the spaces between them are another extraction's fault: no hyphen
    // goes back, with particles among the places or without.
    std::string spaceless;
    for (int i = 0; i < 40; ++i)
        spaceless += "večer byl tichý nanávsisvítilalucernaažrána a na návsi\r\n";
    for (const std::vector<std::string>& some : {words, std::vector<std::string>{"ParkáňNány"}})
        EXPECT_TRUE(Glue(Book(some, true) + Utf8ToWindows1250(spaceless)).kept.empty());

    // Lines that never ran together had their hyphens at the line ends: nothing was taken out.
    const Glued plain = Glue(Book({}, false) + Utf8ToWindows1250("na konci řádku ParkáňNány a mášli\r\n"));
    EXPECT_NE(plain.text.find("ParkáňNány a mášli"), std::string::npos);
    EXPECT_TRUE(plain.kept.empty());
}

}  // namespace
}  // namespace lepotex
