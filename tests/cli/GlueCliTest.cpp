// Drives the lepotex-cli binary: the samples give their expected files byte for byte, and the
// exit statuses, messages, batch modes and the settings listing are as documented.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <regex>
#include <utility>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "editor/Windows1250.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A name of its own on every run, so that two runs on one machine cannot meet.
        std::string name = (fs::temp_directory_path() / "lepotex-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir = name;
        fs::create_directories(dir / "config");
    }
    void TearDown() override { fs::remove_all(dir); }

    // Runs the binary with a settings folder of its own, so the user's are never touched.
    CliRun Cli(const std::string& args)
    {
        const std::string command = "XDG_CONFIG_HOME='" + (dir / "config").string() + "' HOME='" + dir.string() +
                                    "' '" LEPOTEX_CLI "' " + args + " >" + Path("stdout.txt") + " 2>" +
                                    Path("stderr.txt") + " </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stdout.txt"), ReadFile(dir / "stderr.txt")};
    }

    // Runs a shell script in the test folder, in which $CLI is the binary, with redirections
    // of its own; returns the script's status and what it left in out.txt and err.txt.
    CliRun Script(const std::string& lines)
    {
        WriteFile(dir / "script.sh", "cd '" + dir.string() + "'\nexport XDG_CONFIG_HOME='" + (dir / "config").string() +
                                         "' HOME='" + dir.string() + "'\nexport CLI='" LEPOTEX_CLI "'\n" + lines + "\n");
        const int raw = std::system(("bash " + Path("script.sh")).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
    }

    std::string Path(const std::string& name) const { return "'" + (dir / name).string() + "'"; }
    fs::path ConfPath() const { return dir / "config" / "Zuvra" / "Lepotex 1.2.conf"; }

    fs::path dir;
};

class GlueCli : public CliTest {};
class SettingsCli : public CliTest {};

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
    const std::string samples = LEPOTEX_SAMPLES;
    CliRun run = Cli("glue --defaults '" + samples + "/mlyn.txt' -o " + Path("mlyn.out"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "mlyn.out"), ReadFile(samples + "/mlyn.glued.txt"));

    run = Cli("speech '" + samples + "/poutnik.txt' -o " + Path("poutnik.out"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "poutnik.out"), ReadFile(samples + "/poutnik.joined.txt"));

    // Without --defaults the stored settings are read, and none are written.
    run = Cli("glue '" + samples + "/mlyn.txt' -o " + Path("stored.out"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "stored.out"), ReadFile(samples + "/mlyn.glued.txt"));
    EXPECT_TRUE(fs::is_empty(dir / "config"));
}

TEST_F(GlueCli, ExitStatusTellsWhatHappened)
{
    const std::string usageErrors[] = {"", " --bogus a -o b", " --indent-size 256 a -o b", " a b -o c",
                                       " --output-dir " + Path("out") + " " + Path("a/x.txt") + " " + Path("b/x.txt")};
    for (const std::string& args : usageErrors)
        EXPECT_EQ(Cli("glue" + args).status, 1) << args;

    CliRun run = Cli("glue --defaults " + Path("missing.txt") + " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("missing.txt"), std::string::npos);

    WriteFile(dir / "one.txt", "");  // a loaded file ends in an empty paragraph, so only this is one line
    run = Cli("speech " + Path("one.txt") + " -o " + Path("refused.txt"));
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.err, (dir / "one.txt").string() + ": text má méně než dva řádky, není co lepit\n");
    EXPECT_FALSE(fs::exists(dir / "refused.txt"));

    // A paragraph that the second pass makes too long is an editor error.
    std::string words;
    for (int i = 0; i < 16000; ++i)
        words += "x ";
    WriteFile(dir / "long.txt", words + "\r\nb\r\n");
    WriteFile(dir / "rules.txt", "x\\xx\r\n");
    run = Cli("glue --defaults --rules " + Path("rules.txt") + " " + Path("long.txt") + " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 4);
    EXPECT_NE(run.err.find("Current operation will exceed the maximum paragraph size"), std::string::npos);
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

TEST_F(GlueCli, OptionsOverrideSingleSettings)
{
    WriteFile(dir / "in.txt", "  KAPITOLA\r\nsena text\r\n");
    WriteFile(dir / "empty.txt", "");
    CliRun run = Cli("glue --defaults --glue-caps --indent-size 2 --rules " + Path("empty.txt") + " " + Path("in.txt") +
                     " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), " KAPITOLA sena text\r\n\r\n");

    WriteFile(dir / "noglue.txt", "sena\r\n");
    run = Cli("glue --defaults --no-indent --no-glue " + Path("noglue.txt") + " " + Path("in.txt") + " -o " +
              Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), "KAPITOLA\r\nse na text\r\n\r\n");

    // The smart glue keeps the hyphen of a compound the book writes so; --no-smart undoes a
    // stored Smart.
    WriteFile(dir / "in.txt", lepotex::Utf8ToWindows1250("Byl to česko-\r\nněmecký slovník, česko-německý.\r\n"));
    run = Cli("glue --defaults --no-indent --smart " + Path("in.txt") + " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), lepotex::Utf8ToWindows1250("Byl to česko-německý slovník, česko-německý.\r\n\r\n"));
    WriteFile(ConfPath(), "[General]\nSmart=1\n");
    run = Cli("glue --no-indent --no-smart " + Path("in.txt") + " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), lepotex::Utf8ToWindows1250("Byl to českoněmecký slovník, česko-německý.\r\n\r\n"));
}

TEST_F(GlueCli, BatchGoesOnPastAFailingFileAndReportsTheWorst)
{
    WriteFile(dir / "a.txt", "ahoj\r\nsvěte\r\n");
    WriteFile(dir / "b.txt", "");
    WriteFile(dir / "c.txt", "slo-\r\nvo\r\n");
    fs::create_directories(dir / "out");
    CliRun run = Cli("glue --defaults -j 2 --output-dir " + Path("out") + " " + Path("a.txt") + " " + Path("b.txt") +
                     " " + Path("c.txt"));
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(ReadFile(dir / "out" / "a.txt"), "   ahoj světe\r\n\r\n");
    EXPECT_FALSE(fs::exists(dir / "out" / "b.txt"));
    EXPECT_EQ(ReadFile(dir / "out" / "c.txt"), "   slovo\r\n\r\n");
    EXPECT_NE(run.err.find("Hotovo: 2 slepeno, 1 odmítnuto"), std::string::npos) << run.err;

    run = Cli("glue --defaults --in-place " + Path("a.txt") + " " + Path("b.txt") + " " + Path("nic.txt"));
    EXPECT_EQ(run.status, 2);  // the missing file outranks the refusal
    EXPECT_EQ(ReadFile(dir / "a.txt"), "   ahoj světe\r\n\r\n");
    EXPECT_TRUE(fs::is_empty(dir / "b.txt"));
}

TEST_F(GlueCli, ClosedStandardStreamsAreErrorsAndNoFileTakesTheirPlace)
{
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    CliRun run = Script("\"$CLI\" copy in.txt -o - >&- 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "-: standardní výstup je zavřený\n");

    run = Script("\"$CLI\" glue --defaults - -o out.txt <&- 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "-: standardní vstup je zavřený\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));

    run = Script("\"$CLI\" settings >&- 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli settings: standardní výstup je zavřený\n");

    // With standard error closed the messages have nowhere to go, but the status still tells.
    run = Script("\"$CLI\" copy missing.txt -o out.txt 2>&-");
    EXPECT_EQ(run.status, 2);
}

TEST_F(GlueCli, OutputGoesIntoPipesDevicesAndTheStandardOutputItNames)
{
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    WriteFile(dir / "log.txt", "earlier\r\n");
    CliRun run = Script("\"$CLI\" copy in.txt -o /dev/stdout >>log.txt 2>err.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "log.txt"), "earlier\r\na\r\nb\r\n") << "appended, not replaced";

    run = Script("\"$CLI\" copy in.txt -o /dev/stdout 2>err.txt | wc -c >out.txt; exit ${PIPESTATUS[0]}");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "6\n");

    run = Script("mkfifo pipe && (cat pipe >out.txt &) && \"$CLI\" glue --defaults in.txt -o pipe 2>err.txt; s=$?; wait; "
                 "sleep 0.2; test -p pipe || exit 9; exit $s");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "   a b\r\n\r\n");
}

TEST_F(GlueCli, InputsThatNeverEndOrAreNoFilesAreRefusedWithTheReason)
{
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    // Each would run forever or fill the memory: the status and a word of why come at once.
    CliRun run = Script("timeout 20 \"$CLI\" copy /dev/zero -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("/dev/zero: je to znakové zařízení, ne soubor; čtení z něj nemusí nikdy skončit"),
              std::string::npos)
        << run.err;
    run = Script("timeout 20 \"$CLI\" glue --defaults --no-glue /dev/zero in.txt -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("zařízení"), std::string::npos) << run.err;
    run = Script("timeout 20 \"$CLI\" copy - -o out.txt </dev/zero 2>err.txt");
    EXPECT_EQ(run.status, 2);

    // A list larger than any list: said, not read into memory.
    {
        std::ofstream(dir / "huge.txt");
    }
    fs::resize_file(dir / "huge.txt", (std::uintmax_t(64) << 20) + 1);
    run = Script("\"$CLI\" glue --defaults --rules huge.txt in.txt -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: huge.txt: seznam je delší než 64 MiB; tolik se do paměti nečte, nejspíš to "
                       "není seznam\n");

    // A folder is a file error in the user's language, not a library's message.
    fs::create_directories(dir / "rules");
    run = Script("\"$CLI\" glue --defaults --rules rules in.txt -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: rules: je to složka, ne soubor se seznamem\n");
    run = Script("\"$CLI\" glue --defaults --no-glue missing.txt in.txt -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: missing.txt: soubor nelze otevřít (soubor neexistuje)\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
}

TEST_F(GlueCli, VerboseShowsRuleTextsWithControlBytesEscaped)
{
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    WriteFile(dir / "rules.txt", "\x1b]0;title\x07x\\y\r\n\x1b[2J\\z\r\n");
    const CliRun run = Cli("glue --defaults -v --rules " + Path("rules.txt") + " " + Path("in.txt") + " -o " +
                           Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Automatická náhrada:\\x1B]0;title\\x07x\n"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Automatická náhrada:\\x1B[2J\n"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find('\x1b'), std::string::npos);
}

TEST_F(GlueCli, AMixedBatchEndsWithItsGravestStatus)
{
    // Refused (3) and a file error (2): the file error, which needs the user, wins.
    WriteFile(dir / "a.txt", "ahoj\r\nsvěte\r\n");
    WriteFile(dir / "empty.txt", "");
    fs::create_directories(dir / "out");
    CliRun run = Cli("glue --defaults -j 1 --output-dir " + Path("out") + " " + Path("empty.txt") + " " +
                     Path("missing.txt") + " " + Path("a.txt"));
    EXPECT_EQ(run.status, 2) << run.err;
    EXPECT_NE(run.err.find("Hotovo: 1 slepeno, 1 odmítnuto, 1 chyb souboru, 0 chyb editoru (z 3)."), std::string::npos)
        << run.err;

    // An editor error (4) outranks both.
    std::string words;
    for (int i = 0; i < 16000; ++i)
        words += "x ";
    WriteFile(dir / "long.txt", words + "\r\nb\r\n");
    WriteFile(dir / "rules.txt", "x\\xx\r\n");
    run = Cli("glue --defaults --rules " + Path("rules.txt") + " --output-dir " + Path("out") + " " +
              Path("missing.txt") + " " + Path("long.txt") + " " + Path("empty.txt"));
    EXPECT_EQ(run.status, 4) << run.err;
    // The order is documented where users look for it.
    EXPECT_NE(Cli("glue --help").out.find("4 (chyba editoru)\npřed 2 (chyba souboru), 2 před 3 (odmítnuto)"),
              std::string::npos);
}

TEST_F(SettingsCli, PrintsTheDefaultsInUtf8WithoutWritingAnything)
{
    const CliRun run = Cli("settings");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.out.starts_with("NoCaps: 1\nIndent: 1\nIndent size: 4\nNoGlue: 16 položek\n\tKapitola\n\tČást\n"))
        << run.out;
    EXPECT_NE(run.out.find("AutoReplace: 7 položek\n\tsena\\se na\n\t“„\\“^p„\n"), std::string::npos) << run.out;
    EXPECT_TRUE(run.out.ends_with("\nSmart: 0\n")) << run.out;
    EXPECT_TRUE(fs::is_empty(dir / "config"));

    WriteFile(ConfPath(), "[General]\nNoCaps=0\n");
    EXPECT_EQ(Cli("settings --defaults").out, run.out);
}

TEST_F(SettingsCli, PrintsStoredValuesAsReadWithControlCharactersEscaped)
{
    const std::string conf =
        "[General]\nNoCaps=0\nIndent%20size=300\nNoGlue=Hlava\\r\\n\\x1b[31m\\r\\n\\r\\n\\tx\\r\\n\n";
    WriteFile(ConfPath(), conf);
    const CliRun run = Cli("settings");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("AutoReplace")),
              "NoCaps: 0\nIndent: 1\nIndent size: 44\nNoGlue: 4 položky\n\tHlava\n\t\\x1B[31m\n\t\n\t\tx\n");
    EXPECT_EQ(ReadFile(ConfPath()), conf);  // shown, not written back
    WriteFile(ConfPath(), "[General]\nSmart=1\n");
    EXPECT_TRUE(Cli("settings").out.ends_with("\nSmart: 1\n"));
}

TEST_F(SettingsCli, UsageAndStoreErrorsHaveTheirExitStatus)
{
    CliRun run = Cli("settings --bogus");
    EXPECT_EQ(run.err, "lepotex-cli settings: neznámá volba „--bogus“\nZkuste „lepotex-cli settings --help“.\n");
    EXPECT_EQ(run.status, 1);
    run = Cli("settings --help");
    EXPECT_NE(run.out.find(ConfPath().string()), std::string::npos);
    EXPECT_EQ(run.status, 0);

    WriteFile(ConfPath(), "[General]\nIndent%20size=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    run = Cli("settings");
    EXPECT_EQ(run.out + run.err, "lepotex-cli settings: nastavení nelze přečíst (Invalid data type for 'Indent size')\n");
    EXPECT_EQ(run.status, 2);
}

TEST_F(SettingsCli, AFolderOfTheSettingsThatMayNotBeEnteredIsAnError)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    WriteFile(ConfPath(), "[General]\nNoCaps=0\n");
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                             fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "config", fs::perms::owner_all | fs::perms::others_exec | fs::perms::others_read);
    fs::permissions(dir / "config" / "Zuvra", fs::perms::owner_all);
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups \"$CLI\" ";
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    fs::permissions(dir / "in.txt", fs::perms::owner_all | fs::perms::others_read);
    CliRun run = Script(asNobody + "settings >out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2) << run.out;
    EXPECT_EQ(run.err, "lepotex-cli settings: nastavení nelze přečíst (Failed to get data for 'NoCaps')\n");
    run = Script(asNobody + "glue in.txt -o - >out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: nastavení nelze přečíst (Failed to get data for 'NoCaps')\n");
}

class UnixCli : public CliTest {};

TEST_F(UnixCli, OptionValuesTakeEveryUsualFormAndAValueOptionOnlyOnce)
{
    WriteFile(dir / "in.txt", "ahoj\r\nsvěte\r\n");
    WriteFile(dir / "noglue.txt", "svě\r\n");
    const std::string glued = " ahoj světe\r\n\r\n";  // indent size 2: one space
    const std::string forms[] = {
        "--defaults --indent-size 2 in.txt --output out.txt",
        "--defaults --indent-size=2 in.txt --output=out.txt",
        "--defaults --indent-size=2 -oout.txt in.txt",
        "--defaults --indent-size=2 -o=out.txt -vj1 in.txt",
        "--defaults --indent-size=2 -- in.txt -o out.txt",  // after "--" only files: -o is one
    };
    for (const std::string& form : forms) {
        std::filesystem::remove(dir / "out.txt");
        const CliRun run = Script("\"$CLI\" glue " + form + " >out-std.txt 2>err.txt");
        if (form.find(" -- ") != std::string::npos) {
            EXPECT_EQ(run.status, 1) << form;  // "-o" and "out.txt" are taken for two books
            continue;
        }
        EXPECT_EQ(run.status, 0) << form << run.err;
        EXPECT_EQ(ReadFile(dir / "out.txt"), glued) << form;
    }
    CliRun run = Script("\"$CLI\" glue --defaults --no-glue=noglue.txt in.txt -o out.txt 2>err.txt");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), "   ahoj\r\n   světe\r\n\r\n");

    // Two outputs: which one was meant cannot be guessed, so nothing is written.
    std::filesystem::remove(dir / "out.txt");
    run = Script("\"$CLI\" glue --defaults in.txt -o out.txt --output=other.txt 2>err.txt");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "lepotex-cli glue: volba -o/--output je zadána víckrát\nZkuste „lepotex-cli glue --help“.\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));
    EXPECT_FALSE(fs::exists(dir / "other.txt"));
}

TEST_F(UnixCli, VersionAndHelpOfEveryCommand)
{
    const std::regex version(R"(lepotex-cli 1\.2\.\d+( \(commit [0-9a-f]+(-dirty)?\))?\n)");
    for (const char* args : {"--version", "glue --version", "speech --version", "copy --version", "settings --version"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 0) << args;
        EXPECT_TRUE(std::regex_match(run.out, version)) << args << ": " << run.out;
        EXPECT_EQ(run.err, "") << args;
    }
    for (const char* args : {"--help", "glue --help", "speech -h", "copy --help", "settings --help"}) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 0) << args;
        EXPECT_NE(run.out.find("Použití: lepotex-cli"), std::string::npos) << args;
    }
    // The indent size is the number of spaces plus one, and 0 is not "none".
    const std::string help = Cli("glue --help").out;
    EXPECT_NE(help.find("--indent-size N     odsazení odstavců, 0 až 255: N − 1 mezer pro N od 1 do 14,\n"
                        "                      14 mezer pro 0 a pro N nad 14"),
              std::string::npos)
        << help;
    WriteFile(dir / "in.txt", "a\r\nb\r\n");
    EXPECT_EQ(Cli("glue --defaults --indent-size 0 " + Path("in.txt")).out, std::string(14, ' ') + "a b\r\n\r\n");
    EXPECT_EQ(Cli("glue --defaults --indent-size 1 " + Path("in.txt")).out, "a b\r\n\r\n");
}

TEST_F(UnixCli, AUsageErrorIsOneLineAndWhereHelpIs)
{
    const std::pair<std::string, std::string> cases[] = {
        {"glue --bogus in.txt", "lepotex-cli glue: neznámá volba „--bogus“"},
        {"glue -x in.txt", "lepotex-cli glue: neznámá volba „-x“"},
        {"glue in.txt -o", "lepotex-cli glue: volba -o potřebuje hodnotu"},
        {"glue --in-place=yes in.txt", "lepotex-cli glue: volba --in-place nemá hodnotu"},
        {"glue --indent-size=256 in.txt", "lepotex-cli glue: --indent-size potřebuje číslo od 0 do 255"},
        {"glue --no-caps --glue-caps in.txt", "lepotex-cli glue: --no-caps a --glue-caps se vylučují"},
        {"glue a.txt b.txt", "lepotex-cli glue: více souborů potřebuje --in-place nebo --output-dir"},
        {"glue", "lepotex-cli glue: chybí vstupní soubor"},
        {"speech --defaults in.txt", "lepotex-cli speech: neznámá volba „--defaults“"},
        {"copy a b", "lepotex-cli copy: copy kopíruje jeden soubor, zadáno je 2"},
        {"settings extra", "lepotex-cli settings: nečekaný argument „extra“"},
        {"frobnicate", "lepotex-cli: neznámý příkaz „frobnicate“"},
        {"", "lepotex-cli: chybí příkaz"},
    };
    for (const auto& [args, line] : cases) {
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 1) << args;
        const std::string command = args.empty() || args == "frobnicate" ? "" : args.substr(0, args.find(' ')) + " ";
        EXPECT_EQ(run.err, line + "\nZkuste „lepotex-cli " + command + "--help“.\n") << args;
        EXPECT_EQ(run.out, "") << args;
    }
}

TEST_F(UnixCli, WithoutAnOutputTheResultGoesToStandardOutput)
{
    WriteFile(dir / "in.txt", "ahoj\r\nsvěte\r\n");
    CliRun run = Cli("glue --defaults " + Path("in.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "   ahoj světe\r\n\r\n");
    EXPECT_EQ(ReadFile(dir / "in.txt"), "ahoj\r\nsvěte\r\n");

    WriteFile(dir / "speech.txt", "\x84" "a\r\nb\x93\r\n");
    run = Cli("speech " + Path("speech.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "\x84" "a b\x93\r\n\r\n");

    run = Script("cat in.txt | \"$CLI\" glue --defaults - 2>err.txt | cat >out.txt");
    EXPECT_EQ(run.out, "   ahoj světe\r\n\r\n");

    run = Cli("copy " + Path("in.txt"));
    EXPECT_EQ(run.out, "ahoj\r\nsvěte\r\n");
}

TEST_F(UnixCli, AnOutputFolderMustExistAndNotBeTheInputsOwn)
{
    WriteFile(dir / "books" / "a.txt", "ahoj\r\nsvěte\r\n");
    fs::create_directory_symlink(dir / "books", dir / "link");
    // The same folder by any name would overwrite the book with its result.
    for (const std::string folder : {"books", "./books/", "link"}) {
        const CliRun run = Script("\"$CLI\" glue --defaults --output-dir " + folder + " books/a.txt 2>err.txt");
        EXPECT_EQ(run.status, 1) << folder;
        EXPECT_EQ(run.err, "lepotex-cli glue: --output-dir " + folder +
                               " je složka souboru books/a.txt, výsledek by přepsal původní text; k tomu slouží "
                               "--in-place\nZkuste „lepotex-cli glue --help“.\n");
    }
    CliRun run = Script("cd books && \"$CLI\" glue --defaults --output-dir . a.txt 2>../err.txt");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("--in-place"), std::string::npos);
    EXPECT_EQ(ReadFile(dir / "books" / "a.txt"), "ahoj\r\nsvěte\r\n");

    // A folder that is not there is said to be missing, before any book is worked on.
    run = Script("\"$CLI\" glue --defaults --output-dir missing books/a.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: missing: složka neexistuje\n");
    run = Script("\"$CLI\" glue --defaults books/a.txt -o missing/a.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "missing/a.txt: složka „missing“ neexistuje\n");
    run = Script("\"$CLI\" copy books/a.txt -o books/a.txt/x 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "books/a.txt/x: „books/a.txt“ není složka\n");
}

// Whether this process may mount a small file system of its own (as root, in a mount
// namespace that ends with the command).
bool CanMountTmpfs()
{
    return ::geteuid() == 0 &&
           std::system("unshare -m sh -c 'mount -t tmpfs -o size=64k none /mnt' >/dev/null 2>&1") == 0;
}

TEST_F(UnixCli, FileErrorsAreCzechWithTheSystemsReason)
{
    WriteFile(dir / "in.txt", "ahoj\r\nsvěte\r\n");
    fs::create_directories(dir / "knihy");
    CliRun run = Script("\"$CLI\" glue --defaults kniha.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "kniha.txt: soubor neexistuje\n");
    run = Script("\"$CLI\" glue --defaults knihy 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "knihy: není soubor, ale složka\n");
    run = Script("\"$CLI\" glue --defaults in.txt -o knihy 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "knihy: není soubor, ale složka\n");

    // A full disk: a small file system where one may be mounted, else a file size limit,
    // which makes the write fail the same way.
    std::string big;
    for (int i = 0; i < 20000; ++i)
        big += "Slovo.\r\n";  // a line ends a sentence: no glue
    WriteFile(dir / "big.txt", big);
    if (CanMountTmpfs())
        run = Script("unshare -m sh -c 'mount -t tmpfs -o size=64k none knihy && \"$CLI\" glue --defaults big.txt "
                     "-o knihy/vystup.txt 2>err.txt; s=$?; ls knihy >out.txt; exit $s'");
    else
        run = Script("(trap '' XFSZ; ulimit -f 64; \"$CLI\" glue --defaults big.txt -o knihy/vystup.txt 2>err.txt); "
                     "s=$?; ls knihy >out.txt; exit $s");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "knihy/vystup.txt: disk je plný\n");
    EXPECT_EQ(run.out, "") << "no half-written file is left";

    if (::geteuid() != 0)
        GTEST_SKIP() << "the read-only target needs root to act as another user";
    fs::permissions(dir, fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(dir / "in.txt", fs::perms::owner_all | fs::perms::others_read);
    fs::create_directories(dir / "ro");
    WriteFile(dir / "ro" / "vystup.txt", "old\r\n");
    fs::permissions(dir / "ro", fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    const std::string asNobody = "setpriv --reuid=65534 --regid=65534 --clear-groups \"$CLI\" ";
    run = Script(asNobody + "glue --defaults in.txt -o ro/vystup.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "ro/vystup.txt: přístup odepřen\n");
    EXPECT_EQ(ReadFile(dir / "ro" / "vystup.txt"), "old\r\n");
}

TEST_F(UnixCli, WhatTheFileFormatLeftOutIsSaid)
{
    // A line over the paragraph limit is cut on loading; the result says so, and so does
    // the glue, which would otherwise hand back a shorter book without a word.
    WriteFile(dir / "long.txt", std::string(40000, 'w') + "\r\n\r\n" + std::string(33000, 'x') + "\r\n\r\nkonec\r\n");
    for (const std::string command : {"copy ", "glue --defaults --no-indent "}) {
        const CliRun run = Cli(command + Path("long.txt") + " -o " + Path("out.txt"));
        EXPECT_EQ(run.status, 0) << command << run.err;
        EXPECT_EQ(run.err, (dir / "long.txt").string() + ": upozornění: řádky delší než 32767 bajtů se zkrátily (počet: 2)\n")
            << command;
    }
    EXPECT_EQ(ReadFile(dir / "out.txt"), std::string(32767, 'w') + "\r\n\r\n" + std::string(32767, 'x') + "\r\n\r\nkonec\r\n\r\n");
}

}  // namespace
