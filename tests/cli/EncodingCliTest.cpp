// The batch tool on files that are not Windows-1250 with CR LF: converted and written back as
// they came, nothing lost without a word, and never written over when the load was not faithful.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void WriteFile(const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

std::vector<std::string> Words(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

struct CliRun {
    int status;
    std::string err;
};

class EncodingCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("lepotex-enc-cli-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "config");
    }
    void TearDown() override { fs::remove_all(dir); }
    CliRun Cli(const std::string& args)
    {
        const std::string command = "XDG_CONFIG_HOME='" + (dir / "config").string() + "' HOME='" + dir.string() +
                                    "' '" LEPOTEX_CLI "' " + args + " >/dev/null 2>" + Path("stderr.txt") +
                                    " </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stderr.txt")};
    }
    std::string Path(const std::string& name) const { return "'" + (dir / name).string() + "'"; }
    fs::path dir;
};

TEST_F(EncodingCli, InPlaceRefusesALossyFileAndOtherOutputsWarn)
{
    const std::string lossy = "Řádek jedna\nDruhý řádek: Привет\n";
    WriteFile(dir / "lossy.txt", lossy);
    WriteFile(dir / "fine.txt", "Žluťoučký kůň\nse\nvrátil.\n");
    CliRun run = Cli("glue --defaults --in-place " + Path("lossy.txt") + " " + Path("fine.txt"));
    EXPECT_EQ(run.status, 3) << run.err;
    EXPECT_EQ(ReadFile(dir / "lossy.txt"), lossy) << "the original is unchanged";
    EXPECT_NE(run.err.find("první je „П“ (U+041F) na řádku 2"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("soubor se nenačetl věrně"), std::string::npos) << run.err;
    EXPECT_NE(ReadFile(dir / "fine.txt"), "Žluťoučký kůň\nse\nvrátil.\n") << "the faithful book was glued";
    EXPECT_EQ(ReadFile(dir / "fine.txt").find("\r"), std::string::npos) << "in UTF-8 with LF, as it came";

    // -o and --output-dir write it, with the warning.
    run = Cli("glue --defaults " + Path("lossy.txt") + " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(ReadFile(dir / "out.txt").find("??????"), std::string::npos);
    EXPECT_NE(run.err.find("nahradily otazníkem (počet: 6"), std::string::npos) << run.err;
    fs::create_directories(dir / "outdir");
    run = Cli("speech --output-dir " + Path("outdir") + " " + Path("lossy.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(fs::exists(dir / "outdir" / "lossy.txt"));
}

TEST_F(EncodingCli, AnLfBookGluedInPlaceKeepsEveryWord)
{
    // A UTF-8 book of 1.9 MB with LF line ends, broken into short lines, and one line longer
    // than a paragraph may be.
    std::mt19937 random(42);
    const std::vector<std::string> words = {"Krysař", "přišel", "do", "Hamelnu", "a", "zapískal", "na",
                                            "píšťalu", "žluťoučký", "kůň", "úpěl", "ďábelské", "ódy"};
    std::string book;
    while (book.size() < 1'900'000) {
        std::string line;
        // The long line is of sentences, so that its pieces stay paragraphs of their own.
        const bool longLine = book.size() > 500'000 && book.size() < 600'000;
        const size_t length = longLine ? 80'000 : 20 + random() % 60;
        while (line.size() < length)
            line += longLine ? "Hamelnu. " : words[random() % words.size()] + " ";
        line.pop_back();
        const bool nearLongLine = book.size() > 450'000 && book.size() < 650'000;
        book += line + (longLine ? "\n" : nearLongLine || random() % 7 ? ".\n" : "\n");
    }
    WriteFile(dir / "kniha.txt", book);
    WriteFile(dir / "rules.txt", "");
    CliRun run = Cli("glue -v --defaults --rules " + Path("rules.txt") + " --in-place " + Path("kniha.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("kniha.txt: kódování UTF-8, konce řádků LF"), std::string::npos) << run.err.substr(0, 500);
    EXPECT_NE(run.err.find("rozdělily na více odstavců (počet: 2)"), std::string::npos);
    const std::string glued = ReadFile(dir / "kniha.txt");
    EXPECT_GT(glued.size(), book.size() * 9 / 10);
    EXPECT_EQ(glued.find('\r'), std::string::npos);
    EXPECT_TRUE(Words(glued) == Words(book)) << "every word, in order";
}

TEST_F(EncodingCli, ListsAndEncodingsGivenByName)
{
    // A UTF-8 no-glue list works on a UTF-8 book: the line that begins with its entry is not glued.
    WriteFile(dir / "book.txt", "Šel jsem lesem\nŘekl mu to\nnahlas\n");
    WriteFile(dir / "nolist.txt", "Řekl\n");
    CliRun run = Cli("glue -v --defaults --no-indent --no-glue " + Path("nolist.txt") + " " + Path("book.txt") +
                     " -o " + Path("out.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir / "out.txt"), "Šel jsem lesem\nŘekl mu to\nnahlas\n\n");
    EXPECT_NE(run.err.find("nolist.txt: kódování UTF-8"), std::string::npos) << run.err;
    run = Cli("glue --defaults --no-indent " + Path("book.txt") + " -o " + Path("plain.txt"));
    EXPECT_EQ(ReadFile(dir / "plain.txt"), "Šel jsem lesem Řekl mu to nahlas\n\n");

    // The output's encoding chosen: UTF-16 with its mark; and an input encoding given by name.
    run = Cli("copy --output-encoding utf-16 " + Path("book.txt") + " -o " + Path("u16.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadFile(dir / "u16.txt").starts_with("\xFF\xFE\x60\x01"));  // the mark, then "Š"
    run = Cli("copy --encoding cp1250 --output-encoding utf-8 " + Path("book.txt") + " -o " + Path("raw.txt"));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(ReadFile(dir / "raw.txt").starts_with("\xC4\xB9\xC2\xA0")) << "UTF-8 bytes read as Windows-1250";
    run = Cli("glue --encoding latin1 " + Path("book.txt") + " -o " + Path("x.txt"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("ne „latin1“"), std::string::npos) << run.err;
}

}  // namespace
