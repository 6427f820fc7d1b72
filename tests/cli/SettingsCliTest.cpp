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

class SettingsCli : public testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "lepotex-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        config = pattern;
    }
    void TearDown() override { fs::remove_all(config); }

    // Runs the command with standard output and error together; sets `status`.
    std::string RunSettings(const std::string& args)
    {
        const std::string command =
            "XDG_CONFIG_HOME='" + config.string() + "' '" LEPOTEX_CLI "' settings " + args + " 2>&1";
        std::string out;
        FILE* pipe = popen(command.c_str(), "r");
        char buffer[4096];
        for (std::size_t n; pipe && (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        const int wait = pipe ? pclose(pipe) : -1;
        status = WIFEXITED(wait) ? WEXITSTATUS(wait) : -1;
        return out;
    }
    fs::path ConfPath() const { return config / "Zuvra" / "Lepotex 1.2.conf"; }
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

    fs::path config;
    int status = -1;
};

}  // namespace

TEST_F(SettingsCli, PrintsTheDefaultsInUtf8WithoutWritingAnything)
{
    const std::string out = RunSettings("");
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(out.starts_with("NoCaps: 1\nIndent: 1\nIndent size: 4\nNoGlue: 16 položek\n\tKapitola\n\tČást\n"))
        << out;
    EXPECT_NE(out.find("AutoReplace: 7 položek\n\tsena\\se na\n\t“„\\“^p„\n"), std::string::npos) << out;
    EXPECT_TRUE(fs::is_empty(config));

    WriteConf("[General]\nNoCaps=0\n");
    EXPECT_EQ(RunSettings("--defaults"), out);
}

TEST_F(SettingsCli, PrintsStoredValuesAsReadWithControlCharactersEscaped)
{
    const std::string conf =
        "[General]\nNoCaps=0\nIndent%20size=300\nNoGlue=Hlava\\r\\n\\x1b[31m\\r\\n\\r\\n\\tx\\r\\n\n";
    WriteConf(conf);
    const std::string out = RunSettings("");
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out.substr(0, out.find("AutoReplace")),
              "NoCaps: 0\nIndent: 1\nIndent size: 44\nNoGlue: 4 položky\n\tHlava\n\t\\x1B[31m\n\t\n\t\tx\n");
    EXPECT_EQ(ReadConf(), conf);  // shown, not written back
}

TEST_F(SettingsCli, UsageAndStoreErrorsHaveTheirExitStatus)
{
    EXPECT_NE(RunSettings("--bogus").find("Použití: lepotex-cli settings"), std::string::npos);
    EXPECT_EQ(status, 1);
    EXPECT_NE(RunSettings("--help").find(ConfPath().string()), std::string::npos);
    EXPECT_EQ(status, 0);

    WriteConf("[General]\nIndent%20size=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    EXPECT_EQ(RunSettings(""), "lepotex-cli settings: Invalid data type for 'Indent size'\n");
    EXPECT_EQ(status, 2);
}
