// lepotex-cli copy must write exactly what opening and saving in the program would.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

class CopyCli : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A name of its own on every run, so that two runs on one machine cannot meet.
        std::string name = (fs::temp_directory_path() / "lepotex-copy-cli-XXXXXX").string();
        ASSERT_NE(::mkdtemp(name.data()), nullptr);
        dir = name;
    }
    void TearDown() override { fs::remove_all(dir); }

    static std::string Read(const fs::path& path)
    {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
    int Run(const std::string& args, std::string* err = nullptr)
    {
        const fs::path errFile = dir / "stderr.txt";
        const std::string command = "'" LEPOTEX_CLI "' " + args + " 2>'" + errFile.string() + "'";
        const int raw = std::system(command.c_str());
        if (err)
            *err = Read(errFile);
        return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    }
    std::string Q(const std::string& name) const { return "'" + (dir / name).string() + "'"; }

    fs::path dir;
};

TEST_F(CopyCli, EveryFileRuleComesOutByteForByte)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"", ""},
        {"a\r\nb\r\n", "a\r\nb\r\n"},
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\rb", "a\r\nb\r\n"},
        {"a\nb", "a\nb\n"},
        {"a\r\r\nb", "a\r\n\r\nb\r\n"},
        {"x   \t\r\n", "x\r\n"},
        {"a\tb\x01\x05\x09" "c\r\n", "a b   c\r\n"},
        {"a\r\n\x1a" "junk", "a\r\n"},
        {"ab\x1a" "cd", "ab\r\ncd\r\n"},
        {std::string("ab\0cd\r\nef", 9), "ab\r\nef\r\n"},
        {std::string(40000, 'w') + "\r\nz", std::string(32767, 'w') + "\r\n" + std::string(40000 - 32767, 'w') + "\r\nz\r\n"},
        {"\x84\x9A\xE8\x93\xFF\r\n", "\x84\x9A\xE8\x93\xFF\r\n"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        std::ofstream(dir / "in.txt", std::ios::binary) << cases[i].first;
        ASSERT_EQ(Run("copy " + Q("in.txt") + " -o " + Q("out.txt")), 0) << "case " << i;
        EXPECT_TRUE(Read(dir / "out.txt") == cases[i].second) << "case " << i;
        // The same through the standard streams.
        ASSERT_EQ(Run("copy - -o - <" + Q("in.txt") + " >" + Q("piped.txt")), 0) << "case " << i;
        EXPECT_TRUE(Read(dir / "piped.txt") == cases[i].second) << "case " << i;
    }
}

TEST_F(CopyCli, ExitStatusesAndMessages)
{
    std::string err;
    EXPECT_EQ(Run("copy", &err), 1);
    EXPECT_EQ(err, "lepotex-cli copy: chybí vstupní soubor\nZkuste „lepotex-cli copy --help“.\n");
    EXPECT_EQ(Run("copy a b c -o d", &err), 1);
    EXPECT_EQ(Run("frobnicate", &err), 1);
    EXPECT_EQ(Run("copy --help >/dev/null", &err), 0);

    EXPECT_EQ(Run("copy " + Q("missing.txt") + " -o " + Q("out.txt"), &err), 2);
    EXPECT_EQ(err, (dir / "missing.txt").string() + ": soubor neexistuje\n");
    EXPECT_FALSE(fs::exists(dir / "out.txt"));

    // Bytes the format leaves out are said on stderr; the copy itself is done.
    std::ofstream(dir / "in.txt", std::ios::binary) << std::string("a\0b\r\n\x1a" "tail", 10);
    EXPECT_EQ(Run("copy " + Q("in.txt") + " -o " + Q("out.txt"), &err), 0);
    EXPECT_NE(err.find("NUL"), std::string::npos);
    EXPECT_NE(err.find("Ctrl+Z"), std::string::npos);

    std::ofstream(dir / "in.txt", std::ios::binary) << "text\r\n";
    EXPECT_EQ(Run("copy " + Q("in.txt") + " -o " + Q("no-folder/out.txt"), &err), 2);
    EXPECT_EQ(err, (dir / "no-folder/out.txt").string() + ": složka „" + (dir / "no-folder").string() + "“ neexistuje\n");
}

}  // namespace
