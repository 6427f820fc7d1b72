// Drives the lepotex-cli binary: the samples give their expected files byte for byte, and the
// exit statuses, messages, batch modes and the settings listing are as documented.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

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
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("lepotex-cli-" + std::to_string(::getpid()) + "-" + test->test_suite_name() + "-" + test->name());
        fs::remove_all(dir);
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
                                         "' HOME='" + dir.string() + "'\nCLI='" LEPOTEX_CLI "'\n" + lines + "\n");
        const int raw = std::system(("bash " + Path("script.sh")).c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "out.txt"), ReadFile(dir / "err.txt")};
    }

    std::string Path(const std::string& name) const { return "'" + (dir / name).string() + "'"; }
    fs::path ConfPath() const { return dir / "config" / "Zuvra" / "Lepotex 1.2.conf"; }

    fs::path dir;
};

class GlueCli : public CliTest {};
class SettingsCli : public CliTest {};

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
    EXPECT_NE(run.err.find("Před lepením musíte do editoru načíst text ze souboru, nebo vložit ze schránky."),
              std::string::npos);
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
}

TEST_F(SettingsCli, UsageAndStoreErrorsHaveTheirExitStatus)
{
    CliRun run = Cli("settings --bogus");
    EXPECT_NE((run.out + run.err).find("Použití: lepotex-cli settings"), std::string::npos);
    EXPECT_EQ(run.status, 1);
    run = Cli("settings --help");
    EXPECT_NE(run.out.find(ConfPath().string()), std::string::npos);
    EXPECT_EQ(run.status, 0);

    WriteFile(ConfPath(), "[General]\nIndent%20size=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    run = Cli("settings");
    EXPECT_EQ(run.out + run.err, "lepotex-cli settings: Invalid data type for 'Indent size'\n");
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
    EXPECT_EQ(run.err, "lepotex-cli settings: Failed to get data for 'NoCaps'\n");
    run = Script(asNobody + "glue in.txt -o - >out.txt 2>err.txt");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "lepotex-cli glue: nastavení nelze přečíst: Failed to get data for 'NoCaps'\n");
}

}  // namespace
