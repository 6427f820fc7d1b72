// Drives `lepotex-cli settings` with its configuration folder in a temporary place.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

namespace {

struct CliRun {
    int status;
    std::string out;  // standard output and error together
};

class SettingsCli : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lepotex-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        config = pattern;
    }
    void TearDown() override { fs::remove_all(config); }

    CliRun RunSettings(const std::string& args) const
    {
        const std::string command = "XDG_CONFIG_HOME='" + config.string() + "' '" LEPOTEX_CLI "' settings " + args + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        CliRun run{-1, ""};
        if (!pipe)
            return run;
        char buffer[4096];
        for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            run.out.append(buffer, n);
        const int wait = pclose(pipe);
        run.status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
        return run;
    }
    void WriteConf(const std::string& text) const
    {
        fs::create_directories(ConfPath().parent_path());
        std::ofstream(ConfPath(), std::ios::binary) << text;
    }
    std::string ReadConf() const
    {
        std::ostringstream text;
        text << std::ifstream(ConfPath(), std::ios::binary).rdbuf();
        return text.str();
    }
    fs::path ConfPath() const { return config / "Zuvra" / "Lepotex 1.2.conf"; }

    fs::path config;
};

}  // namespace

TEST_F(SettingsCli, PrintsTheDefaultsInUtf8WithoutWritingAnything)
{
    const CliRun run = RunSettings("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.rfind("NoCaps: 1\nIndent: 1\nIndent size: 4\nNoGlue: 16 položek\n\tKapitola\n\tČást\n", 0), 0u)
        << run.out;
    EXPECT_NE(run.out.find("AutoReplace: 7 položek\n\tsena\\se na\n\t“„\\“^p„\n"), std::string::npos) << run.out;
    EXPECT_TRUE(fs::is_empty(config));

    WriteConf("[General]\nNoCaps=0\n");
    EXPECT_EQ(RunSettings("--defaults").out, run.out);
}

TEST_F(SettingsCli, PrintsStoredValuesAsTheProgramReadsThem)
{
    const std::string conf =
        "[General]\nNoCaps=0\nIndent%20size=300\nNoGlue=Hlava\\r\\n\\x1b[31m\\r\\n\\r\\n\\tx\\r\\n\n";
    WriteConf(conf);
    const CliRun run = RunSettings("");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out.substr(0, run.out.find("AutoReplace")),
              "NoCaps: 0\nIndent: 1\nIndent size: 44\nNoGlue: 4 položky\n\tHlava\n\t\\x1B[31m\n\t\n\t\tx\n");
    EXPECT_EQ(ReadConf(), conf);  // shown, not written back
}

TEST_F(SettingsCli, UsageErrorsAndStoreErrorsHaveTheirExitStatus)
{
    CliRun run = RunSettings("--bogus");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("Použití: lepotex-cli settings"), std::string::npos) << run.out;

    run = RunSettings("--help");
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.out.find(ConfPath().string()), std::string::npos) << run.out;

    WriteConf("[General]\nNoCaps=1\nIndent%20size=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    run = RunSettings("");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "lepotex-cli settings: Invalid data type for 'Indent size'\n");
}
