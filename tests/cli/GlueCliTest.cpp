// Drives the lepotex-cli binary: the samples give their expected files byte for byte, and the
// exit statuses, messages, batch modes and the settings listing are as documented.
#include <regex>
#include <utility>

#include "CliFixture.h"
#include "editor/Windows1250.h"

namespace lepotex::clitest {
namespace {

using GlueCli = CliTest;
using SettingsCli = CliTest;

// A book whose first paragraph the rule "x\xx" makes longer than the editor allows.
const std::string kGrowingBook = test::Repeated("x ", 16000) + "\r\nb\r\n";

// The expected files were checked line by line against the rules of the two commands:
//
// mlyn.txt, glued with the default settings, gives mlyn.glued.txt because
// - "Kapitola 1" stays a line of its own: "Kapitola" is a no-glue entry, and a digit at the
//   break keeps it too; "Mlýn u potoka" is then a paragraph of its own;
// - "- 12 -" and "- 13 -" are page numbers and go first, so "do vo-" | "- 12 -" | "dy," still
//   becomes "do vody,": a hyphen after a letter, and a lowercase letter goes on;
// - breaks after a letter or a comma are glued, so each block of short lines becomes one
//   paragraph; a break after "." or "“" before a capital or "„" is kept, which is why
//   "„Dobré jitro,“ …" and "„Hledáte někoho?“" stay paragraphs of their own;
// - "XII" and "KONEC" are lines of capitals only (NoCaps), and "XII" sits between empty lines,
//   which always stay;
// - every paragraph gets 3 spaces (indent size 4 is 4 − 1 spaces) before the replacement
//   rules run, so "„Tenhle mele už sto let.“", which the rule "“ „\“^p„" splits off after
//   "pozdě.“", begins unindented;
// - the in-place rule "sena\se na" mends "posadil sena lavici";
// - the loaded file ends in an empty paragraph, which the glue keeps: the output ends in
//   "KONEC" CR LF and one more CR LF.
//
// poutnik.txt, through "speech", gives poutnik.joined.txt because
// - "„Kdo jsi?“" opens and closes within its paragraph: nothing to join;
// - from "„Jsem poutník," to "ji?“" both breaks become spaces, and the three spaces that
//   began "   který" go with the first;
// - "„Tak" | (empty) | "tedy ne.“": the first break becomes a space, and the character after
//   a joined break is passed over unexamined, so the break of the empty paragraph stays:
//   "„Tak " (its space kept) and "tedy ne.“" remain two paragraphs;
// - "Mlynář mlčel." holds no quote and stays; the final empty paragraph is kept as well.
TEST_F(GlueCli, SamplesComeOutByteForByte)
{
    // Without --defaults the stored settings are read, and none are written.
    for (const auto& [command, book, expected] : {std::tuple{"glue --defaults", "mlyn.txt", "mlyn.glued.txt"},
                                                  {"speech", "poutnik.txt", "poutnik.joined.txt"},
                                                  {"glue", "mlyn.txt", "mlyn.glued.txt"}}) {
        const CliRun run = Cli(std::string(command) + " '" LEPOTEX_SAMPLES "/" + book + "' -o out.txt");
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(File("out.txt"), ReadFile(fs::path(LEPOTEX_SAMPLES) / expected)) << command;
    }
    EXPECT_TRUE(fs::is_empty(dir / "config"));
}

TEST_F(GlueCli, OptionsOverrideSingleSettingsInEveryUsualForm)
{
    Write("in.txt", "  KAPITOLA\r\nsena text\r\n");
    Write("noglue.txt", "sena\r\n");
    for (const auto& [options, out] : {
             std::pair{"--glue-caps --indent-size 2 --rules /dev/null --no-glue /dev/null in.txt", " KAPITOLA sena text\r\n\r\n"},
             {"--no-indent --no-glue=noglue.txt in.txt", "KAPITOLA\r\nse na text\r\n\r\n"},
             {"--indent-size=1 -oout.txt -vj1 in.txt && cat out.txt", "KAPITOLA\r\nse na text\r\n\r\n"}})
        EXPECT_EQ(Cli(std::string("glue --defaults ") + options).out, out) << options;

    // The smart glue keeps the hyphen of a compound the book writes so; --no-smart undoes a
    // stored Smart.
    Write("in.txt", Utf8ToWindows1250("Byl to česko-\r\nněmecký slovník, česko-německý.\r\n"));
    EXPECT_EQ(Cli("glue --defaults --no-indent --smart in.txt").out,
              Utf8ToWindows1250("Byl to česko-německý slovník, česko-německý.\r\n\r\n"));
    Conf("[General]\nSmart=1\n");
    EXPECT_EQ(Cli("glue --no-indent --no-smart in.txt").out,
              Utf8ToWindows1250("Byl to českoněmecký slovník, česko-německý.\r\n\r\n"));
}

TEST_F(GlueCli, VersionAndHelpOfEveryCommand)
{
    const CliRun version = Cli("glue --version");
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(std::regex_match(version.out, std::regex(R"(lepotex-cli 1\.2\.\d+( \(commit [0-9a-f]+(-dirty)?\))?\n)")))
        << version.out;
    EXPECT_NE(Cli("speech -h").out.find("Použití: lepotex-cli"), std::string::npos);
}

TEST_F(GlueCli, AUsageErrorIsOneLineAndWhereHelpIsAndWritesNothing)
{
    Write("books/a.txt", "ahoj\r\nsvěte\r\n");
    fs::create_directory_symlink(dir / "books", dir / "link");
    const std::pair<std::string, std::string> cases[] = {
        {"glue --bogus in.txt", "lepotex-cli glue: neznámá volba „--bogus“"},
        {"glue in.txt -o", "lepotex-cli glue: volba -o potřebuje hodnotu"},
        {"glue --indent-size=256 in.txt", "lepotex-cli glue: --indent-size potřebuje číslo od 0 do 255"},
        // Two outputs: which one was meant cannot be guessed.
        {"glue --defaults books/a.txt -o out.txt --output=other.txt",
         "lepotex-cli glue: volba -o/--output je zadána víckrát"},
        {"glue --output-dir books a/x.txt b/x.txt",
         "lepotex-cli glue: dva soubory by se zapsaly do téhož souboru " +
             (fs::canonical(dir) / "books/x.txt").string()},
        // The book's own folder by any name would have its result overwrite it.
        {"glue --defaults --output-dir link books/a.txt", "lepotex-cli glue: --output-dir link je složka souboru "
                                                          "books/a.txt, výsledek by přepsal původní text; k tomu slouží --in-place"},
        {"copy a b", "lepotex-cli copy: copy kopíruje jeden soubor, zadáno je 2"},
        {"frobnicate", "lepotex-cli: neznámý příkaz „frobnicate“"},
        {"", "lepotex-cli: chybí příkaz"},
    };
    for (const auto& [args, line] : cases) {
        const std::string command = args.empty() || args == "frobnicate" ? "" : args.substr(0, args.find(' ')) + " ";
        ExpectFailure(args, 1, line + "\nZkuste „lepotex-cli " + command + "--help“.\n");
    }
    EXPECT_EQ(File("books/a.txt"), "ahoj\r\nsvěte\r\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt") || fs::exists(dir / "other.txt"));
}

TEST_F(GlueCli, FileErrorsRefusalsAndEditorErrorsAreCzechWithTheirStatusAndWriteNothing)
{
    Write("in.txt", "ahoj\r\nsvěte\r\n");
    Write("long.txt", kGrowingBook);
    Write("rules.txt", "x\\xx\r\n");
    fs::create_directories(dir / "knihy");
    Write("huge.txt", "");
    fs::resize_file(dir / "huge.txt", (std::uintmax_t(64) << 20) + 1);
    const std::tuple<std::string, int, std::string> cases[] = {
        {"glue --defaults kniha.txt", 2, "kniha.txt: soubor neexistuje\n"},
        {"glue --defaults knihy", 2, "knihy: není soubor, ale složka\n"},
        {"glue --defaults in.txt -o missing/out.txt", 2, "missing/out.txt: složka „missing“ neexistuje\n"},
        // Each of these would run forever or fill the memory.
        {"copy /dev/zero -o out.txt", 2,
         "/dev/zero: je to znakové zařízení, ne soubor; čtení z něj nemusí nikdy skončit\n"},
        {"glue --defaults --rules huge.txt in.txt -o out.txt", 2,
         "lepotex-cli glue: huge.txt: seznam je delší než 64 MiB; tolik se do paměti nečte, nejspíš to není seznam\n"},
        // Closed standard streams are errors, and no file takes their place.
        {"copy in.txt -o - >&-", 2, "-: standardní výstup je zavřený\n"},
        {"glue --defaults - -o out.txt <&-", 2, "-: standardní vstup je zavřený\n"},
        {"copy missing.txt -o out.txt 2>&-", 2, ""},  // the status still tells
        // A paragraph that the second pass makes too long.
        {"glue --defaults --rules rules.txt long.txt -o out.txt", 4,
         "long.txt: odstavec by byl delší než 32767 bajtů (Current operation will exceed the maximum paragraph "
         "size)\n"},
    };
    for (const auto& [args, status, err] : cases)
        ExpectFailure(args, status, err, "timeout 20 ");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

TEST_F(GlueCli, AFullDiskOrAReadOnlyTargetLeavesNoHalfWrittenFile)
{
    Write("big.txt", test::Repeated("Slovo.\r\n", 20'000));  // a line ends a sentence: no glue
    fs::create_directories(dir / "knihy");
    // A small file system where one may be mounted (as root, in a mount namespace that ends
    // with the command), else a file size limit, which makes the write fail the same way.
    const bool canMount = ::geteuid() == 0 &&
                          std::system("unshare -m sh -c 'mount -t tmpfs -o size=64k none /mnt' >/dev/null 2>&1") == 0;
    const std::string glue = "\"$CLI\" glue --defaults big.txt -o knihy/vystup.txt";
    const CliRun run = Run(canMount ? "unshare -m sh -c 'mount -t tmpfs -o size=64k none knihy && " + glue +
                                          "; s=$?; ls knihy; exit $s'"
                                    : "(trap '' XFSZ; ulimit -f 64; " + glue + "); s=$?; ls knihy; exit $s");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "knihy/vystup.txt: disk je plný\n");
    EXPECT_EQ(run.out, "") << "no half-written file is left";

    if (::geteuid() != 0)
        GTEST_SKIP() << "the read-only target needs root to act as another user";
    Write("ro/vystup.txt", "old\r\n");
    for (const fs::path& path : {dir, dir / "ro"})
        fs::permissions(path, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "big.txt", fs::perms::owner_all | fs::perms::others_read);
    ExpectFailure("glue --defaults big.txt -o ro/vystup.txt", 2, "ro/vystup.txt: přístup odepřen\n",
                  "setpriv --reuid=65534 --regid=65534 --clear-groups ");
    EXPECT_EQ(File("ro/vystup.txt"), "old\r\n");
}

TEST_F(GlueCli, ABatchGoesOnPastAFailingFileAndEndsWithItsGravestStatus)
{
    Write("a.txt", "ahoj\r\nsvěte\r\n");
    Write("b.txt", "");
    Write("c.txt", "slo-\r\nvo\r\n");
    fs::create_directories(dir / "out");
    CliRun run = Cli("glue --defaults -j 2 --output-dir out a.txt b.txt c.txt");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(File("out/a.txt"), "   ahoj světe\r\n\r\n");
    EXPECT_EQ(File("out/c.txt"), "   slovo\r\n\r\n");

    // Refused (3) and a file error (2): the file error, which needs the user, wins.
    run = Cli("glue --defaults -j 1 --in-place a.txt b.txt nic.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("Hotovo (souborů 3): slepeno 1, odmítnuto 1, chyby souboru 1, chyby editoru 0."), std::string::npos)
        << run.err;
    EXPECT_EQ(File("a.txt"), "   ahoj světe\r\n\r\n");
    EXPECT_TRUE(fs::is_empty(dir / "b.txt"));

    // An editor error (4) outranks both.
    Write("long.txt", kGrowingBook);
    Write("rules.txt", "x\\xx\r\n");
    EXPECT_EQ(Cli("glue --defaults --rules rules.txt --output-dir out nic.txt long.txt b.txt").status, 4);
}

TEST_F(GlueCli, OutputGoesToStandardOutputPipesAndDevicesItNames)
{
    Write("in.txt", "ahoj\r\nsvěte\r\n");
    EXPECT_EQ(Cli("glue --defaults in.txt").out, "   ahoj světe\r\n\r\n");
    EXPECT_EQ(Run("cat in.txt | \"$CLI\" glue --defaults - | cat").out, "   ahoj světe\r\n\r\n");

    Write("log.txt", "earlier\r\n");
    EXPECT_EQ(Cli("copy in.txt -o /dev/stdout >>log.txt").status, 0);
    EXPECT_EQ(File("log.txt"), "earlier\r\nahoj\r\nsvěte\r\n") << "appended, not replaced";
    const CliRun fifo = Run("mkfifo pipe && (cat pipe >out.txt &) && \"$CLI\" glue --defaults in.txt -o pipe; s=$?; "
                            "wait; sleep 0.2; test -p pipe || exit 9; exit $s");
    EXPECT_EQ(fifo.status, 0) << fifo.err;
    EXPECT_EQ(File("out.txt"), "   ahoj světe\r\n\r\n");
}

// (What the file format left out is said in the tests of other encodings and of the copy.)
TEST_F(GlueCli, VerboseEscapesControlBytes)
{
    Write("in.txt", "a\r\nb\r\n");
    Write("rules.txt", "\x1b]0;title\x07x\\y\r\n\x1b[2J\\z\r\n");
    const CliRun run = Cli("glue --defaults -v --rules rules.txt in.txt -o out.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Automatická náhrada:\\x1B]0;title\\x07x\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST_F(SettingsCli, PrintsTheDefaultsOrTheStoredValuesInUtf8WithoutWritingAnything)
{
    CliRun run = Cli("settings");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("NoCaps: 1\nIndent: 1\nIndent size: 4\nNoGlue: 16 položek\n\tKapitola\n\tČást\n"))
        << run.out;
    EXPECT_TRUE(fs::is_empty(dir / "config"));

    // Stored values as read, control characters escaped.
    const std::string conf =
        "[General]\nNoCaps=0\nIndent%20size=300\nNoGlue=Hlava\\r\\n\\x1b[31m\\r\\n\\r\\n\\tx\\r\\n\nSmart=1\n";
    const std::string confPath = Conf(conf);
    run = Cli("settings");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("AutoReplace")),
              "NoCaps: 0\nIndent: 1\nIndent size: 44\nNoGlue: 4 položky\n\tHlava\n\t\\x1B[31m\n\t\n\t\tx\n");
    EXPECT_EQ(ReadFile(confPath), conf);  // shown, not written back
    // Read as the window reads them, but not without a word.
    EXPECT_EQ(run.err, "lepotex-cli settings: upozornění: nastavení „Indent size“ má hodnotu „300“, která není číslo od 0 "
                       "do 255; platí 44\n");
    Conf("[General]\nIndent%20size=abc\nNoCaps=ano\n");
    Write("in.txt", "a\r\nb\r\n");
    run = Cli("glue in.txt");
    EXPECT_EQ(run.out, "   a b\r\n\r\n");
    EXPECT_EQ(run.err, "lepotex-cli glue: upozornění: nastavení „NoCaps“ má hodnotu „ano“, která není 0 ani 1; platí 0\n"
                       "lepotex-cli glue: upozornění: nastavení „Indent size“ má hodnotu „abc“, která není číslo od 0 do "
                       "255; platí 4\n");

    // Settings that cannot be read stop every command that reads them, rather than pass for the defaults.
    Conf("[General]\nIndent%20size=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    for (const std::string command : {"settings", "glue in.txt -o out.txt"})
        ExpectFailure(command, 2, "lepotex-cli " + command.substr(0, command.find(' ')) +
                                      ": nastavení nelze přečíst (Invalid data type for 'Indent size')\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

}  // namespace
}  // namespace lepotex::clitest
