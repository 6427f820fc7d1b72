// lepotex-cli copy must write exactly what opening and saving in the program would.
#include <utility>
#include <vector>

#include "CliFixture.h"

namespace lepotex::clitest {
namespace {

using CopyCli = CliTest;

TEST_F(CopyCli, EveryFileRuleComesOutByteForByte)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\r\nb", "a\r\nb\r\n"},
        {"a\rb", "a\r\nb\r\n"},
        {"a\nb", "a\nb\n"},
        {"a\tb\x01\x05\x09" "c\r\n", "a b   c\r\n"},
        {"ab\x1a" "cd", "ab\r\ncd\r\n"},
        {std::string("ab\0cd\r\nef", 9), "ab\r\nef\r\n"},
        {std::string(40000, 'w') + "\r\nz", std::string(32767, 'w') + "\r\n" + std::string(40000 - 32767, 'w') + "\r\nz\r\n"},
        {"\x84\x9A\xE8\x93\xFF\r\n", "\x84\x9A\xE8\x93\xFF\r\n"},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        Write("in.txt", cases[i].first);
        EXPECT_TRUE(Cli("copy in.txt -o out.txt").status == 0 && File("out.txt") == cases[i].second) << "case " << i;
        // The same through the standard streams.
        const CliRun piped = Cli("copy - -o - <in.txt");
        EXPECT_TRUE(piped.status == 0 && piped.out == cases[i].second) << "case " << i;
    }
    // Bytes the format leaves out are said on standard error; the copy itself is done.
    Write("in.txt", std::string("a\0b\r\n\x1a" "tail", 10));
    const CliRun run = Cli("copy in.txt -o out.txt");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("NUL"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("Ctrl+Z"), std::string::npos) << run.err;
}

}  // namespace
}  // namespace lepotex::clitest
