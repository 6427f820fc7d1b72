// The batch tool on files that are not Windows-1250 with CR LF: converted and written back as
// they came, nothing lost without a word, and never written over when the load was not faithful.
#include <QString>

#include <random>
#include <sstream>
#include <vector>

#include "CliFixture.h"
#include "editor/Windows1250.h"

namespace lepotex::clitest {
namespace {

using EncodingCli = CliTest;

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

TEST_F(EncodingCli, InPlaceRefusesALossyFileAndOtherOutputsWarn)
{
    const std::string lossy = "Řádek jedna\nDruhý řádek: Привет\n";
    Write("lossy.txt", lossy);
    Write("fine.txt", "Žluťoučký kůň\nse\nvrátil.\n");
    CliRun run = Cli("glue --defaults --in-place lossy.txt fine.txt");
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(File("lossy.txt"), lossy) << "the original is unchanged";
    EXPECT_NE(run.err.find("první je „П“ (U+041F) na řádku 2"), std::string::npos) << run.err;
    EXPECT_EQ(File("fine.txt"), "   Žluťoučký kůň se vrátil.\n\n") << "glued, in UTF-8 with LF as it came";

    // Nor is a result written over its file in an encoding that lacks some of its characters.
    Write("latin2.txt", "„Ano,“ řekl.\r\n");
    run = Cli("glue --defaults --in-place --output-encoding iso-8859-2 latin2.txt");
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_NE(run.err.find("kódování ISO-8859-2 nemá (počet: 2)"), std::string::npos) << run.err;
    EXPECT_EQ(File("latin2.txt"), "„Ano,“ řekl.\r\n");

    // -o writes it, with the warning.
    run = Cli("glue --defaults lossy.txt -o out.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(File("out.txt").find("??????"), std::string::npos);
    EXPECT_NE(run.err.find("nahradily otazníkem (počet: 6"), std::string::npos) << run.err;
}

TEST_F(EncodingCli, AnLfBookGluedInPlaceKeepsEveryWord)
{
    // A UTF-8 book of 1.9 MB with LF line ends, broken into short lines, and one line longer
    // than a paragraph may be, of sentences, so that its pieces stay paragraphs of their own.
    std::mt19937 random(42);
    const std::vector<std::string> words = {"Krysař", "přišel", "do", "Hamelnu", "a", "zapískal", "na",
                                            "píšťalu", "žluťoučký", "kůň", "úpěl", "ďábelské", "ódy"};
    std::string book;
    while (book.size() < 1'900'000) {
        std::string line;
        const bool longLine = book.size() > 500'000 && book.size() < 600'000;
        for (const size_t length = longLine ? 80'000 : 20 + random() % 60; line.size() < length;)
            line += longLine ? "Hamelnu. " : words[random() % words.size()] + " ";
        line.pop_back();
        const bool nearLongLine = book.size() > 450'000 && book.size() < 650'000;
        book += line + (longLine ? "\n" : nearLongLine || random() % 7 ? ".\n" : "\n");
    }
    Write("kniha.txt", book);
    Write("rules.txt", "");
    const CliRun run = Cli("glue -v --defaults --rules rules.txt --in-place kniha.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("kniha.txt: kódování UTF-8, konce řádků LF"), std::string::npos) << run.err.substr(0, 500);
    EXPECT_NE(run.err.find("kniha.txt: upozornění: řádky delší než 32767 bajtů se rozdělily na více odstavců (počet: 2)\n"),
              std::string::npos);
    const std::string glued = File("kniha.txt");
    EXPECT_EQ(glued.find('\r'), std::string::npos);
    EXPECT_TRUE(Words(glued) == Words(book)) << "every word, in order";
}

TEST_F(EncodingCli, ListsAndEncodingsGivenByName)
{
    // A UTF-8 no-glue list works on a UTF-8 book: the line that begins with its entry is not glued.
    Write("book.txt", "Šel jsem lesem\nŘekl mu to\nnahlas\n");
    Write("nolist.txt", "Řekl\n");
    // The output's encoding chosen: UTF-16 with its mark, then "Š"; and an input encoding given
    // by name: UTF-8 bytes read as Windows-1250.
    for (const auto& [args, out] : {
             std::pair{"glue --defaults --no-indent --no-glue nolist.txt book.txt", "Šel jsem lesem\nŘekl mu to\nnahlas\n\n"},
             {"glue --defaults --no-indent book.txt", "Šel jsem lesem Řekl mu to nahlas\n\n"},
             {"copy --output-encoding utf-16 book.txt -o out.txt && head -c 4 out.txt", "\xFF\xFE\x60\x01"},
             {"copy --encoding cp1250 --output-encoding utf-8 book.txt -o out.txt && head -c 4 out.txt", "\xC4\xB9\xC2\xA0"}})
        EXPECT_EQ(Cli(args).out, out) << args;
    const CliRun run = Cli("glue --encoding latin1 book.txt -o x.txt");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ne „latin1“"), std::string::npos) << run.err;
}

TEST_F(EncodingCli, CombiningMarksLigaturesAndTypesettersSpacesAreReadAsWhatTheyStandFor)
{
    // Every character of the code page, decomposed as Unicode decomposes it (Qt's normaliser
    // is the reference), as PDF extracts spell the letters their fonts lack.
    std::string cp1250;
    for (int b = 0x20; b < 0x100; ++b)
        if (b != 0x7F && b != 0x81 && b != 0x83 && b != 0x88 && b != 0x90 && b != 0x98)
            cp1250 += char(b);
    const QString all = QString::fromStdU16String(DecodeWindows1250(cp1250));
    const QByteArray nfd = all.normalized(QString::NormalizationForm_D).toUtf8();
    ASSERT_GT(nfd.size(), all.toUtf8().size()) << "the reference decomposes";
    // A mark that makes no letter of the code page is replaced as any other character is.
    Write("nfd.txt", nfd.toStdString() + "\nq\u030C.\n");
    CliRun run = Cli("copy nfd.txt -o out.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(File("out.txt"), all.toUtf8().toStdString() + "\nq?.\n");
    EXPECT_NE(run.err.find("(počet: 1"), std::string::npos) << run.err;

    // The same in UTF-16, and where the mark follows the text's first letter.
    Write("u16.txt", "\xFF\xFE" + test::Iconv(QString::fromUtf8("Řekl: čeřen, Ůvaly.").normalized(QString::NormalizationForm_D)
                                                  .toStdString(), "UTF-8", "UTF-16LE"));
    Write("first.txt", QString::fromUtf8("Řekl").normalized(QString::NormalizationForm_D).toUtf8().toStdString());
    EXPECT_EQ(Cli("copy --output-encoding utf-8 u16.txt").out, "Řekl: čeřen, Ůvaly.\r\n");
    EXPECT_EQ(Cli("copy first.txt").out, "Řekl\r\n");
    run = Cli("glue --defaults --no-indent first.txt");
    EXPECT_EQ(run.out, "Řekl\r\n\r\n");
    EXPECT_EQ(run.err, "");

    // The ligatures, hyphens and spaces of typesetting are read as what they stand for.
    Write("forms.txt", "ﬁnále ﬂétna ﬀ ﬃ ﬄ e‐mail e‑mail 5−3 1‒2 ―\u2009a\u202Fkm a\u200Bb\n");
    run = Cli("copy forms.txt -o forms-out.txt");
    EXPECT_EQ(File("forms-out.txt"), "finále flétna ff ffi ffl e-mail e-mail 5–3 1-2 - a\u00A0km ab\n");
    EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace lepotex::clitest
