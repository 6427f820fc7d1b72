#include "editor/TextEditor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
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


TEST_F(TextFileTest, LinesLongerThanTheParagraphLimitLoadAsSeveralParagraphs)
{
    TextEditor editor;
    editor.SetParaLengthLimit(10);
    // Each piece ends at its last blank within the limit, which the trimming then drops (a
    // second blank begins the next piece); a piece without a blank ends at the limit; the
    // line's own trailing blanks make no piece.
    editor.LoadFromFile(Write("long.txt", "aaaa bbbb cccc dd\r\nabcdefghijklmnop\r\nxy\tz  uvw  rest   \r\nshort\r\n"));
    EXPECT_EQ(Paragraphs(editor), (Paras{"aaaa bbbb", "cccc dd", "abcdefghij", "klmnop", "xy\tz  uvw", " rest", "short", ""}));
    test::ExpectCountsConsistent(editor);

    // Each piece counts against the paragraph limit.
    TextEditor few;
    few.SetParaLengthLimit(4);
    few.SetParaLimit(2);
    EXPECT_THROW(few.LoadFromFile(Write("three.txt", "abc def ghi\r\n")), EEditorError);
}

TEST_F(TextFileTest, SaveRefusesAReadOnlyFileAndAFolderWithoutRoomForTheNewFile)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("new\r\n"), 0);
    const std::string readOnly = Write("read-only.txt", "old\r\n");
    ::chmod(readOnly.c_str(), 0444);
    try {
        editor.SaveToFile(readOnly);
        FAIL() << "a file nobody may write was replaced";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    EXPECT_EQ(Read(readOnly), "old\r\n");
    EXPECT_TRUE(editor.Modified());

    // A user who may write the file but not its folder: the save cannot make the new file
    // beside it, and writing over the old one could leave half of each, so it is refused.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    const fs::path locked = folder / "locked";
    fs::create_directories(locked);
    ::chmod(folder.c_str(), 0755);
    ::chmod(locked.c_str(), 0755);
    const std::string book = (locked / "book.txt").string();
    std::ofstream(book, std::ios::binary) << "old text\r\n";
    ::chmod(book.c_str(), 0666);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(3);
        try {
            editor.SaveToFile(book);
        } catch (const EInOutError& e) {
            ::_exit(std::string(e.what()) == "File access denied" ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must be refused with \"File access denied\"";
    EXPECT_EQ(Read(book), "old text\r\n");
}

TEST_F(TextFileTest, AFileWithSeveralNamesIsWrittenInPlaceAndRestoredWhenTheWriteFails)
{
    const std::string first = Write("first.txt", "old\r\n");
    const fs::path second = folder / "second.txt";
    fs::create_hard_link(first, second);
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("new text\r\n"), 0);
    editor.SaveToFile(first);
    EXPECT_EQ(Read(first), "new text\r\n");
    EXPECT_EQ(Read(second.string()), "new text\r\n") << "every name sees the new text";
    EXPECT_EQ(fs::hard_link_count(second), 2u);

    // The write runs out of room half-way (a file size limit stands in for a full disk): the
    // old text comes back, under both names.
    ASSERT_EQ(editor.InsertText(std::string(100, 'x') + "\r\n"), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{40, 40};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        try {
            editor.SaveToFile(second.string());
        } catch (const EInOutError& e) {
            ::_exit(std::string(e.what()) == "Disk full" ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save must fail with \"Disk full\"";
    EXPECT_EQ(Read(first), "new text\r\n");
    EXPECT_EQ(Read(second.string()), "new text\r\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder))
        ++entries;
    EXPECT_EQ(entries, 2) << "the copy of the old text goes once it is back";
}

TEST_F(TextFileTest, DevicesPipesAndOwnDescriptorsAreWrittenIntoNotReplaced)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("a\tb\r\nc\r\n"), 0);
    const std::string expected = "a b\r\nc\r\n";

    // A named pipe: the reader gets the bytes, the pipe stays.
    const fs::path fifo = folder / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::string piped;
    std::thread reader([&] { piped = Read(fifo.string()); });
    editor.SaveToFile(fifo.string());
    reader.join();
    EXPECT_EQ(piped, expected);
    EXPECT_TRUE(fs::is_fifo(fifo));

    // A character device (a null device of our own, where the system lets us make one).
    const fs::path device = folder / "null";
    if (::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) {
        editor.SaveToFile(device.string());
        EXPECT_TRUE(fs::is_character_file(device));
    }

    // One of our own descriptors, as /dev/stdout is: the text goes where the descriptor
    // writes, after what is there when it appends; the file behind it is not replaced.
    const std::string log = Write("log.txt", "earlier\r\n");
    const int appending = ::open(log.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(appending, 0);
    editor.SaveToFile("/proc/self/fd/" + std::to_string(appending));
    editor.SaveToFile("/dev/fd/" + std::to_string(appending));
    ::close(appending);
    EXPECT_EQ(Read(log), "earlier\r\n" + expected + expected);

    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0);
    editor.SaveToFile("/dev/fd/" + std::to_string(ends[1]));
    ::close(ends[1]);
    char bytes[64];
    const ssize_t got = ::read(ends[0], bytes, sizeof bytes);
    ::close(ends[0]);
    EXPECT_EQ(std::string(bytes, size_t(std::max<ssize_t>(got, 0))), expected);
}

// The mode a new file gets from the process's umask, as the system gives it.
mode_t ModeForNewFile(const fs::path& probe)
{
    const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    struct stat info {};
    ::fstat(fd, &info);
    ::close(fd);
    ::unlink(probe.c_str());
    return info.st_mode & 0777;
}

// The umask as the system reports it, without touching it.
std::string UmaskNow()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("Umask:"))
            return line;
    return {};
}

TEST_F(TextFileTest, SavesOnManyThreadsGiveNewFilesTheModeOfTheUmask)
{
    const mode_t expected = ModeForNewFile(folder / "probe");
    const std::string umask = UmaskNow();
    constexpr int kThreads = 2;
    constexpr int kFiles = 150;
    std::atomic<int> running{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            TextEditor editor;
            (void)editor.InsertText("text\r\n");
            for (int i = 0; i < kFiles; ++i)
                editor.SaveToFile((folder / ("f" + std::to_string(t) + "-" + std::to_string(i))).string());
            --running;
        });
    // A save that sets the umask to read it opens a moment in which every file made by any
    // thread is writable by all.
    int changed = 0;
    while (running > 0)
        changed += !umask.empty() && UmaskNow() != umask;
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(changed, 0) << "the umask changed during saves";
    int wrong = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        struct stat info {};
        ::stat(entry.path().c_str(), &info);
        wrong += (info.st_mode & 0777) != expected;
    }
    EXPECT_EQ(wrong, 0);
}

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(TextFileTest, AnInterruptedSaveLeavesNoTemporaryAndTheNextSaveClearsLeftOvers)
{
    // A text large enough that its save is still running when the signal comes.
    std::string book;
    while (book.size() < (size_t(96) << 20))
        book += "Řádek dlouhé knihy, který se ukládá znovu a znovu, aby ukládání chvíli trvalo.\r\n";
    const std::string source = Write("source.txt", book);
    book.clear();
    TextEditor editor;
    editor.SetWordWrap(false);
    editor.LoadFromFile(source);

    const std::string target = Write("book.txt", "old\r\n");
    fs::create_hard_link(target, folder / "other-name.txt");
    const std::string fresh = (folder / "fresh.txt").string();
    for (const std::string& name : {fresh, target}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            editor.SaveToFile(name);
            ::_exit(0);
        }
        // Strike once the save has made its file beside the target.
        const std::string leaf = fs::path(name).filename().string();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline)
            for (const std::string& entry : Entries(folder))
                seen = seen || entry.starts_with("." + leaf + ".lepotex");
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << name << ": the signal still ends the process";
        EXPECT_EQ(Entries(folder), (std::vector<std::string>{"book.txt", "other-name.txt", "source.txt"})) << name;
        EXPECT_EQ(Read(target), "old\r\n") << "the old text is back in place";
    }

    // What a killed save left beside the file goes with the next save of it; one that a
    // running save holds (locked) stays.
    Write(".book.txt.lepotex~1", "left over");
    Write(".book.txt.lepotex~4", "left over");
    const std::string held = Write(".book.txt.lepotex~2", "in use");
    const int holder = ::open(held.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    TextEditor small;
    ASSERT_EQ(small.InsertText("new\r\n"), 0);
    fs::remove(folder / "other-name.txt");
    small.SaveToFile(target);
    ::close(holder);
    EXPECT_EQ(Entries(folder), (std::vector<std::string>{".book.txt.lepotex~2", "book.txt", "source.txt"}));
    EXPECT_EQ(Read(target), "new\r\n");
}

}  // namespace
}  // namespace lepotex
