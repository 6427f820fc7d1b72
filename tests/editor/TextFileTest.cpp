// Loading and saving: the format rules, over-long lines, and saves that replace the file
// whole or not at all.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <dlfcn.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <functional>
#include <thread>
#include <tuple>

#include "TestUtil.h"
#include "editor/TextBlock.h"
#include "editor/Windows1250.h"

namespace lepotex {
namespace {

using namespace test;

// The flushes of this program's saves go through here: the next `failingFlushes` of them fail
// as a disk that lost the data would make them fail, noting whether one failed on a thread
// other than `savingThread`.
std::atomic<int> failingFlushes{0};
std::thread::id savingThread;
std::atomic<bool> failedOnTheWay{false};

}  // namespace
}  // namespace lepotex

extern "C" int fdatasync(int fd)
{
    if (lepotex::failingFlushes > 0) {
        --lepotex::failingFlushes;
        if (std::this_thread::get_id() != lepotex::savingThread)
            lepotex::failedOnTheWay = true;
        errno = EIO;
        return -1;
    }
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fdatasync"));
    return real(fd);
}

namespace lepotex {
namespace {

// Saves in a child process after `prepare` (a file size limit standing in for a full disk,
// another user); true when the save failed there with exactly `message`.
bool SaveFailsInChild(TextEditor& editor, const std::string& path, const std::string& message,
                      const std::function<bool()>& prepare)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try {
            if (prepare())
                editor.SaveToFile(path);
        } catch (const EInOutError& e) {
            ::_exit(e.what() == message ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return child > 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool FileSizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

std::vector<std::string> Entries(const fs::path& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(FileTest, LineEndsAndSpecialBytesLoadAndSaveByTheFormatRules)
{
    using namespace std::string_literals;
    // Each read step by step and mapped, as the batch tool reads it (whose copy tests take
    // these rules as given).
    const std::pair<std::string, std::pair<Paras, std::string>> rows[] = {
        {"", {{""}, ""}},
        {"a\r\r\nb", {{"a", "", "b", ""}, "a\r\n\r\nb\r\n"}},
        {"a\tb\x01\x09\x0a" "c   \r\n", {{"a\tb\x01\t\nc", ""}, "a b  \nc\r\n"}},
        {"ab\x1a" "cd\x1a\x1a" "ef", {{"ab", "cd", ""}, "ab\r\ncd\r\n"}},
        // No CR at all: LF ends a line and the file keeps LF.
        {"a\nb\n\nc", {{"a", "b", "", "c", ""}, "a\nb\n\nc\n"}},
        // Mixed: CR LF and CR end lines, a lone LF stays inside its line.
        {"a\r\nb\nc\rd\r", {{"a", "b\nc", "d", ""}, "a\r\nb\nc\r\nd\r\n"}},
        {"a\0x\nb\n\x1azz"s, {{"a", "b", ""}, "a\nb\n"}},
    };
    TextEditor editor;
    for (const bool mapped : {false, true}) {
        editor.SetMapFiles(mapped);
        for (const auto& [bytes, loaded] : rows) {
            const std::string saved = LoadAndSave(editor, bytes);
            EXPECT_EQ(std::make_pair(Paragraphs(editor), saved), loaded) << testing::PrintToString(bytes) << mapped;
            // The glue skips looking for tabs and line breaks in a text the load found without them.
            EXPECT_TRUE(!editor.KnownPlain() || std::ranges::none_of(Paragraphs(editor), [](const std::string& para) {
                return para.find_first_of("\t\r\n") != std::string::npos;
            })) << testing::PrintToString(bytes) << mapped;
        }
        editor.LoadFromFile(Write("plain.txt", std::string(70, 'a') + " b\r\n\r\n" + std::string(50, 'c')));
        EXPECT_TRUE(editor.KnownPlain());
        ASSERT_EQ(editor.InsertText("\t"), 0);
        EXPECT_FALSE(editor.KnownPlain());
        // A tab sixteen bytes or more before the line end, and one within the last sixteen.
        for (const std::size_t before : {20, 30}) {
            editor.LoadFromFile(Write("tab.txt", std::string(40, 'a') + "\r\n" + std::string(before, 'b') + "\tc\r\n"));
            EXPECT_FALSE(editor.KnownPlain()) << before;
        }
    }

    // What the rules leave out is reported; a final Ctrl+Z is the old way to end a file, not a loss.
    editor.LoadFromFile(Write("loss.txt", "a\0b\r\n"s + std::string(40000, 'q') + "\r\n\x1a" "rest"));
    const LoadReport& report = editor.LastLoadReport();
    EXPECT_EQ(std::tie(report.longLinesSplit, report.linesCutAtNul, report.bytesAfterEndMark), std::make_tuple(1, 1, 4));
    editor.LoadFromFile(Write("dos.txt", "a\r\n\x1a"));
    EXPECT_TRUE(editor.LastLoadReport().Faithful());

    // A Ctrl+Z an edit put at a line start would end the saved file there: it is saved as a space.
    TextEditor edited;
    ASSERT_EQ(edited.InsertText("a\r\n\x1a" "b\x1a" "c\r\nd"), 0);
    edited.SaveToFile(Path("edited.txt"));
    edited.LoadFromFile(Path("edited.txt"));
    EXPECT_EQ(Paragraphs(edited), (Paras{"a", " b", "c", "d", ""}));
}

// A line over the paragraph limit once was cut; now it goes in as several paragraphs, each
// ending at its last blank within the limit, or at the limit when it has none. (That no word
// is lost in a whole book the batch tool's tests show.)
TEST_F(FileTest, OverLongLinesAreSplitAtTheirLastBlankAndNothingIsLost)
{
    TextEditor editor;
    editor.SetParaLengthLimit(10);
    // The blank a piece ends at is trimmed (a second one begins the next piece); the line's
    // own trailing blanks make no piece.
    editor.LoadFromFile(Write("long.txt", "aaaa bbbb cccc dd\r\nabcdefghijklmnop\r\nxy\tz  uvw  rest   \r\nshort\r\n"));
    EXPECT_EQ(Paragraphs(editor), (Paras{"aaaa bbbb", "cccc dd", "abcdefghij", "klmnop", "xy\tz  uvw", " rest", "short", ""}));

    // A line without a blank is split at the limit; a book read in several blocks keeps its
    // byte count equal to the file's size and saves back byte for byte.
    TextEditor book;
    std::string text = std::string(40000, 'q') + "\r\n";
    for (int i = 0; text.size() < 3'000'000; ++i)
        text += Utf8ToWindows1250("Řádek číslo " + std::to_string(i) + " s nějakým textem navíc, aby byl delší.\r\n");
    EXPECT_TRUE(LoadAndSave(book, text) == text.substr(0, 32767) + "\r\n" + text.substr(32767));
    EXPECT_EQ(book.ByteCount(), int32_t(text.size() + 2));
    ExpectCountsConsistent(book);
}

// (The window's tests show a failed open keeping the text; here the history and a limit.)
TEST_F(FileTest, AFailedLoadKeepsTheTextHistoryAndFlag)
{
    TextEditor editor;
    editor.LoadFromFile(Write("first.txt", "first\r\n"));
    ASSERT_EQ(editor.InsertText("typed "), 0);
    EXPECT_THAT([&] { editor.LoadFromFile(Path("missing.txt")); },
                ThrowsMessage<EInOutError>(StrEq("File not found")));
    editor.SetParaLimit(3);  // hit half-way, it leaves nothing half-loaded
    EXPECT_THAT([&] { editor.LoadFromFile(Write("many.txt", "1\r\n2\r\n3\r\n4\r\n5\r\n")); },
                ThrowsMessage<EEditorError>(StrEq("Current operation will exceed the maximum number of allowed paragraphs")));
    EXPECT_EQ(Paragraphs(editor), (Paras{"typed first", ""}));
    EXPECT_TRUE(editor.Modified());
    EXPECT_TRUE(editor.CanUndo());
    EXPECT_FALSE(editor.IsOpen());
}

TEST_F(FileTest, SaveReplacesTheFileWholeOrNotAtAll)
{
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("new text\r\n"), 0);
    const std::string target = Write("book.txt", "old text\r\n");
    ::chmod(target.c_str(), 0640);
    EXPECT_TRUE(SaveFailsInChild(editor, target, "Disk full", [] { return FileSizeLimit(4); }));
    EXPECT_EQ(ReadFile(target), "old text\r\n");
    EXPECT_TRUE(editor.Modified());

    editor.SaveToFile(target);
    EXPECT_EQ(ReadFile(target), "new text\r\n");
    EXPECT_FALSE(editor.Modified());
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640)) << "permissions are kept";
    EXPECT_EQ(Entries(folder), Paras{"book.txt"}) << "no temporary file is left behind";

    // Through a symbolic link the file it names is written, and the link stays.
    fs::create_symlink("book.txt", folder / "link.txt");
    ASSERT_EQ(editor.InsertText("more\r\n"), 0);
    editor.SaveToFile(Path("link.txt"));
    EXPECT_TRUE(fs::is_symlink(folder / "link.txt"));
    EXPECT_EQ(ReadFile(target), "new text\r\nmore\r\n");

    // A file with several names is written in place, so that every name sees the new text;
    // out of room half-way, the old text comes back under both names, and its copy goes.
    fs::create_hard_link(target, folder / "second.txt");
    ASSERT_EQ(editor.InsertText("x"), 0);
    editor.SaveToFile(target);
    EXPECT_EQ(ReadFile(Path("second.txt")), "new text\r\nmore\r\nx\r\n");
    ASSERT_EQ(editor.InsertText(std::string(100, 'x') + "\r\n"), 0);
    EXPECT_TRUE(SaveFailsInChild(editor, Path("second.txt"), "Disk full", [] { return FileSizeLimit(40); }));
    EXPECT_EQ(ReadFile(target), "new text\r\nmore\r\nx\r\n");
    EXPECT_EQ(Entries(folder), (Paras{"book.txt", "link.txt", "second.txt"}));

    // So too for a book large enough to be written from a second thread, either way.
    TextEditor large;
    std::string book;
    for (int i = 0; book.size() < 6'000'000; ++i)
        book += "Line " + std::to_string(i) + " of a book written while its next part is gathered.\r\n";
    ASSERT_EQ(large.InsertText(book), 0);
    const std::string big = Write("big.txt", "old text\r\n");
    EXPECT_TRUE(SaveFailsInChild(large, big, "Disk full", [] { return FileSizeLimit(3'000'000); }));
    EXPECT_EQ(ReadFile(big), "old text\r\n");
    EXPECT_TRUE(SaveFailsInChild(large, target, "Disk full", [] { return FileSizeLimit(3'000'000); }));
    EXPECT_EQ(ReadFile(Path("second.txt")), "new text\r\nmore\r\nx\r\n");
    large.SaveToFile(big);
    EXPECT_TRUE(ReadFile(big) == book);
    ::unlink(big.c_str());
    EXPECT_EQ(Entries(folder), (Paras{"book.txt", "link.txt", "second.txt"}));

    // A file nobody may write is not replaced, and the text stays modified.
    const std::string readOnly = Write("read-only.txt", "old\r\n");
    ::chmod(readOnly.c_str(), 0444);
    EXPECT_THAT([&] { editor.SaveToFile(readOnly); }, ThrowsMessage<EInOutError>(StrEq("File access denied")));
    EXPECT_EQ(ReadFile(readOnly), "old\r\n");
    EXPECT_TRUE(editor.Modified());
}

// A large book is flushed to the disk while it is written. The system tells a failed flush
// only once: one that failed half-way fails the save as one at the end would, and the old
// file stays.
TEST_F(FileTest, AFlushThatFailsWhileALargeBookIsWrittenFailsTheSave)
{
    if (std::thread::hardware_concurrency() < 2)
        GTEST_SKIP() << "a large book is written from a second thread only where there is one";
    std::string book;
    for (int i = 0; book.size() < 20'000'000; ++i)
        book += "Line " + std::to_string(i) + " of a book flushed to the disk while it is written.\r\n";
    TextEditor large;
    ASSERT_EQ(large.InsertText(book), 0);
    const std::string target = Write("big.txt", "old text\r\n");

    savingThread = std::this_thread::get_id();
    failedOnTheWay = false;
    failingFlushes = 1;
    EXPECT_THAT([&] { large.SaveToFile(target); }, ThrowsMessage<EInOutError>(StrEq("I/O error 5")));
    failingFlushes = 0;
    ASSERT_TRUE(failedOnTheWay) << "the flush that failed was one on the way, not the last one";
    EXPECT_EQ(ReadFile(target), "old text\r\n");
    EXPECT_TRUE(large.Modified());
    EXPECT_EQ(Entries(folder), Paras{"big.txt"}) << "no temporary file is left behind";

    large.SaveToFile(target);
    EXPECT_TRUE(ReadFile(target) == book);
    EXPECT_FALSE(large.Modified());
}

// Paragraphs made elsewhere and handed to the save one by one become the file the editor
// holding them would save, in every format, small and large; where the file is not replaced
// through a new one beside it, nothing is written and the caller saves as usual; a producer
// that fails leaves the old file and no temporary.
TEST_F(FileTest, AProducedTextIsSavedAsTheEditorWouldSaveIt)
{
    std::string book;
    for (int i = 0; book.size() < 5'000'000; ++i)
        book += "\x8A" "\xE1" "dek " + std::to_string(i) + " p\xF8\xED" "li\x9A \x93" "dlouh\xFD\x84.\r\n";
    const std::string small = "\x1a" "a\x01b\r\n\r\n\x84" "c\xA0\xF8\r\nd\r\r\n\xB9";
    for (const std::string& text : {small, book}) {
        TextEditor held;
        ASSERT_EQ(held.InsertText(text), 0);
        std::vector<std::string> paragraphs = Paragraphs(held);
        if (paragraphs.back().empty())
            paragraphs.pop_back();
        for (const TextEncoding encoding : {TextEncoding::Windows1250, TextEncoding::Utf8, TextEncoding::Utf16Be,
                                            TextEncoding::Iso8859_2}) {
            for (const LineEnd lineEnd : {LineEnd::CrLf, LineEnd::Lf}) {
                held.SetFileFormat({encoding, lineEnd});
                held.SaveToFile(Path("held.txt"));
                TextEditor producer;
                producer.SetFileFormat({encoding, lineEnd});
                ASSERT_TRUE(producer.SaveProducedToFile(Path("produced.txt"), int64_t(text.size()), [&](const auto& add) {
                    for (const std::string& paragraph : paragraphs)
                        add(paragraph);
                }));
                EXPECT_TRUE(ReadFile(Path("produced.txt")) == ReadFile(Path("held.txt"))) << int(encoding);
                EXPECT_EQ(producer.LastSaveReplacements(), held.LastSaveReplacements());
            }
        }
    }
    ::unlink(Path("held.txt").c_str());

    TextEditor producer;
    int calls = 0;
    const auto counted = [&](const auto& add) {
        ++calls;
        add("new");
    };
    fs::create_hard_link(Path("produced.txt"), folder / "second.txt");
    EXPECT_FALSE(producer.SaveProducedToFile(Path("second.txt"), 3, counted));
    EXPECT_FALSE(producer.SaveProducedToFile("/dev/null", 3, counted));
    EXPECT_EQ(calls, 0);
    ::unlink(Path("second.txt").c_str());

    const std::string old = ReadFile(Path("produced.txt"));
    EXPECT_THROW(producer.SaveProducedToFile(Path("produced.txt"), 3,
                                             [](const auto& add) {
                                                 add("half");
                                                 throw std::runtime_error("the producer failed");
                                             }),
                 std::runtime_error);
    EXPECT_TRUE(ReadFile(Path("produced.txt")) == old);
    EXPECT_EQ(Entries(folder), Paras{"produced.txt"});
    ASSERT_TRUE(producer.SaveProducedToFile(Path("produced.txt"), 3, counted));
    EXPECT_EQ(ReadFile(Path("produced.txt")), "new\r\n");
}

// A user who may write the file but not its folder cannot make the new file beside it, and
// writing over the old one could leave half of each: the save is refused. In a sticky folder
// anyone may write, a link of another user is not followed (as the kernel would not), so it
// cannot lead a save to replace a file of its choosing.
TEST_F(FileTest, SaveRefusesAFolderWithoutRoomForTheNewFileAndALinkPlantedInAStickyFolder)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    TextEditor editor;
    ASSERT_EQ(editor.InsertText("new\r\n"), 0);
    fs::create_directories(folder / "locked");
    ::chmod(folder.c_str(), 0755);
    ::chmod((folder / "locked").c_str(), 0755);
    const std::string book = Write("locked/book.txt", "old text\r\n");
    ::chmod(book.c_str(), 0666);
    EXPECT_TRUE(SaveFailsInChild(editor, book, "File access denied",
                                 [] { return ::setgid(65534) == 0 && ::setuid(65534) == 0; }));
    EXPECT_EQ(ReadFile(book), "old text\r\n");

    const std::string secret = Write("secret.txt", "mine\r\n");
    fs::create_directories(folder / "tmp");
    ::chmod((folder / "tmp").c_str(), 01777);
    fs::create_symlink(secret, folder / "tmp" / "planted.txt");
    ASSERT_EQ(::lchown((folder / "tmp" / "planted.txt").c_str(), 12345, 12345), 0);
    fs::create_symlink(secret, folder / "tmp" / "own.txt");
    EXPECT_THAT([&] { editor.SaveToFile(Path("tmp/planted.txt")); }, ThrowsMessage<EInOutError>(StrEq("File access denied")));
    EXPECT_EQ(ReadFile(secret), "mine\r\n");
    editor.SaveToFile(Path("tmp/own.txt"));
    EXPECT_EQ(ReadFile(secret), "new\r\n");
}

TEST_F(FileTest, AnInterruptedSaveLeavesNoTemporaryAndTheNextSaveClearsLeftOvers)
{
    // Large enough that its save is still running when the signal comes.
    const std::string source = Write(
        "source.txt", Repeated("Řádek dlouhé knihy, který se ukládá znovu a znovu, aby ukládání chvíli trvalo.\r\n", 1'120'000));
    TextEditor editor;
    editor.SetWordWrap(false);
    editor.LoadFromFile(source);

    const std::string target = Write("book.txt", "old\r\n");
    fs::create_hard_link(target, folder / "other-name.txt");
    for (const std::string& name : {Path("fresh.txt"), target}) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            editor.SaveToFile(name);
            ::_exit(0);
        }
        // Strike once the save has made its file beside the target.
        const std::string side = "." + fs::path(name).filename().string() + ".lepotex";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool seen = false;
        while (!seen && std::chrono::steady_clock::now() < deadline)
            for (const std::string& entry : Entries(folder))
                seen = seen || entry.starts_with(side);
        ::kill(child, SIGTERM);
        int status = 0;
        ::waitpid(child, &status, 0);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << name << ": the signal still ends the process";
        EXPECT_EQ(Entries(folder), (Paras{"book.txt", "other-name.txt", "source.txt"})) << name;
        EXPECT_EQ(ReadFile(target), "old\r\n") << "the old text is back in place";
    }

    // What a killed save left beside the file goes with the next save of it; one that a
    // running save holds (locked) stays.
    Write(".book.txt.lepotex~1", "left over");
    const int holder = ::open(Write(".book.txt.lepotex~2", "in use").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);
    TextEditor small;
    ASSERT_EQ(small.InsertText("new\r\n"), 0);
    fs::remove(folder / "other-name.txt");
    small.SaveToFile(target);
    ::close(holder);
    EXPECT_EQ(Entries(folder), (Paras{".book.txt.lepotex~2", "book.txt", "source.txt"}));
    EXPECT_EQ(ReadFile(target), "new\r\n");
}

// A mapped book gives the paragraphs a book read step by step gives; saved over itself in place
// it keeps its text; changed or cut short by another process it gives an error, or the lines it
// had when it was read, and never ends the process.
TEST_F(FileTest, AMappedBookReadsAsReadAndSurvivesAnotherProcessCuttingIt)
{
    using namespace std::string_literals;
    const std::string changed = "soubor změnil jiný program, zatímco se četl; text by nebyl celý";
    std::vector<std::string> lines;
    std::string book;
    for (int i = 0; book.size() < 6'000'000; ++i) {
        lines.push_back(Utf8ToWindows1250("Řádek " + std::to_string(i) + " knihy, která se čte z mapovaného souboru."));
        book += lines.back() + "\r\n";
    }
    const std::string czech = Utf8ToWindows1250("Čeština\r\n");
    TextEditor mapped;
    mapped.SetMapFiles(true);
    for (const std::string& bytes : {book, book + "bez konce", czech + "a\0b\r\nc  \r\n\x1a" "zbytek"s,
                                     czech + std::string(40000, 'q') + "\r\n"}) {
        const std::string path = Write("book.txt", bytes);
        TextEditor read;
        read.LoadFromFile(path);
        mapped.LoadFromFile(path);
        EXPECT_TRUE(Paragraphs(mapped) == Paragraphs(read));
        const LoadReport& a = mapped.LastLoadReport();
        const LoadReport& b = read.LastLoadReport();
        EXPECT_EQ(std::tie(a.linesCutAtNul, a.bytesAfterEndMark, a.longLinesSplit),
                  std::tie(b.linesCutAtNul, b.bytesAfterEndMark, b.longLinesSplit));
        ExpectCountsConsistent(mapped);
    }

    // A change of a mapped paragraph, even one that shrinks it, is the editor's own.
    const std::string whole = Write("whole.txt", book);
    mapped.LoadFromFile(whole);
    mapped.SetCaret({2, 1});
    mapped.DeleteForward();
    EXPECT_EQ(mapped.ParaText(2), lines[1].substr(1));
    EXPECT_EQ(mapped.ParaText(3), lines[2]);
    EXPECT_TRUE(ReadFile(whole) == book);

    // Written over in place, the file must not change under the paragraphs being written.
    const std::string linked = Write("linked.txt", book);
    fs::create_hard_link(linked, Path("other.txt"));
    mapped.LoadFromFile(linked);
    ASSERT_EQ(mapped.InsertText("New start. "), 0);
    mapped.SaveToFile(linked);
    EXPECT_TRUE(ReadFile(Path("other.txt")) == "New start. " + book);

    // Cut after the load: what is made of the text is not saved.
    mapped.LoadFromFile(linked);
    ASSERT_EQ(::truncate(linked.c_str(), 1000), 0);
    EXPECT_THAT([&] { mapped.SaveToFile(Path("saved.txt")); }, ThrowsMessage<EInOutError>(StrEq(changed)));
    EXPECT_FALSE(fs::exists(Path("saved.txt")));

    // Written over where the load saw a NUL, with the size and the time left as they were.
    const std::string nul = Write("nul.txt", book.substr(0, 4000) + "a\0b\r\n"s + book.substr(0, 4000));
    mapped.LoadFromFile(nul);
    EXPECT_FALSE(mapped.SourceChanged());
    struct stat before {};
    ASSERT_EQ(::stat(nul.c_str(), &before), 0);
    const int fd = ::open(nul.c_str(), O_WRONLY);
    ASSERT_EQ(::pwrite(fd, "x", 1, 4001), 1);
    const struct timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::futimens(fd, times), 0);
    ::close(fd);
    EXPECT_TRUE(mapped.SourceChanged());

    // Cut and made whole again while it is read: a book borrowed from its mapped file, and one
    // in UTF-8, converted from its mapped file.
    const auto race = [&](TextEditor& editor, const std::string& bytes, const char* name) {
        SCOPED_TRACE(name);
        const std::string racing = Write(name, bytes);
        const pid_t child = ::fork();
        if (child == 0) {
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);  // ends with the test, however that ends
            for (;;) {
                for (off_t size = off_t(bytes.size()); size > 0; size -= 400'000) {
                    (void)::truncate(racing.c_str(), size);
                    // Slow enough that the restore lands in a later tick of the file clock than the
                    // load's look at the file: a cut and a restore within one tick leave the size and
                    // the time as they were, and the cut page's tail read as zeros is then not known.
                    ::usleep(2000);
                }
                // Made whole as a new file under the name: a write over the mapped file itself shows
                // its zeros to a reader until it gets there, and within one tick of the file clock it
                // leaves the size and the time as they were.
                const std::string whole = racing + ".whole";
                const int fd = ::open(whole.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                (void)::pwrite(fd, bytes.data(), bytes.size(), 0);
                ::close(fd);
                (void)::rename(whole.c_str(), racing.c_str());
            }
        }
        int errors = 0;
        for (int round = 0; round < 30; ++round) {
            try {
                editor.LoadFromFile(racing);
            } catch (const EInOutError& error) {
                EXPECT_EQ(error.what(), changed);
                ++errors;
                continue;
            }
            // The lines of the book as far as the file went, the last perhaps cut short (in
            // UTF-8, perhaps in the middle of a letter, which reads as "?"); a text that borrows
            // from the file shows a cut after the load, and knows it.
            Paras got = Paragraphs(editor);
            if (got.size() > 1 && got[got.size() - 2].ends_with('?'))
                got[got.size() - 2].pop_back();
            bool asRead = got.size() <= lines.size() + 1;
            for (size_t i = 0; asRead && i + 1 < got.size(); ++i)
                asRead = i + 2 == got.size() ? lines[i].starts_with(got[i]) : got[i] == lines[i];
            EXPECT_TRUE(asRead || editor.SourceChanged()) << "round " << round;
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        return errors;
    };
    EXPECT_GT(race(mapped, book, "racing.txt"), 0);
    TextEditor converting;
    race(converting, Iconv(book, "CP1250", "UTF-8"), "racing-utf8.txt");
}

// A save must not undo unasked what another program did to the file since it was loaded.
// Within a command, a large block freed serves the next one asked for, as it is or grown, and
// every byte of it can be written; a mapped file's block never does, its pages being read-only
// and the file's. Blocks freed and taken on two threads at once come out whole.
TEST_F(FileTest, FreedBlocksServeAgainWithinACommandButAMappedFileNever)
{
    constexpr std::size_t kMiB = std::size_t(1) << 20;
    const std::string path = Write("mapped.txt", std::string(6 * kMiB, 'm'));
    const ReuseFreedBlocks reuse;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    TextBlock mapped = MapFileBlock(fd, 6 * kMiB);
    ::close(fd);
    ASSERT_TRUE(mapped);
    mapped.reset();
    for (const std::size_t size : {5 * kMiB, 6 * kMiB, 3 * kMiB}) {
        TextBlock block = AllocateTextBlock(size);
        std::memset(block.get(), 'x', size);  // a read-only page here would end the test
    }
    const char* first = nullptr;
    {
        TextBlock block = AllocateTextBlock(8 * kMiB);
        std::memset(block.get(), 'a', 8 * kMiB);
        first = block.get();
    }
    TextBlock again = AllocateTextBlock(7 * kMiB);
    EXPECT_EQ(again.get(), first) << "the block freed last serves as it is";
    again.reset();
    TextBlock grown = AllocateTextBlock(20 * kMiB);
    std::memset(grown.get(), 'b', 20 * kMiB);
    grown.reset();

    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 2; ++t)
        threads.emplace_back([&, t] {
            for (int round = 0; round < 50; ++round) {
                const std::size_t size = (1 + (round * 7 + t) % 9) * kMiB;
                TextBlock block = AllocateTextBlock(size);
                std::memset(block.get(), 'a' + t, size);
                if (block.get()[size - 1] != char('a' + t) || block.get()[0] != char('a' + t))
                    ++wrong;
            }
        });
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(FileTest, ASaveOverAFileChangedSinceTheLoadIsRefused)
{
    TextEditor editor;
    const std::string book = Write("book.txt", "one\r\n");
    const std::vector<std::function<void()>> changes = {
        [&] { std::ofstream(book, std::ios::app) << "two\r\n"; },
        [&] { fs::rename(Write("new.txt", "other\r\n"), book); },
        [&] { fs::remove(book); },
    };
    for (size_t i = 0; i < changes.size(); ++i) {
        Write("book.txt", "one\r\n");
        editor.LoadFromFile(book);
        changes[i]();
        const std::string before = fs::exists(book) ? ReadFile(book) : "(none)";
        EXPECT_THROW(editor.SaveToFile(book), EFileChangedError) << i;
        EXPECT_EQ(fs::exists(book) ? ReadFile(book) : "(none)", before) << i;
    }
    // Asked to, it overwrites; its own save is no change; another name is another file.
    editor.SaveToFile(book, true);
    EXPECT_EQ(ReadFile(book), "one\r\n");
    ASSERT_EQ(editor.InsertText("x"), 0);
    editor.SaveToFile(book);
    EXPECT_EQ(ReadFile(book), "xone\r\n");
    Write("other.txt", "unrelated\r\n");
    editor.SaveToFile(Path("other.txt"));
    EXPECT_EQ(ReadFile(Path("other.txt")), "xone\r\n");
}

// A save over a file with several names killed half-way leaves the old text only in its
// copy: the next load says so, and the copy can be put back under every name.
TEST_F(FileTest, TheCopyOfATornSaveIsFoundAndPutBack)
{
    const std::string book = Write("book.txt", "half writ");
    fs::create_hard_link(book, folder / "other.txt");
    const std::string copy = Write(".book.txt.lepotex-old~2", "old text\r\n");
    const int running = ::open(Write(".book.txt.lepotex-old~1", "a save now").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);
    TextEditor editor;
    editor.LoadFromFile(Path("other.txt"));
    EXPECT_EQ(editor.LastLoadReport().oldTextCopy, "") << "another name has copies of its own";
    editor.LoadFromFile(book);
    EXPECT_EQ(editor.LastLoadReport().oldTextCopy, copy);
    ::close(running);
    TextEditor::RestoreOldTextCopy(book, copy);
    EXPECT_EQ(ReadFile(Path("other.txt")), "old text\r\n");
    EXPECT_FALSE(fs::exists(copy));
}

}  // namespace
}  // namespace lepotex
