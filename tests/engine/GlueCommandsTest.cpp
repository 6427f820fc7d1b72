#include "engine/GlueCommands.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../editor/TestUtil.h"
#include "EditorLines.h"
#include "LiteralReference.h"
#include "RandomText.h"
#include "editor/Windows1250.h"
#include "engine/AutoReplace.h"

namespace lepotex {
namespace {

using test::Repeated;

// Records what the user reads (stage texts in UTF-8, messages) and the restoring calls.
class RecordingReporter : public SilentReporter {
public:
    std::vector<std::string> calls;

    void ShowStage(std::string_view text, Repaint) override { calls.push_back(Windows1250ToUtf8(text)); }
    void HideProgress() override { calls.emplace_back("hide bar"); }
    void RestoreCursor() override { calls.emplace_back("cursor"); }
    void ShowMessage(std::string_view text) override { calls.push_back("message " + Windows1250ToUtf8(text)); }
};

void Load(TextEditor& editor, std::string_view utf8)
{
    editor.Clear();
    ASSERT_EQ(editor.InsertText(Utf8ToWindows1250(utf8)), 0);
    editor.SetCaret({1, 1});
}

std::string Text(const TextEditor& editor) { return Windows1250ToUtf8(editor.Text()); }

Settings NoRules()
{
    Settings s = Settings::Defaults();
    s.autoReplace.clear();
    return s;
}

TEST(SlepitExecute, BothCommandsRefuseTooLittleTextAReadOnlyOneOrAParagraphOverTheLimitAndLeaveTheTextAsItWas)
{
    const std::string noText = "message Před lepením musíte do editoru načíst text ze souboru, nebo vložit ze schránky.";
    const std::string readOnly = "message Text je jen pro čtení; nelze ho slepit.";
    auto tooLong = [](int length) {
        return "message Odstavec č. 1 by po slepení měl " + std::to_string(length) +
               " znaků; editor jich v odstavci dovolí nejvýše 32767. Text zůstal beze změny.";
    };
    // 4000 lines of 11 bytes glue into one of 47999, indented by 3. An empty message: the command
    // is not run on that text.
    const std::tuple<std::string, std::string, std::string> cases[] = {
        {"", noText, noText},
        {"jeden řádek", noText, noText},
        {"a\r\nb", readOnly, readOnly},
        {Repeated("slovo slovo\r\n", 4000) + "\r\nkrátký", tooLong(48002), ""},
        {"„" + Repeated("řeč řeč ř\r\n", 3300) + "“", "", tooLong(33002)},
    };
    TextEditor editor;
    for (const auto& [text, glueMessage, speechMessage] : cases) {
        for (const bool speech : {false, true}) {
            const std::string& message = speech ? speechMessage : glueMessage;
            if (message.empty())
                continue;
            editor.SetReadOnly(false);
            Load(editor, text);
            editor.SetReadOnly(message == readOnly);
            const std::string before = editor.Text();
            RecordingReporter reporter;
            const GlueResult result = speech ? actPrimaRecExecute(editor, reporter) : SlepitExecute(editor, NoRules(), reporter);
            EXPECT_EQ(result.outcome, GlueOutcome::Refused);
            ASSERT_FALSE(reporter.calls.empty());
            EXPECT_EQ(reporter.calls.back(), message);
            // Too little text or a read-only one is refused before any stage is shown.
            EXPECT_TRUE(reporter.calls.size() == 1 || (message != noText && message != readOnly));
            EXPECT_TRUE(editor.Text() == before);
        }
    }
    // One paragraph that word wrap shows on three lines is accepted.
    editor.SetReadOnly(false);
    Load(editor, std::string(300, 'a'));
    SilentReporter quiet;
    EXPECT_EQ(SlepitExecute(editor, NoRules(), quiet).outcome, GlueOutcome::Done);
    EXPECT_EQ(Text(editor), "   " + std::string(300, 'a') + "\r\n");

    // An in-place rule that grows the glued paragraph past the limit fails as the editor's
    // replace does, once the text was glued: the text goes back as it was, with a record to
    // review or without, and the record holds nothing.
    Settings growing = NoRules();
    growing.autoReplace = {"a\\" + std::string(200, 'a')};
    for (const bool recorded : {false, true}) {
        Load(editor, Repeated("a a a\r\n", 60));
        const std::string before = editor.Text();
        GlueRecord record;
        EXPECT_THROW(SlepitExecute(editor, growing, quiet, recorded ? &record : nullptr), EEditorError);
        EXPECT_EQ(editor.Text(), before);
        EXPECT_TRUE(record.Empty());
    }
}

TEST(SlepitExecute, BothCommandsShowEveryStageInOrderAndLineBreakRulesFirst)
{
    TextEditor editor;
    Load(editor, "ahoj\r\nsvěte");
    Settings settings = Settings::Defaults();
    settings.autoReplace = {"x\\y", "a\\b^pc", "bad"};
    RecordingReporter reporter;
    EXPECT_EQ(SlepitExecute(editor, settings, reporter).outcome, GlueOutcome::Done);
    EXPECT_EQ(Text(editor), "   b\r\nchoj světe\r\n");
    const std::vector<std::string> expected = {
        "Začínáme ...", "Mažu odsazení", "Mažu čísla stránek", "Mažu dělní slov", "Lepím zlomy řádek",
        "Doplňuji odsazení", "Automatická náhrada:a", "A končíme", "Automatická náhrada:x", "A je to ...",
        "hide bar", "cursor", "message Lepení ukončeno."};
    EXPECT_EQ(reporter.calls, expected);

    // Only page numbers: one empty paragraph stays.
    Load(editor, "- 1 -\r\n-2-\r\n- 3 -");
    EXPECT_EQ(SlepitExecute(editor, NoRules(), reporter).outcome, GlueOutcome::Done);
    EXPECT_EQ(editor.ParaCount(), 1);
    EXPECT_EQ(Text(editor), "");

    Load(editor, "„Dobrý den,\r\n   jak se máte?“\r\nTicho.\tx");
    editor.SetWordWrap(false);
    reporter.calls.clear();
    ASSERT_EQ(actPrimaRecExecute(editor, reporter).outcome, GlueOutcome::Done);
    EXPECT_EQ(Text(editor), "„Dobrý den, jak se máte?“\r\nTicho.  x\r\n");
    EXPECT_TRUE(editor.WordWrap());
    EXPECT_EQ(reporter.calls[1], "Lepím rozdělěnou přímou řeč.");
}

class GlueFile : public test::FileTest {
protected:
    // A random editor text as loading and editing make them: lone LFs inside paragraphs (a
    // file line ends at CR only), lone CRs inside and at the end of a paragraph (only editing
    // puts them there), tabs, and the pieces the line tests care about.
    void LoadRandomText(TextEditor& editor, std::mt19937& rng, int round) const
    {
        std::string file;
        for (std::string line : testing::RandomLines(rng, 25)) {
            if (rng() % 5 == 0)
                line.insert(line.size() / 2, "\n");
            if (round % 4 == 1 && rng() % 3 == 0)
                line += "\tsena,,\t";
            file += line + "\r\n";
        }
        editor.LoadFromFile(Write("random.txt", file));
        editor.SetCaret(ParaPos{1, 1});
        ASSERT_EQ(editor.InsertText("\x84" "a\rb "), 0);
        if (round % 5 == 2) {
            editor.SetCaret(ParaPos{1, int32_t(editor.ParaText(1).size()) + 1});
            ASSERT_EQ(editor.InsertText("\rz"), 0);
            editor.Backspace();
            ASSERT_TRUE(editor.ParaText(1).ends_with('\r'));
        }
    }
};

// The batch tool's way: a mapped book, let go as the glue reads it, gives what a book kept
// gives; cut short by another process meanwhile, it gives nothing that could be saved.
TEST_F(GlueFile, AReleasedMappedBookGluesAsAKeptOneAndIsNotSavedWhenCut)
{
    std::string book;
    for (int i = 0; book.size() < 12'000'000; ++i)
        book += i % 20 == 0 ? "\r\n    Kapitola " + std::to_string(i) + "\r\n" : "slovo a dal\x9A\xED slovo sena konec-\r\n";
    const std::string path = Write("book.txt", book);
    SilentReporter quiet;
    TextEditor kept, released;
    released.SetMapFiles(true);
    kept.LoadFromFile(path);
    released.LoadFromFile(path);
    ASSERT_EQ(SlepitExecute(kept, Settings::Defaults(), quiet).outcome, GlueOutcome::Done);
    ASSERT_EQ(SlepitExecute(released, Settings::Defaults(), quiet, nullptr, OldText::Released).outcome, GlueOutcome::Done);
    EXPECT_TRUE(released.Text() == kept.Text());

    released.LoadFromFile(path);
    ASSERT_EQ(::truncate(path.c_str(), 1000), 0);
    ASSERT_EQ(SlepitExecute(released, Settings::Defaults(), quiet, nullptr, OldText::Released).outcome, GlueOutcome::Done);
    EXPECT_TRUE(released.SourceChanged());
    EXPECT_THROW(released.SaveToFile(Path("saved.txt")), EInOutError);
    EXPECT_FALSE(test::fs::exists(Path("saved.txt")));

    // Glued straight into the file, the same: whole, or cut meanwhile and not saved.
    class SavedTo : public GluedTextOutput {
    public:
        SavedTo(TextEditor& editor, std::string name) : editor(editor), name(std::move(name)) {}
        bool Write(int64_t size, const TextEditor::ParagraphProducer& produce) override
        {
            return editor.SaveProducedToFile(name, size, produce);
        }
        TextEditor& editor;
        std::string name;
    };
    const std::string whole = Write("book.txt", book);
    kept.SaveToFile(Path("kept.txt"));
    released.LoadFromFile(whole);
    SavedTo streamed(released, Path("streamed.txt"));
    ASSERT_TRUE(SlepitExecute(released, Settings::Defaults(), quiet, nullptr, OldText::Released, &streamed).written);
    EXPECT_TRUE(test::ReadFile(Path("streamed.txt")) == test::ReadFile(Path("kept.txt")));
    released.LoadFromFile(whole);
    ASSERT_EQ(::truncate(whole.c_str(), 1000), 0);
    SavedTo cut(released, Path("saved.txt"));
    EXPECT_THROW((void)SlepitExecute(released, Settings::Defaults(), quiet, nullptr, OldText::Released, &cut), EInOutError);
    EXPECT_FALSE(test::fs::exists(Path("saved.txt")));
}

// Both commands against their literal form: the lines read with GetLine, the literal stages
// and first pass (or speech scan), then Clear and InsertText of each line with CR LF, and the
// in-place rules through Replace.
TEST_F(GlueFile, BothCommandsMatchTheirLiteralFormOnRandomTexts)
{
    std::mt19937 rng(1968);
    for (int round = 0; round < 400; ++round) {
        Settings s = Settings::Defaults();
        s.indent = round % 3 != 0;
        if (round % 2 == 0)  // only in-place rules: lines keep their lone CRs and LFs
            std::erase_if(s.autoReplace, [](const std::string& rule) { return ParseRule(rule).kind == RuleKind::LineBreak; });
        // A rule that makes what a later one searches for, which the glued text itself never
        // holds; and one that ignores case.
        if (round % 3 == 2)
            s.autoReplace.insert(s.autoReplace.end(), {"ab\\QQ\\c", "QQ\\Y", "aB\\z\\"});
        TextEditor editor, speech, expected, expectedSpeech;
        LoadRandomText(editor, rng, round);
        LoadRandomText(speech, rng, round);
        ASSERT_TRUE(literal::GlueIntoEditor(testing::UnwrappedLines(editor), s, expected));
        ASSERT_TRUE(literal::SpeechIntoEditor(testing::UnwrappedLines(speech), expectedSpeech));
        SilentReporter quiet;
        if (editor.LineCount() >= 2) {  // else refused: the text stays
            const OldText oldText = round % 4 == 1 ? OldText::Released : OldText::Kept;
            ASSERT_EQ(SlepitExecute(editor, s, quiet, nullptr, oldText).outcome, GlueOutcome::Done);
            // Paragraphs never hold a CR LF, so the whole text tells them apart.
            ASSERT_TRUE(editor.Text() == expected.Text()) << "round " << round;
            ASSERT_EQ(editor.Caret(), expected.Caret()) << "round " << round;
        }

        if (speech.LineCount() >= 2) {
            ASSERT_EQ(actPrimaRecExecute(speech, quiet).outcome, GlueOutcome::Done);
            ASSERT_TRUE(speech.Text() == expectedSpeech.Text()) << "round " << round;
            ASSERT_EQ(speech.Caret(), expectedSpeech.Caret()) << "round " << round;
        }
    }
}

// A book long enough to be written out in halves on two cores, and searched for the in-place
// rules while it goes into the editor, gives the literal form's text too: its joins, hyphens
// and indents on both sides of the middle, and rules that find something only in one half.
TEST_F(GlueFile, ALongBookGluesInHalvesAsTheLiteralFormDoes)
{
    std::mt19937 rng(4096);
    std::string file;
    for (int n = 0; n < 40000; ++n) {
        std::string line = testing::RandomLine(rng);
        std::erase(line, '\r');
        if (n == 30000)
            line += " sena ,,";
        file += line + "\r\n";
    }
    for (const bool indent : {true, false}) {
        Settings s = Settings::Defaults();
        s.indent = indent;
        TextEditor editor, expected;
        editor.LoadFromFile(Write("long.txt", file));
        ASSERT_TRUE(literal::GlueIntoEditor(testing::UnwrappedLines(editor), s, expected));
        SilentReporter quiet;
        ASSERT_EQ(SlepitExecute(editor, s, quiet, nullptr, OldText::Released).outcome, GlueOutcome::Done);
        ASSERT_TRUE(editor.Text() == expected.Text());
    }
}

// Records the progress as the window's bar would show it.
class ProgressLog : public RecordingReporter {
public:
    void SetProgressMaximum(int64_t maximum) override { calls.push_back("max " + std::to_string(maximum)); }
    void StepProgress(int64_t count) override { calls.push_back("step " + std::to_string(count)); }
};

// What a streamed glue hands over, as a file would get it.
class Collected : public GluedTextOutput {
public:
    bool takes = true;
    std::vector<std::string> paragraphs;

    bool Write(int64_t, const TextEditor::ParagraphProducer& produce) override
    {
        if (!takes)
            return false;
        paragraphs.clear();
        produce([&](std::string_view text) { paragraphs.emplace_back(text); });
        return true;
    }
};

// The editor's paragraphs as a save writes them: all but an empty last one.
std::vector<std::string> Saved(const TextEditor& editor)
{
    std::vector<std::string> paragraphs;
    for (int32_t p = 1; p <= editor.ParaCount(); ++p)
        paragraphs.emplace_back(editor.ParaText(p));
    if (!paragraphs.empty() && paragraphs.back().empty())
        paragraphs.pop_back();
    return paragraphs;
}

// A glue streamed into a file hands over what the editor would hold after the usual glue,
// with the same stages and progress; where a limit is in reach or the lines hold line
// breaks, it gives up and the editor gets the usual text, refusal or error. Random texts,
// rules that make what later ones find, and small limits; then a book of many chunks.
TEST_F(GlueFile, AStreamedGlueGivesWhatTheEditorWouldHold)
{
    std::mt19937 rng(20261209);
    int streamed = 0, gaveUp = 0, handedOns = 0;
    for (int round = 0; round < 400; ++round) {
        Settings s = Settings::Defaults();
        s.indent = round % 3 != 0;
        s.smart = round % 7 == 3;
        if (round % 3 == 2)
            s.autoReplace.insert(s.autoReplace.end(), {"ab\\QQ\\c", "QQ\\Y", "aB\\z\\", "a\\aaa\\c", "l\\^p", "aa\\b", "a\\e"});
        TextEditor usual, stream;
        // Half the books from a file go from it straight into the glue's working list.
        std::optional<GlueListSink> sink;
        bool handedOn = false;
        if (round % 4 == 0) {  // lone CRs and LFs in the lines: no stream
            std::mt19937 same = rng;
            LoadRandomText(usual, rng, round);
            LoadRandomText(stream, same, round);
        } else {
            std::string file;
            for (std::string line : testing::RandomLines(rng, 40)) {
                if (rng() % 9 == 0)
                    line += "\tsena,,";
                if (rng() % 23 == 0)
                    line += std::string("a\0b", 3);
                if (rng() % 37 == 0)
                    line += "a\nb";  // a lone LF is a character of its line
                file += line + (rng() % 31 == 0 ? "\r" : "\r\n");
            }
            if (round % 13 == 5)
                file += "\x1a" "behind the end\r\n";
            usual.LoadFromFile(Write("random.txt", file));
            if (round % 2 == 1) {
                stream.SetMapFiles(round % 3 == 0);
                sink.emplace(stream.TabSize(), round % 5 == 1 ? nullptr : &s);
                // A book whose start shows no Windows-1250 text with CR LF is read into the editor.
                handedOn = stream.LoadFromFileInto(Path("random.txt"), std::nullopt, *sink);
                handedOns += handedOn;
            } else {
                stream.LoadFromFile(Path("random.txt"));
            }
        }
        if (round % 5 == 4) {
            const int32_t limit = 8 + int32_t(rng() % 40);
            usual.SetParaLengthLimit(limit);
            stream.SetParaLengthLimit(limit);
        }
        if (round % 11 == 6) {
            const int32_t limit = int32_t(usual.ByteCount()) + int32_t(rng() % 30);
            usual.SetByteLimit(limit);
            stream.SetByteLimit(limit);
        }
        ProgressLog usualLog, streamLog;
        Collected output;
        GlueResult usualResult, streamResult;
        bool usualFailed = false, streamFailed = false;
        try {
            usualResult = SlepitExecute(usual, s, usualLog, nullptr, OldText::Released);
        } catch (const EEditorError&) {
            usualFailed = true;
        }
        try {
            streamResult =
                SlepitExecute(stream, s, streamLog, nullptr, OldText::Released, &output, handedOn ? &*sink : nullptr);
        } catch (const EEditorError&) {
            streamFailed = true;
        }
        ASSERT_EQ(usualFailed, streamFailed) << "round " << round;
        if (usualFailed)
            continue;
        ASSERT_EQ(usualResult.outcome, streamResult.outcome) << "round " << round;
        ASSERT_EQ(usualResult.message, streamResult.message) << "round " << round;
        if (streamResult.written) {
            ++streamed;
            ASSERT_EQ(output.paragraphs, Saved(usual)) << "round " << round;
            ASSERT_EQ(streamLog.calls, usualLog.calls) << "round " << round;
            ASSERT_EQ(stream.ByteCount(), 0);
        } else {
            gaveUp += streamResult.outcome == GlueOutcome::Done;
            ASSERT_TRUE(stream.Text() == usual.Text()) << "round " << round;
        }
    }
    EXPECT_GT(streamed, 150);
    EXPECT_GT(gaveUp, 20);
    EXPECT_GT(handedOns, 100);

    // A book of many chunks, with a rule that finds something in one of them only; then one
    // whose paragraph grows past the limit under a rule in its last chunk.
    std::string file;
    for (int n = 0; file.size() < 3'000'000; ++n) {
        std::string line = testing::RandomLine(rng);
        std::erase(line, '\r');
        if (n == 150000)
            for (int k = 0; k < 200; ++k)
                line += " sena ,,";
        file += line + "\r\n";
    }
    SilentReporter quiet;
    for (const bool tooLong : {false, true}) {
        Settings s = Settings::Defaults();
        if (tooLong)
            s.autoReplace.insert(s.autoReplace.begin(), "sena\\" + std::string(255, 'x'));
        TextEditor usual, stream;
        usual.LoadFromFile(Write("long.txt", file));
        stream.SetMapFiles(true);
        stream.LoadFromFile(Path("long.txt"));
        Collected output;
        if (tooLong) {
            EXPECT_THROW((void)SlepitExecute(usual, s, quiet, nullptr, OldText::Released), EEditorError);
            EXPECT_THROW((void)SlepitExecute(stream, s, quiet, nullptr, OldText::Released, &output), EEditorError);
            continue;
        }
        ASSERT_EQ(SlepitExecute(usual, s, quiet, nullptr, OldText::Released).outcome, GlueOutcome::Done);
        const GlueResult result = SlepitExecute(stream, s, quiet, nullptr, OldText::Released, &output);
        ASSERT_TRUE(result.written);
        ASSERT_TRUE(output.paragraphs == Saved(usual));
    }
}

// The smart glue reads a book's lines as they load; what the lines need before their layout
// is read (a page margin, double spacing, a line cut into its words, letters in two pieces,
// tabs) changes them after, and the glue must read them as changed.
TEST_F(GlueFile, TheSmartGlueOfABookLoadedIntoItsListIsTheEditorsGlue)
{
    std::mt19937 rng(20261209);
    static const char* const words[] = {"a", "les", "domov", "cesta", "okno", "zahrada", "dlouho", "ticho",
                                        "voda", "srdce", "tedy", "\x8e" "ena", "Ano,", "ve\xe8" "er",
                                        "\xf8" "ekl", "d\xecti", "p\xf8i\x9a" "el", "ml\xfdn", "pozd\xec"};
    std::vector<std::string> book;
    for (int p = 0; p < 400; ++p) {
        std::string line = "   Pak";
        for (int w = 0, length = 3 + int(rng() % 40); w < length; ++w) {
            const std::string word = words[rng() % std::size(words)];
            if (line.size() + 1 + word.size() > 62) {
                book.push_back(line);
                line = word;
            } else {
                line += ' ' + word;
            }
        }
        book.push_back(line + ".");
        if (book.size() / 40 != (book.size() - 1) / 40)
            book.push_back(std::string(30, ' ') + std::to_string(book.size() / 40));
    }
    const auto variant = [&](int kind) {
        std::string file;
        for (std::size_t i = 0; i < book.size(); ++i) {
            std::string line = book[i];
            if (kind == 1)  // a page margin, wider on every other page
                line.insert(0, i / 40 % 2 ? 12 : 8, ' ');
            if (kind == 3 && i % 5 == 2 && line.size() > 50 && line[0] != ' ')  // a line cut into its words
                std::replace(line.begin(), line.end(), ' ', '\n');
            if (kind == 4 && i % 7 == 0)
                line.insert(0, "\t");
            if (const std::size_t at = line.find("tedy"); kind == 0 && at != std::string::npos && i % 9 == 0)
                line.replace(at, 4, "ted\x92");  // a letter in two pieces, as a PDF of some faces has it
            if (kind == 5)  // nothing the glue looks at first: the lines as they come
                line += "  ";
            for (std::size_t at = 0, end; at <= line.size(); at = end + 1) {
                end = std::min(line.find('\n', at), line.size());
                file += line.substr(at, end - at) + "\r\n";
            }
            if (kind == 2)  // double spacing
                file += "\r\n";
        }
        return file;
    };
    Settings s = Settings::Defaults();
    s.smart = true;
    for (int kind = 0; kind <= 5; ++kind) {
        const std::string file = variant(kind);
        TextEditor usual, stream;
        usual.LoadFromFile(Write("book.txt", file));
        GlueListSink sink(stream.TabSize(), &s);
        ASSERT_TRUE(stream.LoadFromFileInto(Path("book.txt"), std::nullopt, sink)) << kind;
        SilentReporter quiet;
        Collected output;
        GlueRecord record;
        ASSERT_EQ(SlepitExecute(usual, s, quiet, &record).outcome, GlueOutcome::Done);
        const GlueResult streamed = SlepitExecute(stream, s, quiet, nullptr, OldText::Released, &output, &sink);
        ASSERT_TRUE(streamed.written) << kind;
        EXPECT_EQ(output.paragraphs, Saved(usual)) << kind;
        // Each book had what it was made to have.
        const LayoutFound& found = record.layout;
        EXPECT_EQ(found.caronsMended > 0, kind == 0) << kind;
        EXPECT_EQ(found.marginLeast > 0, kind == 1) << kind;
        EXPECT_EQ(found.spacingBlanks > 0, kind == 2) << kind;
        EXPECT_EQ(found.wordLines > 0, kind == 3) << kind;
    }
}

// The shapes of a long book's lines, read on a second thread while the load goes on, are each
// line's own and in its order, and so are the pages its form feeds begin: also where the
// book's first part let the load reserve far too few lines, so that the list moved several
// times as it grew.
TEST_F(GlueFile, TheShapesOfALongBookReadBesideItsLoadAreItsLines)
{
    std::string file;
    for (int i = 0; file.size() < (std::size_t(1) << 20) + 4096; ++i)
        file += (i % 41 == 3 ? "\f" : "") + std::string(i % 5, ' ') + "Pak \x9a" "el d\xe1l, " + std::to_string(i) +
                (i % 7 ? "-" : ".") + "\r\n";
    for (int i = 0; file.size() < (std::size_t(3) << 20); ++i)
        file += i % 11 == 0 ? std::string("  \r\n") : "\x84" + std::to_string(i % 100) + "\r\n";
    Settings s = Settings::Defaults();
    s.smart = true;
    for (const bool mapped : {true, false}) {
        TextEditor stream;
        stream.SetMapFiles(mapped);
        GlueListSink sink(stream.TabSize(), &s);
        ASSERT_TRUE(stream.LoadFromFileInto(Write("long.txt", file), std::nullopt, sink));
        const LineList& list = sink.list;
        ASSERT_GT(list.pieces.size(), std::size_t(200'000));
        ASSERT_EQ(list.shapes.size(), list.pieces.size());
        ASSERT_EQ(list.roles.size(), list.pieces.size());
        std::size_t wrong = 0;
        std::vector<uint32_t> feeds;
        for (std::size_t i = 0; i < list.pieces.size(); ++i) {
            const LineShape own = ShapeOfLine(list.pieces[i]);
            wrong += std::memcmp(&own, &list.shapes[i], sizeof own) != 0 ||
                     list.roles[i] != (own.Blank() ? LineRole::Blank : LineRole::Text);
            if (list.pieces[i].starts_with('\f'))
                feeds.push_back(uint32_t(i));
        }
        EXPECT_EQ(wrong, 0u) << mapped;
        EXPECT_GT(feeds.size(), 100u);
        EXPECT_EQ(list.feedLines, feeds) << mapped;
    }
}

// A plain book is joined straight from its paragraphs unless a record is asked for: both ways
// give the same text, progress and refusals, on books of quotes, breaks and indented lines.
TEST_F(GlueFile, APlainBookJoinsAsTheCollectedTextDoes)
{
    std::mt19937 rng(20261207);
    const std::vector<std::string> pieces = {"\x84", "\x93", "slovo ", "a", " ", "   ", "\r\n", "\r\n", "\r\n  ", "\x84Tak", "ne.\x93"};
    for (int round = 0; round < 300; ++round) {
        std::string file;
        for (std::size_t n = rng() % 200; n > 0; --n)
            file += pieces[rng() % pieces.size()];
        TextEditor direct, collected;
        direct.LoadFromFile(Write("plain.txt", file));
        collected.LoadFromFile(Path("plain.txt"));
        ASSERT_TRUE(direct.KnownPlain());
        if (round % 4 == 3) {
            direct.SetParaLengthLimit(40);
            collected.SetParaLengthLimit(40);
        }
        ProgressLog directLog, collectedLog;
        GlueRecord record;
        const GlueResult directResult = actPrimaRecExecute(direct, directLog);
        const GlueResult collectedResult = actPrimaRecExecute(collected, collectedLog, &record);
        ASSERT_EQ(directResult.message, collectedResult.message) << "round " << round;
        ASSERT_TRUE(direct.Text() == collected.Text()) << "round " << round;
        ASSERT_EQ(direct.Caret(), collected.Caret()) << "round " << round;
        ASSERT_EQ(directLog.calls, collectedLog.calls) << "round " << round;
    }
}

}  // namespace
}  // namespace lepotex
