// lepotex-cli copy must write exactly what opening and saving in the program would.
#include <utility>
#include <vector>

#include "CliFixture.h"

namespace lepotex::clitest {
namespace {

using CopyCli = CliTest;

// The format's rules are the editor's, whose file tests read every case mapped as the batch
// tool does; here the ways in and out: a file, and the standard streams.
TEST_F(CopyCli, WritesWhatOpeningAndSavingWouldAndSaysWhatTheFormatLeftOut)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"a\nb", "a\nb\n"},
        {"a\tb\x01\x05\x09" "c\r\n\x84\x9A\xE8\x93\xFF\r\n" + std::string(40000, 'w') + "\r\nz",
         "a b   c\r\n\x84\x9A\xE8\x93\xFF\r\n" + std::string(32767, 'w') + "\r\n" + std::string(40000 - 32767, 'w') + "\r\nz\r\n"},
    };
    for (const auto& [in, out] : cases) {
        Write("in.txt", in);
        EXPECT_TRUE(Cli("copy in.txt -o out.txt").status == 0 && File("out.txt") == out) << in.substr(0, 20);
        const CliRun piped = Cli("copy - -o - <in.txt");
        EXPECT_TRUE(piped.status == 0 && piped.out == out) << in.substr(0, 20);
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
