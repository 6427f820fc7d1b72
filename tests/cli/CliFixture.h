#pragma once
// Runs the lepotex-cli binary from a shell in a folder of its own per test, with a settings
// folder of its own, so that the user's files and settings are never touched.
#include <sys/wait.h>

#include <cstdlib>

#include "../editor/TestUtil.h"

namespace lepotex::clitest {

namespace fs = std::filesystem;
using test::ReadFile;

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

class CliTest : public test::FileTest {
protected:
    void SetUp() override
    {
        FileTest::SetUp();
        fs::create_directories(dir / "config");
    }
    // Runs shell lines in the test folder, $CLI being the binary; their standard output and
    // error are taken unless they redirect them themselves, and standard input is empty.
    CliRun Run(const std::string& lines)
    {
        Write("script.sh", "cd '" + dir.string() + "'\nexport XDG_CONFIG_HOME='" + (dir / "config").string() +
                               "' HOME='" + dir.string() + "'\nexport CLI='" LEPOTEX_CLI "'\n" + lines + "\n");
        const std::string command = "bash '" + (dir / "script.sh").string() + "' >'" + (dir / "stdout.txt").string() +
                                    "' 2>'" + (dir / "stderr.txt").string() + "' </dev/null";
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadFile(dir / "stdout.txt"), ReadFile(dir / "stderr.txt")};
    }
    // Runs the binary with its arguments, after a command (such as timeout) that runs it.
    CliRun Cli(const std::string& args, const std::string& runner = "") { return Run(runner + "\"$CLI\" " + args); }

    // Runs the binary and checks its exit status and the whole of its standard error.
    void ExpectFailure(const std::string& args, int status, const std::string& err, const std::string& runner = "")
    {
        const CliRun run = Cli(args, runner);
        EXPECT_EQ(run.status, status) << args;
        EXPECT_EQ(run.err, err) << args;
    }

    std::string File(const std::string& name) const { return ReadFile(dir / name); }
    // The settings file the binary reads, written as the user's own.
    std::string Conf(const std::string& bytes) const { return Write("config/Zuvra/Lepotex 1.2.conf", bytes); }

    const fs::path& dir = folder;
};

}  // namespace lepotex::clitest
