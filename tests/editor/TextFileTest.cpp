#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include "TestUtil.h"

namespace lepotex {
namespace {

namespace fs = std::filesystem;
using test::Paragraphs;
using Paras = std::vector<std::string>;

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        folder = fs::temp_directory_path() / ("lepotex-files-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ec;
        fs::permissions(folder, fs::perms::owner_all, ec);
        fs::remove_all(folder, ec);
    }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = (folder / name).string();
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Loads the bytes and returns the paragraphs, then what saving writes.
    std::pair<Paras, std::string> RoundTrip(const std::string& bytes)
    {
        TextEditor editor;
        editor.LoadFromFile(Write("in.txt", bytes));
        const std::string out = (folder / "out.txt").string();
        editor.SaveToFile(out);
        return {Paragraphs(editor), Read(out)};
    }
    fs::path folder;
};

TEST_F(TextFileTest, LineEndsAndSpecialBytesLoadAndSaveByTheFormatRules)
{
    EXPECT_EQ(RoundTrip(""), (std::pair<Paras, std::string>{{""}, ""}));
    EXPECT_EQ(RoundTrip("a\r\nb\r\n"), (std::pair<Paras, std::string>{{"a", "b", ""}, "a\r\nb\r\n"}));
    EXPECT_EQ(RoundTrip("a\r\nb"), (std::pair<Paras, std::string>{{"a", "b", ""}, "a\r\nb\r\n"}));
    EXPECT_EQ(RoundTrip("a\rb"), (std::pair<Paras, std::string>{{"a", "b", ""}, "a\r\nb\r\n"}));
    EXPECT_EQ(RoundTrip("a\nb"), (std::pair<Paras, std::string>{{"a\nb", ""}, "a\nb\r\n"}));
    EXPECT_EQ(RoundTrip("a\r\r\nb"), (std::pair<Paras, std::string>{{"a", "", "b", ""}, "a\r\n\r\nb\r\n"}));
    EXPECT_EQ(RoundTrip("x   \t\r\n"), (std::pair<Paras, std::string>{{"x", ""}, "x\r\n"}));
    EXPECT_EQ(RoundTrip("a\tb\x01\x09\x0a" "c\r\n"),
              (std::pair<Paras, std::string>{{"a\tb\x01\t\nc", ""}, "a b  \nc\r\n"}));
    // Ctrl+Z: at a line start it ends the file; inside a line it ends the line.
    EXPECT_EQ(RoundTrip("a\r\n\x1a"), (std::pair<Paras, std::string>{{"a", ""}, "a\r\n"}));
    EXPECT_EQ(RoundTrip("a\r\n\x1a" "b\r\n"), (std::pair<Paras, std::string>{{"a", ""}, "a\r\n"}));
    EXPECT_EQ(RoundTrip("ab\x1a" "cd\x1a\x1a" "ef"), (std::pair<Paras, std::string>{{"ab", "cd", ""}, "ab\r\ncd\r\n"}));
    // NUL ends the paragraph's text, up to the line end.
    EXPECT_EQ(RoundTrip(std::string("ab\0cd\r\nef", 9)), (std::pair<Paras, std::string>{{"ab", "ef", ""}, "ab\r\nef\r\n"}));
    // Bytes above 0x7F pass untouched.
    std::string high;
    for (int b = 0x80; b <= 0xFF; ++b)
        high.push_back(char(b));
    EXPECT_EQ(RoundTrip(high + "\r\n").second, high + "\r\n");
}

TEST_F(TextFileTest, LongLinesAreCutAndCountsMatchTheFile)
{
    const std::string longLine(40000, 'q');
    TextEditor editor;
    editor.LoadFromFile(Write("long.txt", longLine + "\r\nnext\r\n"));
    ASSERT_EQ(editor.ParaCount(), 3);
    EXPECT_EQ(editor.ParaText(1).size(), 32767u);
    EXPECT_EQ(editor.ParaText(2), "next");

    editor.LoadFromFile(Write("counts.txt", "ab\r\nc\r\n"));
    EXPECT_EQ(editor.ByteCount(), 7);
    EXPECT_TRUE(editor.IsOpen());
    EXPECT_FALSE(editor.Modified());

    // A larger text, loaded across several read blocks, keeps ByteCount equal to the file size.
    std::string book;
    for (int i = 0; book.size() < 3'000'000; ++i)
        book += "Řádek číslo " + std::to_string(i) + " s nějakým textem navíc, aby byl delší.\r\n";
    editor.LoadFromFile(Write("book.txt", book));
    EXPECT_EQ(editor.ByteCount(), int32_t(book.size()));
    test::ExpectCountsConsistent(editor);
    editor.SaveToFile((folder / "book-out.txt").string());
    EXPECT_TRUE(Read((folder / "book-out.txt").string()) == book);

    // What the format rules leave out is reported, so that nothing goes without a word; a
    // final Ctrl+Z is the old way to end a file, not a loss.
    editor.LoadFromFile(Write("loss.txt", std::string("a\0b\r\n", 5) + longLine + "\r\n\x1a" "rest"));
    EXPECT_EQ(editor.LastLoadReport().longLinesCut, 1);
    EXPECT_EQ(editor.LastLoadReport().linesCutAtNul, 1);
    EXPECT_EQ(editor.LastLoadReport().bytesAfterEndMark, 4);
    editor.LoadFromFile(Write("dos.txt", "a\r\n\x1a"));
    EXPECT_TRUE(editor.LastLoadReport().Lossless());

    editor.LoadFromFile(Write("kniha.", "x"));
    EXPECT_EQ(editor.FileName(), (folder / "kniha").string()) << "one trailing dot is dropped from the name";
}

TEST_F(TextFileTest, LoadLimitsRaiseEditorErrors)
{
    TextEditor editor;
    editor.SetParaLimit(2);
    try {
        editor.LoadFromFile(Write("many.txt", "a\r\nb\r\nc\r\n"));
        FAIL();
    } catch (const EEditorError& e) {
        EXPECT_STREQ(e.what(), "Current operation will exceed the maximum number of allowed paragraphs");
    }
    TextEditor small;
    small.SetByteLimit(5);
    EXPECT_THROW(small.LoadFromFile(Write("big.txt", "abcdef\r\n")), EEditorError);
    EXPECT_FALSE(small.IsOpen());
}

TEST_F(TextFileTest, FailedLoadKeepsTheTextHistoryAndFlag)
{
    TextEditor editor;
    editor.LoadFromFile(Write("first.txt", "first\r\n"));
    ASSERT_EQ(editor.InsertText("typed "), 0);
    ASSERT_TRUE(editor.CanUndo());
    const std::string missing = (folder / "missing.txt").string();
    try {
        editor.LoadFromFile(missing);
        FAIL();
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
    EXPECT_EQ(Paragraphs(editor), (Paras{"typed first", ""}));
    EXPECT_TRUE(editor.Modified());
    EXPECT_TRUE(editor.CanUndo());
    EXPECT_FALSE(editor.IsOpen());
    EXPECT_EQ(editor.FileName(), missing);

    // A folder cannot be read as a file; a limit hit half-way leaves nothing half-loaded either.
    EXPECT_THROW(editor.LoadFromFile(folder.string()), EInOutError);
    editor.SetParaLimit(3);
    EXPECT_THROW(editor.LoadFromFile(Write("long.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n")), EEditorError);
    EXPECT_EQ(Paragraphs(editor), (Paras{"typed first", ""}));
}

TEST_F(TextFileTest, SaveReplacesTheFileWholeOrNotAtAll)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("new text\r\n"), 0);
    const std::string target = Write("book.txt", "old text\r\n");
    ::chmod(target.c_str(), 0640);

    // A save that runs out of room (a file size limit stands in for a full disk) keeps the old file.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4, 4};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            editor.SaveToFile(target);
        } catch (const EInOutError& e) {
            ::_exit(std::string(e.what()) == "Disk full" ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must fail with \"Disk full\"";
    EXPECT_EQ(Read(target), "old text\r\n");
    EXPECT_TRUE(editor.Modified());

    // No temporary file is left behind, success or failure.
    editor.SaveToFile(target);
    EXPECT_EQ(Read(target), "new text\r\n");
    EXPECT_FALSE(editor.Modified());
    struct stat info {};
    ::stat(target.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u) << "permissions are kept";
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++entries;
    EXPECT_EQ(entries, 1);

    // Through a symbolic link: the file it names is written, the link stays.
    const fs::path link = folder / "link.txt";
    fs::create_symlink("book.txt", link);
    ASSERT_EQ(editor.InsertText("more\r\n"), 0);
    editor.SaveToFile(link.string());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(Read(target), "new text\r\nmore\r\n");

    // A place that cannot be written: the error names the reason, the flag stays.
    ASSERT_EQ(editor.InsertText("x"), 0);
    EXPECT_THROW(editor.SaveToFile((folder / "no-such-folder" / "a.txt").string()), EInOutError);
    EXPECT_THROW(editor.SaveToFile("/proc/version"), EInOutError);
    EXPECT_THROW(editor.SaveToFile(folder.string()), EInOutError);
    EXPECT_TRUE(editor.Modified());
}

}  // namespace
}  // namespace lepotex
