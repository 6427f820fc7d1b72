// Encodings and line ends of text files, and the code page's own conversions, checked
// against the C library's iconv as the independent reference.
#include <gtest/gtest.h>

#include <clocale>
#include <optional>

#include <random>
#include <set>
#include <sstream>

#include "TestUtil.h"
#include "editor/TextEncoding.h"
#include "editor/Windows1250.h"

namespace lepotex {
namespace {

using namespace test;

// The five bytes Windows-1250 leaves without a character.
bool Undefined(int b) { return b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98; }

TEST_F(FileTest, EveryEncodingAndMarkIsReadAndWrittenBackByteForByte)
{
    // Every character Windows-1250 defines, a few to a line, and some Czech.
    std::string cp1250 = Utf8ToWindows1250("Příliš žluťoučký kůň úpěl ďábelské ódy.\r\n");
    for (int b = 0x20; b <= 0xFF; ++b)
        if (b != 0x7F && !Undefined(b))
            cp1250 += char(b) + std::string(b % 16 == 15 ? "\r\n" : "");
    // ISO-8859-2 and CP852 lack the typographic marks: their files hold what they have.
    // A short text says too little to tell the old code pages apart: a sample page does.
    const std::string czech = ReadFile(fs::path(LEPOTEX_SAMPLES) / "mlyn.txt") +
                              Utf8ToWindows1250("„Kdo jsi?“ ptali se ho ďáblové.\r\nŤuk, ťuk; Ů, ů; Ň, ň; Ď, ď.\r\n");
    const std::string narrow = Iconv(Iconv(czech, "CP1250", "ISO-8859-2//TRANSLIT"), "ISO-8859-2", "CP1250");
    // Each as text (Windows-1250, CR LF), iconv's name, byte order mark and expected encoding.
    const std::tuple<std::string, const char*, std::string, TextEncoding> cases[] = {
        {cp1250, "UTF-8", "", TextEncoding::Utf8},
        {cp1250, "UTF-8", "\xEF\xBB\xBF", TextEncoding::Utf8Bom},
        {cp1250, "UTF-16LE", "\xFF\xFE", TextEncoding::Utf16Le},
        {cp1250, "UTF-16BE", "\xFE\xFF", TextEncoding::Utf16Be},
        {narrow, "ISO-8859-2", "", TextEncoding::Iso8859_2},
        {narrow, "CP852", "", TextEncoding::Cp852},
    };
    // Each also as a book of megabytes: converted from its mapped file on two cores, saved
    // from two stages in turn.
    for (const auto& [smallText, iconvName, mark, encoding] : cases) {
        for (const auto& [lf, large] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
            SCOPED_TRACE(std::string(EncodingName(encoding)) + (lf ? " LF" : " CR LF") + (large ? " large" : ""));
            std::string crlfText = smallText;
            while (large && crlfText.size() < 4'500'000)
                crlfText += smallText;
            std::string text = crlfText;
            if (lf)
                std::erase(text, '\r');
            const std::string file = mark + Iconv(text, "CP1250", iconvName);
            TextEditor editor;
            const std::string saved = LoadAndSave(editor, file);
            EXPECT_EQ(editor.LastLoadReport().format, (FileFormat{encoding, lf ? LineEnd::Lf : LineEnd::CrLf}));
            EXPECT_TRUE(editor.LastLoadReport().Faithful());
            TextEditor reference;
            reference.LoadFromFile(Write("reference.txt", crlfText));
            EXPECT_TRUE(Paragraphs(editor) == Paragraphs(reference)) << "the editor holds the Windows-1250 text";
            EXPECT_TRUE(saved == file) << "saved back as it came";
        }
    }

    // Every high byte comes back as it was in Windows-1250, the format of a new document too.
    std::string everyByte;
    for (int b = 0x80; b <= 0xFF; ++b)
        everyByte += char(b) + std::string(b % 16 == 15 ? "\r\n" : "");
    TextEditor editor;
    EXPECT_EQ(LoadAndSave(editor, everyByte), everyByte);
    EXPECT_EQ(editor.GetFileFormat(), TextEditor().GetFileFormat());
}

TEST_F(FileTest, CharactersWindows1250LacksAreReplacedCountedAndReported)
{
    // (The batch tool's tests check the count and the first character of a plainer case.)
    TextEditor editor;
    editor.LoadFromFile(Write("lossy.txt", "Řádek jedna\nŘádek dva: Привет, ñ and 😀.\nè\n"));
    EXPECT_EQ(editor.LastLoadReport().charsReplaced, 6 + 1 + 1 + 1) << "a surrogate pair is one character";
    EXPECT_FALSE(editor.LastLoadReport().Faithful());
    EXPECT_EQ(editor.ParaText(2), Utf8ToWindows1250("Řádek dva: ??????, ? and ?."));
    EXPECT_EQ(editor.ParaText(3), "?");

    // A book converted in two halves: what only the second half replaces is reported at its
    // line, and a letter and its combining mark make one letter in either half.
    std::string book;
    Paras lines;
    for (int i = 0; book.size() < 6'000'000; ++i) {
        const std::string number = std::to_string(i);
        book += "Řádek " + number + " s háčky: c\u030C e\u030C;" + (i == 150'000 ? " Привет" : "") + "\r\n";
        lines.push_back(Utf8ToWindows1250("Řádek " + number + " s háčky: č ě;") + (i == 150'000 ? " ??????" : ""));
    }
    lines.emplace_back();
    for (const bool mapped : {false, true}) {
        TextEditor large;
        large.SetMapFiles(mapped);
        large.LoadFromFile(Write("large.txt", book));
        const LoadReport& report = large.LastLoadReport();
        EXPECT_EQ(std::tie(report.charsReplaced, report.firstReplaced, report.firstReplacedLine),
                  std::make_tuple(6, U'П', 150'001));
        EXPECT_TRUE(Paragraphs(large) == lines);
    }
    // A byte that is no UTF-8 in the second half only makes the whole book no UTF-8, as in one
    // converted in a single pass.
    TextEditor mixed;
    mixed.LoadFromFile(Write("mixed.txt", book + Utf8ToWindows1250("Řádek v kódu 1250\r\n")));
    EXPECT_EQ(mixed.GetFileFormat().encoding, TextEncoding::Windows1250);
    EXPECT_EQ(mixed.ParaText(mixed.ParaCount() - 1), Utf8ToWindows1250("Řádek v kódu 1250"));

    // Bytes that are no character at all in a text given as UTF-8, and half a UTF-16 unit.
    editor.LoadFromFile(Write("bad.txt", "ok\r\nx\xC3(\xFFy\r\n"), TextEncoding::Utf8);
    EXPECT_EQ(editor.ParaText(2), "x?(?y");
    const LoadReport& bad = editor.LastLoadReport();
    EXPECT_EQ(std::tie(bad.charsReplaced, bad.firstReplaced, bad.firstReplacedLine), std::make_tuple(2, U'\uFFFD', 2));
    editor.LoadFromFile(Write("cut.txt", "Řádek\n\xC5"));
    EXPECT_EQ(editor.LastLoadReport().format.encoding, TextEncoding::Utf8) << "a UTF-8 file cut short";
    EXPECT_EQ(Paragraphs(editor), (Paras{Utf8ToWindows1250("Řádek"), "?", ""}));
    editor.LoadFromFile(Write("odd.txt", std::string("\xFF\xFE" "a\0\n\0b", 7)));
    EXPECT_EQ(Paragraphs(editor), (Paras{"a", "?", ""}));
    // UTF-16 converted where it lies: a ligature at its very start is spelt out in the mark's
    // room; a file without the mark is UTF-16 all the same, not lines cut at its zero bytes.
    editor.LoadFromFile(Write("ffi.txt", "\xFF\xFE" + Iconv("ﬃ a ﬁ\r\nŘádek dva\r\n", "UTF-8", "UTF-16LE")));
    EXPECT_EQ(Paragraphs(editor), (Paras{"ffi a fi", Utf8ToWindows1250("Řádek dva"), ""}));
    EXPECT_TRUE(editor.LastLoadReport().Faithful());
    editor.LoadFromFile(Write("unmarked.txt", Iconv("Řádek jedna\r\nŘádek dva\r\n", "UTF-8", "UTF-16BE")));
    EXPECT_EQ(Paragraphs(editor), (Paras{Utf8ToWindows1250("Řádek jedna"), Utf8ToWindows1250("Řádek dva"), ""}));
    EXPECT_EQ(editor.LastLoadReport().format.encoding, TextEncoding::Utf16Be);

    // Saving in a code page that lacks a character writes it as near as it can, and says so.
    editor.LoadFromFile(Write("quotes.txt", "„Ano“ — řekl…\n"));
    editor.SetFileFormat({TextEncoding::Iso8859_2, LineEnd::Lf});
    editor.SaveToFile(Path("latin2.txt"));
    EXPECT_EQ(editor.LastSaveReplacements(), 4);
    EXPECT_EQ(Iconv(ReadFile(Path("latin2.txt")), "ISO-8859-2", "UTF-8"), ",,Ano\" -- řekl...\n");
    // Those before a byte Windows-1250 leaves undefined count too.
    for (const TextEncoding codePage : {TextEncoding::Iso8859_2, TextEncoding::Cp852}) {
        std::string out;
        EXPECT_EQ(ConvertFromWindows1250(codePage, "\x84" "a\x93" "b\x85\x81" "c\x84\x98", out), 6);
        EXPECT_EQ(out.substr(out.size() - 4), "c,,?");
    }
}

// Short texts can be valid in more than one encoding; the bytes decide only when they read
// as Czech there, else the file stays Windows-1250, which reads every byte as it is.
TEST_F(FileTest, ATextValidInSeveralEncodingsIsReadAsItsLettersShow)
{
    const std::tuple<const char*, std::string, TextEncoding> cases[] = {
        {"capitals ÚŽ make a valid UTF-8 sequence of an Arabic letter",
         Utf8ToWindows1250("Zkratka ÚŽ a konec.\r\n"), TextEncoding::Windows1250},
        {"a UTF-8 note with one character Windows-1250 lacks", "D\xC4\x9Bkuji \xF0\x9F\x98\x80\n",
         TextEncoding::Utf8},
        {"high bytes with hardly a letter in any code page",
         "crlf\r\nl\xDC\xFF\xFE" + std::string(34, '\xFF') + "tab\xE3" "C+here" + std::string(8, '\xFF') + "k\r\n",
         TextEncoding::Windows1250},
    };
    for (const auto& [what, bytes, expected] : cases) {
        TextEditor editor;
        const std::string saved = LoadAndSave(editor, bytes);
        EXPECT_EQ(editor.GetFileFormat().encoding, expected) << what;
        EXPECT_TRUE(expected != TextEncoding::Windows1250 || saved == bytes) << what;
    }
}

// In a text with LF line ends a lone CR is a character, but one before the LF would make
// the saved file a CR LF file and change every paragraph of it.
TEST_F(FileTest, ACrAtTheEndOfAnLfLineNeverMakesTheSavedFileCrLf)
{
    TextEditor editor;
    EXPECT_EQ(LoadAndSave(editor, "a\r \nb\rc\nd\n"), "a\nb\rc\nd\n");
    EXPECT_EQ(Paragraphs(editor), (Paras{"a", "b\rc", "d", ""}));
    editor.SetCaret({2, 4});
    editor.Backspace();  // leaves the CR last
    editor.SaveToFile(Path("edited.txt"));
    EXPECT_EQ(ReadFile(Path("edited.txt")), "a\nb \nd\n");
}

// Whole texts of every byte the code page defines go both ways in the test above; here each
// code point up to U+FFFF that iconv can put in Windows-1250 converts to the same byte, from
// UTF-16 and from UTF-8 alike, and every other one becomes '?'.
TEST(Encodings, EveryCharacterConvertsToTheByteIconvGives)
{
    // What the code page lacks is '?', but for the typesetting forms of what it has (ligatures,
    // hyphens, spaces), read as the C library transliterates them.
    // (Its transliteration follows the locale's tables; Debian's C.UTF-8 has them all.)
    const std::string locale = std::setlocale(LC_CTYPE, nullptr);
    ASSERT_NE(std::setlocale(LC_CTYPE, "C.UTF-8"), nullptr);
    iconv_t cd = iconv_open("CP1250", "UTF-32LE");
    iconv_t translit = iconv_open("CP1250//TRANSLIT", "UTF-32LE");
    // One code point through `to`: what it wrote of at most `room` bytes, or nothing on a failure.
    auto convert = [](iconv_t to, char (&in)[4], size_t room) -> std::optional<std::string> {
        char form[8], *inP = in, *outP = form;
        size_t inLeft = 4, outLeft = room;
        const bool done = iconv(to, &inP, &inLeft, &outP, &outLeft) != size_t(-1);
        iconv(to, nullptr, nullptr, nullptr, nullptr);
        return done ? std::optional(std::string(form, size_t(outP - form))) : std::nullopt;
    };
    int mismatches = 0, spelt = 0;
    for (char32_t cp = 1; cp < 0x10000; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF)
            continue;
        char in[4] = {char(cp & 0xFF), char((cp >> 8) & 0xFF), 0, 0};
        const std::optional<std::string> byte = convert(cd, in, 1);
        Replacements replaced;
        char out[4] = {};
        const std::string got(out, ConvertToWindows1250(TextEncoding::Utf16Le, std::string_view(in, 2), out, replaced));
        // UTF-8 decodes its own sequences, and must agree.
        std::string utf8;
        if (cp < 0x80)
            utf8 = {char(cp)};
        else if (cp < 0x800)
            utf8 = {char(0xC0 | cp >> 6), char(0x80 | (cp & 0x3F))};
        else
            utf8 = {char(0xE0 | cp >> 12), char(0x80 | ((cp >> 6) & 0x3F)), char(0x80 | (cp & 0x3F))};
        Replacements replaced8;
        char out8[4] = {};
        const std::string got8(out8, ConvertToWindows1250(TextEncoding::Utf8, utf8, out8, replaced8));
        // (A ligature's spelt-out form may be longer than its UTF-16 unit, never than its UTF-8.)
        auto expected = [&](const std::string& form, int64_t count) {
            if (Undefined(int(cp)))  // U+0081 etc. in the editor's own table
                return form == std::string(1, char(cp));
            if (byte)
                return form == *byte && count == 0;
            if (form != "?")
                return form == convert(translit, in, 8) && count == 0;
            return count == 1;
        };
        spelt += !Undefined(int(cp)) && !byte && got != "?";
        const bool right = expected(got, replaced.count) && expected(got8, replaced8.count);
        if (!right)
            ADD_FAILURE() << "U+" << std::hex << unsigned(cp) << " read as \"" << got << "\", from UTF-8 \"" << got8 << "\"";
        mismatches += !right;
    }
    iconv_close(translit);
    iconv_close(cd);
    std::setlocale(LC_CTYPE, locale.c_str());
    EXPECT_EQ(mismatches, 0);
    EXPECT_GE(spelt, 20);
}

// The detection figures of the README: every sample and quality book in every encoding is
// recognised, and random Windows-1250 texts are never taken for another encoding.
TEST(EncodingDetection, BooksInEveryEncodingAndRandomWindows1250Texts)
{
    std::vector<std::pair<std::string, std::string>> books;
    for (const char* dir : {LEPOTEX_SAMPLES, LEPOTEX_QUALITY_BOOKS}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec))
            if (entry.path().extension() == ".txt")
                books.emplace_back(entry.path().filename().string(), ReadFile(entry.path()));
    }
    ASSERT_GE(books.size(), 4u);
    int recognised = 0, tried = 0;
    std::vector<std::string> words;
    for (const auto& [name, text] : books) {
        const std::vector<std::pair<std::string, TextEncoding>> forms = {
            {text, TextEncoding::Windows1250},
            {Iconv(text, "CP1250", "UTF-8"), TextEncoding::Utf8},
            {"\xEF\xBB\xBF" + Iconv(text, "CP1250", "UTF-8"), TextEncoding::Utf8Bom},
            {"\xFF\xFE" + Iconv(text, "CP1250", "UTF-16LE"), TextEncoding::Utf16Le},
            {"\xFE\xFF" + Iconv(text, "CP1250", "UTF-16BE"), TextEncoding::Utf16Be},
            {Iconv(text, "CP1250", "UTF-16LE"), TextEncoding::Utf16Le},  // as some tools write it, unmarked
            {Iconv(text, "CP1250", "UTF-16BE"), TextEncoding::Utf16Be},
            {Iconv(text, "CP1250", "ISO-8859-2//TRANSLIT"), TextEncoding::Iso8859_2},
            {Iconv(text, "CP1250", "CP852//TRANSLIT"), TextEncoding::Cp852},
        };
        for (const auto& [bytes, expected] : forms) {
            ++tried;
            recognised += DetectEncoding(bytes) == expected;
            EXPECT_EQ(DetectEncoding(bytes), expected) << name << " as " << EncodingName(expected);
        }
        std::istringstream in(text);
        for (std::string word; in >> word;)
            words.push_back(word);
    }
    std::printf("[ figures  ] %d of %d book files recognised\n", recognised, tried);

    // Random texts: words of the books in random order with line ends, and random bytes of
    // the code page, from 1 KB to 1 MB.
    std::mt19937 random(1250);
    int mistaken = 0, texts = 0;
    for (size_t size = 1024; size <= (size_t(1) << 20); size *= 2) {
        for (int round = 0; round < (size <= 65536 ? 8 : 3); ++round) {
            std::string salad;
            while (salad.size() < size)
                salad += words[random() % words.size()] + (random() % 12 ? " " : "\r\n");
            std::string noise;
            while (noise.size() < size) {
                const char c = char(0x20 + random() % 0xE0);
                if (!Undefined(uint8_t(c)))
                    noise.push_back(c);
            }
            for (const std::string* text : {&salad, &noise}) {
                ++texts;
                mistaken += DetectEncoding(*text) != TextEncoding::Windows1250;
            }
        }
    }
    std::printf("[ figures  ] %d of %d random Windows-1250 texts of 1 KB to 1 MB taken for another encoding\n",
                mistaken, texts);
    EXPECT_EQ(mistaken, 0);
}

// Every byte goes to a character of its own and back; what has no byte becomes one '?', and
// broken UTF-8 swallows no good byte behind it.
TEST(Windows1250, EveryByteRoundTripsAndWhatHasNoByteBecomesOneQuestionMark)
{
    std::string bytes;
    for (int b = 0; b < 256; ++b)
        bytes += char(b);
    const std::u16string text = DecodeWindows1250(bytes);
    EXPECT_EQ(std::set<char16_t>(text.begin(), text.end()).size(), 256u) << "two bytes share a character";
    EXPECT_EQ(EncodeWindows1250(text), bytes);
    EXPECT_EQ(Utf8ToWindows1250(Windows1250ToUtf8(bytes)), bytes);
    EXPECT_EQ(EncodeWindows1250(u"a\u00F1b\U0001F600c"), "a?b?c") << "a surrogate pair is one character";
    EXPECT_EQ(EncodeWindows1250(std::u16string{u'a', char16_t(0xD800), u'b', char16_t(0xDC00)}), "a?b?");
    EXPECT_EQ(Utf8ToWindows1250("\xC3" "b\xE2\x82" "d" "\xC0\xAF" "c\xED\xA0\x80!"), "?b?d??c???" "!");
    EXPECT_EQ(Utf8ToWindows1250("\xF4\x90\x80\x80 \xE2\x82\xAC\xC3"), "???? \x80?") << "past U+10FFFF, cut short";
}

TEST(Windows1250, UpperTableFollowsUnicodeSimpleCaseMapping)
{
    // Every lower-case letter of the code page whose capital is in it too, and that capital.
    const std::string lower = Utf8ToWindows1250("abcdefghijklmnopqrstuvwxyzšśťžźłąşľżŕáâăäĺćçčéęëěíîďđńňóôőöřůúűüýţ");
    const std::string upper = Utf8ToWindows1250("ABCDEFGHIJKLMNOPQRSTUVWXYZŠŚŤŽŹŁĄŞĽŻŔÁÂĂÄĹĆÇČÉĘËĚÍÎĎĐŃŇÓÔŐÖŘŮÚŰÜÝŢ");
    ASSERT_EQ((lower + upper).find('?'), std::string::npos);
    for (int b = 0; b < 256; ++b) {
        const std::size_t at = lower.find(char(b));
        EXPECT_EQ(ToUpperByte(uint8_t(b)), at == std::string::npos ? uint8_t(b) : uint8_t(upper[at])) << b;
        EXPECT_EQ(ToUpperByte(uint8_t(b)), UpperTable()[b]) << b;
    }
}

}  // namespace
}  // namespace lepotex
